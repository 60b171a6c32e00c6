// Library file headers: any leading bytes give a machine type or "not a
// program file", and reading never leaves the bytes given (the input is
// copied into a buffer of exactly its size, so AddressSanitizer sees any
// read past it).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/library_architecture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<unsigned char> bytes(data, data + size);
    const LibraryArchitecture architecture = ArchitectureFromHeader(bytes.data(), bytes.size());
    if (architecture.kind == LibraryArchitecture::kMissing) __builtin_trap();
    if (architecture.kind == LibraryArchitecture::kNotAProgramFile && architecture.machine != 0) __builtin_trap();
    if (architecture.kind == LibraryArchitecture::kMachine && (size < 2 || bytes[0] != 'M' || bytes[1] != 'Z'))
        __builtin_trap();
    return 0;
}
