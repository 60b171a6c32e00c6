// Scenario files: any bytes parse into a fleet without reading outside the
// text, and the status texts of the fleet read back as parsed.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sim/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Scenario scenario = ParseScenario(text);
    if (scenario.usb.size() > kMaxPrintersPerKind || scenario.net.size() > kMaxPrintersPerKind) __builtin_trap();
    for (const UsbPrinterSpec& usb : scenario.usb)
        for (const StatusStep& step : usb.behaviour.afterUpdate)
            if (step.reads < 1) __builtin_trap();
    (void)ParseSimStatus(text);
    return 0;
}
