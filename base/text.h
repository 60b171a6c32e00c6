// Small text helpers shared by the portable core.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Wide text to 8-bit text, one byte per character; characters above 255
// (which package values and printer texts never hold) become '?'.
std::string ToEightBit(std::wstring_view text);

// 8-bit text to wide text: each byte becomes the character of the same code.
std::wstring FromEightBit(std::string_view text);

// Copies text into a fixed buffer of `capacity` elements, cut to leave room
// for the terminator. Returns the number of elements copied. Never writes
// past the buffer; a capacity of 0 writes nothing.
std::size_t CopyTruncated(std::string_view text, char* out, std::size_t capacity);
std::size_t CopyTruncated(std::wstring_view text, wchar_t* out, std::size_t capacity);

// Length of a text stored in a fixed buffer: up to its first NUL, or the
// whole buffer when it holds none.
std::size_t BoundedLength(const char* text, std::size_t capacity);
std::size_t BoundedLength(const wchar_t* text, std::size_t capacity);

// Wide text from UTF-8; bytes that are not valid UTF-8 are taken one by one
// as characters of the same code.
std::wstring FromUtf8(std::string_view text);

// UTF-8 form of a wide text, for file names on platforms with 8-bit paths.
std::string ToUtf8(std::wstring_view text);

// The signed decimal number at the start of a text, after white space, as
// "%d" reads it; nothing when the text does not begin with a number. Values
// beyond 32 bits wrap as a 32-bit register would.
std::optional<int> ParseLeadingDecimal(std::wstring_view text);

// One argument for a command line, as CommandLineToArgvW and the C runtime
// split it again: quoted when empty or when it holds white space or a quote;
// backslashes are doubled only before a quote.
std::wstring QuotedArgument(std::wstring_view argument);
