// The history of updates and the support logs of the real program: each
// test gives the program a local application data folder of its own, so
// that its history and logs are the test's alone (and never the machine's
// user's).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "json_check.h"
#include "package_folder.h"
#include "base/sha256.h"

namespace {

namespace fs = std::filesystem;

constexpr DWORD kTimeLimitMs = 120000;
const std::wstring kTitle = L"History caller";

using e2e::Lines;
using e2e::Pattern;

const char kPackage[] =
    "[General]\nEncoding=0\nModelName=Korvane Laser 7000\nModuleName=Tessaro\nFwCount=2\n"
    "[Granted]\nS0A*=1\n[Fw0]\nFileName=main.bin\nVersion=01.10.00\n"
    "[Fw1]\nFileName=engine.bin\nVersion=00.02.00\n";

// Six printers that restart for one status read and come back on 1.10, and
// one that is not ready and refuses its update.
const char kFleet[] =
    "[Net0]\nIPv4=192.0.2.20\nFirmware=1.00\nAfterUpdate=199*1, 10\nNewFirmware=1.10\n"
    "[Net1]\nIPv4=192.0.2.21\nFirmware=1.00\nAfterUpdate=199*1, 10\nNewFirmware=1.10\n"
    "[Net2]\nIPv4=192.0.2.22\nFirmware=1.00\nAfterUpdate=199*1, 10\nNewFirmware=1.10\n"
    "[Net3]\nIPv4=192.0.2.23\nFirmware=1.00\nAfterUpdate=199*1, 10\nNewFirmware=1.10\n"
    "[Net4]\nIPv4=192.0.2.24\nFirmware=1.00\nAfterUpdate=199*1, 10\nNewFirmware=1.10\n"
    "[Net5]\nIPv4=192.0.2.25\nFirmware=1.00\nAfterUpdate=199*1, 10\nNewFirmware=1.10\n"
    "[Net6]\nIPv4=192.0.2.26\nFirmware=1.00\nStatus=0x13\n";

// The community the silent updates read status with: a password on many
// networks, so never to be written in clear.
const char kCommunity[] = "meadow";

std::string Sha256Of(const std::string& bytes) { return Sha256Hex(*Sha256::Of(bytes.data(), bytes.size())); }

// One field's text as written: "name":value up to the next comma or brace.
std::string FieldOf(const std::string& line, const std::string& name) {
    const std::regex field("\"" + name + "\":(\"[^\"]*\"|[^,}]*)");
    std::smatch match;
    return std::regex_search(line, match, field) ? match[1].str() : std::string("<none>");
}

class History : public e2e::PackageFolderTest {
protected:
    void SetUp() override {
        MakeFolder(L"FwdlHistoryCaller.", kTitle, kTimeLimitMs);
        WriteConfig(kPackage);
        Write("vorlensim.ini", kFleet);
        profile_ = folder_ / "profile";
        fs::create_directories(profile_);
        UseProfile(profile_);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_)
            SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
    }

    // The program started from here finds its local application data under
    // `profile` (the test prefix's known folder follows LOCALAPPDATA).
    void UseProfile(const fs::path& profile) {
        if (saved_.empty()) {
            wchar_t value[MAX_PATH] = {};
            GetEnvironmentVariableW(L"LOCALAPPDATA", value, MAX_PATH);
            saved_.emplace_back(L"LOCALAPPDATA", value);
        }
        SetEnvironmentVariableW(L"LOCALAPPDATA", (profile / "AppData" / "Local").wstring().c_str());
    }

    fs::path HistoryFolder() const { return profile_ / "AppData" / "Local" / "Tessaro" / "TessaroFWDL"; }
    std::vector<std::string> HistoryLines() const {
        return Lines(ReadWholeFile(HistoryFolder() / "history.jsonl").value_or(""));
    }
    std::vector<fs::path> RunLogs() const {
        std::vector<fs::path> logs;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(HistoryFolder() / "logs", ignored))
            logs.push_back(entry.path());
        return logs;
    }
    std::string AllLogs() const {
        std::string text;
        for (const fs::path& log : RunLogs()) text += ReadWholeFile(log).value_or("");
        return text;
    }

    Redirected RunNetwork(const std::wstring& address) { return RunIntoFile({L"/n", address, windowClass_, kTitle}); }

    fs::path profile_;
    std::vector<std::pair<std::wstring, std::wstring>> saved_;
};

TEST_F(History, ANetworkUpdateWritesOneLineAndALogWithoutTheCommunity) {
    const Redirected run = RunNetwork(L"192.0.2.20");
    ASSERT_EQ(run.run.exitCode, 0u) << run.output;

    const std::vector<std::string> lines = HistoryLines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string& line = lines[0];
    EXPECT_TRUE(e2e::JsonCheck::IsOneValue(line)) << line;
    EXPECT_EQ(FieldOf(line, "mode"), "\"network\"");
    EXPECT_EQ(FieldOf(line, "target"), "\"192.0.2.20\"");
    EXPECT_EQ(FieldOf(line, "module"), "\"Tessaro\"");
    EXPECT_EQ(FieldOf(line, "configSha256"), "\"" + Sha256Of(Record("TessaroFWDL.cfg")) + "\"");
    EXPECT_NE(line.find("\"files\":[{\"name\":\"main.bin\",\"bytes\":5000,\"sha256\":\"" +
                        Sha256Of(Pattern(5000, 1)) + "\"},{\"name\":\"engine.bin\",\"bytes\":3000,\"sha256\":\"" +
                        Sha256Of(Pattern(3000, 2)) + "\"}]"),
              std::string::npos)
        << line;
    EXPECT_EQ(FieldOf(line, "outcome"), "\"updated\"");
    EXPECT_EQ(FieldOf(line, "reason"), "null");
    EXPECT_TRUE(std::regex_search(line, std::regex("\"start\":\"20\\d\\d-[-0-9T:.]+Z\""))) << line;

    // The log names every library call with its result, the markers in hexadecimal.
    ASSERT_EQ(RunLogs().size(), 1u);
    const std::string log = AllLogs();
    EXPECT_NE(log.find("NetworkReadStatusV3(address=\"192.0.2.20\", community=***, mode=3) -> 1 state"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("NetworkWrite("), std::string::npos);
    EXPECT_NE(log.find("bytes=aa5555aa) -> 4"), std::string::npos);
    EXPECT_NE(FieldOf(line, "log").find("run-"), std::string::npos);
    EXPECT_EQ(log.find(kCommunity), std::string::npos);
    EXPECT_EQ(line.find(kCommunity), std::string::npos);
}

TEST_F(History, AFailedUpdateNamesItsLogOnTheConsoleAndInItsLine) {
    const Redirected run = RunNetwork(L"192.0.2.26");
    EXPECT_EQ(run.run.exitCode, 4u);
    const std::vector<fs::path> logs = RunLogs();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(run.output.find("support log: "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(logs[0].filename().string()), std::string::npos) << run.output;

    const std::vector<std::string> lines = HistoryLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(e2e::JsonCheck::IsOneValue(lines[0])) << lines[0];
    EXPECT_EQ(FieldOf(lines[0], "outcome"), "\"failed\"");
    EXPECT_EQ(FieldOf(lines[0], "code"), "4");
    EXPECT_NE(FieldOf(lines[0], "reason"), "null");
}

// Children that end at the same moment append at the same moment: every
// line arrives whole, once per printer.
TEST_F(History, ABatchWithParallelChildrenWritesEveryPrinterOnce) {
    Write("list.txt",
          "net 192.0.2.20\nnet 192.0.2.21\nnet 192.0.2.22\nnet 192.0.2.23\nnet 192.0.2.24\nnet 192.0.2.25\n"
          "net 192.0.2.26\nparallel 7\nwait 9\n");
    const Redirected run = RunIntoFile(
        {L"/batch", (folder_ / "list.txt").wstring(), (folder_ / "result.json").wstring(), windowClass_, kTitle});
    EXPECT_EQ(run.run.exitCode, 6u) << run.output;

    const std::vector<std::string> lines = HistoryLines();
    ASSERT_EQ(lines.size(), 7u) << run.output;
    std::set<std::string> targets;
    for (const std::string& line : lines) {
        EXPECT_TRUE(e2e::JsonCheck::IsOneValue(line)) << line;
        EXPECT_EQ(FieldOf(line, "mode"), "\"batch-network\"");
        targets.insert(FieldOf(line, "target"));
        if (FieldOf(line, "target") == "\"192.0.2.26\"") {
            EXPECT_EQ(FieldOf(line, "outcome"), "\"failed\"");
            EXPECT_EQ(FieldOf(line, "code"), "4");
        } else {
            EXPECT_EQ(FieldOf(line, "outcome"), "\"updated\"") << line;
            EXPECT_NE(line.find("\"firmware\":{\"before\":\"1.00\",\"after\":\"1.10\"}"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(targets.size(), 7u);
    // Each printer's line and its result name the log of its own child.
    std::set<std::string> logs;
    for (const std::string& line : lines) logs.insert(FieldOf(line, "log"));
    EXPECT_EQ(logs.size(), 7u);
    const std::string result = Record("result.json");
    std::size_t named = 0;
    for (std::size_t at = result.find("\"log\": \""); at != std::string::npos; at = result.find("\"log\": \"", at + 1))
        ++named;
    EXPECT_EQ(named, 7u) << result;
    EXPECT_NE(run.output.find("support log: "), std::string::npos) << "the refused printer's log" << run.output;
    // The batch and each of its seven children keep a log; none holds the community.
    EXPECT_EQ(RunLogs().size(), 8u);
    EXPECT_EQ(AllLogs().find(kCommunity), std::string::npos);
    EXPECT_EQ(run.output.find("history not written"), std::string::npos) << run.output;
}

TEST_F(History, AHistoryThatCannotBeWrittenDoesNotFailTheUpdate) {
    // The user's folder is a file: nothing can be made under it.
    Write("not-a-folder", "x");
    UseProfile(folder_ / "not-a-folder");
    const Redirected run = RunNetwork(L"192.0.2.20");
    EXPECT_EQ(run.run.exitCode, 0u) << run.output;
    EXPECT_EQ(run.run.notices.back(), (std::pair<int, int>{128, 0}));
    EXPECT_NE(run.output.find("history not written: "), std::string::npos) << run.output;
    EXPECT_EQ(Record("Net0.bin").size(), 5000u + 4 + 3000 + 4);
}

}  // namespace
