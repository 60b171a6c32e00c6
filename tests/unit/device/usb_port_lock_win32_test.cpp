// The USB port lock over the real spooler and real named mutexes, across two
// processes. Wine's spooler lists the printers of its registry, so the tests
// install their own printers there; on Windows they are skipped, as the
// spooler service there keeps its printers to itself.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <string>
#include <vector>

#include "device/usb_port_lock_win32.h"
#include "spooler_test_printers.h"

namespace {

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Names that no other test process uses at the same time.
std::wstring Unique(const std::wstring& base) { return base + std::to_wstring(GetCurrentProcessId()); }

// A local printer in the spooler's registry, removed with the object.
class RegistryPrinter {
public:
    RegistryPrinter(const std::wstring& name, const std::wstring& driver, const std::wstring& port)
        : path_(L"System\\CurrentControlSet\\Control\\Print\\Printers\\" + name) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        installed_ = SetText(key, L"Name", name) && SetText(key, L"Printer Driver", driver) &&
                     SetText(key, L"Port", port);
        const DWORD localPrinter = PRINTER_ATTRIBUTE_LOCAL;
        RegSetValueExW(key, L"Attributes", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&localPrinter),
                       sizeof localPrinter);
        RegCloseKey(key);
    }
    ~RegistryPrinter() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, path_.c_str()); }
    RegistryPrinter(const RegistryPrinter&) = delete;
    RegistryPrinter& operator=(const RegistryPrinter&) = delete;

    bool installed() const { return installed_; }

private:
    static bool SetText(HKEY key, const wchar_t* value, const std::wstring& text) {
        return RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }

    std::wstring path_;
    bool installed_ = false;
};

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

constexpr DWORD kHelperWaitMs = 20000;

// port_lock_holder.exe taking the lock of one device.
class HolderProcess {
public:
    explicit HolderProcess(const std::string& devicePath) {
        static int serial = 0;
        const std::wstring suffix = Unique(L"-") + L"-" + std::to_wstring(++serial);
        const std::wstring heldName = L"fwdl-test-held" + suffix;
        const std::wstring releaseName = L"fwdl-test-release" + suffix;
        held_.Reset(CreateEventW(nullptr, TRUE, FALSE, heldName.c_str()));
        release_.Reset(CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));

        const std::wstring program = ProgramFolder() + L"\\port_lock_holder.exe";
        std::wstring commandLine = L"\"" + program + L"\" \"" + std::wstring(devicePath.begin(), devicePath.end()) +
                                   L"\" " + heldName + L" " + releaseName;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &info)) {
            CloseHandle(info.hThread);
            process_.Reset(info.hProcess);
        }
    }
    ~HolderProcess() {
        if (running()) {
            SetEvent(release_.Get());
            WaitForSingleObject(process_.Get(), kHelperWaitMs);
        }
    }

    bool started() const { return static_cast<bool>(process_); }
    // True once the helper holds the lock; false when it ended instead.
    bool WaitUntilHeld() {
        if (!started()) return false;
        const HANDLE handles[] = {held_.Get(), process_.Get()};
        return WaitForMultipleObjects(2, handles, FALSE, kHelperWaitMs) == WAIT_OBJECT_0;
    }
    // Tells the helper to release the lock; its exit code, or -1.
    int Release() {
        if (!started()) return -1;
        SetEvent(release_.Get());
        return ExitCode();
    }
    int ExitCode() {
        if (!started() || WaitForSingleObject(process_.Get(), kHelperWaitMs) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.Get(), &code);
        return static_cast<int>(code);
    }

private:
    bool running() const { return started() && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }

    KernelHandle held_;
    KernelHandle release_;
    KernelHandle process_;
};

bool MutexExists(const std::wstring& port) {
    const KernelHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, PortLockName(port).c_str()));
    return static_cast<bool>(mutex);
}

class SpoolerPortLock : public ::testing::Test {
protected:
    void SetUp() override {
        if (!RunningUnderWine()) GTEST_SKIP() << "needs Wine's registry-backed spooler";
    }

    TestSymbolicNames usb_;
    SpoolerPortLocks locks_{usb_};
    const std::wstring port_ = Unique(L"USB");
};

TEST_F(SpoolerPortLock, SpoolerListsTheLocalPrintersWithDriverAndPort) {
    const RegistryPrinter printer(Unique(L"Fwdl Listed "), L"Korvane Laser 7030F", port_);
    ASSERT_TRUE(printer.installed());
    const std::vector<SpoolerPrinter> printers = WindowsSpooler().LocalPrinters();
    const auto found = std::find_if(printers.begin(), printers.end(), [&](const SpoolerPrinter& p) {
        return p.driverName == L"Korvane Laser 7030F" && p.portName == port_;
    });
    EXPECT_NE(found, printers.end());
}

TEST_F(SpoolerPortLock, PortHeldByAnotherProcessIsBusyUntilReleased) {
    const RegistryPrinter printer(Unique(L"Fwdl Shared "), L"Korvane Laser 7000", port_);
    ASSERT_TRUE(printer.installed());
    const std::string devicePath = TestDevicePath(port_);

    HolderProcess holder(devicePath);
    ASSERT_TRUE(holder.started());
    ASSERT_TRUE(holder.WaitUntilHeld()) << "helper ended with " << holder.ExitCode();
    EXPECT_TRUE(MutexExists(port_));
    const PortLockResult whileHeld = locks_.AcquireUsbPortLock(devicePath.c_str());
    EXPECT_TRUE(whileHeld.busy);
    EXPECT_EQ(whileHeld.lock, nullptr);
    EXPECT_EQ(holder.Release(), kHolderReleased);
    EXPECT_FALSE(MutexExists(port_));

    const PortLockResult afterRelease = locks_.AcquireUsbPortLock(devicePath.c_str());
    EXPECT_FALSE(afterRelease.busy);
    ASSERT_NE(afterRelease.lock, nullptr);
    // Now the other process finds the port busy.
    HolderProcess second(devicePath);
    EXPECT_EQ(second.ExitCode(), kHolderSawBusy);
    locks_.ReleaseUsbPortLock(afterRelease.lock);

    HolderProcess third(devicePath);
    EXPECT_TRUE(third.WaitUntilHeld());
    EXPECT_EQ(third.Release(), kHolderReleased);
}

TEST_F(SpoolerPortLock, SecondAcquisitionOfOnePortIsBusy) {
    const RegistryPrinter first(Unique(L"Fwdl First "), L"Korvane Laser 7000", port_);
    const RegistryPrinter second(Unique(L"Fwdl Second "), L"Korvane Laser 7000F", port_);
    ASSERT_TRUE(first.installed() && second.installed());
    const std::string devicePath = TestDevicePath(port_);

    const PortLockResult held = locks_.AcquireUsbPortLock(devicePath.c_str());
    ASSERT_FALSE(held.busy);
    ASSERT_NE(held.lock, nullptr);
    const PortLockResult again = locks_.AcquireUsbPortLock(devicePath.c_str());
    EXPECT_TRUE(again.busy);
    EXPECT_EQ(again.lock, nullptr);
    locks_.ReleaseUsbPortLock(held.lock);

    const PortLockResult afterRelease = locks_.AcquireUsbPortLock(devicePath.c_str());
    EXPECT_FALSE(afterRelease.busy);
    EXPECT_NE(afterRelease.lock, nullptr);
    locks_.ReleaseUsbPortLock(afterRelease.lock);
    EXPECT_FALSE(MutexExists(port_));
}

TEST_F(SpoolerPortLock, PrinterOfAnotherDriverOrPortIsNeverLocked) {
    const std::wstring otherPort = Unique(L"LPT");
    const RegistryPrinter otherDriver(Unique(L"Fwdl Other Driver "), L"korvane laser 7000", port_);
    const RegistryPrinter otherPortPrinter(Unique(L"Fwdl Other Port "), L"Korvane Laser 7000", otherPort);
    ASSERT_TRUE(otherDriver.installed() && otherPortPrinter.installed());

    for (const std::wstring& port : {port_, otherPort}) {
        const std::string devicePath = TestDevicePath(port);
        const PortLockResult result = locks_.AcquireUsbPortLock(devicePath.c_str());
        EXPECT_FALSE(result.busy);
        EXPECT_EQ(result.lock, nullptr);
        EXPECT_FALSE(MutexExists(port));
    }
    locks_.ReleaseUsbPortLock(nullptr);  // releasing none does nothing
}

}  // namespace
