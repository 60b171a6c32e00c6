#include <windows.h>

#include "sim/dll/process_fleet.h"

namespace {

std::filesystem::path LibraryFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&LibraryFolder), &self);
    // Package folders deeper than MAX_PATH are a case the program must handle too.
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()))) >= path.size() &&
           path.size() < 65536)
        path.resize(path.size() * 2);
    path.resize(length < path.size() ? length : 0);
    return std::filesystem::path(path).parent_path();
}

}  // namespace

Fleet& ProcessFleet() {
    // Destroyed when the library is unloaded, which flushes the records.
    static Fleet fleet(LibraryFolder());
    return fleet;
}

std::recursive_mutex& ProcessFleetMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}
