// The two reads of the package's configuration file: the only way the rest of
// the program reads it. With `encoding` nonzero, stored values are decoded
// (package/config_codec.h) before they are used.
#pragma once

// Reads a text value into out (at most outChars characters, terminator
// included).
//   encoding 0: returns the number of characters copied; an absent key
//     yields defaultText.
//   encoding 1: returns the number of decoded bytes; 0 when the key is
//     absent or its value fails to decode, and out then holds defaultText.
//     The decoded text is widened byte by byte and cut to fit out.
int ReadConfigString(int encoding, const wchar_t* section, const wchar_t* key, const wchar_t* defaultText,
                     wchar_t* out, int outChars, const wchar_t* path);

// Reads an integer value. With encoding on, the value is decoded and read
// as a decimal number; an absent key, a value that fails to decode, an empty
// text or one that does not begin with a number all yield defaultValue.
int ReadConfigInt(int encoding, const wchar_t* section, const wchar_t* key, int defaultValue, const wchar_t* path);

// Buffer sizes of the encoded path.
inline constexpr int kEncodedValueChars = 512;  // raw text read
inline constexpr int kDecodedValueBytes = 256;  // decoded bytes
