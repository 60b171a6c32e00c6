#include <gtest/gtest.h>

#include <string>

#include "base/files.h"
#include "base/text_ids.h"
#include "package/config_codec.h"
#include "package/package_model.h"
#include "test_support.h"

namespace {

class Package : public ::testing::Test {
protected:
    PackageLoadResult Load(const std::string& ini) {
        settings_ = folder_.WriteConfig(ini);
        return LoadPackage(settings_, files_, rows_);
    }

    PackageFolder folder_;
    PlatformFiles files_;
    PackageTable rows_;
    PackageSettings settings_;
};

}  // namespace

TEST_F(Package, LoadsOneRowPerEntryWithSizesAndRecords) {
    folder_.AddPatternFile("main.bin", 5000);
    folder_.AddPatternFile("engine.bin", 3000);
    const PackageLoadResult result = Load(
        "[General]\nEncoding=0\nFwCount=2\n"
        "[Fw0]\nFileName=main.bin\nReleaseDate=2026-11-02\nVersion=01.02.03\nPostDelay=1500\nSubCmdCnt=2\n"
        "Cmd0=1B 40\nCmd0_PostDelay=200\n"
        "[Fw1]\nFileName=engine.bin\nContent=EngineFW\n");
    EXPECT_TRUE(result.PackageReady);
    EXPECT_EQ(result.TotalSize, 8000u);
    ASSERT_EQ(rows_.Count(), 2);
    const PackageRow& first = rows_.At(0);
    EXPECT_EQ(first.fileName, L"main.bin");
    EXPECT_EQ(first.sizeText, L"5000");
    EXPECT_EQ(first.releaseDate, L"2026-11-02");
    EXPECT_STREQ(first.entry->Content, L"GeneralFW");
    EXPECT_STREQ(first.entry->Version, L"01.02.03");
    EXPECT_EQ(first.entry->PostDelay, 1500);
    ASSERT_EQ(first.entry->SubCmdCnt, 2);
    EXPECT_EQ(first.entry->SubCmdLen[0], 2);
    EXPECT_EQ(first.entry->SubCmd[0][0], 0x1B);
    EXPECT_EQ(first.entry->SubCmd[0][1], 0x40);
    EXPECT_EQ(first.entry->SubCmdPostDelay[0], 200);
    EXPECT_EQ(first.entry->SubCmdLen[1], 0);  // Cmd1 absent
    EXPECT_STREQ(rows_.At(1).entry->Content, L"EngineFW");
    EXPECT_STREQ(rows_.At(1).entry->Version, L"00.00.00");
}

TEST_F(Package, AStatedSizeIsTakenWithoutLookingAtTheFile) {
    const PackageLoadResult result =
        Load("[General]\nEncoding=0\nFwCount=1\n[Fw0]\nFileName=absent.bin\nFileSize=1000\n");
    EXPECT_TRUE(result.PackageReady);
    EXPECT_EQ(result.TotalSize, 1000u);
    EXPECT_EQ(rows_.At(0).sizeText, L"1000");
}

TEST_F(Package, MissingAndEmptyFilesKeepThePackageFromBeingReady) {
    folder_.AddFile("empty.bin", "");
    const PackageLoadResult result = Load(
        "[General]\nEncoding=0\nFwCount=3\n[Fw0]\nFileName=empty.bin\n[Fw1]\nFileName=gone.bin\n");
    EXPECT_FALSE(result.PackageReady);
    EXPECT_EQ(rows_.At(0).sizeText, L"0");
    ASSERT_EQ(result.problems.size(), 3u);
    EXPECT_EQ(result.problems[0].kind, PackageProblem::kEmptyFile);
    EXPECT_EQ(result.problems[1].kind, PackageProblem::kMissingFile);
    EXPECT_EQ(result.problems[2].entryIndex, 2);  // missing section: empty file name
    EXPECT_EQ(rows_.At(2).fileName, L"");
}

TEST_F(Package, NoEntriesIsNotReady) {
    const PackageLoadResult result = Load("[General]\nEncoding=0\nFwCount=0\n");
    EXPECT_FALSE(result.PackageReady);
    EXPECT_EQ(result.TotalSize, 0u);
    EXPECT_EQ(rows_.Count(), 0);
    EXPECT_FALSE(Load("[General]\nEncoding=0\nFwCount=-3\n").PackageReady);
}

namespace {

// Entries with a stated size, so that no file is needed.
std::string EntriesOfOneByte(int fwCount, int sections) {
    std::string ini = "[General]\nEncoding=0\nFwCount=" + std::to_string(fwCount) + "\n";
    for (int i = 0; i < sections; ++i)
        ini += "[Fw" + std::to_string(i) + "]\nFileName=part" + std::to_string(i) + ".bin\nFileSize=1\n";
    return ini;
}

}  // namespace

TEST_F(Package, ACountOverTheLimitIsNotReadyAndNoEntryPastTheLimitIsRead) {
    const PackageLoadResult most = Load(EntriesOfOneByte(kMaxFirmwareEntries, kMaxFirmwareEntries));
    EXPECT_TRUE(most.PackageReady);
    EXPECT_EQ(rows_.Count(), kMaxFirmwareEntries);
    EXPECT_EQ(most.TotalSize, static_cast<std::uint32_t>(kMaxFirmwareEntries));

    // One entry more, every one of them complete: the package is refused whole.
    const PackageLoadResult oneMore = Load(EntriesOfOneByte(kMaxFirmwareEntries + 1, kMaxFirmwareEntries + 1));
    EXPECT_FALSE(oneMore.PackageReady);
    EXPECT_EQ(rows_.Count(), kMaxFirmwareEntries);

    // A count that no package has: loading ends at the limit instead of
    // reading a hundred million sections.
    const PackageLoadResult huge = Load(EntriesOfOneByte(100000000, 2));
    EXPECT_FALSE(huge.PackageReady);
    EXPECT_EQ(rows_.Count(), kMaxFirmwareEntries);
    EXPECT_EQ(rows_.At(kMaxFirmwareEntries - 1).fileName, L"");
}

TEST_F(Package, SubCommandCountIsLimitedToTheRecord) {
    std::string ini = "[General]\nEncoding=0\nFwCount=1\n[Fw0]\nFileName=a.bin\nFileSize=1\nSubCmdCnt=40\n";
    for (int j = 0; j < 40; ++j) ini += "Cmd" + std::to_string(j) + "=" + std::to_string(j % 10) + "\n";
    Load(ini);
    EXPECT_EQ(rows_.At(0).entry->SubCmdCnt, 32);
    EXPECT_EQ(rows_.At(0).entry->SubCmd[31][0], 1);
}

TEST_F(Package, EncodedPackageDecodesEntryValues) {
    folder_.AddPatternFile("fw.bin", 10);
    const auto enc = [](const char* text) { return EncodeConfigValue(text); };
    Load("[General]\nEncoding=1\nFwCount=" + enc("1") + "\n[Fw0]\nFileName=" + enc("fw.bin") + "\nCmd0=" +
         enc("1B 45") + "\nSubCmdCnt=" + enc("1") + "\n");
    EXPECT_EQ(rows_.At(0).fileName, L"fw.bin");
    EXPECT_EQ(rows_.At(0).sizeText, L"10");
    EXPECT_STREQ(rows_.At(0).entry->Content, L"GeneralFW");
    EXPECT_EQ(rows_.At(0).entry->SubCmdLen[0], 2);
}

struct HexCase {
    const wchar_t* text;
    std::vector<int> bytes;
};

class HexBytes : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexBytes, ParseTokens) {
    unsigned char out[128] = {};
    const int count = ParseHexBytes(GetParam().text, out, 128);
    ASSERT_EQ(count, static_cast<int>(GetParam().bytes.size()));
    for (int i = 0; i < count; ++i) EXPECT_EQ(out[i], GetParam().bytes[static_cast<std::size_t>(i)]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HexBytes,
    ::testing::Values(HexCase{L"1B 45  0d\tff", {0x1B, 0x45, 0x0D, 0xFF}}, HexCase{L"", {}}, HexCase{L"   ", {}},
                      HexCase{L"0x1b 0X2C", {0x1B, 0x2C}}, HexCase{L"zz 12 g7 3", {0x12, 0x03}},
                      HexCase{L"1234", {0x34}},            // low 8 bits
                      HexCase{L"4g 5", {0x04, 0x05}},      // the rest of a token is skipped
                      HexCase{L"0x 7", {0x00, 0x07}}));   // "0x" without digits reads the 0

TEST(HexBytesLimit, StopsAtMax) {
    std::wstring text;
    for (int i = 0; i < 200; ++i) text += L"ab ";
    unsigned char out[128];
    EXPECT_EQ(ParseHexBytes(text.c_str(), out, 128), 128);
}

TEST_F(Package, VariantFileChoice) {
    Load("[General]\nEncoding=0\nFwCount=2\n[Fw0]\nFileName=mcu.bin\nContent=mcufw\nFileSize=1\n"
         "FileName_EU=mcu_eu.bin\n[Fw1]\nFileName=main.bin\nFileSize=1\n");
    wchar_t name[kFileNameChars] = L"untouched";
    EXPECT_FALSE(GetVariantFileName(settings_, 0, "", name));
    EXPECT_FALSE(GetVariantFileName(settings_, 0, nullptr, name));
    EXPECT_STREQ(name, L"untouched");
    EXPECT_TRUE(GetVariantFileName(settings_, 0, "EU01", name));
    EXPECT_STREQ(name, L"mcu_eu.bin");
    EXPECT_TRUE(GetVariantFileName(settings_, 0, "JP", name));
    EXPECT_STREQ(name, L"");

    const std::wstring dir = settings_.ModuleDir + L"\\";
    EXPECT_EQ(ChooseEntryFile(settings_, rows_, 0, "EU01"), dir + L"mcu_eu.bin");
    EXPECT_EQ(ChooseEntryFile(settings_, rows_, 0, ""), std::nullopt);
    EXPECT_EQ(ChooseEntryFile(settings_, rows_, 1, ""), dir + L"main.bin");
    EXPECT_EQ(ChooseEntryFile(settings_, rows_, 1, "EU01"), dir + L"main.bin");
}

struct GrantCase {
    const char* granted;
    int state, code1, code2;
    bool expected;
};

class Eligibility : public ::testing::TestWithParam<GrantCase> {};

TEST_P(Eligibility, FollowsSectionGranted) {
    PackageFolder folder;
    const PackageSettings s = folder.WriteConfig(std::string("[General]\nEncoding=0\n[Granted]\n") + GetParam().granted);
    EXPECT_EQ(IsUpdateGranted(s, static_cast<unsigned char>(GetParam().state),
                              static_cast<unsigned char>(GetParam().code1),
                              static_cast<unsigned char>(GetParam().code2)),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, Eligibility,
    ::testing::Values(GrantCase{"S0A*=1\n", 0x0A, 5, 99, true}, GrantCase{"S0A*=1\n", 0x0B, 0, 0, false},
                      GrantCase{"S0A01030=1\n", 0x0A, 1, 30, true}, GrantCase{"S0A01030=1\n", 0x0A, 1, 31, false},
                      GrantCase{"S0A01030=1\n", 0x0A, 0, 0, false}, GrantCase{"S0A*=0\n", 0x0A, 0, 0, false},
                      GrantCase{"S0A123007=1\n", 0x0A, 123, 7, true}, GrantCase{"SFF255255=1\n", 0xFF, 255, 255, true},
                      GrantCase{"s0a*=1\n", 0x0A, 0, 0, true},  // key names ignore case
                      GrantCase{"", 0x0A, 0, 0, false}));

TEST(StatusTexts, ChooseByStateCompletionAndEligibility) {
    PackageFolder folder;
    const PackageSettings s = folder.WriteConfig("[General]\nEncoding=0\n[Granted]\nS0A*=1\n");
    EXPECT_EQ(StatusTextId(s, 199, 0, 0, true), IDS_STATE_UPDATING);
    EXPECT_EQ(StatusTextId(s, 199, 0, 0, false), IDS_STATE_UPDATING);
    EXPECT_EQ(StatusTextId(s, 0x0A, 0, 0, true), IDS_STATE_COMPLETED);
    EXPECT_EQ(StatusTextId(s, 0x0B, 0, 0, true), IDS_STATE_COMPLETED);
    EXPECT_EQ(StatusTextId(s, 0x0A, 0, 0, false), IDS_STATE_NOT_COMPLETE);
    EXPECT_EQ(StatusTextId(s, 0x0B, 0, 0, false), IDS_STATE_NOT_READY);
}

// Only a completed row is checked, only against a setting, and only once a
// firmware text was read.
TEST(StatusTexts, ACompletedPrinterOnAnotherFirmwareSaysSo) {
    struct Case {
        const wchar_t* setting;
        int textId;
        const wchar_t* firmware;
        int expected;
    };
    const Case cases[] = {
        {L"1.10", IDS_STATE_COMPLETED, L"1.00", IDS_STATE_OTHER_FIRMWARE},
        {L"1.10", IDS_STATE_COMPLETED, L"1.10", IDS_STATE_COMPLETED},
        {L"1.10", IDS_STATE_COMPLETED, L"1.10 ", IDS_STATE_COMPLETED},
        {L"1.10", IDS_STATE_COMPLETED, L"", IDS_STATE_COMPLETED},
        {L"", IDS_STATE_COMPLETED, L"1.00", IDS_STATE_COMPLETED},
        {L"1.10", IDS_STATE_UPDATING, L"1.00", IDS_STATE_UPDATING},
        {L"1.10", IDS_STATE_NOT_COMPLETE, L"1.00", IDS_STATE_NOT_COMPLETE},
        {L"1.10", IDS_STATE_NOT_READY, L"1.00", IDS_STATE_NOT_READY},
    };
    for (const Case& c : cases) {
        PackageSettings s;
        s.ReportedFirmware = c.setting;
        EXPECT_EQ(FirmwareCheckedTextId(s, c.textId, c.firmware), c.expected)
            << c.textId << " " << c.firmware;
    }
}
