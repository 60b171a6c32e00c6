#include "base/files.h"

std::optional<std::string> ReadAllBytes(InputFile& file, std::size_t maxBytes) {
    constexpr int kPieceBytes = 64 * 1024;
    std::string bytes;
    for (;;) {
        const std::size_t start = bytes.size();
        bytes.resize(start + kPieceBytes);
        const int read = file.Read(bytes.data() + start, kPieceBytes);
        if (read < 0) return std::nullopt;
        bytes.resize(start + static_cast<std::size_t>(read));
        if (bytes.size() > maxBytes) return std::nullopt;
        if (read == 0) return bytes;
    }
}
