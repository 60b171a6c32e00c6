#include "device/usb_port_match.h"

#include <algorithm>
#include <array>

#include "base/text.h"

namespace {

constexpr std::array<std::wstring_view, 3> kFamilyDrivers = {
    L"Korvane Laser 7030F",
    L"Korvane Laser 7000",
    L"Korvane Laser 7000F",
};

constexpr std::wstring_view kUsbPortPrefix = L"USB";

// Device paths and symbolic names differ in their first four characters.
constexpr std::size_t kDeviceNamePrefixChars = 4;

// Symbolic names are cut to this many bytes, terminator included.
constexpr std::size_t kSymbolicNameBytes = 260;

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

template <typename Char>
bool EqualIgnoringCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](Char x, Char y) { return FoldAscii(x) == FoldAscii(y); });
}

// The port's symbolic name as 8-bit text, or nothing when the library has none.
std::optional<std::string> SymbolicNameOfPort(DeviceLibraries& libraries, const std::wstring& portName) {
    wchar_t name[kSymbolicNameChars] = {};
    if (libraries.USBGetSymbolicNameByPortEx(portName.c_str(), 0, 0, name, kSymbolicNameChars) == 0)
        return std::nullopt;
    std::string text = ToEightBit(std::wstring_view(name, BoundedLength(name, kSymbolicNameChars)));
    if (text.size() >= kSymbolicNameBytes) text.resize(kSymbolicNameBytes - 1);
    return text;
}

}  // namespace

bool IsFamilyDriver(std::wstring_view driverName) {
    return std::find(kFamilyDrivers.begin(), kFamilyDrivers.end(), driverName) != kFamilyDrivers.end();
}

bool IsUsbPortName(std::wstring_view portName) {
    return portName.size() >= kUsbPortPrefix.size() &&
           EqualIgnoringCase(portName.substr(0, kUsbPortPrefix.size()), kUsbPortPrefix);
}

bool SymbolicNameMatchesDevicePath(std::string_view symbolicName, std::string_view devicePath) {
    if (symbolicName.size() < kDeviceNamePrefixChars || devicePath.size() < kDeviceNamePrefixChars) return false;
    return EqualIgnoringCase(symbolicName.substr(kDeviceNamePrefixChars), devicePath.substr(kDeviceNamePrefixChars));
}

std::optional<std::wstring> FindPortToLock(DeviceLibraries& libraries, const std::vector<SpoolerPrinter>& printers,
                                           std::string_view devicePath) {
    for (const SpoolerPrinter& printer : printers) {
        if (!IsFamilyDriver(printer.driverName) || !IsUsbPortName(printer.portName)) continue;
        const auto symbolicName = SymbolicNameOfPort(libraries, printer.portName);
        if (symbolicName && SymbolicNameMatchesDevicePath(*symbolicName, devicePath)) return printer.portName;
    }
    return std::nullopt;
}

std::wstring PortLockName(std::wstring_view portName) {
    return std::wstring(L"Global\\Ulmix-Port-").append(portName);
}
