// Replies of the USB identity and name queries: any bytes of any length are
// parsed without reading outside the reply, and an accepted reply yields
// texts within their limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "device/usb_identity.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

bool IsFirmwareText(const std::string& text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (!((byte >= 0x20 && byte <= 0x7E) || (byte >= 0x09 && byte <= 0x0D))) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the reply's size, so that a read past it is caught.
    const auto reply = std::make_unique<unsigned char[]>(size ? size : 1);
    for (std::size_t i = 0; i < size; ++i) reply[i] = data[i];

    for (std::size_t limit : {std::size_t{0}, std::size_t{1}, std::size_t{32}, std::size_t{4096}}) {
        if (const auto identity = ParseIdentityReply(reply.get(), size, limit, limit, limit)) {
            Require(identity->serialNumber.size() < limit);
            Require(identity->firmwareVersion.size() < limit);
            Require(identity->variantCode.size() < limit);
            Require(IsFirmwareText(identity->firmwareVersion));
        }
        if (const auto name = ParseNameReply(reply.get(), size, limit)) Require(name->size() < limit);
    }
    return 0;
}
