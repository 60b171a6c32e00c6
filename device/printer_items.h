// The records attached to the rows of the two printer lists.
#pragma once

#include <cstdint>

inline constexpr int kDeviceIdBytesInItem = 2048;
inline constexpr int kItemTextBytes = 32;

// Outcome of a printer's update as the lists show it.
inline constexpr std::int32_t kTransferPending = 2;   // not updated, or the update failed
inline constexpr std::int32_t kTransferCompleted = 0;

// One USB printer. Fixed-size texts are NUL-terminated inside their field.
struct UsbPrinterItem {
    char deviceId[kDeviceIdBytesInItem] = {};  // handed to the enumeration callback
    char serialNumber[kItemTextBytes] = {};
    char firmwareVersion[kItemTextBytes] = {};
    char variantCode[kItemTextBytes] = {};     // its first two characters pick a per-variant file
    std::uint16_t deviceIndex = 0;
    std::uint8_t stateCode = 0;
    std::uint8_t detailCode1 = 0;
    std::uint8_t detailCode2 = 0;
    std::int32_t transferResult = kTransferPending;
};

// One network printer.
struct NetPrinterItem {
    char variantCode[kItemTextBytes] = {};  // empty when none was read
    std::uint8_t isIpv6 = 0;
    std::uint8_t stateCode = 0;    // 206 when the status read failed
    std::uint8_t detailCode1 = 0;
    std::uint8_t detailCode2 = 0;
    std::int32_t transferResult = kTransferPending;
};

inline constexpr std::uint8_t kStateUnreadable = 206;
