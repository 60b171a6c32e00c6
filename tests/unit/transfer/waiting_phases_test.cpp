// The window learns when the job waits for the printer rather than sending,
// so that it can show the wait (the taskbar button's paused state).
#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "transfer_fixture.h"

namespace {

using Phases = std::vector<std::string>;

TEST_F(TransferFixture, PollsPauseAfterAFileAndFinalRoundsAreWaitsForThePrinter) {
    folder.AddPatternFile("a.bin", 6000, 1);
    folder.AddPatternFile("b.bin", 100, 2);
    Package(2, "[Fw0]\nFileName=a.bin\nPostDelay=2000\n[Fw1]\nFileName=b.bin\n");
    AddUsb(1, L"SER1", L"Laser 1");
    RunUsb();
    // Each file: data, the polls, the pause after it; then the final rounds.
    const Phases usb = {"63",      "93",      "waiting", "sending", "waiting", "sending", "95", "waiting", "sending",
                        "waiting", "sending", "waiting", "96",      "97",      "98",      "99", "100",     "sending"};
    EXPECT_EQ(window.phases, usb);

    // The network job waits in the same places, the pause before the polls.
    TearDownRun();
    folder.AddPatternFile("a.bin", 6000, 1);
    folder.AddPatternFile("b.bin", 100, 2);
    Package(2, "[Fw0]\nFileName=a.bin\nPostDelay=2000\n[Fw1]\nFileName=b.bin\n");
    AddNet(L"192.0.2.10", L"Office laser");
    RunNet();
    ASSERT_FALSE(window.phases.empty());
    EXPECT_EQ(window.phases.back(), "sending");
    EXPECT_EQ(std::count(window.phases.begin(), window.phases.end(), "waiting"),
              std::count(window.phases.begin(), window.phases.end(), "sending"));
    EXPECT_EQ(std::count(window.phases.begin(), window.phases.end(), "waiting"), 5);  // two files, final rounds
}

TEST_F(TransferFixture, AFaultEndsTheWaitBeforeItIsShown) {
    folder.AddPatternFile("a.bin", 100, 1);
    Package(1, "[Fw0]\nFileName=a.bin\n");
    AddUsb(1, L"SER1", L"Laser 1");
    fleet.Usb(1).polls = {StatusReply::Codes(1, 31)};
    RunUsb();
    // No wait is open when the error shows.
    const auto error = std::find(window.phases.begin(), window.phases.end(), "error");
    ASSERT_NE(error, window.phases.end());
    EXPECT_EQ(std::count(window.phases.begin(), error, "waiting"), std::count(window.phases.begin(), error, "sending"));
}

}  // namespace
