// Finding the family's printers on the network over SNMP and identifying
// each one: address, device name, firmware text, variant code and status.
// Everything goes through the network library.
//
// The library's discovery and value callbacks carry no context, so what they
// report lands in process-wide state: the IPv4 and IPv6 discovery tables and
// the value buffer below. They are the only state of this kind; they are not
// locked, and only the interface thread may use them, one call at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/library_table.h"
#include "device/printer_items.h"
#include "package/package_settings.h"

inline constexpr int kMaxAgents = 64;
inline constexpr int kAgentAddressBytesV4 = 16;
inline constexpr int kAgentNameBytesV4 = 32;
inline constexpr int kAgentNameBytesV6 = 64;
inline constexpr int kIpv6AddressBytes = 16;
inline constexpr int kOidValueBytes = 128;  // the value buffer, and what callers pass as capacity

// Fixed waits and modes of the network library's calls.
inline constexpr int kBroadcastWaitV4Ms = 3000;
inline constexpr int kBroadcastWaitV6Ms = 2000;
inline constexpr int kHostWaitMs = 2000;
inline constexpr int kGetWaitV4Ms = 1000;
inline constexpr int kGetWaitV6Ms = 500;
inline constexpr int kDiscoveryStatusMode = 3;
inline constexpr int kIpVersion4 = 4;
inline constexpr int kIpVersion6 = 6;

// IPv6 features, broadcast discovery among them, need this major version of
// the operating system or a later one.
inline constexpr int kIpv6OsMajorVersion = 6;

inline constexpr char kFirmwareVersionOid[] = "1.3.6.1.4.1.47131.886.300.369.8531.1.2.1.0";
inline constexpr char kVariantCodeOid[] = "1.3.6.1.4.1.47131.886.300.369.8531.1.2.3.0";

// Texts are NUL-terminated inside their fields; longer ones were cut.
struct AgentEntryV4 {
    char address[kAgentAddressBytesV4];  // dotted address text
    char deviceName[kAgentNameBytesV4];
};

struct AgentEntryV6 {
    unsigned char address[kIpv6AddressBytes];  // network byte order
    char deviceName[kAgentNameBytesV6];
    std::uint32_t scopeId;  // 0: none
};

template <typename Entry>
struct AgentTable {
    Entry entries[kMaxAgents];
    int count;
};
using AgentTableV4 = AgentTable<AgentEntryV4>;
using AgentTableV6 = AgentTable<AgentEntryV6>;

// The process's discovery tables, as the last discovery left them.
const AgentTableV4& DiscoveredAgentsV4();
const AgentTableV6& DiscoveredAgentsV6();

// The package's system object identifiers as the library takes them: each
// followed by a NUL, the whole followed by one more NUL.
std::vector<char> BuildSysOidList(const PackageSettings& settings);

// Reads the firmware version or the variant code of the printer at `address`
// over IP version 4, or 6 for any other ipVersion. Returns 1 with the value
// text in out, or 0 with out untouched when the text does not fit in
// capacity. A printer that does not answer yields 1 and empty text; so does
// a value of 128 bytes or more.
int GetFirmwareVersion(DeviceLibraries& libraries, const char* address, const char* community, int ipVersion,
                       char* out, std::size_t capacity);
int GetVariantCode(DeviceLibraries& libraries, const char* address, const char* community, int ipVersion,
                   char* out, std::size_t capacity);

// Fills the IPv4 table with the agents that answer: a broadcast when address
// is nullptr, else the one dotted address. An address answers once.
void DiscoverIpv4(DeviceLibraries& libraries, const PackageSettings& settings, const char* community,
                  const char* address);

// Fills the IPv6 table likewise: a broadcast when address is nullptr (made
// only when osMajorVersion is kIpv6OsMajorVersion or later), else the one
// address text. Answers that differ only in scope id count as one.
void DiscoverIpv6(DeviceLibraries& libraries, const PackageSettings& settings, const char* community,
                  const wchar_t* address, int osMajorVersion);

// The address text of an IPv6 address as the network library takes it: all
// eight groups as four hexadecimal digits, except that the first run of zero
// groups is left out ("::"), and "%<scope id>" when the scope id is not 0.
std::string FormatIpv6Address(const unsigned char address[kIpv6AddressBytes], std::uint32_t scopeId);

// Where a row's printer is asked: the private values at `gets`, the status at
// `status`, over IP version ipVersion.
struct NetQueryAddresses {
    std::string gets;
    std::string status;
    int ipVersion;
};

NetQueryAddresses AddressesOfBroadcastEntry(const AgentEntryV4& entry);
NetQueryAddresses AddressesOfBroadcastEntry(const AgentEntryV6& entry);
// After DiscoverIpv4 of one address: the gets go to the address the agent
// reported (table entry 0), the status read to the address that was asked.
NetQueryAddresses AddressesOfAskedIpv4(const AgentTableV4& table, const char* askedAddress);
NetQueryAddresses AddressesOfAskedIpv6(std::wstring_view askedAddress);

// What one row of the network printer list shows and carries.
struct NetRowIdentity {
    std::string firmwareText;  // empty when none was read
    NetPrinterItem item;
    int statusTextId;          // base id of the state text
};

NetRowIdentity IdentifyNetRow(DeviceLibraries& libraries, const PackageSettings& settings,
                              const NetQueryAddresses& addresses, const char* community, bool updatesStarted);

// The state text of a row from a status that was read: "Completed" needs the
// list's updates to have started and the row's transfer to have completed.
int NetRowStatusTextId(const PackageSettings& settings, const PrinterStatusBlock& status, bool updatesStarted,
                       std::int32_t transferResult);

#if defined(_WIN32)
// The running system's major version, for DiscoverIpv6.
int RunningOsMajorVersion();
#endif
