// A package folder, printer rows and every fake a job needs, wired together.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "package/package_model.h"
#include "test_support.h"
#include "transfer/network_transfer.h"
#include "transfer/printer_rows.h"
#include "transfer/usb_transfer.h"
#include "transfer_fakes.h"

class TransferFixture : public ::testing::Test {
public:
    // Writes the configuration with `count` entries described by `sections`
    // (the "[Fw%d]" sections), grants state 0x0A, and loads the package.
    void Package(int count, const std::string& sections) {
        settings = folder.WriteConfig("[General]\nEncoding=0\nFwCount=" + std::to_string(count) + "\n" + sections +
                                      "[Granted]\nS0A*=1\n");
        package = LoadPackage(settings, files, packageRows);
        files.opens.clear();
    }

    UsbPrinterItem& AddUsb(std::uint16_t deviceIndex, const std::wstring& serial, const std::wstring& name,
                           bool checked = true, const char* variant = "") {
        UsbPrinterItem& item = usbItems.emplace_back();
        item.deviceIndex = deviceIndex;
        CopyTruncated(variant, item.variantCode, sizeof item.variantCode);
        usbRows.Append({checked, serial, name, &item});
        fleet.Usb(deviceIndex);
        return item;
    }

    NetPrinterItem& AddNet(const std::wstring& address, const std::wstring& name, bool checked = true,
                           const char* variant = "") {
        NetPrinterItem& item = netItems.emplace_back();
        CopyTruncated(variant, item.variantCode, sizeof item.variantCode);
        netRows.Append({checked, address, name, &item});
        fleet.Net(ToEightBit(address));
        return item;
    }

    TransferContext Context() { return {settings, fleet, files, clock, packageRows, package.TotalSize, texts}; }

    void RunUsb() {
        job.window = &window;
        RunUsbTransfer(job, Context(), locks, usbRows);
    }
    void RunNet(const char* community = "public") {
        job.window = &window;
        CopyTruncated(community, job.community, sizeof job.community);
        RunNetworkTransfer(job, Context(), netRows);
    }

    // Cancels as the user would once the printer has taken `bytes` bytes.
    void CancelAfterBytes(std::size_t bytes) {
        fleet.afterWrite = [this, bytes](const FakePrinter& printer) {
            if (printer.received.size() >= bytes) job.abortReason.store(kAbortByUser);
        };
    }
    // What the window's Cancel does when pressed: nothing while it is off,
    // else the job stops unless it stopped itself already.
    void PressCancel() {
        if (window.cancelStates.empty() || !window.cancelStates.back()) return;
        std::int32_t running = kAbortNone;
        job.abortReason.compare_exchange_strong(running, kAbortByUser);
    }
    // Cancels at the end of the sleep that brings the clock to `at` ms.
    void CancelAtTime(std::int64_t at) {
        clock.afterSleep = [this, at](std::int64_t now, int) {
            if (now >= at) job.abortReason.store(kAbortByUser);
        };
    }

    // Forgets the previous run, for tables of cases in one test.
    void TearDownRun() {
        timeline.clear();
        fleet.Reset();
        locks.Reset();
        clock = VirtualClock();
        window.Reset();
        files.opens.clear();
        files.shortReads.clear();
        files.readFaults.clear();
        job.abortReason.store(kAbortNone);
        job.done.store(0);
        job.brokenOff.store(0);
        usbRows.Clear();
        netRows.Clear();
        usbItems.clear();
        netItems.clear();
    }

    std::string File(const std::string& name) const {
        std::string bytes;
        const auto path = folder.dir().path() / name;
        FILE* f = std::fopen(path.string().c_str(), "rb");
        if (!f) return bytes;
        char chunk[4096];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
        std::fclose(f);
        return bytes;
    }
    std::wstring PathOf(const std::string& name) const { return settings.ModuleDir + L"\\" + FromEightBit(name); }

    Timeline timeline;
    FakeFleet fleet{timeline};
    FakePortLocks locks{timeline};
    VirtualClock clock;
    FakeWindow window{timeline};
    EnglishTexts texts;
    RecordingFiles files;
    PackageFolder folder;
    PackageSettings settings;
    PackageTable packageRows;
    PackageLoadResult package;
    TransferJob job;
    std::deque<UsbPrinterItem> usbItems;
    std::deque<NetPrinterItem> netItems;
    UsbPrinterTable usbRows;
    NetPrinterTable netRows;
};

inline const std::wstring kSendFailed = L"Unable to download data to the printer:\n\t";
inline const std::wstring kNotReady = L"Check that the printers are ready.";
inline const std::wstring kOpenFailed = L"Unable to open the file: \n\t";
