#include "device/library_architecture.h"

#include <cstdio>
#include <vector>

namespace {

constexpr std::size_t kHeaderPointerOffset = 0x3C;  // the 32-bit offset of the "PE" header

std::uint32_t ReadLittleEndian(const unsigned char* at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t k = count; k > 0; --k) value = (value << 8) | at[k - 1];
    return value;
}

}  // namespace

LibraryArchitecture ArchitectureFromHeader(const unsigned char* bytes, std::size_t size) {
    const LibraryArchitecture notAProgram{LibraryArchitecture::kNotAProgramFile, 0};
    if (!bytes || size < kHeaderPointerOffset + 4 || bytes[0] != 'M' || bytes[1] != 'Z') return notAProgram;
    const std::uint64_t header = ReadLittleEndian(bytes + kHeaderPointerOffset, 4);
    // Signature (4 bytes) and machine type (2 bytes) must both be inside.
    if (header + 6 > size) return notAProgram;
    const unsigned char* signature = bytes + header;
    if (signature[0] != 'P' || signature[1] != 'E' || signature[2] != 0 || signature[3] != 0) return notAProgram;
    return {LibraryArchitecture::kMachine, static_cast<std::uint16_t>(ReadLittleEndian(signature + 4, 2))};
}

LibraryArchitecture ReadLibraryArchitecture(FileOpener& files, const std::wstring& path) {
    const std::unique_ptr<InputFile> file = files.OpenForReading(path, FileSharing::ReadWrite);
    if (!file) return {};
    std::vector<unsigned char> bytes(kArchitectureProbeBytes);
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const int count = file->Read(bytes.data() + filled, static_cast<int>(bytes.size() - filled));
        if (count <= 0) break;
        filled += static_cast<std::size_t>(count);
    }
    return ArchitectureFromHeader(bytes.data(), filled);
}

std::string MachineName(std::uint16_t machine) {
    switch (machine) {
    case kMachineX86:
        return "x86 (32-bit)";
    case kMachineX64:
        return "x64 (64-bit)";
    case kMachineArm64:
        return "ARM64";
    default: {
        char text[32];
        std::snprintf(text, sizeof text, "machine type 0x%04X", machine);
        return text;
    }
    }
}
