// Base64 (the standard alphabet, with padding) for keys and signatures in
// text files. Decoding is strict, so that one value has one spelling: no
// white space, no missing or extra padding, no stray bits in the last group.
#pragma once

#include <optional>
#include <string>
#include <string_view>

std::string EncodeBase64(std::string_view bytes);
std::optional<std::string> DecodeBase64(std::string_view text);
