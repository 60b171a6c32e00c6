// The processor architecture of a library file, read from its header before
// the library is loaded: a program can load only libraries of its own
// architecture, and one of the other architecture is refused with a word of
// why instead of looking missing. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/files.h"

// Machine types of the file header that the program and its libraries may
// have.
inline constexpr std::uint16_t kMachineX86 = 0x014C;
inline constexpr std::uint16_t kMachineX64 = 0x8664;
inline constexpr std::uint16_t kMachineArm64 = 0xAA64;

// The machine type of this build of the program.
#if defined(_M_X64) || defined(__x86_64__)
inline constexpr std::uint16_t kProgramMachine = kMachineX64;
#elif defined(_M_IX86) || defined(__i386__)
inline constexpr std::uint16_t kProgramMachine = kMachineX86;
#elif defined(_M_ARM64) || defined(__aarch64__)
inline constexpr std::uint16_t kProgramMachine = kMachineArm64;
#else
inline constexpr std::uint16_t kProgramMachine = 0;
#endif

// What the header of a library file says.
struct LibraryArchitecture {
    enum Kind {
        kMissing,        // the file does not exist or cannot be opened
        kNotAProgramFile,  // no valid header: too short, no "MZ", no "PE" signature where the header points
        kMachine,        // a program file for `machine`
    };
    Kind kind = kMissing;
    std::uint16_t machine = 0;

    bool operator==(const LibraryArchitecture&) const = default;

    // A program file of another machine type than this program's: loading it
    // cannot work, so it is not tried. A file that is not a program file at
    // all is left to the loader, which refuses it.
    bool IsOtherArchitecture(std::uint16_t programMachine = kProgramMachine) const {
        return kind == kMachine && machine != programMachine;
    }
};

// How many leading bytes of a file the header is looked for in: the pointer
// to the header may point anywhere in them.
inline constexpr std::size_t kArchitectureProbeBytes = 64 * 1024;

// Reads the machine type from the leading `size` bytes of a file: the "MZ"
// header, the offset of the "PE\0\0" header at byte 60, the machine type
// right after that signature. Never reads outside [bytes, bytes + size).
LibraryArchitecture ArchitectureFromHeader(const unsigned char* bytes, std::size_t size);

// Opens `path` and reads its header.
LibraryArchitecture ReadLibraryArchitecture(FileOpener& files, const std::wstring& path);

// "x86 (32-bit)", "x64 (64-bit)", "ARM64", or "machine type 0x1234": the
// fixed English names used where texts are not from the catalogue (console
// lines, fwpack).
std::string MachineName(std::uint16_t machine);

// A library of the package that was not loaded because it is built for
// another architecture than the program.
struct LibraryRefusal {
    std::string fileName;  // as the program names it, e.g. "vorlenusb.dll"
    std::uint16_t machine = 0;

    bool operator==(const LibraryRefusal&) const = default;
};
