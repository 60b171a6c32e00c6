#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/file_pins.h"

namespace {

// Files held in memory. A file's content may be changed while it is open:
// each read takes the bytes that stand at its position at that moment, as a
// file shared for writing does.
class MemoryFiles final : public FileOpener {
public:
    std::map<std::wstring, std::string> content;
    // Called before every read of an open file with the number of reads so far.
    std::function<void(int reads)> beforeRead = [](int) {};
    int failReadNumber = -1;  // this read (counted from 0) fails with -1

    std::unique_ptr<InputFile> OpenForReading(const std::wstring& path, FileSharing) override {
        if (!content.count(path)) return nullptr;
        return std::make_unique<File>(*this, path);
    }

private:
    class File final : public InputFile {
    public:
        File(MemoryFiles& files, std::wstring path) : files_(files), path_(std::move(path)) {}
        int Read(void* buffer, int count) override {
            files_.beforeRead(reads_);
            if (reads_++ == files_.failReadNumber) return -1;
            const std::string& bytes = files_.content[path_];
            const std::size_t left = position_ < bytes.size() ? bytes.size() - position_ : 0;
            const std::size_t taken = std::min<std::size_t>(left, static_cast<std::size_t>(count));
            bytes.copy(static_cast<char*>(buffer), taken, position_);
            position_ += taken;
            return static_cast<int>(taken);
        }
        std::int64_t Size() override { return static_cast<std::int64_t>(files_.content[path_].size()); }

    private:
        MemoryFiles& files_;
        std::wstring path_;
        std::size_t position_ = 0;
        int reads_ = 0;
    };
};

std::string Pattern(std::size_t size, unsigned seed = 0) {
    std::string bytes(size, '\0');
    for (std::size_t k = 0; k < size; ++k) bytes[k] = static_cast<char>((k * 7 + seed) & 0xFF);
    return bytes;
}

Sha256Digest DigestOf(const std::string& bytes) { return *Sha256::Of(bytes.data(), bytes.size()); }

// What the sender gets: every byte handed over, and the result of the read
// that ended the file (a short read, or -1).
struct Streamed {
    std::string bytes;
    int lastRead = 0;
};

// Reads as the transfer loops do: 4096-byte chunks until one comes back short.
Streamed Stream(FileOpener& files, const std::wstring& path) {
    Streamed streamed;
    std::unique_ptr<InputFile> file = files.OpenForReading(path, FileSharing::Exclusive);
    if (!file) return {"", -2};
    char buffer[4096];
    int count = 0;
    do {
        count = file->Read(buffer, 4096);
        if (count > 0) streamed.bytes.append(buffer, static_cast<std::size_t>(count));
    } while (count == 4096);
    streamed.lastRead = count;
    return streamed;
}

const std::wstring kPath = L"C:\\pkg\\main.bin";

}  // namespace

TEST(PinnedFiles, AFileThatMatchesItsPinStreamsWhole) {
    for (const std::size_t size : {0u, 1u, 4095u, 4096u, 5000u, 8192u, 100000u}) {
        MemoryFiles memory;
        memory.content[kPath] = Pattern(size);
        PinnedFiles pinned(memory);
        pinned.Pin(kPath, DigestOf(memory.content[kPath]));
        EXPECT_FALSE(pinned.FindMismatch(FileSharing::ReadWrite)) << size;
        const Streamed streamed = Stream(pinned, kPath);
        EXPECT_TRUE(streamed.bytes == memory.content[kPath]) << size;
        EXPECT_EQ(streamed.lastRead, static_cast<int>(size % 4096)) << size;
    }
}

// The system finds a file whatever the case of its name, so a pin does too:
// a file pinned as "main.bin" and opened as "MAIN.BIN" is checked, and a
// second pin of another digest under another case makes it match neither.
TEST(PinnedFiles, APinHoldsWhateverTheCaseOfTheFileName) {
    const std::wstring otherCase = L"C:\\PKG\\Main.BIN";
    MemoryFiles memory;
    const std::string good = Pattern(5000);
    memory.content[kPath] = good;
    memory.content[otherCase] = good + "x";  // what a case-insensitive system would read has changed
    PinnedFiles pinned(memory);
    pinned.Pin(kPath, DigestOf(good));
    EXPECT_EQ(Stream(pinned, otherCase).lastRead, -1);

    MemoryFiles same;
    same.content[kPath] = good;
    PinnedFiles twice(same);
    twice.Pin(kPath, DigestOf(good));
    twice.Pin(L"c:\\pkg\\MAIN.bin", DigestOf("another content"));
    EXPECT_EQ(twice.FindMismatch(FileSharing::ReadWrite), kPath);
}

TEST(PinnedFiles, UnpinnedFilesOpenUnchanged) {
    MemoryFiles memory;
    memory.content[kPath] = Pattern(5000);
    memory.content[L"C:\\pkg\\other.bin"] = Pattern(10);
    PinnedFiles pinned(memory);
    pinned.Pin(L"C:\\pkg\\other.bin", DigestOf("something else"));
    EXPECT_EQ(Stream(pinned, kPath).bytes, Pattern(5000));
    EXPECT_FALSE(pinned.OpenForReading(L"C:\\pkg\\missing.bin", FileSharing::Exclusive));
}

// A file whose bytes differ from its pin never reaches the sender whole: the
// read that reaches its end withholds its piece and fails.
TEST(PinnedFiles, AFileThatDiffersFromItsPinFailsItsLastRead) {
    struct Case {
        const char* name;
        std::size_t size;
        std::size_t changedByte;
    };
    const Case cases[] = {{"first byte of one piece", 100, 0},       {"last byte of one piece", 100, 99},
                          {"first byte of two pieces", 5000, 0},     {"last byte of two pieces", 5000, 4999},
                          {"whole chunks, last byte", 8192, 8191},   {"whole chunks, first byte", 8192, 0}};
    for (const Case& c : cases) {
        MemoryFiles memory;
        const std::string good = Pattern(c.size);
        std::string bad = good;
        bad[c.changedByte] = static_cast<char>(bad[c.changedByte] ^ 0x01);
        memory.content[kPath] = bad;
        PinnedFiles pinned(memory);
        pinned.Pin(kPath, DigestOf(good));
        EXPECT_EQ(pinned.FindMismatch(FileSharing::ReadWrite), kPath) << c.name;
        const Streamed streamed = Stream(pinned, kPath);
        EXPECT_EQ(streamed.lastRead, -1) << c.name;
        EXPECT_LT(streamed.bytes.size(), c.size) << c.name;
        EXPECT_TRUE(streamed.bytes == bad.substr(0, streamed.bytes.size())) << c.name;
    }
}

// What the sender gets is hashed, not what the file holds later: bytes that
// differ from the pin fail the last read; bytes beyond the pinned end fail
// the read that brings them.
TEST(PinnedFiles, AFileChangedWhileItIsReadNeverReachesTheSenderWhole) {
    struct Case {
        const char* name;
        std::function<void(std::string&)> change;
        std::size_t handedOver;  // bytes the sender got, all of them the pinned ones
        int lastRead;
    };
    const Case cases[] = {
        {"a byte not yet read", [](std::string& bytes) { bytes[9000] = static_cast<char>(bytes[9000] ^ 0x80); },
         8192, -1},
        {"cut short", [](std::string& bytes) { bytes.resize(6000); }, 4096, -1},
        {"grown", [](std::string& bytes) { bytes += "more"; }, 12288, -1},
        {"grown by a whole chunk", [](std::string& bytes) { bytes += Pattern(4096, 3); }, 12288, -1},
        // Behind the reader: what was handed over is the pinned content.
        {"a byte already read", [](std::string& bytes) { bytes[10] = static_cast<char>(bytes[10] ^ 0x80); }, 12288,
         0},
    };
    for (const Case& c : cases) {
        MemoryFiles memory;
        const std::string good = Pattern(12288);
        memory.content[kPath] = good;
        PinnedFiles pinned(memory);
        pinned.Pin(kPath, DigestOf(good));
        ASSERT_FALSE(pinned.FindMismatch(FileSharing::ReadWrite));
        memory.beforeRead = [&](int reads) {
            if (reads == 1) c.change(memory.content[kPath]);
        };
        const Streamed streamed = Stream(pinned, kPath);
        EXPECT_EQ(streamed.lastRead, c.lastRead) << c.name;
        EXPECT_EQ(streamed.bytes.size(), c.handedOver) << c.name;
        EXPECT_TRUE(streamed.bytes == good.substr(0, streamed.bytes.size())) << c.name;
    }
}

TEST(PinnedFiles, AFailedReadFailsAndStaysFailed) {
    MemoryFiles memory;
    memory.content[kPath] = Pattern(10000);
    memory.failReadNumber = 1;
    PinnedFiles pinned(memory);
    pinned.Pin(kPath, DigestOf(memory.content[kPath]));
    std::unique_ptr<InputFile> file = pinned.OpenForReading(kPath, FileSharing::Exclusive);
    char buffer[4096];
    EXPECT_EQ(file->Read(buffer, 4096), 4096);
    EXPECT_EQ(file->Read(buffer, 4096), -1);
    EXPECT_EQ(file->Read(buffer, 4096), -1);
    EXPECT_EQ(file->Size(), 10000);
}

// The digest of a whole file, read in several pieces; a read that fails part
// way gives no digest at all, never the digest of the part before it.
TEST(HashContent, TakesTheWholeFileOrNothing) {
    MemoryFiles memory;
    memory.content[kPath] = Pattern(200000);
    EXPECT_EQ(HashContent(*memory.OpenForReading(kPath, FileSharing::ReadWrite)), DigestOf(memory.content[kPath]));
    memory.failReadNumber = 1;
    EXPECT_EQ(HashContent(*memory.OpenForReading(kPath, FileSharing::ReadWrite)), std::nullopt);
}

TEST(PinnedFiles, PinsThatNoContentCanMatch) {
    MemoryFiles memory;
    memory.content[kPath] = Pattern(100);
    const Sha256Digest right = DigestOf(memory.content[kPath]);
    {
        // A value that is no SHA-256.
        PinnedFiles pinned(memory);
        pinned.Pin(kPath, std::nullopt);
        EXPECT_EQ(pinned.FindMismatch(FileSharing::ReadWrite), kPath);
        EXPECT_EQ(Stream(pinned, kPath).lastRead, -1);
    }
    {
        // The same file pinned by two entries with different digests.
        PinnedFiles pinned(memory);
        pinned.Pin(kPath, right);
        pinned.Pin(kPath, DigestOf("other"));
        EXPECT_EQ(pinned.FindMismatch(FileSharing::ReadWrite), kPath);
        EXPECT_EQ(Stream(pinned, kPath).lastRead, -1);
    }
    {
        // Pinned twice alike: one pin.
        PinnedFiles pinned(memory);
        pinned.Pin(kPath, right);
        pinned.Pin(kPath, right);
        EXPECT_FALSE(pinned.FindMismatch(FileSharing::ReadWrite));
        EXPECT_EQ(Stream(pinned, kPath).bytes, memory.content[kPath]);
    }
}

TEST(PinnedFiles, TheCheckNamesTheFirstFileThatDiffersAndLeavesMissingOnesToTheSender) {
    MemoryFiles memory;
    memory.content[L"a"] = Pattern(10, 1);
    memory.content[L"b"] = Pattern(10, 2);
    memory.content[L"c"] = Pattern(10, 3);
    PinnedFiles pinned(memory);
    pinned.Pin(L"missing", DigestOf("x"));
    pinned.Pin(L"a", DigestOf(Pattern(10, 1)));
    pinned.Pin(L"b", DigestOf("not b"));
    pinned.Pin(L"c", DigestOf("not c"));
    EXPECT_EQ(pinned.FindMismatch(FileSharing::ReadWrite), L"b");
    pinned.Clear();
    EXPECT_TRUE(pinned.Empty());
    EXPECT_FALSE(pinned.FindMismatch(FileSharing::ReadWrite));
}
