// Replies of the USB identity and name queries: any bytes of any length are
// parsed without reading outside the reply, and an accepted reply yields
// texts within their limits. The two queries themselves, over a device that
// answers with these bytes (and a device path without a terminator), fill
// their callers' buffers only within the sizes they were given, and give
// back the connection and the port lock exactly once.
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
#include "device/usb_identity.h"
#include "null_libraries.h"

namespace {

bool IsFirmwareText(const std::string& text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (!((byte >= 0x20 && byte <= 0x7E) || (byte >= 0x09 && byte <= 0x0D))) return false;
    }
    return true;
}

// A printer whose every reply is the input, cut to the size asked for.
class ReplyingPrinter final : public NullLibraries {
public:
    ReplyingPrinter(const unsigned char* reply, std::size_t size) : reply_(reply), size_(size) {}

    int DUGetDevicePath(char* pathBuffer, std::uint16_t) override {
        // The whole buffer, no terminator: the caller must end the text.
        for (int i = 0; i < kDevicePathBytes; ++i)
            pathBuffer[i] = size_ ? static_cast<char>(reply_[i % size_] | 1) : 'p';
        return 0;
    }
    int DUOpenConnection(std::uint16_t) override {
        ++opened;
        return 0;
    }
    int DUCloseConnection(std::uint16_t) override {
        ++closed;
        return 0;
    }
    int DUWriteData(const void*, int count, int, std::uint16_t) override { return count == kUsbRequestBytes ? 0 : -1; }
    int DUReadData(void* buffer, int count, int, std::uint16_t) override {
        REQUIRE(count > 0);
        std::memcpy(buffer, reply_, size_ < static_cast<std::size_t>(count) ? size_ : static_cast<std::size_t>(count));
        return 0;
    }

    int opened = 0;
    int closed = 0;

private:
    const unsigned char* reply_;
    std::size_t size_;
};

class CountingLocks final : public UsbPortLocks {
public:
    PortLockResult AcquireUsbPortLock(const char* devicePath) override {
        REQUIRE(BoundedLength(devicePath, kDevicePathBytes) < kDevicePathBytes);
        ++acquired;
        return {false, this};
    }
    void ReleaseUsbPortLock(PortLockHandle lock) override {
        REQUIRE(lock == this);
        ++released;
    }

    int acquired = 0;
    int released = 0;
};

// A caller's buffer of exactly `limit` bytes, filled with a mark.
std::vector<char> Buffer(int limit) { return std::vector<char>(static_cast<std::size_t>(limit), '#'); }

bool EndsInside(const std::vector<char>& buffer) { return BoundedLength(buffer.data(), buffer.size()) < buffer.size(); }

void QueryOverReply(const unsigned char* reply, std::size_t size) {
    for (int limit : {1, 2, 32, 64, 160}) {
        ReplyingPrinter printer(reply, size);
        CountingLocks locks;
        auto serial = Buffer(limit);
        auto firmware = Buffer(limit);
        auto variant = Buffer(limit);
        const bool identified = QueryUsbIdentity(printer, locks, 0, serial.data(), limit, firmware.data(), limit,
                                                 variant.data(), limit);
        REQUIRE(EndsInside(serial) && EndsInside(firmware));
        // The variant code is left alone when the query fails.
        REQUIRE(identified ? EndsInside(variant) : variant == Buffer(limit));

        auto name = Buffer(limit);
        (void)QueryUsbPrinterName(printer, locks, 0, name.data(), limit);
        REQUIRE(EndsInside(name));

        REQUIRE(printer.opened == 2 && printer.closed == 2);
        REQUIRE(locks.acquired == 2 && locks.released == 2);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the reply's size, so that a read past it is caught.
    const auto reply = std::make_unique<unsigned char[]>(size ? size : 1);
    for (std::size_t i = 0; i < size; ++i) reply[i] = data[i];

    for (std::size_t limit : {std::size_t{0}, std::size_t{1}, std::size_t{32}, std::size_t{4096}}) {
        if (const auto identity = ParseIdentityReply(reply.get(), size, limit, limit, limit)) {
            REQUIRE(identity->serialNumber.size() < limit);
            REQUIRE(identity->firmwareVersion.size() < limit);
            REQUIRE(identity->variantCode.size() < limit);
            REQUIRE(IsFirmwareText(identity->firmwareVersion));
        }
        if (const auto name = ParseNameReply(reply.get(), size, limit)) REQUIRE(name->size() < limit);
    }
    QueryOverReply(reply.get(), size);
    return 0;
}
