// Configuration files: any bytes parse, and lookups answer without reading
// outside the text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/text.h"
#include "package/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const IniFile file = IniFile::Parse(text);
    for (const wchar_t* section : {L"General", L"Fw0", L"Granted", L""}) {
        for (const auto& [key, value] : file.Section(section)) {
            if (file.Value(section, key) != value) __builtin_trap();
            (void)ParseProfileInt(value);
            (void)ParseLeadingDecimal(value);
        }
        (void)file.Value(section, L"FwCount");
    }
    return 0;
}
