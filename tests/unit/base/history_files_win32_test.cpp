#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/history_files_win32.h"
#include "test_support.h"

namespace {

// Writers with a lock handle each, as separate processes have: every line
// arrives whole and once, and a cut last line stays alone on its line.
TEST(FolderHistoryStorage, WritersAtOnceNeverInterleaveOrLoseALine) {
    TempDir dir;
    WriteBytes(dir.path() / "history.jsonl", "{\"cut\":");
    constexpr int kWriters = 6, kLines = 100;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&dir, w] {
            FolderHistoryStorage storage(dir.ProgramPath());
            for (int i = 0; i < kLines; ++i) {
                const std::string line = "{\"writer\":" + std::to_string(w) + ",\"line\":" + std::to_string(i) +
                                         ",\"pad\":\"" + std::string(300, 'p') + "\"}\n";
                std::wstring why;
                EXPECT_TRUE(AppendHistoryLine(storage, line, why)) << std::string(why.begin(), why.end());
            }
        });
    }
    for (std::thread& writer : writers) writer.join();

    std::ifstream file(dir.path() / "history.jsonl", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::set<std::string> seen;
    std::size_t at = 0;
    int count = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        ASSERT_NE(end, std::string::npos) << "the last line ends with a newline";
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (count++ == 0) {
            EXPECT_EQ(line, "{\"cut\":");
            continue;
        }
        const std::string tail = std::string(300, 'p') + "\"}";
        EXPECT_TRUE(line.rfind("{\"writer\":", 0) == 0 && line.size() > tail.size() &&
                    line.compare(line.size() - tail.size(), tail.size(), tail) == 0 &&
                    line.find('{', 1) == std::string::npos)
            << line;
        seen.insert(line.substr(0, line.find(",\"pad\"")));
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kWriters * kLines));
    EXPECT_EQ(count, kWriters * kLines + 1);
}

}  // namespace
