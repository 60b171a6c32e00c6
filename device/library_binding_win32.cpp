#include "device/library_binding.h"

bool LoadedLibrary::Load(const char* fileName) {
    Unload();
    module_ = LoadLibraryA(fileName);
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

void LibraryBinding::Bind() {
#define BIND_FROM_DU(name) Lookup(deviceUtility_, #name, table_.name);
#define BIND_FROM_USB(name) Lookup(usb_, #name, table_.name);
#define BIND_FROM_NET(name) Lookup(network_, #name, table_.name);
    deviceUtility_.Load(kDeviceUtilityLibraryName);
    VORLEN_DU_EXPORTS(BIND_FROM_DU)
    usb_.Load(kUsbLibraryName);
    VORLEN_USB_EXPORTS(BIND_FROM_USB)
    // The network library is optional: without it no network entry point is
    // looked up at all.
    if (network_.Load(kNetworkLibraryName)) {
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
