#include "base/file_pins.h"

#include "base/background_sha256.h"
#include "base/text.h"

namespace {

bool Matches(const std::optional<Sha256Digest>& digest, const std::optional<Sha256Digest>& pin) {
    return digest && pin && *digest == *pin;
}

// A pinned file being read: its bytes go through the hash on their way to
// the caller, and the last piece only when the whole content matches.
class CheckedFile final : public InputFile {
public:
    CheckedFile(std::unique_ptr<InputFile> file, std::optional<Sha256Digest> pin)
        : file_(std::move(file)), pin_(pin), size_(file_->Size()) {}

    int Read(void* buffer, int count) override {
        if (state_ == State::kFailed) return -1;
        const int read = file_->Read(buffer, count);
        if (read < 0 || read > count) return Fail();
        if (state_ == State::kChecked) return read == 0 ? 0 : Fail();

        hash_.Update(buffer, static_cast<std::size_t>(read));
        bytesRead_ += read;
        const bool atEnd = read < count || (size_ >= 0 && bytesRead_ >= size_);
        if (!atEnd) return read;
        if (!Matches(hash_.Finish(), pin_)) return Fail();
        state_ = State::kChecked;
        return read;
    }

    std::int64_t Size() override { return file_->Size(); }

private:
    enum class State { kReading, kChecked, kFailed };

    int Fail() {
        state_ = State::kFailed;
        return -1;
    }

    std::unique_ptr<InputFile> file_;
    const std::optional<Sha256Digest> pin_;
    const std::int64_t size_;  // taken at open: where the content ends
    BackgroundSha256 hash_;  // hashes while the caller sends what it read
    std::int64_t bytesRead_ = 0;
    State state_ = State::kReading;
};

}  // namespace

std::optional<Sha256Digest> HashContent(InputFile& file) {
    // Larger pieces than the printer's chunks: the check reads whole packages.
    constexpr int kPieceBytes = 1 << 16;
    const auto buffer = std::make_unique<unsigned char[]>(kPieceBytes);
    BackgroundSha256 hash;  // reads the next piece while the last one is hashed
    for (;;) {
        const int read = file.Read(buffer.get(), kPieceBytes);
        if (read == 0) return hash.Finish();
        // A failed read leaves the content unknown: a digest of part of it
        // would be sealed into a package as if it were the whole file.
        if (read < 0 || read > kPieceBytes) return std::nullopt;
        hash.Update(buffer.get(), static_cast<std::size_t>(read));
    }
}

void PinnedFiles::Pin(const std::wstring& path, std::optional<Sha256Digest> digest) {
    for (auto& [pinnedPath, pin] : pins_) {
        if (!EqualsOrdinalIgnoringCase(pinnedPath, path)) continue;
        if (pin != digest) pin.reset();
        return;
    }
    pins_.emplace_back(path, digest);
}

const std::optional<Sha256Digest>* PinnedFiles::PinOf(const std::wstring& path) const {
    for (const auto& [pinnedPath, pin] : pins_)
        if (EqualsOrdinalIgnoringCase(pinnedPath, path)) return &pin;
    return nullptr;
}

std::optional<std::wstring> PinnedFiles::FindMismatch(FileSharing sharing) const {
    for (const auto& [path, pin] : pins_) {
        const std::unique_ptr<InputFile> file = files_.OpenForReading(path, sharing);
        if (file && !Matches(HashContent(*file), pin)) return path;
    }
    return std::nullopt;
}

std::unique_ptr<InputFile> PinnedFiles::OpenForReading(const std::wstring& path, FileSharing sharing) {
    std::unique_ptr<InputFile> file = files_.OpenForReading(path, sharing);
    const std::optional<Sha256Digest>* pin = PinOf(path);
    if (!file || !pin) return file;
    return std::make_unique<CheckedFile>(std::move(file), *pin);
}
