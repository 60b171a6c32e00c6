// Progress of a long operation on the program's taskbar button, through the
// shell's taskbar interface. Where the platform does not offer it, every
// call does nothing and the program goes on without it. Windows only; used
// on the interface thread of the window it is attached to.
#pragma once

#include <windows.h>

struct ITaskbarList3;

class TaskbarProgress {
public:
    enum class State { kNormal, kPaused, kError };

    TaskbarProgress() = default;
    ~TaskbarProgress();
    TaskbarProgress(const TaskbarProgress&) = delete;
    TaskbarProgress& operator=(const TaskbarProgress&) = delete;

    // Shows progress on the button of the window that owns `window` (an
    // owned dialog has no button of its own). False when the taskbar
    // interface is not there.
    bool Attach(HWND window);
    // Takes the progress off the button and lets the interface go.
    void Detach();

    void SetValue(int percent);  // 0..100
    void SetState(State state);

private:
    void Show();

    ITaskbarList3* taskbar_ = nullptr;
    HWND button_ = nullptr;
    bool comStarted_ = false;
    int percent_ = 0;
    State state_ = State::kNormal;
};
