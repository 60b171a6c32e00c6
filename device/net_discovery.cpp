#include "device/net_discovery.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/text.h"
#include "base/text_ids.h"
#include "package/package_model.h"

namespace {

// The process-wide state the library's callbacks write into (see the header).
AgentTableV4 g_agentsV4 = {};
AgentTableV6 g_agentsV6 = {};
char g_valueBuffer[kOidValueBytes] = {};

constexpr char kBroadcastAddressV4[] = "255.255.255.255";
constexpr char kBroadcastAddressV6[] = "";

// The text a callback hands over, read no further than a field of
// `fieldBytes` can hold, so an over-long text is cut to the field.
std::string_view FieldText(const char* text, std::size_t fieldBytes) {
    if (text == nullptr) return {};
    return std::string_view(text, BoundedLength(text, fieldBytes - 1));
}

// An address too long for its field is refused, not cut: cut, it would name
// another host ("192.168.100.1234" is not "192.168.100.123").
bool FitsAddressField(const char* address) {
    return address == nullptr || BoundedLength(address, kAgentAddressBytesV4) < kAgentAddressBytesV4;
}

int VORLEN_CALL StoreAgentV4(const char* address, const char* deviceName) {
    if (!FitsAddressField(address)) return 0;
    const std::string_view stored = FieldText(address, kAgentAddressBytesV4);
    const AgentEntryV4* begin = g_agentsV4.entries;
    if (std::any_of(begin, begin + g_agentsV4.count, [&](const AgentEntryV4& e) { return stored == e.address; }))
        return 0;
    if (g_agentsV4.count < kMaxAgents) {
        AgentEntryV4& entry = g_agentsV4.entries[g_agentsV4.count++];
        CopyTruncated(stored, entry.address, sizeof entry.address);
        CopyTruncated(FieldText(deviceName, kAgentNameBytesV4), entry.deviceName, sizeof entry.deviceName);
    }
    return 1;
}

int VORLEN_CALL StoreAgentV6(const unsigned char* address, std::uint32_t scopeId, const char* deviceName) {
    if (address == nullptr) return 0;
    const AgentEntryV6* begin = g_agentsV6.entries;
    const auto sameAddress = [&](const AgentEntryV6& e) {
        return std::memcmp(e.address, address, kIpv6AddressBytes) == 0;
    };
    if (std::any_of(begin, begin + g_agentsV6.count, sameAddress)) return 0;
    if (g_agentsV6.count < kMaxAgents) {
        AgentEntryV6& entry = g_agentsV6.entries[g_agentsV6.count++];
        std::memcpy(entry.address, address, kIpv6AddressBytes);
        CopyTruncated(FieldText(deviceName, kAgentNameBytesV6), entry.deviceName, sizeof entry.deviceName);
        entry.scopeId = scopeId;
    }
    return 1;
}

// A value of the buffer's size or more does not fit with its NUL and counts
// as none.
int VORLEN_CALL StoreValue(const char*, const char*, int, const unsigned char* value, int length) {
    if (value != nullptr && length >= 0 && length < kOidValueBytes) {
        std::memcpy(g_valueBuffer, value, static_cast<std::size_t>(length));
        g_valueBuffer[length] = '\0';
    }
    return 1;
}

int GetPrivateValue(DeviceLibraries& libraries, const char* oid, const char* address, const char* community,
                    int ipVersion, char* out, std::size_t capacity) {
    std::fill(std::begin(g_valueBuffer), std::end(g_valueBuffer), '\0');
    const char* const oids[] = {oid};
    if (ipVersion == kIpVersion4)
        libraries.SNMPGetV4(address, community, 1, oids, kGetWaitV4Ms, StoreValue);
    else
        libraries.SNMPGetV6(address, community, 1, oids, kGetWaitV6Ms, StoreValue);

    const std::size_t length = BoundedLength(g_valueBuffer, sizeof g_valueBuffer);
    if (out == nullptr || length >= capacity) return 0;
    CopyTruncated(std::string_view(g_valueBuffer, length), out, capacity);
    return 1;
}

}  // namespace

const AgentTableV4& DiscoveredAgentsV4() { return g_agentsV4; }
const AgentTableV6& DiscoveredAgentsV6() { return g_agentsV6; }

std::vector<char> BuildSysOidList(const PackageSettings& settings) {
    const int count = std::clamp<int>(settings.SysOIDCnt, 0, kSysOidSlots);
    std::vector<char> list;
    for (int i = 0; i < count; ++i) {
        const char* oid = settings.SysOID[i];
        list.insert(list.end(), oid, oid + BoundedLength(oid, kSysOidBytes - 1));
        list.push_back('\0');
    }
    list.push_back('\0');
    return list;
}

int GetFirmwareVersion(DeviceLibraries& libraries, const char* address, const char* community, int ipVersion,
                       char* out, std::size_t capacity) {
    return GetPrivateValue(libraries, kFirmwareVersionOid, address, community, ipVersion, out, capacity);
}

int GetVariantCode(DeviceLibraries& libraries, const char* address, const char* community, int ipVersion,
                   char* out, std::size_t capacity) {
    return GetPrivateValue(libraries, kVariantCodeOid, address, community, ipVersion, out, capacity);
}

void DiscoverIpv4(DeviceLibraries& libraries, const PackageSettings& settings, const char* community,
                  const char* address) {
    g_agentsV4.count = 0;
    const std::vector<char> sysOids = BuildSysOidList(settings);
    if (address == nullptr)
        libraries.FindSnmpAgentEx(community, 1, kBroadcastAddressV4, kBroadcastWaitV4Ms, sysOids.data(), 0,
                                  StoreAgentV4, nullptr);
    else
        libraries.FindSnmpAgentEx(community, 0, address, kHostWaitMs, sysOids.data(), 0, StoreAgentV4, nullptr);
}

void DiscoverIpv6(DeviceLibraries& libraries, const PackageSettings& settings, const char* community,
                  const wchar_t* address, int osMajorVersion) {
    g_agentsV6.count = 0;
    const std::vector<char> sysOids = BuildSysOidList(settings);
    if (address == nullptr) {
        if (osMajorVersion < kIpv6OsMajorVersion) return;
        libraries.FindSnmpAgentExV6(community, 1, kBroadcastAddressV6, kBroadcastWaitV6Ms, sysOids.data(), 0,
                                    StoreAgentV6, nullptr);
    } else {
        const std::string host = ToEightBit(address);
        libraries.FindSnmpAgentExV6(community, 0, host.c_str(), kHostWaitMs, sysOids.data(), 0, StoreAgentV6,
                                    nullptr);
    }
}

std::string FormatIpv6Address(const unsigned char address[kIpv6AddressBytes], std::uint32_t scopeId) {
    enum class Gap { Before, Inside, After };
    constexpr int kGroups = kIpv6AddressBytes / 2;
    Gap gap = Gap::Before;
    std::string text;
    char digits[8];
    for (int group = 0; group < kGroups; ++group) {
        const unsigned char high = address[2 * group];
        const unsigned char low = address[2 * group + 1];
        const bool zero = high == 0 && low == 0;
        if (gap == Gap::Before && zero) {
            text += group == 0 ? "::" : ":";
            gap = Gap::Inside;
            continue;
        }
        if (gap == Gap::Inside) {
            if (zero) continue;
            gap = Gap::After;
        }
        std::snprintf(digits, sizeof digits, "%02x%02x", high, low);
        text += digits;
        if (group != kGroups - 1) text += ':';
    }
    if (scopeId != 0) text += '%' + std::to_string(scopeId);
    return text;
}

NetQueryAddresses AddressesOfBroadcastEntry(const AgentEntryV4& entry) {
    const std::string address(entry.address, BoundedLength(entry.address, sizeof entry.address));
    return {address, address, kIpVersion4};
}

NetQueryAddresses AddressesOfBroadcastEntry(const AgentEntryV6& entry) {
    const std::string address = FormatIpv6Address(entry.address, entry.scopeId);
    return {address, address, kIpVersion6};
}

NetQueryAddresses AddressesOfAskedIpv4(const AgentTableV4& table, const char* askedAddress) {
    const std::string asked = askedAddress ? askedAddress : "";
    if (table.count <= 0) return {asked, asked, kIpVersion4};
    const AgentEntryV4& first = table.entries[0];
    return {std::string(first.address, BoundedLength(first.address, sizeof first.address)), asked, kIpVersion4};
}

NetQueryAddresses AddressesOfAskedIpv6(std::wstring_view askedAddress) {
    const std::string asked = ToEightBit(askedAddress);
    return {asked, asked, kIpVersion6};
}

int NetRowStatusTextId(const PackageSettings& settings, const PrinterStatusBlock& status, bool updatesStarted,
                       std::int32_t transferResult) {
    const bool completed = updatesStarted && transferResult == kTransferCompleted;
    return StatusTextId(settings, status.stateCode(), status.detailCode1(), status.detailCode2(), completed);
}

NetRowIdentity IdentifyNetRow(DeviceLibraries& libraries, const PackageSettings& settings,
                              const NetQueryAddresses& addresses, const char* community, bool updatesStarted) {
    NetRowIdentity row;
    const char* gets = addresses.gets.c_str();

    char value[kOidValueBytes] = {};
    if (GetFirmwareVersion(libraries, gets, community, addresses.ipVersion, value, sizeof value) == 1)
        row.firmwareText = value;

    // The field keeps its terminator: a longer value is cut to 31 bytes.
    if (GetVariantCode(libraries, gets, community, addresses.ipVersion, value, sizeof value) == 1)
        CopyTruncated(value, row.item.variantCode, sizeof row.item.variantCode);

    row.item.isIpv6 = addresses.ipVersion == kIpVersion4 ? 0 : 1;
    row.item.transferResult = kTransferPending;

    PrinterStatusBlock status;
    if (libraries.NetworkReadStatusV3(addresses.status.c_str(), community, kDiscoveryStatusMode, &status) != 0) {
        row.item.stateCode = status.stateCode();
        row.item.detailCode1 = status.detailCode1();
        row.item.detailCode2 = status.detailCode2();
        row.statusTextId = NetRowStatusTextId(settings, status, updatesStarted, row.item.transferResult);
    } else {
        row.item.stateCode = kStateUnreadable;
        row.item.detailCode1 = 0;
        row.item.detailCode2 = 0;
        row.statusTextId = IDS_STATE_NOT_READY;
    }
    return row;
}
