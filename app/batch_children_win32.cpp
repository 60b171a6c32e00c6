#include "app/batch_children_win32.h"

#include "base/history_files_win32.h"

#include <cwchar>
#include <optional>
#include <utility>
#include <vector>

#include "app/command_line_update.h"
#include "base/system_code_page.h"
#include "base/text.h"

namespace {

constexpr DWORD kEndedFromOutside = 1067;

std::wstring HandleText(HANDLE handle) { return std::to_wstring(reinterpret_cast<std::uintptr_t>(handle)); }

class ChildProcess final : public UpdateProcess {
public:
    ChildProcess(KernelHandle process, KernelHandle stopEvent, MonotonicMs now, std::wstring runLogFolder)
        : process_(std::move(process)), stopEvent_(std::move(stopEvent)), now_(std::move(now)),
          runLogFolder_(std::move(runLogFolder)) {}
    ~ChildProcess() override {
        if (!ended_) TerminateProcess(process_.Get(), kEndedFromOutside);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    std::optional<int> ExitCode() override {
        if (WaitForSingleObject(process_.Get(), 0) != WAIT_OBJECT_0) {
            if (stopAsked_ && now_() - stopAskedAt_ > kStopGraceMs)
                TerminateProcess(process_.Get(), kEndedFromOutside);
            return std::nullopt;
        }
        ended_ = true;
        DWORD code = kEndedFromOutside;
        GetExitCodeProcess(process_.Get(), &code);
        return static_cast<int>(code);
    }

    std::optional<std::wstring> RunLog() override {
        if (runLogFolder_.empty()) return std::nullopt;
        return FindRunLogOfProcess(runLogFolder_, GetProcessId(process_.Get()));
    }

    void RequestStop() override {
        SetEvent(stopEvent_.Get());
        if (stopAsked_) return;
        stopAsked_ = true;
        stopAskedAt_ = now_();
    }

private:
    KernelHandle process_;
    KernelHandle stopEvent_;
    MonotonicMs now_;
    std::wstring runLogFolder_;
    bool stopAsked_ = false;
    ULONGLONG stopAskedAt_ = 0;
    bool ended_ = false;
};

// Makes handles inheritable for one CreateProcess only, so that each child
// gets its own stop event and no other child's. The batch starts children
// from one thread.
class InheritedForOneStart {
public:
    explicit InheritedForOneStart(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        for (HANDLE handle : handles_) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    ~InheritedForOneStart() {
        for (HANDLE handle : handles_) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
    }
    InheritedForOneStart(const InheritedForOneStart&) = delete;
    InheritedForOneStart& operator=(const InheritedForOneStart&) = delete;

private:
    std::vector<HANDLE> handles_;
};

// The kernel's name and type of an object, through ntdll (no import library
// needed; the entry point exists on every supported system and on Wine).
struct CountedText {
    USHORT length;
    USHORT maximumLength;
    PWSTR buffer;
};
using QueryObjectFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
constexpr int kObjectNameInformation = 1;
constexpr int kObjectTypeInformation = 2;

std::wstring ObjectText(HANDLE handle, int what) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto query = ntdll ? reinterpret_cast<QueryObjectFunction>(
                                   reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryObject")))
                             : nullptr;
    if (!query) return {};
    std::vector<unsigned char> buffer(4096);
    ULONG needed = 0;
    if (query(handle, what, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) < 0) return {};
    const auto* text = reinterpret_cast<const CountedText*>(buffer.data());
    if (!text->buffer) return {};
    return std::wstring(text->buffer, text->length / sizeof(wchar_t));
}

// The kernel's full name of the instance mutex of this session, as this
// process opens it by its plain name ("\Sessions\<n>\BaseNamedObjects\...");
// empty when no such mutex exists.
std::wstring SessionMutexKernelName(const std::wstring& instanceName) {
    const KernelHandle own(OpenMutexW(SYNCHRONIZE, FALSE, instanceName.c_str()));
    return own ? ObjectText(own.Get(), kObjectNameInformation) : std::wstring();
}

// The process that started this one, by the id the kernel keeps for it.
DWORD ParentProcessId() {
    struct BasicInformation {
        LONG exitStatus;
        void* pebAddress;
        ULONG_PTR affinityMask;
        LONG basePriority;
        ULONG_PTR uniqueProcessId;
        ULONG_PTR inheritedFromUniqueProcessId;
    };
    using QueryProcessFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto query = ntdll ? reinterpret_cast<QueryProcessFunction>(
                                   reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationProcess")))
                             : nullptr;
    BasicInformation information = {};
    constexpr int kProcessBasicInformation = 0;
    if (!query || query(GetCurrentProcess(), kProcessBasicInformation, &information, sizeof information, nullptr) < 0)
        return 0;
    return static_cast<DWORD>(information.inheritedFromUniqueProcessId);
}

// The full path of a process's program; empty when it cannot be asked.
std::wstring ProcessImagePath(HANDLE process) {
    std::wstring path(32768, L'\0');
    DWORD length = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process, 0, path.data(), &length)) return {};
    path.resize(length);
    return path;
}

}  // namespace

KernelHandle BatchJobObject() {
    KernelHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    // A job that would not end its children is no job for a batch.
    if (job && !SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        job.Reset();
    return job;
}

ChildUpdateStarter::ChildUpdateStarter(std::wstring programPath, HANDLE instanceMutex,
                                       const PackageSettings& settings, FileOpener& files, KernelHandle job,
                                       MonotonicMs now)
    : programPath_(std::move(programPath)),
      instanceMutex_(instanceMutex),
      settings_(settings),
      files_(files),
      now_(std::move(now)),
      job_(std::move(job)) {}

std::unique_ptr<UpdateProcess> ChildUpdateStarter::Start(const BatchPrinter& printer, std::wstring& problem) {
    problem = L"the update process could not be started";
    KernelHandle stopEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopEvent) return nullptr;
    std::wstring commandLine = QuotedArgument(programPath_) + L" /batch-printer " +
                               (printer.road == BatchRoad::kUsb ? L"u " : L"n ") + QuotedArgument(printer.target) + L" " +
                               HandleText(instanceMutex_) + L" " + HandleText(stopEvent.Get());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    BOOL started = FALSE;
    {
        const InheritedForOneStart inherited({instanceMutex_, stopEvent.Get()});
        started = CreateProcessW(programPath_.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                                 nullptr, nullptr, &startup, &info);
    }
    if (!started) return nullptr;
    KernelHandle process(info.hProcess);
    const KernelHandle thread(info.hThread);
    // In the job before its first instruction, so that no child outlives the
    // batch; one that cannot be put there never runs.
    if (!job_ || !AssignProcessToJobObject(job_.Get(), process.Get())) {
        TerminateProcess(process.Get(), kEndedFromOutside);
        WaitForSingleObject(process.Get(), static_cast<DWORD>(kStopGraceMs));
        problem = L"the update process could not be put in the batch's job object and was not started";
        return nullptr;
    }
    if (ResumeThread(thread.Get()) == static_cast<DWORD>(-1)) {
        TerminateProcess(process.Get(), kEndedFromOutside);
        return nullptr;
    }
    problem.clear();
    return std::make_unique<ChildProcess>(std::move(process), std::move(stopEvent), now_, runLogFolder_);
}

std::optional<UpdateRefusal> ChildUpdateStarter::Refusal(const BatchPrinter& printer) {
    // The plain files: the printer's own choice among per-variant files
    // needs its variant code, which its child reads and checks in turn.
    const auto refuse = [&] {
        PinnedFiles pinned(files_);
        const PlainEntryFiles choice(settings_);
        return RefuseBeforeConnecting(settings_, pinned, choice,
                                      printer.road == BatchRoad::kUsb ? UpdateRoad::kUsb : UpdateRoad::kNetwork,
                                      printer.target);
    };
    // A name the library cannot be given is refused before any firmware
    // file is read. Past that the checks see only the package: its files are read
    // and hashed once per batch, not once per printer (each child checks
    // them again before its first byte).
    if (printer.road == BatchRoad::kUsb && !FitsSystemCodePage(printer.target)) return refuse();
    if (!packageRefusal_) packageRefusal_ = refuse();
    return *packageRefusal_;
}

HANDLE InheritedHandle(const std::wstring& text) {
    if (text.empty() || text.size() > 20) return nullptr;
    std::uintptr_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return nullptr;
        value = value * 10 + static_cast<std::uintptr_t>(c - L'0');
    }
    return reinterpret_cast<HANDLE>(value);
}

bool ParentHoldsInstanceMutex(const std::wstring& proofText, const std::wstring& instanceName) {
    HANDLE proof = InheritedHandle(proofText);
    DWORD flags = 0;
    if (!proof || !GetHandleInformation(proof, &flags)) return false;
    if (ObjectText(proof, kObjectTypeInformation) != L"Mutant") return false;
    // Exactly the mutex that the plain name opens in this session: one of
    // the same name in another namespace ("Global\\...", another session,
    // a private namespace) was not made by the batch of this session.
    const std::wstring expected = SessionMutexKernelName(instanceName);
    if (expected.empty() || ObjectText(proof, kObjectNameInformation) != expected) return false;
    // Held by another thread: the wait times out. A mutex that nobody holds
    // proves nothing and is let go again.
    const DWORD waited = WaitForSingleObject(proof, 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        ReleaseMutex(proof);
        return false;
    }
    return waited == WAIT_TIMEOUT;
}

bool StartedByProgram(const std::wstring& programPath) {
    const DWORD parentId = ParentProcessId();
    if (parentId == 0 || programPath.empty()) return false;
    const KernelHandle parent(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parentId));
    if (!parent) return false;
    // A parent that has ended and whose id was given to another process is
    // not this program's batch, whatever that process runs: it must have
    // been created before this one.
    FILETIME parentCreated, childCreated, unused1, unused2, unused3, unused4;
    if (!GetProcessTimes(parent.Get(), &parentCreated, &unused1, &unused2, &unused3) ||
        !GetProcessTimes(GetCurrentProcess(), &childCreated, &unused4, &unused1, &unused2) ||
        CompareFileTime(&parentCreated, &childCreated) > 0)
        return false;
    return EqualsOrdinalIgnoringCase(ProcessImagePath(parent.Get()), programPath);
}
