#include <cstdio>

#include "app/batch_result.h"
#include "base/files.h"

bool PlatformResultFile::Replace(const std::wstring& path, std::string_view bytes) {
    const std::string target = ToNativePath(path);
    const std::string temporary = target + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
