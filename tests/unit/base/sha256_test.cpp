#include <gtest/gtest.h>

#include <string>

#include "base/sha256.h"

namespace {

struct KnownAnswer {
    const char* name;
    std::string message;
    const char* digest;
};

// The standard SHA-256 test messages and their digests.
const KnownAnswer kKnownAnswers[] = {
    {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"448 bits", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"896 bits",
     "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
     "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    {"one million a", std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

std::string HexOf(const std::optional<Sha256Digest>& digest) { return digest ? Sha256Hex(*digest) : "(none)"; }

}  // namespace

TEST(Sha256, KnownAnswersInOneGo) {
    for (const KnownAnswer& answer : kKnownAnswers)
        EXPECT_EQ(HexOf(Sha256::Of(answer.message.data(), answer.message.size())), answer.digest) << answer.name;
}

TEST(Sha256, KnownAnswersInPiecesOfEverySize) {
    // Pieces that split the 64-byte blocks anywhere, the printer's chunks,
    // and single bytes.
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{63}, std::size_t{64},
                                    std::size_t{65}, std::size_t{4096}}) {
        Sha256 hash;
        for (const KnownAnswer& answer : kKnownAnswers) {
            if (piece == 1 && answer.message.size() > 100000) continue;
            for (std::size_t at = 0; at < answer.message.size(); at += piece)
                hash.Update(answer.message.data() + at, std::min(piece, answer.message.size() - at));
            // Finish starts the object afresh for the next message.
            EXPECT_EQ(HexOf(hash.Finish()), answer.digest) << answer.name << " in pieces of " << piece;
        }
    }
}

TEST(Sha256, HexTextRoundTripsAndRejectsAnythingElse) {
    const std::optional<Sha256Digest> abc = Sha256::Of("abc", 3);
    ASSERT_TRUE(abc);
    EXPECT_EQ(ParseSha256Hex(L"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"), abc);
    EXPECT_EQ(ParseSha256Hex(L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"), abc);
    for (const wchar_t* bad : {L"", L"ba78", L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015a",
                               L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad0",
                               L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ag",
                               L"ba7816bf8f01cfea414140de5dae2223 00361a396177a9cb410ff61f20015ad0",
                               L"0xba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015"})
        EXPECT_FALSE(ParseSha256Hex(bad)) << bad;
}
