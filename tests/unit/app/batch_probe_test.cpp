// The batch's reads of a printer, against the simulated fleet.
#include <gtest/gtest.h>

#include <cstdio>

#include "app/batch_probe.h"
#include "sim/fleet.h"
#include "test_support.h"

namespace {

class NoPortLocks final : public UsbPortLocks {
public:
    PortLockResult AcquireUsbPortLock(const char*) override { return {}; }
    void ReleaseUsbPortLock(PortLockHandle) override {}
};

const char kFleetText[] =
    "[Usb0]\nVID=5A71\nPID=0A1B\nModel=Korvane Laser 7000\nPrinterName=Office\nFirmware=1.00\n"
    "AfterUpdate=199*2, 10\nNewFirmware=1.10\n"
    "[Net0]\nIPv4=192.0.2.7\nFirmware=2.00\nAfterUpdate=199*1, 10\nNewFirmware=2.10\n"
    "[Net1]\nIPv4=192.0.2.8\nFailStatusReads=1-\nAnswersGets=0\n";

class BatchProbe : public ::testing::Test {
protected:
    BatchProbe() {
        settings_.VID = 0x5A71;
        settings_.PID = 0x0A1B;
        settings_.MDLCnt = 1;
        std::snprintf(settings_.MDL[0], kModelBytes, "Korvane Laser 7000");
    }
    TempDir dir_;
    Fleet fleet_{dir_.path(), kFleetText};
    PackageSettings settings_;
    NoPortLocks locks_;
    LibraryPrinterProbe probe_{settings_, fleet_, locks_};

    // Sends a tiny package to a printer so that its restart script starts.
    void Update(const BatchPrinter& printer) {
        const unsigned char piece[10] = {};
        const unsigned char zero[4] = {};
        if (printer.road == BatchRoad::kUsb) {
            void* connection = fleet_.USBConnectByPrinterName(L"Office");
            fleet_.USBWrite(connection, piece, 10);
            fleet_.USBWrite(connection, zero, 4);
            fleet_.USBDisconnect(connection);
        } else {
            const NetHandle handle = fleet_.NetworkConnectNonBlock("192.0.2.7", 9100, 300000);
            fleet_.NetworkWrite(handle, piece, 10);
            fleet_.NetworkWrite(handle, zero, 4);
            fleet_.NetworkClose(handle);
        }
    }
};

TEST_F(BatchProbe, ReadsFirmwareAndStateOverUsb) {
    const BatchPrinter usb{BatchRoad::kUsb, L"Office"};
    EXPECT_EQ(probe_.FirmwareText(usb), L"1.00");
    EXPECT_EQ(probe_.ReadState(usb).state, PrinterProbe::State::kReady);
    Update(usb);
    EXPECT_EQ(probe_.ReadState(usb).state, PrinterProbe::State::kUpdating);
    EXPECT_EQ(probe_.ReadState(usb).state, PrinterProbe::State::kUpdating);
    EXPECT_EQ(probe_.ReadState(usb).state, PrinterProbe::State::kReady);
    EXPECT_EQ(probe_.FirmwareText(usb), L"1.10");
    EXPECT_EQ(probe_.ReadState({BatchRoad::kUsb, L"Nobody"}).state, PrinterProbe::State::kUnreadable);
}

TEST_F(BatchProbe, ReadsFirmwareAndStateOverTheNetwork) {
    const BatchPrinter net{BatchRoad::kNetwork, L"192.0.2.7"};
    EXPECT_EQ(probe_.FirmwareText(net), L"2.00");
    Update(net);
    EXPECT_EQ(probe_.ReadState(net).state, PrinterProbe::State::kUpdating);
    EXPECT_EQ(probe_.ReadState(net).state, PrinterProbe::State::kReady);
    EXPECT_EQ(probe_.FirmwareText(net), L"2.10");
    const BatchPrinter silent{BatchRoad::kNetwork, L"192.0.2.8"};
    EXPECT_EQ(probe_.FirmwareText(silent), std::nullopt);
    EXPECT_EQ(probe_.ReadState(silent).state, PrinterProbe::State::kUnreadable);
}

// The wizard's fault rule decides first: a printer that reports an update
// fault is not ready, whatever its state code.
TEST(BatchProbeStatus, AnUpdateFaultIsNeitherReadyNorUpdating) {
    struct Case {
        unsigned char state, detail1, detail2;
        PrinterProbe::State expected;
        const wchar_t* faultName;
    } const cases[] = {{10, 0, 0, PrinterProbe::State::kReady, L""},
                       {199, 0, 0, PrinterProbe::State::kUpdating, L""},
                       {10, 1, 30, PrinterProbe::State::kUpdateFault, L"016-501"},
                       {199, 1, 33, PrinterProbe::State::kUpdateFault, L"016-745"},
                       {10, 1, 34, PrinterProbe::State::kReady, L""},
                       {10, 2, 30, PrinterProbe::State::kReady, L""}};
    for (const Case& c : cases) {
        PrinterStatusBlock status;
        status.bytes[PrinterStatusBlock::kStateCodeOffset] = c.state;
        status.bytes[PrinterStatusBlock::kDetailCode1Offset] = c.detail1;
        status.bytes[PrinterStatusBlock::kDetailCode2Offset] = c.detail2;
        const PrinterProbe::Reading reading = StateOfStatus(status);
        EXPECT_EQ(reading.state, c.expected) << int{c.state} << "/" << int{c.detail1} << "/" << int{c.detail2};
        EXPECT_EQ(reading.faultName, c.faultName);
    }
}

TEST_F(BatchProbe, NoUsbFirmwareWhenNoneOrSeveralPrintersAreAttached) {
    settings_.PID = 0x0B0B;  // the package's printers are not attached
    EXPECT_EQ(probe_.FirmwareText({BatchRoad::kUsb, L"Office"}), std::nullopt);
}

// "Office" is attached; a name that leads to no attached printer must not
// be given the firmware of the one that is.
TEST_F(BatchProbe, NoUsbFirmwareForANameThatNamesNoAttachedPrinter) {
    EXPECT_EQ(probe_.FirmwareText({BatchRoad::kUsb, L"Reception"}), std::nullopt);
    EXPECT_EQ(probe_.FirmwareText({BatchRoad::kUsb, L"office"}), L"1.00");  // the spooler ignores letter case
}

}  // namespace
