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

// A file given up half-way: the object goes without Finish and without
// waiting on anything but the blocks already handed over.
TEST(BackgroundSha256, EndsCleanlyWhenNeverFinished) {
    const std::string bytes = PatternBytes(4 * kBlock + 10, 3);
    for (int k = 0; k < 20; ++k) {
        BackgroundSha256 hash;
        hash.Update(bytes.data(), bytes.size());
    }
    SUCCEED();
}
