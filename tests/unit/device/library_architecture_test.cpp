#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "device/library_architecture.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A header as a linker writes it: "MZ", the pointer at byte 60, "PE\0\0"
// and the machine type there.
Bytes Header(std::uint16_t machine, std::uint32_t peOffset = 0x80, std::size_t size = 0x200) {
    Bytes bytes(size, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (int k = 0; k < 4; ++k) bytes[0x3C + k] = static_cast<unsigned char>(peOffset >> (8 * k));
    const unsigned char tail[] = {
        'P', 'E', 0, 0, static_cast<unsigned char>(machine & 0xFF), static_cast<unsigned char>(machine >> 8)};
    for (std::uint64_t k = 0; k < sizeof tail && peOffset + k < size; ++k) bytes[peOffset + k] = tail[k];
    return bytes;
}

Bytes Cut(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

Bytes With(Bytes bytes, std::size_t at, unsigned char value) {
    bytes[at] = value;
    return bytes;
}

struct HeaderCase {
    const char* name;
    Bytes bytes;
    LibraryArchitecture expected;
};

const LibraryArchitecture kNotAProgram{LibraryArchitecture::kNotAProgramFile, 0};

}  // namespace

TEST(LibraryArchitecture, ReadsTheMachineTypeOrRefusesTheHeader) {
    const HeaderCase cases[] = {
        {"x86", Header(kMachineX86), {LibraryArchitecture::kMachine, kMachineX86}},
        {"x64", Header(kMachineX64), {LibraryArchitecture::kMachine, kMachineX64}},
        {"ARM64", Header(kMachineArm64), {LibraryArchitecture::kMachine, kMachineArm64}},
        {"machine type 0", Header(0), {LibraryArchitecture::kMachine, 0}},
        {"header right after the pointer",
         Header(kMachineX86, 0x40, 0x46),
         {LibraryArchitecture::kMachine, kMachineX86}},
        {"header ends exactly at the end", Header(kMachineX64, 0x1FA), {LibraryArchitecture::kMachine, kMachineX64}},
        {"empty", Bytes{}, kNotAProgram},
        {"only MZ", Bytes{'M', 'Z'}, kNotAProgram},
        {"cut before the pointer ends", Cut(Header(kMachineX86), 0x3F), kNotAProgram},
        {"bad MZ", With(Header(kMachineX86), 0, 'Z'), kNotAProgram},
        {"lower-case mz", With(With(Header(kMachineX86), 0, 'm'), 1, 'z'), kNotAProgram},
        {"no PE signature", With(Header(kMachineX86), 0x80, 'X'), kNotAProgram},
        {"signature without its zeros", With(Header(kMachineX86), 0x83, 1), kNotAProgram},
        {"pointer past the end", Header(kMachineX86, 0x1000), kNotAProgram},
        {"pointer at the far end of 32 bits", Header(kMachineX86, 0xFFFFFFFF), kNotAProgram},
        {"machine type cut off", Header(kMachineX86, 0x1FB), kNotAProgram},
        {"signature cut off", Header(kMachineX86, 0x1FE), kNotAProgram},
        {"pointer to the MZ itself", Header(kMachineX86, 0), kNotAProgram},
    };
    for (const HeaderCase& c : cases)
        EXPECT_EQ(ArchitectureFromHeader(c.bytes.data(), c.bytes.size()), c.expected) << c.name;
    EXPECT_EQ(ArchitectureFromHeader(nullptr, 100), kNotAProgram);
}

TEST(LibraryArchitecture, OnlyAProgramFileOfAnotherMachineIsOfTheOtherArchitecture) {
    EXPECT_TRUE((LibraryArchitecture{LibraryArchitecture::kMachine, kMachineX86}).IsOtherArchitecture(kMachineX64));
    EXPECT_TRUE((LibraryArchitecture{LibraryArchitecture::kMachine, kMachineX64}).IsOtherArchitecture(kMachineX86));
    EXPECT_FALSE((LibraryArchitecture{LibraryArchitecture::kMachine, kMachineX64}).IsOtherArchitecture(kMachineX64));
    // Left to the loader, which refuses what it cannot load.
    EXPECT_FALSE(kNotAProgram.IsOtherArchitecture(kMachineX64));
    EXPECT_FALSE(LibraryArchitecture{}.IsOtherArchitecture(kMachineX64));
}

TEST(LibraryArchitecture, ReadsTheHeaderFromTheFile) {
    TempDir dir;
    PlatformFiles files;
    const auto write = [&dir](const char* name, const Bytes& bytes) {
        WriteBytes(dir.path() / name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    };
    const auto read = [&](const wchar_t* name) {
        return ReadLibraryArchitecture(files, dir.ProgramPath() + L"\\" + name);
    };
    write("x86.dll", Header(kMachineX86));
    // Read in as many pieces as the file gives.
    write("far.dll", Header(kMachineX64, 0x9000, 0xA000));
    write("too-far.dll", Header(kMachineX64, kArchitectureProbeBytes, kArchitectureProbeBytes + 0x100));
    WriteBytes(dir.path() / "text.dll", "not a library");

    EXPECT_EQ(read(L"x86.dll"), (LibraryArchitecture{LibraryArchitecture::kMachine, kMachineX86}));
    EXPECT_EQ(read(L"far.dll"), (LibraryArchitecture{LibraryArchitecture::kMachine, kMachineX64}));
    EXPECT_EQ(read(L"too-far.dll"), kNotAProgram);
    EXPECT_EQ(read(L"text.dll"), kNotAProgram);
    EXPECT_EQ(read(L"absent.dll"), LibraryArchitecture{});
}

TEST(LibraryArchitecture, MachineNames) {
    EXPECT_EQ(MachineName(kMachineX86), "x86 (32-bit)");
    EXPECT_EQ(MachineName(kMachineX64), "x64 (64-bit)");
    EXPECT_EQ(MachineName(kMachineArm64), "ARM64");
    EXPECT_EQ(MachineName(0x01C4), "machine type 0x01C4");
}

// This test program itself is a program file of the build's own machine.
#if defined(_WIN32)
TEST(LibraryArchitecture, TheProgramIsOfItsOwnBuildsMachine) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    PlatformFiles files;
    EXPECT_EQ(ReadLibraryArchitecture(files, path),
              (LibraryArchitecture{LibraryArchitecture::kMachine, kProgramMachine}));
}
#endif
