// IPv6 address texts: any bytes parse or are refused without reading outside
// the text; an address that parses prints in a form that parses back to it,
// and compares equal to itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/ipv6_address.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto address = ParseIpv6(text);
    const std::wstring wide(text.begin(), text.end());
    if (ParseIpv6(wide) != address) __builtin_trap();
    if (!address) return 0;
    const std::string printed = FormatIpv6(*address);
    if (ParseIpv6(printed) != address) __builtin_trap();
    const std::wstring widePrinted(printed.begin(), printed.end());
    if (CompareIpv6Texts(wide, widePrinted) != 0) __builtin_trap();
    return 0;
}
