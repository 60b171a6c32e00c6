#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "device/usb_identity.h"
#include "null_libraries.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A reply of `size` bytes with result byte `result` and texts at offsets.
// Texts are written without their zero byte; the reply is zero elsewhere.
class Reply {
public:
    explicit Reply(std::size_t size, unsigned char result = 0) : bytes_(size, 0) {
        if (size > kReplyResultOffset) bytes_[kReplyResultOffset] = result;
    }
    Reply& Text(std::size_t offset, const std::string& text) {
        std::copy(text.begin(), text.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
        return *this;
    }
    Reply& Fill(std::size_t from, unsigned char value) {
        std::fill(bytes_.begin() + static_cast<std::ptrdiff_t>(from), bytes_.end(), value);
        return *this;
    }
    Reply& Truncate(std::size_t size) {
        bytes_.resize(size);
        return *this;
    }
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

Reply IdentityReply(const std::string& serial, const std::string& firmware, const std::string& variant) {
    return Reply(kIdentityReplyBytes)
        .Text(kSerialNumberOffset, serial)
        .Text(kFirmwareTextOffset, firmware)
        .Text(kVariantCodeOffset, variant);
}

struct IdentityCase {
    const char* name;
    Bytes reply;
    bool accepted;
    std::size_t limit = 32;  // each of the three limits
};

class IdentityReplyParsing : public ::testing::TestWithParam<IdentityCase> {};

std::vector<IdentityCase> IdentityCases() {
    const std::string s31(31, 'S');
    const std::string s32(32, 'S');
    return {
        {"plain", IdentityReply("AB123456", "V1.02 2026-10-01", "JP01").bytes(), true},
        {"empty_texts", IdentityReply("", "", "").bytes(), true},
        {"longest_texts", IdentityReply(s31, s31, s31).bytes(), true},
        {"serial_of_32", IdentityReply(s32, "V1", "JP").bytes(), false},
        {"firmware_of_32", IdentityReply("S", s32, "JP").bytes(), false},
        {"variant_of_32", IdentityReply("S", "V1", s32).bytes(), false},
        {"result_byte_1", Reply(kIdentityReplyBytes, 1).Text(kSerialNumberOffset, "S").bytes(), false},
        {"result_byte_ff", Reply(kIdentityReplyBytes, 0xFF).bytes(), false},
        {"firmware_with_white_space", IdentityReply("S", "V1\t2\n3\v4\f5\r6 7", "JP").bytes(), true},
        {"firmware_with_bell", IdentityReply("S", "V1\a", "JP").bytes(), false},
        {"firmware_with_escape", IdentityReply("S", "\x1bV1", "JP").bytes(), false},
        {"firmware_with_delete", IdentityReply("S", "V1\x7f", "JP").bytes(), false},
        {"firmware_with_high_byte", IdentityReply("S", "V1\x80", "JP").bytes(), false},
        {"firmware_with_ff_byte", IdentityReply("S", "\xffV1", "JP").bytes(), false},
        // Only the firmware text has a character rule.
        {"serial_with_high_byte", IdentityReply("S\x80\x01", "V1", "JP").bytes(), true},
        // The last text must end inside the reply, whatever the limit.
        {"variant_runs_to_the_end", IdentityReply("S", "V1", "").Fill(kVariantCodeOffset, 'J').bytes(), false, 1000},
        {"variant_ends_in_last_byte",
         IdentityReply("S", "V1", "").Fill(kVariantCodeOffset, 'J').Text(kIdentityReplyBytes - 1, std::string(1, '\0'))
             .bytes(),
         true, 1000},
        {"cut_before_variant", IdentityReply("S", "V1", "JP").Truncate(kVariantCodeOffset).bytes(), false, 1000},
        {"cut_inside_variant", IdentityReply("S", "V1", "JP").Truncate(kVariantCodeOffset + 2).bytes(), false, 1000},
        {"cut_after_variant", IdentityReply("S", "V1", "JP").Truncate(kVariantCodeOffset + 3).bytes(), true},
        {"only_result_byte", Reply(2).bytes(), false},
        {"one_byte", Reply(1).bytes(), false},
        {"no_bytes", Bytes{}, false},
    };
}

TEST_P(IdentityReplyParsing, AcceptsByTheRules) {
    const IdentityCase& c = GetParam();
    const auto identity = ParseIdentityReply(c.reply.data(), c.reply.size(), c.limit, c.limit, c.limit);
    EXPECT_EQ(identity.has_value(), c.accepted);
}

INSTANTIATE_TEST_SUITE_P(Cases, IdentityReplyParsing, ::testing::ValuesIn(IdentityCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IdentityReply, YieldsTheThreeTexts) {
    const Bytes reply = IdentityReply("AB123456", "V1.02 2026-10-01", "JP01").bytes();
    const auto identity = ParseIdentityReply(reply.data(), reply.size(), 32, 32, 32);
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->serialNumber, "AB123456");
    EXPECT_EQ(identity->firmwareVersion, "V1.02 2026-10-01");
    EXPECT_EQ(identity->variantCode, "JP01");
}

TEST(IdentityReply, LimitsAreSeparate) {
    const Bytes reply = IdentityReply("12345", "123", "1").bytes();
    EXPECT_TRUE(ParseIdentityReply(reply.data(), reply.size(), 6, 4, 2));
    EXPECT_FALSE(ParseIdentityReply(reply.data(), reply.size(), 5, 4, 2));
    EXPECT_FALSE(ParseIdentityReply(reply.data(), reply.size(), 6, 3, 2));
    EXPECT_FALSE(ParseIdentityReply(reply.data(), reply.size(), 6, 4, 1));
    EXPECT_FALSE(ParseIdentityReply(reply.data(), reply.size(), 0, 0, 0));
}

struct NameCase {
    const char* name;
    Bytes reply;
    std::optional<std::string> text;
};

class NameReplyParsing : public ::testing::TestWithParam<NameCase> {};

std::vector<NameCase> NameCases() {
    const std::string n31(31, 'N');
    return {
        {"plain", Reply(kNameReplyBytes).Text(kPrinterNameOffset, "Office 3F").bytes(), "Office 3F"},
        {"empty", Reply(kNameReplyBytes).bytes(), ""},
        {"fills_the_reply", Reply(kNameReplyBytes).Text(kPrinterNameOffset, n31).bytes(), n31},
        {"not_ended_inside", Reply(kNameReplyBytes).Fill(kPrinterNameOffset, 'N').bytes(), std::nullopt},
        {"result_byte_2", Reply(kNameReplyBytes, 2).Text(kPrinterNameOffset, "P").bytes(), std::nullopt},
        {"reply_too_short", Reply(kPrinterNameOffset).bytes(), std::nullopt},
        {"no_bytes", Bytes{}, std::nullopt},
    };
}

TEST_P(NameReplyParsing, AcceptsByTheRules) {
    const NameCase& c = GetParam();
    EXPECT_EQ(ParseNameReply(c.reply.data(), c.reply.size(), 32), c.text);
}

INSTANTIATE_TEST_SUITE_P(Cases, NameReplyParsing, ::testing::ValuesIn(NameCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NameReply, NameMustBeShorterThanTheLimit) {
    const Bytes reply = Reply(kNameReplyBytes).Text(kPrinterNameOffset, "ABCDE").bytes();
    EXPECT_EQ(ParseNameReply(reply.data(), reply.size(), 6), "ABCDE");
    EXPECT_EQ(ParseNameReply(reply.data(), reply.size(), 5), std::nullopt);
}

// --- the queries over fakes of the library and of the port lock.

// One printer behind the device-utility library; every call goes to `log`.
class FakeUsbPrinter : public NullLibraries {
public:
    explicit FakeUsbPrinter(std::vector<std::string>& log) : log_(log) {}

    int DUGetDevicePath(char* pathBuffer, std::uint16_t deviceIndex) override {
        log_.push_back("path " + std::to_string(deviceIndex));
        std::memcpy(pathBuffer, devicePath.data(), devicePath.size());
        if (devicePath.size() < kDevicePathBytes) pathBuffer[devicePath.size()] = '\0';
        return 0;
    }
    int DUOpenConnection(std::uint16_t deviceIndex) override {
        log_.push_back("open " + std::to_string(deviceIndex));
        return openResult;
    }
    int DUWriteData(const void* bytes, int count, int flags, std::uint16_t deviceIndex) override {
        log_.push_back("write " + std::to_string(count) + " " + std::to_string(flags) + " " +
                       std::to_string(deviceIndex));
        written.assign(static_cast<const unsigned char*>(bytes), static_cast<const unsigned char*>(bytes) + count);
        return writeResult;
    }
    int DUReadData(void* buffer, int count, int timeoutMs, std::uint16_t deviceIndex) override {
        log_.push_back("read " + std::to_string(count) + " " + std::to_string(timeoutMs) + " " +
                       std::to_string(deviceIndex));
        std::memset(buffer, 0, static_cast<std::size_t>(count));
        std::memcpy(buffer, reply.data(), std::min(reply.size(), static_cast<std::size_t>(count)));
        return readResult;
    }
    int DUCloseConnection(std::uint16_t deviceIndex) override {
        log_.push_back("close " + std::to_string(deviceIndex));
        return 0;
    }

    std::string devicePath = "\\\\?\\usb#vid_1234&pid_5678#ab12#{28d78fad}";
    int openResult = 0;
    int writeResult = 0;
    int readResult = 0;
    Bytes reply;
    Bytes written;

private:
    std::vector<std::string>& log_;
};

class FakePortLocks : public UsbPortLocks {
public:
    explicit FakePortLocks(std::vector<std::string>& log) : log_(log) {}
    PortLockResult AcquireUsbPortLock(const char* devicePath) override {
        log_.push_back("lock");
        askedPath = devicePath;
        return result;
    }
    void ReleaseUsbPortLock(PortLockHandle lock) override {
        log_.push_back(lock == result.lock ? "release" : "release of another handle");
    }

    PortLockResult result{false, &result};
    std::string askedPath;

private:
    std::vector<std::string>& log_;
};

class UsbQuery : public ::testing::Test {
protected:
    bool Identity() {
        return QueryUsbIdentity(printer_, locks_, 7, serial_, 32, firmware_, 32, variant_, 32);
    }
    bool Name() { return QueryUsbPrinterName(printer_, locks_, 7, name_, 32); }

    std::vector<std::string> log_;
    FakeUsbPrinter printer_{log_};
    FakePortLocks locks_{log_};
    char serial_[32] = "old serial";
    char firmware_[32] = "old firmware";
    char variant_[32] = "old variant";
    char name_[32] = "old name";
};

std::vector<std::string> FullExchange(std::size_t replyBytes) {
    return {"path 7", "lock", "open 7", "write 10 0 7", "read " + std::to_string(replyBytes) + " 2000 7", "close 7",
            "release"};
}

TEST_F(UsbQuery, IdentitySendsTheRequestAndCopiesTheTexts) {
    printer_.reply = IdentityReply("AB123456", "V1.02", "JP01").bytes();
    ASSERT_TRUE(Identity());
    EXPECT_EQ(log_, FullExchange(kIdentityReplyBytes));
    EXPECT_EQ(printer_.written, Bytes({0x1B, 0x4D, 0x53, 0x55, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(locks_.askedPath, printer_.devicePath);
    EXPECT_STREQ(serial_, "AB123456");
    EXPECT_STREQ(firmware_, "V1.02");
    EXPECT_STREQ(variant_, "JP01");
}

TEST_F(UsbQuery, NameSendsTheRequestAndCopiesTheName) {
    printer_.reply = Reply(kNameReplyBytes).Text(kPrinterNameOffset, "Office 3F").bytes();
    ASSERT_TRUE(Name());
    EXPECT_EQ(log_, FullExchange(kNameReplyBytes));
    EXPECT_EQ(printer_.written, Bytes({0x1B, 0x4D, 0x53, 0x55, 0xE0, 0x0B, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_STREQ(name_, "Office 3F");
}

TEST_F(UsbQuery, WithoutAMatchingSpoolerPrinterGoesOnWithoutLock) {
    locks_.result = {false, nullptr};
    printer_.reply = IdentityReply("S1", "F1", "V1").bytes();
    EXPECT_TRUE(Identity());
    // No lock was taken, so none is given back: the exchange ends with the close.
    EXPECT_EQ(log_.back(), "close 7");
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "release"), 0);
}

// Each way a query fails, and where the exchange stops.
struct FailureCase {
    const char* name;
    bool busy;
    int openResult;
    int writeResult;
    int readResult;
    bool refusedReply;
    std::vector<std::string> calls;
};

class UsbQueryFailure : public UsbQuery, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(UsbQueryFailure, ClearsSerialAndFirmwareKeepsVariantAndCleansUp) {
    const FailureCase& c = GetParam();
    locks_.result.busy = c.busy;
    if (c.busy) locks_.result.lock = nullptr;
    printer_.openResult = c.openResult;
    printer_.writeResult = c.writeResult;
    printer_.readResult = c.readResult;
    printer_.reply = c.refusedReply ? IdentityReply(std::string(32, 'S'), "F", "V").bytes()
                                    : IdentityReply("S", "F", "V").bytes();

    EXPECT_FALSE(Identity());
    EXPECT_EQ(log_, c.calls);
    EXPECT_STREQ(serial_, "");
    EXPECT_STREQ(firmware_, "");
    EXPECT_STREQ(variant_, "old variant");
}

TEST_P(UsbQueryFailure, NameQueryFailsTheSameWay) {
    const FailureCase& c = GetParam();
    locks_.result.busy = c.busy;
    if (c.busy) locks_.result.lock = nullptr;
    printer_.openResult = c.openResult;
    printer_.writeResult = c.writeResult;
    printer_.readResult = c.readResult;
    printer_.reply = Reply(kNameReplyBytes, c.refusedReply ? 1 : 0).Text(kPrinterNameOffset, "P").bytes();

    EXPECT_FALSE(Name());
    std::vector<std::string> calls = c.calls;
    for (std::string& call : calls)
        if (call.rfind("read ", 0) == 0) call = "read 44 2000 7";
    EXPECT_EQ(log_, calls);
    EXPECT_STREQ(name_, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsbQueryFailure,
    ::testing::Values(FailureCase{"port_busy", true, 0, 0, 0, false, {"path 7", "lock"}},
                      FailureCase{"open_fails", false, -1, 0, 0, false, {"path 7", "lock", "open 7", "release"}},
                      FailureCase{"write_fails",
                                  false,
                                  0,
                                  5,
                                  0,
                                  false,
                                  {"path 7", "lock", "open 7", "write 10 0 7", "close 7", "release"}},
                      FailureCase{"read_fails", false, 0, 0, -1, false, FullExchange(kIdentityReplyBytes)},
                      FailureCase{"reply_refused", false, 0, 0, 0, true, FullExchange(kIdentityReplyBytes)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UsbQuery, DevicePathFillingItsBufferIsCutBeforeTheLock) {
    printer_.devicePath = std::string(kDevicePathBytes, 'P');
    printer_.reply = IdentityReply("S", "F", "V").bytes();
    EXPECT_TRUE(Identity());
    EXPECT_EQ(locks_.askedPath, std::string(kDevicePathBytes - 1, 'P'));
}

TEST_F(UsbQuery, TextsMustBeShorterThanTheCallersLimits) {
    printer_.reply = IdentityReply("SERIAL", "FW", "VC").bytes();
    char serial[6];
    char firmware[8];
    char variant[8];
    EXPECT_FALSE(QueryUsbIdentity(printer_, locks_, 7, serial, 6, firmware, 8, variant, 8));
    char serial7[7];
    EXPECT_TRUE(QueryUsbIdentity(printer_, locks_, 7, serial7, 7, firmware, 8, variant, 8));
    EXPECT_STREQ(serial7, "SERIAL");
}

}  // namespace
