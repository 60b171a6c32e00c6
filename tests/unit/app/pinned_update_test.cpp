// Silent updates of a package whose files are pinned to their SHA-256,
// against the simulated fleet.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/command_line_update.h"
#include "base/files.h"
#include "base/sha256.h"
#include "package/config_codec.h"
#include "sim/fleet.h"
#include "test_support.h"

namespace {

class Notices final : public CallerNotices {
public:
    void Post(int code, int value) override { posted.emplace_back(code, value); }
    void Problem(const std::wstring& words) override { problem = words; }
    std::wstring problem;
    std::pair<int, int> Last() const { return posted.empty() ? std::make_pair(-1, -1) : posted.back(); }
    std::vector<std::pair<int, int>> posted;
};

const std::string kZeroBytes("\0\0\0\0", 4);
const std::string kMoreBytes("\xAA\x55\x55\xAA", 4);
const std::string kAbandonBytes("\xFF\xFF\xFF\xFF", 4);

const std::string kMain = PatternBytes(5000, 1);
const std::string kEngine = PatternBytes(3000, 2);

std::string HexDigest(const std::string& bytes) { return Sha256Hex(*Sha256::Of(bytes.data(), bytes.size())); }

enum class Road { kUsb, kNetwork };

const char kFleetText[] = "[Usb0]\nPrinterName=Korvane USB\n[Net0]\nIPv4=192.0.2.7\n";

// One package folder with the fleet's records beside it.
class PinnedPackage {
public:
    // A package of main.bin and engine.bin; `pins` are the two Sha256 values
    // (empty: no key), stored encoded when `encoded`.
    void MakePackage(const std::string& mainPin, const std::string& enginePin, bool encoded = false) {
        folder_.AddFile("main.bin", kMain);
        folder_.AddFile("engine.bin", kEngine);
        const auto value = [encoded](const std::string& plain) { return encoded ? EncodeConfigValue(plain) : plain; };
        std::string ini = "[General]\nEncoding=" + std::string(encoded ? "1" : "0") + "\nFwCount=" +
                          value("2") + "\n[Granted]\nS0A*=" + value("1") + "\n";
        ini += "[Fw0]\nFileName=" + value("main.bin") + "\n";
        if (!mainPin.empty()) ini += "Sha256=" + value(mainPin) + "\n";
        ini += "[Fw1]\nFileName=" + value("engine.bin") + "\n";
        if (!enginePin.empty()) ini += "Sha256=" + value(enginePin) + "\n";
        settings_ = folder_.WriteConfig(ini);
    }

    int Update(Road road, const std::string& fleetText = kFleetText) { return Update(road, files_, fleetText); }
    int Update(Road road, FileOpener& files, const std::string& fleetText = kFleetText) {
        Fleet fleet(folder_.dir().path(), fleetText);
        EXPECT_TRUE(fleet.scenario().problems.empty());
        return road == Road::kUsb ? UpdateViaUsb(settings_, fleet, files, L"Korvane USB", &notices)
                                  : UpdateViaNetwork(settings_, fleet, files, L"192.0.2.7", &notices);
    }

    std::string Received(Road road) {
        return ReadWholeFile(folder_.dir().path() / (road == Road::kUsb ? "Usb0.bin" : "Net0.bin")).value_or("");
    }
    std::string Transcript(Road road) {
        return ReadWholeFile(folder_.dir().path() / (road == Road::kUsb ? "Usb0.log" : "Net0.log")).value_or("");
    }

    Notices notices;

private:
    PackageFolder folder_;
    PackageSettings settings_;
    PlatformFiles files_;
};

}  // namespace

TEST(PinnedUpdate, APinnedPackageIsSentWholeOnBothRoadsPlainOrEncoded) {
    for (const bool encoded : {false, true}) {
        for (const Road road : {Road::kUsb, Road::kNetwork}) {
            PinnedPackage package;
            // Upper case digits read as well as lower case ones.
            std::string enginePin = HexDigest(kEngine);
            for (char& c : enginePin) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            package.MakePackage(HexDigest(kMain), enginePin, encoded);
            EXPECT_EQ(package.Update(road), 1) << encoded;
            EXPECT_EQ(package.notices.Last(), std::make_pair(128, 0));
            const std::string& between = road == Road::kUsb ? kZeroBytes : kMoreBytes;
            EXPECT_TRUE(package.Received(road) == kMain + between + kEngine + kZeroBytes)
                << encoded << " " << static_cast<int>(road);
        }
    }
}

// Damage found before the first byte: reason 2, and no call reaches the
// printer, not even a connection or a status read; a printer that is not
// ready and would refuse the update hears nothing either, and the reason
// stays the package's.
TEST(PinnedUpdate, AFileThatDoesNotMatchItsPinIsRefusedBeforeAnythingIsSent) {
    struct Case {
        const char* name;
        std::string mainPin;
        std::string enginePin;
        const wchar_t* file;  // the file the refusal names
    };
    const std::string mainPin = HexDigest(kMain);
    const Case cases[] = {
        {"second file damaged", mainPin, HexDigest(kEngine + "x"), L"engine.bin"},
        {"first file damaged", HexDigest(kMain.substr(1)), HexDigest(kEngine), L"main.bin"},
        {"pin that is no digest", mainPin, "not a digest", L"engine.bin"},
        {"pin one digit short", mainPin, HexDigest(kEngine).substr(1), L"engine.bin"},
    };
    const std::string notReady =
        "[Usb0]\nPrinterName=Korvane USB\nStatus=0x13\n[Net0]\nIPv4=192.0.2.7\nStatus=0x13\n";
    for (const Case& c : cases) {
        for (const std::string& fleet : {std::string(kFleetText), notReady}) {
            for (const Road road : {Road::kUsb, Road::kNetwork}) {
                SCOPED_TRACE(std::string(c.name) + (fleet == notReady ? ", printer not ready" : ""));
                PinnedPackage package;
                package.MakePackage(c.mainPin, c.enginePin);
                EXPECT_EQ(package.Update(road, fleet), -1);
                EXPECT_EQ(package.notices.posted, (std::vector<std::pair<int, int>>{{255, 2}}));
                // The reason stays 2; its words say that the file does not match, and which.
                const std::wstring& problem = package.notices.problem;
                EXPECT_EQ(problem.rfind(L"the firmware file \"", 0), 0u);
                EXPECT_NE(problem.find(std::wstring(L"\\") + c.file + L"\" does not match its pin"), std::wstring::npos);
                EXPECT_EQ(package.Received(road), "");
                EXPECT_EQ(package.Transcript(road), "") << "a library call reached the printer";
            }
        }
    }
}

TEST(PinnedUpdate, OnlyPinnedFilesAreChecked) {
    // engine.bin has no key: it is sent as it is, whatever it holds.
    PinnedPackage package;
    package.MakePackage(HexDigest(kMain), "");
    EXPECT_EQ(package.Update(Road::kUsb), 1);
    EXPECT_TRUE(package.Received(Road::kUsb) == kMain + kZeroBytes + kEngine + kZeroBytes);
}

// The platform's files after a stop was asked for (Ctrl+Break, or the batch
// stopping its child): every read fails, and the opener says why.
class StoppedFiles final : public FileOpener {
public:
    std::unique_ptr<InputFile> OpenForReading(const std::wstring& path, FileSharing sharing) override {
        std::unique_ptr<InputFile> file = files_.OpenForReading(path, sharing);
        if (!file) return nullptr;
        return std::make_unique<Refusing>(std::move(file));
    }
    bool StopRequested() override { return stopped; }
    bool stopped = true;

private:
    class Refusing final : public InputFile {
    public:
        explicit Refusing(std::unique_ptr<InputFile> file) : file_(std::move(file)) {}
        int Read(void*, int) override { return -1; }
        std::int64_t Size() override { return file_->Size(); }

    private:
        std::unique_ptr<InputFile> file_;
    };
    PlatformFiles files_;
};

// A stop that comes while the pinned files are checked ends the update as a
// stop (reason 255), not as a file that differs from its pin (reason 2); a
// read that fails without a stop is still the file's fault.
TEST(PinnedUpdate, AStopDuringThePinCheckIsAStop) {
    for (const Road road : {Road::kUsb, Road::kNetwork}) {
        for (const bool stopped : {true, false}) {
            PinnedPackage package;
            package.MakePackage(HexDigest(kMain), HexDigest(kEngine));
            StoppedFiles files;
            files.stopped = stopped;
            EXPECT_EQ(package.Update(road, files), -1);
            EXPECT_EQ(package.notices.posted, (std::vector<std::pair<int, int>>{{255, stopped ? 255 : 2}}))
                << "stopped " << stopped;
            EXPECT_EQ(package.Received(road), "");
        }
    }
}

// main.bin changes after the check, while it streams: the printer library
// inverts its last byte right after the first 4096 bytes were taken. The
// printer never gets the rest of the file, and is told to abandon it.
TEST(PinnedUpdate, AFileChangedWhileItStreamsIsAbandoned) {
    const std::string change = "ChangeFile=1:main.bin\n";
    for (const Road road : {Road::kUsb, Road::kNetwork}) {
        PinnedPackage package;
        package.MakePackage(HexDigest(kMain), HexDigest(kEngine));
        EXPECT_EQ(package.Update(road, "[Usb0]\nPrinterName=Korvane USB\n" + change + "[Net0]\nIPv4=192.0.2.7\n" +
                                           change),
                  -1);
        EXPECT_NE(package.Transcript(road).find("changed file main.bin\n"), std::string::npos)
            << package.Transcript(road);
        EXPECT_EQ(package.notices.Last(), std::make_pair(255, 255));
        EXPECT_TRUE(package.Received(road) == kMain.substr(0, 4096) + kAbandonBytes)
            << "received " << package.Received(road).size() << " bytes";
    }
}

// A batch's printer gets the wizard's file choice: the per-variant file of
// an "MCUFW" entry by the printer's variant code, checked against its own
// pin; without a code, nothing at all (reason 2). "/n" keeps each entry's
// "FileName".
TEST(PrinterFileChoice, APerVariantEntrySendsTheFileOfThePrintersVariant) {
    const std::string jp = PatternBytes(700, 3), eu = PatternBytes(600, 4);
    struct Case {
        const char* name;
        const char* variant;  // nullptr: the plain choice of "/n"
        int outcome;
        std::string received;
    };
    const Case cases[] = {
        {"JP variant", "JP01", 128, kMain + kMoreBytes + jp + kZeroBytes},
        {"EU variant, its pin does not match", "EU01", 2, ""},
        {"no variant code", "", 2, ""},
        {"a variant without a file", "US01", 2, ""},
        {"plain choice", nullptr, 128, kMain + kMoreBytes + kEngine + kZeroBytes},
    };
    for (const Case& c : cases) {
        PackageFolder folder;
        folder.AddFile("main.bin", kMain);
        folder.AddFile("engine.bin", kEngine);
        folder.AddFile("mcu_jp.bin", jp);
        folder.AddFile("mcu_eu.bin", eu);
        const PackageSettings settings = folder.WriteConfig(
            "[General]\nEncoding=0\nFwCount=2\n[Granted]\nS0A*=1\n[Fw0]\nFileName=main.bin\n"
            "[Fw1]\nFileName=engine.bin\nContent=mcufw\nFileName_JP=mcu_jp.bin\nSha256_JP=" + HexDigest(jp) +
            "\nFileName_EU=mcu_eu.bin\nSha256_EU=" + HexDigest(eu + "x") + "\n");
        PlatformFiles files;
        Notices notices;
        Fleet fleet(folder.dir().path(), kFleetText);
        PlatformSleeper sleeper;
        if (c.variant) {
            PrinterEntryFiles choice(settings, files);
            EXPECT_TRUE(choice.NeedsVariantCode());
            choice.SetVariantCode(c.variant);
            UpdateViaNetwork(settings, fleet, files, sleeper, choice, L"192.0.2.7", &notices);
        } else {
            UpdateViaNetwork(settings, fleet, files, sleeper, L"192.0.2.7", &notices);
        }
        EXPECT_EQ(notices.Last(), std::make_pair(c.outcome == 128 ? 128 : 255, c.outcome == 128 ? 0 : c.outcome))
            << c.name;
        EXPECT_TRUE(ReadWholeFile(folder.dir().path() / "Net0.bin").value_or("") == c.received) << c.name;
    }
}
