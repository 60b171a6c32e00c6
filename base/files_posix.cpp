#include <sys/stat.h>

#include <cstdio>

#include "base/files.h"
#include "base/text.h"

namespace {

class StdioFile final : public InputFile {
public:
    explicit StdioFile(std::FILE* file) : file_(file) {}
    ~StdioFile() override { std::fclose(file_); }
    StdioFile(const StdioFile&) = delete;
    StdioFile& operator=(const StdioFile&) = delete;

    int Read(void* buffer, int count) override {
        if (count <= 0) return 0;
        const std::size_t read = std::fread(buffer, 1, static_cast<std::size_t>(count), file_);
        if (read == 0 && std::ferror(file_)) return -1;
        return static_cast<int>(read);
    }

    std::int64_t Size() override {
        const long here = std::ftell(file_);
        if (here < 0 || std::fseek(file_, 0, SEEK_END) != 0) return -1;
        const long end = std::ftell(file_);
        std::fseek(file_, here, SEEK_SET);
        return end;
    }

private:
    std::FILE* file_;
};

}  // namespace

std::string ToNativePath(const std::wstring& path) {
    std::string native = ToUtf8(path);
    for (char& c : native)
        if (c == '\\') c = '/';
    return native;
}

// POSIX has no sharing modes; both kinds open the same way.
std::unique_ptr<InputFile> PlatformFiles::OpenForReading(const std::wstring& path, FileSharing) {
    std::FILE* file = std::fopen(ToNativePath(path).c_str(), "rb");
    if (!file) return nullptr;
    // Only regular files count: a folder opens under POSIX but not on Windows.
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(file);
        return nullptr;
    }
    return std::make_unique<StdioFile>(file);
}
