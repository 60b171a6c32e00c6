// The leading bytes of a library built for a given machine, as the end-to-end
// and wizard tests put one beside the program: "MZ", the pointer at byte 60,
// "PE\0\0" and the machine type. The program reads no further before it
// decides whether to load the file.
#pragma once

#include <cstdint>
#include <string>

#include "device/library_architecture.h"

inline constexpr std::uint16_t kOtherMachine = kProgramMachine == kMachineX64 ? kMachineX86 : kMachineX64;

inline std::string LibraryHeaderFor(std::uint16_t machine) {
    std::string bytes(0x400, '\0');
    bytes.replace(0, 2, "MZ");
    bytes[0x3C] = '\x80';
    bytes.replace(0x80, 4, std::string("PE\0\0", 4));
    bytes[0x84] = static_cast<char>(machine & 0xFF);
    bytes[0x85] = static_cast<char>(machine >> 8);
    return bytes;
}
