#include <gtest/gtest.h>

#include <string>

#include "app/batch_result.h"

#include <filesystem>
#include <fstream>
#include <sstream>

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
    updated.firmwareBefore = L"1.00";
    updated.firmwareAfter = L"1.10";
    updated.backReady = true;
    BatchPrinterResult failed({BatchRoad::kUsb, L"Office \"A\""}, BatchOutcome::kFailed, 4);
    failed.startMs = failed.endMs = 1796917082250;
    failed.problem = L"the package description \"C:\\pkg\\TessaroFWDL.cfg\" is missing";
    report.printers = {updated, failed, BatchPrinterResult({BatchRoad::kNetwork, L"10.0.0.9"})};

    EXPECT_EQ(FormatBatchResult(report),
              "{\n"
              "  \"package\": {\"model\": \"Korvane Laser 7000\", \"module\": \"Tessaro\", \"entries\": [\n"
              "    {\"file\": \"main.bin\", \"version\": \"01.10.00\"},\n"
              "    {\"file\": \"engine.bin\", \"version\": \"00.02.00\"}\n"
              "  ]},\n"
              "  \"settings\": {\"parallel\": 8, \"wait\": 30},\n"
              "  \"printers\": [\n"
              "    {\"target\": \"192.0.2.7\", \"port\": \"net\",\n"
              "     \"outcome\": \"updated\", \"reason\": 0, \"problem\": null,\n"
              "     \"start\": \"2026-12-10T15:38:02.250Z\", \"end\": \"2026-12-10T15:38:14.595Z\", \"seconds\": 12.3,\n"
              "     \"firmwareBefore\": \"1.00\", \"firmwareAfter\": \"1.10\", \"ready\": true},\n"
              "    {\"target\": \"Office \\\"A\\\"\", \"port\": \"usb\",\n"
              "     \"outcome\": \"failed\", \"reason\": 4,"
              " \"problem\": \"the package description \\\"C:\\\\pkg\\\\TessaroFWDL.cfg\\\" is missing\",\n"
              "     \"start\": \"2026-12-10T15:38:02.250Z\", \"end\": \"2026-12-10T15:38:02.250Z\", \"seconds\": 0.0,\n"
              "     \"firmwareBefore\": null, \"firmwareAfter\": null, \"ready\": false},\n"
              "    {\"target\": \"10.0.0.9\", \"port\": \"net\",\n"
              "     \"outcome\": \"not-started\", \"reason\": 0, \"problem\": null,\n"
              "     \"start\": null, \"end\": null, \"seconds\": null,\n"
              "     \"firmwareBefore\": null, \"firmwareAfter\": null, \"ready\": false}\n"
              "  ]\n"
              "}\n");
}

TEST(BatchResult, NamesARefusedListAndNoPrinters) {
    BatchReport report;
    report.listError = BatchListError{2, L"nett 1.2.3.4", L"unknown keyword"};
    EXPECT_EQ(FormatBatchResult(report),
              "{\n  \"package\": {\"model\": \"\", \"module\": \"\", \"entries\": []},\n"
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
    updated.backReady = true;
    EXPECT_EQ(BatchPrinterLine(updated), L"net 192.0.2.7: updated, firmware 1.00 -> 1.10, ready");
    updated.backReady = false;
    updated.firmwareAfter.reset();
    EXPECT_EQ(BatchPrinterLine(updated), L"net 192.0.2.7: updated, firmware 1.00 -> ?, not back within the wait");
    EXPECT_EQ(BatchPrinterLine(BatchPrinterResult({BatchRoad::kUsb, L"Office"}, BatchOutcome::kFailed, 4)),
              L"usb Office: failed: reason 4");
    BatchPrinterResult refused({BatchRoad::kUsb, L"Office"}, BatchOutcome::kFailed, 2);
    refused.problem = L"the firmware file \"C:\\pkg\\main.bin\" is empty";
    EXPECT_EQ(BatchPrinterLine(refused), L"usb Office: failed: reason 2 (the firmware file \"C:\\pkg\\main.bin\" is empty)");
    EXPECT_EQ(BatchPrinterLine(BatchPrinterResult({BatchRoad::kUsb, L"Office"})), L"usb Office: not started");
}

}  // namespace

namespace {

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
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "result.json.tmp"));
    // A folder that does not exist cannot hold the file: reported, nothing left behind.
    EXPECT_FALSE(file.Replace(dir.ProgramPath() + L"\\missing\\result.json", "{}\n"));
}

}  // namespace
