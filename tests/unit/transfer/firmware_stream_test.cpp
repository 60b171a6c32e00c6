#include <gtest/gtest.h>

#include <algorithm>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "transfer/firmware_stream.h"

namespace {

// A file whose reads return what the script says: a count of bytes (filled
// with the read's number) or a failure; once the script runs out, 0.
class ScriptedFile final : public InputFile {
public:
    ScriptedFile(std::int64_t size, std::vector<int> reads, int* closes = nullptr)
        : size_(size), reads_(reads.begin(), reads.end()), closes_(closes) {}
    ~ScriptedFile() override {
        if (closes_) ++*closes_;
    }
    int Read(void* buffer, int count) override {
        EXPECT_EQ(count, kChunkBytes);
        if (reads_.empty()) return 0;
        const int result = reads_.front();
        reads_.pop_front();
        if (result > 0) std::fill_n(static_cast<unsigned char*>(buffer), std::min(result, count), 0x5A);
        return result;
    }
    std::int64_t Size() override { return size_; }

private:
    std::int64_t size_;
    std::deque<int> reads_;
    int* closes_;
};

struct StreamCase {
    const char* name;
    std::int64_t size;
    std::vector<int> reads;
    int failingSend;  // number of the send that fails, -1: none
    std::vector<int> sends;
    StreamResult result;
};

TEST(FirmwareStream, FilesGoOutInChunksAndMustYieldTheirSize) {
    const StreamCase cases[] = {
        {"short last chunk", 5000, {4096, 904}, -1, {4096, 904}, StreamResult::kSent},
        {"whole chunks end with an empty send", 8192, {4096, 4096, 0}, -1, {4096, 4096, 0}, StreamResult::kSent},
        {"empty file", 0, {0}, -1, {0}, StreamResult::kSent},
        {"failed read", 5000, {4096, -1}, -1, {4096}, StreamResult::kReadFailed},
        {"read ends early", 5000, {4096, 0}, -1, {4096}, StreamResult::kReadFailed},
        {"short read before the size", 9000, {4096, 100}, -1, {4096}, StreamResult::kReadFailed},
        {"file grew past its size", 4096, {4096, 4096}, -1, {4096}, StreamResult::kReadFailed},
        {"more than a chunk in one read", 9000, {5000}, -1, {}, StreamResult::kReadFailed},
        {"printer refuses a chunk", 9000, {4096, 4096, 808}, 1, {4096, 4096}, StreamResult::kSendFailed},
    };
    for (const StreamCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFile file(c.size, c.reads);
        unsigned char buffer[kChunkBytes];
        std::vector<int> sends, sent;
        const StreamResult result = StreamFile(
            file, c.size, buffer,
            [&](const unsigned char*, int count) {
                sends.push_back(count);
                return static_cast<int>(sends.size()) - 1 != c.failingSend;
            },
            [&](int count) { sent.push_back(count); });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(sends, c.sends);
        // Progress counts only chunks the printer took.
        std::vector<int> taken = c.sends;
        if (c.failingSend >= 0) taken.pop_back();
        EXPECT_EQ(sent, taken);
    }
}

struct MarkerCase {
    const char* name;
    std::vector<int> writes;  // result of each write in turn
    bool sent;
    int pauses;  // of kMarkerIdlePauseMs
};

std::vector<int> Zeros(int count) { return std::vector<int>(static_cast<std::size_t>(count), 0); }
std::vector<int> Then(std::vector<int> first, std::vector<int> rest) {
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
}

class Clock final : public Sleeper {
public:
    std::vector<int> sleeps;
    void SleepMs(int milliseconds) override { sleeps.push_back(milliseconds); }
};

TEST(FirmwareStream, MarkerWritesPauseWhenNothingIsTakenAndGiveUpAfterTwoSecondsWithoutProgress) {
    const MarkerCase cases[] = {
        {"whole at once", {4}, true, 0},
        {"in pieces", {2, 0, 1, 1}, true, 1},
        {"taken after two seconds of nothing", Then(Zeros(80), {4}), true, 80},
        {"nothing for longer", Zeros(81), false, 80},
        {"progress starts the wait again", Then(Zeros(79), Then({1}, Then(Zeros(80), {3}))), true, 159},
        {"failure", {-1}, false, 0},
        {"failure after a piece", {1, -3}, false, 0},
        // A library that claims more than it was given has not sent the marker.
        {"more than offered", {5}, false, 0},
        {"more than the rest after a piece", {2, 3}, false, 0},
    };
    for (const MarkerCase& c : cases) {
        SCOPED_TRACE(c.name);
        Clock clock;
        std::deque<int> results(c.writes.begin(), c.writes.end());
        std::string received;
        int writes = 0;
        const bool sent = WriteMarker(kMarkerMoreFiles, clock, [&](const unsigned char* bytes, int count) {
            ++writes;
            // Each write offers the bytes not yet taken.
            EXPECT_EQ(count, kMarkerBytes - static_cast<int>(received.size()));
            const int result = results.empty() ? 0 : results.front();
            if (!results.empty()) results.pop_front();
            if (result > 0)
                received.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(std::min(result, count)));
            return result;
        });
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(clock.sleeps, std::vector<int>(static_cast<std::size_t>(c.pauses), kMarkerIdlePauseMs));
        if (c.sent) {
            EXPECT_EQ(received, std::string("\xAA\x55\x55\xAA", 4));
        }
        EXPECT_TRUE(results.empty()) << writes;
    }
}

// Files by path: a size per path (-1: cannot be told), missing paths fail.
class ScriptedOpener final : public FileOpener {
public:
    std::map<std::wstring, std::int64_t> sizes;
    std::vector<std::wstring> opened;
    int closes = 0;
    std::unique_ptr<InputFile> OpenForReading(const std::wstring& path, FileSharing sharing) override {
        EXPECT_EQ(sharing, FileSharing::Exclusive);
        opened.push_back(path);
        const auto found = sizes.find(path);
        if (found == sizes.end()) return nullptr;
        return std::make_unique<ScriptedFile>(found->second, std::vector<int>{}, &closes);
    }
};

TEST(FirmwareStream, EveryEntryFileIsOpenedBeforeSendingAndTheFirstUnusableOneIsNamed) {
    struct Case {
        const char* name;
        std::map<std::wstring, std::int64_t> sizes;
        bool secondHasNoFile;
        EntryFiles::Problem problem;
        int failedEntry;
    };
    const Case cases[] = {
        {"all there", {{L"a", 10}, {L"b", 0}, {L"c", 7}}, false, EntryFiles::Problem::kNone, -1},
        {"missing", {{L"a", 10}, {L"c", 7}}, false, EntryFiles::Problem::kNotOpened, 1},
        {"size unknown", {{L"a", 10}, {L"b", -1}, {L"c", 7}}, false, EntryFiles::Problem::kNotOpened, 1},
        {"no file for this printer", {{L"a", 10}, {L"b", 1}, {L"c", 7}}, true, EntryFiles::Problem::kNoFile, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedOpener opener;
        opener.sizes = c.sizes;
        EntryFiles files;
        const wchar_t* names[] = {L"a", L"b", L"c"};
        const EntryFiles::Problem problem =
            files.OpenAll(3, opener, FileSharing::Exclusive, [&](int j) -> std::optional<std::wstring> {
                if (j == 1 && c.secondHasNoFile) return std::nullopt;
                return names[j];
            });
        EXPECT_EQ(problem, c.problem);
        EXPECT_EQ(files.FailedEntry(), c.failedEntry);
        if (problem == EntryFiles::Problem::kNone) {
            EXPECT_EQ(opener.opened.size(), 3u);
            EXPECT_EQ(files.Size(0), 10);
            EXPECT_EQ(files.Path(2), L"c");
            files.Close(0);
            EXPECT_EQ(opener.closes, 1);
        } else {
            // The entries after the unusable one are not tried; those before it are closed.
            EXPECT_EQ(opener.opened.size(), c.secondHasNoFile ? 1u : 2u);
            EXPECT_EQ(files.FailedPath(), c.secondHasNoFile ? L"" : L"b");
            EXPECT_EQ(opener.closes, c.problem == EntryFiles::Problem::kNotOpened && c.sizes.count(L"b") ? 2 : 1);
        }
    }
}

}  // namespace
