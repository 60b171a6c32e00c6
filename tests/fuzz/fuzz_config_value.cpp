// Encoded configuration values: any text must decode or fail cleanly, never
// write past the capacity it is given.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "package/config_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int capacity = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<unsigned char> out(static_cast<std::size_t>(capacity));
    const int count = DecodeConfigValue(text, out.data(), capacity);
    if (count > capacity) __builtin_trap();
    if (size >= 5) {
        unsigned char bytes[3];
        if (DecodeQuad(reinterpret_cast<const char*>(data + 1), bytes) > 3) __builtin_trap();
    }
    // What we encode, we decode to the same text.
    std::string plain(text.substr(0, 255));
    plain.erase(std::remove(plain.begin(), plain.end(), '\0'), plain.end());
    unsigned char round[256];
    const int length = DecodeConfigValue(EncodeConfigValue(plain), round, 256);
    if (length != static_cast<int>(plain.size()) || std::memcmp(round, plain.data(), plain.size()) != 0)
        __builtin_trap();
    return 0;
}
