#include "transfer/firmware_stream.h"

std::array<unsigned char, kMarkerBytes> MarkerBytes(std::uint32_t marker) {
    return {static_cast<unsigned char>(marker & 0xFF), static_cast<unsigned char>((marker >> 8) & 0xFF),
            static_cast<unsigned char>((marker >> 16) & 0xFF), static_cast<unsigned char>((marker >> 24) & 0xFF)};
}
