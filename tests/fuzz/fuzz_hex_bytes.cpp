// Sub-command texts: any text parses into at most the bytes allowed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "package/package_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i < size; ++i) text.push_back(static_cast<wchar_t>(data[i]));
    unsigned char out[kSubCommandBytes];
    for (int max : {0, 1, 7, kSubCommandBytes}) {
        const int count = ParseHexBytes(text.c_str(), out, max);
        if (count < 0 || count > max) __builtin_trap();
    }
    return 0;
}
