// How a silent run is asked to stop without ending mid-file: an event that,
// once set, fails every further read of the firmware files, so the update
// ends the file it is sending with the abandon marker and reports a failed
// send. A batch sets its child's event; Ctrl+Break sets the console's. Windows
// only.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "base/files.h"
#include "base/kernel_handle_win32.h"

// Firmware files whose reads fail once the stop event is set, as a file that
// cannot be read whole does. `onStop`, when given, runs at the first read
// that fails so.
class StoppableFiles final : public FileOpener {
public:
    StoppableFiles(FileOpener& files, HANDLE stopEvent, std::function<void()> onStop = {})
        : files_(files), stopEvent_(stopEvent), onStop_(std::move(onStop)) {}
    std::unique_ptr<InputFile> OpenForReading(const std::wstring& path, FileSharing sharing) override;
    bool StopRequested() override { return Stopped(); }

    // Whether a read has been refused; tells onStop the first time.
    bool Stopped();

private:
    FileOpener& files_;
    HANDLE stopEvent_;
    std::function<void()> onStop_;
    bool stopped_ = false;
};

// Ctrl+Break and the closing of the console that a silent run is attached
// to: by default they end the process at once, cutting a printer off
// mid-file without a word. Once Listen() is called they set this object's
// event instead, and the run stops in order. Ctrl+C is then ignored: this
// windowed program started from an interactive prompt returns to it at once
// and shares its console, so a Ctrl+C typed there (to clear a line) is not
// meant for the update, and nothing tells such a prompt from a caller that
// waits. The console calls its handler without context, so one object at a
// time listens.
class ConsoleBreak {
public:
    ConsoleBreak();
    ~ConsoleBreak();
    ConsoleBreak(const ConsoleBreak&) = delete;
    ConsoleBreak& operator=(const ConsoleBreak&) = delete;

    void Listen();
    HANDLE Event() const { return event_.Get(); }
    bool Requested() const { return WaitForSingleObject(event_.Get(), 0) == WAIT_OBJECT_0; }

    // The console's handler, as the console calls it.
    static BOOL WINAPI OnConsoleEvent(DWORD event);

private:
    KernelHandle event_;
    bool listening_ = false;
};

// A batch's child leaves console events to its parent, which stops it.
void IgnoreConsoleBreaks();
