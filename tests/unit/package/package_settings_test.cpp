#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "package/config_codec.h"
#include "base/text.h"
#include "package/package_settings.h"
#include "test_support.h"

TEST(ProgramPaths, ConfigurationFileReplacesTheLastThreeCharacters) {
    PackageSettings s;
    SetPathsFromProgramFile(s, L"C:\\Pkg\\vorlen.exe");
    EXPECT_EQ(s.ModuleDir, L"C:\\Pkg");
    EXPECT_EQ(s.ConfigPath, L"C:\\Pkg\\vorlen.cfg");
    SetPathsFromProgramFile(s, L"D:\\Tools\\Fw\\update.EXE");
    EXPECT_EQ(s.ModuleDir, L"D:\\Tools\\Fw");
    EXPECT_EQ(s.ConfigPath, L"D:\\Tools\\Fw\\update.cfg");
}

TEST(InstanceNames, AreFormedFromVendorAndProduct) {
    EXPECT_EQ(InstanceName(0x0A1B, 0x00C2), L"XX_FWDL_0A1B_00C2");
    EXPECT_EQ(InstanceName(ParseHexId(L"4f9"), ParseHexId(L"1a")), L"XX_FWDL_04F9_001A");
}

TEST(HexIds, ReadLikePercentX) {
    const struct {
        const wchar_t* text;
        std::uint16_t value;
    } cases[] = {
        {L"0x04F9", 0x04F9},
        {L"0X04f9", 0x04F9},
        {L" 1a", 0x1A},
        {L"\t0x1a", 0x1A},
        {L"12345", 0x2345},  // low 16 bits
        {L"1a2b3c4d5e", 0x4D5E},
        {L"+1a", 0x1A},
        {L"+0x1a", 0x1A},
        {L"-1", 0xFFFF},     // negated, then the low 16 bits
        {L"-0x1a", 0xFFE6},
        {L"-0", 0},
        {L"4f9 trailing", 0x04F9},
        {L"zz", 0},  // not hexadecimal
        {L"-", 0},
        {L"+ 1a", 0},
        {L"--1", 0},
        {L"0x", 0},
        {L"", 0},
        {L"0000", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseHexId(c.text), c.value) << c.text;
}

TEST(LanguageOffsets, MapIndexToCatalogueOffset) {
    EXPECT_EQ(LanguageOffsetFromIndex(0), 0);
    EXPECT_EQ(LanguageOffsetFromIndex(1), 12);
    EXPECT_EQ(LanguageOffsetFromIndex(2), 0);
    EXPECT_EQ(LanguageOffsetFromIndex(-1), 0);
}

TEST(GeneralSettings, PlainPackage) {
    PackageFolder folder;
    const PackageSettings s = folder.WriteConfig(
        "[General]\nEncoding=0\nModuleName=Main controller\nModelName=Tessaro 7000\nMDLCnt=3\n"
        "MDL0=Korvane Laser 7000\nMDL1=Korvane Laser 7000F\nMDL2=Korvane Laser 7030F\nMDL3=never read\n"
        "NetDownload=0\nSysOIDCnt=2\nSysOID0=1.3.6.1.4.1.47131.1\nSysOID1=\nLanguage=1\nFwCount=3\nVID=4f9\nPID=1a\n"
        "ReportedFirmware=02.10.00\n");
    EXPECT_EQ(s.Encoding, 0);
    EXPECT_EQ(s.ModuleName, L"Main controller");
    EXPECT_EQ(s.ModelName, L"Tessaro 7000");
    EXPECT_EQ(s.MDLCnt, 3);
    EXPECT_STREQ(s.MDL[2], "Korvane Laser 7030F");
    EXPECT_STREQ(s.MDL[3], "");
    EXPECT_EQ(s.NetDownload, 0);
    EXPECT_EQ(s.SysOIDCnt, 2);
    EXPECT_STREQ(s.SysOID[0], "1.3.6.1.4.1.47131.1");
    EXPECT_STREQ(s.SysOID[1], "");  // empty values are stored too
    EXPECT_EQ(s.Language, 1);
    EXPECT_EQ(s.LanguageOffset, 12);
    EXPECT_EQ(s.FwCount, 3);
    EXPECT_EQ(s.VID, 0x04F9);
    EXPECT_EQ(s.PID, 0x001A);
    EXPECT_EQ(s.ReportedFirmware, L"02.10.00");
}

TEST(GeneralSettings, EncodedPackage) {
    PackageFolder folder;
    const auto enc = [](const char* text) { return EncodeConfigValue(text); };
    const PackageSettings s = folder.WriteConfig("[General]\nEncoding=1\nModelName=" + enc("Tessaro 7000") +
                                                 "\nMDLCnt=" + enc("1") + "\nMDL0=" + enc("Korvane Laser 7000") +
                                                 "\nFwCount=" + enc("2") + "\nVID=" + enc("0A1B") +
                                                 "\nReportedFirmware=" + enc("1.10 B") + "\n");
    EXPECT_EQ(s.ModelName, L"Tessaro 7000");
    EXPECT_EQ(s.MDLCnt, 1);
    EXPECT_STREQ(s.MDL[0], "Korvane Laser 7000");
    EXPECT_EQ(s.FwCount, 2);
    EXPECT_EQ(s.VID, 0x0A1B);
    EXPECT_EQ(s.PID, 0);  // absent: its plain default "0000"
    EXPECT_EQ(s.NetDownload, 1);
    EXPECT_EQ(s.ReportedFirmware, L"1.10 B");
}

TEST(GeneralSettings, AMissingFileGivesTheDefaults) {
    TempDir dir;
    PackageSettings s;
    SetPathsFromProgramFile(s, dir.ProgramPath() + L"\\absent.exe");
    ReadGeneralSettings(s);
    EXPECT_EQ(s.Encoding, 1);
    EXPECT_EQ(s.NetDownload, 1);
    EXPECT_EQ(s.FwCount, 0);
    EXPECT_EQ(s.MDLCnt, 0);
    EXPECT_EQ(s.VID, 0);
    EXPECT_EQ(s.LanguageOffset, 0);
    EXPECT_EQ(s.ReportedFirmware, L"");
}

// What counts as a printer reporting the package's firmware: the same text,
// blanks at either end aside; no setting or no text read is never a match.
TEST(ReportedFirmware, MatchesTheSameTextOnly) {
    struct Case {
        const wchar_t* setting;
        std::optional<std::wstring> reported;
        bool matches;
    };
    const Case cases[] = {
        {L"1.10", L"1.10", true},
        {L"1.10", L"1.10  ", true},
        {L" 1.10", L"\t1.10", true},
        {L"1.10", L"1.1", false},
        {L"1.10", L"1.10a", false},
        {L"1.10", L"1.10 B", false},
        {L"V1.10", L"v1.10", false},
        {L"1.10", std::nullopt, false},
        {L"1.10", L"", false},
        {L"", L"", false},
        {L"  ", L"", false},
        {L"", L"1.10", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsPackageFirmware(c.setting, c.reported), c.matches)
            << "setting [" << ToUtf8(c.setting) << "] reported [" << (c.reported ? ToUtf8(*c.reported) : "none")
            << "]";
    }
}

struct CountCase {
    const char* ini;
    int models;
    int oids;
};

class GeneralSettingsCounts : public ::testing::TestWithParam<CountCase> {};

TEST_P(GeneralSettingsCounts, NeverReadPastTheTables) {
    PackageFolder folder;
    std::string ini = std::string("[General]\nEncoding=0\n") + GetParam().ini;
    for (int i = 0; i < 20; ++i) ini += "MDL" + std::to_string(i) + "=model" + std::to_string(i) + "\n";
    for (int i = 0; i < 12; ++i) ini += "SysOID" + std::to_string(i) + "=1.3.6." + std::to_string(i) + "\n";
    const PackageSettings s = folder.WriteConfig(ini);
    EXPECT_EQ(s.MDLCnt, GetParam().models);
    EXPECT_EQ(s.SysOIDCnt, GetParam().oids);
    for (int i = 0; i < s.MDLCnt; ++i) EXPECT_EQ(std::string(s.MDL[i]), "model" + std::to_string(i));
}

INSTANTIATE_TEST_SUITE_P(Counts, GeneralSettingsCounts,
                         ::testing::Values(CountCase{"MDLCnt=5\nSysOIDCnt=3\n", 5, 3},
                                           CountCase{"MDLCnt=40\nSysOIDCnt=9\n", 16, 8},
                                           CountCase{"MDLCnt=-2\nSysOIDCnt=200\n", 0, 0},     // 200 is -56 in 8 bits
                                           CountCase{"MDLCnt=1\nSysOIDCnt=264\n", 1, 8}));  // low 8 bits: 8

TEST(GeneralSettings, FirstEmptyModelNameEndsTheList) {
    PackageFolder folder;
    const PackageSettings s =
        folder.WriteConfig("[General]\nEncoding=0\nMDLCnt=5\nMDL0=a\nMDL1=b\nMDL2=\nMDL3=d\n");
    EXPECT_EQ(s.MDLCnt, 2);
    EXPECT_STREQ(s.MDL[1], "b");
    EXPECT_STREQ(s.MDL[2], "");
}

TEST(GeneralSettings, LanguageOutsideTheTableCountsAsEnglish) {
    PackageFolder folder;
    EXPECT_EQ(folder.WriteConfig("[General]\nEncoding=0\nLanguage=7\n").LanguageOffset, 0);
}

TEST(ModelNameLists, EndEachNameAndTheWholeWithAZeroByte) {
    PackageSettings s;
    s.MDLCnt = 2;
    std::strcpy(s.MDL[0], "Korvane Laser 7000");
    std::strcpy(s.MDL[1], "K7");
    const std::vector<char> list = ModelNameList(s);
    ASSERT_EQ(list.size(), 1025u);
    EXPECT_EQ(std::string(list.data(), 23), std::string("Korvane Laser 7000\0K7\0\0", 23));
}

// Sixteen names of 63 bytes need 1025 bytes with their ends: every name
// fits, and the list still ends with two zero bytes.
TEST(ModelNameLists, TheLongestNamesFitAndTheListStaysEnded) {
    PackageSettings s;
    s.MDLCnt = kModelSlots + 5;  // more than there are slots: only the slots count
    for (auto& model : s.MDL) std::memset(model, 'M', kModelBytes);  // no terminator in the slot
    const std::vector<char> list = ModelNameList(s);
    ASSERT_EQ(list.size(), 1025u);
    EXPECT_EQ(std::count(list.begin(), list.end(), 'M'), kModelSlots * (kModelBytes - 1));
    EXPECT_EQ(list[1023], '\0');
    EXPECT_EQ(list[1024], '\0');
}
