// Reading firmware files: the seam between the portable core and the
// platform's file API, so that package loading and the transfer jobs can be
// tested with files of our own making.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class InputFile {
public:
    virtual ~InputFile() = default;
    // Reads up to `count` bytes; returns the number read, 0 at the end, or a
    // negative number on a read error. Senders take a failed read, or one
    // that ends before the size, as a failed send.
    virtual int Read(void* buffer, int count) = 0;
    // Size of the file in bytes, or -1 when it cannot be told.
    virtual std::int64_t Size() = 0;
};

// How the file is shared with other openers while we hold it.
enum class FileSharing {
    ReadWrite,  // others may read and write (looking at a package file)
    Exclusive,  // nobody else may open it (sending it to a printer)
    ReadOnly,   // others may read, never write, rename or delete it (a library checked, then loaded)
};

// The file's bytes from where it stands to its end; nothing when a read
// fails or there are more than `maxBytes`.
std::optional<std::string> ReadAllBytes(InputFile& file, std::size_t maxBytes);

class FileOpener {
public:
    virtual ~FileOpener() = default;
    // Opens an existing file for reading; nullptr when it cannot be opened.
    virtual std::unique_ptr<InputFile> OpenForReading(const std::wstring& path, FileSharing sharing) = 0;
    // Whether reads fail because the run was asked to stop, not because a
    // file is at fault: a check that fails then is a stop, not a bad file.
    virtual bool StopRequested() { return false; }
};

#if !defined(_WIN32)
// Package paths are formed the Windows way (folder, backslash, name); on
// POSIX systems the backslashes become slashes and the text UTF-8.
std::string ToNativePath(const std::wstring& path);
#endif

// The platform's files: CreateFileW on Windows, stdio elsewhere.
class PlatformFiles final : public FileOpener {
public:
    std::unique_ptr<InputFile> OpenForReading(const std::wstring& path, FileSharing sharing) override;
};
