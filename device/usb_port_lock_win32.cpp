#include "device/usb_port_lock_win32.h"

#include <windows.h>
#include <winspool.h>

#include <string_view>

#include "base/kernel_handle_win32.h"
#include "base/text.h"

namespace {

constexpr DWORD kPrinterInfoLevel = 2;
// Enough for a change or two in the spooler while the printers are listed.
constexpr int kEnumAttempts = 5;
// Past the usual pair of calls (ask the size, fetch) a spooler in the middle
// of a change is given a moment before it is asked again.
constexpr DWORD kEnumRetryPauseMs = 50;

std::wstring TextOrEmpty(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

// The mutex exists exactly while one holder has the port, so finding it
// already there means busy, whoever created it.
PortLockResult TakePortMutex(const std::wstring& name) {
    KernelHandle mutex(CreateMutexW(nullptr, TRUE, name.c_str()));
    const DWORD error = GetLastError();
    if (!mutex || error == ERROR_ALREADY_EXISTS) return {true, nullptr};
    return {false, mutex.Release()};
}

}  // namespace

std::vector<SpoolerPrinter> WindowsSpooler::LocalPrinters() {
    // A printer added between asking for the size and fetching the records
    // makes the fetch fail for want of room, and a spooler busy with a change
    // may fail an enumeration outright. Either is asked again, with the size
    // the spooler gave, rather than taken as "no printers": that would skip
    // the port lock.
    std::vector<BYTE> buffer;  // allocated by operator new, so aligned for the records
    for (int attempt = 0; attempt < kEnumAttempts; ++attempt) {
        if (attempt >= 2) Sleep(kEnumRetryPauseMs);
        DWORD needed = 0;
        DWORD returned = 0;
        if (EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, kPrinterInfoLevel, buffer.empty() ? nullptr : buffer.data(),
                          static_cast<DWORD>(buffer.size()), &needed, &returned)) {
            const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
            std::vector<SpoolerPrinter> printers;
            printers.reserve(returned);
            for (DWORD i = 0; i < returned; ++i)
                printers.push_back({TextOrEmpty(info[i].pDriverName), TextOrEmpty(info[i].pPortName)});
            return printers;
        }
        if (GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed > buffer.size()) buffer.resize(needed);
    }
    return {};
}

PortLockResult SpoolerPortLocks::AcquireUsbPortLock(const char* devicePath) {
    const std::string_view path =
        devicePath ? std::string_view(devicePath, BoundedLength(devicePath, kDevicePathBytes)) : std::string_view();
    const auto port = FindPortToLock(libraries_, printers_.LocalPrinters(), path);
    if (!port) return {};
    return TakePortMutex(PortLockName(*port));
}

void SpoolerPortLocks::ReleaseUsbPortLock(PortLockHandle lock) {
    if (!lock) return;
    ReleaseMutex(lock);
    CloseHandle(lock);
}
