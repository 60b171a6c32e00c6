// What the port lock tests under Wine share with their helper process: the
// USB library's answer for the ports of the test printers, and the exit
// codes of the helper. Windows only.
#pragma once

#include <windows.h>

#include <string>

#include "base/kernel_handle_win32.h"
#include "null_libraries.h"

// A device path and the symbolic name the USB library gives for its port:
// they differ in the first four characters and in letter case only.
inline std::string TestDevicePath(const std::wstring& port) {
    std::string path = "\\\\?\\usb#vid_1234&pid_5678#";
    for (wchar_t c : port) path.push_back(static_cast<char>(c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c));
    return path + "#{28d78fad}";
}

// Every port's symbolic name follows from the port name.
class TestSymbolicNames : public NullLibraries {
public:
    int USBGetSymbolicNameByPortEx(const wchar_t* portName, int, int, wchar_t* nameBuffer, int nameChars) override {
        const std::wstring name = L"\\??\\USB#VID_1234&PID_5678#" + std::wstring(portName) + L"#{28D78FAD}";
        if (static_cast<int>(name.size()) >= nameChars) return 0;
        name.copy(nameBuffer, name.size());
        nameBuffer[name.size()] = L'\0';
        return 1;
    }
};

// Exit codes of port_lock_holder.exe.
inline constexpr int kHolderReleased = 0;    // held the lock until told to release it
inline constexpr int kHolderSawBusy = 2;
inline constexpr int kHolderFoundNoPort = 3;
inline constexpr int kHolderBadArguments = 4;
inline constexpr int kHolderNotToldToRelease = 5;
