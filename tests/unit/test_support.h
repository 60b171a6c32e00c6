// Fixtures for tests that need package folders on disk.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "base/text_catalogue.h"
#include "package/package_settings.h"

// Texts of one language, as ids to words; "" for any other id.
class TableTexts final : public TextCatalogue {
public:
    explicit TableTexts(std::map<int, std::wstring> texts) : texts_(std::move(texts)) {}
    std::wstring Text(int id) const override {
        const auto found = texts_.find(id);
        return found == texts_.end() ? L"" : found->second;
    }

private:
    std::map<int, std::wstring> texts_;
};

// A fresh folder that is removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder as the program names it: a wide text without trailing separator.
    std::wstring ProgramPath() const;

private:
    std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& path, std::string_view bytes);
// A file of `size` bytes whose byte k is (k * 7 + seed) & 0xFF.
void WritePatternFile(const std::filesystem::path& path, std::size_t size, unsigned seed = 0);
std::string PatternBytes(std::size_t size, unsigned seed = 0);

// A package folder: a configuration file "pkg.cfg" and files beside it.
class PackageFolder {
public:
    // Writes the configuration text (INI lines) and returns settings whose
    // ModuleDir and ConfigPath point at it, with section "General" read.
    PackageSettings WriteConfig(std::string_view iniText);
    void AddFile(const std::string& name, std::string_view bytes) { WriteBytes(dir_.path() / name, bytes); }
    void AddPatternFile(const std::string& name, std::size_t size, unsigned seed = 0) {
        WritePatternFile(dir_.path() / name, size, seed);
    }
    const TempDir& dir() const { return dir_; }
    std::wstring ConfigPath() const;

private:
    TempDir dir_;
};
