// Discovery and identification of network printers: whatever the network
// library hands to our callbacks (agent addresses and names of any length,
// IPv6 addresses with any scope, object values of any size and any number of
// answers, status blocks), the discovery tables stay inside their bounds,
// every text ends inside its field, and identifying each discovered row reads
// nothing outside what the library gave.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/text.h"
#include "fuzz_rules.h"
#include "device/net_discovery.h"
#include "null_libraries.h"
#include "sim/ipv6_address.h"
#include "transfer/network_transfer.h"

namespace {

// A text in a heap block of exactly its size and its NUL, so that a read past
// it is caught; nullptr now and then, as a library may pass.
class LibraryText {
public:
    explicit LibraryText(FuzzedDataProvider& input, std::size_t maxLength) {
        if (input.ConsumeIntegralInRange(0, 15) == 0) return;
        const std::string text = input.ConsumeRandomLengthString(maxLength);
        bytes_ = std::make_unique<char[]>(text.size() + 1);
        std::memcpy(bytes_.get(), text.c_str(), text.size() + 1);
    }
    const char* get() const { return bytes_.get(); }

private:
    std::unique_ptr<char[]> bytes_;
};

// The network library as the input makes it answer.
class FuzzedNetwork final : public NullLibraries {
public:
    explicit FuzzedNetwork(FuzzedDataProvider& input) : input_(input) {}

    bool HasNetworkLibrary() const override { return true; }

    int FindSnmpAgentEx(const char*, int, const char*, int, const char* sysOidList, int, SnmpAgentCallbackV4 callback,
                        void*) override {
        RequireOidList(sysOidList);
        for (int n = input_.ConsumeIntegralInRange(0, kMaxAgents + 8); n > 0 && input_.remaining_bytes() > 0; --n) {
            const LibraryText address(input_, 40);
            const LibraryText name(input_, 100);
            callback(address.get(), name.get());
        }
        return 1;
    }

    int FindSnmpAgentExV6(const char*, int, const char*, int, const char* sysOidList, int,
                          SnmpAgentCallbackV6 callback, void*) override {
        RequireOidList(sysOidList);
        for (int n = input_.ConsumeIntegralInRange(0, kMaxAgents + 8); n > 0 && input_.remaining_bytes() > 0; --n) {
            const bool noAddress = input_.ConsumeIntegralInRange(0, 31) == 0;
            std::vector<unsigned char> address = input_.ConsumeBytes<unsigned char>(kIpv6AddressBytes);
            address.resize(kIpv6AddressBytes);
            const auto scopeId = input_.ConsumeIntegral<std::uint32_t>();
            const LibraryText name(input_, 100);
            callback(noAddress ? nullptr : address.data(), scopeId, name.get());
        }
        return 1;
    }

    int SNMPGetV4(const char* address, const char*, int oidCount, const char* const* oids, int,
                  SnmpValueCallback callback) override {
        return AnswerGet(address, oidCount, oids, callback);
    }
    int SNMPGetV6(const char* address, const char*, int oidCount, const char* const* oids, int,
                  SnmpValueCallback callback) override {
        return AnswerGet(address, oidCount, oids, callback);
    }

    int NetworkReadStatusV3(const char* address, const char*, int, PrinterStatusBlock* status) override {
        return AnswerStatus(address, status);
    }
    int NetworkReadStatusV4(const char* address, const char*, int, PrinterStatusBlock* status) override {
        return AnswerStatus(address, status);
    }

private:
    static void RequireOidList(const char* list) {
        // Identifiers each followed by a NUL, ended by an empty one.
        REQUIRE(list != nullptr);
        for (int oids = 0; *list != '\0'; ++oids) {
            REQUIRE(oids < kSysOidSlots);
            list += std::strlen(list) + 1;
        }
    }

    int AnswerGet(const char* address, int oidCount, const char* const* oids, SnmpValueCallback callback) {
        REQUIRE(address != nullptr && oidCount == 1 && oids != nullptr && oids[0] != nullptr);
        for (int n = input_.ConsumeIntegralInRange(0, 2); n > 0; --n) {
            const std::vector<unsigned char> value =
                input_.ConsumeBytes<unsigned char>(input_.ConsumeIntegralInRange(0, 2 * kOidValueBytes));
            // Exactly the value's size: the callback must read no further.
            const auto copy = std::make_unique<unsigned char[]>(value.size() ? value.size() : 1);
            if (!value.empty()) std::memcpy(copy.get(), value.data(), value.size());
            callback(address, oids[0], input_.ConsumeIntegral<std::uint8_t>(), value.empty() ? nullptr : copy.get(),
                     static_cast<int>(value.size()));
        }
        return input_.ConsumeBool() ? 1 : 0;
    }

    int AnswerStatus(const char* address, PrinterStatusBlock* status) {
        REQUIRE(address != nullptr && status != nullptr);
        if (!input_.ConsumeBool()) return 0;
        const std::vector<unsigned char> bytes = input_.ConsumeBytes<unsigned char>(PrinterStatusBlock::kSize);
        if (!bytes.empty()) std::memcpy(status->bytes, bytes.data(), bytes.size());
        return 1;
    }

    FuzzedDataProvider& input_;
};

void RequireRow(const NetRowIdentity& row) {
    REQUIRE(row.firmwareText.size() < kOidValueBytes);
    REQUIRE(Terminated(row.item.variantCode));
    REQUIRE(row.statusTextId >= 120 && row.statusTextId <= 123);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    FuzzedNetwork network(input);

    PackageSettings settings;
    settings.SysOIDCnt = static_cast<std::int8_t>(input.ConsumeIntegral<std::uint8_t>());
    for (auto& oid : settings.SysOID)
        CopyTruncated(input.ConsumeRandomLengthString(kSysOidBytes * 2), oid, kSysOidBytes);
    const std::vector<char> sysOids = BuildSysOidList(settings);
    REQUIRE(sysOids.size() >= 1 && sysOids.back() == '\0');

    const char* community = "meadow";
    const bool single = input.ConsumeBool();
    const std::string asked = input.ConsumeRandomLengthString(40);

    DiscoverIpv4(network, settings, community, single ? asked.c_str() : nullptr);
    const AgentTableV4& v4 = DiscoveredAgentsV4();
    REQUIRE(v4.count >= 0 && v4.count <= kMaxAgents);
    for (int i = 0; i < v4.count; ++i) {
        REQUIRE(Terminated(v4.entries[i].address) && Terminated(v4.entries[i].deviceName));
        RequireRow(IdentifyNetRow(network, settings, AddressesOfBroadcastEntry(v4.entries[i]), community, true));
    }
    const NetQueryAddresses askedV4 = AddressesOfAskedIpv4(v4, asked.c_str());
    REQUIRE(askedV4.gets.size() < kAgentAddressBytesV4 || askedV4.gets == asked.c_str());
    RequireRow(IdentifyNetRow(network, settings, askedV4, community, false));

    const std::wstring askedWide(asked.begin(), asked.end());
    DiscoverIpv6(network, settings, community, single ? askedWide.c_str() : nullptr, kIpv6OsMajorVersion);
    const AgentTableV6& v6 = DiscoveredAgentsV6();
    REQUIRE(v6.count >= 0 && v6.count <= kMaxAgents);
    for (int i = 0; i < v6.count; ++i) {
        const AgentEntryV6& entry = v6.entries[i];
        REQUIRE(Terminated(entry.deviceName));
        // The text we hand the library names the same host, and the scope.
        const std::string text = FormatIpv6Address(entry.address, entry.scopeId);
        const std::size_t percent = text.find('%');
        const auto parsed = ParseIpv6(std::string_view(text).substr(0, percent));
        REQUIRE(parsed && std::memcmp(parsed->bytes.data(), entry.address, kIpv6AddressBytes) == 0);
        REQUIRE(entry.scopeId == 0 ? percent == std::string::npos
                                   : text.substr(percent) == "%" + std::to_string(entry.scopeId));
        RequireRow(IdentifyNetRow(network, settings, AddressesOfBroadcastEntry(entry), community, true));
    }

    (void)ReadNetworkStatus(network, asked.c_str(), community);
    return 0;
}
