#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/update_outcome.h"
#include "base/files.h"
#include "test_support.h"

namespace {

// --- what a run that sends nothing exits with

struct WithoutUpdateCase {
    std::vector<std::wstring> arguments;
    bool anotherCopyRuns;
    std::optional<int> exitCode;
};

class ExitWithoutUpdate : public ::testing::TestWithParam<WithoutUpdateCase> {};

TEST_P(ExitWithoutUpdate, JudgesTheArgumentsBeforeTheOtherCopy) {
    const WithoutUpdateCase& c = GetParam();
    EXPECT_EQ(ExitCodeWithoutUpdate(ParseCommandLine(c.arguments), c.anotherCopyRuns), c.exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ExitWithoutUpdate,
    ::testing::Values(WithoutUpdateCase{{L"fw.exe"}, false, 0}, WithoutUpdateCase{{L"fw.exe"}, true, 0},
                      WithoutUpdateCase{{L"fw.exe", L"/u"}, false, 87},
                      WithoutUpdateCase{{L"fw.exe", L"/u"}, true, 87},
                      WithoutUpdateCase{{L"fw.exe", L"/u", L"P", L"Class"}, false, 87},
                      WithoutUpdateCase{{L"fw.exe", L"/u", L"P", L"C", L"T", L"extra"}, false, 87},
                      WithoutUpdateCase{{L"fw.exe", L"/x", L"P"}, false, 87},
                      WithoutUpdateCase{{L"fw.exe", L"/U", L"P", L"C", L"T"}, true, 87},
                      WithoutUpdateCase{{L"fw.exe", L"/u", L"P"}, true, 1618},
                      WithoutUpdateCase{{L"fw.exe", L"/n", L"::1", L"C", L"T"}, true, 1618},
                      WithoutUpdateCase{{L"fw.exe", L"/u", L"P"}, false, std::nullopt},
                      WithoutUpdateCase{{L"fw.exe", L"/batch", L"l", L"r"}, false, std::nullopt},
                      WithoutUpdateCase{{L"fw.exe", L"/batch", L"l", L"r", L"C", L"T"}, true, 1618},
                      WithoutUpdateCase{{L"fw.exe", L"/batch", L"l", L"r", L"C"}, true, 87},
                      WithoutUpdateCase{{L"fw.exe", L"/n", L"::1", L"C", L"T"}, false, std::nullopt}));

// --- the recorder

class Collected final : public CallerNotices {
public:
    Collected(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
    void Post(int code, int value) override {
        log_.push_back(name_ + " " + std::to_string(code) + " " + std::to_string(value));
    }

private:
    std::vector<std::string>& log_;
    std::string name_;
};

TEST(OutcomeRecorder, PassesEveryNoticeOnInOrderAndKeepsTheFirstFinalOne) {
    std::vector<std::string> log;
    Collected window(log, "window"), console(log, "console");
    OutcomeRecorder recorder({&window, nullptr, &console});
    EXPECT_EQ(recorder.outcome(), UpdateOutcome{});
    recorder.Post(kNoticeProgress, 40);
    EXPECT_EQ(recorder.outcome().notice, UpdateOutcome::kNoFinalNotice);
    recorder.Post(kNoticeFailed, kReasonFileNotOpened);
    recorder.Post(kNoticeDone, 0);
    EXPECT_EQ(recorder.outcome(), (UpdateOutcome{kNoticeFailed, kReasonFileNotOpened}));
    EXPECT_EQ(log, (std::vector<std::string>{"window 1 40", "console 1 40", "window 255 2", "console 255 2",
                                             "window 128 0", "console 128 0"}));
}

TEST(OutcomeRecorder, WithoutObserversStillRecords) {
    OutcomeRecorder recorder({nullptr});
    recorder.Post(kNoticeDone, 0);
    EXPECT_EQ(recorder.outcome(), (UpdateOutcome{kNoticeDone, 0}));
}

// --- outcome and bound entry points to exit code

void NeverCalled() {}

LibraryTable AllBound() {
    LibraryTable table;
#define BIND_ENTRY(name) table.name = reinterpret_cast<PFN_##name>(&NeverCalled);
    VORLEN_DU_EXPORTS(BIND_ENTRY)
    VORLEN_USB_EXPORTS(BIND_ENTRY)
    VORLEN_NET_EXPORTS(BIND_ENTRY)
#undef BIND_ENTRY
    return table;
}

void UnbindUsbLibrary(LibraryTable& table) {
#define UNBIND_ENTRY(name) table.name = nullptr;
    VORLEN_USB_EXPORTS(UNBIND_ENTRY)
#undef UNBIND_ENTRY
}
void UnbindNetworkLibrary(LibraryTable& table) {
#define UNBIND_ENTRY(name) table.name = nullptr;
    VORLEN_NET_EXPORTS(UNBIND_ENTRY)
#undef UNBIND_ENTRY
}
void UnbindDeviceUtilityLibrary(LibraryTable& table) {
#define UNBIND_ENTRY(name) table.name = nullptr;
    VORLEN_DU_EXPORTS(UNBIND_ENTRY)
#undef UNBIND_ENTRY
}

struct MappingCase {
    const char* name;
    UpdateRoad road;
    UpdateOutcome outcome;
    std::function<void(LibraryTable&)> unbind;
    int exitCode;
};

class ExitCodeMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(ExitCodeMapping, FollowsTheFinalNoticeAndTheCallBehindItsReason) {
    const MappingCase& c = GetParam();
    LibraryTable table = AllBound();
    if (c.unbind) c.unbind(table);
    EXPECT_EQ(SilentUpdateExitCode(c.road, c.outcome, table), c.exitCode);
}

const UpdateOutcome kDone{kNoticeDone, 0};
UpdateOutcome Failed(int reason) { return {kNoticeFailed, reason}; }
template <auto Entry>
void Unbind(LibraryTable& table) {
    table.*Entry = nullptr;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExitCodeMapping,
    ::testing::Values(
        MappingCase{"UsbDone", UpdateRoad::kUsb, kDone, nullptr, 0},
        MappingCase{"NetworkDone", UpdateRoad::kNetwork, kDone, nullptr, 0},
        MappingCase{"UsbDoneWithoutTheLibrariesItDoesNotCall", UpdateRoad::kUsb, kDone,
                    [](LibraryTable& t) {
                        UnbindDeviceUtilityLibrary(t);
                        UnbindNetworkLibrary(t);
                    }, 0},
        MappingCase{"NetworkDoneWithoutTheUsbLibraries", UpdateRoad::kNetwork, kDone,
                    [](LibraryTable& t) {
                        UnbindDeviceUtilityLibrary(t);
                        UnbindUsbLibrary(t);
                    }, 0},
        MappingCase{"NoFinalNoticeIsNeverSuccess", UpdateRoad::kUsb, UpdateOutcome{}, nullptr, 1067},
        MappingCase{"UsbNoConnection", UpdateRoad::kUsb, Failed(1), nullptr, 1},
        MappingCase{"UsbFileNotOpened", UpdateRoad::kUsb, Failed(2), nullptr, 2},
        MappingCase{"UsbNotGranted", UpdateRoad::kUsb, Failed(4), nullptr, 4},
        MappingCase{"UsbSendFailed", UpdateRoad::kUsb, Failed(255), nullptr, 255},
        MappingCase{"NetworkNoConnection", UpdateRoad::kNetwork, Failed(1), nullptr, 1},
        MappingCase{"NetworkFileNotOpened", UpdateRoad::kNetwork, Failed(2), nullptr, 2},
        MappingCase{"NetworkNotGranted", UpdateRoad::kNetwork, Failed(4), nullptr, 4},
        MappingCase{"NetworkSendFailed", UpdateRoad::kNetwork, Failed(255), nullptr, 255},
        MappingCase{"UsbLibraryMissing", UpdateRoad::kUsb, Failed(1), UnbindUsbLibrary, 3},
        MappingCase{"UsbStatusReadUnbound", UpdateRoad::kUsb, Failed(4), Unbind<&LibraryTable::USBReadStatus>, 3},
        MappingCase{"UsbWriteUnbound", UpdateRoad::kUsb, Failed(255), Unbind<&LibraryTable::USBWrite>, 3},
        MappingCase{"UsbFileNotOpenedIsNoLibraryCall", UpdateRoad::kUsb, Failed(2), UnbindUsbLibrary, 2},
        MappingCase{"UsbFailureWhileOnlyTheNetworkLibraryIsMissing", UpdateRoad::kUsb, Failed(1),
                    UnbindNetworkLibrary, 1},
        MappingCase{"UsbNotGrantedWithOnlyTheConnectUnbound", UpdateRoad::kUsb, Failed(4),
                    Unbind<&LibraryTable::USBConnectByPrinterName>, 4},
        MappingCase{"NetworkLibraryMissing", UpdateRoad::kNetwork, Failed(4), UnbindNetworkLibrary, 3},
        MappingCase{"NetworkConnectUnbound", UpdateRoad::kNetwork, Failed(1),
                    Unbind<&LibraryTable::NetworkConnectNonBlock>, 3},
        MappingCase{"NetworkWriteUnbound", UpdateRoad::kNetwork, Failed(255), Unbind<&LibraryTable::NetworkWrite>,
                    3},
        MappingCase{"NetworkFailureWhileOnlyTheUsbLibraryIsMissing", UpdateRoad::kNetwork, Failed(4),
                    UnbindUsbLibrary, 4}),
    [](const ::testing::TestParamInfo<MappingCase>& info) { return info.param.name; });

// --- the real update over a partly bound table: the exit code names the
// missing library exactly when the call that ended the update was unbound

int g_stateCode = 0x0A;
int g_handle = 0;

void* VORLEN_CALL StubUsbConnect(const wchar_t*) { return &g_handle; }
int VORLEN_CALL StubUsbStatus(const wchar_t*, PrinterStatusBlock* status) {
    *status = PrinterStatusBlock{};
    status->bytes[PrinterStatusBlock::kStateCodeOffset] = static_cast<unsigned char>(g_stateCode);
    return 1;
}
int VORLEN_CALL StubUsbWrite(void*, const void*, int count) { return count; }
int VORLEN_CALL StubUsbDisconnect(void*) { return 1; }
int VORLEN_CALL StubNetStatus(const char*, const char*, int, PrinterStatusBlock* status) {
    return StubUsbStatus(nullptr, status);
}
NetHandle VORLEN_CALL StubNetConnect(const char*, int, int) { return 5; }
int VORLEN_CALL StubNetWrite(NetHandle, const void*, int count) { return count; }
int VORLEN_CALL StubNetClose(NetHandle) { return 1; }

LibraryTable StubPrinters() {
    LibraryTable table;
    table.USBConnectByPrinterName = StubUsbConnect;
    table.USBReadStatus = StubUsbStatus;
    table.USBWrite = StubUsbWrite;
    table.USBDisconnect = StubUsbDisconnect;
    table.NetworkReadStatusV3 = StubNetStatus;
    table.NetworkConnectNonBlock = StubNetConnect;
    table.NetworkWrite = StubNetWrite;
    table.NetworkClose = StubNetClose;
    return table;
}

struct BoundCase {
    const char* name;
    UpdateRoad road;
    std::function<void(LibraryTable&)> unbind;
    int stateCode;
    UpdateOutcome outcome;
    int exitCode;
};

class ExitCodeOfARealUpdate : public ::testing::TestWithParam<BoundCase> {};

TEST_P(ExitCodeOfARealUpdate, NamesAMissingLibraryOnlyWhenItEndedTheUpdate) {
    const BoundCase& c = GetParam();
    PackageFolder folder;
    folder.AddPatternFile("main.bin", 5000);
    const PackageSettings settings =
        folder.WriteConfig("[General]\nEncoding=0\nFwCount=1\n[Granted]\nS0A*=1\n[Fw0]\nFileName=main.bin\n");
    LibraryTable table = StubPrinters();
    if (c.unbind) c.unbind(table);
    BoundLibraries libraries(table);
    PlatformFiles files;
    g_stateCode = c.stateCode;

    OutcomeRecorder recorder({nullptr});
    if (c.road == UpdateRoad::kUsb)
        UpdateViaUsb(settings, libraries, files, L"P", &recorder);
    else
        UpdateViaNetwork(settings, libraries, files, L"192.0.2.7", &recorder);
    EXPECT_EQ(recorder.outcome(), c.outcome);
    EXPECT_EQ(SilentUpdateExitCode(c.road, recorder.outcome(), table), c.exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExitCodeOfARealUpdate,
    ::testing::Values(
        BoundCase{"UsbCompletes", UpdateRoad::kUsb, nullptr, 0x0A, kDone, 0},
        BoundCase{"UsbNotGranted", UpdateRoad::kUsb, nullptr, 0x11, Failed(4), 4},
        BoundCase{"UsbLibraryMissing", UpdateRoad::kUsb, UnbindUsbLibrary, 0x0A, Failed(1), 3},
        BoundCase{"UsbStatusReadUnbound", UpdateRoad::kUsb, Unbind<&LibraryTable::USBReadStatus>, 0x0A, Failed(4),
                  3},
        BoundCase{"UsbWriteUnbound", UpdateRoad::kUsb, Unbind<&LibraryTable::USBWrite>, 0x0A, Failed(255), 3},
        // The disconnect's result does not decide the outcome.
        BoundCase{"UsbDisconnectUnbound", UpdateRoad::kUsb, Unbind<&LibraryTable::USBDisconnect>, 0x0A, kDone, 0},
        BoundCase{"NetworkCompletes", UpdateRoad::kNetwork, nullptr, 0x0A, kDone, 0},
        BoundCase{"NetworkNotGranted", UpdateRoad::kNetwork, nullptr, 0x11, Failed(4), 4},
        BoundCase{"NetworkLibraryMissing", UpdateRoad::kNetwork, UnbindNetworkLibrary, 0x0A, Failed(4), 3},
        BoundCase{"NetworkConnectUnbound", UpdateRoad::kNetwork, Unbind<&LibraryTable::NetworkConnectNonBlock>, 0x0A,
                  Failed(1), 3},
        BoundCase{"NetworkWriteUnbound", UpdateRoad::kNetwork, Unbind<&LibraryTable::NetworkWrite>, 0x0A,
                  Failed(255), 3}),
    [](const ::testing::TestParamInfo<BoundCase>& info) { return info.param.name; });

}  // namespace
