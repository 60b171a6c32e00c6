#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/batch_result.h"
#include "base/files.h"

namespace {

// Names tried for the temporary file before the replacement gives up.
constexpr int kTemporaryNames = 100;

// A file created new beside `target` under a name of this process ("x":
// never an existing file or link).
std::FILE* CreateTemporaryBeside(const std::string& target, std::string& temporary) {
    const std::string stem = target + "." + std::to_string(getpid()) + ".";
    for (int i = 0; i < kTemporaryNames; ++i) {
        temporary = stem + std::to_string(i) + ".tmp";
        if (std::FILE* file = std::fopen(temporary.c_str(), "wbx")) return file;
    }
    temporary.clear();
    return nullptr;
}

}  // namespace

bool PlatformResultFile::Replace(const std::wstring& path, std::string_view bytes) {
    const std::string target = ToNativePath(path);
    std::string temporary;
    std::FILE* file = CreateTemporaryBeside(target, temporary);
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
