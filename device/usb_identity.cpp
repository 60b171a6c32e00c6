#include "device/usb_identity.h"

#include <algorithm>
#include <string_view>

#include "base/text.h"
#include "device/usb_guards.h"

namespace {

// The zero-terminated text at `offset`, or nothing when its zero byte does not
// lie inside the reply.
std::optional<std::string_view> TextAt(const unsigned char* reply, std::size_t length, std::size_t offset) {
    if (reply == nullptr || offset >= length) return std::nullopt;
    const unsigned char* begin = reply + offset;
    const unsigned char* end = reply + length;
    const unsigned char* zero = std::find(begin, end, 0);
    if (zero == end) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(zero - begin));
}

bool ResultIsSuccess(const unsigned char* reply, std::size_t length) {
    return reply != nullptr && length > kReplyResultOffset && reply[kReplyResultOffset] == 0;
}

// Printable or white space in the C locale; bytes of 0x80 and above are neither.
bool IsFirmwareCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x20 && byte <= 0x7E) || (byte >= 0x09 && byte <= 0x0D);
}

// One request and its reply under the printer's port lock. False when the
// port is busy or any step of the exchange fails; the connection is closed
// before the lock is released.
bool ExchangeWithPrinter(DeviceLibraries& libraries, UsbPortLocks& locks, std::uint16_t deviceIndex,
                         const unsigned char* request, unsigned char* reply, int replyBytes) {
    char devicePath[kDevicePathBytes] = {};
    libraries.DUGetDevicePath(devicePath, deviceIndex);
    devicePath[kDevicePathBytes - 1] = '\0';  // the library's text may fill the buffer

    const PortLockResult lock = locks.AcquireUsbPortLock(devicePath);
    if (lock.busy) return false;
    HeldPortLock heldLock(locks, lock.lock);

    if (libraries.DUOpenConnection(deviceIndex) != 0) return false;
    UsbConnection connection(libraries, deviceIndex);
    if (libraries.DUWriteData(request, kUsbRequestBytes, 0, deviceIndex) != 0) return false;
    return libraries.DUReadData(reply, replyBytes, kUsbReplyTimeoutMs, deviceIndex) == 0;
}

void ClearText(char* out, int limit) {
    if (out != nullptr && limit > 0) out[0] = '\0';
}

void CopyOut(std::string_view text, char* out, int limit) {
    if (out != nullptr && limit > 0) CopyTruncated(text, out, static_cast<std::size_t>(limit));
}

std::size_t LimitOf(int limit) { return limit > 0 ? static_cast<std::size_t>(limit) : 0; }

}  // namespace

std::optional<UsbIdentity> ParseIdentityReply(const unsigned char* reply, std::size_t length,
                                              std::size_t serialLimit, std::size_t firmwareLimit,
                                              std::size_t variantLimit) {
    if (!ResultIsSuccess(reply, length)) return std::nullopt;
    const auto serial = TextAt(reply, length, kSerialNumberOffset);
    const auto firmware = TextAt(reply, length, kFirmwareTextOffset);
    const auto variant = TextAt(reply, length, kVariantCodeOffset);
    if (!serial || !firmware || !variant) return std::nullopt;
    if (serial->size() >= serialLimit || firmware->size() >= firmwareLimit || variant->size() >= variantLimit)
        return std::nullopt;
    if (!std::all_of(firmware->begin(), firmware->end(), IsFirmwareCharacter)) return std::nullopt;
    return UsbIdentity{std::string(*serial), std::string(*firmware), std::string(*variant)};
}

std::optional<std::string> ParseNameReply(const unsigned char* reply, std::size_t length, std::size_t nameLimit) {
    if (!ResultIsSuccess(reply, length)) return std::nullopt;
    const auto name = TextAt(reply, length, kPrinterNameOffset);
    if (!name || name->size() >= nameLimit) return std::nullopt;
    return std::string(*name);
}

bool QueryUsbIdentity(DeviceLibraries& libraries, UsbPortLocks& locks, std::uint16_t deviceIndex, char* serialOut,
                      int serialLimit, char* firmwareOut, int firmwareLimit, char* variantOut, int variantLimit) {
    ClearText(serialOut, serialLimit);
    ClearText(firmwareOut, firmwareLimit);

    unsigned char reply[kIdentityReplyBytes] = {};
    if (!ExchangeWithPrinter(libraries, locks, deviceIndex, kIdentityRequest, reply, kIdentityReplyBytes))
        return false;
    const auto identity =
        ParseIdentityReply(reply, sizeof reply, LimitOf(serialLimit), LimitOf(firmwareLimit), LimitOf(variantLimit));
    if (!identity) return false;
    CopyOut(identity->serialNumber, serialOut, serialLimit);
    CopyOut(identity->firmwareVersion, firmwareOut, firmwareLimit);
    CopyOut(identity->variantCode, variantOut, variantLimit);
    return true;
}

bool QueryUsbPrinterName(DeviceLibraries& libraries, UsbPortLocks& locks, std::uint16_t deviceIndex, char* nameOut,
                         int nameLimit) {
    ClearText(nameOut, nameLimit);

    unsigned char reply[kNameReplyBytes] = {};
    if (!ExchangeWithPrinter(libraries, locks, deviceIndex, kNameRequest, reply, kNameReplyBytes)) return false;
    const auto name = ParseNameReply(reply, sizeof reply, LimitOf(nameLimit));
    if (!name) return false;
    CopyOut(*name, nameOut, nameLimit);
    return true;
}
