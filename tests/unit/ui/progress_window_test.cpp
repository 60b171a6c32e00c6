// The progress window itself under Wine: its modal loop on the test thread,
// the worker replaced through the window's start seam, and a helper thread
// that answers the window's message box as a user would.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <system_error>
#include <thread>

#include "transfer/transfer_fixture.h"
#include "ui/progress_window.h"
#include "ui/texts/resource_catalogue.h"
#include "ui/texts/resource_ids.h"

namespace {

using namespace std::chrono_literals;

struct WindowSearch {
    std::wstring title;
    HWND found = nullptr;
};

BOOL CALLBACK TakeWindowWithTitle(HWND window, LPARAM parameter) {
    auto* s = reinterpret_cast<WindowSearch*>(parameter);
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    if (IsWindowVisible(window) && s->title == text) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

// A top-level dialog window of `thread` whose title is `title`.
HWND FindDialog(DWORD thread, const std::wstring& title) {
    WindowSearch search{title};
    EnumThreadWindows(thread, TakeWindowWithTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class ProgressWindow : public TransferFixture {
protected:
    void SetUp() override {
        folder.AddPatternFile("a.bin", 100, 1);
        Package(1, "[Fw0]\nFileName=a.bin\n");
        AddUsb(1, L"SER1", L"Laser 1");
        request.usb = true;
        request.package = &packageRows;
        request.totalSize = package.TotalSize;
        request.usbPrinters = &usbRows;
    }

    // Runs the window modally on this thread. A helper answers the first
    // message box with OK and records its caption and text; should the
    // window stay open, the helper ends its modal loop after a while.
    bool RunWindow() {
        const DWORD thread = GetCurrentThreadId();
        std::atomic<bool> ended{false};
        std::thread helper([&] {
            const auto deadline = std::chrono::steady_clock::now() + 20s;
            while (!ended && std::chrono::steady_clock::now() < deadline) {
                const HWND box = FindDialog(thread, texts_.Text(IDS_CAPTION_CANCEL_UPDATE));
                if (box) {
                    wchar_t text[256] = {};
                    GetDlgItemTextW(box, 0xFFFF, text, 256);
                    boxText = text;
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
                    return;
                }
                std::this_thread::sleep_for(20ms);
            }
            if (!ended) {
                stuck = true;
                PostThreadMessageW(thread, WM_QUIT, 0, 0);
            }
        });
        CDownloadProgress(services_, request).RunModal();
        ended = true;
        helper.join();
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        return !stuck;
    }

    int languageOffset_ = 0;
    ResourceCatalogue texts_{GetModuleHandleW(nullptr), languageOffset_};
    WizardServices services_{GetModuleHandleW(nullptr), settings, texts_, fleet, locks, files, clock};
    TransferRequest request;
    std::wstring boxText;
    bool stuck = false;
};

TEST_F(ProgressWindow, AWorkerThatCannotStartEndsTheWindowAsInterrupted) {
    request.startWorker = [](TransferJob&, std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    };
    ASSERT_TRUE(RunWindow()) << "the window stayed open";
    EXPECT_EQ(boxText, texts_.Text(IDS_MSG_INTERRUPTED));
    EXPECT_TRUE(fleet.Usb(1).received.empty());
}

TEST_F(ProgressWindow, AJobThatBreaksOffEndsTheWindowAsInterrupted) {
    fleet.afterWrite = [](const FakePrinter&) { throw std::bad_alloc(); };
    ASSERT_TRUE(RunWindow()) << "the window stayed open";
    EXPECT_EQ(boxText, texts_.Text(IDS_MSG_INTERRUPTED));
    EXPECT_EQ(fleet.Usb(1).closes, 1);
}

// The Cancel command acts only while the button is enabled, whichever way it
// comes (the close box and Escape raise the same command).
TEST_F(ProgressWindow, ADisabledCancelButtonDoesNothing) {
    std::atomic<std::int32_t> whileDisabled{-1}, afterEnabled{-1};
    const DWORD thread = GetCurrentThreadId();
    request.startWorker = [&](TransferJob& job, std::function<void()>) {
        return std::thread([&job, &whileDisabled, &afterEnabled, thread, this] {
            const HWND window = FindDialog(thread, texts_.Text(IDS_PROGRESS_TITLE));
            job.window->EnableCancel(false);
            SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            SendMessageW(window, WM_CLOSE, 0, 0);
            whileDisabled = job.abortReason.load();
            job.window->EnableCancel(true);
            SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            afterEnabled = job.abortReason.load();
            job.done.store(1);
        });
    };
    ASSERT_TRUE(RunWindow()) << "the window stayed open";
    EXPECT_EQ(whileDisabled.load(), kAbortNone);
    EXPECT_EQ(afterEnabled.load(), kAbortByUser);
    EXPECT_EQ(boxText, texts_.Text(IDS_MSG_INTERRUPTED));
}

}  // namespace
