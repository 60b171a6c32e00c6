// The real program in a package folder with the stand-in libraries, started
// by a caller window as another program would start it: the notices that
// arrive and the exact bytes each simulated printer received.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "caller_win32.h"
#include "package_folder.h"
#include "tests/library_header.h"
#include "base/sha256.h"
#include "device/library_architecture.h"
#include "package/config_codec.h"
#include "sim/recorder.h"
#include "sim/sim_printer.h"

namespace {

namespace fs = std::filesystem;
using Notices = std::vector<std::pair<int, int>>;

constexpr DWORD kTimeLimitMs = 60000;
const std::wstring kTitle = L"Firmware caller";

using e2e::Lines;
using e2e::Pattern;
using e2e::ProgramFolder;

// A failed update names its support log last, a file whose name differs
// from run to run.
std::string WithLogNamed(const std::string& output) {
    static const std::regex log("support log: [^\r\n]*\\\\logs\\\\run-[-0-9]+\\.log\r\n$");
    return std::regex_replace(output, log, "support log: <log>\r\n");
}
const std::string kLogLine = "support log: <log>\r\n";

// The final notice, or (-1, -1) when none arrived.
std::pair<int, int> Last(const Notices& notices) { return notices.empty() ? std::make_pair(-1, -1) : notices.back(); }

const std::string kZeroMarker("\0\0\0\0", 4);
const std::string kMoreMarker("\xAA\x55\x55\xAA", 4);

// The package of most tests: two entries of 5000 and 3000 bytes, state 10
// granted.
const char kTwoEntries[] =
    "[General]\nEncoding=0\nModuleName=Tessaro\nFwCount=2\n"
    "[Granted]\nS0A*=1\n[Fw0]\nFileName=main.bin\n[Fw1]\nFileName=engine.bin\n";

const char kFleet[] =
    "[Usb0]\nIndex=1\nVID=5A71\nPID=001A\nPrinterName=Korvane USB\nPort=USB001\n"
    "[Usb1]\nIndex=2\nPrinterName=Busy USB\nStatus=11\n"
    "[Net0]\nIPv4=192.0.2.7\nSysOID=1.3.6.1.4.1.47131.1.1\n"
    "[Net1]\nIPv6=fe80::211:22ff:fe33:4455%11\nSysOID=1.3.6.1.4.1.47131.1.1\n";

// Each test in a package folder of its own, with the package of two entries
// and the fleet above.
class CommandLine : public e2e::PackageFolderTest {
protected:
    void SetUp() override {
        MakeFolder(L"FwdlCaller.", kTitle, kTimeLimitMs);
        WriteConfig(kTwoEntries);
        Write("vorlensim.ini", kFleet);
    }

    // Starts the program with a caller window of our class and title; the
    // program must end, and end normally.
    CallerRun Run(std::vector<std::wstring> arguments, const std::string& program = "TessaroFWDL.exe") {
        const CallerRun run = RunRedirected(arguments, nullptr, program);
        EXPECT_TRUE(!run.finished || run.EndedNormally()) << "the program crashed, exit code 0x" << std::hex
                                                          << run.exitCode;
        return run;
    }
    CallerRun RunUsb(const std::wstring& printer) { return Run({L"/u", printer, windowClass_, kTitle}); }
    CallerRun RunNetwork(const std::wstring& address) { return Run({L"/n", address, windowClass_, kTitle}); }

    // Runs with the standard output redirected to a pipe; `output` is what arrived.
    Redirected RunIntoPipe(const std::vector<std::wstring>& arguments) {
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
        const KernelHandle reader(readEnd);
        KernelHandle writer(writeEnd);
        SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);
        // The lines are far fewer than the pipe holds: read them once the program has ended.
        Redirected result{RunRedirected(arguments, writer.Get()), ""};
        writer.Reset();
        char buffer[4096];
        DWORD count = 0;
        while (ReadFile(reader.Get(), buffer, sizeof buffer, &count, nullptr) && count > 0)
            result.output.append(buffer, count);
        return result;
    }
};

TEST_F(CommandLine, UsbUpdateSendsEachFileWithItsZeroMarker) {
    const CallerRun run = RunUsb(L"Korvane USB");
    EXPECT_EQ(run.notices, (Notices{{0, 0}, {1, 40}, {1, 50}, {1, 100}, {128, 0}}));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Record("Usb0.bin"), Pattern(5000, 1) + kZeroMarker + Pattern(3000, 2) + kZeroMarker);
    EXPECT_EQ(Lines(Record("Usb0.log")),
              (std::vector<std::string>{"USBConnectByPrinterName \"Korvane USB\" -> connected",
                                        "USBReadStatus \"Korvane USB\" -> status 10/0/0", "USBWrite 4096 -> took 4096",
                                        "USBWrite 904 -> took 904", "USBWrite 4 -> took 4 marker 00000000",
                                        "USBWrite 3000 -> took 3000", "USBWrite 4 -> took 4 marker 00000000",
                                        "USBDisconnect -> closed"}));
}

TEST_F(CommandLine, NetworkUpdateConnectsPerEntryAndMarksTheFilesBetween) {
    const CallerRun run = RunNetwork(L"192.0.2.7");
    EXPECT_EQ(run.notices, (Notices{{0, 0}, {1, 40}, {1, 50}, {1, 100}, {128, 0}}));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Record("Net0.bin"), Pattern(5000, 1) + kMoreMarker + Pattern(3000, 2) + kZeroMarker);
    const auto log = Lines(Record("Net0.log"));
    ASSERT_EQ(log.size(), 10u);
    EXPECT_EQ(log[0], "NetworkReadStatusV3 192.0.2.7 \"meadow\" 3 -> status 10/0/0");
    EXPECT_EQ(log[1], "NetworkConnectNonBlock 192.0.2.7 9100 300000 -> handle 100");
    EXPECT_EQ(log[4], "NetworkWrite 4 -> took 4 marker AA5555AA");
    EXPECT_EQ(log[5], "NetworkClose 100 -> closed");
    EXPECT_EQ(log[6], "NetworkConnectNonBlock 192.0.2.7 9100 300000 -> handle 101");
    EXPECT_EQ(log[8], "NetworkWrite 4 -> took 4 marker 00000000");
    EXPECT_EQ(log[9], "NetworkClose 101 -> closed");
}

TEST_F(CommandLine, NetworkUpdateOverIpv6WithScope) {
    const CallerRun run = RunNetwork(L"fe80::211:22ff:fe33:4455%11");
    EXPECT_EQ(Last(run.notices), std::make_pair(128, 0));
    EXPECT_EQ(Record("Net1.bin"), Pattern(5000, 1) + kMoreMarker + Pattern(3000, 2) + kZeroMarker);
}

TEST_F(CommandLine, EncodedPackageIsReadLikeAPlainOne) {
    char pid[8];
    std::snprintf(pid, sizeof pid, "%04X", productId_);
    Write("TessaroFWDL.cfg", "[General]\nEncoding=1\nVID=" + EncodeConfigValue("5A71") +
                                 "\nPID=" + EncodeConfigValue(pid) + "\nFwCount=" + EncodeConfigValue("2") +
                                 "\n[Granted]\nS0A*=" + EncodeConfigValue("1") +
                                 "\n[Fw0]\nFileName=" + EncodeConfigValue("main.bin") +
                                 "\n[Fw1]\nFileName=" + EncodeConfigValue("engine.bin") + "\n");
    EXPECT_EQ(RunUsb(L"Korvane USB").notices, (Notices{{0, 0}, {1, 40}, {1, 50}, {1, 100}, {128, 0}}));
    EXPECT_EQ(Record("Usb0.bin"), Pattern(5000, 1) + kZeroMarker + Pattern(3000, 2) + kZeroMarker);
}

TEST_F(CommandLine, FileOfWholeChunksEndsWithAnEmptyWrite) {
    Write("main.bin", Pattern(8192, 1));
    WriteConfig("[General]\nEncoding=0\nFwCount=1\n[Granted]\nS0A*=1\n"
                             "[Fw0]\nFileName=main.bin\n");
    const CallerRun run = RunUsb(L"Korvane USB");
    EXPECT_EQ(run.notices, (Notices{{0, 0}, {1, 50}, {1, 100}, {128, 0}}));
    EXPECT_EQ(Record("Usb0.bin"), Pattern(8192, 1) + kZeroMarker);
    const auto log = Lines(Record("Usb0.log"));
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[4], "USBWrite 0 -> took 0");
}

TEST_F(CommandLine, EmptyPackageOpensAndClosesTheUsbPrinter) {
    WriteConfig("[General]\nEncoding=0\nFwCount=0\n[Granted]\nS0A*=1\n");
    EXPECT_EQ(RunUsb(L"Korvane USB").notices, (Notices{{0, 0}, {128, 0}}));
    EXPECT_EQ(Lines(Record("Usb0.log")),
              (std::vector<std::string>{"USBConnectByPrinterName \"Korvane USB\" -> connected",
                                        "USBReadStatus \"Korvane USB\" -> status 10/0/0", "USBDisconnect -> closed"}));
    EXPECT_EQ(RunNetwork(L"192.0.2.7").notices, (Notices{{0, 0}, {128, 0}}));
    EXPECT_EQ(Lines(Record("Net0.log")).size(), 1u);
}

TEST_F(CommandLine, PrinterThatCannotBeOpenedGetsNoConnectionNotice) {
    const CallerRun run = RunUsb(L"Nobody's printer");
    EXPECT_EQ(run.notices, (Notices{{0, 0}, {255, 1}}));
    EXPECT_EQ(run.exitCode, 1u);
    const auto fleetLog = Lines(Record("fleet.log"));
    ASSERT_FALSE(fleetLog.empty());
    EXPECT_EQ(fleetLog.back(), "no USB printer named \"Nobody's printer\"");
}

TEST_F(CommandLine, PrinterNotGrantedOpensNoFile) {
    const CallerRun run = RunUsb(L"Busy USB");
    EXPECT_EQ(run.notices, (Notices{{0, 0}, {255, 4}}));
    EXPECT_EQ(run.exitCode, 4u);
    EXPECT_EQ(Lines(Record("Usb1.log")),
              (std::vector<std::string>{"USBConnectByPrinterName \"Busy USB\" -> connected",
                                        "USBReadStatus \"Busy USB\" -> status 11/0/0", "USBDisconnect -> closed"}));
}

// Every file is opened before the first byte goes out: a package that cannot
// be sent whole reaches no printer.
TEST_F(CommandLine, MissingSecondFileRefusesThePackageBeforeAnythingIsSent) {
    DeleteFileW((folder_ / "engine.bin").c_str());
    const CallerRun usb = RunUsb(L"Korvane USB");
    EXPECT_EQ(usb.notices, (Notices{{0, 0}, {255, 2}}));
    EXPECT_EQ(usb.exitCode, 2u);
    EXPECT_EQ(Record("Usb0.bin"), "");
    EXPECT_EQ(Lines(Record("Usb0.log")), (std::vector<std::string>{
                                             "USBConnectByPrinterName \"Korvane USB\" -> connected",
                                             "USBReadStatus \"Korvane USB\" -> status 10/0/0",
                                             "USBDisconnect -> closed"}));
    const CallerRun network = RunNetwork(L"192.0.2.7");
    EXPECT_EQ(network.notices, (Notices{{0, 0}, {255, 2}}));
    EXPECT_EQ(network.exitCode, 2u);
    EXPECT_EQ(Record("Net0.bin"), "");
    const auto log = Lines(Record("Net0.log"));
    ASSERT_FALSE(log.empty());
    for (const std::string& line : log) EXPECT_EQ(line.find("NetworkWrite"), std::string::npos) << line;
    // The one connection, made for the first file, is closed without data.
    EXPECT_EQ(log.back(), "NetworkClose 100 -> closed");
}

struct FaultCase {
    const char* name;
    const char* printer;  // scenario lines of Usb0 / Net0
    bool network;
    Notices notices;
};

class CommandLineFaults : public CommandLine, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(CommandLineFaults, EndWithTheirNotice) {
    const FaultCase& c = GetParam();
    Write("vorlensim.ini", std::string(c.network ? "[Net0]\nIPv4=192.0.2.7\n" : "[Usb0]\nPrinterName=P\n") +
                               c.printer + "\n");
    const CallerRun run = c.network ? RunNetwork(L"192.0.2.7") : RunUsb(L"P");
    EXPECT_EQ(run.notices, c.notices);
    // 0 only for the done notice; otherwise the failure notice's reason.
    const auto [code, value] = Last(c.notices);
    EXPECT_EQ(run.exitCode, static_cast<DWORD>(code == 128 ? 0 : value));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineFaults,
    ::testing::Values(
        FaultCase{"UsbShortWrite", "WriteFaults=2:short", false, {{0, 0}, {1, 40}, {255, 255}}},
        FaultCase{"UsbMarkerFails", "WriteFaults=3:fail", false, {{0, 0}, {1, 40}, {1, 50}, {255, 255}}},
        FaultCase{"UsbRefused", "RefuseConnections=1", false, {{0, 0}, {255, 1}}},
        FaultCase{"UsbStatusUnreadable", "FailStatusReads=1", false, {{0, 0}, {255, 4}}},
        FaultCase{"UsbStopsAnswering", "StopAnsweringAfter=3", false, {{0, 0}, {1, 40}, {1, 50}, {255, 255}}},
        FaultCase{"NetworkRefusedOnce", "RefuseConnections=1", true, {{0, 0}, {255, 1}}},
        FaultCase{"NetworkSecondConnectRefused", "RefuseConnections=1\nWriteFaults=1:zero", true,
                  {{0, 0}, {255, 1}}},
        FaultCase{"NetworkStatusUnreadable", "FailStatusReads=1-", true, {{0, 0}, {255, 4}}},
        FaultCase{"NetworkOtherRawPort", "RawPort=9101", true, {{0, 0}, {255, 1}}},
        FaultCase{"NetworkDataWriteFails", "WriteFaults=4:fail", true,
                  {{0, 0}, {1, 40}, {1, 50}, {255, 255}}},
        FaultCase{"NetworkMarkerNeverTaken", "WriteFaults=3+:zero", true, {{0, 0}, {1, 40}, {1, 50}, {255, 255}}},
        FaultCase{"NetworkMarkerInPieces", "WriteFaults=3:half,4:zero", true,
                  {{0, 0}, {1, 40}, {1, 50}, {1, 100}, {128, 0}}},
        FaultCase{"NetworkFaultCodesDoNotMatterHere", "FaultAfterFile=1\nFaultCodes=1/31", true,
                  {{0, 0}, {1, 40}, {1, 50}, {1, 100}, {128, 0}}}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

// A USB printer that did not take a piece of a file whole holds part of it:
// it is told to drop the update with the abandon marker, never the zero one.
TEST_F(CommandLine, AUsbPrinterThatDidNotTakeAFileWholeGetsTheAbandonMarker) {
    Write("vorlensim.ini", "[Usb0]\nPrinterName=P\nWriteFaults=2:short\n");
    const CallerRun run = RunUsb(L"P");
    EXPECT_EQ(run.notices, (Notices{{0, 0}, {1, 40}, {255, 255}}));
    EXPECT_EQ(Record("Usb0.bin"), Pattern(5000, 1).substr(0, 4096 + 903) + std::string(4, '\xFF'));
    EXPECT_NE(Record("Usb0.log").find("marker FFFFFFFF"), std::string::npos) << Record("Usb0.log");
}

// A missing library: the notice of the first call that could not be made,
// and the exit code 3.
TEST_F(CommandLine, WithoutTheUsbLibraryTheUsbPrinterCannotBeOpened) {
    DeleteFileW((folder_ / "vorlenusb.dll").c_str());
    const CallerRun run = RunUsb(L"Korvane USB");
    EXPECT_EQ(run.notices, (Notices{{0, 0}, {255, 1}}));
    EXPECT_EQ(run.exitCode, 3u);
}

TEST_F(CommandLine, WithoutTheNetworkLibraryTheStatusCannotBeRead) {
    DeleteFileW((folder_ / "vorlennet.dll").c_str());
    const CallerRun run = RunNetwork(L"192.0.2.7");
    EXPECT_EQ(run.notices, (Notices{{0, 0}, {255, 4}}));
    EXPECT_EQ(run.exitCode, 3u);
}

TEST_F(CommandLine, ANetworkLibraryThatCannotBeLoadedCountsAsMissing) {
    Write("vorlennet.dll", "MZ but not a library of any architecture");
    const CallerRun run = RunNetwork(L"192.0.2.7");
    EXPECT_EQ(run.notices, (Notices{{0, 0}, {255, 4}}));
    EXPECT_EQ(run.exitCode, 3u);
    EXPECT_FALSE(RecordExists("Net0.log"));
}

TEST_F(CommandLine, AUsbUpdateDoesNotNeedTheOtherLibraries) {
    DeleteFileW((folder_ / "vorlennet.dll").c_str());
    const CallerRun run = RunUsb(L"Korvane USB");
    EXPECT_EQ(Last(run.notices), std::make_pair(128, 0));
    EXPECT_EQ(run.exitCode, 0u);
}

// --- start-up's dispatch of the command line

TEST_F(CommandLine, ThreeArgumentsUpdateWithoutNotices) {
    const CallerRun run = Run({L"/u", L"Korvane USB"});
    EXPECT_TRUE(run.notices.empty());
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Record("Usb0.bin"), Pattern(5000, 1) + kZeroMarker + Pattern(3000, 2) + kZeroMarker);
}

TEST_F(CommandLine, WindowNotFoundUpdatesWithoutNotices) {
    const CallerRun run = Run({L"/n", L"192.0.2.7", windowClass_, L"Another title"});
    EXPECT_TRUE(run.notices.empty());
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Record("Net0.bin"), Pattern(5000, 1) + kMoreMarker + Pattern(3000, 2) + kZeroMarker);
}

TEST_F(CommandLine, UnknownSwitchGetsOnlyTheStartNotice) {
    for (const wchar_t* unknown : {L"/x", L"/U", L"-u"}) {
        const CallerRun run = Run({unknown, L"Korvane USB", windowClass_, kTitle});
        EXPECT_EQ(run.notices, (Notices{{0, 0}})) << unknown;
        EXPECT_EQ(run.exitCode, 87u) << unknown;
    }
    EXPECT_FALSE(RecordExists("Usb0.log"));
}

TEST_F(CommandLine, TwoOrFourArgumentsEndAtOnceWithoutAnything) {
    for (const std::vector<std::wstring>& arguments : std::vector<std::vector<std::wstring>>{
             {L"/u"}, {L"/u", L"Korvane USB", windowClass_}, {L"/u", L"Korvane USB", windowClass_, kTitle, L"extra"}}) {
        const CallerRun run = Run(arguments);
        EXPECT_TRUE(run.notices.empty()) << arguments.size();
        EXPECT_EQ(run.exitCode, 87u) << arguments.size();
    }
    EXPECT_FALSE(RecordExists("Usb0.log"));
}

TEST_F(CommandLine, SecondInstancePostsNothing) {
    // The instance mutex of this package's VID and PID, held as a running copy would.
    HANDLE mutex = CreateMutexW(nullptr, TRUE, InstanceName().c_str());
    ASSERT_NE(mutex, nullptr);
    const CallerRun run = RunUsb(L"Korvane USB");
    const CallerRun network = Run({L"/n", L"192.0.2.7"});
    const CallerRun wizard = Run({});
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    EXPECT_TRUE(run.notices.empty());
    EXPECT_EQ(run.exitCode, 1618u);  // deployment systems retry on this code
    EXPECT_EQ(network.exitCode, 1618u);
    EXPECT_EQ(wizard.exitCode, 0u);  // the wizard's code stays 0
    EXPECT_FALSE(RecordExists("Usb0.log"));
    EXPECT_FALSE(RecordExists("Net0.log"));
    // Once that copy has ended, the update runs.
    const CallerRun again = RunUsb(L"Korvane USB");
    EXPECT_EQ(Last(again.notices), std::make_pair(128, 0));
    EXPECT_EQ(again.exitCode, 0u);
}

TEST_F(CommandLine, StatusScriptAfterTheUpdateIsSeenByTheNextRun) {
    Write("vorlensim.ini", "[Usb0]\nPrinterName=P\nAfterUpdate=199*2,10\nNewFirmware=1.10\n");
    EXPECT_EQ(Last(RunUsb(L"P").notices), std::make_pair(128, 0));
    // Updating for the next two status reads, which are not granted; then
    // ready again, with the new firmware.
    EXPECT_EQ(RunUsb(L"P").notices, (Notices{{0, 0}, {255, 4}}));
    EXPECT_EQ(RunUsb(L"P").notices, (Notices{{0, 0}, {255, 4}}));
    EXPECT_EQ(ParseCounters(Record("Usb0.state")).firmware, "1.10");
    EXPECT_EQ(Last(RunUsb(L"P").notices), std::make_pair(128, 0));
    EXPECT_EQ(ParseCounters(Record("Usb0.state")).statusReads, 4);
}

// --- lines on a redirected standard output

TEST_F(CommandLine, AnUpdateWritesItsStartProgressAndOutcomeToARedirectedFile) {
    const Redirected usb = RunIntoFile({L"/u", L"Korvane USB", windowClass_, kTitle});
    EXPECT_EQ(usb.output,
              "started: firmware update of USB printer \"Korvane USB\"\r\n"
              "progress: 40%\r\nprogress: 50%\r\nprogress: 100%\r\n"
              "completed: every firmware file was sent\r\n");
    EXPECT_EQ(usb.run.notices, (Notices{{0, 0}, {1, 40}, {1, 50}, {1, 100}, {128, 0}}));
    EXPECT_EQ(usb.run.exitCode, 0u);

    // Without a caller window too.
    const Redirected network = RunIntoFile({L"/n", L"192.0.2.7"});
    EXPECT_EQ(network.output,
              "started: firmware update of network printer 192.0.2.7\r\n"
              "progress: 40%\r\nprogress: 50%\r\nprogress: 100%\r\n"
              "completed: every firmware file was sent\r\n");
    EXPECT_EQ(network.run.exitCode, 0u);
}

TEST_F(CommandLine, ProgressLinesComeAtEachTenthWhateverTheNotices) {
    // 20 chunks: a notice every 5 percent, a line every 10.
    Write("main.bin", Pattern(20 * 4096, 1));
    WriteConfig("[General]\nEncoding=0\nFwCount=1\n[Granted]\nS0A*=1\n[Fw0]\nFileName=main.bin\n");
    const Redirected run = RunIntoFile({L"/u", L"Korvane USB", windowClass_, kTitle});
    EXPECT_EQ(run.run.notices.size(), 1u + 20u + 1u);
    std::string expected = "started: firmware update of USB printer \"Korvane USB\"\r\n";
    for (int percent = 10; percent <= 100; percent += 10) expected += "progress: " + std::to_string(percent) + "%\r\n";
    EXPECT_EQ(run.output, expected + "completed: every firmware file was sent\r\n");
}

TEST_F(CommandLine, FailuresSayTheirReasonInWords) {
    const Redirected busy = RunIntoFile({L"/u", L"Busy USB"});
    EXPECT_EQ(WithLogNamed(busy.output),
              "started: firmware update of USB printer \"Busy USB\"\r\n"
              "failed: reason 4 (printer status unreadable or not in a condition that allows the update)\r\n" +
                  kLogLine);
    EXPECT_EQ(busy.run.exitCode, 4u);

    // Over a pipe, and a printer name beyond ASCII in UTF-8 that the
    // system's code page holds.
    const Redirected unknown = RunIntoPipe({L"/u", L"B\u00FCro 2F", windowClass_, kTitle});
    EXPECT_EQ(WithLogNamed(unknown.output),
              "started: firmware update of USB printer \"B\xC3\xBCro 2F\"\r\n"
              "failed: reason 1 (no connection to the printer)\r\n" +
                  kLogLine);
    EXPECT_EQ(unknown.run.notices, (Notices{{0, 0}, {255, 1}}));
    EXPECT_EQ(unknown.run.exitCode, 1u);

    DeleteFileW((folder_ / "vorlenusb.dll").c_str());
    const Redirected missing = RunIntoFile({L"/u", L"Korvane USB"});
    EXPECT_EQ(WithLogNamed(missing.output),
              "started: firmware update of USB printer \"Korvane USB\"\r\n"
              "failed: reason 1 (a library the update needs is missing or could not be loaded)\r\n" +
                  kLogLine);
    EXPECT_EQ(missing.run.exitCode, 3u);
}

// What is refused before the printer is touched keeps its reason and says
// what happened. The test prefix's code page is a Western one, which holds
// no Japanese: the library would get the name as question marks.
TEST_F(CommandLine, RefusalsBeforeThePrinterSayWhatHappened) {
    Write("vorlensim.ini", std::string(kFleet) + "[Usb2]\nIndex=3\nPrinterName=????\n");
    const Redirected japanese = RunIntoPipe({L"/u", L"\u30D7\u30EA\u30F3\u30BF", windowClass_, kTitle});
    EXPECT_EQ(WithLogNamed(japanese.output),
              "started: firmware update of USB printer \"\xE3\x83\x97\xE3\x83\xAA\xE3\x83\xB3\xE3\x82\xBF\"\r\n"
              "failed: reason 1 (the printer name \"\xE3\x83\x97\xE3\x83\xAA\xE3\x83\xB3\xE3\x82\xBF\" cannot be "
              "passed to the maker's library on this system (it holds characters that the system's code page "
              "lacks))\r\n" +
                  kLogLine);
    EXPECT_EQ(japanese.run.notices, (Notices{{0, 0}, {255, 1}}));
    EXPECT_EQ(japanese.run.exitCode, 1u);
    EXPECT_FALSE(RecordExists("Usb2.bin"));

    Write("empty.bin", "");
    WriteConfig("[General]\nEncoding=0\nFwCount=2\n[Granted]\nS0A*=1\n[Fw0]\nFileName=main.bin\n"
                "[Fw1]\nFileName=empty.bin\n");
    const std::string emptyPath = (folder_ / "empty.bin").string();
    const Redirected empty = RunIntoFile({L"/n", L"192.0.2.7"});
    EXPECT_EQ(WithLogNamed(empty.output), "started: firmware update of network printer 192.0.2.7\r\n"
                                          "failed: reason 2 (the firmware file \"" + emptyPath + "\" is empty)\r\n" +
                                              kLogLine);
    EXPECT_EQ(empty.run.exitCode, 2u);
    EXPECT_FALSE(RecordExists("Net0.bin"));

    // The description under another name than the program's: reason 4, as
    // before, in words that name the file looked for.
    fs::rename(folder_ / "TessaroFWDL.cfg", folder_ / "update.cfg");
    const std::string described = (folder_ / "TessaroFWDL.cfg").string();
    const Redirected renamed = RunIntoFile({L"/u", L"Korvane USB"});
    EXPECT_EQ(WithLogNamed(renamed.output),
              "started: firmware update of USB printer \"Korvane USB\"\r\n"
              "failed: reason 4 (the package description \"" + described + "\" is missing)\r\n" + kLogLine);
    EXPECT_EQ(renamed.run.exitCode, 4u);
}

TEST_F(CommandLine, RunsThatStartNoUpdateSayWhyAndTheWizardSaysNothing) {
    const Redirected twoArguments = RunIntoFile({L"/u"});
    EXPECT_EQ(twoArguments.output.rfind("not started: arguments not understood", 0), 0u) << twoArguments.output;
    EXPECT_EQ(twoArguments.run.exitCode, 87u);

    HANDLE mutex = CreateMutexW(nullptr, TRUE, InstanceName().c_str());
    ASSERT_NE(mutex, nullptr);
    const Redirected blocked = RunIntoPipe({L"/n", L"192.0.2.7"});
    const Redirected wizard = RunIntoFile({});
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    EXPECT_EQ(blocked.output, "not started: another copy for this printer family is running\r\n");
    EXPECT_EQ(blocked.run.exitCode, 1618u);
    EXPECT_EQ(wizard.output, "");
    EXPECT_EQ(wizard.run.exitCode, 0u);
}

TEST_F(CommandLine, AnUpdateStartedFromAConsoleWritesItsLinesThere) {
    e2e::OwnConsole console;
    ASSERT_TRUE(console.ready());
    const CallerRun run = RunNetwork(L"192.0.2.7");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(console.Rows(), (std::vector<std::wstring>{L"started: firmware update of network printer 192.0.2.7",
                                                        L"progress: 40%", L"progress: 50%", L"progress: 100%",
                                                        L"completed: every firmware file was sent"}));
}

}  // namespace

TEST_F(CommandLine, AProgramReadsTheConfigurationOfItsOwnName) {
    // The same package under another program name: update.EXE reads update.cfg,
    // whatever the case of its extension, and the package it names is sent.
    fs::rename(folder_ / "TessaroFWDL.exe", folder_ / "update.EXE");
    fs::rename(folder_ / "TessaroFWDL.cfg", folder_ / "update.cfg");
    const CallerRun run = Run({L"/u", L"Korvane USB", windowClass_, kTitle}, "update.EXE");
    EXPECT_EQ(Last(run.notices), std::make_pair(128, 0));
    EXPECT_EQ(Record("Usb0.bin"), Pattern(5000, 1) + kZeroMarker + Pattern(3000, 2) + kZeroMarker);
}

// ---- Pinned packages --------------------------------------------------------

namespace {

std::string PinOf(const std::string& bytes) { return Sha256Hex(*Sha256::Of(bytes.data(), bytes.size())); }

std::string PinnedTwoEntries(const std::string& mainPin, const std::string& enginePin) {
    return "[General]\nEncoding=0\nModuleName=Tessaro\nFwCount=2\n[Granted]\nS0A*=1\n"
           "[Fw0]\nFileName=main.bin\nSha256=" + mainPin + "\n[Fw1]\nFileName=engine.bin\nSha256=" + enginePin + "\n";
}

}  // namespace

TEST_F(CommandLine, SealedPackageIsSentWholeOverUsbAndNetwork) {
    WriteConfig(PinnedTwoEntries(PinOf(Pattern(5000, 1)), PinOf(Pattern(3000, 2))));
    EXPECT_EQ(Last(RunUsb(L"Korvane USB").notices), std::make_pair(128, 0));
    EXPECT_EQ(Record("Usb0.bin"), Pattern(5000, 1) + kZeroMarker + Pattern(3000, 2) + kZeroMarker);
    EXPECT_EQ(Last(RunNetwork(L"192.0.2.7").notices), std::make_pair(128, 0));
    EXPECT_EQ(Record("Net0.bin"), Pattern(5000, 1) + kMoreMarker + Pattern(3000, 2) + kZeroMarker);
}

TEST_F(CommandLine, DamagedFileIsRefusedBeforeTheFirstByte) {
    WriteConfig(PinnedTwoEntries(PinOf(Pattern(5000, 1)), PinOf(Pattern(3000, 2))));
    std::string damaged = Pattern(3000, 2);
    damaged[1500] = static_cast<char>(damaged[1500] ^ 0x01);
    Write("engine.bin", damaged);
    for (const bool usb : {true, false}) {
        const CallerRun run = usb ? RunUsb(L"Korvane USB") : RunNetwork(L"192.0.2.7");
        EXPECT_EQ(run.notices, (Notices{{0, 0}, {255, 2}}));
        EXPECT_EQ(run.exitCode, 2u);  // the reason of the failure notice
        EXPECT_EQ(Record(usb ? "Usb0.bin" : "Net0.bin"), "");
    }
    const Redirected said = RunIntoFile({L"/u", L"Korvane USB"});
    EXPECT_NE(said.output.find("failed: reason 2 (the firmware file \"" + (folder_ / "engine.bin").string() +
                               "\" does not match its pin)"),
              std::string::npos)
        << said.output;
}

// The stand-in library changes main.bin right after taking its first 4096
// bytes: the printer never gets the rest, and is told to abandon the file.
TEST_F(CommandLine, FileChangedWhileItStreamsIsAbandoned) {
    WriteConfig(PinnedTwoEntries(PinOf(Pattern(5000, 1)), PinOf(Pattern(3000, 2))));
    Write("vorlensim.ini", "[Usb0]\nPrinterName=Korvane USB\nChangeFile=1:main.bin\n"
                           "[Net0]\nIPv4=192.0.2.7\nChangeFile=1:main.bin\n");
    const std::string abandon("\xFF\xFF\xFF\xFF", 4);
    const CallerRun usb = RunUsb(L"Korvane USB");
    EXPECT_EQ(Last(usb.notices), std::make_pair(255, 255));
    EXPECT_NE(Record("Usb0.log").find("changed file main.bin\n"), std::string::npos) << Record("Usb0.log");
    EXPECT_EQ(Record("Usb0.bin"), Pattern(5000, 1).substr(0, 4096) + abandon);

    Write("main.bin", Pattern(5000, 1));
    const CallerRun network = RunNetwork(L"192.0.2.7");
    EXPECT_EQ(Last(network.notices), std::make_pair(255, 255));
    EXPECT_EQ(Record("Net0.bin"), Pattern(5000, 1).substr(0, 4096) + abandon);
}


// ---- Where the libraries come from, and of which architecture ----------------

namespace {

// Puts a folder in front of the PATH that the program inherits, for as long
// as it lives.
class PathInFront {
public:
    explicit PathInFront(const fs::path& folder) {
        wchar_t old[32768] = {};
        const DWORD length = GetEnvironmentVariableW(L"PATH", old, 32768);
        old_.assign(old, length);
        SetEnvironmentVariableW(L"PATH", (folder.wstring() + L";" + old_).c_str());
    }
    ~PathInFront() { SetEnvironmentVariableW(L"PATH", old_.c_str()); }
    PathInFront(const PathInFront&) = delete;
    PathInFront& operator=(const PathInFront&) = delete;

private:
    std::wstring old_;
};

const char kPlantedMarker[] = "planted-library-was-loaded";

}  // namespace

// Without a network library in the program's folder, one in the folder the
// program is started from, and on the PATH, is never loaded: the program
// runs as without a network library.
TEST_F(CommandLine, ALibraryOutsideTheProgramsFolderIsNeverLoaded) {
    const fs::path planted = ProgramFolder() / "planted" / "vorlennet.dll";
    // The planted library does leave its marker when it is loaded.
    const fs::path control = folder_ / "control";
    fs::create_directories(control);
    fs::copy_file(planted, control / "vorlennet.dll");
    HMODULE loaded = LoadLibraryW((control / "vorlennet.dll").c_str());
    ASSERT_TRUE(loaded);
    FreeLibrary(loaded);
    ASSERT_TRUE(fs::exists(control / kPlantedMarker));

    DeleteFileW((folder_ / "vorlennet.dll").c_str());
    const fs::path current = folder_ / "current";
    fs::create_directories(current);
    fs::copy_file(planted, current / "vorlennet.dll");
    const PathInFront path(current);
    const CallerRun run = RunWithCallerWindow(windowClass_, kTitle, (folder_ / "TessaroFWDL.exe").wstring(),
                                              {L"/n", L"192.0.2.7", windowClass_, kTitle}, kTimeLimitMs, nullptr,
                                              current.wstring());
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.notices, (Notices{{0, 0}, {255, 4}}));
    EXPECT_EQ(run.exitCode, 3u);
    EXPECT_FALSE(fs::exists(current / kPlantedMarker)) << "the planted library was loaded";
    // The USB update of the same run's package goes ahead as ever.
    const CallerRun usb = RunWithCallerWindow(windowClass_, kTitle, (folder_ / "TessaroFWDL.exe").wstring(),
                                              {L"/u", L"Korvane USB", windowClass_, kTitle}, kTimeLimitMs, nullptr,
                                              current.wstring());
    EXPECT_EQ(Last(usb.notices), std::make_pair(128, 0));
    EXPECT_FALSE(fs::exists(current / kPlantedMarker)) << "the planted library was loaded";
}

// Libraries of the other architecture are not loaded: the notices and the
// exit code of a missing library, and a line that says why.
TEST_F(CommandLine, LibrariesOfTheOtherArchitectureAreRefusedWithAWordOfWhy) {
    for (const char* name : {"vorlendu.dll", "vorlenusb.dll", "vorlennet.dll"})
        Write(name, e2e::OtherArchitectureLibrary(name));
    const std::string why = " is built for " + MachineName(kOtherMachine) + ", this program for " +
                            MachineName(kProgramMachine) + "\r\n";

    const Redirected usb = RunIntoFile({L"/u", L"Korvane USB"});
    EXPECT_EQ(usb.run.exitCode, 3u);
    EXPECT_EQ(WithLogNamed(usb.output),
              "library not loaded: vorlendu.dll" + why + "library not loaded: vorlenusb.dll" + why +
                  "library not loaded: vorlennet.dll" + why +
                  "started: firmware update of USB printer \"Korvane USB\"\r\n"
                  "failed: reason 1 (a library the update needs is missing or could not be loaded)\r\n" + kLogLine);
    EXPECT_EQ(RunUsb(L"Korvane USB").notices, (Notices{{0, 0}, {255, 1}}));

    const CallerRun network = RunNetwork(L"192.0.2.7");
    EXPECT_EQ(network.notices, (Notices{{0, 0}, {255, 4}}));
    EXPECT_EQ(network.exitCode, 3u);
    // No stand-in ran: none wrote a record.
    EXPECT_FALSE(RecordExists("Usb0.log"));
    EXPECT_FALSE(RecordExists("Net0.log"));
}
