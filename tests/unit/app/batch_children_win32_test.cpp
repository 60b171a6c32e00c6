// The child's side of a batch on Windows: which handle proves that the batch
// holds the instance mutex, and the stop event that ends a file early.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "app/batch_children_win32.h"
#include "app/stop_request_win32.h"
#include "base/files.h"
#include "base/sha256.h"
#include "tests/child_processes_win32.h"
#include "test_support.h"

namespace {

std::wstring Text(HANDLE handle) { return std::to_wstring(reinterpret_cast<std::uintptr_t>(handle)); }

// A mutex taken by a thread of its own, as the batch process holds it.
class HeldElsewhere {
public:
    explicit HeldElsewhere(const wchar_t* name) {
        handle_ = CreateMutexW(nullptr, FALSE, name);
        holder_ = std::thread([this] {
            WaitForSingleObject(handle_, INFINITE);
            SetEvent(taken_);
            WaitForSingleObject(release_, INFINITE);
            ReleaseMutex(handle_);
        });
        WaitForSingleObject(taken_, INFINITE);
    }
    ~HeldElsewhere() {
        SetEvent(release_);
        holder_.join();
        CloseHandle(handle_);
        CloseHandle(taken_);
        CloseHandle(release_);
    }
    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
    HANDLE taken_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder_;
};

TEST(BatchChildProof, OnlyTheFamilyMutexHeldByAnotherCounts) {
    const std::wstring name = L"XX_FWDL_5A71_7E57";
    {
        HeldElsewhere held(name.c_str());
        EXPECT_TRUE(ParentHoldsInstanceMutex(Text(held.handle()), name));
        // Another family's name, or a text that is not a handle value.
        EXPECT_FALSE(ParentHoldsInstanceMutex(Text(held.handle()), L"XX_FWDL_5A71_7E58"));
        EXPECT_FALSE(ParentHoldsInstanceMutex(L"12x", name));
        EXPECT_FALSE(ParentHoldsInstanceMutex(L"", name));
    }
    {
        // Nobody holds it: no proof, and the check leaves it free.
        HANDLE free = CreateMutexW(nullptr, FALSE, name.c_str());
        EXPECT_FALSE(ParentHoldsInstanceMutex(Text(free), name));
        EXPECT_EQ(WaitForSingleObject(free, 0), WAIT_OBJECT_0);
        ReleaseMutex(free);
        CloseHandle(free);
    }
    {
        // An event of the same name is not the mutex.
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
        EXPECT_FALSE(ParentHoldsInstanceMutex(Text(event), name));
        CloseHandle(event);
    }
    {
        HeldElsewhere unnamed(nullptr);
        EXPECT_FALSE(ParentHoldsInstanceMutex(Text(unnamed.handle()), name));
    }
}

// A mutex of the same name in another namespace is another object, made by
// whoever chose the name: its kernel name ends like the session's own, and
// still it proves nothing, whether or not the session's own exists.
TEST(BatchChildProof, AMutexOfTheSameNameInAnotherNamespaceIsRefused) {
    const std::wstring name = L"XX_FWDL_5A71_7E59";
    for (const wchar_t* other : {L"Global\\XX_FWDL_5A71_7E59"}) {
        HeldElsewhere foreign(other);
        ASSERT_TRUE(foreign.handle()) << other;
        EXPECT_FALSE(ParentHoldsInstanceMutex(Text(foreign.handle()), name)) << other;
        HeldElsewhere own(name.c_str());
        EXPECT_FALSE(ParentHoldsInstanceMutex(Text(foreign.handle()), name)) << other << ", beside the own one";
        EXPECT_TRUE(ParentHoldsInstanceMutex(Text(own.handle()), name));
    }
}

// The test program was started by the test runner, not by itself.
TEST(BatchChildProof, OnlyAParentRunningThisProgramCounts) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    EXPECT_FALSE(StartedByProgram(path));
    EXPECT_FALSE(StartedByProgram(L""));
}

TEST(BatchChildStop, ReadsFailOnceTheStopEventIsSet) {
    TempDir dir;
    WriteBytes(dir.path() / "fw.bin", std::string(10000, 'x'));
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    PlatformFiles platform;
    int stopsTold = 0;
    StoppableFiles files(platform, stop, [&stopsTold] { ++stopsTold; });
    auto file = files.OpenForReading(dir.ProgramPath() + L"\\fw.bin", FileSharing::ReadWrite);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Size(), 10000);
    char buffer[4096];
    EXPECT_EQ(file->Read(buffer, 4096), 4096);
    EXPECT_EQ(stopsTold, 0);
    SetEvent(stop);
    EXPECT_LT(file->Read(buffer, 4096), 0);
    EXPECT_LT(file->Read(buffer, 4096), 0);
    EXPECT_EQ(stopsTold, 1);  // the console hears of the stop once
    EXPECT_FALSE(files.OpenForReading(dir.ProgramPath() + L"\\missing.bin", FileSharing::ReadWrite));
    CloseHandle(stop);
}

// Ctrl+Break (and the console's closing, which the same path serves after
// its grace sleep) reaches the listening object as its event, and is then
// taken as handled; Ctrl+C is taken as handled and stops nothing. Without a
// listener the console's default (ending the process) stays.
TEST(ConsoleBreakEvents, SetTheListenersEventInsteadOfEndingTheProcess) {
    EXPECT_FALSE(ConsoleBreak::OnConsoleEvent(CTRL_C_EVENT));
    {
        ConsoleBreak consoleBreak;
        EXPECT_FALSE(ConsoleBreak::OnConsoleEvent(CTRL_BREAK_EVENT)) << "before it listens";
        EXPECT_FALSE(consoleBreak.Requested());
        consoleBreak.Listen();
        EXPECT_TRUE(ConsoleBreak::OnConsoleEvent(CTRL_C_EVENT));
        EXPECT_FALSE(consoleBreak.Requested()) << "Ctrl+C stops nothing";
        EXPECT_TRUE(ConsoleBreak::OnConsoleEvent(CTRL_BREAK_EVENT));
        EXPECT_TRUE(consoleBreak.Requested());
    }
    EXPECT_FALSE(ConsoleBreak::OnConsoleEvent(CTRL_BREAK_EVENT)) << "after the listener has gone";
}

// A child that cannot be put in the batch's job object would outlive its
// batch: it is ended before its first instruction, and the printer's
// problem says so.
TEST(BatchChildStart, AChildThatCannotJoinTheJobNeverRuns) {
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::wstring program = std::wstring(system) + L"\\cmd.exe";
    KernelHandle mutex(CreateMutexW(nullptr, FALSE, nullptr));
    KernelHandle notAJob(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const PackageSettings settings;
    PlatformFiles files;
    for (KernelHandle* job : {&notAJob, static_cast<KernelHandle*>(nullptr)}) {
        ChildUpdateStarter starter(program, mutex.Get(), settings, files, job ? std::move(*job) : KernelHandle());
        std::wstring problem;
        EXPECT_EQ(starter.Start({BatchRoad::kNetwork, L"192.0.2.7"}, problem), nullptr);
        EXPECT_EQ(problem, L"the update process could not be put in the batch's job object and was not started");
        EXPECT_EQ(CountChildProcesses(GetCurrentProcessId(), L"cmd.exe"), 0);
    }
    // The batch's own job object is made with its limits.
    EXPECT_TRUE(BatchJobObject());
}

// The real files, counting the opens of each by its name.
class CountedFiles final : public FileOpener {
public:
    std::map<std::wstring, int> opens;
    std::unique_ptr<InputFile> OpenForReading(const std::wstring& path, FileSharing sharing) override {
        ++opens[path.substr(path.find_last_of(L"\\/") + 1)];
        return files_.OpenForReading(path, sharing);
    }

private:
    PlatformFiles files_;
};

// The checks a batch makes before a printer's child starts: the package's
// files are read and hashed once per batch, not once per printer, and a name
// the library cannot be given is refused, by its own words, before any
// firmware file is read.
TEST(BatchChildStart, ThePackageIsCheckedOncePerBatchAndANameThatCannotPassByItself) {
    const std::string firmware = PatternBytes(300000, 3);
    PackageFolder folder;
    folder.AddFile("main.bin", firmware);
    const PackageSettings settings = folder.WriteConfig(
        "[General]\nEncoding=0\nFwCount=1\n[Granted]\nS0A*=1\n[Fw0]\nFileName=main.bin\nSha256=" +
        Sha256Hex(*Sha256::Of(firmware.data(), firmware.size())) + "\n");
    CountedFiles files;
    KernelHandle mutex(CreateMutexW(nullptr, FALSE, nullptr));
    ChildUpdateStarter starter(L"unused.exe", mutex.Get(), settings, files, KernelHandle());
    for (const wchar_t* address : {L"192.0.2.7", L"192.0.2.8", L"192.0.2.9"})
        EXPECT_FALSE(starter.Refusal({BatchRoad::kNetwork, address})) << address;
    EXPECT_FALSE(starter.Refusal({BatchRoad::kUsb, L"Office laser"}));
    const int opensOfOneCheck = files.opens[L"main.bin"];
    ASSERT_GT(opensOfOneCheck, 0);
    EXPECT_FALSE(starter.Refusal({BatchRoad::kNetwork, L"192.0.2.10"}));
    EXPECT_EQ(files.opens[L"main.bin"], opensOfOneCheck) << "the package was hashed again for another printer";

    const std::optional<UpdateRefusal> refused = starter.Refusal({BatchRoad::kUsb, L"\u30AA\u30D5\u30A3\u30B9"});
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->reason, kReasonNoConnection);
    EXPECT_NE(refused->problem.find(L"\u30AA\u30D5\u30A3\u30B9"), std::wstring::npos) << refused->problem;
    EXPECT_EQ(files.opens[L"main.bin"], opensOfOneCheck);
}

// The program that stands for a child ignoring its stop request, beside this one.
std::wstring IgnoringChildPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"ignoring_child.exe";
}

// Polls the child's exit code until it has one; real time, a generous bound.
std::optional<int> WaitForExitCode(UpdateProcess& child) {
    for (int k = 0; k < 3000; ++k) {
        if (const std::optional<int> code = child.ExitCode()) return code;
        Sleep(20);
    }
    return std::nullopt;
}

// A child asked to stop that goes on regardless is ended from outside once
// its grace time after the request is over, not before, and not at all
// without a request: time is the starter's clock, stepped by the test. The
// child ends by itself with 42 when the test lets it; ended from outside it
// gives 1067.
TEST(BatchChildStop, AChildThatIgnoresItsStopRequestIsEndedAfterItsGraceTime) {
    ULONGLONG now = 7000000;
    HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
    ASSERT_TRUE(mutex);
    const PackageSettings settings;
    PlatformFiles files;
    ChildUpdateStarter starter(IgnoringChildPath(), mutex, settings, files, BatchJobObject(), [&now] { return now; });
    std::wstring problem;
    const std::wstring releaseName = L"FwdlIgnoringChild-" + std::to_wstring(GetCurrentProcessId());
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
    ASSERT_TRUE(release);
    const BatchPrinter printer{BatchRoad::kNetwork, releaseName};
    {
        const std::unique_ptr<UpdateProcess> child = starter.Start(printer, problem);
        ASSERT_TRUE(child);
        now += 3600000;  // an hour without a stop request
        EXPECT_FALSE(child->ExitCode());
        child->RequestStop();
        now += kStopGraceMs;  // the whole grace time, and not a moment more
        EXPECT_FALSE(child->ExitCode());
        SetEvent(release);
        EXPECT_EQ(WaitForExitCode(*child), std::optional<int>(42)) << "ended before its grace time was over";
    }
    ResetEvent(release);
    {
        const std::unique_ptr<UpdateProcess> child = starter.Start(printer, problem);
        ASSERT_TRUE(child);
        child->RequestStop();
        now += kStopGraceMs + 1;
        EXPECT_EQ(WaitForExitCode(*child), std::optional<int>(1067)) << "a child that ignores its stop request";
    }
    CloseHandle(release);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

TEST(BatchChildStop, HandleTextsAreDecimalValuesOnly) {
    EXPECT_EQ(InheritedHandle(L"1234"), reinterpret_cast<HANDLE>(1234));
    EXPECT_EQ(InheritedHandle(L""), nullptr);
    EXPECT_EQ(InheritedHandle(L"-4"), nullptr);
    EXPECT_EQ(InheritedHandle(L"0x10"), nullptr);
    EXPECT_EQ(InheritedHandle(L"123456789012345678901"), nullptr);
}

}  // namespace
