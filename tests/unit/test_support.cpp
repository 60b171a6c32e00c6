#include "test_support.h"

#include <atomic>
#include <fstream>
#include <random>

namespace {
std::atomic<unsigned> counter{0};
}

TempDir::TempDir() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("fwdl-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(path_)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::wstring TempDir::ProgramPath() const { return path_.wstring(); }

void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string PatternBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t k = 0; k < size; ++k) bytes[k] = static_cast<char>((k * 7 + seed) & 0xFF);
    return bytes;
}

void WritePatternFile(const std::filesystem::path& path, std::size_t size, unsigned seed) {
    WriteBytes(path, PatternBytes(size, seed));
}

std::wstring PackageFolder::ConfigPath() const { return dir_.ProgramPath() + L"\\pkg.cfg"; }

PackageSettings PackageFolder::WriteConfig(std::string_view iniText) {
    WriteBytes(dir_.path() / "pkg.cfg", iniText);
    PackageSettings settings;
    SetPathsFromProgramFile(settings, dir_.ProgramPath() + L"\\pkg.exe");
    ReadGeneralSettings(settings);
    return settings;
}
