// The value encoding of package configuration files.
//
// An encoded value is two check characters followed by a payload:
//   - the check characters are the exclusive-or of every payload byte,
//     written as two upper-case hexadecimal digits ("%02X");
//   - the payload is Base64-style text over kConfigAlphabet, our own
//     permutation of the Base64 character set. A character's position in the
//     table is its 6-bit value; "=" pads; any other character is skipped.
// The decoded bytes are 8-bit text that ends at its first zero byte.
//
// The alphabet is part of the package format: a package encoded with another
// table cannot be read. Never change it.
#pragma once

#include <string>
#include <string_view>

inline constexpr char kConfigAlphabet[] = "RCv6/W0hOFlpUwQH4LB5bZnxNuf3MA79YV2d8EjgDk1cKsyqoItiXzGSTaJrP+em";
static_assert(sizeof(kConfigAlphabet) == 65);

// Decodes one group of four characters into at most three bytes; returns the
// number of bytes written (0 to 3). Trailing "=" lower the count; an "="
// before a valid character, or a character outside the table, makes the
// group yield nothing.
int DecodeQuad(const char group[4], unsigned char out[3]);

// Decodes an encoded value into out; returns the number of bytes written, or
// -1 when the check characters do not match or the result would exceed
// `capacity` bytes. Decoding stops at the first group that yields fewer than
// three bytes.
int DecodeConfigValue(std::string_view text, unsigned char* out, int capacity);

// The inverse of DecodeConfigValue for text without zero bytes: the check
// characters and the padded payload.
std::string EncodeConfigValue(std::string_view plain);
