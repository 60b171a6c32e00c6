// Batch runs of the real program in a package folder with the stand-in
// libraries: the bytes each simulated printer received, the result file, the
// notices, the console lines and the exit code.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "caller_win32.h"
#include "package_folder.h"
#include "device/library_architecture.h"
#include "sim/recorder.h"
#include "tests/child_processes_win32.h"

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
// ready and refuses the update; Net2 never comes back from its restart; Net3
// comes back reporting update fault 016-744. With a wait of 9 s the status
// is read 5 s and 9 s after an update: room for a slow start of Wine
// processes on a loaded machine.
const char kFleet[] =
    "[Usb0]\nIndex=1\nVID=5A71\nPID=%04X\nPrinterName=Korvane USB\nPort=USB001\nFirmware=1.00\n"
    "AfterUpdate=199*1, 10\nNewFirmware=1.10\n"
    "[Net0]\nIPv4=192.0.2.7\nFirmware=1.00\nAfterUpdate=199*1, 10\nNewFirmware=1.10\n"
    "[Net1]\nIPv4=192.0.2.8\nFirmware=1.00\nStatus=0x13\n"
    "[Net2]\nIPv4=192.0.2.9\nFirmware=1.00\nAfterUpdate=199\n"
    "[Net3]\nIPv4=192.0.2.10\nFirmware=1.00\nAfterUpdate=199*1, 10/1/32\nNewFirmware=1.10\n";

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
        char fleet[2048];
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

    // A run that the test does not wait for at once: it ends the run, or
    // waits for it later.
    struct Started {
        KernelHandle process;
        DWORD id = 0;
    };
    Started StartProgram(const std::vector<std::wstring>& arguments) {
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
    // A console control event (Ctrl+Break, Ctrl+C) for a run, once part of
    // its file has reached printer `id`: what a person at the console does
    // while it sends. It is delivered as the system delivers it, a thread of
    // the process that runs the console's control routine, which calls the
    // handlers the program registered, or ends the process when it
    // registered none.
    void BreakWhileSending(const Started& run, const std::string& id, DWORD event = CTRL_BREAK_EVENT) {
        ASSERT_TRUE(e2e::WaitFor([&] { return !Record(id + ".bin").empty(); })) << Record(id + ".log");
        const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CtrlRoutine")));
        ASSERT_TRUE(routine);
        const KernelHandle thread(CreateRemoteThread(run.process.Get(), nullptr, 0, routine,
                                                     reinterpret_cast<void*>(static_cast<ULONG_PTR>(event)),
                                                     0, nullptr));
        ASSERT_TRUE(thread.Valid()) << GetLastError();
    }
    // A slow printer and a package file that it takes 20 s to receive (at
    // the default rate).
    void SlowNet0(int bytesPerSecond = 100000) {
        Write("main.bin", Pattern(kSlowFileBytes, 1));
        Write("vorlensim.ini", "[Net0]\nIPv4=192.0.2.7\nBytesPerSecond=" + std::to_string(bytesPerSecond) +
                                   "\n[Net1]\nIPv4=192.0.2.8\n");
    }
    static constexpr std::size_t kSlowFileBytes = 2000000;
    // What Net0 received ends with the abandon marker right after whole
    // chunks of its first file, a part of it.
    void ExpectAbandonedPartOfTheSlowFile() const {
        const std::string received = Record("Net0.bin");
        ASSERT_GE(received.size(), 4u);
        const std::size_t data = received.size() - 4;
        EXPECT_EQ(data % 4096, 0u);
        EXPECT_GT(data, 0u);
        EXPECT_LT(data, kSlowFileBytes);
        EXPECT_TRUE(received == Pattern(kSlowFileBytes, 1).substr(0, data) + std::string("\xFF\xFF\xFF\xFF"))
            << "not the file's first " << data << " bytes and the abandon marker";
    }

    // Waits for a started batch to end and gives its exit code.
    DWORD ExitCodeOf(const Started& batch) {
        EXPECT_EQ(WaitForSingleObject(batch.process.Get(), kTimeLimitMs), WAIT_OBJECT_0) << "the batch did not end";
        DWORD exitCode = 0;
        GetExitCodeProcess(batch.process.Get(), &exitCode);
        return exitCode;
    }

    // A caller window of our own while this lives, of class `windowClass`
    // and the batch's caller title; Close() is the caller closing it.
    class CallerWindow {
    public:
        explicit CallerWindow(std::wstring windowClass) : class_(std::move(windowClass)) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = class_.c_str();
            RegisterClassW(&wc);
            window_ = CreateWindowExW(0, class_.c_str(), kTitle.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                      nullptr, wc.hInstance, nullptr);
        }
        ~CallerWindow() {
            Close();
            UnregisterClassW(class_.c_str(), GetModuleHandleW(nullptr));
        }
        CallerWindow(const CallerWindow&) = delete;
        CallerWindow& operator=(const CallerWindow&) = delete;

        bool Open() const { return window_ != nullptr; }
        const std::wstring& Class() const { return class_; }
        void Close() {
            if (window_) DestroyWindow(window_);
            window_ = nullptr;
        }

    private:
        std::wstring class_;
        HWND window_ = nullptr;
    };

    // Whether the transcript of printer `id` has a line holding `text`.
    bool Logged(const std::string& id, const std::string& text) const {
        return Record(id + ".log").find(text) != std::string::npos;
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

// The result file with its times and log paths put aside: they differ from
// run to run.
std::string WithoutTimes(const std::string& json) {
    static const std::regex times(
        R"rx("start": "[-0-9T:.]+Z", "end": "[-0-9T:.]+Z", "seconds": \d+\.\d)rx");
    static const std::regex logs(R"rx(,\n     "log": ("[^"]*"|null))rx");
    return std::regex_replace(std::regex_replace(json, times, "TIMES"), logs, "");
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
              "  \"signature\": null,\n"
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

// A "result.json.tmp" of someone else's beside the result file is left as it is.
TEST_F(Batch, EveryPrinterBackGivesZeroAndTheDoneNotice) {
    Write("list.txt", "usb Korvane USB\nnet 192.0.2.7\nwait 9\n");
    Write("result.json.tmp", "someone else's");
    std::string output;
    const CallerRun run = Run(Arguments("list.txt", "result.json"), output);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.notices, (Notices{{0, 0}, {1, 50}, {1, 100}, {128, 0}}));
    EXPECT_NE(output.find("batch done: every printer updated and ready"), std::string::npos) << output;
    EXPECT_EQ(Record("result.json.tmp"), "someone else's");
    EXPECT_NE(WithoutTimes(Record("result.json")).find("\"ready\": true}\n  ]"), std::string::npos);
}

// A printer that comes back reporting an update fault is no update, and a
// wait shorter than the settle time leaves the state unverified: neither
// lets the batch exit 0.
TEST_F(Batch, AFaultAfterTheUpdateOrAnUnverifiedStateIsNoSuccess) {
    Write("fault.txt", "net 192.0.2.10\nwait 9\n");
    std::string output;
    CallerRun run = Run(Arguments("fault.txt", "fault.json"), output);
    EXPECT_EQ(run.exitCode, 6u);
    EXPECT_NE(Record("fault.json").find("\"outcome\": \"failed\", \"reason\": 255, \"problem\": \"the printer "
                                        "reports update fault 016-744\""),
              std::string::npos)
        << Record("fault.json");
    EXPECT_NE(output.find("net 192.0.2.10: failed: reason 255 (the printer reports update fault 016-744)"),
              std::string::npos)
        << output;

    Write("short.txt", "net 192.0.2.7\nwait 2\n");
    run = Run(Arguments("short.txt", "short.json"), output);
    EXPECT_EQ(run.exitCode, 6u);
    EXPECT_NE(Record("short.json").find("\"outcome\": \"updated\""), std::string::npos);
    EXPECT_NE(WithoutTimes(Record("short.json")).find("\"firmwareAfter\": null, \"ready\": null}"), std::string::npos)
        << Record("short.json");
    EXPECT_NE(output.find("net 192.0.2.7: updated, firmware 1.00 -> ?, ready state not verified"), std::string::npos)
        << output;
}

// A script that holds the result file open makes every replacement fail:
// each is tried again for a while, and a batch whose final record could not
// be written says so and exits with 29, not with an outcome it could not
// record. No temporary file is left behind.
TEST_F(Batch, AResultFileThatCannotBeReplacedEndsWith29) {
    Write("list.txt", "net 192.0.2.7\nwait 9\n");
    const fs::path result = folder_ / "result.json";
    HANDLE reader = INVALID_HANDLE_VALUE;
    std::thread holder([&] {
        for (int i = 0; i < 2000 && reader == INVALID_HANDLE_VALUE; ++i) {
            reader = CreateFileW(result.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (reader == INVALID_HANDLE_VALUE) Sleep(5);
        }
    });
    std::string output;
    const CallerRun run = Run(Arguments("list.txt", "result.json"), output);
    holder.join();
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    EXPECT_EQ(run.exitCode, 29u);
    EXPECT_NE(output.find("result file cannot be written: "), std::string::npos) << output;
    EXPECT_NE(output.find("batch done: the result file does not hold its outcome (exit 29)"), std::string::npos)
        << output;
    EXPECT_EQ(run.notices.back(), (std::pair<int, int>{255, 255}));
    EXPECT_NE(Record("result.json").find("\"outcome\": \"not-started\""), std::string::npos);
    for (const auto& entry : fs::directory_iterator(folder_))
        EXPECT_NE(entry.path().extension().wstring(), L".tmp") << entry.path();
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

// A list that another program still writes is not read: cut mid-line it
// could name another printer.
TEST_F(Batch, AListThatAnotherProgramWritesIsRefused) {
    Write("list.txt", "net 192.0.2.7\n");
    const KernelHandle writer(CreateFileW((folder_ / "list.txt").wstring().c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer.Valid());
    std::string output;
    const CallerRun run = Run(Arguments("list.txt", "result.json"), output);
    EXPECT_EQ(run.exitCode, 87u);
    EXPECT_NE(output.find("list not understood (another program has the list open for writing): "),
              std::string::npos)
        << output;
    EXPECT_FALSE(RecordExists("Net0.log"));
}

// The same printer in another spelling, on its own line: nothing is sent.
TEST_F(Batch, APrinterNamedTwiceInOtherSpellingsUpdatesNothing) {
    Write("list.txt", "net 192.0.2.7\nusb Korvane USB\nnet ::FFFF:192.0.2.7\n");
    std::string output;
    const CallerRun run = Run(Arguments("list.txt", "result.json"), output);
    EXPECT_EQ(run.exitCode, 87u);
    EXPECT_EQ(output,
              "list line 3 not understood (printer listed twice, first on line 1: net 192.0.2.7): "
              "net ::FFFF:192.0.2.7\r\n");
    EXPECT_FALSE(RecordExists("Net0.log"));
    EXPECT_FALSE(RecordExists("Usb0.log"));
}

// A USB name in double quotes is the name without them, as "/u" takes it.
TEST_F(Batch, AQuotedUsbNameIsTakenWithoutItsQuotes) {
    Write("list.txt", "usb \"Korvane USB\"\nwait 9\n");
    std::string output;
    const CallerRun run = Run(Arguments("list.txt", "result.json"), output);
    EXPECT_EQ(run.exitCode, 0u) << output;
    EXPECT_EQ(Record("Usb0.bin"), Pattern(5000, 1) + kZeroMarker + Pattern(3000, 2) + kZeroMarker);
    EXPECT_NE(Record("result.json").find("\"target\": \"Korvane USB\", \"port\": \"usb\""), std::string::npos);
}

// A per-variant entry: each printer gets the file of its variant code, as
// the wizard would send it, checked against that file's pin; a printer that
// reports no variant code gets nothing, and fails with reason 2.
TEST_F(Batch, EachPrinterGetsTheFileOfItsVariant) {
    const std::string jp = Pattern(2000, 3), eu = Pattern(1500, 4);
    Write("mcu_jp.bin", jp);
    Write("mcu_eu.bin", eu);
    const std::string euPin(64, 'a');  // not what mcu_eu.bin holds
    WriteConfig(std::string(kPackage).replace(std::string(kPackage).find("FwCount=2"), 9, "FwCount=3") +
                "[Fw2]\nFileName=main.bin\nContent=MCUFW\nFileName_JP=mcu_jp.bin\nFileName_EU=mcu_eu.bin\n"
                "Sha256_EU=" + euPin + "\n");
    char fleet[1024];
    std::snprintf(fleet, sizeof fleet,
                  "[Usb0]\nIndex=1\nVID=5A71\nPID=%04X\nPrinterName=Korvane USB\nPort=USB001\nVariant=JP01\n"
                  "[Net0]\nIPv4=192.0.2.7\nVariant=JP02\n[Net1]\nIPv4=192.0.2.8\nVariant=EU01\n"
                  "[Net2]\nIPv4=192.0.2.9\n",
                  productId_);
    Write("vorlensim.ini", fleet);
    Write("list.txt", "usb Korvane USB\nnet 192.0.2.7\nnet 192.0.2.8\nnet 192.0.2.9\nwait 0\n");
    std::string output;
    const CallerRun run = Run(Arguments("list.txt", "result.json"), output);
    EXPECT_EQ(run.exitCode, 6u) << output;

    EXPECT_EQ(Record("Usb0.bin"),
              Pattern(5000, 1) + kZeroMarker + Pattern(3000, 2) + kZeroMarker + jp + kZeroMarker);
    EXPECT_EQ(Record("Net0.bin"),
              Pattern(5000, 1) + kMoreMarker + Pattern(3000, 2) + kMoreMarker + jp + kZeroMarker);
    EXPECT_EQ(Record("Net1.bin"), "") << "a per-variant file that does not match its pin";
    EXPECT_EQ(Record("Net2.bin"), "") << "no variant code";
    EXPECT_NE(output.find("net 192.0.2.8: failed: reason 2"), std::string::npos) << output;
    EXPECT_NE(output.find("net 192.0.2.9: failed: reason 2"), std::string::npos) << output;
}

TEST_F(Batch, AMissingListIsABadList) {
    std::string output;
    const CallerRun run = Run(Arguments("no-such-list.txt", "result.json"), output);
    EXPECT_EQ(run.exitCode, 87u);
    EXPECT_NE(output.find("the list cannot be read"), std::string::npos) << output;
}

TEST_F(Batch, ASecondBatchWhileOneRunsIsRefusedWith1618) {
    // Net2 never comes back: the first batch waits for it until its caller
    // closes the window, so it surely runs while the second one starts.
    Write("first.txt", "net 192.0.2.9\nwait 3600\n");
    Write("second.txt", "net 192.0.2.7\n");
    CallerWindow firstCaller(windowClass_ + L".first");
    ASSERT_TRUE(firstCaller.Open());
    const Started first = StartProgram(
        {L"/batch", (folder_ / "first.txt").wstring(), (folder_ / "first.json").wstring(), firstCaller.Class(), kTitle});
    ASSERT_TRUE(first.process.Valid());
    // Net2 has its last marker: the first batch waits for its restart.
    ASSERT_TRUE(e2e::WaitFor([&] { return Logged("Net2", "marker 00000000"); })) << Record("Net2.log");

    std::string output;
    const CallerRun second = Run(Arguments("second.txt", "second.json"), output);
    EXPECT_EQ(second.exitCode, 1618u);
    EXPECT_TRUE(second.notices.empty());
    EXPECT_FALSE(RecordExists("second.json"));
    EXPECT_FALSE(RecordExists("Net0.log"));
    EXPECT_EQ(WaitForSingleObject(first.process.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the first batch ended before the second was refused";

    firstCaller.Close();
    EXPECT_EQ(ExitCodeOf(first), 6u);  // Net2 never came back
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
    // The file takes 20 s: the window closes while it is being sent.
    SlowNet0();
    Write("list.txt", "net 192.0.2.7\nnet 192.0.2.8\nparallel 1\n");

    CallerWindow caller(windowClass_);
    ASSERT_TRUE(caller.Open());
    const Started batch = StartProgram(Arguments("list.txt", "result.json"));
    ASSERT_TRUE(batch.process.Valid());
    // Part of the file has reached the printer: the printer's record of the
    // bytes it took is written in pieces of 256 KB.
    ASSERT_TRUE(e2e::WaitFor([&] { return !Record("Net0.bin").empty(); })) << Record("Net0.log");
    caller.Close();
    EXPECT_EQ(ExitCodeOf(batch), 6u);

    ExpectAbandonedPartOfTheSlowFile();
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
int CountChildren(DWORD parentId) { return CountChildProcesses(parentId, L"TessaroFWDL"); }

// Ending the batch process from outside ends its children with it: no
// update goes on without the batch that holds the instance mutex.
TEST_F(Batch, EndingTheBatchProcessEndsItsChildren) {
    // Each file would take 80 s: both children are surely still sending.
    Write("main.bin", Pattern(400000, 1));
    Write("vorlensim.ini",
          "[Net0]\nIPv4=192.0.2.7\nBytesPerSecond=5000\n[Net1]\nIPv4=192.0.2.8\nBytesPerSecond=5000\n");
    Write("list.txt", "net 192.0.2.7\nnet 192.0.2.8\n");
    const Started batch = StartProgram(PlainArguments("list.txt", "result.json"));
    ASSERT_TRUE(batch.process.Valid());
    ASSERT_TRUE(e2e::WaitFor([&] { return CountChildren(batch.id) == 2; })) << CountChildren(batch.id);
    TerminateProcess(batch.process.Get(), 1);
    EXPECT_EQ(WaitForSingleObject(batch.process.Get(), kTimeLimitMs), WAIT_OBJECT_0);
    EXPECT_TRUE(e2e::WaitFor([&] { return CountChildren(batch.id) == 0; })) << CountChildren(batch.id);
    // Neither printer got its file whole.
    for (const char* printer : {"Net0", "Net1"}) EXPECT_FALSE(Logged(printer, "marker")) << printer;
}

// A result file that cannot be written: the batch is not started, exit 87,
// and no printer is asked anything.
TEST_F(Batch, AResultFileThatCannotBeWrittenUpdatesNothing) {
    Write("list.txt", "usb Korvane USB\nnet 192.0.2.7\n");
    std::string output;
    const CallerRun run = Run({L"/batch", (folder_ / "list.txt").wstring(),
                               (folder_ / "no-such-folder" / "result.json").wstring(), windowClass_, kTitle},
                              output);
    EXPECT_EQ(run.exitCode, 87u);
    EXPECT_EQ(run.notices, (Notices{{0, 0}, {255, 255}}));
    EXPECT_NE(output.find("result file cannot be written: "), std::string::npos) << output;
    EXPECT_EQ(output.find("batch of"), std::string::npos) << output;
    for (const char* printer : {"Usb0", "Net0"}) EXPECT_FALSE(RecordExists(std::string(printer) + ".log")) << printer;
    EXPECT_FALSE(fs::exists(folder_ / "no-such-folder"));
}

// A printer whose library is of the other architecture fails as without the
// library (reason 3); the batch says why on its console, and the other
// printers are updated.
TEST_F(Batch, APrinterWhoseLibraryIsOfTheOtherArchitectureFailsWithReason3) {
    Write("vorlennet.dll", e2e::OtherArchitectureLibrary("vorlennet.dll"));
    Write("list.txt", "usb Korvane USB\nnet 192.0.2.7\nwait 9\n");
    std::string output;
    const CallerRun run = Run(Arguments("list.txt", "result.json"), output);
    EXPECT_EQ(run.exitCode, 6u);
    const std::string why = "library not loaded: vorlennet.dll is built for " + MachineName(kOtherMachine) +
                            ", this program for " + MachineName(kProgramMachine) + "\r\n";
    EXPECT_EQ(output.find(why), 0u) << output;
    const std::string result = Record("result.json");
    EXPECT_NE(result.find("\"target\": \"192.0.2.7\", \"port\": \"net\",\n     \"outcome\": \"failed\", \"reason\": 3"),
              std::string::npos)
        << result;
    EXPECT_NE(result.find("\"target\": \"Korvane USB\", \"port\": \"usb\",\n     \"outcome\": \"updated\""),
              std::string::npos)
        << result;
    EXPECT_FALSE(RecordExists("Net0.log")) << "the network stand-in ran";
    EXPECT_EQ(Record("Usb0.bin"), Pattern(5000, 1) + kZeroMarker + Pattern(3000, 2) + kZeroMarker);
}

// Ctrl+Break on the console a silent update runs from stops it in order:
// the file in flight ends with the abandon marker, the console says why, and
// the run fails with 255. Without the program's console handler the console
// would end it at once (no marker, another exit code); without the stop
// reaching its file reads the update would go on to completion.
TEST_F(Batch, CtrlBreakStopsASilentUpdateInOrder) {
    SlowNet0();
    e2e::OwnConsole console;
    ASSERT_TRUE(console.ready());
    const Started run = StartProgram({L"/n", L"192.0.2.7"});
    ASSERT_TRUE(run.process.Valid());
    BreakWhileSending(run, "Net0");
    EXPECT_EQ(ExitCodeOf(run), 255u);
    ExpectAbandonedPartOfTheSlowFile();
    const std::vector<std::wstring> rows = console.Rows();
    EXPECT_NE(std::find(rows.begin(), rows.end(), L"stopped: Ctrl+Break"), rows.end());
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const std::wstring& row) {
        return row.rfind(L"failed: reason 255", 0) == 0;
    }));
}

// A Ctrl+C typed at the prompt the update was started from (it returns to
// the prompt at once) is not meant for it: the update goes on to the end.
// Without the handler the console would end the process; with Ctrl+C taken
// as a stop it would end with the abandon marker and 255.
TEST_F(Batch, CtrlCLeavesASilentUpdateRunning) {
    SlowNet0(800000);
    e2e::OwnConsole console;
    ASSERT_TRUE(console.ready());
    const Started run = StartProgram({L"/n", L"192.0.2.7"});
    ASSERT_TRUE(run.process.Valid());
    BreakWhileSending(run, "Net0", CTRL_C_EVENT);
    EXPECT_EQ(ExitCodeOf(run), 0u);
    EXPECT_TRUE(Record("Net0.bin") == Pattern(kSlowFileBytes, 1) + kMoreMarker + Pattern(3000, 2) + kZeroMarker)
        << "not the whole package";
    const std::vector<std::wstring> rows = console.Rows();
    EXPECT_TRUE(std::none_of(rows.begin(), rows.end(),
                             [](const std::wstring& row) { return row.rfind(L"stopped", 0) == 0; }));
}

// The same for a batch: the printer sending ends its file with the abandon
// marker, the printer not yet started stays so, and the batch exits with 6.
TEST_F(Batch, CtrlBreakStopsABatchInOrder) {
    SlowNet0();
    Write("list.txt", "net 192.0.2.7\nnet 192.0.2.8\nparallel 1\n");
    e2e::OwnConsole console;
    ASSERT_TRUE(console.ready());
    const Started batch = StartProgram(PlainArguments("list.txt", "result.json"));
    ASSERT_TRUE(batch.process.Valid());
    BreakWhileSending(batch, "Net0");
    EXPECT_EQ(ExitCodeOf(batch), 6u);
    ExpectAbandonedPartOfTheSlowFile();
    EXPECT_FALSE(RecordExists("Net1.log"));
    const std::vector<std::wstring> rows = console.Rows();
    EXPECT_NE(std::find(rows.begin(), rows.end(), L"batch cancelled: Ctrl+Break"), rows.end());
    const std::string result = Record("result.json");
    EXPECT_NE(result.find("\"target\": \"192.0.2.8\", \"port\": \"net\",\n     \"outcome\": \"not-started\""),
              std::string::npos)
        << result;
}

// ---- The firmware a package installs, and the dry run -----------------------

// Whether printer `id` was connected to for data or written to: its
// transcript names no such call and it received no byte.
::testing::AssertionResult Untouched(const std::string& id, const std::string& log, const std::string& received) {
    for (const char* call : {"USBConnectByPrinterName", "NetworkConnect", "USBWrite", "NetworkWrite"})
        if (log.find(call) != std::string::npos)
            return ::testing::AssertionFailure() << id << " got " << call << ":\n" << log;
    if (!received.empty()) return ::testing::AssertionFailure() << id << " received " << received.size() << " bytes";
    return ::testing::AssertionSuccess();
}

// With "ReportedFirmware" the batch checks what each printer runs: Net0 is
// updated to it, Net4 comes back on its old firmware (failed, exit 6), and
// Net5 already runs it (current: no data connection, nothing sent).
TEST_F(Batch, APrinterBackOnItsOldFirmwareFailsAndACurrentOneGetsNothing) {
    WriteConfig(std::string(kPackage).replace(std::string(kPackage).find("FwCount=2"), 9,
                                              "FwCount=2\nReportedFirmware=1.10"));
    Write("vorlensim.ini",
          "[Net0]\nIPv4=192.0.2.7\nFirmware=1.00\nAfterUpdate=199*1, 10\nNewFirmware=1.10\n"
          "[Net4]\nIPv4=192.0.2.11\nFirmware=1.00\nAfterUpdate=199*1, 10\n"
          "[Net5]\nIPv4=192.0.2.12\nFirmware=1.10\n");
    Write("list.txt", "net 192.0.2.7\nnet 192.0.2.11\nnet 192.0.2.12\nwait 9\n");
    std::string output;
    const CallerRun run = Run(Arguments("list.txt", "result.json"), output);
    EXPECT_EQ(run.exitCode, 6u) << output;

    const std::string net = Pattern(5000, 1) + kMoreMarker + Pattern(3000, 2) + kZeroMarker;
    EXPECT_EQ(Record("Net0.bin"), net);
    EXPECT_EQ(Record("Net4.bin"), net);
    EXPECT_TRUE(Untouched("Net5", Record("Net5.log"), Record("Net5.bin")));

    const std::string result = WithoutTimes(Record("result.json"));
    EXPECT_NE(result.find("\"settings\": {\"parallel\": 4, \"wait\": 9, \"reportedFirmware\": \"1.10\"}"),
              std::string::npos)
        << result;
    EXPECT_NE(result.find("{\"target\": \"192.0.2.7\", \"port\": \"net\",\n     \"outcome\": \"updated\", \"reason\": "
                          "0, \"problem\": null,\n     TIMES,\n     \"firmwareBefore\": \"1.00\", \"firmwareAfter\": "
                          "\"1.10\", \"ready\": true}"),
              std::string::npos)
        << result;
    EXPECT_NE(result.find("{\"target\": \"192.0.2.11\", \"port\": \"net\",\n     \"outcome\": \"failed\", "
                          "\"reason\": 255, \"problem\": \"came back with firmware 1.00\",\n     TIMES,\n     "
                          "\"firmwareBefore\": \"1.00\", \"firmwareAfter\": \"1.00\", \"ready\": true}"),
              std::string::npos)
        << result;
    EXPECT_NE(result.find("{\"target\": \"192.0.2.12\", \"port\": \"net\",\n     \"outcome\": \"current\", "
                          "\"reason\": 0, \"problem\": null,\n     TIMES,\n     \"firmwareBefore\": \"1.10\", "
                          "\"firmwareAfter\": null, \"ready\": null}"),
              std::string::npos)
        << result;
    EXPECT_NE(output.find("batch of 3 printers, parallel 4, wait 9 s, package firmware 1.10"), std::string::npos)
        << output;
    EXPECT_NE(output.find("net 192.0.2.11: failed: reason 255 (came back with firmware 1.00)"), std::string::npos)
        << output;
    EXPECT_NE(output.find("net 192.0.2.12: current, firmware 1.10"), std::string::npos) << output;
    EXPECT_EQ(run.notices.back(), (std::pair<int, int>{255, 255}));

    // "reinstall" sends the current printer its package all the same; the
    // updated one now reports the package's firmware: exit 0.
    Write("again.txt", "net 192.0.2.12\nnet 192.0.2.7\nreinstall\nwait 9\n");
    const CallerRun again = Run(Arguments("again.txt", "again.json"), output);
    EXPECT_EQ(again.exitCode, 0u) << output;
    EXPECT_EQ(Record("Net5.bin"), net);
    EXPECT_EQ(Record("Net0.bin"), net + net);
    EXPECT_NE(output.find("batch of 2 printers, parallel 4, wait 9 s, package firmware 1.10, reinstall"),
              std::string::npos)
        << output;

    // Without "reinstall" both are current now: nothing is sent, exit 0.
    Write("third.txt", "net 192.0.2.12\nnet 192.0.2.7\nwait 9\n");
    const CallerRun third = Run(Arguments("third.txt", "third.json"), output);
    EXPECT_EQ(third.exitCode, 0u) << output;
    EXPECT_EQ(Record("Net5.bin"), net);
    EXPECT_EQ(Record("Net0.bin"), net + net);
    EXPECT_NE(output.find("batch done: every printer updated and ready, or already current"), std::string::npos)
        << output;
    EXPECT_EQ(third.notices.back(), (std::pair<int, int>{128, 0}));
}

// A dry run over a mixed list: every outcome, each with what was read, and
// not one printer connected to for data or written to.
TEST_F(Batch, ADryRunReadsEveryPrinterAndSendsNothing) {
    Write("mcu_jp.bin", Pattern(2000, 3));
    WriteConfig(std::string(kPackage).replace(std::string(kPackage).find("FwCount=2"), 9,
                                              "FwCount=3\nReportedFirmware=1.10") +
                "[Fw2]\nFileName=main.bin\nContent=MCUFW\nFileName_JP=mcu_jp.bin\n");
    char fleet[1024];
    std::snprintf(fleet, sizeof fleet,
                  "[Usb0]\nIndex=1\nVID=5A71\nPID=%04X\nPrinterName=Korvane USB\nPort=USB001\nFirmware=1.00\n"
                  "Variant=JP01\n"
                  "[Net0]\nIPv4=192.0.2.7\nFirmware=1.00\nVariant=JP02\n"
                  "[Net1]\nIPv4=192.0.2.8\nFirmware=1.00\nVariant=JP01\nStatus=0x13\n"
                  "[Net2]\nIPv4=192.0.2.9\nFirmware=1.10\nVariant=JP01\n"
                  "[Net3]\nIPv4=192.0.2.10\nFirmware=1.00\nVariant=XX01\n",
                  productId_);
    Write("vorlensim.ini", fleet);
    Write("list.txt",
          "check\nusb Korvane USB\nnet 192.0.2.7\nnet 192.0.2.8\nnet 192.0.2.9\nnet 192.0.2.10\nnet 192.0.2.99\n");
    std::string output;
    const CallerRun run = Run(Arguments("list.txt", "result.json"), output);
    EXPECT_EQ(run.exitCode, 6u) << output;

    for (const char* id : {"Usb0", "Net0", "Net1", "Net2", "Net3"})
        EXPECT_TRUE(Untouched(id, Record(std::string(id) + ".log"), Record(std::string(id) + ".bin")));
    EXPECT_EQ(Record("fleet.log").find("NetworkConnect"), std::string::npos) << Record("fleet.log");

    for (const char* line : {
             "check of 6 printers: nothing is sent, package firmware 1.10",
             "usb Korvane USB: would update, firmware 1.00, files main.bin engine.bin mcu_jp.bin",
             "net 192.0.2.7: would update, firmware 1.00, files main.bin engine.bin mcu_jp.bin",
             "net 192.0.2.8: not granted (status Not Ready)",
             "net 192.0.2.9: current, firmware 1.10",
             "net 192.0.2.10: refused (entry Fw2 has no file for variant code XX01)",
             "net 192.0.2.99: unreachable (its status cannot be read)",
             "check done: not every printer would be updated (exit 6)",
         })
        EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;

    const std::string result = WithoutTimes(Record("result.json"));
    for (const char* part : {
             "\"settings\": {\"parallel\": 4, \"wait\": 600, \"reportedFirmware\": \"1.10\", \"check\": true}",
             "\"outcome\": \"would-update\", \"reason\": 0, \"problem\": null,\n     TIMES,\n     \"firmwareBefore\": "
             "\"1.00\", \"firmwareAfter\": null, \"ready\": null,\n     \"check\": {\"status\": \"Not complete\", "
             "\"granted\": true, \"variantCode\": \"JP01\", \"files\": [{\"file\": \"main.bin\", \"pin\": "
             "\"unpinned\"}, {\"file\": \"engine.bin\", \"pin\": \"unpinned\"}, {\"file\": \"mcu_jp.bin\", \"pin\": "
             "\"unpinned\"}]}}",
             "\"outcome\": \"not-granted\", \"reason\": 0, \"problem\": \"status Not Ready\"",
             "\"outcome\": \"current\", \"reason\": 0, \"problem\": null",
             "\"outcome\": \"refused\", \"reason\": 0, \"problem\": \"entry Fw2 has no file for variant code XX01\"",
             "\"outcome\": \"unreachable\", \"reason\": 0, \"problem\": \"its status cannot be read\"",
         })
        EXPECT_NE(result.find(part), std::string::npos) << part << "\n" << result;
    EXPECT_EQ(run.notices.back(), (std::pair<int, int>{255, 255}));

    // Without the printers that would not be updated, the check exits 0.
    Write("good.txt", "check\nusb Korvane USB\nnet 192.0.2.7\nnet 192.0.2.9\n");
    const CallerRun good = Run(Arguments("good.txt", "good.json"), output);
    EXPECT_EQ(good.exitCode, 0u) << output;
    EXPECT_NE(output.find("check done: every printer would be updated or is current"), std::string::npos) << output;
    for (const char* id : {"Usb0", "Net0", "Net2"})
        EXPECT_TRUE(Untouched(id, Record(std::string(id) + ".log"), Record(std::string(id) + ".bin")));
}

}  // namespace
