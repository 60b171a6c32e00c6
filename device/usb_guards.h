// Scope guards for the two USB resources a caller holds while it talks to a
// printer: the port lock and the device-utility connection. Each is given
// back exactly once, early by its own call or at the end of the scope.
#pragma once

#include <cstdint>

#include "device/library_table.h"
#include "device/usb_port_lock.h"

class HeldPortLock {
public:
    HeldPortLock(UsbPortLocks& locks, PortLockHandle lock) : locks_(locks), lock_(lock) {}
    ~HeldPortLock() { Release(); }
    HeldPortLock(const HeldPortLock&) = delete;
    HeldPortLock& operator=(const HeldPortLock&) = delete;

    void Release() {
        if (lock_) locks_.ReleaseUsbPortLock(lock_);
        lock_ = nullptr;
    }

private:
    UsbPortLocks& locks_;
    PortLockHandle lock_;
};

// Made once DUOpenConnection has succeeded.
class UsbConnection {
public:
    UsbConnection(DeviceLibraries& libraries, std::uint16_t deviceIndex)
        : libraries_(libraries), deviceIndex_(deviceIndex) {}
    ~UsbConnection() { Close(); }
    UsbConnection(const UsbConnection&) = delete;
    UsbConnection& operator=(const UsbConnection&) = delete;

    void Close() {
        if (open_) libraries_.DUCloseConnection(deviceIndex_);
        open_ = false;
    }

private:
    DeviceLibraries& libraries_;
    std::uint16_t deviceIndex_;
    bool open_ = true;
};
