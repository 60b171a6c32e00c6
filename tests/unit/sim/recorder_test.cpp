#include <gtest/gtest.h>

#include <string>

#include "sim/recorder.h"
#include "test_support.h"

// Large streams reach the file in pieces, in order, and nothing stays behind
// after the last flush; the digest-only recorder writes no bytes at all.
TEST(Recorder, AppendsLinesAndBytesInOrderAcrossFlushes) {
    TempDir dir;
    const std::string big = PatternBytes(300 * 1024, 3);
    {
        Recorder recorder(dir.path(), "P", true);
        recorder.Bytes("head", 4);
        recorder.Line("first");
        recorder.Bytes(big.data(), static_cast<int>(big.size()));
        recorder.Flush();
        recorder.Bytes("tail", 4);
        recorder.Bytes(nullptr, 0);
        recorder.Line("second");
    }
    EXPECT_EQ(ReadWholeFile(dir.path() / "P.bin"), "head" + big + "tail");
    EXPECT_EQ(ReadWholeFile(dir.path() / "P.log"), "first\nsecond\n");

    Recorder digestOnly(dir.path(), "Q", false);
    digestOnly.Bytes("data", 4);
    digestOnly.Flush();
    EXPECT_FALSE(ReadWholeFile(dir.path() / "Q.bin"));
}

TEST(Recorder, StateIsReplacedNotAppended) {
    TempDir dir;
    Recorder recorder(dir.path(), "P", true);
    EXPECT_FALSE(recorder.LoadState());
    recorder.SaveState("Writes=1\n");
    recorder.SaveState("Writes=2\n");
    EXPECT_EQ(recorder.LoadState(), "Writes=2\n");
}
