#include <gtest/gtest.h>

#include <string>

#include "package/config.h"
#include "package/config_codec.h"
#include "test_support.h"

namespace {

struct ReadResult {
    int count;
    std::wstring text;
};

class ConfigReads : public ::testing::Test {
protected:
    void Write(const std::string& ini) { folder_.WriteConfig(ini); }

    ReadResult String(int encoding, const wchar_t* key, const wchar_t* defaultText, int chars = 64) {
        std::wstring out(static_cast<std::size_t>(chars), L'#');
        const int count = ReadConfigString(encoding, L"S", key, defaultText, out.data(), chars, path().c_str());
        return {count, out.substr(0, out.find(L'\0'))};
    }
    int Int(int encoding, const wchar_t* key, int defaultValue) {
        return ReadConfigInt(encoding, L"S", key, defaultValue, path().c_str());
    }
    std::wstring path() const { return folder_.ConfigPath(); }

    PackageFolder folder_;
};

}  // namespace

TEST_F(ConfigReads, PlainTextIsCopiedAndCutToTheBuffer) {
    Write("[S]\nName = Tessaro 9000 \nEmpty=\n");
    EXPECT_EQ(String(0, L"Name", L"x").text, L"Tessaro 9000");
    EXPECT_EQ(String(0, L"Name", L"x").count, 12);
    const ReadResult cut = String(0, L"Name", L"x", 5);
    EXPECT_EQ(cut.text, L"Tess");
    EXPECT_EQ(cut.count, 4);
    EXPECT_EQ(String(0, L"Empty", L"x").text, L"");
    EXPECT_EQ(String(0, L"Absent", L"dflt").text, L"dflt");
}

TEST_F(ConfigReads, EncodedTextIsDecoded) {
    Write("[S]\nName=" + EncodeConfigValue("Tessaro 9000") + "\nBad=60abd\n");
    EXPECT_EQ(String(1, L"Name", L"").text, L"Tessaro 9000");
    EXPECT_EQ(String(1, L"Name", L"").count, 12);
    // A value that fails its check yields the default and 0.
    EXPECT_EQ(String(1, L"Bad", L"fallback").text, L"fallback");
    EXPECT_EQ(String(1, L"Bad", L"fallback").count, 0);
}

TEST_F(ConfigReads, EncodedAbsentKeysYieldTheirPlainDefault) {
    Write("[S]\n");
    EXPECT_EQ(String(1, L"Absent", L"").text, L"");
    EXPECT_EQ(String(1, L"Absent", L"").count, 0);
    EXPECT_EQ(String(1, L"Content", L"GeneralFW").text, L"GeneralFW");
    EXPECT_EQ(String(1, L"Version", L"00.00.00").text, L"00.00.00");
}

TEST_F(ConfigReads, EncodedTextIsCutToTheCallersBufferButCountsEveryByte) {
    Write("[S]\nLong=" + EncodeConfigValue("0123456789") + "\n");
    const ReadResult cut = String(1, L"Long", L"", 4);
    EXPECT_EQ(cut.text, L"012");
    EXPECT_EQ(cut.count, 10);
}

TEST_F(ConfigReads, EncodedTextEndsAtItsFirstZeroByte) {
    Write("[S]\nZero=" + EncodeConfigValue(std::string("ab\0cd", 5)) + "\n");
    const ReadResult read = String(1, L"Zero", L"");
    EXPECT_EQ(read.text, L"ab");
    EXPECT_EQ(read.count, 5);
}

TEST_F(ConfigReads, OnlyTheFirst511StoredCharactersCount) {
    // 512 payload characters would decode to 384 bytes; cut to 511 stored
    // characters the check no longer matches.
    const std::string value = EncodeConfigValue(std::string(180, 'z'));  // 2 + 240 characters: fits
    Write("[S]\nFits=" + value + "\nTooLong=" + EncodeConfigValue(std::string(390, 'z')) + "\n");
    EXPECT_EQ(String(1, L"Fits", L"", 256).count, 180);
    EXPECT_EQ(String(1, L"TooLong", L"d").text, L"d");
}

TEST_F(ConfigReads, IntegersPlainAndEncoded) {
    Write("[S]\nPlain=42\nNeg=-7\nWord=abc\nEnc=" + EncodeConfigValue("42") + "\nEncEmpty=" + EncodeConfigValue("") +
          "\nEncWord=" + EncodeConfigValue("x12") + "\nEncLead=" + EncodeConfigValue(" 17 apples") + "\n");
    EXPECT_EQ(Int(0, L"Plain", 5), 42);
    EXPECT_EQ(Int(0, L"Neg", 5), -7);
    EXPECT_EQ(Int(0, L"Absent", 5), 5);
    EXPECT_EQ(Int(1, L"Enc", 5), 42);
    EXPECT_EQ(Int(1, L"EncEmpty", 5), 5);
    EXPECT_EQ(Int(1, L"EncWord", 5), 5);
    EXPECT_EQ(Int(1, L"EncLead", 5), 17);
    EXPECT_EQ(Int(1, L"Absent", 5), 5);
    EXPECT_EQ(Int(1, L"Plain", 5), 5);  // not encoded: fails the check
}

TEST_F(ConfigReads, AMissingFileYieldsEveryDefault) {
    const std::wstring missing = folder_.dir().ProgramPath() + L"\\nothing.cfg";
    wchar_t out[16];
    EXPECT_EQ(ReadConfigString(0, L"S", L"K", L"dflt", out, 16, missing.c_str()), 4);
    EXPECT_STREQ(out, L"dflt");
    EXPECT_EQ(ReadConfigString(1, L"S", L"K", L"dflt", out, 16, missing.c_str()), 0);
    EXPECT_STREQ(out, L"dflt");
    EXPECT_EQ(ReadConfigInt(0, L"S", L"K", 9, missing.c_str()), 9);
    EXPECT_EQ(ReadConfigInt(1, L"S", L"K", 9, missing.c_str()), 9);
}

TEST_F(ConfigReads, SectionAndKeyNamesIgnoreCaseAndEditsAreSeenAtOnce) {
    Write("[s]\nKEY=1\n");
    EXPECT_EQ(Int(0, L"key", 0), 1);
    Write("[S]\nKey=2\n");
    EXPECT_EQ(Int(0, L"Key", 0), 2);
}
