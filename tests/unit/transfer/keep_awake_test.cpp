// The system is held awake while a transfer job runs and may sleep again
// once it has ended, whichever way it ended, before the window learns that
// the job is done.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "base/keep_awake.h"
#include "transfer_fixture.h"

namespace {

// Records each request with what the job had done by then: the length of
// the shared timeline and whether done was set.
class RecordedPower final : public PowerRequests {
public:
    RecordedPower(const Timeline& timeline, const TransferJob& job) : timeline_(timeline), job_(job) {}

    struct Call {
        std::string what;
        std::size_t timelineAt;
        int doneAt;
    };
    std::vector<Call> calls;

    void KeepSystemAwake() override { calls.push_back({"awake", timeline_.size(), job_.done.load()}); }
    void AllowSleep() override { calls.push_back({"sleep", timeline_.size(), job_.done.load()}); }

private:
    const Timeline& timeline_;
    const TransferJob& job_;
};

class KeepAwakeDuringTransfer : public TransferFixture {
protected:
    KeepAwakeDuringTransfer() { job.power = &power; }

    // One request before the job touched anything, one release after the
    // last thing it did and before done.
    void ExpectHeldForTheWholeJob() {
        ASSERT_EQ(power.calls.size(), 2u);
        EXPECT_EQ(power.calls[0].what, "awake");
        EXPECT_EQ(power.calls[0].timelineAt, 0u);
        EXPECT_EQ(power.calls[1].what, "sleep");
        EXPECT_EQ(power.calls[1].timelineAt, timeline.size());
        EXPECT_EQ(power.calls[1].doneAt, 0);
        EXPECT_EQ(job.done.load(), 1);
    }

    RecordedPower power{timeline, job};
};

struct JobPath {
    const char* name;
    bool usb;
    std::function<void(KeepAwakeDuringTransfer&)> arrange;
    // kStopped: ended by the job without a message.
    enum Outcome { kDone, kError, kCancelled, kStopped } outcome;
};

class KeepAwakePaths : public KeepAwakeDuringTransfer, public ::testing::WithParamInterface<JobPath> {};

TEST_P(KeepAwakePaths, RequestedBeforeTheJobAndReleasedBeforeDone) {
    const JobPath& path = GetParam();
    folder.AddPatternFile("a.bin", 6000, 1);
    Package(1, "[Fw0]\nFileName=a.bin\n");
    if (path.usb)
        AddUsb(1, L"SER1", L"Laser 1");
    else
        AddNet(L"192.0.2.10", L"Office laser");
    path.arrange(*this);
    path.usb ? RunUsb() : RunNet();

    EXPECT_EQ(window.errors.empty(), path.outcome != JobPath::kError);
    EXPECT_EQ(job.abortReason.load() == kAbortByUser, path.outcome == JobPath::kCancelled);
    if (path.outcome == JobPath::kStopped) {
        EXPECT_EQ(job.abortReason.load(), kAbortByJob);
    }
    ExpectHeldForTheWholeJob();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeepAwakePaths,
    ::testing::Values(
        JobPath{"UsbDone", true, [](KeepAwakeDuringTransfer&) {}, JobPath::kDone},
        JobPath{"UsbFault", true, [](KeepAwakeDuringTransfer& t) { t.fleet.Usb(1).polls = {StatusReply::Codes(1, 31)}; },
                JobPath::kError},
        JobPath{"UsbNotReady", true, [](KeepAwakeDuringTransfer& t) { t.fleet.Usb(1).check.stateCode = 0x0B; },
                JobPath::kError},
        JobPath{"UsbCancelled", true, [](KeepAwakeDuringTransfer& t) { t.CancelAfterBytes(1); }, JobPath::kCancelled},
        JobPath{"UsbOutOfMemory", true,
                [](KeepAwakeDuringTransfer& t) { t.fleet.afterWrite = [](const FakePrinter&) { throw std::bad_alloc(); }; },
                JobPath::kStopped},
        JobPath{"NetworkDone", false, [](KeepAwakeDuringTransfer&) {}, JobPath::kDone},
        JobPath{"NetworkRefused", false,
                [](KeepAwakeDuringTransfer& t) { t.fleet.Net("192.0.2.10").refuseConnects = 10; }, JobPath::kError},
        JobPath{"NetworkCancelled", false, [](KeepAwakeDuringTransfer& t) { t.CancelAtTime(400); }, JobPath::kCancelled}),
    [](const ::testing::TestParamInfo<JobPath>& info) { return info.param.name; });

// A batch holds the system awake around several updates: the end of one
// update must not let it sleep before the batch is over.
TEST(KeepAwake, NestedScopesMakeOneRequestAndReleaseItAtTheOutermostEnd) {
    struct Log final : PowerRequests {
        std::vector<std::string> calls;
        void KeepSystemAwake() override { calls.push_back("awake"); }
        void AllowSleep() override { calls.push_back("sleep"); }
    } power;
    {
        const KeepAwake batch(power);
        for (int update = 0; update < 2; ++update) {
            const KeepAwake one(power);
            EXPECT_EQ(power.calls, (std::vector<std::string>{"awake"}));
        }
        EXPECT_EQ(power.calls, (std::vector<std::string>{"awake"}));
    }
    EXPECT_EQ(power.calls, (std::vector<std::string>{"awake", "sleep"}));
    { const KeepAwake again(power); }
    EXPECT_EQ(power.calls, (std::vector<std::string>{"awake", "sleep", "awake", "sleep"}));
}

}  // namespace
