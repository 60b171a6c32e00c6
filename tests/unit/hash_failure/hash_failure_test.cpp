// Pinned files when the platform cannot hash: no content matches any pin,
// neither a real digest, nor the digest of nothing, nor a pin that is no
// digest at all (which is as empty as a failed hash), so a file is refused
// rather than waved through.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "base/file_pins.h"
#include "base/sha256.h"

namespace {

// Files held in memory, read in pieces as from disk.
class MemoryFiles final : public FileOpener {
public:
    std::map<std::wstring, std::string> files;

    std::unique_ptr<InputFile> OpenForReading(const std::wstring& path, FileSharing) override {
        const auto found = files.find(path);
        if (found == files.end()) return nullptr;
        return std::make_unique<File>(found->second);
    }

private:
    class File final : public InputFile {
    public:
        explicit File(std::string bytes) : bytes_(std::move(bytes)) {}
        int Read(void* buffer, int count) override {
            const std::size_t left = bytes_.size() - at_;
            const std::size_t taken = left < static_cast<std::size_t>(count) ? left : static_cast<std::size_t>(count);
            std::memcpy(buffer, bytes_.data() + at_, taken);
            at_ += taken;
            return static_cast<int>(taken);
        }
        std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }

    private:
        std::string bytes_;
        std::size_t at_ = 0;
    };
};

// The pins a package may carry: a digest of the content as another machine
// made it, the digest of nothing, one of all zero bytes, and none at all.
const std::optional<Sha256Digest> kPins[] = {
    ParseSha256Hex(L"8d4f3b7e8f1f40b1d6f0b0d1a1e2b3c4d5e6f708192a3b4c5d6e7f8091a2b3c4"),
    ParseSha256Hex(L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"),
    Sha256Digest{},
    std::nullopt,
};

TEST(PlatformHashFailure, NoFileMatchesAnyPin) {
    for (const std::string& content : {std::string(), std::string("firmware"), std::string(300000, 'x')}) {
        for (const std::optional<Sha256Digest>& pin : kPins) {
            SCOPED_TRACE(std::to_string(content.size()) + " bytes, pin " + (pin ? Sha256Hex(*pin) : "none"));
            MemoryFiles memory;
            memory.files[L"fw.bin"] = content;
            PinnedFiles pinned(memory);
            pinned.Pin(L"fw.bin", pin);
            // The check before anything is sent names the file.
            EXPECT_EQ(pinned.FindMismatch(FileSharing::ReadWrite), std::optional<std::wstring>(L"fw.bin"));
            // While it is sent, the read that reaches its end fails.
            const std::unique_ptr<InputFile> file = pinned.OpenForReading(L"fw.bin", FileSharing::ReadWrite);
            ASSERT_TRUE(file);
            std::string buffer(4096, '\0');
            int read = 0;
            int reads = 0;
            while ((read = file->Read(buffer.data(), 4096)) > 0 && ++reads < 1000) {
            }
            EXPECT_LT(read, 0) << "the last read handed the file over";
        }
    }
}

TEST(PlatformHashFailure, ContentHasNoDigest) {
    MemoryFiles memory;
    memory.files[L"fw.bin"] = "firmware";
    const std::unique_ptr<InputFile> file = memory.OpenForReading(L"fw.bin", FileSharing::ReadWrite);
    EXPECT_FALSE(HashContent(*file));
    EXPECT_FALSE(Sha256::Of("x", 1));
}

}  // namespace
