// Reads a text of unknown length from a call that fills a buffer of a given
// size and, when the text does not fit, cuts it and returns the buffer's size
// (as GetModuleFileNameW does): the buffer grows until the text fits, so the
// text is never taken cut. Portable.
#pragma once

#include <cstddef>
#include <string>

inline constexpr std::size_t kLongestPathChars = 32768;  // the longest path the system knows

// `read(buffer, chars)` returns the characters written without the
// terminator, `chars` when the text was cut, 0 when it failed. Empty when the
// call fails or the text is longer than `longest`.
template <typename Read>
std::wstring ReadWholeText(Read&& read, std::size_t first = 260, std::size_t longest = kLongestPathChars) {
    std::wstring text(first > 0 ? first : 1, L'\0');
    for (;;) {
        const std::size_t length = read(text.data(), text.size());
        if (length == 0) return std::wstring();
        if (length < text.size()) {
            text.resize(length);
            return text;
        }
        if (text.size() > longest) return std::wstring();
        text.resize(text.size() * 2);
    }
}
