// Batch runs of the real program in a package folder with the stand-in
// libraries: the bytes each simulated printer received, the result file, the
// notices, the console lines and the exit code.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "caller_win32.h"
#include "package_folder.h"
#include "sim/recorder.h"

namespace {

namespace fs = std::filesystem;
using Notices = std::vector<std::pair<int, int>>;

constexpr DWORD kTimeLimitMs = 90000;
const std::wstring kTitle = L"Batch caller";

using e2e::Pattern;
using e2e::ProgramFolder;

const std::string kZeroMarker("\0\0\0\0", 4);
const std::string kMoreMarker("\xAA\x55\x55\xAA", 4);

const char kPackage[] =
    "[General]\nEncoding=0\nModelName=Korvane Laser 7000\nModuleName=Tessaro\nFwCount=2\nMDLCnt=1\n"
    "MDL0=Korvane Laser 7000\n[Granted]\nS0A*=1\n[Fw0]\nFileName=main.bin\nVersion=01.10.00\n"
    "[Fw1]\nFileName=engine.bin\nVersion=00.02.00\n";

// Usb0 and Net0 restart for one status read after their update; Net1 is not
// ready and refuses the update; Net2 never comes back from its restart. With
// a wait of 9 s the status is read 5 s and 9 s after an update: room for a
// slow start of Wine processes on a loaded machine.
const char kFleet[] =
    "[Usb0]\nIndex=1\nVID=5A71\nPID=%04X\nPrinterName=Korvane USB\nPort=USB001\nFirmware=1.00\n"
    "AfterUpdate=199*1, 10\nNewFirmware=1.10\n"
    "[Net0]\nIPv4=192.0.2.7\nFirmware=1.00\nAfterUpdate=199*1, 10\nNewFirmware=1.10\n"
    "[Net1]\nIPv4=192.0.2.8\nFirmware=1.00\nStatus=0x13\n"
    "[Net2]\nIPv4=192.0.2.9\nFirmware=1.00\nAfterUpdate=199\n";

const char kMixedList[] =
    "# mixed fleet\n"
    "usb Korvane USB\n"
    "net 192.0.2.7\n"
    "net 192.0.2.8\n"
    "net 192.0.2.9\n"
    "parallel 4\n"
    "wait 9\n";

// Each test in a package folder of its own, with the package and the fleet above.
class Batch : public e2e::PackageFolderTest {
protected:
    void SetUp() override {
        MakeFolder(L"FwdlBatchCaller.", kTitle, kTimeLimitMs);
        WriteConfig(kPackage);
        char fleet[1024];
        std::snprintf(fleet, sizeof fleet, kFleet, productId_);
        Write("vorlensim.ini", fleet);
    }

    std::vector<std::wstring> Arguments(const std::string& list, const std::string& result) const {
        return {L"/batch", (folder_ / list).wstring(), (folder_ / result).wstring(), windowClass_, kTitle};
    }
    // The same without a caller window.
    std::vector<std::wstring> PlainArguments(const std::string& list, const std::string& result) const {
        return {L"/batch", (folder_ / list).wstring(), (folder_ / result).wstring()};
    }

    // A batch that the test does not wait for at once: it ends the batch, or
    // waits for it later.
    struct Started {
        KernelHandle process;
        DWORD id = 0;
    };
    Started StartBatch(const std::vector<std::wstring>& arguments) {
        std::wstring commandLine = QuotedArgument((folder_ / "TessaroFWDL.exe").wstring());
        for (const std::wstring& argument : arguments) commandLine += L" " + QuotedArgument(argument);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        Started started;
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info))
            return started;
        const KernelHandle thread(info.hThread);
        started.process.Reset(info.hProcess);
        started.id = info.dwProcessId;
        return started;
    }
    // Waits for a started batch to end and gives its exit code.
    DWORD ExitCodeOf(const Started& batch) {
        EXPECT_EQ(WaitForSingleObject(batch.process.Get(), kTimeLimitMs), WAIT_OBJECT_0) << "the batch did not end";
        DWORD exitCode = 0;
        GetExitCodeProcess(batch.process.Get(), &exitCode);
        return exitCode;
    }

    // Runs a batch with its standard output in a file; `output` is what arrived.
    CallerRun Run(const std::vector<std::wstring>& arguments, std::string& output) {
        Redirected redirected = RunIntoFile(arguments);
        output = std::move(redirected.output);
        const CallerRun& run = redirected.run;
        EXPECT_TRUE(!run.finished || run.EndedNormally()) << "exit code 0x" << std::hex << run.exitCode;
        return run;
    }
};

// The result file with its times put aside: they differ from run to run.
std::string WithoutTimes(const std::string& json) {
    static const std::regex times(
        R"rx("start": "[-0-9T:.]+Z", "end": "[-0-9T:.]+Z", "seconds": \d+\.\d)rx");
    return std::regex_replace(json, times, "TIMES");
}

TEST_F(Batch, MixedListUpdatesEachPrinterAndRecordsWhatHappened) {
    Write("list.txt", kMixedList);
    std::string output;
    const CallerRun run = Run(Arguments("list.txt", "result.json"), output);
    EXPECT_EQ(run.exitCode, 6u);

    const std::string usb = Pattern(5000, 1) + kZeroMarker + Pattern(3000, 2) + kZeroMarker;
    const std::string net = Pattern(5000, 1) + kMoreMarker + Pattern(3000, 2) + kZeroMarker;
    EXPECT_EQ(Record("Usb0.bin"), usb);
    EXPECT_EQ(Record("Net0.bin"), net);
    EXPECT_FALSE(RecordExists("Net1.bin"));
    EXPECT_EQ(Record("Net2.bin"), net);

    EXPECT_EQ(WithoutTimes(Record("result.json")),
              "{\n"
              "  \"package\": {\"model\": \"Korvane Laser 7000\", \"module\": \"Tessaro\", \"entries\": [\n"
              "    {\"file\": \"main.bin\", \"version\": \"01.10.00\"},\n"
              "    {\"file\": \"engine.bin\", \"version\": \"00.02.00\"}\n"
              "  ]},\n"
              "  \"settings\": {\"parallel\": 4, \"wait\": 9},\n"
              "  \"printers\": [\n"
              "    {\"target\": \"Korvane USB\", \"port\": \"usb\",\n"
              "     \"outcome\": \"updated\", \"reason\": 0, \"problem\": null,\n"
              "     TIMES,\n"
              "     \"firmwareBefore\": \"1.00\", \"firmwareAfter\": \"1.10\", \"ready\": true},\n"
              "    {\"target\": \"192.0.2.7\", \"port\": \"net\",\n"
              "     \"outcome\": \"updated\", \"reason\": 0, \"problem\": null,\n"
              "     TIMES,\n"
              "     \"firmwareBefore\": \"1.00\", \"firmwareAfter\": \"1.10\", \"ready\": true},\n"
              "    {\"target\": \"192.0.2.8\", \"port\": \"net\",\n"
              "     \"outcome\": \"failed\", \"reason\": 4, \"problem\": null,\n"
              "     TIMES,\n"
              "     \"firmwareBefore\": \"1.00\", \"firmwareAfter\": null, \"ready\": false},\n"
              "    {\"target\": \"192.0.2.9\", \"port\": \"net\",\n"
              "     \"outcome\": \"updated\", \"reason\": 0, \"problem\": null,\n"
              "     TIMES,\n"
              "     \"firmwareBefore\": \"1.00\", \"firmwareAfter\": \"1.00\", \"ready\": false}\n"
              "  ]\n"
              "}\n");
    EXPECT_FALSE(RecordExists("result.json.tmp"));

    EXPECT_EQ(run.notices, (Notices{{0, 0}, {1, 25}, {1, 50}, {1, 75}, {1, 100}, {255, 255}}));
    EXPECT_NE(output.find("batch of 4 printers, parallel 4, wait 9 s"), std::string::npos) << output;
    EXPECT_NE(output.find("net 192.0.2.8: failed: reason 4"), std::string::npos) << output;
    EXPECT_NE(output.find("net 192.0.2.9: updated, firmware 1.00 -> 1.00, not back within the wait"), std::string::npos)
        << output;
}

TEST_F(Batch, EveryPrinterBackGivesZeroAndTheDoneNotice) {
    Write("list.txt", "usb Korvane USB\nnet 192.0.2.7\nwait 9\n");
    std::string output;
    const CallerRun run = Run(Arguments("list.txt", "result.json"), output);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.notices, (Notices{{0, 0}, {1, 50}, {1, 100}, {128, 0}}));
    EXPECT_NE(output.find("batch done: every printer updated and ready"), std::string::npos) << output;
}

TEST_F(Batch, ABadLineUpdatesNothingAndNamesTheLine) {
    Write("list.txt", "net 192.0.2.7\nnett 192.0.2.8\n");
    std::string output;
    const CallerRun run = Run(Arguments("list.txt", "result.json"), output);
    EXPECT_EQ(run.exitCode, 87u);
    EXPECT_FALSE(RecordExists("Net0.bin"));
    EXPECT_FALSE(RecordExists("Net0.log"));
    EXPECT_EQ(output, "list line 2 not understood (unknown keyword): nett 192.0.2.8\r\n");
    EXPECT_NE(Record("result.json").find("\"listError\": {\"line\": 2, \"text\": \"nett 192.0.2.8\", \"problem\": "
                                         "\"unknown keyword\"}"),
              std::string::npos);
    EXPECT_NE(Record("result.json").find("\"printers\": []"), std::string::npos);
    EXPECT_EQ(run.notices, (Notices{{0, 0}, {255, 255}}));
}

TEST_F(Batch, AMissingListIsABadList) {
    std::string output;
    const CallerRun run = Run(Arguments("no-such-list.txt", "result.json"), output);
    EXPECT_EQ(run.exitCode, 87u);
    EXPECT_NE(output.find("the list cannot be read"), std::string::npos) << output;
}

TEST_F(Batch, ASecondBatchWhileOneRunsIsRefusedWith1618) {
    Write("first.txt", "net 192.0.2.9\nwait 6\n");
    Write("second.txt", "net 192.0.2.7\n");
    const Started first = StartBatch(PlainArguments("first.txt", "first.json"));
    ASSERT_TRUE(first.process.Valid());
    // The first batch writes its result file once it holds the instance mutex.
    for (int i = 0; i < 300 && !RecordExists("first.json"); ++i) Sleep(50);
    ASSERT_TRUE(RecordExists("first.json"));

    std::string output;
    const CallerRun second = Run(Arguments("second.txt", "second.json"), output);
    EXPECT_EQ(second.exitCode, 1618u);
    EXPECT_TRUE(second.notices.empty());
    EXPECT_FALSE(RecordExists("second.json"));
    EXPECT_FALSE(RecordExists("Net0.bin"));

    EXPECT_EQ(ExitCodeOf(first), 6u);  // Net2 never comes back
    EXPECT_EQ(Record("Net2.bin"), Pattern(5000, 1) + kMoreMarker + Pattern(3000, 2) + kZeroMarker);
}

TEST_F(Batch, AChildStartedByHandWithoutTheMutexUpdatesNothing) {
    std::string output;
    for (const wchar_t* proof : {L"4", L"8", L"0", L"x"}) {
        const CallerRun run = Run({L"/batch-printer", L"n", L"192.0.2.7", proof, L"12"}, output);
        EXPECT_EQ(run.exitCode, 87u);
    }
    EXPECT_FALSE(RecordExists("Net0.log"));
}

// The caller's window closes while the first printer takes a file: that
// printer's file ends with the abandon marker after the piece in flight,
// the printer after it is not started, and the batch exits with 6.
TEST_F(Batch, ClosingTheCallerWindowStopsTheBatchInAnOrderlyWay) {
    Write("main.bin", Pattern(400000, 1));
    Write("vorlensim.ini", "[Net0]\nIPv4=192.0.2.7\nBytesPerSecond=100000\n[Net1]\nIPv4=192.0.2.8\n");
    Write("list.txt", "net 192.0.2.7\nnet 192.0.2.8\nparallel 1\n");

    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = windowClass_.c_str();
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, windowClass_.c_str(), kTitle.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(window);
    const Started batch = StartBatch(Arguments("list.txt", "result.json"));
    ASSERT_TRUE(batch.process.Valid());
    // About a second into the 4 s that the first file takes.
    for (int i = 0; i < 200 && Record("Net0.log").find("NetworkConnectNonBlock") == std::string::npos; ++i) Sleep(50);
    Sleep(1000);
    DestroyWindow(window);
    UnregisterClassW(windowClass_.c_str(), wc.hInstance);
    EXPECT_EQ(ExitCodeOf(batch), 6u);

    const std::string received = Record("Net0.bin");
    ASSERT_GE(received.size(), 4u);
    const std::size_t data = received.size() - 4;
    EXPECT_EQ(data % 4096, 0u);
    EXPECT_GT(data, 0u);
    EXPECT_LT(data, 400000u);
    EXPECT_EQ(received, Pattern(400000, 1).substr(0, data) + std::string("\xFF\xFF\xFF\xFF"));
    EXPECT_FALSE(RecordExists("Net1.log"));
    const std::string result = Record("result.json");
    EXPECT_NE(result.find("\"target\": \"192.0.2.7\", \"port\": \"net\",\n"
                          "     \"outcome\": \"failed\", \"reason\": 255"),
              std::string::npos)
        << result;
    EXPECT_NE(result.find("\"target\": \"192.0.2.8\", \"port\": \"net\",\n     \"outcome\": \"not-started\""),
              std::string::npos)
        << result;
}

// The children of a process that run our program, by their parent's id.
int CountChildren(DWORD parentId) {
    const KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return -1;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
        if (entry.th32ParentProcessID == parentId &&
            std::wstring(entry.szExeFile).find(L"TessaroFWDL") != std::wstring::npos)
            ++count;
    return count;
}

// Ending the batch process from outside ends its children with it: no
// update goes on without the batch that holds the instance mutex.
TEST_F(Batch, EndingTheBatchProcessEndsItsChildren) {
    Write("main.bin", Pattern(400000, 1));
    Write("vorlensim.ini",
          "[Net0]\nIPv4=192.0.2.7\nBytesPerSecond=50000\n[Net1]\nIPv4=192.0.2.8\nBytesPerSecond=50000\n");
    Write("list.txt", "net 192.0.2.7\nnet 192.0.2.8\n");
    const Started batch = StartBatch(PlainArguments("list.txt", "result.json"));
    ASSERT_TRUE(batch.process.Valid());
    for (int i = 0; i < 200 && CountChildren(batch.id) < 2; ++i) Sleep(50);
    ASSERT_EQ(CountChildren(batch.id), 2);
    TerminateProcess(batch.process.Get(), 1);
    WaitForSingleObject(batch.process.Get(), 5000);
    for (int i = 0; i < 100 && CountChildren(batch.id) > 0; ++i) Sleep(50);
    EXPECT_EQ(CountChildren(batch.id), 0);
}

}  // namespace
