#include "device/library_binding.h"

#include "base/text.h"

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
                                    const char* fileName) {
    const std::wstring path = folder + L"\\" + FromEightBit(fileName);
    const LibraryArchitecture architecture = ReadLibraryArchitecture(files, path);
    if (architecture.kind == LibraryArchitecture::kMissing) return false;
    if (architecture.IsOtherArchitecture()) {
        refusals_.push_back({fileName, architecture.machine});
        return false;
    }
    return library.Load(path);
}

void LibraryBinding::Bind(FileOpener& files, const std::wstring& folder) {
#define BIND_FROM_DU(name) Lookup(deviceUtility_, #name, table_.name);
#define BIND_FROM_USB(name) Lookup(usb_, #name, table_.name);
#define BIND_FROM_NET(name) Lookup(network_, #name, table_.name);
    refusals_.clear();
    LoadFromFolder(deviceUtility_, files, folder, kDeviceUtilityLibraryName);
    VORLEN_DU_EXPORTS(BIND_FROM_DU)
    LoadFromFolder(usb_, files, folder, kUsbLibraryName);
    VORLEN_USB_EXPORTS(BIND_FROM_USB)
    // The network library is optional: without it no network entry point is
    // looked up at all.
    if (LoadFromFolder(network_, files, folder, kNetworkLibraryName)) {
        VORLEN_NET_EXPORTS(BIND_FROM_NET)
    }
#undef BIND_FROM_DU
#undef BIND_FROM_USB
#undef BIND_FROM_NET
}

void LibraryBinding::Unload() {
    table_ = LibraryTable{};
    deviceUtility_.Unload();
    usb_.Unload();
    network_.Unload();
}
