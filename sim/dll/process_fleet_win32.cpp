#include <windows.h>

#include "base/whole_text.h"
#include "sim/dll/process_fleet.h"

namespace {

std::filesystem::path LibraryFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&LibraryFolder), &self);
    const std::wstring path = ReadWholeText([self](wchar_t* buffer, std::size_t chars) -> std::size_t {
        return GetModuleFileNameW(self, buffer, static_cast<DWORD>(chars));
    });
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
