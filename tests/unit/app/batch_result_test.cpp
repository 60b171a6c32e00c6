#include <gtest/gtest.h>

#include <string>

#include "app/batch_result.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <cstdint>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "test_support.h"

namespace {

TEST(BatchResult, WritesPackageSettingsAndEveryPrinter) {
    BatchReport report;
    report.package = {L"Korvane Laser 7000", L"Tessaro", {{L"main.bin", L"01.10.00"}, {L"engine.bin", L"00.02.00"}}};
    report.parallel = 8;
    report.waitSeconds = 30;
    BatchPrinterResult updated({BatchRoad::kNetwork, L"192.0.2.7"}, BatchOutcome::kUpdated, 0);
    updated.startMs = 1796917082250;  // 2026-12-10T15:38:02.250Z
    updated.endMs = updated.startMs.value() + 12345;
    updated.elapsedMs = 12345;
    updated.firmwareBefore = L"1.00";
    updated.firmwareAfter = L"1.10";
    updated.ready = true;
    BatchPrinterResult failed({BatchRoad::kUsb, L"Office \"A\""}, BatchOutcome::kFailed, 255);
    failed.problem = L"the printer reports update fault 016-501";
    failed.startMs = failed.endMs = 1796917082250;
    failed.elapsedMs = 0;
    failed.log = L"C:\\logs\\run-1.log";
    // Sent, waiting for its restart: no end yet.
    BatchPrinterResult restarting({BatchRoad::kNetwork, L"10.0.0.8"}, BatchOutcome::kRestarting, 0);
    restarting.startMs = 1796917082250;
    restarting.firmwareBefore = L"1.00";
    restarting.ready.reset();
    report.printers = {updated, failed, restarting, BatchPrinterResult({BatchRoad::kNetwork, L"10.0.0.9"})};

    EXPECT_EQ(FormatBatchResult(report),
              "{\n"
              "  \"package\": {\"model\": \"Korvane Laser 7000\", \"module\": \"Tessaro\", \"entries\": [\n"
              "    {\"file\": \"main.bin\", \"version\": \"01.10.00\"},\n"
              "    {\"file\": \"engine.bin\", \"version\": \"00.02.00\"}\n"
              "  ]},\n"
              "  \"signature\": null,\n"
              "  \"settings\": {\"parallel\": 8, \"wait\": 30},\n"
              "  \"printers\": [\n"
              "    {\"target\": \"192.0.2.7\", \"port\": \"net\",\n"
              "     \"outcome\": \"updated\", \"reason\": 0, \"problem\": null,\n"
              "     \"start\": \"2026-12-10T15:38:02.250Z\", \"end\": \"2026-12-10T15:38:14.595Z\", \"seconds\": 12.3,\n"
              "     \"firmwareBefore\": \"1.00\", \"firmwareAfter\": \"1.10\", \"ready\": true,\n"
              "     \"log\": null},\n"
              "    {\"target\": \"Office \\\"A\\\"\", \"port\": \"usb\",\n"
              "     \"outcome\": \"failed\", \"reason\": 255, \"problem\": \"the printer reports update fault 016-501\",\n"
              "     \"start\": \"2026-12-10T15:38:02.250Z\", \"end\": \"2026-12-10T15:38:02.250Z\", \"seconds\": 0.0,\n"
              "     \"firmwareBefore\": null, \"firmwareAfter\": null, \"ready\": false,\n"
              "     \"log\": \"C:\\\\logs\\\\run-1.log\"},\n"
              "    {\"target\": \"10.0.0.8\", \"port\": \"net\",\n"
              "     \"outcome\": \"restarting\", \"reason\": 0, \"problem\": null,\n"
              "     \"start\": \"2026-12-10T15:38:02.250Z\", \"end\": null, \"seconds\": null,\n"
              "     \"firmwareBefore\": \"1.00\", \"firmwareAfter\": null, \"ready\": null,\n"
              "     \"log\": null},\n"
              "    {\"target\": \"10.0.0.9\", \"port\": \"net\",\n"
              "     \"outcome\": \"not-started\", \"reason\": 0, \"problem\": null,\n"
              "     \"start\": null, \"end\": null, \"seconds\": null,\n"
              "     \"firmwareBefore\": null, \"firmwareAfter\": null, \"ready\": false,\n"
              "     \"log\": null}\n"
              "  ]\n"
              "}\n");
}

TEST(BatchResult, NamesARefusedListAndNoPrinters) {
    BatchReport report;
    report.listError = BatchListError{2, L"nett 1.2.3.4", L"unknown keyword"};
    EXPECT_EQ(FormatBatchResult(report),
              "{\n  \"package\": {\"model\": \"\", \"module\": \"\", \"entries\": []},\n"
              "  \"signature\": null,\n"
              "  \"settings\": {\"parallel\": 4, \"wait\": 600},\n"
              "  \"listError\": {\"line\": 2, \"text\": \"nett 1.2.3.4\", \"problem\": \"unknown keyword\"},\n"
              "  \"printers\": []\n}\n");
}

TEST(BatchResult, EscapesEveryTextIntoValidUtf8) {
    EXPECT_EQ(JsonString(L"a\"b\\c\nd\te\x01\x7F"), "\"a\\\"b\\\\c\\nd\\te\\u0001\\u007f\"");
    EXPECT_EQ(JsonString(L"\u00E9\u53F0"), "\"\xC3\xA9\xE5\x8F\xB0\"");
    // A pair of UTF-16 halves is one character; a lone half stays as an escape.
    EXPECT_EQ(JsonString(std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)}),
              "\"\xF0\x9F\x98\x80\"");
    EXPECT_EQ(JsonString(std::wstring{static_cast<wchar_t>(0xD800), L'x'}), "\"\\ud800x\"");
}

TEST(BatchResult, TellsUtcTimes) {
    EXPECT_EQ(IsoUtcTime(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(IsoUtcTime(951782400000), "2000-02-29T00:00:00.000Z");
    EXPECT_EQ(IsoUtcTime(1796917082250), "2026-12-10T15:38:02.250Z");
    EXPECT_EQ(IsoUtcTime(-1), "1969-12-31T23:59:59.999Z");
}

}  // namespace

namespace {

TEST(BatchResult, SaysEachFinishedPrinterInOneLine) {
    BatchPrinterResult updated({BatchRoad::kNetwork, L"192.0.2.7"}, BatchOutcome::kUpdated);
    updated.firmwareBefore = L"1.00";
    updated.firmwareAfter = L"1.10";
    updated.ready = true;
    EXPECT_EQ(BatchPrinterLine(updated), L"net 192.0.2.7: updated, firmware 1.00 -> 1.10, ready");
    updated.ready = false;
    updated.firmwareAfter.reset();
    EXPECT_EQ(BatchPrinterLine(updated), L"net 192.0.2.7: updated, firmware 1.00 -> ?, not back within the wait");
    EXPECT_EQ(BatchPrinterLine(BatchPrinterResult({BatchRoad::kUsb, L"Office"}, BatchOutcome::kFailed, 4)),
              L"usb Office: failed: reason 4");
    BatchPrinterResult refused({BatchRoad::kUsb, L"Office"}, BatchOutcome::kFailed, 2);
    refused.problem = L"the firmware file \"C:\\pkg\\main.bin\" is empty";
    EXPECT_EQ(BatchPrinterLine(refused), L"usb Office: failed: reason 2 (the firmware file \"C:\\pkg\\main.bin\" is empty)");
    EXPECT_EQ(BatchPrinterLine(BatchPrinterResult({BatchRoad::kUsb, L"Office"})), L"usb Office: not started");
    EXPECT_EQ(BatchPrinterLine(BatchPrinterResult({BatchRoad::kUsb, L"Office"}, BatchOutcome::kRestarting)),
              L"usb Office: sent, restarting");
}

}  // namespace

namespace {

// The first name the result file's replacement tries for its temporary file.
std::string FirstTemporaryName(const std::string& result) {
#ifdef _WIN32
    const unsigned long process = GetCurrentProcessId();
#else
    const unsigned long process = static_cast<unsigned long>(getpid());
#endif
    return result + "." + std::to_string(process) + ".0.tmp";
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

TEST(BatchResultFile, ReplacesTheWholeFileAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::wstring path = dir.ProgramPath() + L"\\result.json";
    PlatformResultFile file;
    EXPECT_TRUE(file.Replace(path, "{\"first\": 1, \"padding\": \"a long first version\"}\n"));
    EXPECT_TRUE(file.Replace(path, "{}\n"));
    EXPECT_EQ(ReadAll(dir.path() / "result.json"), "{}\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    // A folder that does not exist cannot hold the file: reported, nothing left behind.
    EXPECT_FALSE(file.Replace(dir.ProgramPath() + L"\\missing\\result.json", "{}\n"));
}

// The temporary file is one of this run's own: a "RESULT.tmp" that someone
// else left (or planted as a link to another file) is neither written nor
// removed, and a replacement that fails leaves no temporary file behind.
TEST(BatchResultFile, LeavesOtherFilesBesideTheResultAlone) {
    TempDir dir;
    const std::wstring path = dir.ProgramPath() + L"\\result.json";
    WriteBytes(dir.path() / "result.json.tmp", "someone else's");
    WriteBytes(dir.path() / "elsewhere.txt", "not ours");
    std::error_code linkError;
    std::filesystem::create_symlink(dir.path() / "elsewhere.txt", dir.path() / FirstTemporaryName("result.json"), linkError);
    PlatformResultFile file;
    EXPECT_TRUE(file.Replace(path, "{}\n"));
    EXPECT_EQ(ReadAll(dir.path() / "result.json"), "{}\n");
    EXPECT_EQ(ReadAll(dir.path() / "result.json.tmp"), "someone else's");
    EXPECT_EQ(ReadAll(dir.path() / "elsewhere.txt"), "not ours");

    // RESULT is a folder: the replacement fails and cleans up after itself.
    std::filesystem::create_directory(dir.path() / "folder.json");
    std::filesystem::create_directory(dir.path() / "folder.json" / "inside");
    const auto before = std::distance(std::filesystem::directory_iterator(dir.path()), {});
    EXPECT_FALSE(file.Replace(dir.ProgramPath() + L"\\folder.json", "{}\n"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), before);
}

// A replacement refused for a moment is tried again within a bounded time,
// then given up.
TEST(BatchResultFile, ARefusedReplacementIsTriedAgainForABoundedTime) {
    struct Refusing final : ResultFileReplacer {
        int refusals = 0;
        int calls = 0;
        bool Replace(const std::wstring&, std::string_view) override { return ++calls > refusals; }
    };
    struct CountedSleeper final : Sleeper {
        int sleptMs = 0;
        void SleepMs(int milliseconds) override { sleptMs += milliseconds; }
    };
    for (const int refusals : {0, 3, 1000}) {
        Refusing file;
        file.refusals = refusals;
        CountedSleeper sleeper;
        EXPECT_EQ(ReplaceResultFile(file, sleeper, L"r.json", "{}"), refusals < 1000) << refusals;
        EXPECT_EQ(sleeper.sleptMs, std::min(refusals, kResultRetryMs / kResultRetryPauseMs) * kResultRetryPauseMs);
    }
}

// Which file stands at `path` now: the file system's number for it. A file
// rewritten in place keeps its number; one put in its place has another.
std::uint64_t FileIdentity(const std::filesystem::path& path) {
#ifdef _WIN32
    HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info = {};
    const BOOL known = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    return known ? (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow : 0;
#else
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_ino) : 0;
#endif
}

// The new content goes into a file of its own that then takes the old one's
// place, so that a reader finds the old file or the new one whole, never a
// part: the file at the path is another one afterwards. Where the system
// lets a reader keep a replaced file open (POSIX), the reader that opened
// the old one reads it whole, never the new content over it.
TEST(BatchResultFile, TheNewContentTakesTheOldFilesPlaceInsteadOfOverwritingIt) {
    TempDir dir;
    const std::wstring path = dir.ProgramPath() + L"\\result.json";
    const std::filesystem::path native = dir.path() / "result.json";
    const std::string first = "{\"printers\": [\"a long first version of the result\"]}\n";
    PlatformResultFile file;
    ASSERT_TRUE(file.Replace(path, first));
    const std::uint64_t before = FileIdentity(native);
    ASSERT_NE(before, 0u);
#ifndef _WIN32
    std::FILE* reader = std::fopen(native.c_str(), "rb");
    ASSERT_TRUE(reader);
#endif
    ASSERT_TRUE(file.Replace(path, "{}\n"));
    EXPECT_NE(FileIdentity(native), before) << "the file was rewritten in place";
    EXPECT_EQ(ReadAll(native), "{}\n");
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
#ifndef _WIN32
    std::string old(first.size() + 16, '\0');
    old.resize(std::fread(old.data(), 1, old.size(), reader));
    std::fclose(reader);
    EXPECT_EQ(old, first);
#endif
}

}  // namespace
