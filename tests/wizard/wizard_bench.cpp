// Measures the wizard under Wine; asserts nothing (tools/bench-wizard.sh runs it).
//
//  1. How long the progress window's interface thread takes to answer while
//     a big package goes to a simulated USB printer: WM_NULL sent about every
//     20 ms for as long as the window is open, each answer timed.
//  2. The wizard's start: from CreateProcess to the visible wizard frame.
//
//   wizard_bench.exe [package MB (64)] [starts (7)]
//
// The printer keeps only a digest of the stream (Record=digest); the bytes it
// took are summed from its transcript to check the transfer. Windows only.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "ui/texts/resource_ids.h"
#include "ui_driver.h"
#include "wizard_fixture.h"

using namespace ui_driver;

namespace {

constexpr int kProbeIntervalMs = 20;
constexpr UINT kProbeTimeoutMs = 5000;
constexpr int kLastDataBar = 94;  // the data share of the bar ends at 95
const std::wstring kSentLine = L"Update data has been sent.";

std::string Config(const std::string& fileName) {
    return "[General]\nEncoding=0\nModuleName=Main controller\nModelName=Tessaro 7000\nMDLCnt=1\n"
           "MDL0=Korvane Laser 7000\nNetDownload=0\nLanguage=0\nFwCount=1\nVID=0A1B\nPID=00C2\n"
           "[Fw0]\nFileName=" +
           fileName + "\nReleaseDate=2026-11-02\n[Granted]\nS0A*=1\n";
}

const std::string kScenario =
    "[Fleet]\nRecord=digest\n"
    "[Usb0]\nIndex=1\nVID=0A1B\nPID=00C2\nModel=Korvane Laser 7000\nSerial=E7300123\n"
    "Firmware=01.00.00\nVariant=JP01\nName=Tessaro 7000\nStatus=10/0/0\n";

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t k = 0; k < size; ++k) bytes[k] = static_cast<char>((k * 7 + k / 4096) & 0xFF);
    return bytes;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    return static_cast<double>(to.QuadPart - from.QuadPart) / ticksPerMs;
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Longest(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// Stream bytes the printer took, from its transcript lines
// "DUWriteData <count> -> took <taken>" (the queries are logged otherwise).
unsigned long long TakenBytes(const std::string& transcript) {
    std::istringstream lines(transcript);
    std::string line;
    unsigned long long taken = 0;
    while (std::getline(lines, line)) {
        unsigned long long count = 0, took = 0;
        if (std::sscanf(line.c_str(), "DUWriteData %llu -> took %llu", &count, &took) == 2) taken += took;
    }
    return taken;
}

bool Fail(const char* why) {
    std::fprintf(stderr, "%s\n", why);
    return false;
}

// Drives one USB update of a `megabytes` package and probes the progress
// window meanwhile. Returns false when the run did not go as it should.
bool MeasureProgressWindow(int megabytes) {
    const std::size_t size = static_cast<std::size_t>(megabytes) * 1024 * 1024;
    WizardRun run(Config("fw.bin"), kScenario);
    run.AddFile("fw.bin", Pattern(size));
    if (!run.Start() || !PressNextWhenEnabled(run.Sheet())) return Fail("the wizard did not start");

    HWND usb = run.WaitForPage(IDC_USB_LIST);
    if (!usb) return Fail("no USB list page");
    {
        RemoteList list(Control(usb, IDC_USB_LIST));
        if (!WaitUntil([&] { return list.Count() == 1 && !list.Text(0, 0).empty(); }))
            return Fail("the printer was not listed");
        list.SetTicked(0, true);
    }
    if (!PressNextWhenEnabled(run.Sheet())) return Fail("Next stayed disabled");

    HWND progress = nullptr;
    WaitUntil([&] {
        progress = FindDialog(run.ProcessId(), run.Sheet());
        return progress && Control(progress, IDC_PROGRESS_BAR);
    });
    if (!progress) return Fail("no progress window");
    HWND bar = Control(progress, IDC_PROGRESS_BAR);

    std::vector<double> all, whileData;
    int unanswered = 0;
    double longestAt = 0;  // seconds after the window showed
    DWORD_PTR barAtLongest = 0;
    LARGE_INTEGER firstData = {}, lastData = {};
    const LARGE_INTEGER opened = Now();
    LARGE_INTEGER closed = opened;
    for (;;) {
        DWORD_PTR ignored = 0;
        const LARGE_INTEGER sent = Now();
        const bool answered =
            SendMessageTimeoutW(progress, WM_NULL, 0, 0, SMTO_NORMAL, kProbeTimeoutMs, &ignored) != 0;
        const LARGE_INTEGER back = Now();
        if (!IsWindow(progress)) {
            closed = back;
            break;
        }
        if (!answered) {
            ++unanswered;
            continue;
        }
        const double ms = Milliseconds(sent, back);
        all.push_back(ms);
        DWORD_PTR position = 0;
        SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, kProbeTimeoutMs, &position);
        if (position >= 1 && position <= kLastDataBar) {
            if (whileData.empty()) firstData = sent;
            lastData = back;
            whileData.push_back(ms);
        }
        if (ms >= Longest(all)) {
            longestAt = Milliseconds(opened, sent) / 1000;
            barAtLongest = position;
        }
        if (Milliseconds(opened, back) > 600000) return Fail("the progress window stayed open");
        Sleep(kProbeIntervalMs);
    }

    const bool sentState = WaitUntil([&] { return WindowText(Control(usb, IDC_USB_LINE1)) == kSentLine; });
    const unsigned long long taken = TakenBytes(run.Transcript("Usb0"));
    std::printf("Progress window, %d MB to a simulated USB printer (WM_NULL about every %d ms):\n", megabytes,
                kProbeIntervalMs);
    std::printf("  window open %.1f s: %zu probes, median %.2f ms, longest %.2f ms, %d unanswered within %u ms\n",
                Milliseconds(opened, closed) / 1000, all.size(), Median(all), Longest(all), unanswered,
                kProbeTimeoutMs);
    std::printf("  the longest came %.2f s after the window showed, at bar %u\n", longestAt,
                static_cast<unsigned>(barAtLongest));
    std::printf("  while data flowed (bar 1 to %d, %.2f s): %zu probes, median %.2f ms, longest %.2f ms\n",
                kLastDataBar, whileData.empty() ? 0.0 : Milliseconds(firstData, lastData) / 1000, whileData.size(),
                Median(whileData), Longest(whileData));
    std::printf("  printer took %llu bytes (package %zu + 4-byte end marker)%s\n", taken, size,
                sentState ? ", page in its sent state" : "");
    if (!sentState || taken != size + 4) return Fail("the transfer did not complete");
    PressFinish(run.Sheet());
    run.WaitForExit();
    return true;
}

// Times `starts` starts of the wizard after one start that warms Wine up.
bool MeasureStart(int starts) {
    std::vector<double> times;
    double warmUp = 0;
    for (int k = 0; k <= starts; ++k) {
        WizardRun run(Config("main.bin"), kScenario);
        run.AddFile("main.bin", Pattern(5000));
        const LARGE_INTEGER begin = Now();
        if (!run.Start()) return Fail("the wizard did not start");
        const double ms = Milliseconds(begin, Now());
        if (k == 0)
            warmUp = ms;
        else
            times.push_back(ms);
        PressCancel(run.Sheet());
        if (!run.WaitForExit()) return Fail("the wizard did not end on Cancel");
    }
    std::printf("Start, CreateProcess to the visible wizard frame (found by polling every 20 ms):\n");
    std::printf("  %d starts: median %.0f ms, fastest %.0f ms, slowest %.0f ms (first start, not counted: %.0f ms)\n",
                starts, Median(times), *std::min_element(times.begin(), times.end()), Longest(times), warmUp);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 64;
    const int starts = argc > 2 ? std::atoi(argv[2]) : 7;
    if (megabytes <= 0 || starts <= 0) {
        std::fputs("usage: wizard_bench [package MB] [starts]\n", stderr);
        return 2;
    }
    const bool started = MeasureStart(starts);
    std::fflush(stdout);
    const bool probed = MeasureProgressWindow(megabytes);
    return started && probed ? 0 : 1;
}
