#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>

#include "base/background_sha256.h"
#include "test_support.h"

namespace {

constexpr std::size_t kBlock = BackgroundSha256::kBlockBytes;

std::string HexOf(const std::optional<Sha256Digest>& digest) { return digest ? Sha256Hex(*digest) : "(none)"; }

}  // namespace

// Streams that end before, on and after the blocks the worker takes, given
// in pieces that do and do not divide a block, give the one-shot digest;
// Finish starts the object afresh, worker or not.
TEST(BackgroundSha256, GivesTheDigestOfTheWholeStreamWhereverItsBlocksEnd) {
    BackgroundSha256 hash;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, kBlock - 1, kBlock, kBlock + 1,
                                   3 * kBlock + 4095, 5 * kBlock}) {
        const std::string bytes = PatternBytes(size, static_cast<unsigned>(size));
        const std::string expected = HexOf(Sha256::Of(bytes.data(), bytes.size()));
        for (const std::size_t piece : {std::size_t{4096}, std::size_t{7777}, 2 * kBlock + 3}) {
            for (std::size_t at = 0; at < size; at += piece)
                hash.Update(bytes.data() + at, std::min(piece, size - at));
            EXPECT_EQ(HexOf(hash.Finish()), expected) << size << " bytes in pieces of " << piece;
        }
    }
}

// A file given up half-way: the object goes without Finish. Its worker
// ends before the object is gone, having hashed the blocks handed over and
// nothing of the block still filling; the sanitizers' leak check covers the
// blocks themselves.
TEST(BackgroundSha256, EndsCleanlyWhenNeverFinished) {
    const std::string bytes = PatternBytes(4 * kBlock + 10, 3);
    BackgroundSha256::Tally tally;
    constexpr int kObjects = 20;
    for (int k = 0; k < kObjects; ++k) {
        {
            BackgroundSha256 hash(&tally);
            hash.Update(bytes.data(), bytes.size());
        }
        EXPECT_EQ(tally.workersStarted.load(), k + 1);
        EXPECT_EQ(tally.workersEnded.load(), k + 1) << "the worker outlived its object";
        EXPECT_EQ(tally.bytesHashed.load(), static_cast<std::size_t>(k + 1) * 4 * kBlock);
    }
    // A stream shorter than a block never starts a worker.
    {
        BackgroundSha256 hash(&tally);
        hash.Update(bytes.data(), kBlock - 1);
    }
    EXPECT_EQ(tally.workersStarted.load(), kObjects);
}
