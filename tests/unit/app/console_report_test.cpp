#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/console_report.h"

namespace {

using Lines = std::vector<std::wstring>;

class CollectedLines final : public ConsoleLines {
public:
    void WriteLine(const std::wstring& line) override { lines.push_back(line); }
    Lines lines;
};

// --- the progress step rule

struct StepCase {
    std::vector<int> notices;
    std::vector<int> written;
};

class ProgressStepRule : public ::testing::TestWithParam<StepCase> {};

TEST_P(ProgressStepRule, WritesAtEachNextTenth) {
    ProgressSteps steps;
    std::vector<int> written;
    for (int percent : GetParam().notices)
        if (steps.Reached(percent)) written.push_back(percent);
    EXPECT_EQ(written, GetParam().written);
}

std::vector<int> OneByOne() {
    std::vector<int> all;
    for (int percent = 0; percent <= 100; ++percent) all.push_back(percent);
    return all;
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, ProgressStepRule,
    ::testing::Values(StepCase{OneByOne(), {10, 20, 30, 40, 50, 60, 70, 80, 90, 100}},
                      // Two entries of 5000 and 3000 bytes: every notice is a step of its own.
                      StepCase{{40, 50, 100}, {40, 50, 100}},
                      // Three entries end at 99, in the last step already written.
                      StepCase{{33, 66, 95, 99}, {33, 66, 95}},
                      StepCase{{0, 5, 9, 10, 11, 19, 25, 29, 30}, {10, 25, 30}},
                      StepCase{{100}, {100}}, StepCase{{}, {}}));

// --- the lines of whole updates

TEST(ConsoleReport, UsbUpdateThatCompletes) {
    CollectedLines out;
    const LibraryTable none;
    ConsoleReport report(out, UpdateRoad::kUsb, none);
    report.Start(L"Korvane USB");
    for (int percent : {4, 8, 12, 16, 40, 50, 100}) report.Post(kNoticeProgress, percent);
    report.Post(kNoticeDone, 0);
    EXPECT_EQ(out.lines, (Lines{L"started: firmware update of USB printer \"Korvane USB\"", L"progress: 12%",
                                L"progress: 40%", L"progress: 50%", L"progress: 100%",
                                L"completed: every firmware file was sent"}));
}

TEST(ConsoleReport, NetworkUpdateWithoutItsLibrarySaysSoWithTheNoticesReason) {
    CollectedLines out;
    const LibraryTable none;  // nothing bound: the status read could not be made
    ConsoleReport report(out, UpdateRoad::kNetwork, none);
    report.Start(L"fe80::1%11");
    report.Post(kNoticeFailed, kReasonNotGranted);
    EXPECT_EQ(out.lines, (Lines{L"started: firmware update of network printer fe80::1%11",
                                L"failed: reason 4 (a library the update needs is missing or could not be loaded)"}));
}

// --- outcome lines

struct OutcomeCase {
    UpdateOutcome outcome;
    int exitCode;
    std::wstring line;
};

class OutcomeLines : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(OutcomeLines, SayTheOutcomeInWordsWithItsReason) {
    EXPECT_EQ(OutcomeLine(GetParam().outcome, GetParam().exitCode), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, OutcomeLines,
    ::testing::Values(
        OutcomeCase{{kNoticeDone, 0}, 0, L"completed: every firmware file was sent"},
        OutcomeCase{{kNoticeFailed, 1}, 1, L"failed: reason 1 (no connection to the printer)"},
        OutcomeCase{{kNoticeFailed, 2}, 2, L"failed: reason 2 (a firmware file could not be opened)"},
        OutcomeCase{{kNoticeFailed, 4}, 4,
                    L"failed: reason 4 (printer status unreadable or not in a condition that allows the update)"},
        OutcomeCase{{kNoticeFailed, 255}, 255,
                    L"failed: reason 255 (sending failed: the printer took fewer bytes than given, or the end "
                    L"marker could not be sent)"},
        OutcomeCase{{kNoticeFailed, 1}, 3,
                    L"failed: reason 1 (a library the update needs is missing or could not be loaded)"},
        OutcomeCase{{kNoticeFailed, 7}, 7, L"failed: reason 7"},
        OutcomeCase{{}, 1067, L"failed: the update ended without its outcome"}));

TEST(ConsoleReport, NotStartedLinesNameTheirCause) {
    EXPECT_EQ(NotStartedLine(kExitAnotherCopyRunning), L"not started: another copy for this printer family is running");
    const std::wstring usage = NotStartedLine(kExitArgumentsNotUnderstood);
    EXPECT_EQ(usage.rfind(L"not started: arguments not understood", 0), 0u);
    for (const wchar_t* form : {L"/u and a printer name", L"/n and a printer address", L"/batch, a list file and a result file"})
        EXPECT_NE(usage.find(form), std::wstring::npos) << form;
}

// A refusal keeps its notice's reason and says what it stands for, even
// where the reason's call has no library behind it (nothing was called).
TEST(ConsoleReport, ARefusalSaysItsOwnWordsWithTheNoticesReason) {
    CollectedLines out;
    const LibraryTable none;
    ConsoleReport report(out, UpdateRoad::kUsb, none);
    OutcomeRecorder recorder({&report});
    report.Start(L"Office");
    recorder.Problem(L"the package description \"C:\\pkg\\TessaroFWDL.cfg\" is missing");
    recorder.Post(kNoticeFailed, kReasonNotGranted);
    EXPECT_EQ(out.lines, (Lines{L"started: firmware update of USB printer \"Office\"",
                                L"failed: reason 4 (the package description \"C:\\pkg\\TessaroFWDL.cfg\" is missing)"}));
    EXPECT_EQ(recorder.outcome().problem, L"the package description \"C:\\pkg\\TessaroFWDL.cfg\" is missing");
    EXPECT_EQ(SilentUpdateExitCode(UpdateRoad::kUsb, recorder.outcome(), none), kReasonNotGranted);
}

}  // namespace
