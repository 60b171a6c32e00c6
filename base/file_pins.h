// Firmware files pinned to the SHA-256 of their exact content. The package
// says what each file must hash to; before anything is sent every pinned
// file is hashed whole (FindMismatch), and while a file is sent its bytes
// are hashed as they are read, so that a file changed after that check is
// never handed over whole.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/files.h"
#include "base/sha256.h"

// The SHA-256 of a file's content, read from where it stands to its end.
// Nothing when a read fails or the platform could not hash.
std::optional<Sha256Digest> HashContent(InputFile& file);

// A FileOpener that checks the files pinned to it. A pinned file opens as a
// file that hashes its bytes as they are read; the read that reaches the end
// of the file (the size taken at open, or a short read) compares the digest
// with the pin and, when they differ, withholds its bytes and fails (-1), as
// does every read after it. Bytes beyond the checked end fail as well. Other
// files open unchanged.
class PinnedFiles final : public FileOpener {
public:
    explicit PinnedFiles(FileOpener& files) : files_(files) {}

    // `digest` empty: the package pins the file with a value that is no
    // SHA-256, which no content matches. A path pinned twice with different
    // digests matches neither. Paths are compared without regard to case,
    // as the system finds files: "MAIN.BIN" opens the file pinned as "main.bin".
    void Pin(const std::wstring& path, std::optional<Sha256Digest> digest);
    void Clear() { pins_.clear(); }
    bool Empty() const { return pins_.empty(); }

    // Hashes every pinned file whole, in the order pinned, and returns the
    // path of the first whose content differs from its pin. A file that
    // cannot be opened is left to the sender, which reports it as such.
    std::optional<std::wstring> FindMismatch(FileSharing sharing) const;

    std::unique_ptr<InputFile> OpenForReading(const std::wstring& path, FileSharing sharing) override;
    bool StopRequested() override { return files_.StopRequested(); }

private:
    const std::optional<Sha256Digest>* PinOf(const std::wstring& path) const;

    FileOpener& files_;
    std::vector<std::pair<std::wstring, std::optional<Sha256Digest>>> pins_;
};
