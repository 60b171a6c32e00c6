#include "app/batch_list.h"

#include <algorithm>
#include <cwctype>

#include "base/text.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsHexDigit(wchar_t c) { return IsDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }

// A decimal number of at most `maxDigits` digits, nothing else.
std::optional<int> PlainDecimal(std::wstring_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    int value = 0;
    for (wchar_t c : text) {
        if (!IsDigit(c)) return std::nullopt;
        value = value * 10 + (c - L'0');
    }
    return value;
}

// Lower case for the comparison of addresses and spooler names, which the
// platform compares without regard to case.
std::wstring Folded(std::wstring_view text) {
    std::wstring folded(text);
    for (wchar_t& c : folded) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return folded;
}

// Whether the bytes of a line are valid UTF-8 without control characters:
// converting them back must give the same bytes.
bool IsCleanUtf8(std::string_view bytes, const std::wstring& wide) {
    if (ToUtf8(wide) != bytes) return false;
    return std::none_of(wide.begin(), wide.end(), [](wchar_t c) { return (c < 0x20 && c != L'\t') || c == 0x7F; });
}

struct LineParser {
    BatchList list;
    bool parallelSeen = false;
    bool waitSeen = false;
    std::vector<std::wstring> seenTargets;  // road letter and folded target

    // The problem with a line, or empty when it was taken.
    std::wstring Take(std::wstring_view line) {
        const std::size_t blank = std::min(line.find(L' '), line.find(L'\t'));
        const std::wstring_view keyword = line.substr(0, blank);
        const std::wstring_view value =
            blank == std::wstring_view::npos ? std::wstring_view() : Trim(line.substr(blank));
        if (keyword == L"usb" || keyword == L"net") {
            const bool usb = keyword == L"usb";
            if (value.empty()) return usb ? L"no printer name" : L"no address";
            if (!usb && !IsDottedIpv4(value) && !IsIpv6Text(value)) return L"not an IPv4 or IPv6 address";
            const std::wstring key = (usb ? L"u " : L"n ") + Folded(value);
            if (std::find(seenTargets.begin(), seenTargets.end(), key) != seenTargets.end())
                return L"printer listed twice";
            if (list.printers.size() >= kMaxBatchPrinters) return L"too many printers";
            seenTargets.push_back(key);
            list.printers.push_back({usb ? BatchRoad::kUsb : BatchRoad::kNetwork, std::wstring(value)});
            return {};
        }
        if (keyword == L"parallel") {
            if (parallelSeen) return L"parallel given twice";
            const auto n = PlainDecimal(value, 2);
            if (!n || *n < 1 || *n > kMaxBatchParallel) return L"parallel takes 1 to 16";
            parallelSeen = true;
            list.parallel = *n;
            return {};
        }
        if (keyword == L"wait") {
            if (waitSeen) return L"wait given twice";
            const auto n = PlainDecimal(value, 5);
            if (!n || *n > kMaxBatchWaitSeconds) return L"wait takes 0 to 86400 seconds";
            waitSeen = true;
            list.waitSeconds = *n;
            return {};
        }
        return L"unknown keyword";
    }
};

}  // namespace

bool IsDottedIpv4(std::wstring_view text) {
    int octets = 0;
    std::size_t at = 0;
    while (true) {
        std::size_t end = at;
        while (end < text.size() && IsDigit(text[end])) ++end;
        const std::wstring_view octet = text.substr(at, end - at);
        const auto value = PlainDecimal(octet, 3);
        if (!value || *value > 255 || (octet.size() > 1 && octet[0] == L'0')) return false;
        ++octets;
        if (end == text.size()) return octets == 4;
        if (text[end] != L'.' || octets == 4) return false;
        at = end + 1;
    }
}

bool IsIpv6Text(std::wstring_view text) {
    if (const std::size_t percent = text.find(L'%'); percent != std::wstring_view::npos) {
        if (!PlainDecimal(text.substr(percent + 1), 10)) return false;
        text = text.substr(0, percent);
    }
    if (text.size() < 2) return false;
    const std::size_t gap = text.find(L"::");
    if (gap != std::wstring_view::npos && text.find(L"::", gap + 1) != std::wstring_view::npos) return false;

    // The groups on each side of the gap; a dotted tail counts as two.
    int groups = 0;
    const auto countSide = [&groups](std::wstring_view side, bool mayEndDotted) {
        if (side.empty()) return true;
        std::size_t at = 0;
        while (true) {
            const std::size_t colon = side.find(L':', at);
            const std::wstring_view group = side.substr(at, colon == std::wstring_view::npos ? colon : colon - at);
            if (colon == std::wstring_view::npos && mayEndDotted && group.find(L'.') != std::wstring_view::npos) {
                if (!IsDottedIpv4(group)) return false;
                groups += 2;
                return true;
            }
            if (group.empty() || group.size() > 4 || !std::all_of(group.begin(), group.end(), IsHexDigit))
                return false;
            ++groups;
            if (colon == std::wstring_view::npos) return true;
            at = colon + 1;
        }
    };
    if (gap == std::wstring_view::npos) return countSide(text, true) && groups == 8;
    return countSide(text.substr(0, gap), false) && countSide(text.substr(gap + 2), true) && groups <= 7;
}

BatchListParse ParseBatchList(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    LineParser parser;
    int lineNumber = 0;
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view raw = bytes.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

        const std::wstring wide = FromUtf8(raw);
        if (!IsCleanUtf8(raw, wide)) return {std::nullopt, BatchListError{lineNumber, wide, L"not UTF-8 text"}};
        const std::wstring_view line = Trim(wide);
        if (line.empty() || line.front() == L'#') continue;
        if (std::wstring problem = parser.Take(line); !problem.empty())
            return {std::nullopt, BatchListError{lineNumber, std::wstring(line), std::move(problem)}};
    }
    if (parser.list.printers.empty()) return {std::nullopt, BatchListError{0, L"", L"the list names no printer"}};
    return {std::move(parser.list), std::nullopt};
}

BatchListError UnreadableBatchList(const std::wstring& path) { return {0, path, L"the list cannot be read"}; }

std::wstring DescribeBatchListError(const BatchListError& error) {
    if (error.line == 0) return L"list not understood (" + error.problem + L"): " + error.text;
    return L"list line " + std::to_wstring(error.line) + L" not understood (" + error.problem + L"): " + error.text;
}
