#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "app/command_line_update.h"
#include "base/base64.h"
#include "base/files.h"
#include "base/sha256.h"
#include "base/text.h"
#include "package/config_codec.h"
#include "sim/fleet.h"
#include "test_support.h"
#include "tools/fwpack/fwpack.h"
#include "tools/fwpack/ini_edit.h"

namespace {

struct FwpackRun {
    int exitCode;
    std::string out;
    std::string err;
};

FwpackRun Fwpack(std::vector<std::wstring> arguments) {
    arguments.insert(arguments.begin(), L"fwpack");
    std::ostringstream out, err;
    const int code = RunFwpack(arguments, out, err);
    return {code, out.str(), err.str()};
}

std::wstring Folder(const PackageFolder& folder) { return folder.dir().ProgramPath(); }

}  // namespace

TEST(Fwpack, EncodeAndDecodeRoundTrip) {
    const FwpackRun encoded = Fwpack({L"encode", L"FW_main 01.bin"});
    ASSERT_EQ(encoded.exitCode, 0);
    EXPECT_EQ(encoded.out, EncodeConfigValue("FW_main 01.bin") + "\n");
    std::wstring value(encoded.out.begin(), encoded.out.end() - 1);
    const FwpackRun decoded = Fwpack({L"decode", value});
    EXPECT_EQ(decoded.exitCode, 0);
    EXPECT_EQ(decoded.out, "FW_main 01.bin\n");
}

TEST(Fwpack, RejectsBadArgumentsAndValues) {
    EXPECT_EQ(Fwpack({}).exitCode, 2);
    EXPECT_EQ(Fwpack({L"encode"}).exitCode, 2);
    EXPECT_EQ(Fwpack({L"frobnicate", L"x"}).exitCode, 2);
    EXPECT_NE(Fwpack({L"frobnicate", L"x"}).err.find("usage"), std::string::npos);
    EXPECT_EQ(Fwpack({L"encode", std::wstring(257, L'a')}).exitCode, 2);
    const FwpackRun bad = Fwpack({L"decode", L"60abd"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("check characters"), std::string::npos);
}

TEST(Fwpack, CheckReportsAReadyPackage) {
    PackageFolder folder;
    folder.AddPatternFile("main.bin", 1234);
    WriteBytes(folder.dir().path() / "TessaroFWDL.cfg",
               "[General]\nEncoding=0\nModelName=Tessaro 7000\nFwCount=1\nVID=0A1B\nPID=00C2\n"
               "[Fw0]\nFileName=main.bin\nVersion=02.00.01\nSubCmdCnt=1\nCmd0=1b 40\nCmd0_PostDelay=500\n"
               "[Granted]\nS0A*=1\nS0B01030=0\n");
    const FwpackRun run = Fwpack({L"check", Folder(folder)});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    for (const char* expected : {"Tessaro 7000", "0A1B/00C2", "main.bin", "1234", "02.00.01", "[1B 40] then 500 ms",
                                 "S0A*  grants", "S0B01030  does not grant", "READY"})
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
}

TEST(Fwpack, CheckTellsWhyAPackageIsNotReady) {
    PackageFolder folder;
    folder.AddFile("empty.bin", "");
    WriteBytes(folder.dir().path() / "update.cfg",
               "[General]\nEncoding=0\nFwCount=2\n[Fw0]\nFileName=empty.bin\n[Fw1]\nFileName=gone.bin\n");
    const FwpackRun run = Fwpack({L"check", Folder(folder), L"update.exe"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("NOT READY"), std::string::npos);
    EXPECT_NE(run.out.find("Fw0: file is empty"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Fw1: file missing"), std::string::npos) << run.out;

    WriteBytes(folder.dir().path() / "update.cfg",
               "[General]\nEncoding=0\nFwCount=100000000\n[Fw0]\nFileName=main.bin\nFileSize=10\n");
    const FwpackRun huge = Fwpack({L"check", Folder(folder), L"update.exe"});
    EXPECT_EQ(huge.exitCode, 1);
    EXPECT_NE(huge.out.find("more firmware entries than the program takes (FwCount 100000000, at most 64)"),
              std::string::npos)
        << huge.out;

    TempDir nothing;
    const FwpackRun none = Fwpack({L"check", nothing.ProgramPath()});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.out.find("NOT READY\n  the package description is missing: "), std::string::npos) << none.out;
    EXPECT_NE(none.out.find("TessaroFWDL.cfg (missing)\n"), std::string::npos) << none.out;
    EXPECT_EQ(none.out.find("no firmware entries"), std::string::npos) << none.out;

    // A package folder whose program was renamed: its own description is looked for.
    PackageFolder renamed;
    renamed.AddPatternFile("main.bin", 100);
    WriteBytes(renamed.dir().path() / "TessaroFWDL.cfg", "[General]\nEncoding=0\nFwCount=1\n[Fw0]\nFileName=main.bin\n");
    const FwpackRun other = Fwpack({L"check", Folder(renamed), L"Update2.exe"});
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_NE(other.out.find("the package description is missing: "), std::string::npos) << other.out;
    EXPECT_NE(other.out.find("Update2.cfg\n"), std::string::npos) << other.out;
}

// The program widens each decoded byte to one character: a text with any
// other character cannot come back as it was given.
TEST(Fwpack, EncodeRefusesTextTheValueEncodingCannotHold) {
    for (const wchar_t* text : {L"\u30D7\u30EA\u30F3\u30BF", L"main\u20AC.bin", L"\U0001F5A8"}) {
        const FwpackRun run = Fwpack({L"encode", text});
        EXPECT_NE(run.exitCode, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("U+0000 to U+00FF"), std::string::npos) << run.err;
    }
    const FwpackRun latin = Fwpack({L"encode", L"Gr\u00FC\u00DFe"});
    EXPECT_EQ(latin.exitCode, 0);
    EXPECT_EQ(latin.out, EncodeConfigValue("Gr\xFC\xDF" "e") + "\n");
}

// ---- Pins: seal and check -------------------------------------------------

namespace {

std::string HexDigestOf(const std::string& bytes) { return Sha256Hex(*Sha256::Of(bytes.data(), bytes.size())); }

// A package with a plain entry and a per-variant entry, in CRLF lines with a
// comment, as package authors' editors leave them.
std::string SealablePackage(PackageFolder& folder) {
    folder.AddPatternFile("main.bin", 5000, 1);
    folder.AddPatternFile("mcu.bin", 300, 2);
    folder.AddPatternFile("mcu_jp.bin", 200, 3);
    folder.AddPatternFile("mcu_eu.bin", 100, 4);
    const std::string text =
        "; release 1.10\r\n[General]\r\nEncoding=0\r\nFwCount=2\r\n\r\n"
        "[Fw0]\r\nFileName=main.bin\r\nVersion=01.10.00\r\n\r\n"
        "[Fw1]\r\nFileName=mcu.bin\r\nContent=MCUFW\r\nFileName_JP=mcu_jp.bin\r\nFileName_EU=mcu_eu.bin\r\n\r\n"
        "[Granted]\r\nS0A*=1\r\n";
    WriteBytes(folder.dir().path() / "TessaroFWDL.cfg", text);
    return text;
}

std::string ConfigText(const PackageFolder& folder, const char* name = "TessaroFWDL.cfg") {
    return ReadWholeFile(folder.dir().path() / name).value_or("");
}

void Corrupt(const PackageFolder& folder, const std::string& name) {
    std::string bytes = ReadWholeFile(folder.dir().path() / name).value_or("");
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x10);
    WriteBytes(folder.dir().path() / name, bytes);
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(FwpackPins, SealWritesAPinBesideEveryFileNameAndChangesNothingElse) {
    PackageFolder folder;
    const std::string before = SealablePackage(folder);
    const FwpackRun seal = Fwpack({L"seal", Folder(folder)});
    ASSERT_EQ(seal.exitCode, 0) << seal.out << seal.err;
    EXPECT_TRUE(Has(seal.out, "Sealed 4 files")) << seal.out;

    const auto pin = [&](const char* file) { return HexDigestOf(ReadWholeFile(folder.dir().path() / file).value()); };
    const std::string expected =
        "; release 1.10\r\n[General]\r\nEncoding=0\r\nFwCount=2\r\n\r\n"
        "[Fw0]\r\nFileName=main.bin\r\nVersion=01.10.00\r\nSha256=" + pin("main.bin") + "\r\n\r\n"
        "[Fw1]\r\nFileName=mcu.bin\r\nContent=MCUFW\r\nFileName_JP=mcu_jp.bin\r\nFileName_EU=mcu_eu.bin\r\n"
        "Sha256=" + pin("mcu.bin") + "\r\nSha256_JP=" + pin("mcu_jp.bin") + "\r\nSha256_EU=" + pin("mcu_eu.bin") +
        "\r\n\r\n[Granted]\r\nS0A*=1\r\n";
    EXPECT_EQ(ConfigText(folder), expected);

    // Sealing again after a file changed replaces its pin in place.
    folder.AddPatternFile("mcu_jp.bin", 250, 9);
    ASSERT_EQ(Fwpack({L"seal", Folder(folder)}).exitCode, 0);
    const std::string resealed = ConfigText(folder);
    EXPECT_TRUE(Has(resealed, "\r\nSha256_JP=" + pin("mcu_jp.bin") + "\r\n"));
    EXPECT_EQ(resealed.size(), expected.size());
}

TEST(FwpackPins, CheckReportsEachFileAsMatchingNotMatchingOrUnpinned) {
    PackageFolder folder;
    SealablePackage(folder);
    const FwpackRun unsealed = Fwpack({L"check", Folder(folder)});
    EXPECT_EQ(unsealed.exitCode, 0) << unsealed.out;
    EXPECT_TRUE(Has(unsealed.out, "  Fw0  main.bin  unpinned\n")) << unsealed.out;
    EXPECT_TRUE(Has(unsealed.out, "  Fw1 (JP)  mcu_jp.bin  unpinned\n")) << unsealed.out;

    ASSERT_EQ(Fwpack({L"seal", Folder(folder)}).exitCode, 0);
    const FwpackRun sealed = Fwpack({L"check", Folder(folder)});
    EXPECT_EQ(sealed.exitCode, 0) << sealed.out;
    for (const char* line : {"  Fw0  main.bin  matching\n", "  Fw1  mcu.bin  matching\n",
                             "  Fw1 (JP)  mcu_jp.bin  matching\n", "  Fw1 (EU)  mcu_eu.bin  matching\n", "READY\n"})
        EXPECT_TRUE(Has(sealed.out, line)) << line << sealed.out;

    // A damaged variant file makes the package not ready, named.
    Corrupt(folder, "mcu_eu.bin");
    const FwpackRun damaged = Fwpack({L"check", Folder(folder)});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_TRUE(Has(damaged.out, "  Fw1 (EU)  mcu_eu.bin  not matching (content differs from Sha256_EU)\n"))
        << damaged.out;
    EXPECT_TRUE(Has(damaged.out, "NOT READY\n  Fw1 (EU): file does not match its pin")) << damaged.out;
    EXPECT_TRUE(Has(damaged.out, "  Fw0  main.bin  matching\n"));
}

TEST(FwpackPins, SealRefusesAPackageWithAMissingFileAndWritesNothing) {
    PackageFolder folder;
    const std::string before = SealablePackage(folder);
    std::filesystem::remove(folder.dir().path() / "mcu_eu.bin");
    const FwpackRun seal = Fwpack({L"seal", Folder(folder)});
    EXPECT_EQ(seal.exitCode, 1);
    EXPECT_TRUE(Has(seal.err, "mcu_eu.bin")) << seal.err;
    EXPECT_EQ(ConfigText(folder), before);
    EXPECT_EQ(Fwpack({L"seal"}).exitCode, 2);
}

// An encoded package: the pins are encoded like every other value, and the
// program reads them, sends the sealed files and refuses a damaged one.
TEST(FwpackPins, AnEncodedPackageSealedByFwpackIsCheckedByTheProgram) {
    PackageFolder folder;
    folder.AddPatternFile("main.bin", 5000, 1);
    folder.AddPatternFile("engine.bin", 3000, 2);
    const auto e = [](const char* plain) { return EncodeConfigValue(plain); };
    WriteBytes(folder.dir().path() / "update.cfg",
               "[General]\nEncoding=1\nFwCount=" + e("2") + "\n[Fw0]\nFileName=" + e("main.bin") +
                   "\n[Fw1]\nFileName=" + e("engine.bin") + "\n[Granted]\nS0A*=" + e("1") + "\n");
    ASSERT_EQ(Fwpack({L"seal", Folder(folder), L"update.exe"}).exitCode, 0);
    const std::string text = ConfigText(folder, "update.cfg");
    const std::string mainPin = HexDigestOf(ReadWholeFile(folder.dir().path() / "main.bin").value());
    EXPECT_TRUE(Has(text, "Sha256=" + EncodeConfigValue(mainPin) + "\n")) << text;
    EXPECT_FALSE(Has(text, mainPin));
    EXPECT_TRUE(Has(Fwpack({L"check", Folder(folder), L"update.exe"}).out, "  Fw1  engine.bin  matching\n"));

    PackageSettings settings;
    SetPathsFromProgramFile(settings, folder.dir().ProgramPath() + L"\\update.exe");
    ReadGeneralSettings(settings);
    struct Notices final : CallerNotices {
        void Post(int code, int value) override { last = {code, value}; }
        std::pair<int, int> last;
    } notices;
    PlatformFiles files;
    {
        Fleet fleet(folder.dir().path(), "[Usb0]\nPrinterName=P\n");
        EXPECT_EQ(UpdateViaUsb(settings, fleet, files, L"P", &notices), 1);
        EXPECT_EQ(notices.last, std::make_pair(128, 0));
        Corrupt(folder, "engine.bin");
        EXPECT_EQ(UpdateViaUsb(settings, fleet, files, L"P", &notices), -1);
        EXPECT_EQ(notices.last, std::make_pair(255, 2));
    }
    EXPECT_EQ(ReadWholeFile(folder.dir().path() / "Usb0.bin").value_or("").size(), 5000u + 4 + 3000 + 4);
}

TEST(IniEdit, SetsAKeyWhereTheReadersFindIt) {
    struct Case {
        const char* name;
        const char* section;
        const char* key;
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"replaced, any case, spacing around it dropped", "Fw0", "Sha256", "[fw0]\n  SHA256 = old\nX=1\n",
         "[fw0]\nSha256=v\nX=1\n"},
        {"added after the last key of the section", "A", "k", "[A]\nX=1\n\n; note\n[B]\nY=2\n",
         "[A]\nX=1\nk=v\n\n; note\n[B]\nY=2\n"},
        {"a commented key is no key", "A", "k", "[A]\n;k=old\n", "[A]\nk=v\n;k=old\n"},
        {"the first occurrence is the one read", "A", "k", "[A]\nX=1\n[B]\n[A]\nk=old\nk=older\n",
         "[A]\nX=1\n[B]\n[A]\nk=v\nk=older\n"},
        {"a second block of the section gets nothing new", "A", "k", "[A]\nX=1\n[B]\n[A]\nZ=1\n",
         "[A]\nX=1\nk=v\n[B]\n[A]\nZ=1\n"},
        {"an empty section gets the key after its header", "A", "k", "[A]\n[B]\n", "[A]\nk=v\n[B]\n"},
        {"a missing section is added at the end", "A", "k", "[B]\nY=2", "[B]\nY=2\n[A]\nk=v\n"},
        {"a last line without its end", "A", "k", "[A]\nX=1", "[A]\nX=1\nk=v\n"},
        {"CRLF lines stay CRLF", "A", "k", "[A]\r\nk=old\r\nX=1\r\n", "[A]\r\nk=v\r\nX=1\r\n"},
        {"an empty text", "A", "k", "", "[A]\nk=v\n"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        SetIniValue(text, c.section, c.key, "v");
        EXPECT_EQ(text, c.expected) << c.name;
    }
}

namespace {

// The leading bytes of a program file for `machine`: enough for its header.
std::string ProgramFileHeader(std::uint16_t machine) {
    std::string bytes(0x100, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = '\x80';
    bytes.replace(0x80, 4, std::string("PE\0\0", 4));
    bytes[0x84] = static_cast<char>(machine & 0xFF);
    bytes[0x85] = static_cast<char>(machine >> 8);
    return bytes;
}

}  // namespace

TEST(Fwpack, CheckReportsEachLibraryAndWhetherItMatchesTheProgram) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, std::string>> files;  // beside the description
        int exitCode;
        std::vector<const char*> lines;
    };
    const std::string x64 = ProgramFileHeader(0x8664), x86 = ProgramFileHeader(0x014C);
    const Case cases[] = {
        {"all of the program's architecture",
         {{"TessaroFWDL.exe", x64}, {"vorlendu.dll", x64}, {"vorlenusb.dll", x64}, {"vorlennet.dll", x64}},
         0,
         {"  TessaroFWDL.exe  x64 (64-bit)  (the program)\n", "  vorlendu.dll  x64 (64-bit)  matches the program\n",
          "  vorlenusb.dll  x64 (64-bit)  matches the program\n",
          "  vorlennet.dll  x64 (64-bit)  matches the program\n", "READY\n"}},
        {"32-bit libraries beside a 64-bit program",
         {{"TessaroFWDL.exe", x64}, {"vorlendu.dll", x86}, {"vorlenusb.dll", x86}},
         1,
         {"  vorlendu.dll  x86 (32-bit)  does not match the program\n",
          "  vorlennet.dll  absent  (optional: no network updates)\n", "NOT READY\n",
          "  vorlenusb.dll: built for x86 (32-bit), the program for x64 (64-bit); the program cannot load it\n"}},
        {"a 32-bit program with its libraries",
         {{"TessaroFWDL.exe", x86}, {"vorlendu.dll", x86}, {"vorlenusb.dll", x86}, {"vorlennet.dll", x86}},
         0,
         {"  TessaroFWDL.exe  x86 (32-bit)  (the program)\n", "  vorlennet.dll  x86 (32-bit)  matches the program\n"}},
        {"a damaged library",
         {{"TessaroFWDL.exe", x86}, {"vorlenusb.dll", "MZ and nothing more"}},
         1,
         {"  vorlenusb.dll  not a program file\n", "  vorlenusb.dll: not a library file; the program cannot load it\n",
          "  vorlendu.dll  absent\n"}},
        {"no program to compare with",
         {{"vorlenusb.dll", x86}},
         0,
         {"  TessaroFWDL.exe  absent  (the program)\n",
          "  vorlenusb.dll  x86 (32-bit)  (no program to compare with)\n"}},
    };
    for (const Case& c : cases) {
        PackageFolder folder;
        folder.AddPatternFile("main.bin", 100);
        folder.AddFile("TessaroFWDL.cfg", "[General]\nEncoding=0\nFwCount=1\n[Fw0]\nFileName=main.bin\n");
        for (const auto& [name, bytes] : c.files) folder.AddFile(name, bytes);
        const FwpackRun run = Fwpack({L"check", Folder(folder)});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << "\n" << run.out;
        for (const char* line : c.lines)
            EXPECT_NE(run.out.find(line), std::string::npos) << c.name << ": " << line << "\n" << run.out;
    }
}

// ---- Signing: keygen, seal with libraries, sign, verify, check ------------

namespace {

class FwpackSigning : public ::testing::Test {
protected:
    void SetUp() override {
        SealablePackage(folder_);
        folder_.AddFile("TessaroFWDL.exe", Library(""));
        folder_.AddFile("vorlendu.dll", Library("utility"));
        folder_.AddFile("vorlenusb.dll", Library("usb"));
    }
    static std::string Library(const std::string& tail) { return ProgramFileHeader(0x8664) + tail; }
    std::wstring In(const std::wstring& name) const { return Folder(folder_) + L"\\" + name; }
    std::filesystem::path Path(const std::string& name) const { return folder_.dir().path() / name; }
    std::wstring Config() const { return In(L"TessaroFWDL.cfg"); }
    std::string Signature() const { return ReadWholeFile(Path("TessaroFWDL.sig")).value_or(""); }
    FwpackRun MakeKey(const std::wstring& name) { return Fwpack({L"keygen", In(name)}); }

    PackageFolder folder_;
};

}  // namespace

TEST_F(FwpackSigning, AKeyIsMadeOnceAndItsPrivateHalfIsTheOwnersOnly) {
    const FwpackRun made = MakeKey(L"maker");
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::string publicText = ReadWholeFile(Path("maker.pub")).value_or("");
    EXPECT_EQ(publicText.rfind("ecdsa-p256 ", 0), 0u) << publicText;
    EXPECT_TRUE(Has(publicText, " maker\n")) << publicText;
    EXPECT_TRUE(Has(ReadWholeFile(Path("maker.key")).value_or(""), "ecdsa-p256-private "));
#if !defined(_WIN32)
    EXPECT_EQ(std::filesystem::status(Path("maker.key")).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
    // Never over an existing key.
    const FwpackRun again = MakeKey(L"maker");
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(Has(again.err, "exists already")) << again.err;
    EXPECT_EQ(ReadWholeFile(Path("maker.pub")).value_or(""), publicText);
}

TEST_F(FwpackSigning, SealSignVerifyAndCheckRoundTrip) {
    ASSERT_EQ(MakeKey(L"maker").exitCode, 0);
    const FwpackRun seal = Fwpack({L"seal", Folder(folder_)});
    ASSERT_EQ(seal.exitCode, 0) << seal.err;
    EXPECT_TRUE(Has(seal.out, "Sealed 6 files")) << seal.out;
    const std::string sealed = ConfigText(folder_);
    EXPECT_TRUE(Has(sealed, "\r\n[Libraries]\r\nvorlendu.dll=" + HexDigestOf(Library("utility")) +
                                "\r\nvorlenusb.dll=" + HexDigestOf(Library("usb")) + "\r\n"))
        << sealed;
    EXPECT_FALSE(Has(sealed, "vorlennet.dll"));

    const FwpackRun sign = Fwpack({L"sign", Config(), L"--key", In(L"maker.key"), L"--comment", L"release 1.10"});
    ASSERT_EQ(sign.exitCode, 0) << sign.err;
    EXPECT_TRUE(Has(Signature(), "\nSequence=1\nComment=release 1.10\nSignature=")) << Signature();
    // Signed again: the sequence goes up by itself.
    ASSERT_EQ(Fwpack({L"sign", Config(), L"--key", In(L"maker.key")}).exitCode, 0);
    EXPECT_TRUE(Has(Signature(), "\nSequence=2\nComment=\n")) << Signature();
    ASSERT_EQ(Fwpack({L"sign", Config(), L"--key", In(L"maker.key"), L"--sequence", L"40"}).exitCode, 0);
    EXPECT_TRUE(Has(Signature(), "\nSequence=40\n")) << Signature();

    const FwpackRun verified = Fwpack({L"verify", Config(), L"--key", In(L"maker.pub")});
    EXPECT_EQ(verified.exitCode, 0) << verified.out;
    EXPECT_TRUE(Has(verified.out, "  Signer     maker\n")) << verified.out;
    EXPECT_TRUE(Has(verified.out, "  Sequence   40\n"));
    EXPECT_TRUE(Has(verified.out, "VERIFIED\n"));

    const FwpackRun checked = Fwpack({L"check", Folder(folder_)});
    EXPECT_EQ(checked.exitCode, 0) << checked.out;
    for (const char* line : {"[Signature]\n  Key id     ", "  Sequence   40\n", "  Library  vorlenusb.dll  matching\n",
                             "READY\n"})
        EXPECT_TRUE(Has(checked.out, line)) << line << "\n" << checked.out;

    // Without a key, nothing is verified; with another key, refused by id.
    const FwpackRun keyless = Fwpack({L"verify", Config()});
    EXPECT_EQ(keyless.exitCode, 1);
    EXPECT_TRUE(Has(keyless.out, "NOT VERIFIED: no trusted key was given")) << keyless.out;
    ASSERT_EQ(MakeKey(L"other").exitCode, 0);
    const FwpackRun other = Fwpack({L"verify", Config(), L"--key", In(L"other.pub")});
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_TRUE(Has(other.out, "REFUSED: The package is signed with key ")) << other.out;
    EXPECT_EQ(Fwpack({L"verify", Config(), L"--key", In(L"other.pub"), L"--key", In(L"maker.pub")}).exitCode, 0);

    // A signature file that cannot be read makes the package not ready.
    const std::string signature = Signature();
    WriteBytes(Path("TessaroFWDL.sig"), signature + "x");
    const FwpackRun unreadable = Fwpack({L"check", Folder(folder_)});
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_TRUE(Has(unreadable.out, "[Signature]\n  not readable\n")) << unreadable.out;
    EXPECT_TRUE(Has(unreadable.out, "  signature: The signature file has more after its signature.\n"))
        << unreadable.out;
    WriteBytes(Path("TessaroFWDL.sig"), signature);

    // A changed library: verify and check name it; the signature stands.
    folder_.AddFile("vorlenusb.dll", Library("usb, changed"));
    const FwpackRun changed = Fwpack({L"verify", Config(), L"--key", In(L"maker.pub")});
    EXPECT_EQ(changed.exitCode, 1);
    EXPECT_TRUE(Has(changed.out, "REFUSED: The content of the library vorlenusb.dll differs")) << changed.out;
    EXPECT_EQ(Fwpack({L"check", Folder(folder_)}).exitCode, 1);

    // Sealing again removes the pin of a library taken away, and says the
    // signature must be made again.
    std::filesystem::remove(Path("vorlenusb.dll"));
    const FwpackRun resealed = Fwpack({L"seal", Folder(folder_)});
    EXPECT_EQ(resealed.exitCode, 0);
    EXPECT_TRUE(Has(resealed.out, "sign it again")) << resealed.out;
    EXPECT_FALSE(Has(ConfigText(folder_), "vorlenusb.dll"));
    EXPECT_EQ(Fwpack({L"verify", Config(), L"--key", In(L"maker.pub")}).exitCode, 1);
}

TEST_F(FwpackSigning, SignRefusesWhatTheSignatureWouldNotCoverAndWritesNothing) {
    ASSERT_EQ(MakeKey(L"maker").exitCode, 0);
    const std::vector<std::wstring> sign = {L"sign", Config(), L"--key", In(L"maker.key")};
    const FwpackRun unsealed = Fwpack(sign);
    EXPECT_EQ(unsealed.exitCode, 1);
    EXPECT_TRUE(Has(unsealed.err, "does not pin main.bin")) << unsealed.err;
    EXPECT_FALSE(std::filesystem::exists(Path("TessaroFWDL.sig")));

    ASSERT_EQ(Fwpack({L"seal", Folder(folder_)}).exitCode, 0);
    ASSERT_EQ(Fwpack(sign).exitCode, 0);
    const std::string signature = Signature();
    struct Case {
        const char* what;
        std::function<void()> change;
        const char* named;
    };
    const Case cases[] = {
        {"a damaged firmware file", [&] { Corrupt(folder_, "mcu_jp.bin"); }, "mcu_jp.bin"},
        {"a library put in after sealing", [&] { folder_.AddFile("vorlennet.dll", Library("net")); }, "vorlennet.dll"},
        {"a changed library", [&] { folder_.AddFile("vorlendu.dll", Library("other")); }, "vorlendu.dll"},
    };
    for (const Case& c : cases) {
        SetUp();
        ASSERT_EQ(Fwpack({L"seal", Folder(folder_)}).exitCode, 0);
        c.change();
        const FwpackRun refused = Fwpack(sign);
        EXPECT_EQ(refused.exitCode, 1) << c.what;
        EXPECT_TRUE(Has(refused.err, c.named)) << c.what << ": " << refused.err;
        EXPECT_EQ(Signature(), signature) << c.what;
        std::filesystem::remove(Path("vorlennet.dll"));
    }
}

TEST_F(FwpackSigning, BadArgumentsAndKeyFilesAreRefused) {
    ASSERT_EQ(MakeKey(L"maker").exitCode, 0);
    ASSERT_EQ(Fwpack({L"seal", Folder(folder_)}).exitCode, 0);
    const std::wstring key = In(L"maker.key");
    const std::vector<std::vector<std::wstring>> cases = {
        {L"sign", Config()},
        {L"sign", Config(), L"--key"},
        {L"sign", Config(), L"--key", key, L"--key", key},
        {L"sign", Config(), L"--key", key, L"--sequence", L"0"},
        {L"sign", Config(), L"--key", key, L"--sequence", L"12x"},
        {L"sign", Config(), L"--key", key, L"--sequence", L"18446744073709551616"},
        {L"sign", Config(), L"--key", key, L"--comment", L"two\nlines"},
        {L"sign", Config(), L"--key", In(L"maker.pub")},
        {L"sign", Config(), L"--key", In(L"absent.key")},
        {L"sign", Config(), L"--frobnicate", L"x", L"--key", key},
        {L"verify", Config(), L"--key", key},
        {L"verify", Config(), L"--key"},
        {L"verify"},
        {L"keygen"},
    };
    for (const std::vector<std::wstring>& arguments : cases) {
        const FwpackRun run = Fwpack(arguments);
        EXPECT_EQ(run.exitCode, 2) << ToUtf8(arguments.back());
    }

    // A key file whose halves do not belong together: what it signs would
    // verify with no key, so nothing is written.
    ASSERT_EQ(MakeKey(L"other").exitCode, 0);
    const auto keyBytes = [&](const char* name) {
        const std::string text = ReadWholeFile(Path(name)).value_or("");
        const std::size_t start = text.find(' ') + 1;
        return DecodeBase64(text.substr(start, text.find(' ', start) - start)).value_or("");
    };
    const std::string mixed = keyBytes("maker.key").substr(0, 32) + keyBytes("other.key").substr(32);
    ASSERT_EQ(mixed.size(), 96u);
    WriteBytes(Path("mixed.key"), "ecdsa-p256-private " + EncodeBase64(mixed) + " mixed\n");
    const FwpackRun damaged = Fwpack({L"sign", Config(), L"--key", In(L"mixed.key")});
    EXPECT_EQ(damaged.exitCode, 1);
    // (A platform may already refuse to take such a key; then it cannot sign.)
    EXPECT_TRUE(Has(damaged.err, "is damaged") || Has(damaged.err, "could not sign")) << damaged.err;
    EXPECT_FALSE(std::filesystem::exists(Path("TessaroFWDL.sig")));
}
