#include "app/stop_request_win32.h"

#include <atomic>

namespace {

class StoppableFile final : public InputFile {
public:
    StoppableFile(std::unique_ptr<InputFile> file, StoppableFiles& files) : file_(std::move(file)), files_(files) {}
    int Read(void* buffer, int count) override { return files_.Stopped() ? -1 : file_->Read(buffer, count); }
    std::int64_t Size() override { return file_->Size(); }

private:
    std::unique_ptr<InputFile> file_;
    StoppableFiles& files_;
};

// The event of the listening ConsoleBreak.
std::atomic<HANDLE> listeningEvent{nullptr};

// After the console is closed the system ends the process a few seconds
// later whatever the handler does; until then the run has time to send the
// abandon marker, and ends the process itself when it has.
constexpr DWORD kCloseGraceMs = 4000;

}  // namespace

std::unique_ptr<InputFile> StoppableFiles::OpenForReading(const std::wstring& path, FileSharing sharing) {
    std::unique_ptr<InputFile> file = files_.OpenForReading(path, sharing);
    if (!file) return nullptr;
    return std::make_unique<StoppableFile>(std::move(file), *this);
}

bool StoppableFiles::Stopped() {
    if (stopped_) return true;
    if (!stopEvent_ || WaitForSingleObject(stopEvent_, 0) != WAIT_OBJECT_0) return false;
    stopped_ = true;
    if (onStop_) onStop_();
    return true;
}

ConsoleBreak::ConsoleBreak() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

ConsoleBreak::~ConsoleBreak() {
    if (!listening_) return;
    SetConsoleCtrlHandler(&ConsoleBreak::OnConsoleEvent, FALSE);
    listeningEvent.store(nullptr);
}

void ConsoleBreak::Listen() {
    if (listening_ || !event_) return;
    listeningEvent.store(event_.Get());
    listening_ = SetConsoleCtrlHandler(&ConsoleBreak::OnConsoleEvent, TRUE) != FALSE;
    if (!listening_) listeningEvent.store(nullptr);
}

BOOL WINAPI ConsoleBreak::OnConsoleEvent(DWORD event) {
    HANDLE stop = listeningEvent.load();
    if (!stop) return FALSE;
    if (event == CTRL_C_EVENT) return TRUE;
    SetEvent(stop);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(kCloseGraceMs);
    return TRUE;
}

void IgnoreConsoleBreaks() { SetConsoleCtrlHandler(nullptr, TRUE); }
