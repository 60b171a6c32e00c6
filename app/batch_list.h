// The list of printers that a "/batch" run updates: a UTF-8 text file (a
// byte-order mark is accepted), one line per printer or setting:
//   usb <spooler printer name>    (a name in double quotes is taken without them)
//   net <IPv4 or IPv6 address>
//   parallel <n>     at most n printers at once, 1 to 16 (default 4)
//   wait <seconds>   how long an updated printer may take to be ready again
//                    (default 600)
//   reinstall        update printers that already report the firmware the
//                    package installs (without it they are left as they are)
//   check            a dry run: read every printer as an update would before
//                    its first byte, and send nothing
// Blank lines and lines whose first non-blank character is "#" are ignored.
// Anything else makes the whole list refused, so that a typing error never
// updates half a fleet. Portable.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kDefaultBatchParallel = 4;
inline constexpr int kMaxBatchParallel = 64;
inline constexpr int kDefaultBatchWaitSeconds = 600;
inline constexpr int kMaxBatchWaitSeconds = 86400;
inline constexpr std::size_t kMaxBatchPrinters = 4096;

enum class BatchRoad { kUsb, kNetwork };

struct BatchPrinter {
    BatchRoad road = BatchRoad::kNetwork;
    std::wstring target;  // spooler printer name or address, as written
    bool operator==(const BatchPrinter&) const = default;
};

struct BatchList {
    std::vector<BatchPrinter> printers;  // in list order
    int parallel = kDefaultBatchParallel;
    int waitSeconds = kDefaultBatchWaitSeconds;
    bool reinstall = false;
    bool dryRun = false;
};

// Why a list was refused: the line (counted from 1; 0 when the list as a
// whole is at fault), its text as written and what is wrong with it.
struct BatchListError {
    int line = 0;
    std::wstring text;
    std::wstring problem;
    bool operator==(const BatchListError&) const = default;
};

struct BatchListParse {
    std::optional<BatchList> list;  // set exactly when error is not
    std::optional<BatchListError> error;
};

BatchListParse ParseBatchList(std::string_view bytes);

// The list file could not be read: refused like a list with a bad line.
BatchListError UnreadableBatchList(const std::wstring& path);
// Another program holds the list open for writing: it may be half written.
BatchListError BusyBatchList(const std::wstring& path);

// One line naming the refused line, as standard output and the result file
// give it: `list line 3 not understood (unknown keyword): nett 10.0.0.1`.
std::wstring DescribeBatchListError(const BatchListError& error);

// Whether `text` is a dotted IPv4 address: four decimal octets of 0 to 255,
// no leading zeros (which some readers take as octal).
bool IsDottedIpv4(std::wstring_view text);
// Whether `text` is an IPv6 address as the network library takes it: groups
// of up to four hexadecimal digits, at most one "::", an optional dotted IPv4
// tail and an optional "%" with a decimal scope id of at most 32 bits.
bool IsIpv6Text(std::wstring_view text);

// The printer a network address names, whatever its spelling: the 16 bytes
// of an IPv6 address and its scope id (none counts as 0), or the 4 bytes of
// an IPv4 address, which an IPv4-mapped IPv6 address ("::ffff:a.b.c.d") is
// too. Nothing for a text that is neither form.
struct NetAddressKey {
    bool ipv6 = false;
    std::array<std::uint8_t, 16> bytes{};
    std::uint32_t scope = 0;
    bool operator==(const NetAddressKey&) const = default;
};
std::optional<NetAddressKey> CanonicalNetAddress(std::wstring_view text);
