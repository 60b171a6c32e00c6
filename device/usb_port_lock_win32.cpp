#include "device/usb_port_lock_win32.h"

#include <windows.h>
#include <winspool.h>

#include <string_view>

#include "base/kernel_handle_win32.h"
#include "base/text.h"

namespace {

constexpr DWORD kPrinterInfoLevel = 2;

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
    DWORD needed = 0;
    DWORD returned = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, kPrinterInfoLevel, nullptr, 0, &needed, &returned);
    if (needed == 0) return {};

    // Allocated by operator new, so aligned for the records the spooler writes.
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, kPrinterInfoLevel, buffer.data(), needed, &needed, &returned))
        return {};
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    std::vector<SpoolerPrinter> printers;
    printers.reserve(returned);
    for (DWORD i = 0; i < returned; ++i)
        printers.push_back({TextOrEmpty(info[i].pDriverName), TextOrEmpty(info[i].pPortName)});
    return printers;
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
