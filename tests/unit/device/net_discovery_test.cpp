#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/text_ids.h"
#include "device/net_discovery.h"
#include "null_libraries.h"
#include "package/package_model.h"
#include "test_support.h"

namespace {

using Ipv6Bytes = std::array<unsigned char, kIpv6AddressBytes>;

// An IPv6 address from its eight 16-bit groups.
Ipv6Bytes Ipv6(std::array<std::uint16_t, 8> groups) {
    Ipv6Bytes bytes{};
    for (std::size_t i = 0; i < groups.size(); ++i) {
        bytes[2 * i] = static_cast<unsigned char>(groups[i] >> 8);
        bytes[2 * i + 1] = static_cast<unsigned char>(groups[i] & 0xFF);
    }
    return bytes;
}

// The whole SysOID list as the library receives it, both final NULs included.
std::string SysOidListText(const char* list) {
    std::size_t size = 0;
    while (list[size] != '\0') size += std::strlen(list + size) + 1;
    return std::string(list, size + 1);
}

// A network of printers behind the network library. Agents answer
// discovery in the order given; values and statuses answer per OID and per
// address.
class FakeNetwork : public NullLibraries {
public:
    struct FindCall {
        bool v6;
        std::string community;
        int broadcast;
        std::string address;
        int waitMs;
        std::string sysOids;
        int reserved;
        void* reserved2;
    };
    struct AgentV4 {
        const char* address;
        const char* name;
    };
    struct AgentV6 {
        Ipv6Bytes address;
        std::uint32_t scopeId;
        const char* name;
    };
    struct GetCall {
        int version;
        std::string address;
        std::string community;
        int oidCount;
        std::string oid;
        int waitMs;
    };

    int FindSnmpAgentEx(const char* community, int broadcast, const char* address, int waitMs, const char* sysOidList,
                        int reserved, SnmpAgentCallbackV4 callback, void* reserved2) override {
        finds.push_back({false, community, broadcast, address, waitMs, SysOidListText(sysOidList), reserved, reserved2});
        for (const AgentV4& agent : agentsV4) answers.push_back(callback(agent.address, agent.name));
        return 1;
    }
    int FindSnmpAgentExV6(const char* community, int broadcast, const char* address, int waitMs,
                          const char* sysOidList, int reserved, SnmpAgentCallbackV6 callback,
                          void* reserved2) override {
        finds.push_back({true, community, broadcast, address, waitMs, SysOidListText(sysOidList), reserved, reserved2});
        for (const AgentV6& agent : agentsV6)
            answers.push_back(callback(agent.address.data(), agent.scopeId, agent.name));
        return 1;
    }
    int SNMPGetV4(const char* address, const char* community, int oidCount, const char* const* oids, int waitMs,
                  SnmpValueCallback callback) override {
        return Get(4, address, community, oidCount, oids, waitMs, callback);
    }
    int SNMPGetV6(const char* address, const char* community, int oidCount, const char* const* oids, int waitMs,
                  SnmpValueCallback callback) override {
        return Get(6, address, community, oidCount, oids, waitMs, callback);
    }
    int NetworkReadStatusV3(const char* address, const char* community, int mode,
                            PrinterStatusBlock* status) override {
        statusReads.push_back(std::string(address) + " " + community + " " + std::to_string(mode));
        const auto found = statuses.find(address);
        if (found == statuses.end()) return 0;
        *status = found->second;
        return 1;
    }

    std::vector<AgentV4> agentsV4;
    std::vector<AgentV6> agentsV6;
    std::map<std::string, std::string> values;  // by OID; no entry: the printer does not answer
    std::map<std::string, PrinterStatusBlock> statuses;  // by address; no entry: the read fails

    std::vector<FindCall> finds;
    std::vector<int> answers;  // what the discovery callback returned, per agent
    std::vector<GetCall> gets;
    std::vector<std::string> statusReads;

private:
    int Get(int version, const char* address, const char* community, int oidCount, const char* const* oids,
            int waitMs, SnmpValueCallback callback) {
        gets.push_back({version, address, community, oidCount, oids[0], waitMs});
        const auto found = values.find(oids[0]);
        if (found != values.end()) {
            const std::string& value = found->second;
            EXPECT_EQ(callback(address, oids[0], 4, reinterpret_cast<const unsigned char*>(value.data()),
                               static_cast<int>(value.size())),
                      1);
        }
        return 1;
    }
};

PrinterStatusBlock Status(unsigned char state, unsigned char detail1, unsigned char detail2) {
    PrinterStatusBlock block;
    block.bytes[PrinterStatusBlock::kStateCodeOffset] = state;
    block.bytes[PrinterStatusBlock::kDetailCode1Offset] = detail1;
    block.bytes[PrinterStatusBlock::kDetailCode2Offset] = detail2;
    return block;
}

PackageSettings SettingsWithSysOids(std::initializer_list<const char*> oids) {
    PackageSettings settings;
    int i = 0;
    for (const char* oid : oids) std::strncpy(settings.SysOID[i++], oid, kSysOidBytes);
    settings.SysOIDCnt = static_cast<std::int8_t>(i);
    return settings;
}

// --- SysOID list

TEST(SysOidList, EachIdentifierEndedByNulAndOneMoreNul) {
    const std::vector<char> list = BuildSysOidList(SettingsWithSysOids({"1.3.6.1.4.1.47131.1", "1.3.6.1.4.1.9"}));
    EXPECT_EQ(std::string(list.begin(), list.end()), std::string("1.3.6.1.4.1.47131.1\0" "1.3.6.1.4.1.9\0\0", 35));
}

TEST(SysOidList, CountBoundsTheIdentifiers) {
    PackageSettings settings = SettingsWithSysOids({"1.1", "2.2", "3.3"});
    settings.SysOIDCnt = 2;
    EXPECT_EQ(BuildSysOidList(settings), std::vector<char>({'1', '.', '1', '\0', '2', '.', '2', '\0', '\0'}));
    settings.SysOIDCnt = 0;
    EXPECT_EQ(BuildSysOidList(settings), std::vector<char>({'\0'}));
    settings.SysOIDCnt = -3;
    EXPECT_EQ(BuildSysOidList(settings), std::vector<char>({'\0'}));
    settings.SysOIDCnt = 100;  // never more than the table holds
    EXPECT_EQ(BuildSysOidList(settings).size(), 4u + 4u + 4u + 5u * 1u + 1u);
}

TEST(SysOidList, IdentifierFillingItsSlotIsCutTo127) {
    PackageSettings settings;
    std::memset(settings.SysOID[0], '7', kSysOidBytes);  // no terminator in the slot
    settings.SysOIDCnt = 1;
    const std::vector<char> list = BuildSysOidList(settings);
    EXPECT_EQ(list.size(), 127u + 2u);
    EXPECT_EQ(std::string(list.begin(), list.end()), std::string(127, '7') + std::string(2, '\0'));
}

// --- private OID gets

struct ValueCase {
    const char* name;
    std::optional<std::string> value;  // nothing: the printer does not answer
    std::size_t capacity;
    int result;
    std::string text;  // what out holds afterwards
};

class PrivateOidGet : public ::testing::TestWithParam<ValueCase> {};

TEST_P(PrivateOidGet, FollowsTheValueRules) {
    const ValueCase& c = GetParam();
    FakeNetwork network;
    if (c.value) network.values[kFirmwareVersionOid] = *c.value;
    char out[kOidValueBytes] = "untouched";
    EXPECT_EQ(GetFirmwareVersion(network, "192.0.2.5", "meadow", 4, out, c.capacity), c.result);
    EXPECT_EQ(std::string(out), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrivateOidGet,
    ::testing::Values(ValueCase{"plain", "V2.10", 128, 1, "V2.10"},
                      ValueCase{"no_answer", std::nullopt, 128, 1, ""},
                      ValueCase{"empty_value", "", 128, 1, ""},
                      ValueCase{"value_of_127", std::string(127, 'v'), 128, 1, std::string(127, 'v')},
                      ValueCase{"value_of_128_counts_as_none", std::string(128, 'v'), 128, 1, ""},
                      ValueCase{"value_of_5000_counts_as_none", std::string(5000, 'v'), 128, 1, ""},
                      ValueCase{"text_ends_at_its_nul", std::string("V2\0junk", 7), 128, 1, "V2"},
                      ValueCase{"text_as_long_as_capacity", "ABCDEFGH", 8, 0, "untouched"},
                      ValueCase{"text_shorter_than_capacity", "ABCDEFG", 8, 1, "ABCDEFG"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PrivateOidGets, EachAsksItsOwnOidOverTheVersionsCall) {
    FakeNetwork network;
    network.values[kFirmwareVersionOid] = "V2.10";
    network.values[kVariantCodeOid] = "JP01";
    char out[kOidValueBytes];
    EXPECT_EQ(GetFirmwareVersion(network, "192.0.2.5", "meadow", 4, out, sizeof out), 1);
    EXPECT_STREQ(out, "V2.10");
    EXPECT_EQ(GetVariantCode(network, "fe80::0001%3", "meadow", 6, out, sizeof out), 1);
    EXPECT_STREQ(out, "JP01");
    EXPECT_EQ(GetVariantCode(network, "192.0.2.5", "meadow", 0, out, sizeof out), 1);  // not 4: over IPv6

    ASSERT_EQ(network.gets.size(), 3u);
    const auto& v4 = network.gets[0];
    EXPECT_EQ(v4.version, 4);
    EXPECT_EQ(v4.address, "192.0.2.5");
    EXPECT_EQ(v4.community, "meadow");
    EXPECT_EQ(v4.oidCount, 1);
    EXPECT_EQ(v4.oid, "1.3.6.1.4.1.47131.886.300.369.8531.1.2.1.0");
    EXPECT_EQ(v4.waitMs, 1000);
    const auto& v6 = network.gets[1];
    EXPECT_EQ(v6.version, 6);
    EXPECT_EQ(v6.address, "fe80::0001%3");
    EXPECT_EQ(v6.oid, "1.3.6.1.4.1.47131.886.300.369.8531.1.2.3.0");
    EXPECT_EQ(v6.waitMs, 500);
    EXPECT_EQ(network.gets[2].version, 6);
}

TEST(PrivateOidGets, NoValueIsLeftFromTheGetBefore) {
    FakeNetwork network;
    network.values[kFirmwareVersionOid] = "V2.10";
    char out[kOidValueBytes];
    ASSERT_EQ(GetFirmwareVersion(network, "192.0.2.5", "meadow", 4, out, sizeof out), 1);
    EXPECT_EQ(GetVariantCode(network, "192.0.2.5", "meadow", 4, out, sizeof out), 1);
    EXPECT_STREQ(out, "");
}

// --- discovery

class Discovery : public ::testing::Test {
protected:
    FakeNetwork network_;
    PackageSettings settings_ = SettingsWithSysOids({"1.3.6.1.4.1.47131.1", "1.3.6.1.4.1.47131.2"});
    const std::string sysOids_ = std::string("1.3.6.1.4.1.47131.1\0" "1.3.6.1.4.1.47131.2\0\0", 41);
};

TEST_F(Discovery, Ipv4BroadcastAndOneAddressCallTheLibraryAsAgreed) {
    DiscoverIpv4(network_, settings_, "meadow", nullptr);
    DiscoverIpv4(network_, settings_, "meadow", "192.0.2.5");
    ASSERT_EQ(network_.finds.size(), 2u);
    const auto& broadcast = network_.finds[0];
    EXPECT_FALSE(broadcast.v6);
    EXPECT_EQ(broadcast.community, "meadow");
    EXPECT_EQ(broadcast.broadcast, 1);
    EXPECT_EQ(broadcast.address, "255.255.255.255");
    EXPECT_EQ(broadcast.waitMs, 3000);
    EXPECT_EQ(broadcast.sysOids, sysOids_);
    EXPECT_EQ(broadcast.reserved, 0);
    EXPECT_EQ(broadcast.reserved2, nullptr);
    const auto& one = network_.finds[1];
    EXPECT_EQ(one.broadcast, 0);
    EXPECT_EQ(one.address, "192.0.2.5");
    EXPECT_EQ(one.waitMs, 2000);
    EXPECT_EQ(one.sysOids, sysOids_);
}

TEST_F(Discovery, Ipv4AgentAnsweringTwiceIsStoredOnce) {
    network_.agentsV4 = {{"192.0.2.5", "alpha"}, {"192.0.2.6", "beta"}, {"192.0.2.5", "alpha again"}};
    DiscoverIpv4(network_, settings_, "meadow", nullptr);
    EXPECT_EQ(network_.answers, (std::vector<int>{1, 1, 0}));
    const AgentTableV4& table = DiscoveredAgentsV4();
    ASSERT_EQ(table.count, 2);
    EXPECT_STREQ(table.entries[0].address, "192.0.2.5");
    EXPECT_STREQ(table.entries[0].deviceName, "alpha");
    EXPECT_STREQ(table.entries[1].address, "192.0.2.6");
    EXPECT_STREQ(table.entries[1].deviceName, "beta");
}

TEST_F(Discovery, Ipv4TableHoldsSixtyFourAgents) {
    std::vector<std::string> addresses;
    for (int i = 0; i < 70; ++i) addresses.push_back("10.0.0." + std::to_string(i));
    for (const std::string& address : addresses) network_.agentsV4.push_back({address.c_str(), "p"});
    DiscoverIpv4(network_, settings_, "meadow", nullptr);
    EXPECT_EQ(network_.answers, std::vector<int>(70, 1));
    const AgentTableV4& table = DiscoveredAgentsV4();
    ASSERT_EQ(table.count, kMaxAgents);
    EXPECT_STREQ(table.entries[63].address, "10.0.0.63");
}

TEST_F(Discovery, Ipv4AddressLongerThanItsFieldIsRefusedAndALongNameIsCut) {
    const std::string longName(200, 'n');
    network_.agentsV4 = {{"192.168.100.1234", "cut would be .123"},
                         {"192.168.100.200.7", "dup"},
                         {"255.255.255.255", longName.c_str()},
                         {"192.168.100.123", "the real .123"},
                         {nullptr, nullptr}};
    DiscoverIpv4(network_, settings_, "meadow", nullptr);
    EXPECT_EQ(network_.answers, (std::vector<int>{0, 0, 1, 1, 1}));
    const AgentTableV4& table = DiscoveredAgentsV4();
    ASSERT_EQ(table.count, 3);
    // Fifteen characters fill the field exactly.
    EXPECT_STREQ(table.entries[0].address, "255.255.255.255");
    EXPECT_EQ(std::string(table.entries[0].deviceName), std::string(31, 'n'));
    EXPECT_STREQ(table.entries[1].address, "192.168.100.123");
    EXPECT_STREQ(table.entries[1].deviceName, "the real .123");
    EXPECT_STREQ(table.entries[2].address, "");
    EXPECT_STREQ(table.entries[2].deviceName, "");
}

TEST_F(Discovery, EachDiscoveryStartsWithAnEmptyTable) {
    network_.agentsV4 = {{"192.0.2.5", "alpha"}};
    DiscoverIpv4(network_, settings_, "meadow", nullptr);
    ASSERT_EQ(DiscoveredAgentsV4().count, 1);
    network_.agentsV4.clear();
    DiscoverIpv4(network_, settings_, "meadow", "192.0.2.9");
    EXPECT_EQ(DiscoveredAgentsV4().count, 0);
}

TEST_F(Discovery, Ipv6BroadcastAndOneAddressCallTheLibraryAsAgreed) {
    DiscoverIpv6(network_, settings_, "meadow", nullptr, 6);
    DiscoverIpv6(network_, settings_, "meadow", L"fe80::211:22ff:fe33:4455%11", 6);
    ASSERT_EQ(network_.finds.size(), 2u);
    const auto& broadcast = network_.finds[0];
    EXPECT_TRUE(broadcast.v6);
    EXPECT_EQ(broadcast.community, "meadow");
    EXPECT_EQ(broadcast.broadcast, 1);
    EXPECT_EQ(broadcast.address, "");
    EXPECT_EQ(broadcast.waitMs, 2000);
    EXPECT_EQ(broadcast.sysOids, sysOids_);
    EXPECT_EQ(broadcast.reserved, 0);
    EXPECT_EQ(broadcast.reserved2, nullptr);
    const auto& one = network_.finds[1];
    EXPECT_EQ(one.broadcast, 0);
    EXPECT_EQ(one.address, "fe80::211:22ff:fe33:4455%11");
    EXPECT_EQ(one.waitMs, 2000);
}

TEST_F(Discovery, Ipv6BroadcastNeedsMajorVersionSix) {
    network_.agentsV6 = {{Ipv6({0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}), 0, "alpha"}};
    DiscoverIpv6(network_, settings_, "meadow", nullptr, 6);
    ASSERT_EQ(DiscoveredAgentsV6().count, 1);
    DiscoverIpv6(network_, settings_, "meadow", nullptr, 5);
    EXPECT_EQ(network_.finds.size(), 1u);
    EXPECT_EQ(DiscoveredAgentsV6().count, 0);
    DiscoverIpv6(network_, settings_, "meadow", nullptr, 10);
    EXPECT_EQ(network_.finds.size(), 2u);
}

TEST_F(Discovery, Ipv6AnswersDifferingOnlyInScopeAreOneAgent) {
    const Ipv6Bytes linkLocal = Ipv6({0xfe80, 0, 0, 0, 0x211, 0x22ff, 0xfe33, 0x4455});
    const std::string longName(100, 'n');
    network_.agentsV6 = {{linkLocal, 11, longName.c_str()},
                         {linkLocal, 12, "again"},
                         {Ipv6({0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}), 0, "beta"}};
    DiscoverIpv6(network_, settings_, "meadow", nullptr, 6);
    EXPECT_EQ(network_.answers, (std::vector<int>{1, 0, 1}));
    const AgentTableV6& table = DiscoveredAgentsV6();
    ASSERT_EQ(table.count, 2);
    EXPECT_EQ(std::memcmp(table.entries[0].address, linkLocal.data(), 16), 0);
    EXPECT_EQ(table.entries[0].scopeId, 11u);
    EXPECT_EQ(std::string(table.entries[0].deviceName), std::string(63, 'n'));
    EXPECT_STREQ(table.entries[1].deviceName, "beta");
    EXPECT_EQ(table.entries[1].scopeId, 0u);
}

TEST_F(Discovery, Ipv6TableHoldsSixtyFourAgents) {
    for (std::uint16_t i = 0; i < 70; ++i) network_.agentsV6.push_back({Ipv6({0x2001, 0xdb8, 0, 0, 0, 0, 0, i}), 0, "p"});
    DiscoverIpv6(network_, settings_, "meadow", nullptr, 6);
    EXPECT_EQ(network_.answers, std::vector<int>(70, 1));
    EXPECT_EQ(DiscoveredAgentsV6().count, kMaxAgents);
}

// --- addresses

struct FormatCase {
    Ipv6Bytes address;
    std::uint32_t scopeId;
    const char* text;
};

class Ipv6Formatting : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Ipv6Formatting, ShortensOnlyTheFirstZeroRun) {
    EXPECT_EQ(FormatIpv6Address(GetParam().address.data(), GetParam().scopeId), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Ipv6Formatting,
    ::testing::Values(FormatCase{Ipv6({0, 0, 0, 0, 0, 0, 0, 0}), 0, "::"},
                      FormatCase{Ipv6({0, 0, 0, 0, 0, 0, 0, 1}), 0, "::0001"},
                      FormatCase{Ipv6({0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}), 0, "2001:0db8::0001"},
                      FormatCase{Ipv6({1, 0, 0, 0, 0, 0, 0, 0}), 0, "0001::"},
                      FormatCase{Ipv6({0xfe80, 0, 0, 0, 0x211, 0x22ff, 0xfe33, 0x4455}), 11,
                                 "fe80::0211:22ff:fe33:4455%11"},
                      FormatCase{Ipv6({0xfe80, 0, 0, 0, 0x211, 0x22ff, 0xfe33, 0x4455}), 0,
                                 "fe80::0211:22ff:fe33:4455"},
                      FormatCase{Ipv6({0x2001, 0, 0xdb8, 0, 0, 1, 0, 0}), 0, "2001::0db8:0000:0000:0001:0000:0000"},
                      FormatCase{Ipv6({0x2001, 0xdb8, 1, 2, 3, 4, 5, 0xABCD}), 0, "2001:0db8:0001:0002:0003:0004:0005:abcd"},
                      FormatCase{Ipv6({0x2001, 0xdb8, 1, 2, 3, 4, 5, 0}), 0, "2001:0db8:0001:0002:0003:0004:0005::"},
                      FormatCase{Ipv6({0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff}), 4294967295u,
                                 "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff%4294967295"}));

TEST(QueryAddresses, PerCaseOfTheRow) {
    AgentEntryV4 v4{};
    std::strcpy(v4.address, "192.0.2.5");
    const NetQueryAddresses broadcastV4 = AddressesOfBroadcastEntry(v4);
    EXPECT_EQ(broadcastV4.gets, "192.0.2.5");
    EXPECT_EQ(broadcastV4.status, "192.0.2.5");
    EXPECT_EQ(broadcastV4.ipVersion, 4);

    AgentEntryV6 v6{};
    const Ipv6Bytes linkLocal = Ipv6({0xfe80, 0, 0, 0, 0x211, 0x22ff, 0xfe33, 0x4455});
    std::memcpy(v6.address, linkLocal.data(), 16);
    v6.scopeId = 11;
    const NetQueryAddresses broadcastV6 = AddressesOfBroadcastEntry(v6);
    EXPECT_EQ(broadcastV6.gets, "fe80::0211:22ff:fe33:4455%11");
    EXPECT_EQ(broadcastV6.status, "fe80::0211:22ff:fe33:4455%11");
    EXPECT_EQ(broadcastV6.ipVersion, 6);

    AgentTableV4 table{};
    table.count = 1;
    std::strcpy(table.entries[0].address, "192.0.2.77");  // the address the agent reported
    const NetQueryAddresses askedV4 = AddressesOfAskedIpv4(table, "192.0.2.5");
    EXPECT_EQ(askedV4.gets, "192.0.2.77");
    EXPECT_EQ(askedV4.status, "192.0.2.5");
    EXPECT_EQ(askedV4.ipVersion, 4);

    const NetQueryAddresses askedV6 = AddressesOfAskedIpv6(L"2001:db8::1");
    EXPECT_EQ(askedV6.gets, "2001:db8::1");
    EXPECT_EQ(askedV6.status, "2001:db8::1");
    EXPECT_EQ(askedV6.ipVersion, 6);
}

TEST(QueryAddresses, AskedIpv4WithoutAnAnswerUsesTheAskedAddress) {
    const AgentTableV4 empty{};
    const NetQueryAddresses asked = AddressesOfAskedIpv4(empty, "192.0.2.5");
    EXPECT_EQ(asked.gets, "192.0.2.5");
    EXPECT_EQ(asked.status, "192.0.2.5");
}

// --- row identification

class RowIdentification : public ::testing::Test {
protected:
    void SetUp() override {
        settings_ = folder_.WriteConfig("[General]\nEncoding=0\n[Granted]\nS0A*=1\nSCE*=1\n");
    }
    NetRowIdentity Identify(const NetQueryAddresses& addresses, bool updatesStarted = false) {
        return IdentifyNetRow(network_, settings_, addresses, "meadow", updatesStarted);
    }

    PackageFolder folder_;
    PackageSettings settings_;
    FakeNetwork network_;
};

TEST_F(RowIdentification, ReadsValuesAtOneAddressAndStatusAtTheOther) {
    network_.values[kFirmwareVersionOid] = "V2.10";
    network_.values[kVariantCodeOid] = "JP01";
    network_.statuses["192.0.2.5"] = Status(0x0A, 3, 17);
    const NetRowIdentity row = Identify({"192.0.2.77", "192.0.2.5", 4});

    EXPECT_EQ(row.firmwareText, "V2.10");
    EXPECT_STREQ(row.item.variantCode, "JP01");
    EXPECT_EQ(row.item.isIpv6, 0);
    EXPECT_EQ(row.item.stateCode, 0x0A);
    EXPECT_EQ(row.item.detailCode1, 3);
    EXPECT_EQ(row.item.detailCode2, 17);
    EXPECT_EQ(row.item.transferResult, kTransferPending);
    EXPECT_EQ(row.statusTextId, IDS_STATE_NOT_COMPLETE);

    ASSERT_EQ(network_.gets.size(), 2u);
    EXPECT_EQ(network_.gets[0].address, "192.0.2.77");
    EXPECT_EQ(network_.gets[0].oid, kFirmwareVersionOid);
    EXPECT_EQ(network_.gets[0].version, 4);
    EXPECT_EQ(network_.gets[1].address, "192.0.2.77");
    EXPECT_EQ(network_.gets[1].oid, kVariantCodeOid);
    EXPECT_EQ(network_.statusReads, std::vector<std::string>{"192.0.2.5 meadow 3"});
}

TEST_F(RowIdentification, OverIpv6) {
    network_.statuses["fe80::0001%3"] = Status(0x0B, 0, 0);
    const NetRowIdentity row = Identify({"fe80::0001%3", "fe80::0001%3", 6});
    EXPECT_EQ(row.item.isIpv6, 1);
    EXPECT_EQ(row.statusTextId, IDS_STATE_NOT_READY);
    ASSERT_EQ(network_.gets.size(), 2u);
    EXPECT_EQ(network_.gets[0].version, 6);
    EXPECT_EQ(network_.gets[1].version, 6);
}

TEST_F(RowIdentification, PrinterWithoutPrivateValuesGetsEmptyTexts) {
    network_.statuses["192.0.2.5"] = Status(199, 0, 0);
    const NetRowIdentity row = Identify({"192.0.2.5", "192.0.2.5", 4});
    EXPECT_EQ(row.firmwareText, "");
    EXPECT_STREQ(row.item.variantCode, "");
    EXPECT_EQ(row.statusTextId, IDS_STATE_UPDATING);
}

TEST_F(RowIdentification, VariantLongerThanItsFieldIsCut) {
    network_.values[kVariantCodeOid] = std::string(40, 'J');
    const NetRowIdentity row = Identify({"192.0.2.5", "192.0.2.5", 4});
    EXPECT_EQ(std::string(row.item.variantCode), std::string(31, 'J'));
}

TEST_F(RowIdentification, UnreadableStatusIsNotReadyWhateverIsGranted) {
    // 206 is granted here, yet a status that could not be read is never "Not complete".
    network_.values[kFirmwareVersionOid] = "V2.10";
    const NetRowIdentity row = Identify({"192.0.2.5", "192.0.2.5", 4}, true);
    EXPECT_EQ(row.firmwareText, "V2.10");
    EXPECT_EQ(row.item.stateCode, kStateUnreadable);
    EXPECT_EQ(row.item.detailCode1, 0);
    EXPECT_EQ(row.item.detailCode2, 0);
    EXPECT_EQ(row.statusTextId, IDS_STATE_NOT_READY);
}

TEST_F(RowIdentification, CompletedOnlyAfterTheRowsTransferCompleted) {
    const PrinterStatusBlock status = Status(0x0B, 0, 0);
    EXPECT_EQ(NetRowStatusTextId(settings_, status, true, kTransferCompleted), IDS_STATE_COMPLETED);
    EXPECT_EQ(NetRowStatusTextId(settings_, status, true, kTransferPending), IDS_STATE_NOT_READY);
    EXPECT_EQ(NetRowStatusTextId(settings_, status, false, kTransferCompleted), IDS_STATE_NOT_READY);
    EXPECT_EQ(NetRowStatusTextId(settings_, Status(199, 0, 0), true, kTransferCompleted), IDS_STATE_UPDATING);
    // A new row has not been sent to yet.
    network_.statuses["192.0.2.5"] = status;
    EXPECT_EQ(Identify({"192.0.2.5", "192.0.2.5", 4}, true).statusTextId, IDS_STATE_NOT_READY);
}

}  // namespace
