// Silent updates of a package whose files are pinned to their SHA-256,
// against the simulated fleet.
#include <gtest/gtest.h>

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

    int Update(Road road, const std::string& fleetText = kFleetText) {
        Fleet fleet(folder_.dir().path(), fleetText);
        EXPECT_TRUE(fleet.scenario().problems.empty());
        return road == Road::kUsb ? UpdateViaUsb(settings_, fleet, files_, L"Korvane USB", &notices)
                                  : UpdateViaNetwork(settings_, fleet, files_, L"192.0.2.7", &notices);
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

// Damage found before the first byte: reason 2, and the printer gets nothing,
// not even the good files before the damaged one.
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
    for (const Case& c : cases) {
        for (const Road road : {Road::kUsb, Road::kNetwork}) {
            PinnedPackage package;
            package.MakePackage(c.mainPin, c.enginePin);
            EXPECT_EQ(package.Update(road), -1) << c.name;
            EXPECT_EQ(package.notices.posted, (std::vector<std::pair<int, int>>{{255, 2}})) << c.name;
            // The reason stays 2; its words say that the file does not match, and which.
            const std::wstring& problem = package.notices.problem;
            EXPECT_EQ(problem.rfind(L"the firmware file \"", 0), 0u) << c.name;
            EXPECT_NE(problem.find(std::wstring(L"\\") + c.file + L"\" does not match its pin"), std::wstring::npos)
                << c.name;
            EXPECT_EQ(package.Received(road), "") << c.name;
            EXPECT_EQ(package.Transcript(road).find("Write"), std::string::npos) << c.name << "\n"
                                                                                  << package.Transcript(road);
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
