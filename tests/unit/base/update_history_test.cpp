#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/run_log.h"
#include "base/update_history.h"
#include "test_support.h"

namespace {

HistoryRecord FullRecord() {
    HistoryRecord r;
    r.startMs = 1796917082250;  // 2026-12-10T15:38:02.250Z
    r.endMs = r.startMs + 12345;
    r.elapsedMs = 12345;
    r.mode = "batch-network";
    r.port = "network";
    r.target = L"192.0.2.7";
    r.deviceName = L"Korvane 7000";
    r.model = L"Korvane Laser 7000";
    r.module = L"Tessaro";
    r.packageFolder = L"C:\\Packages\\TS7000";
    r.configSha256 = std::string(64, 'a');
    r.files = {{L"main.bin", 5000, std::string(64, 'b')}, {L"gone.bin", std::nullopt, std::nullopt}};
    r.firmwareBefore = L"1.00";
    r.firmwareAfter = L"1.10";
    r.outcome = "updated";
    r.log = L"C:\\logs\\run-1.log";
    return r;
}

TEST(UpdateHistory, ALineHoldsEveryFieldInAFixedOrder) {
    EXPECT_EQ(FormatHistoryLine(FullRecord()),
              "{\"start\":\"2026-12-10T15:38:02.250Z\",\"end\":\"2026-12-10T15:38:14.595Z\",\"seconds\":12.3,"
              "\"mode\":\"batch-network\",\"printer\":{\"port\":\"network\",\"target\":\"192.0.2.7\","
              "\"name\":\"Korvane 7000\",\"serial\":null,\"model\":\"Korvane Laser 7000\"},"
              "\"package\":{\"module\":\"Tessaro\",\"folder\":\"C:\\\\Packages\\\\TS7000\",\"configSha256\":\"" +
                  std::string(64, 'a') +
                  "\",\"signer\":null},"
                  "\"files\":[{\"name\":\"main.bin\",\"bytes\":5000,\"sha256\":\"" +
                  std::string(64, 'b') +
                  "\"},{\"name\":\"gone.bin\",\"bytes\":null,\"sha256\":null}],"
                  "\"firmware\":{\"before\":\"1.00\",\"after\":\"1.10\"},\"outcome\":\"updated\",\"code\":null,"
                  "\"reason\":null,\"log\":\"C:\\\\logs\\\\run-1.log\"}\n");
}

TEST(UpdateHistory, AFailureCarriesItsCodeAndWordsAndUnknownsAreNull) {
    HistoryRecord r;
    r.mode = "usb";
    r.port = "usb";
    r.outcome = "failed";
    r.code = 4;
    r.reason = L"not granted";
    const std::string line = FormatHistoryLine(r);
    EXPECT_NE(line.find("\"seconds\":null"), std::string::npos);
    EXPECT_NE(line.find("\"firmware\":{\"before\":null,\"after\":null}"), std::string::npos);
    EXPECT_NE(line.find("\"files\":[]"), std::string::npos);
    EXPECT_NE(line.find("\"outcome\":\"failed\",\"code\":4,\"reason\":\"not granted\",\"log\":null}"),
              std::string::npos);
}

// Whatever a printer, a file or a folder is called, the record stays one line
// of UTF-8 with every control character escaped.
TEST(UpdateHistory, OddNamesNeverBreakTheLine) {
    const std::vector<std::wstring> names = {
        L"quote\" and \\ backslash", L"line\nbreak\r\n", std::wstring(L"nul\0x", 5), L"tab\tand \x1F \x7F",
        std::wstring{L'a', static_cast<wchar_t>(0xD800), L'b'}, L"\u53F0\u00E9"};
    for (const std::wstring& name : names) {
        HistoryRecord r = FullRecord();
        r.target = r.model = r.module = r.packageFolder = name;
        r.deviceName = r.firmwareBefore = name;
        r.files = {{name, 1, std::nullopt}};
        r.reason = name;
        const std::string line = FormatHistoryLine(r);
        ASSERT_EQ(line.back(), '\n');
        for (std::size_t i = 0; i + 1 < line.size(); ++i)
            EXPECT_GE(static_cast<unsigned char>(line[i]), 0x20u) << "raw control character at " << i;
        EXPECT_EQ(line.find('\x7F'), std::string::npos);
    }
}

// The files of a history folder in memory, with the lock counted.
class MemoryStorage final : public HistoryStorage {
public:
    bool Lock(std::wstring& why) override {
        if (refuseLock) {
            why = L"locked";
            return false;
        }
        ++locked;
        return true;
    }
    void Unlock() override { --locked; }
    std::optional<std::int64_t> Size(const std::wstring& name) override {
        const auto found = files.find(name);
        if (found == files.end()) return std::nullopt;
        return static_cast<std::int64_t>(found->second.size());
    }
    std::optional<char> LastByte(const std::wstring& name) override {
        const auto found = files.find(name);
        if (found == files.end() || found->second.empty()) return std::nullopt;
        return found->second.back();
    }
    bool Rotate(const std::wstring& from, const std::wstring& to) override {
        EXPECT_EQ(locked, 1) << "rotated without the lock";
        files[to] = files[from];
        files.erase(from);
        return true;
    }
    bool Append(const std::wstring& name, std::string_view bytes, std::wstring& why) override {
        EXPECT_EQ(locked, 1) << "appended without the lock";
        ++writes;
        if (refuseWrite) {
            why = L"disk full";
            return false;
        }
        files[name] += bytes;
        return true;
    }

    std::map<std::wstring, std::string> files;
    int locked = 0;
    int writes = 0;
    bool refuseLock = false;
    bool refuseWrite = false;
};

TEST(UpdateHistory, AppendsInOneWriteAndStepsPastADamagedLastLine) {
    struct Case {
        const char* name;
        std::optional<std::string> before;
        std::string after;
    };
    const Case cases[] = {
        {"no file yet", std::nullopt, "{\"b\":2}\n"},
        {"empty file", "", "{\"b\":2}\n"},
        {"whole lines", "{\"a\":1}\n", "{\"a\":1}\n{\"b\":2}\n"},
        // A power cut left half a line: it stays damaged, alone on its line.
        {"cut last line", "{\"a\":1}\n{\"a\":", "{\"a\":1}\n{\"a\":\n{\"b\":2}\n"},
    };
    for (const Case& c : cases) {
        MemoryStorage storage;
        if (c.before) storage.files[kHistoryFileName] = *c.before;
        std::wstring why;
        EXPECT_TRUE(AppendHistoryLine(storage, "{\"b\":2}\n", why)) << c.name;
        EXPECT_EQ(storage.files[kHistoryFileName], c.after) << c.name;
        EXPECT_EQ(storage.writes, 1) << c.name;
        EXPECT_EQ(storage.locked, 0) << c.name << ": the lock is given back";
    }
}

TEST(UpdateHistory, AFullFileMovesToTheOlderOneBeforeTheAppend) {
    MemoryStorage storage;
    const std::string line = "{\"b\":2}\n";
    storage.files[kOlderHistoryFileName] = "oldest\n";
    storage.files[kHistoryFileName] = std::string(kHistoryRotateBytes - line.size() - 1, 'x') + "\n";
    std::wstring why;
    // Exactly at the bound: still one file.
    ASSERT_TRUE(AppendHistoryLine(storage, line, why));
    EXPECT_EQ(storage.files[kHistoryFileName].size(), static_cast<std::size_t>(kHistoryRotateBytes));
    EXPECT_EQ(storage.files[kOlderHistoryFileName], "oldest\n");
    // Past it: the full file replaces the older one, the line starts a new file.
    ASSERT_TRUE(AppendHistoryLine(storage, line, why));
    EXPECT_EQ(storage.files[kHistoryFileName], line);
    EXPECT_EQ(storage.files[kOlderHistoryFileName].size(), static_cast<std::size_t>(kHistoryRotateBytes));
}

TEST(UpdateHistory, ALockOrAWriteRefusedSaysWhyAndWritesNothing) {
    MemoryStorage locked;
    locked.refuseLock = true;
    std::wstring why;
    EXPECT_FALSE(AppendHistoryLine(locked, "{}\n", why));
    EXPECT_EQ(why, L"locked");
    EXPECT_EQ(locked.writes, 0);

    MemoryStorage full;
    full.refuseWrite = true;
    EXPECT_FALSE(AppendHistoryLine(full, "{}\n", why));
    EXPECT_EQ(why, L"disk full");
    EXPECT_TRUE(full.files.empty());
    EXPECT_EQ(full.locked, 0);
}

TEST(UpdateHistory, FilesAreDescribedBySizeAndDigest) {
    TempDir dir;
    WriteBytes(dir.path() / "abc.bin", "abc");
    PlatformFiles files;
    const std::wstring folder = dir.ProgramPath();
    const std::vector<HistoryFileSent> sent =
        DescribeFilesSent(files, {folder + L"\\abc.bin", folder + L"\\missing.bin"});
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].name, L"abc.bin");
    EXPECT_EQ(sent[0].bytes, 3);
    EXPECT_EQ(sent[0].sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sent[1].name, L"missing.bin");
    EXPECT_FALSE(sent[1].bytes);
    EXPECT_FALSE(sent[1].sha256);
}

TEST(RunLog, NamesSortByTimeAndOnlyTheOldestBeyondTheKeptNumberGo) {
    EXPECT_EQ(RunLogFileName(1796917082250, 4242), L"run-20261210-153802-250-4242.log");
    EXPECT_EQ(RunLogFileName(1796917082250, 4242, true), L"run-20261210-153802-250-4242-batch-printer.log");
    EXPECT_EQ(FormatRunLogLine(0, "a\r\nb"), "1970-01-01T00:00:00.000Z a  b\n");

    std::vector<std::wstring> names;
    for (int i = 10; i < 50; ++i) names.push_back(L"run-202612" + std::to_wstring(i) + L"-000000-000-1.log");
    names.push_back(L"notes.txt");
    names.push_back(L"run-20261299-999999-999-1.log.bak");
    // 40 kept: with the new one, the oldest of the 40 goes.
    EXPECT_EQ(RunLogsToPrune(names, 40), std::vector<std::wstring>{L"run-20261210-000000-000-1.log"});
    EXPECT_EQ(RunLogsToPrune(names, 38).size(), 3u);
    EXPECT_TRUE(RunLogsToPrune(names, 41).empty());
    EXPECT_TRUE(RunLogsToPrune({}, 40).empty());
}

// A batch's children count with their batch: a batch of hundreds keeps its
// children's logs as long as the batch's own is kept.
TEST(RunLog, ChildrenGoWithTheRunsOlderThanTheOldestKept) {
    const std::vector<std::wstring> names = {
        L"run-20261201-000000-000-1.log",
        L"run-20261201-000001-000-2-batch-printer.log",
        L"run-20261202-000000-000-3.log",  // a batch
        L"run-20261202-000001-000-4-batch-printer.log",
        L"run-20261202-000001-000-5-batch-printer.log",
        L"run-20261203-000000-000-6.log",
    };
    EXPECT_EQ(RunLogsToPrune(names, 3),
              (std::vector<std::wstring>{L"run-20261201-000000-000-1.log", L"run-20261201-000001-000-2-batch-printer.log"}));
    EXPECT_TRUE(RunLogsToPrune(names, 4).empty()) << "three runs, however many children";
    EXPECT_EQ(RunLogsToPrune(names, 2).size(), 5u);
    EXPECT_EQ(RunLogsToPrune(names, 1).size(), names.size());
}

}  // namespace
