// Whom the program trusts, what it says of a package's signature, and how
// a batch's result and a silent run's console name the signer.
#include <gtest/gtest.h>

#include <string>

#include "app/batch_result.h"
#include "app/console_report.h"
#include "app/signature_policy.h"
#include "base/text.h"
#include "package/signature_texts.h"
#include "test_support.h"
#include "ui/texts/resource_ids.h"

namespace {

// A fresh key's ".pub" text, with the name the text carries.
std::string PublicText(const std::wstring& name) {
    const std::optional<EcdsaP256PrivateKey> key = GenerateEcdsaP256Key();
    if (!key) return {};
    return PublicKeyText(TrustedKey{name, key->publicKey});
}

std::wstring Wide(const std::string& text) { return FromEightBit(text); }

const TableTexts kTexts({{IDS_PACKAGE_UNSIGNED, L"Not signed."},
                         {IDS_SIGNED_BY, L"Signed by"},
                         {IDS_SIGNED_AT, L"on"},
                         {IDS_MSG_PACKAGE_REFUSED, L"Refused."},
                         {IDS_REFUSED_UNSIGNED, L"Unsigned, signatures required."},
                         {IDS_REFUSED_UNKNOWN_KEY, L"Unknown key:"},
                         {IDS_REFUSED_FILE_CHANGED, L"Changed:"},
                         {IDS_MSG_REFUSED_ADVICE, L"Ask."}});

SignatureVerdict Trusted() {
    SignatureVerdict verdict;
    verdict.kind = SignatureVerdict::kTrusted;
    verdict.signerName = L"Maker & Co";
    verdict.keyId = "0123456789abcdef";
    verdict.sequence = 7;
    verdict.signedAt = "2026-12-11T06:50:00Z";
    return verdict;
}

}  // namespace

TEST(SignaturePolicy, ListedKeysTakeTheValuesNameAndSkipWhatIsNoKey) {
    const std::string text = PublicText(L"name in the file");
    ASSERT_FALSE(text.empty());
    SignaturePolicy policy;
    EXPECT_TRUE(AddListedKey(policy, L"Korvane Release", Wide(text)));
    ASSERT_EQ(policy.trusted.size(), 1u);
    EXPECT_EQ(policy.trusted[0].name, L"Korvane Release");
    EXPECT_EQ(policy.trusted[0].key.point, ParsePublicKeyText(text)->key.point);

    // None of these makes any key trusted.
    std::wstring cut = Wide(text);
    cut.erase(20, 4);
    std::wstring foreign = Wide(text);
    foreign[15] = L'\u00E9';
    for (const auto& [name, data] : {std::pair<std::wstring, std::wstring>{L"", Wide(text)},
                                     {L"cut", cut},
                                     {L"foreign", foreign},
                                     {L"empty", L""},
                                     {L"words", L"ecdsa-p256 not-a-key"}})
        EXPECT_FALSE(AddListedKey(policy, name, data)) << ToUtf8(name);
    EXPECT_EQ(policy.trusted.size(), 1u);
}

TEST(SignaturePolicy, BuiltInKeysKeepTheirOwnNamesAndSkipBrokenTexts) {
    const std::string text = PublicText(L"Built in");
    SignaturePolicy policy;
    AddBuiltInKeys(policy, {text, "ecdsa-p256 broken"});
    ASSERT_EQ(policy.trusted.size(), 1u);
    EXPECT_EQ(policy.trusted[0].name, L"Built in");
    // Our own builds embed none.
    EXPECT_TRUE(BuiltInPublicKeyTexts().empty());
}

TEST(SignatureTexts, TheLineNamesTheSignerAndTimeOrSaysUnsigned) {
    EXPECT_EQ(SignatureStateText(kTexts, Trusted()), L"Signed by Maker & Co  on 2026-12-11 06:50:00 UTC");
    EXPECT_EQ(SignatureStateText(kTexts, SignatureVerdict{}), L"Not signed.");
    EXPECT_EQ(SigningTimeText("not a time"), L"not a time");
}

TEST(SignatureTexts, TheRefusalSaysWhyAndNamesTheFileOrKey) {
    SignatureVerdict unknown;
    unknown.kind = SignatureVerdict::kRefused;
    unknown.problem = SignatureProblem::kUnknownKey;
    unknown.subject = L"0123456789abcdef";
    EXPECT_EQ(SignatureRefusalMessage(kTexts, unknown), L"Refused.\n\nUnknown key:\n\t0123456789abcdef\n\nAsk.");
    SignatureVerdict unsignedRequired;
    unsignedRequired.kind = SignatureVerdict::kRefused;
    unsignedRequired.problem = SignatureProblem::kUnsignedRequired;
    EXPECT_EQ(SignatureRefusalMessage(kTexts, unsignedRequired), L"Refused.\n\nUnsigned, signatures required.\n\nAsk.");
    EXPECT_EQ(SignatureRefusalMessage(kTexts, RefusedLibrary(L"vorlenusb.dll")),
              L"Refused.\n\nChanged:\n\tvorlenusb.dll\n\nAsk.");
}

TEST(SignatureTexts, ARefusedLibrarySaysWhichAndWhy) {
    const SignatureVerdict mismatch = RefusedLibrary(L"vorlendu.dll");
    EXPECT_EQ(mismatch.kind, SignatureVerdict::kRefused);
    EXPECT_EQ(mismatch.problem, SignatureProblem::kFileMismatch);
    EXPECT_EQ(mismatch.subject, L"vorlendu.dll");
    EXPECT_EQ(mismatch.reason, L"The library vorlendu.dll does not match its pin in the package.");
    EXPECT_EQ(RefusedLibrary(L"vorlendu.dll", false).reason,
              L"The library vorlendu.dll cannot be opened to be checked against its pin.");
}

TEST(SignatureReport, TheResultAndTheConsoleNameTheSigner) {
    EXPECT_EQ(SignedPackageLine(Trusted()),
              L"package signed by Maker & Co, key 0123456789abcdef, sequence 7, at 2026-12-11T06:50:00Z");
    BatchReport report;
    report.signature = BatchSignature{L"Maker \"A\"", "0123456789abcdef", 7, "2026-12-11T06:50:00Z", {}};
    std::string json = FormatBatchResult(report);
    EXPECT_NE(json.find("  \"signature\": {\"signer\": \"Maker \\\"A\\\"\", \"keyId\": \"0123456789abcdef\", "
                        "\"sequence\": 7, \"signedAt\": \"2026-12-11T06:50:00Z\", \"problem\": null},\n"),
              std::string::npos)
        << json;
    report.signature = BatchSignature{{}, {}, 0, {}, L"the firmware file \"main.bin\" does not match its pin"};
    json = FormatBatchResult(report);
    EXPECT_NE(json.find("  \"signature\": {\"signer\": null, \"keyId\": null, \"sequence\": null, \"signedAt\": null, "
                        "\"problem\": \"the firmware file \\\"main.bin\\\" does not match its pin\"},\n"),
              std::string::npos)
        << json;
}
