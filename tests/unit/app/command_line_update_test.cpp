#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line_update.h"
#include "base/files.h"
#include "base/text.h"
#include "null_libraries.h"
#include "test_support.h"

namespace {

using Transcript = std::vector<std::string>;

std::string Hex(const void* bytes, int count) {
    std::string text;
    const auto* data = static_cast<const unsigned char*>(bytes);
    for (int k = 0; k < count; ++k) {
        char pair[4];
        std::snprintf(pair, sizeof pair, k ? " %02X" : "%02X", data[k]);
        text += pair;
    }
    return text;
}

// A printer behind the USB and network calls of the update. Every call, the
// notices and the files are written into one transcript, so that the order
// of releases and notices shows. Writes of up to 4 bytes (the markers) show
// their bytes.
class FakePrinter : public NullLibraries {
public:
    explicit FakePrinter(Transcript& log) : log_(log) { status.bytes[PrinterStatusBlock::kStateCodeOffset] = 0x0A; }

    bool opens = true;
    int statusResult = 1;
    PrinterStatusBlock status;
    std::vector<bool> connects;  // per connect attempt; missing entries succeed
    // Result of write number n (counted from 0) of `count` bytes.
    std::function<int(int n, int count)> writeResult = [](int, int count) { return count; };
    bool quiet = false;  // keeps no transcript or bytes of writes, for long files

    std::string received;
    int writes = 0;

    void* USBConnectByPrinterName(const wchar_t* name) override {
        log_.push_back("usb-connect " + ToEightBit(name));
        return opens ? &handle_ : nullptr;
    }
    int USBReadStatus(const wchar_t* name, PrinterStatusBlock* out) override {
        log_.push_back("usb-status " + ToEightBit(name));
        *out = status;
        return statusResult;
    }
    int USBWrite(void* connection, const void* bytes, int count) override {
        EXPECT_EQ(connection, &handle_);
        return Write(bytes, count);
    }
    int USBDisconnect(void* connection) override {
        EXPECT_EQ(connection, &handle_);
        log_.push_back("usb-disconnect");
        return 1;
    }

    bool HasNetworkLibrary() const override { return true; }
    int NetworkReadStatusV3(const char* address, const char* community, int mode,
                            PrinterStatusBlock* out) override {
        log_.push_back("net-status " + std::string(address) + " " + community + " " + std::to_string(mode));
        *out = status;
        return statusResult;
    }
    NetHandle NetworkConnectNonBlock(const char* address, int port, int timeout) override {
        log_.push_back("net-connect " + std::string(address) + " " + std::to_string(port) + " " +
                       std::to_string(timeout));
        const std::size_t attempt = attempts_++;
        return attempt < connects.size() && !connects[attempt] ? kNoNetHandle : kHandle;
    }
    int NetworkWrite(NetHandle handle, const void* bytes, int count) override {
        EXPECT_EQ(handle, kHandle);
        return Write(bytes, count);
    }
    int NetworkClose(NetHandle handle) override {
        EXPECT_EQ(handle, kHandle);
        log_.push_back("net-close");
        return 1;
    }

private:
    static constexpr NetHandle kHandle = 7;

    int Write(const void* bytes, int count) {
        const int result = writeResult(writes++, count);
        if (quiet) return result;
        log_.push_back("write " + std::to_string(count) + (count > 0 && count <= 4 ? ": " + Hex(bytes, count) : ""));
        if (result > 0)
            received.append(static_cast<const char*>(bytes), static_cast<std::size_t>(std::min(result, count)));
        return result;
    }

    Transcript& log_;
    int handle_ = 0;
    std::size_t attempts_ = 0;
};

class RecordedNotices final : public CallerNotices {
public:
    explicit RecordedNotices(Transcript& log) : log_(log) {}
    void Post(int code, int value) override {
        log_.push_back("notice " + std::to_string(code) + " " + std::to_string(value));
    }
    void Problem(const std::wstring& words) override { log_.push_back("problem " + ToUtf8(words)); }

private:
    Transcript& log_;
};

// The real files of a package folder; opening and closing go into the
// transcript under the file's name.
class RecordedFiles final : public FileOpener {
public:
    explicit RecordedFiles(Transcript& log) : log_(log) {}

    // Runs before every read of a file with its name and the read's number
    // (from 0); a result other than nullopt is returned instead of reading.
    std::function<std::optional<int>(const std::string& name, int read)> beforeRead;

    std::unique_ptr<InputFile> OpenForReading(const std::wstring& path, FileSharing sharing) override {
        EXPECT_EQ(sharing, FileSharing::ReadWrite);
        const std::string name = ToEightBit(path.substr(path.rfind(L'\\') + 1));
        std::unique_ptr<InputFile> file = files_.OpenForReading(path, sharing);
        log_.push_back((file ? "open " : "open-failed ") + name);
        if (!file) return nullptr;
        return std::make_unique<Closing>(std::move(file), name, *this);
    }

private:
    class Closing final : public InputFile {
    public:
        Closing(std::unique_ptr<InputFile> inner, std::string name, RecordedFiles& files)
            : inner_(std::move(inner)), name_(std::move(name)), files_(files) {}
        ~Closing() override { files_.log_.push_back("close " + name_); }
        int Read(void* buffer, int count) override {
            const int read = reads_++;
            if (files_.beforeRead)
                if (const std::optional<int> result = files_.beforeRead(name_, read)) return *result;
            return inner_->Read(buffer, count);
        }
        std::int64_t Size() override { return inner_->Size(); }

    private:
        std::unique_ptr<InputFile> inner_;
        std::string name_;
        RecordedFiles& files_;
        int reads_ = 0;
    };

    PlatformFiles files_;
    Transcript& log_;
};

const std::string kZeroMarker("\0\0\0\0", 4);
const std::string kMoreMarker("\xAA\x55\x55\xAA", 4);
const std::string kAbandonMarker("\xFF\xFF\xFF\xFF", 4);

// Virtual time for the pauses between marker writes.
class VirtualClock final : public Sleeper {
public:
    std::vector<int> sleeps;
    void SleepMs(int milliseconds) override { sleeps.push_back(milliseconds); }
};

// A package folder whose "Granted" section grants state 0x0A.
class CommandLineUpdate : public ::testing::Test {
protected:
    // files: name and size of each entry, in order; size -1 leaves the file out.
    void MakePackage(const std::vector<std::pair<std::string, int>>& files) {
        std::string ini = "[General]\nEncoding=0\nFwCount=" + std::to_string(files.size()) + "\n[Granted]\nS0A*=1\n";
        for (std::size_t i = 0; i < files.size(); ++i) {
            ini += "[Fw" + std::to_string(i) + "]\nFileName=" + files[i].first + "\n";
            if (files[i].second >= 0)
                folder_.AddPatternFile(files[i].first, static_cast<std::size_t>(files[i].second),
                                       static_cast<unsigned>(i + 1));
        }
        settings_ = folder_.WriteConfig(ini);
    }

    int Usb(const std::wstring& name = L"Korvane USB") {
        return UpdateViaUsb(settings_, printer_, files_, name, &notices_);
    }
    int Network(const std::wstring& address = L"192.0.2.7") {
        return UpdateViaNetwork(settings_, printer_, files_, clock_, address, &notices_);
    }
    std::filesystem::path PathOf(const std::string& name) const { return folder_.dir().path() / name; }
    // The transcript after the checks that come before any library call
    // (the description and each entry's file opened and closed again; the
    // refusals test them), from the first call or notice on.
    Transcript AfterChecks() const {
        auto first = std::find_if(log_.begin(), log_.end(), [](const std::string& line) {
            return line.rfind("open", 0) != 0 && line.rfind("close", 0) != 0;
        });
        return Transcript(first, log_.end());
    }
    // The transcript without the opening and closing of files.
    Transcript Calls() const {
        Transcript calls;
        for (const std::string& line : log_)
            if (line.rfind("open", 0) != 0 && line.rfind("close", 0) != 0) calls.push_back(line);
        return calls;
    }

    Transcript log_;
    FakePrinter printer_{log_};
    RecordedNotices notices_{log_};
    RecordedFiles files_{log_};
    VirtualClock clock_;
    PackageFolder folder_;
    PackageSettings settings_;
};

TEST_F(CommandLineUpdate, UsbSendsEveryFileInChunksWithZeroMarkersOverOneConnection) {
    MakePackage({{"main.bin", 5000}, {"engine.bin", 3000}});
    EXPECT_EQ(Usb(), 1);
    // Every file is opened before the first byte goes out.
    EXPECT_EQ(AfterChecks(), (Transcript{"usb-connect Korvane USB", "usb-status Korvane USB", "open main.bin",
                                "open engine.bin", "write 4096", "notice 1 40", "write 904", "notice 1 50",
                                "close main.bin", "write 4: 00 00 00 00", "write 3000", "notice 1 100",
                                "close engine.bin", "write 4: 00 00 00 00", "usb-disconnect", "notice 128 0"}));
    EXPECT_EQ(printer_.received, PatternBytes(5000, 1) + kZeroMarker + PatternBytes(3000, 2) + kZeroMarker);
}

TEST_F(CommandLineUpdate, NetworkMakesOneConnectionPerEntryAndMarksTheFilesBetween) {
    MakePackage({{"main.bin", 5000}, {"engine.bin", 3000}});
    EXPECT_EQ(Network(), 1);
    EXPECT_EQ(AfterChecks(), (Transcript{"net-status 192.0.2.7 meadow 3", "net-connect 192.0.2.7 9100 300000",
                                "open main.bin", "open engine.bin", "write 4096", "notice 1 40", "write 904",
                                "notice 1 50", "close main.bin", "write 4: AA 55 55 AA", "net-close",
                                "net-connect 192.0.2.7 9100 300000", "write 3000",
                                "notice 1 100", "close engine.bin", "write 4: 00 00 00 00", "net-close",
                                "notice 128 0"}));
    EXPECT_EQ(printer_.received, PatternBytes(5000, 1) + kMoreMarker + PatternBytes(3000, 2) + kZeroMarker);
}

TEST_F(CommandLineUpdate, FileOfWholeChunksEndsWithAnEmptyWriteAndProgressIsNotRepeated) {
    MakePackage({{"main.bin", 8192}});
    EXPECT_EQ(Usb(), 1);
    EXPECT_EQ(AfterChecks(), (Transcript{"usb-connect Korvane USB", "usb-status Korvane USB", "open main.bin", "write 4096",
                                "notice 1 50", "write 4096", "notice 1 100", "write 0", "close main.bin",
                                "write 4: 00 00 00 00", "usb-disconnect", "notice 128 0"}));
}

TEST_F(CommandLineUpdate, ProgressDropsRemaindersSoThreeEntriesEndAt99) {
    MakePackage({{"a.bin", 100}, {"b.bin", 100}, {"c.bin", 100}});
    EXPECT_EQ(Network(), 1);
    Transcript notices;
    for (const std::string& line : log_)
        if (line.rfind("notice", 0) == 0) notices.push_back(line);
    EXPECT_EQ(notices, (Transcript{"notice 1 33", "notice 1 66", "notice 1 99", "notice 128 0"}));
}

// A stated "FileSize" lets an empty file through, as the wizard's readiness
// rule does; it then counts as complete for its share.
TEST_F(CommandLineUpdate, EmptyFileWithAStatedSizeCountsAsCompleteForItsShare) {
    folder_.AddPatternFile("empty.bin", 0, 1);
    folder_.AddPatternFile("main.bin", 3000, 2);
    settings_ = folder_.WriteConfig("[General]\nEncoding=0\nFwCount=2\n[Granted]\nS0A*=1\n"
                                    "[Fw0]\nFileName=empty.bin\nFileSize=10\n[Fw1]\nFileName=main.bin\n");
    EXPECT_EQ(Usb(), 1);
    EXPECT_EQ(Calls(), (Transcript{"usb-connect Korvane USB", "usb-status Korvane USB", "write 0", "notice 1 50",
                                   "write 4: 00 00 00 00", "write 3000", "notice 1 100", "write 4: 00 00 00 00",
                                   "usb-disconnect", "notice 128 0"}));
}

// What is refused before any library call keeps the reason the program's checks in their
// usual order would give (or the one of the call it spares) and says why in words.
TEST_F(CommandLineUpdate, RefusalsComeBeforeAnyLibraryCallAndSayWhy) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::wstring printer;
        int reason;
        std::string words;      // part of the refusal's words
        bool networkToo = true; // the network road refuses it as well
    };
    const Case cases[] = {
        {"empty file",
         [this] { MakePackage({{"main.bin", 3000}, {"empty.bin", 0}}); }, L"Korvane USB", 2,
         "empty.bin\" is empty"},
        {"description missing",
         [this] {
             MakePackage({{"main.bin", 3000}});
             settings_.ConfigPath = settings_.ModuleDir + L"\\Update2.cfg";
         },
         L"Korvane USB", 4, "the package description \""},
        {"name the code page cannot hold",
         [this] { MakePackage({{"main.bin", 3000}}); },
         L"\u4E8B\u52D9\u6240\u306E\u30D7\u30EA\u30F3\u30BF", 1,
         "cannot be passed to the maker's library on this system", false},
    };
    for (const Case& c : cases) {
        for (const bool usb : {true, false}) {
            if (!usb && !c.networkToo) continue;
            log_.clear();
            c.arrange();
            EXPECT_EQ(usb ? Usb(c.printer) : Network(), -1) << c.name;
            const Transcript calls = Calls();
            ASSERT_EQ(calls.size(), 2u) << c.name << ": " << ::testing::PrintToString(calls);
            EXPECT_EQ(calls[0].rfind("problem ", 0), 0u) << c.name;
            EXPECT_NE(calls[0].find(c.words), std::string::npos) << c.name << ": " << calls[0];
            EXPECT_EQ(calls[1], "notice 255 " + std::to_string(c.reason)) << c.name;
            EXPECT_EQ(printer_.received, "") << c.name;
        }
    }
    // Only the road that hands a name to the library asks for it.
    log_.clear();
    MakePackage({{"main.bin", 3000}});
    EXPECT_EQ(Usb(L"Korvane Laser 7000 (B\u00FCro)"), 1);
    EXPECT_EQ(Calls().back(), "notice 128 0");
}

// A count far past the limit must neither hang the update nor reach a
// printer: the package is refused as the wizard refuses it.
TEST_F(CommandLineUpdate, PackageClaimingMoreEntriesThanTheLimitReachesNoPrinter) {
    settings_ = folder_.WriteConfig("[General]\nEncoding=0\nFwCount=100000000\n[Fw0]\nFileName=main.bin\n");
    folder_.AddPatternFile("main.bin", 100, 1);
    EXPECT_EQ(Usb(), -1);
    EXPECT_EQ(Network(), -1);
    EXPECT_EQ(Calls(), (Transcript{"problem the package has more than 64 firmware entries", "notice 255 2",
                                   "problem the package has more than 64 firmware entries", "notice 255 2"}));
}

TEST_F(CommandLineUpdate, EmptyPackageOpensAndClosesTheUsbPrinterWithoutData) {
    MakePackage({});
    EXPECT_EQ(Usb(), 1);
    EXPECT_EQ(AfterChecks(), (Transcript{"usb-connect Korvane USB", "usb-status Korvane USB", "usb-disconnect",
                                "notice 128 0"}));
    log_.clear();
    EXPECT_EQ(Network(), 1);
    EXPECT_EQ(AfterChecks(), (Transcript{"net-status 192.0.2.7 meadow 3", "notice 128 0"}));
}

// Each failure releases what was open before its one final notice.
struct UsbFailure {
    const char* name;
    std::function<void(FakePrinter&)> arrange;
    int firstFileSize;  // -1: the first file is missing
    Transcript expected;
    int secondFileSize = 20;
};

class UsbFailures : public CommandLineUpdate, public ::testing::WithParamInterface<UsbFailure> {};

TEST_P(UsbFailures, ReleaseEverythingBeforeTheFailureNotice) {
    const UsbFailure& failure = GetParam();
    MakePackage({{"main.bin", failure.firstFileSize}, {"engine.bin", failure.secondFileSize}});
    failure.arrange(printer_);
    EXPECT_EQ(Usb(), -1);
    EXPECT_EQ(AfterChecks(), failure.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsbFailures,
    ::testing::Values(
        UsbFailure{"PrinterNotOpened", [](FakePrinter& p) { p.opens = false; }, 10,
                   {"usb-connect Korvane USB", "notice 255 1"}},
        UsbFailure{"StatusNotRead", [](FakePrinter& p) { p.statusResult = 0; }, 10,
                   {"usb-connect Korvane USB", "usb-status Korvane USB", "usb-disconnect", "notice 255 4"}},
        UsbFailure{"NotGranted",
                   [](FakePrinter& p) { p.status.bytes[PrinterStatusBlock::kStateCodeOffset] = 0x0B; }, 10,
                   {"usb-connect Korvane USB", "usb-status Korvane USB", "usb-disconnect", "notice 255 4"}},
        // Nothing is sent of a package that cannot be sent whole.
        UsbFailure{"SecondFileMissing", [](FakePrinter&) {}, 10,
                   {"usb-connect Korvane USB", "usb-status Korvane USB", "open main.bin", "open-failed engine.bin",
                    "close main.bin", "usb-disconnect", "notice 255 2"},
                   -1},
        // A printer that did not take a file whole is told to drop the
        // update: the abandon marker, never the zero marker.
        UsbFailure{"ShortDataWrite",
                   [](FakePrinter& p) { p.writeResult = [](int n, int count) { return n == 1 ? count - 1 : count; }; },
                   5000,
                   {"usb-connect Korvane USB", "usb-status Korvane USB", "open main.bin", "open engine.bin",
                    "write 4096", "notice 1 40", "write 904", "close main.bin", "write 4: FF FF FF FF",
                    "close engine.bin", "usb-disconnect", "notice 255 255"}},
        UsbFailure{"DataWriteFails",
                   [](FakePrinter& p) { p.writeResult = [](int n, int count) { return n == 0 ? -1 : count; }; },
                   5000,
                   {"usb-connect Korvane USB", "usb-status Korvane USB", "open main.bin", "open engine.bin",
                    "write 4096", "close main.bin", "write 4: FF FF FF FF", "close engine.bin", "usb-disconnect",
                    "notice 255 255"}},
        UsbFailure{"EmptyWriteNotReportedAsEmpty",
                   [](FakePrinter& p) { p.writeResult = [](int, int count) { return count == 0 ? -1 : count; }; },
                   4096,
                   {"usb-connect Korvane USB", "usb-status Korvane USB", "open main.bin", "open engine.bin",
                    "write 4096", "notice 1 50", "write 0", "close main.bin", "write 4: FF FF FF FF",
                    "close engine.bin", "usb-disconnect", "notice 255 255"}},
        UsbFailure{"MarkerNotTaken",
                   [](FakePrinter& p) { p.writeResult = [](int n, int count) { return n == 1 ? 2 : count; }; }, 10,
                   {"usb-connect Korvane USB", "usb-status Korvane USB", "open main.bin", "open engine.bin",
                    "write 10", "notice 1 50", "close main.bin", "write 4: 00 00 00 00", "close engine.bin",
                    "usb-disconnect", "notice 255 255"}}),
    [](const ::testing::TestParamInfo<UsbFailure>& info) { return info.param.name; });

struct NetworkFailure {
    const char* name;
    std::function<void(FakePrinter&)> arrange;
    Transcript expected;
};

class NetworkFailures : public CommandLineUpdate, public ::testing::WithParamInterface<NetworkFailure> {};

TEST_P(NetworkFailures, ReleaseEverythingBeforeTheFailureNotice) {
    const NetworkFailure& failure = GetParam();
    MakePackage({{"main.bin", 10}, {"engine.bin", 20}});
    failure.arrange(printer_);
    EXPECT_EQ(Network(), -1);
    EXPECT_EQ(AfterChecks(), failure.expected);
}

const char kConnect[] = "net-connect 192.0.2.7 9100 300000";

INSTANTIATE_TEST_SUITE_P(
    Cases, NetworkFailures,
    ::testing::Values(
        NetworkFailure{"StatusNotRead", [](FakePrinter& p) { p.statusResult = 0; },
                       {"net-status 192.0.2.7 meadow 3", "notice 255 4"}},
        NetworkFailure{"NotGranted",
                       [](FakePrinter& p) { p.status.bytes[PrinterStatusBlock::kStateCodeOffset] = 0x0B; },
                       {"net-status 192.0.2.7 meadow 3", "notice 255 4"}},
        NetworkFailure{"FirstConnectRefusedWithoutRetry", [](FakePrinter& p) { p.connects = {false}; },
                       {"net-status 192.0.2.7 meadow 3", kConnect, "notice 255 1"}},
        NetworkFailure{"SecondConnectRefused", [](FakePrinter& p) { p.connects = {true, false}; },
                       {"net-status 192.0.2.7 meadow 3", kConnect, "open main.bin", "open engine.bin", "write 10",
                        "notice 1 50", "close main.bin", "write 4: AA 55 55 AA", "net-close", kConnect,
                        "close engine.bin", "notice 255 1"}},
        NetworkFailure{"DataWriteFails",
                       [](FakePrinter& p) { p.writeResult = [](int n, int count) { return n == 2 ? -1 : count; }; },
                       {"net-status 192.0.2.7 meadow 3", kConnect, "open main.bin", "open engine.bin", "write 10",
                        "notice 1 50", "close main.bin", "write 4: AA 55 55 AA", "net-close", kConnect, "write 20",
                        "close engine.bin", "net-close", "notice 255 255"}},
        NetworkFailure{"MarkerWriteFails",
                       [](FakePrinter& p) { p.writeResult = [](int n, int count) { return n == 1 ? -1 : count; }; },
                       {"net-status 192.0.2.7 meadow 3", kConnect, "open main.bin", "open engine.bin", "write 10",
                        "notice 1 50", "close main.bin", "write 4: AA 55 55 AA", "net-close", "close engine.bin",
                        "notice 255 255"}},
        // A library that claims more bytes than it was given took an unknown part.
        NetworkFailure{"MarkerWriteClaimsMoreThanGiven",
                       [](FakePrinter& p) { p.writeResult = [](int n, int count) { return n == 1 ? 5 : count; }; },
                       {"net-status 192.0.2.7 meadow 3", kConnect, "open main.bin", "open engine.bin", "write 10",
                        "notice 1 50", "close main.bin", "write 4: AA 55 55 AA", "net-close", "close engine.bin",
                        "notice 255 255"}},
        NetworkFailure{"MarkerFailsAfterAPartialWrite",
                       [](FakePrinter& p) {
                           p.writeResult = [](int n, int count) { return n == 1 ? 1 : n == 2 ? -5 : count; };
                       },
                       {"net-status 192.0.2.7 meadow 3", kConnect, "open main.bin", "open engine.bin", "write 10",
                        "notice 1 50", "close main.bin", "write 4: AA 55 55 AA", "write 3: 55 55 AA", "net-close",
                        "close engine.bin", "notice 255 255"}}),
    [](const ::testing::TestParamInfo<NetworkFailure>& info) { return info.param.name; });

TEST_F(CommandLineUpdate, NetworkFileMissingClosesItsConnection) {
    MakePackage({{"main.bin", -1}});
    EXPECT_EQ(Network(), -1);
    EXPECT_EQ(AfterChecks(), (Transcript{"net-status 192.0.2.7 meadow 3", kConnect, "open-failed main.bin", "net-close",
                                "notice 255 2"}));
}

TEST_F(CommandLineUpdate, NetworkMarkerTakenInPiecesIsCompleted) {
    MakePackage({{"main.bin", 10}});
    printer_.writeResult = [](int n, int count) { return n == 1 ? 2 : n == 2 ? 0 : count; };
    EXPECT_EQ(Network(), 1);
    EXPECT_EQ(AfterChecks(), (Transcript{"net-status 192.0.2.7 meadow 3", kConnect, "open main.bin", "write 10",
                                "notice 1 100", "close main.bin", "write 4: 00 00 00 00", "write 2: 00 00",
                                "write 2: 00 00", "net-close", "notice 128 0"}));
    EXPECT_EQ(printer_.received, PatternBytes(10, 1) + kZeroMarker);
}

// Writes of the marker that take nothing are 25 ms apart; the marker is
// given up only after two seconds without progress.
TEST_F(CommandLineUpdate, NetworkMarkerThatIsNeverTakenIsGivenUp) {
    MakePackage({{"main.bin", 10}});
    printer_.writeResult = [](int n, int count) { return n == 0 ? count : 0; };
    EXPECT_EQ(Network(), -1);
    EXPECT_EQ(printer_.writes, 1 + 81);
    EXPECT_EQ(clock_.sleeps, std::vector<int>(80, 25));
    ASSERT_GE(log_.size(), 2u);
    EXPECT_EQ(log_[log_.size() - 2], "net-close");
    EXPECT_EQ(log_.back(), "notice 255 255");
}

TEST_F(CommandLineUpdate, NetworkMarkerWaitsForAFullSendBuffer) {
    MakePackage({{"main.bin", 10}});
    printer_.quiet = true;
    printer_.writeResult = [](int n, int count) { return n >= 1 && n <= 80 ? 0 : count; };
    EXPECT_EQ(Network(), 1);
    EXPECT_EQ(printer_.writes, 1 + 80 + 1);
    EXPECT_EQ(clock_.sleeps, std::vector<int>(80, 25));
    EXPECT_EQ(log_.back(), "notice 128 0");
}

// A file that does not yield the size it had when opened (a failed read, a
// read that ends early, a file shortened by another program while it is
// sent) is a failed send: no zero marker for it, the abandon marker on the
// connection, and (255, 255).
TEST_F(CommandLineUpdate, AFileThatCannotBeReadWholeIsAFailedSend) {
    struct Case {
        const char* name;
        const char* file;
        int read;
        int result;  // -2: the file is cut to 4500 bytes before the read
        Transcript usb;
        Transcript network;
        std::string usbBytes;
        std::string networkBytes;
    };
    const std::string firstChunk = PatternBytes(5000, 1).substr(0, 4096);
    const Transcript firstUsb{"usb-connect Korvane USB", "usb-status Korvane USB", "open main.bin",
                              "open engine.bin", "write 4096", "notice 1 40", "close main.bin", "write 4: FF FF FF FF",
                              "close engine.bin", "usb-disconnect", "notice 255 255"};
    const Transcript firstNetwork{"net-status 192.0.2.7 meadow 3", kConnect, "open main.bin", "open engine.bin",
                                  "write 4096", "notice 1 40", "close main.bin", "write 4: FF FF FF FF",
                                  "net-close", "close engine.bin", "notice 255 255"};
    const Case cases[] = {
        {"read fails", "main.bin", 1, -1, firstUsb, firstNetwork, firstChunk + kAbandonMarker,
         firstChunk + kAbandonMarker},
        {"read ends early", "main.bin", 1, 0, firstUsb, firstNetwork, firstChunk + kAbandonMarker,
         firstChunk + kAbandonMarker},
        {"file cut while sent", "main.bin", 1, -2, firstUsb, firstNetwork, firstChunk + kAbandonMarker,
         firstChunk + kAbandonMarker},
        // The printer was told that another file follows.
        {"second file fails",
         "engine.bin",
         0,
         -1,
         {"usb-connect Korvane USB", "usb-status Korvane USB", "open main.bin", "open engine.bin", "write 4096",
          "notice 1 40", "write 904", "notice 1 50", "close main.bin", "write 4: 00 00 00 00", "close engine.bin",
          "write 4: FF FF FF FF", "usb-disconnect", "notice 255 255"},
         {"net-status 192.0.2.7 meadow 3", kConnect, "open main.bin", "open engine.bin", "write 4096", "notice 1 40",
          "write 904", "notice 1 50", "close main.bin", "write 4: AA 55 55 AA", "net-close", kConnect,
          "close engine.bin", "write 4: FF FF FF FF", "net-close", "notice 255 255"},
         PatternBytes(5000, 1) + kZeroMarker + kAbandonMarker,
         PatternBytes(5000, 1) + kMoreMarker + kAbandonMarker},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool usb : {true, false}) {
            MakePackage({{"main.bin", 5000}, {"engine.bin", 3000}});
            log_.clear();
            printer_.received.clear();
            files_.beforeRead = [this, &c](const std::string& name, int read) -> std::optional<int> {
                if (name != c.file || read != c.read) return std::nullopt;
                if (c.result != -2) return c.result;
                std::filesystem::resize_file(PathOf(name), 4500);
                return std::nullopt;
            };
            EXPECT_EQ(usb ? Usb() : Network(), -1);
            EXPECT_EQ(AfterChecks(), usb ? c.usb : c.network);
            EXPECT_EQ(printer_.received, usb ? c.usbBytes : c.networkBytes);
        }
    }
}

TEST_F(CommandLineUpdate, NetworkAddressIsPassedAsEightBitText) {
    MakePackage({});
    EXPECT_EQ(Network(L"fe80::211:22ff:fe33:4455%11"), 1);
    EXPECT_EQ(AfterChecks().front(), "net-status fe80::211:22ff:fe33:4455%11 meadow 3");
}

TEST_F(CommandLineUpdate, RunsWithoutACallerWindow) {
    MakePackage({{"main.bin", 5000}});
    EXPECT_EQ(UpdateViaUsb(settings_, printer_, files_, L"Korvane USB", nullptr), 1);
    EXPECT_EQ(UpdateViaNetwork(settings_, printer_, files_, L"192.0.2.7", nullptr), 1);
    for (const std::string& line : log_) EXPECT_NE(line.rfind("notice", 0), 0u) << line;
}

TEST_F(CommandLineUpdate, MissingLibrariesFailAtTheFirstCall) {
    MakePackage({{"main.bin", 10}});
    const LibraryTable unbound;
    BoundLibraries libraries(unbound);
    EXPECT_EQ(UpdateViaUsb(settings_, libraries, files_, L"Korvane USB", &notices_), -1);
    EXPECT_EQ(UpdateViaNetwork(settings_, libraries, files_, L"192.0.2.7", &notices_), -1);
    EXPECT_EQ(Calls(), (Transcript{"notice 255 1", "notice 255 4"}));
}

// A file of several hundred megabytes that is never stored: reads yield
// whole chunks until its size is reached.
class HugeFiles final : public FileOpener {
public:
    static constexpr std::int64_t kSize = 700LL * 1024 * 1024 + 123;
    std::unique_ptr<InputFile> OpenForReading(const std::wstring&, FileSharing) override {
        return std::make_unique<Huge>();
    }

private:
    class Huge final : public InputFile {
    public:
        int Read(void*, int count) override {
            const std::int64_t left = kSize - offset_;
            const int got = static_cast<int>(left < count ? left : count);
            offset_ += got;
            return got;
        }
        std::int64_t Size() override { return kSize; }

    private:
        std::int64_t offset_ = 0;
    };
};

TEST_F(CommandLineUpdate, ProgressOfHugeFilesRisesOnceThroughEveryPercent) {
    MakePackage({{"huge.bin", -1}});
    printer_.quiet = true;
    HugeFiles files;
    EXPECT_EQ(UpdateViaUsb(settings_, printer_, files, L"Korvane USB", &notices_), 1);
    Transcript expected{"usb-connect Korvane USB", "usb-status Korvane USB"};
    for (int percent = 0; percent <= 100; ++percent) expected.push_back("notice 1 " + std::to_string(percent));
    expected.insert(expected.end(), {"usb-disconnect", "notice 128 0"});
    EXPECT_EQ(AfterChecks(), expected);
}

}  // namespace

namespace {

// Held awake from before the first call to the printer until the final
// notice has gone, whichever way the update ends.
class RecordedPower final : public PowerRequests {
public:
    explicit RecordedPower(Transcript& log) : log_(log) {}
    void KeepSystemAwake() override { log_.push_back("awake"); }
    void AllowSleep() override { log_.push_back("sleep allowed"); }

private:
    Transcript& log_;
};

TEST_F(CommandLineUpdate, SystemStaysAwakeUntilTheFinalNoticeOnEveryPath) {
    struct Case {
        const char* name;
        bool usb;
        std::function<void(FakePrinter&)> arrange;
        const char* finalNotice;
    };
    const Case cases[] = {
        {"usb done", true, [](FakePrinter&) {}, "notice 128 0"},
        {"usb not opened", true, [](FakePrinter& p) { p.opens = false; }, "notice 255 1"},
        {"usb send failed", true, [](FakePrinter& p) { p.writeResult = [](int, int) { return -1; }; }, "notice 255 255"},
        {"network done", false, [](FakePrinter&) {}, "notice 128 0"},
        {"network refused", false, [](FakePrinter& p) { p.connects = {false}; }, "notice 255 1"},
    };
    MakePackage({{"main.bin", 5000}});
    RecordedPower power(log_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log_.clear();
        FakePrinter printer(log_);
        c.arrange(printer);
        if (c.usb)
            UpdateViaUsb(settings_, printer, files_, L"Korvane USB", &notices_, power);
        else
            UpdateViaNetwork(settings_, printer, files_, L"192.0.2.7", &notices_, power);
        ASSERT_GE(log_.size(), 3u);
        EXPECT_EQ(log_.front(), "awake");
        EXPECT_EQ(log_[log_.size() - 2], c.finalNotice);
        EXPECT_EQ(log_.back(), "sleep allowed");
        EXPECT_EQ(std::count(log_.begin(), log_.end(), "awake"), 1);
    }
}

}  // namespace
