#include "package/config_codec.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kNotInAlphabet = -1;

// 6-bit value of each byte, kNotInAlphabet for bytes outside the table.
constexpr std::array<int, 256> MakeDecodeTable() {
    std::array<int, 256> table{};
    for (int& value : table) value = kNotInAlphabet;
    for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kConfigAlphabet[i])] = i;
    return table;
}
constexpr std::array<int, 256> kDecodeTable = MakeDecodeTable();

int SixBitValue(char c) { return kDecodeTable[static_cast<unsigned char>(c)]; }

unsigned char PayloadCheck(std::string_view payload) {
    unsigned char check = 0;
    for (char c : payload) check ^= static_cast<unsigned char>(c);
    return check;
}

std::string CheckCharacters(unsigned char check) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", check);
    return digits;
}

}  // namespace

int DecodeQuad(const char group[4], unsigned char out[3]) {
    int values[4];
    for (int i = 0; i < 4; ++i) values[i] = SixBitValue(group[i]);

    int count = 3;
    bool paddingAllowed = true;
    for (int i = 3; i >= 0; --i) {
        if (values[i] != kNotInAlphabet) {
            paddingAllowed = false;
        } else if (paddingAllowed && group[i] == '=') {
            values[i] = 0;
            --count;
        } else {
            return 0;
        }
    }
    if (count < 0) count = 0;

    const unsigned long joined = (static_cast<unsigned long>(values[0]) << 18) |
                                 (static_cast<unsigned long>(values[1]) << 12) |
                                 (static_cast<unsigned long>(values[2]) << 6) | static_cast<unsigned long>(values[3]);
    const unsigned char bytes[3] = {static_cast<unsigned char>(joined >> 16), static_cast<unsigned char>(joined >> 8),
                                    static_cast<unsigned char>(joined)};
    std::memcpy(out, bytes, static_cast<std::size_t>(count));
    return count;
}

int DecodeConfigValue(std::string_view text, unsigned char* out, int capacity) {
    const std::string_view payload = text.size() > 2 ? text.substr(2) : std::string_view{};
    if (text.size() < 2 || text.substr(0, 2) != CheckCharacters(PayloadCheck(payload))) return -1;

    // The padding appended here ends the loop below: the group that reaches
    // into it yields fewer than three bytes.
    const std::string work = std::string(payload) + "====";
    std::size_t next = 0;
    int total = 0;
    int free = capacity;
    int yielded = 3;
    while (yielded == 3) {
        char group[4];
        for (char& c : group) {
            while (next < work.size() && work[next] != '=' && SixBitValue(work[next]) == kNotInAlphabet) ++next;
            // The padding guarantees a character here; stay inside regardless.
            c = next < work.size() ? work[next++] : '=';
        }
        unsigned char bytes[3];
        yielded = DecodeQuad(group, bytes);
        if (yielded > free) return -1;
        // A caller with no room may pass no buffer at all: copy only what there is.
        if (yielded > 0) std::memcpy(out + total, bytes, static_cast<std::size_t>(yielded));
        free -= yielded;
        total += yielded;
    }
    return total;
}

std::string EncodeConfigValue(std::string_view plain) {
    std::string payload;
    std::size_t i = 0;
    for (; i + 3 <= plain.size(); i += 3) {
        const unsigned long joined = (static_cast<unsigned long>(static_cast<unsigned char>(plain[i])) << 16) |
                                     (static_cast<unsigned long>(static_cast<unsigned char>(plain[i + 1])) << 8) |
                                     static_cast<unsigned long>(static_cast<unsigned char>(plain[i + 2]));
        for (int shift = 18; shift >= 0; shift -= 6) payload.push_back(kConfigAlphabet[(joined >> shift) & 0x3F]);
    }
    const std::size_t rest = plain.size() - i;
    if (rest > 0) {
        unsigned long joined = static_cast<unsigned long>(static_cast<unsigned char>(plain[i])) << 16;
        if (rest == 2) joined |= static_cast<unsigned long>(static_cast<unsigned char>(plain[i + 1])) << 8;
        payload.push_back(kConfigAlphabet[(joined >> 18) & 0x3F]);
        payload.push_back(kConfigAlphabet[(joined >> 12) & 0x3F]);
        payload.push_back(rest == 2 ? kConfigAlphabet[(joined >> 6) & 0x3F] : '=');
        payload.push_back('=');
    }
    return CheckCharacters(PayloadCheck(payload)) + payload;
}
