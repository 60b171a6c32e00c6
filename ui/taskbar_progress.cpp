#include "ui/taskbar_progress.h"

#include <objbase.h>
#include <shobjidl.h>

namespace {

TBPFLAG ProgressFlag(TaskbarProgress::State state) {
    switch (state) {
    case TaskbarProgress::State::kPaused: return TBPF_PAUSED;
    case TaskbarProgress::State::kError: return TBPF_ERROR;
    case TaskbarProgress::State::kNormal: break;
    }
    return TBPF_NORMAL;
}

}  // namespace

TaskbarProgress::~TaskbarProgress() { Detach(); }

bool TaskbarProgress::Attach(HWND window) {
    Detach();
    // The interface is an apartment-threaded object of the shell: join (or
    // open) this thread's apartment for as long as it is held.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    comStarted_ = SUCCEEDED(com);
    ITaskbarList3* taskbar = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&taskbar))) ||
        !taskbar) {
        Detach();
        return false;
    }
    if (FAILED(taskbar->HrInit())) {
        taskbar->Release();
        Detach();
        return false;
    }
    taskbar_ = taskbar;
    const HWND owner = GetAncestor(window, GA_ROOTOWNER);
    button_ = owner ? owner : window;
    percent_ = 0;
    state_ = State::kNormal;
    Show();
    return true;
}

void TaskbarProgress::Detach() {
    if (taskbar_) {
        taskbar_->SetProgressState(button_, TBPF_NOPROGRESS);
        taskbar_->Release();
        taskbar_ = nullptr;
    }
    button_ = nullptr;
    if (comStarted_) CoUninitialize();
    comStarted_ = false;
}

void TaskbarProgress::SetValue(int percent) {
    percent_ = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    if (taskbar_) taskbar_->SetProgressValue(button_, static_cast<ULONGLONG>(percent_), 100);
}

void TaskbarProgress::SetState(State state) {
    state_ = state;
    if (taskbar_) taskbar_->SetProgressState(button_, ProgressFlag(state_));
}

void TaskbarProgress::Show() {
    if (!taskbar_) return;
    // The state first: a value given while there is no progress would show as normal.
    taskbar_->SetProgressState(button_, ProgressFlag(state_));
    taskbar_->SetProgressValue(button_, static_cast<ULONGLONG>(percent_), 100);
}
