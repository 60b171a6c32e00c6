#include "app/batch_list.h"

#include <algorithm>
#include <vector>

#include "base/text.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

int HexValue(wchar_t c) {
    if (IsDigit(c)) return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// A decimal number of at most `maxDigits` (at most 10) digits, nothing else.
// 64-bit, so that ten digits cannot overflow.
std::optional<std::uint64_t> PlainDecimal(std::wstring_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    std::uint64_t value = 0;
    for (wchar_t c : text) {
        if (!IsDigit(c)) return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    return value;
}

using Ipv4Bytes = std::array<std::uint8_t, 4>;

// Four decimal octets of 0 to 255 without leading zeros.
std::optional<Ipv4Bytes> ParseDottedIpv4(std::wstring_view text) {
    Ipv4Bytes bytes{};
    std::size_t octets = 0;
    std::size_t at = 0;
    while (true) {
        std::size_t end = at;
        while (end < text.size() && IsDigit(text[end])) ++end;
        const std::wstring_view octet = text.substr(at, end - at);
        const auto value = PlainDecimal(octet, 3);
        if (!value || *value > 255 || (octet.size() > 1 && octet[0] == L'0')) return std::nullopt;
        bytes[octets++] = static_cast<std::uint8_t>(*value);
        if (end == text.size()) return octets == 4 ? std::optional<Ipv4Bytes>(bytes) : std::nullopt;
        if (text[end] != L'.' || octets == 4) return std::nullopt;
        at = end + 1;
    }
}

// The 16-bit groups of one side of an IPv6 address's "::" (or of the whole
// address); a dotted IPv4 tail, where allowed, gives two groups.
bool ParseIpv6Side(std::wstring_view side, bool mayEndDotted, std::vector<std::uint16_t>& groups) {
    if (side.empty()) return true;
    std::size_t at = 0;
    while (true) {
        const std::size_t colon = side.find(L':', at);
        const std::wstring_view group = side.substr(at, colon == std::wstring_view::npos ? colon : colon - at);
        if (colon == std::wstring_view::npos && mayEndDotted && group.find(L'.') != std::wstring_view::npos) {
            const std::optional<Ipv4Bytes> tail = ParseDottedIpv4(group);
            if (!tail) return false;
            groups.push_back(static_cast<std::uint16_t>((*tail)[0] << 8 | (*tail)[1]));
            groups.push_back(static_cast<std::uint16_t>((*tail)[2] << 8 | (*tail)[3]));
            return true;
        }
        if (group.empty() || group.size() > 4) return false;
        unsigned value = 0;
        for (wchar_t c : group) {
            const int digit = HexValue(c);
            if (digit < 0) return false;
            value = value << 4 | static_cast<unsigned>(digit);
        }
        groups.push_back(static_cast<std::uint16_t>(value));
        if (colon == std::wstring_view::npos) return true;
        at = colon + 1;
    }
}

std::optional<NetAddressKey> ParseIpv6(std::wstring_view text) {
    NetAddressKey key;
    key.ipv6 = true;
    if (const std::size_t percent = text.find(L'%'); percent != std::wstring_view::npos) {
        const auto scope = PlainDecimal(text.substr(percent + 1), 10);
        if (!scope || *scope > 0xFFFFFFFFu) return std::nullopt;
        key.scope = static_cast<std::uint32_t>(*scope);
        text = text.substr(0, percent);
    }
    if (text.size() < 2) return std::nullopt;
    const std::size_t gap = text.find(L"::");
    if (gap != std::wstring_view::npos && text.find(L"::", gap + 1) != std::wstring_view::npos) return std::nullopt;

    std::vector<std::uint16_t> head, tail;
    if (gap == std::wstring_view::npos) {
        if (!ParseIpv6Side(text, true, head) || head.size() != 8) return std::nullopt;
    } else if (!ParseIpv6Side(text.substr(0, gap), false, head) || !ParseIpv6Side(text.substr(gap + 2), true, tail) ||
               head.size() + tail.size() > 7) {
        return std::nullopt;
    }
    std::vector<std::uint16_t> groups = head;
    groups.resize(8 - tail.size(), 0);
    groups.insert(groups.end(), tail.begin(), tail.end());
    for (std::size_t i = 0; i < 8; ++i) {
        key.bytes[2 * i] = static_cast<std::uint8_t>(groups[i] >> 8);
        key.bytes[2 * i + 1] = static_cast<std::uint8_t>(groups[i] & 0xFF);
    }
    return key;
}

NetAddressKey Ipv4Key(const Ipv4Bytes& bytes) {
    NetAddressKey key;
    std::copy(bytes.begin(), bytes.end(), key.bytes.begin());
    return key;
}

// "::ffff:a.b.c.d" in any spelling: 80 zero bits, 16 one bits, the IPv4 address.
bool IsIpv4Mapped(const NetAddressKey& key) {
    for (std::size_t i = 0; i < 10; ++i)
        if (key.bytes[i] != 0) return false;
    return key.bytes[10] == 0xFF && key.bytes[11] == 0xFF;
}

// A spooler printer name as the list gives it: a name in double quotes is
// taken without them, as a command line takes it; one that opens a quote
// must close it at its end.
std::optional<std::wstring_view> UnquotedName(std::wstring_view value) {
    if (value.empty() || value.front() != L'"') return value;
    if (value.size() < 2 || value.back() != L'"') return std::nullopt;
    const std::wstring_view inner = value.substr(1, value.size() - 2);
    if (inner.find(L'"') != std::wstring_view::npos) return std::nullopt;
    return inner;
}

// Whether the bytes of a line are valid UTF-8 without control characters:
// converting them back must give the same bytes.
bool IsCleanUtf8(std::string_view bytes, const std::wstring& wide) {
    if (ToUtf8(wide) != bytes) return false;
    return std::none_of(wide.begin(), wide.end(), [](wchar_t c) { return (c < 0x20 && c != L'\t') || c == 0x7F; });
}

// A printer as the list names it, to find a second naming of it in other
// spellings: spooler names compared as the system compares them, addresses
// by what they address.
struct SeenPrinter {
    int line;
    std::wstring text;  // the line as written
    BatchRoad road;
    std::wstring name;  // usb: the spooler name
    NetAddressKey address;  // net

    bool SamePrinter(BatchRoad otherRoad, std::wstring_view otherName, const NetAddressKey& otherAddress) const {
        if (road != otherRoad) return false;
        return road == BatchRoad::kUsb ? EqualsOrdinalIgnoringCase(name, otherName) : address == otherAddress;
    }
};

struct LineParser {
    BatchList list;
    bool parallelSeen = false;
    bool waitSeen = false;
    std::vector<SeenPrinter> seen;

    // An option line of its keyword alone: a value after it is a typing
    // error, which never passes silently.
    static std::wstring TakeFlag(std::wstring_view keyword, std::wstring_view value, bool& flag) {
        if (!value.empty()) return std::wstring(keyword) + L" takes no value";
        if (flag) return std::wstring(keyword) + L" given twice";
        flag = true;
        return {};
    }

    // The problem with a line, or empty when it was taken.
    std::wstring Take(std::wstring_view line, int lineNumber) {
        const std::size_t blank = std::min(line.find(L' '), line.find(L'\t'));
        const std::wstring_view keyword = line.substr(0, blank);
        const std::wstring_view value =
            blank == std::wstring_view::npos ? std::wstring_view() : Trim(line.substr(blank));
        if (keyword == L"usb" || keyword == L"net") return TakePrinter(keyword == L"usb", value, line, lineNumber);
        if (keyword == L"parallel") {
            if (parallelSeen) return L"parallel given twice";
            const auto n = PlainDecimal(value, 2);
            if (!n || *n < 1 || *n > kMaxBatchParallel) return L"parallel takes 1 to 64";
            parallelSeen = true;
            list.parallel = static_cast<int>(*n);
            return {};
        }
        if (keyword == L"wait") {
            if (waitSeen) return L"wait given twice";
            const auto n = PlainDecimal(value, 5);
            if (!n || *n > kMaxBatchWaitSeconds) return L"wait takes 0 to 86400 seconds";
            waitSeen = true;
            list.waitSeconds = static_cast<int>(*n);
            return {};
        }
        if (keyword == L"reinstall") return TakeFlag(keyword, value, list.reinstall);
        if (keyword == L"check") return TakeFlag(keyword, value, list.dryRun);
        return L"unknown keyword";
    }

    std::wstring TakePrinter(bool usb, std::wstring_view value, std::wstring_view line, int lineNumber) {
        if (value.empty()) return usb ? L"no printer name" : L"no address";
        const BatchRoad road = usb ? BatchRoad::kUsb : BatchRoad::kNetwork;
        std::wstring_view target = value;
        NetAddressKey address;
        if (usb) {
            const std::optional<std::wstring_view> name = UnquotedName(value);
            if (!name) return L"a quoted name must end with its closing quote and hold no other";
            if (name->empty()) return L"no printer name";
            target = *name;
        } else {
            const std::optional<NetAddressKey> key = CanonicalNetAddress(value);
            if (!key) return L"not an IPv4 or IPv6 address";
            address = *key;
        }
        for (const SeenPrinter& earlier : seen)
            if (earlier.SamePrinter(road, target, address))
                return L"printer listed twice, first on line " + std::to_wstring(earlier.line) + L": " + earlier.text;
        if (list.printers.size() >= kMaxBatchPrinters) return L"too many printers";
        seen.push_back({lineNumber, std::wstring(line), road, std::wstring(target), address});
        list.printers.push_back({road, std::wstring(target)});
        return {};
    }
};

// A line's text for the console and the result file: control characters
// (a NUL of UTF-16 text, a stray carriage return) are shown as U+FFFD, never
// passed on raw.
std::wstring Shown(std::wstring_view text) {
    std::wstring shown(text);
    for (wchar_t& c : shown)
        if ((c < 0x20 && c != L'\t') || c == 0x7F) c = 0xFFFD;
    return shown;
}

}  // namespace

bool IsDottedIpv4(std::wstring_view text) { return ParseDottedIpv4(text).has_value(); }

bool IsIpv6Text(std::wstring_view text) { return ParseIpv6(text).has_value(); }

std::optional<NetAddressKey> CanonicalNetAddress(std::wstring_view text) {
    if (const std::optional<Ipv4Bytes> ipv4 = ParseDottedIpv4(text)) return Ipv4Key(*ipv4);
    const std::optional<NetAddressKey> ipv6 = ParseIpv6(text);
    if (ipv6 && IsIpv4Mapped(*ipv6)) return Ipv4Key({ipv6->bytes[12], ipv6->bytes[13], ipv6->bytes[14], ipv6->bytes[15]});
    return ipv6;
}

BatchListParse ParseBatchList(std::string_view bytes) {
    // A list saved as UTF-16 would otherwise be refused at its first line,
    // shown with a NUL after every character.
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")
        return {std::nullopt, BatchListError{0, L"", L"the list is UTF-16 text; save it as UTF-8"}};
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
        const auto refused = [&](const wchar_t* problem) {
            return BatchListParse{std::nullopt, BatchListError{lineNumber, Shown(Trim(wide)), problem}};
        };
        if (raw.find('\r') != std::string_view::npos) return refused(L"a carriage return not followed by a line feed");
        if (raw.find('\0') != std::string_view::npos) return refused(L"a NUL byte: the list must be UTF-8 text, not UTF-16");
        if (!IsCleanUtf8(raw, wide)) return refused(L"not UTF-8 text");
        const std::wstring_view line = Trim(wide);
        if (line.empty() || line.front() == L'#') continue;
        if (std::wstring problem = parser.Take(line, lineNumber); !problem.empty())
            return {std::nullopt, BatchListError{lineNumber, std::wstring(line), std::move(problem)}};
    }
    if (parser.list.printers.empty()) return {std::nullopt, BatchListError{0, L"", L"the list names no printer"}};
    return {std::move(parser.list), std::nullopt};
}

BatchListError UnreadableBatchList(const std::wstring& path) { return {0, path, L"the list cannot be read"}; }

BatchListError BusyBatchList(const std::wstring& path) {
    return {0, path, L"another program has the list open for writing"};
}

std::wstring DescribeBatchListError(const BatchListError& error) {
    if (error.line == 0) return L"list not understood (" + error.problem + L"): " + error.text;
    return L"list line " + std::to_wstring(error.line) + L" not understood (" + error.problem + L"): " + error.text;
}
