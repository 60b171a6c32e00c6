// Device IDs: whatever the device-utility library puts in the device ID
// buffer (any bytes, filling it without a terminator or not), reading a USB
// printer's status goes through the program's read and the stand-in
// library's decoding without reading outside the buffer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/text.h"
#include "fuzz_rules.h"
#include "null_libraries.h"
#include "sim/fleet.h"
#include "transfer/usb_transfer.h"

namespace {

class FuzzedDeviceId final : public NullLibraries {
public:
    FuzzedDeviceId(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    int DUGetDeviceID(char* buffer, std::uint16_t) override {
        if (size_ == 0) return 0;
        // The buffer holds kDeviceIdBytes bytes, all of which the library may fill.
        const std::size_t count = size_ - 1 < kDeviceIdBytes ? size_ - 1 : kDeviceIdBytes;
        std::memcpy(buffer, data_ + 1, count);
        return data_[0] & 1;
    }

    // As the stand-in library reads the text it is given.
    int DecodeStatusFromDeviceID(const char* deviceId, PrinterStatusBlock* status) override {
        REQUIRE(deviceId != nullptr && status != nullptr);
        return DecodeDeviceIdStatus(std::string_view(deviceId, BoundedLength(deviceId, 2048)), *status) ? 1 : 0;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDeviceId libraries(data, size);
    const auto codes = ReadUsbStatus(libraries, 0);
    REQUIRE(codes.has_value() == (size > 0 && (data[0] & 1)));

    // The whole input as a device ID of any length, as an enumeration hands it.
    PrinterStatusBlock status;
    (void)DecodeDeviceIdStatus(std::string_view(reinterpret_cast<const char*>(data), size), status);
    return 0;
}
