#include "device/library_binding.h"

#include <memory>

#include "base/file_pins.h"
#include "base/text.h"
#include "package/package_pins.h"
#include "package/signature_texts.h"

void RestrictLibrarySearch() {
    // Looked up, not linked: systems without it still start, and then at
    // least the current folder is taken out of the search.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (!setDefaultDirectories || !setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

bool LoadedLibrary::Load(const std::wstring& path) {
    Unload();
    module_ = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Systems that do not know these flags refuse them as a parameter; the
    // full path still keeps the library itself from being searched for.
    if (!module_ && GetLastError() == ERROR_INVALID_PARAMETER)
        module_ = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return module_ != nullptr;
}

void LoadedLibrary::Unload() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
}

namespace {

template <typename Function>
void Lookup(const LoadedLibrary& library, const char* name, Function& entry) {
    entry = reinterpret_cast<Function>(reinterpret_cast<void*>(library.Export(name)));
}

}  // namespace

bool LibraryBinding::LoadFromFolder(LoadedLibrary& library, FileOpener& files, const std::wstring& folder,
                                    const char* fileName, const PackageSettings* package) {
    if (pinRefusal_) return false;
    const std::wstring name = FromEightBit(fileName);
    const std::wstring path = folder + L"\\" + name;
    const LibraryArchitecture architecture = ReadLibraryArchitecture(files, path);
    if (architecture.kind == LibraryArchitecture::kMissing) return false;
    if (architecture.IsOtherArchitecture()) {
        refusals_.push_back({fileName, architecture.machine});
        return false;
    }
    const FilePin pin = package ? LibraryPinOf(*package, name) : FilePin{};
    if (!pin.pinned) return library.Load(path);
    // Nobody may write, rename or delete the file from the check until the
    // loader has mapped it: the handle is held across the load.
    const std::unique_ptr<InputFile> held = files.OpenForReading(path, FileSharing::ReadOnly);
    if (!held) {
        pinRefusal_ = RefusedLibrary(name, /*readable=*/false);
        return false;
    }
    const std::optional<Sha256Digest> digest = HashContent(*held);
    if (!digest || !pin.digest || *digest != *pin.digest) {
        pinRefusal_ = RefusedLibrary(name);
        return false;
    }
    return library.Load(path);
}

void LibraryBinding::Bind(FileOpener& files, const std::wstring& folder, const PackageSettings* package) {
#define BIND_FROM_DU(name) Lookup(deviceUtility_, #name, table_.name);
#define BIND_FROM_USB(name) Lookup(usb_, #name, table_.name);
#define BIND_FROM_NET(name) Lookup(network_, #name, table_.name);
    refusals_.clear();
    pinRefusal_.reset();
    LoadFromFolder(deviceUtility_, files, folder, kDeviceUtilityLibraryName, package);
    VORLEN_DU_EXPORTS(BIND_FROM_DU)
    LoadFromFolder(usb_, files, folder, kUsbLibraryName, package);
    VORLEN_USB_EXPORTS(BIND_FROM_USB)
    // The network library is optional: without it no network entry point is
    // looked up at all.
    if (LoadFromFolder(network_, files, folder, kNetworkLibraryName, package)) {
        VORLEN_NET_EXPORTS(BIND_FROM_NET)
    }
#undef BIND_FROM_DU
#undef BIND_FROM_USB
#undef BIND_FROM_NET
    // A refused package keeps none of its libraries.
    if (pinRefusal_) Unload();
}

void LibraryBinding::Unload() {
    table_ = LibraryTable{};
    deviceUtility_.Unload();
    usb_.Unload();
    network_.Unload();
}
