#include <gtest/gtest.h>

#include <string>

#include "base/base64.h"
#include "base/ecdsa_p256.h"

namespace {

struct Base64Case {
    const char* bytes;
    const char* text;
};

}  // namespace

TEST(Base64, EncodesAndDecodesTheStandardVectors) {
    for (const Base64Case& c : {Base64Case{"", ""}, Base64Case{"f", "Zg=="}, Base64Case{"fo", "Zm8="},
                                Base64Case{"foo", "Zm9v"}, Base64Case{"foob", "Zm9vYg=="},
                                Base64Case{"fooba", "Zm9vYmE="}, Base64Case{"foobar", "Zm9vYmFy"},
                                Base64Case{"\xFB\xFF", "+/8="}}) {
        EXPECT_EQ(EncodeBase64(c.bytes), c.text);
        EXPECT_EQ(DecodeBase64(c.text), std::string(c.bytes)) << c.text;
    }
}

TEST(Base64, RefusesEveryOtherSpelling) {
    for (const char* text : {"Zg=", "Zg", "Z===", "Zh==", "Zm9=", "Zm9v\n", " Zm9v", "Zm 9v", "Zg==Zg==", "Zm-v",
                             "Zm9v====", "=Zm9", "Zm=v"})
        EXPECT_FALSE(DecodeBase64(text)) << text;
}

// ---- ECDSA P-256 --------------------------------------------------------

namespace {

// A TEST key pair ("fwdl-test-key-do-not-trust", id 7fa743abb82d36d5), made
// once with "fwpack keygen" on Linux (libcrypto), and a signature of
// kTestMessage by it, made there as well: in the Windows build, under Wine,
// these check that CNG takes the byte form that libcrypto's side writes. The
// key signs nothing but tests; never trust it anywhere.
constexpr char kTestPublicKeyBase64[] =
    "RrNEbXzLtHDh6JsbLFy/nJ/jdV42bxc65AiTSK6fCc8zlCtOsz7zMP+SZyGeYdYkVIZvrtCNDv3fvqICrrrWhw==";
constexpr char kTestPrivateScalarBase64[] = "KoErfOFzYhqkppAshpc1jemrC772kNQngBeObeW/cTM=";
constexpr char kTestMessage[] = "Tessaro test message: firmware 01.10.00\n";
constexpr char kTestSignatureBase64[] =
    "XJvuSIrNjG/E4TPqpIrSfioQAtsRFQpkn6nW5xeTa85v/4q99QYbWVqTmbckuNJw9+CeKmBubf2SI5dXZipAtA==";

template <std::size_t N>
std::array<std::uint8_t, N> BytesOf(const char* base64) {
    const std::optional<std::string> bytes = DecodeBase64(base64);
    std::array<std::uint8_t, N> out{};
    if (!bytes || bytes->size() != N) {
        ADD_FAILURE() << "bad constant " << base64;
        return out;
    }
    std::copy(bytes->begin(), bytes->end(), out.begin());
    return out;
}

EcdsaP256PublicKey TestPublicKey() { return {BytesOf<64>(kTestPublicKeyBase64)}; }

EcdsaP256PrivateKey TestPrivateKey() { return {BytesOf<32>(kTestPrivateScalarBase64), TestPublicKey()}; }

}  // namespace

TEST(EcdsaP256, AFixedSignatureMadeNativelyVerifiesAndOneBitChangedDoesNot) {
    const EcdsaP256PublicKey key = TestPublicKey();
    const EcdsaP256Signature signature = BytesOf<64>(kTestSignatureBase64);
    EXPECT_TRUE(VerifyEcdsaP256(key, kTestMessage, signature));

    std::string message = kTestMessage;
    message[3] = static_cast<char>(message[3] ^ 0x01);
    EXPECT_FALSE(VerifyEcdsaP256(key, message, signature));
    for (std::size_t byte : {0u, 31u, 32u, 63u}) {
        EcdsaP256Signature changed = signature;
        changed[byte] ^= 0x80;
        EXPECT_FALSE(VerifyEcdsaP256(key, kTestMessage, changed)) << byte;
    }
    EcdsaP256PublicKey otherKey = key;
    otherKey.point[63] ^= 0x01;  // no longer on the curve
    EXPECT_FALSE(VerifyEcdsaP256(otherKey, kTestMessage, signature));
    EXPECT_FALSE(VerifyEcdsaP256(EcdsaP256PublicKey{}, kTestMessage, signature));
    EXPECT_FALSE(VerifyEcdsaP256(key, kTestMessage, EcdsaP256Signature{}));
}

TEST(EcdsaP256, SignsWithAFixedKeyAndWithANewOne) {
    const std::optional<EcdsaP256Signature> fixed = SignEcdsaP256(TestPrivateKey(), "another message");
    ASSERT_TRUE(fixed);
    EXPECT_TRUE(VerifyEcdsaP256(TestPublicKey(), "another message", *fixed));

    const std::optional<EcdsaP256PrivateKey> fresh = GenerateEcdsaP256Key();
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh->publicKey.point, TestPublicKey().point);
    const std::optional<EcdsaP256Signature> signature = SignEcdsaP256(*fresh, kTestMessage);
    ASSERT_TRUE(signature);
    EXPECT_TRUE(VerifyEcdsaP256(fresh->publicKey, kTestMessage, *signature));
    EXPECT_FALSE(VerifyEcdsaP256(TestPublicKey(), kTestMessage, *signature));
}
