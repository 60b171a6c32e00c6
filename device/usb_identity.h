// The two queries that read a USB printer's identity (serial number,
// firmware text, variant code) and its name over the device-utility library,
// and the parsers of their replies.
//
// A query is one request and one reply on an open connection, made while the
// printer's port lock is held. The parsers read only inside the reply they
// are given: a text counts only when its terminating zero byte lies inside
// the reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "device/library_table.h"
#include "device/usb_port_lock.h"

inline constexpr int kUsbRequestBytes = 10;
// ESC "MSU", two selector bytes, four zero bytes.
inline constexpr unsigned char kIdentityRequest[kUsbRequestBytes] = {0x1B, 0x4D, 0x53, 0x55, 0x01,
                                                                     0x01, 0x00, 0x00, 0x00, 0x00};
inline constexpr unsigned char kNameRequest[kUsbRequestBytes] = {0x1B, 0x4D, 0x53, 0x55, 0xE0,
                                                                 0x0B, 0x00, 0x00, 0x00, 0x00};

inline constexpr int kIdentityReplyBytes = 428;
inline constexpr int kNameReplyBytes = 44;
inline constexpr int kUsbReplyTimeoutMs = 2000;

// Where the device puts what we read; every other byte is the device's own.
inline constexpr std::size_t kReplyResultOffset = 1;  // 0 when the device answered the request
inline constexpr std::size_t kSerialNumberOffset = 44;
inline constexpr std::size_t kFirmwareTextOffset = 204;
inline constexpr std::size_t kVariantCodeOffset = 268;
inline constexpr std::size_t kPrinterNameOffset = 12;

struct UsbIdentity {
    std::string serialNumber;
    std::string firmwareVersion;
    std::string variantCode;
};

// The identity in a reply, or nothing when the reply is refused: result byte
// not 0, a text without its zero byte inside the reply, a text not shorter
// than its limit, or a firmware text with a byte that is neither printable
// nor white space in the C locale.
std::optional<UsbIdentity> ParseIdentityReply(const unsigned char* reply, std::size_t length,
                                              std::size_t serialLimit, std::size_t firmwareLimit,
                                              std::size_t variantLimit);

// The printer name in a reply, or nothing when the reply is refused (result
// byte not 0, no zero byte inside the reply, name not shorter than nameLimit).
std::optional<std::string> ParseNameReply(const unsigned char* reply, std::size_t length, std::size_t nameLimit);

// Reads serial number, firmware text and variant code of the printer at
// deviceIndex into the three buffers, whose sizes are the limits. Clears
// serialOut and firmwareOut first; leaves variantOut alone on failure. False
// when the port is busy, the connection does not open, or the exchange or
// the reply fails.
bool QueryUsbIdentity(DeviceLibraries& libraries, UsbPortLocks& locks, std::uint16_t deviceIndex, char* serialOut,
                      int serialLimit, char* firmwareOut, int firmwareLimit, char* variantOut, int variantLimit);

// Reads the printer's name into nameOut (nameLimit bytes), cleared first.
bool QueryUsbPrinterName(DeviceLibraries& libraries, UsbPortLocks& locks, std::uint16_t deviceIndex, char* nameOut,
                         int nameLimit);
