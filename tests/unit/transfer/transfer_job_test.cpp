#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "transfer/transfer_job.h"
#include "transfer_fakes.h"

TEST(TransferJob, MarkersAreLittleEndian) {
    EXPECT_EQ(MarkerText(kMarkerMoreFiles), std::string("\xAA\x55\x55\xAA", 4));
    EXPECT_EQ(MarkerText(kMarkerLastFile), std::string(4, '\0'));
    EXPECT_EQ(MarkerText(kMarkerAbandon), std::string(4, '\xFF'));
    EXPECT_EQ(MarkerText(0x04030201u), std::string("\x01\x02\x03\x04", 4));
}

TEST(TransferJob, UpdateFaultsAndTheirNames) {
    struct Case {
        std::uint8_t code1, code2;
        const wchar_t* name;
    };
    const Case cases[] = {
        {1, 30, L"016-501"}, {1, 31, L"016-502"}, {1, 32, L"016-744"}, {1, 33, L"016-745"},
        {1, 29, L""},        {1, 34, L""},        {0, 30, L""},        {2, 31, L""},
        {0, 0, L""},         {255, 255, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.code1) + "/" + std::to_string(c.code2));
        EXPECT_EQ(IsUpdateFault(c.code1, c.code2), c.name[0] != L'\0');
        EXPECT_STREQ(UpdateFaultName(c.code1, c.code2), c.name);
    }
}

TEST(TransferJob, SlicedWaitSleepsAtMostASecondAtATime) {
    struct Case {
        int wait;
        std::vector<int> slices;
    };
    const Case cases[] = {
        {0, {}}, {-5, {}}, {1, {1}}, {1000, {1000}}, {1001, {1000, 1}}, {2500, {1000, 1000, 500}},
    };
    for (const Case& c : cases) {
        VirtualClock clock;
        std::atomic<std::int32_t> abortReason{kAbortNone};
        SlicedWait(clock, abortReason, c.wait);
        EXPECT_EQ(clock.sleeps, c.slices) << c.wait;
    }
}

TEST(TransferJob, SlicedWaitStopsAfterTheSliceInWhichTheJobWasStopped) {
    VirtualClock clock;
    std::atomic<std::int32_t> abortReason{kAbortNone};
    clock.afterSleep = [&](std::int64_t now, int) {
        if (now >= 2000) abortReason.store(kAbortByUser);
    };
    SlicedWait(clock, abortReason, 10000);
    EXPECT_EQ(clock.sleeps, (std::vector<int>{1000, 1000}));

    // Already stopped: a positive wait still sleeps one slice.
    clock.sleeps.clear();
    SlicedWait(clock, abortReason, 5000);
    EXPECT_EQ(clock.sleeps, (std::vector<int>{1000}));
}

TEST(TransferJob, DataBarRunsTo95In64BitArithmetic) {
    struct Case {
        std::uint64_t sent;
        std::uint32_t total;
        int position;
    };
    const Case cases[] = {
        {0, 1000, 0},
        {4096, 13292, 28},  // 30 % of the package, scaled to 95
        {500, 1000, 47},
        {1000, 1000, 95},
        {50'000'000, 100'000'000, 47},             // 32-bit products would overflow here
        {4'000'000'000ull, 4'000'000'000u, 95},    // a package near the 32-bit limit
        {2'000'000'000ull, 4'000'000'000u, 47},
        {3000, 1000, 95},  // files larger than the package states
        {123, 0, 0},       // an empty package size divides nothing
    };
    for (const Case& c : cases)
        EXPECT_EQ(DataBarPosition(c.sent, c.total), c.position) << c.sent << " of " << c.total;
}

TEST(TransferJob, ListTextsAreCutToTheirBuffers) {
    EXPECT_EQ(FitText(L"abc", 4), L"abc");
    EXPECT_EQ(FitText(L"abcd", 4), L"abc");
    EXPECT_EQ(FitText(std::wstring(200, L'a'), 128).size(), 127u);
    EXPECT_EQ(FitText(L"", 64), L"");
}
