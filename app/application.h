// The application object: the one place where the tool is assembled. Its
// start-up finds the package beside the program, reads the package-wide
// settings, keeps a single instance per printer family, binds the
// communication libraries, and runs either the wizard or one silent
// command-line update. Windows only.
#pragma once

#include <windows.h>

#include <string>

#include "app/settings.h"
#include "device/library_binding.h"

// Owns a kernel handle; closes it when destroyed.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void Reset(HANDLE handle = nullptr) {
        if (handle_) CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

class CTessaroFWDLApp : public PackageSettings {
public:
    // Runs the whole program; returns 0 in every outcome (the process then ends).
    int InitInstance();

    // Library file names, loaded from the program's folder.
    static const char* UsbLibraryName() { return kUsbLibraryName; }
    static const char* DeviceUtilityLibraryName() { return kDeviceUtilityLibraryName; }
    static const char* NetworkLibraryName() { return kNetworkLibraryName; }

    const LibraryTable& Libraries() const { return binding_.table(); }

    // The silent updates; notices go to callerWindow when there is one.
    int UpdateViaUsb(const std::wstring& printerName, HWND callerWindow);
    int UpdateViaNetwork(const std::wstring& address, HWND callerWindow);

private:
    bool TakeInstanceMutex();
    void RunCommandLine();
    void RunWizard();

    UniqueHandle InstanceMutex;
    LibraryBinding binding_;
};

// The single application instance.
CTessaroFWDLApp& TheApp();

// The registered instance message: a second copy broadcasts it so that the
// running wizard comes to the front.
extern UINT g_instanceMessage;
