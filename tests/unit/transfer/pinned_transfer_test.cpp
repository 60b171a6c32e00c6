// Both transfer jobs with a package whose files are pinned to their SHA-256.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/sha256.h"
#include "transfer_fixture.h"

namespace {

const std::string kMore = MarkerText(kMarkerMoreFiles);
const std::string kLast = MarkerText(kMarkerLastFile);
const std::string kAbandon = MarkerText(kMarkerAbandon);
const std::wstring kDamaged = L"The firmware file does not match the package. Nothing was sent to the printer:\n\t";

std::string HexDigest(const std::string& bytes) { return Sha256Hex(*Sha256::Of(bytes.data(), bytes.size())); }

// A main file and a per-variant file, each pinned. Pins are taken from the
// files as written; a test may then change a file behind the package's back.
class PinnedTransfer : public TransferFixture {
protected:
    void PinnedPackage() {
        folder.AddPatternFile("main.bin", 5000, 1);
        folder.AddPatternFile("mcu_eu.bin", 6000, 2);
        folder.AddPatternFile("mcu_jp.bin", 700, 3);
        Package(2, "[Fw0]\nFileName=main.bin\nSha256=" + HexDigest(File("main.bin")) +
                       "\n[Fw1]\nFileName=mcu.bin\nFileSize=700\nContent=MCUFW\n"
                       "FileName_EU=mcu_eu.bin\nSha256_EU=" + HexDigest(File("mcu_eu.bin")) +
                       "\nFileName_JP=mcu_jp.bin\nSha256_JP=" + HexDigest(File("mcu_jp.bin")) + "\n");
    }
    // Inverts one byte of a package file, as a damaged copy would.
    void Damage(const std::string& name, long offset) {
        FILE* file = std::fopen((folder.dir().path() / name).string().c_str(), "r+b");
        ASSERT_TRUE(file);
        std::fseek(file, offset, SEEK_SET);
        const int byte = std::fgetc(file);
        std::fseek(file, offset, SEEK_SET);
        std::fputc(~byte & 0xFF, file);
        std::fclose(file);
    }
};

}  // namespace

TEST_F(PinnedTransfer, APinnedPackageIsSentWholeWithEachPrintersVariantFile) {
    PinnedPackage();
    UsbPrinterItem& europe = AddUsb(1, L"SER1", L"Laser 1", true, "EU01");
    UsbPrinterItem& japan = AddUsb(2, L"SER2", L"Laser 2", true, "JP01");
    RunUsb();
    EXPECT_TRUE(window.errors.empty());
    EXPECT_STREAM(fleet.Usb(1).received, File("main.bin") + kMore + File("mcu_eu.bin") + kLast);
    EXPECT_STREAM(fleet.Usb(2).received, File("main.bin") + kMore + File("mcu_jp.bin") + kLast);
    EXPECT_EQ(europe.transferResult, kTransferCompleted);
    EXPECT_EQ(japan.transferResult, kTransferCompleted);

    TearDownRun();
    PinnedPackage();
    NetPrinterItem& printer = AddNet(L"192.0.2.10", L"Net 1", true, "EU01");
    RunNet();
    EXPECT_TRUE(window.errors.empty());
    EXPECT_STREAM(fleet.Net("192.0.2.10").received, File("main.bin") + kMore + File("mcu_eu.bin") + kLast);
    EXPECT_EQ(printer.transferResult, kTransferCompleted);
}

// Damage found before the first byte: the message names the file, the
// printer is not even opened, and the job ends. Only the files this printer
// would get count: a damaged Japanese file stops no European printer.
TEST_F(PinnedTransfer, ADamagedFileIsNamedAndNothingIsSent) {
    struct Case {
        const char* name;
        std::string damaged;
        const char* variant;
        bool refused;
    };
    const Case cases[] = {
        {"main file", "main.bin", "EU01", true},
        {"own variant file", "mcu_eu.bin", "EU01", true},
        {"another variant's file", "mcu_jp.bin", "EU01", false},
    };
    for (const Case& c : cases) {
        for (const bool usb : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (usb ? " over USB" : " over the network"));
            TearDownRun();
            PinnedPackage();
            Damage(c.damaged, 10);
            std::int32_t* result = nullptr;
            if (usb) {
                result = &AddUsb(1, L"SER1", L"Laser 1", true, c.variant).transferResult;
                AddUsb(2, L"SER2", L"Laser 2", true, c.variant);
                RunUsb();
            } else {
                result = &AddNet(L"192.0.2.10", L"Net 1", true, c.variant).transferResult;
                RunNet();
            }
            if (!c.refused) {
                EXPECT_TRUE(window.errors.empty());
                EXPECT_EQ(*result, kTransferCompleted);
                continue;
            }
            EXPECT_EQ(window.errors, (std::vector<std::wstring>{kDamaged + PathOf(c.damaged)}));
            EXPECT_EQ(*result, kTransferPending);
            EXPECT_TRUE(fleet.touched.empty());
            EXPECT_EQ(timeline, (Timeline{"error " + ToEightBit(kDamaged + PathOf(c.damaged))}));
            for (const auto& open : files.opens) EXPECT_EQ(open.sharing, FileSharing::ReadWrite) << "only looked at";
        }
    }
}

// The per-variant file changes after the check, just before the job opens
// it to send (once opened, the job holds it without sharing): the printer
// gets the main file, then never the whole changed file, and is not told
// that it ended well.
TEST_F(PinnedTransfer, AFileChangedAfterTheCheckIsNeverSentWhole) {
    for (const bool usb : {true, false}) {
        SCOPED_TRACE(usb ? "USB" : "network");
        TearDownRun();
        PinnedPackage();
        bool changed = false;
        files.beforeOpen = [&](const std::wstring& path, FileSharing sharing) {
            if (changed || sharing != FileSharing::Exclusive || path.find(L"mcu_eu.bin") == std::wstring::npos) return;
            Damage("mcu_eu.bin", 5999);
            changed = true;
        };
        std::int32_t* result = nullptr;
        if (usb) {
            result = &AddUsb(1, L"SER1", L"Laser 1", true, "EU01").transferResult;
            RunUsb();
        } else {
            result = &AddNet(L"192.0.2.10", L"Net 1", true, "EU01").transferResult;
            RunNet();
        }
        const std::string changedFile = File("mcu_eu.bin");
        const std::string sent = File("main.bin") + kMore + changedFile.substr(0, 4096);
        const std::string& received = usb ? fleet.Usb(1).received : fleet.Net("192.0.2.10").received;
        EXPECT_EQ(*result, kTransferPending);
        if (usb) {
            EXPECT_STREAM(received, sent + kAbandon);
        } else {
            // The connection of the changed file ends without its last piece
            // and without an end marker that would accept it.
            EXPECT_TRUE(received == sent || received == sent + kAbandon) << received.size() << " bytes";
        }
        EXPECT_EQ(window.errors.size(), 1u);
        EXPECT_TRUE(changed);
        files.beforeOpen = nullptr;
    }
}
