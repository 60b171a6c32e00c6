// The package tool's own file writes: a description or a signature file is
// replaced whole or not at all, and a private key is created new, readable
// by its owner only.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

// A package path (the program's form, see base/files.h) as a file system path.
std::filesystem::path FileSystemPath(const std::wstring& path);

std::optional<std::string> ReadText(const std::filesystem::path& path);

// Replaces the file through a new temporary beside it and one rename, so
// that a failed write never leaves half a file.
bool WriteText(const std::filesystem::path& path, const std::string& text);

// Creates a new file with `text`; fails when the file exists, so that
// nothing (a key, another writer's temporary) is written over. `ownerOnly`:
// only the user who runs the tool can read it (mode 0600; on Windows a
// protected access list for that user alone).
bool CreateNewFile(const std::filesystem::path& path, const std::string& text, bool ownerOnly);
