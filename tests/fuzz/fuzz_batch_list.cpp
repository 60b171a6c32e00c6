// Batch lists: any bytes are taken or refused without reading outside them.
// A taken list keeps its settings in range and names each printer once; a
// refused one names a line that exists. The result file of either is valid
// UTF-8.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/batch_list.h"
#include "app/batch_result.h"
#include "base/text.h"

namespace {

bool IsUtf8(const std::string& text) {
    const std::wstring wide = FromUtf8(text);
    return ToUtf8(wide) == text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const BatchListParse parse = ParseBatchList(bytes);
    if (parse.list.has_value() == parse.error.has_value()) __builtin_trap();
    BatchReport report;
    if (parse.error) {
        const std::size_t lines = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
        if (parse.error->line < 0 || static_cast<std::size_t>(parse.error->line) > lines) __builtin_trap();
        report.listError = parse.error;
    } else {
        const BatchList& list = *parse.list;
        if (list.parallel < 1 || list.parallel > kMaxBatchParallel) __builtin_trap();
        if (list.waitSeconds < 0 || list.waitSeconds > kMaxBatchWaitSeconds) __builtin_trap();
        if (list.printers.empty() || list.printers.size() > kMaxBatchPrinters) __builtin_trap();
        for (const BatchPrinter& printer : list.printers) {
            if (printer.target.empty()) __builtin_trap();
            if (printer.road == BatchRoad::kNetwork && !IsDottedIpv4(printer.target) && !IsIpv6Text(printer.target))
                __builtin_trap();
            report.printers.emplace_back(printer);
        }
    }
    if (!IsUtf8(FormatBatchResult(report))) __builtin_trap();
    return 0;
}
