// Signed packages run by the real program: a package signed by a key that
// the machine's list trusts updates and says who signed it; one changed byte
// anywhere the signature covers, or a key nobody trusts, refuses the package
// before any library call reaches a printer (the stand-ins record none).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package_folder.h"
#include "signed_package.h"

namespace {

using e2e::Pattern;

constexpr DWORD kTimeLimitMs = 90000;
const std::wstring kTitle = L"Signed caller";

const char kPackage[] =
    "[General]\nEncoding=0\nModuleName=Tessaro\nFwCount=2\n"
    "[Granted]\nS0A*=1\n[Fw0]\nFileName=main.bin\nVersion=01.10.00\n[Fw1]\nFileName=engine.bin\nVersion=00.02.00\n";

const char kFleet[] =
    "[Usb0]\nIndex=1\nVID=5A71\nPID=001A\nPrinterName=Korvane USB\nPort=USB001\n"
    "[Net0]\nIPv4=192.0.2.7\nFirmware=1.00\nAfterUpdate=199*1, 10\nNewFirmware=1.10\n";

const std::string kZeroMarker("\0\0\0\0", 4);

class Signed : public e2e::PackageFolderTest {
protected:
    void SetUp() override {
        MakeFolder(L"FwdlSignedCaller.", kTitle, kTimeLimitMs);
        Write("vorlensim.ini", kFleet);
    }
    // The package sealed and signed by `signer`, with this test's family.
    void SignPackage(const e2e::TestSigner& signer) {
        WriteConfig(kPackage);
        signer.SealAndSign(folder_, "TessaroFWDL.cfg", Record("TessaroFWDL.cfg"));
    }
    Redirected RunUsb() { return RunIntoFile({L"/u", L"Korvane USB", windowClass_, kTitle}); }
    // Nothing reached any printer: no library call was recorded at all.
    void ExpectNoPrinterTouched() const {
        for (const char* record : {"Usb0.log", "Usb0.bin", "Net0.log", "Net0.bin", "fleet.log"})
            EXPECT_FALSE(RecordExists(record)) << record << ":\n" << Record(record);
    }
};

// A silent update's lines stay those of an unsigned package: scripts read them.
TEST_F(Signed, ATrustedSignatureUpdatesAsAnUnsignedPackageWould) {
    const e2e::TestSigner signer(e2e::TestKeyName());
    ASSERT_TRUE(signer.Ready());
    SignPackage(signer);
    const Redirected result = RunUsb();
    EXPECT_EQ(result.run.exitCode, 0u) << result.output;
    EXPECT_EQ(result.run.notices.back(), std::make_pair(128, 0));
    EXPECT_EQ(Record("Usb0.bin"), Pattern(5000, 1) + kZeroMarker + Pattern(3000, 2) + kZeroMarker);
    EXPECT_EQ(result.output.find("package"), std::string::npos) << result.output;
}

TEST_F(Signed, AKeyThatTheMachineDoesNotTrustIsRefused) {
    const e2e::TestSigner stranger(L"");
    ASSERT_TRUE(stranger.Ready());
    SignPackage(stranger);
    const Redirected result = RunUsb();
    EXPECT_EQ(result.run.exitCode, 2u) << result.output;
    EXPECT_EQ(result.run.notices, (std::vector<std::pair<int, int>>{{0, 0}, {255, 2}}));
    EXPECT_NE(result.output.find("package refused"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find(stranger.KeyId()), std::string::npos) << result.output;
    ExpectNoPrinterTouched();
}

// One byte changed after signing, in each kind of file the signature covers.
struct Change {
    const char* file;
    const char* named;  // what the refusal names
};

class ChangedAfterSigning : public Signed, public ::testing::WithParamInterface<Change> {};

TEST_P(ChangedAfterSigning, IsRefusedBeforeAnyPrinterIsTouched) {
    const e2e::TestSigner signer(e2e::TestKeyName());
    ASSERT_TRUE(signer.Ready());
    SignPackage(signer);
    std::string bytes = Record(GetParam().file);
    const std::string::size_type at = std::string(GetParam().file) == "TessaroFWDL.sig" ? bytes.find("Sequence=7") + 9
                                      : std::string(GetParam().file) == "TessaroFWDL.cfg" ? bytes.find("Tessaro")
                                                                                         : bytes.size() - 1;
    ASSERT_LT(at, bytes.size());
    bytes[at] = static_cast<char>(bytes[at] ^ 1);
    Write(GetParam().file, bytes);

    const Redirected result = RunUsb();
    EXPECT_EQ(result.run.exitCode, 2u) << result.output;
    EXPECT_EQ(result.run.notices, (std::vector<std::pair<int, int>>{{0, 0}, {255, 2}}));
    EXPECT_NE(result.output.find("package refused"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find(GetParam().named), std::string::npos) << result.output;
    ExpectNoPrinterTouched();
}

INSTANTIATE_TEST_SUITE_P(EachCoveredFile, ChangedAfterSigning,
                         ::testing::Values(Change{"TessaroFWDL.cfg", "TessaroFWDL.cfg"},
                                           Change{"main.bin", "main.bin"},
                                           Change{"vorlenusb.dll", "vorlenusb.dll"},
                                           Change{"TessaroFWDL.sig", "TessaroFWDL.cfg"}));

TEST_F(Signed, ABatchNamesTheSignerInItsResult) {
    const e2e::TestSigner signer(e2e::TestKeyName());
    ASSERT_TRUE(signer.Ready());
    SignPackage(signer);
    Write("list.txt", "net 192.0.2.7\nwait 9\n");
    const Redirected result =
        RunIntoFile({L"/batch", (folder_ / "list.txt").wstring(), (folder_ / "result.json").wstring()});
    EXPECT_EQ(result.run.exitCode, 0u) << result.output;
    EXPECT_NE(result.output.find("package signed by " + ToUtf8(e2e::TestKeyName()) + ", key " + signer.KeyId() +
                                 ", sequence 7, at 2026-12-11T06:50:00Z"),
              std::string::npos)
        << result.output;
    EXPECT_NE(Record("result.json")
                  .find("  \"signature\": {\"signer\": \"" + ToUtf8(e2e::TestKeyName()) + "\", \"keyId\": \"" +
                        signer.KeyId() + "\", \"sequence\": 7, \"signedAt\": \"2026-12-11T06:50:00Z\", "
                        "\"problem\": null},\n"),
              std::string::npos)
        << Record("result.json");
}

TEST_F(Signed, ABatchOfARefusedPackageStartsNoPrinter) {
    const e2e::TestSigner signer(e2e::TestKeyName());
    ASSERT_TRUE(signer.Ready());
    SignPackage(signer);
    Write("engine.bin", Pattern(3000, 3));
    Write("list.txt", "net 192.0.2.7\nusb Korvane USB\nwait 9\n");
    const Redirected result =
        RunIntoFile({L"/batch", (folder_ / "list.txt").wstring(), (folder_ / "result.json").wstring()});
    EXPECT_EQ(result.run.exitCode, 6u) << result.output;
    EXPECT_NE(result.output.find("batch not started: package refused: "), std::string::npos) << result.output;
    const std::string json = Record("result.json");
    EXPECT_NE(json.find("\"signature\": {\"signer\": null"), std::string::npos) << json;
    std::size_t notStarted = 0;
    for (std::size_t at = json.find("\"outcome\": \"not-started\""); at != std::string::npos;
         at = json.find("\"outcome\": \"not-started\"", at + 1))
        ++notStarted;
    EXPECT_EQ(notStarted, 2u) << json;
    EXPECT_NE(json.find("\"problem\": \"package refused: "), std::string::npos) << json;
    EXPECT_NE(json.find("engine.bin"), std::string::npos) << json;
    ExpectNoPrinterTouched();
}

}  // namespace
