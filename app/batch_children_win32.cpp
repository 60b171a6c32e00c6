#include "app/batch_children_win32.h"

#include <cwchar>
#include <utility>
#include <vector>

#include "base/text.h"

namespace {

// How long a child asked to stop may take before it is ended: long enough
// for the piece in flight and the abandon marker.
constexpr DWORD kStopGraceMs = 30000;
constexpr DWORD kEndedFromOutside = 1067;

std::wstring HandleText(HANDLE handle) { return std::to_wstring(reinterpret_cast<std::uintptr_t>(handle)); }

class ChildProcess final : public UpdateProcess {
public:
    ChildProcess(KernelHandle process, KernelHandle stopEvent)
        : process_(std::move(process)), stopEvent_(std::move(stopEvent)) {}
    ~ChildProcess() override {
        if (!ended_) TerminateProcess(process_.Get(), kEndedFromOutside);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    std::optional<int> ExitCode() override {
        if (WaitForSingleObject(process_.Get(), 0) != WAIT_OBJECT_0) {
            if (stopAskedAt_ && GetTickCount64() - stopAskedAt_ > kStopGraceMs)
                TerminateProcess(process_.Get(), kEndedFromOutside);
            return std::nullopt;
        }
        ended_ = true;
        DWORD code = kEndedFromOutside;
        GetExitCodeProcess(process_.Get(), &code);
        return static_cast<int>(code);
    }

    void RequestStop() override {
        SetEvent(stopEvent_.Get());
        stopAskedAt_ = GetTickCount64();
    }

private:
    KernelHandle process_;
    KernelHandle stopEvent_;
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

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

ChildUpdateStarter::ChildUpdateStarter(std::wstring programPath, HANDLE instanceMutex,
                                       const PackageSettings& settings, FileOpener& files)
    : programPath_(std::move(programPath)), instanceMutex_(instanceMutex), settings_(settings), files_(files) {
    job_.Reset(CreateJobObjectW(nullptr, nullptr));
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
}

std::unique_ptr<UpdateProcess> ChildUpdateStarter::Start(const BatchPrinter& printer) {
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
    // In the job before its first instruction, so that no child outlives the batch.
    if (job_) AssignProcessToJobObject(job_.Get(), process.Get());
    ResumeThread(thread.Get());
    return std::make_unique<ChildProcess>(std::move(process), std::move(stopEvent));
}

std::optional<UpdateRefusal> ChildUpdateStarter::Refusal(const BatchPrinter& printer) {
    PinnedFiles pinned(files_);
    return RefuseBeforeConnecting(settings_, pinned, printer.road == BatchRoad::kUsb ? UpdateRoad::kUsb
                                                                                     : UpdateRoad::kNetwork,
                                  printer.target);
}

std::int64_t PlatformBatchClock::NowUtcMs() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const std::int64_t ticks = (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000;
    return (ticks - kTicksFrom1601To1970) / 10000;
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
    if (!EndsWith(ObjectText(proof, kObjectNameInformation), L"\\" + instanceName)) return false;
    // Held by another thread: the wait times out. A mutex that nobody holds
    // proves nothing and is let go again.
    const DWORD waited = WaitForSingleObject(proof, 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        ReleaseMutex(proof);
        return false;
    }
    return waited == WAIT_TIMEOUT;
}
