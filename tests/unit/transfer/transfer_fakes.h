// Stand-ins for everything a transfer job talks to: a fleet of fake
// printers behind the library calls, port locks, a clock that runs in virtual
// time, the progress window, the English texts, and files that can be made to
// fail. Each records what it was asked, in the order asked; those that take
// part in an ordering also write to one shared timeline.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/sleeper.h"
#include "base/text.h"
#include "base/text_catalogue.h"
#include "device/usb_port_lock.h"
#include "null_libraries.h"
#include "transfer/transfer_job.h"
#include "transfer/transfer_window.h"

using Timeline = std::vector<std::string>;

// One status read as a printer answers it.
struct StatusReply {
    bool answered = true;
    std::uint8_t stateCode = 0x0A;  // granted by the tests' packages
    std::uint8_t detailCode1 = 0;
    std::uint8_t detailCode2 = 0;

    static StatusReply Codes(std::uint8_t code1, std::uint8_t code2) { return {true, 0x0A, code1, code2}; }
    static StatusReply Silent() { return {false, 0, 0, 0}; }
    void Fill(PrinterStatusBlock& block) const {
        block.bytes[PrinterStatusBlock::kStateCodeOffset] = stateCode;
        block.bytes[PrinterStatusBlock::kDetailCode1Offset] = detailCode1;
        block.bytes[PrinterStatusBlock::kDetailCode2Offset] = detailCode2;
    }
};

struct FakePrinter {
    // Status: `check` answers the read before the printer is opened, `polls`
    // answer the reads after it in turn, `idle` all further ones.
    StatusReply check;
    std::deque<StatusReply> polls;
    StatusReply idle;

    // Writes: by the printer's write number (0-based), the result to give
    // instead of taking the bytes (USB: any entry fails the write; network:
    // negative fails, n >= 0 takes the first n bytes and returns n).
    std::map<int, int> writeOverrides;
    bool refuseOpen = false;  // USB
    int refuseConnects = 0;   // network: attempts refused before one succeeds

    // What the printer saw.
    std::string received;                  // every byte taken, in order
    std::vector<int> writeSizes;           // count asked by each write
    std::vector<std::string> connections;  // network: the bytes of each connection
    std::vector<int> connectPorts;
    int connectAttempts = 0;
    int opens = 0, closes = 0;
    int statusReads = 0;  // polls and final rounds
    std::vector<std::string> communities;
    bool connected = false;
    int writeCount = 0;

    std::optional<StatusReply> NextStatus() {
        ++statusReads;
        if (polls.empty()) return idle;
        const StatusReply reply = polls.front();
        polls.pop_front();
        return reply;
    }
};

// Printers behind both libraries: USB printers by device index, network
// printers by address.
class FakeFleet : public NullLibraries {
public:
    explicit FakeFleet(Timeline& timeline) : timeline_(timeline) {}

    FakePrinter& Usb(std::uint16_t deviceIndex) { return usb_[deviceIndex]; }
    FakePrinter& Net(const std::string& address) { return net_[address]; }
    bool knowsUsb(std::uint16_t deviceIndex) const { return usb_.count(deviceIndex) != 0; }

    // Runs after every write that a printer took: lets a test cancel at a
    // chosen point of the stream.
    std::function<void(const FakePrinter&)> afterWrite;
    bool rawPortQueryBound = false;
    int rawPortResult = 0;
    int rawPort = 0;
    std::vector<std::string> touched;  // printers asked anything, in order, once each

    // --- device utility
    int DUGetDevicePath(char* path, std::uint16_t index) override {
        Touch("usb" + std::to_string(index));
        const std::string text = "\\\\?\\usb#vid_0d1e&pid_0417#dev" + std::to_string(index);
        std::memset(path, 0, kDevicePathBytes);
        std::memcpy(path, text.c_str(), text.size());
        return 0;
    }
    int DUGetDeviceID(char* buffer, std::uint16_t index) override {
        FakePrinter& printer = usb_[index];
        const std::optional<StatusReply> reply = printer.connected ? printer.NextStatus() : printer.check;
        if (!reply->answered) return 0;
        // The whole buffer, without a terminator: the job must not read past it.
        std::memset(buffer, 'x', kDeviceIdBytes);
        const std::string text = "CODES:" + std::to_string(reply->stateCode) + ":" +
                                 std::to_string(reply->detailCode1) + ":" + std::to_string(reply->detailCode2) + ";";
        std::memcpy(buffer, text.c_str(), text.size());
        return 1;
    }
    int DecodeStatusFromDeviceID(const char* deviceId, PrinterStatusBlock* status) override {
        decodedLengths.push_back(std::strlen(deviceId));
        unsigned state = 0, code1 = 0, code2 = 0;
        if (std::sscanf(deviceId, "CODES:%u:%u:%u;", &state, &code1, &code2) != 3) return 0;
        StatusReply{true, std::uint8_t(state), std::uint8_t(code1), std::uint8_t(code2)}.Fill(*status);
        return 1;
    }
    int DUOpenConnection(std::uint16_t index) override {
        FakePrinter& printer = usb_[index];
        ++printer.opens;
        timeline_.push_back("open usb" + std::to_string(index));
        if (printer.refuseOpen) return 1;
        printer.connected = true;
        return 0;
    }
    int DUCloseConnection(std::uint16_t index) override {
        FakePrinter& printer = usb_[index];
        ++printer.closes;
        printer.connected = false;
        timeline_.push_back("close usb" + std::to_string(index));
        return 0;
    }
    int DUWriteData(const void* bytes, int count, int flags, std::uint16_t index) override {
        FakePrinter& printer = usb_[index];
        if (!printer.connected || flags != 0) return 1;
        const int number = printer.writeCount++;
        printer.writeSizes.push_back(count);
        if (printer.writeOverrides.count(number)) return 1;
        printer.received.append(static_cast<const char*>(bytes), static_cast<std::size_t>(count));
        if (afterWrite) afterWrite(printer);
        return 0;
    }

    // --- network
    bool HasNetworkLibrary() const override { return true; }
    bool HasRawPortQuery() const override { return rawPortQueryBound; }
    int GetRAWPortNum(const char* address, const char* community, int* port) override {
        net_[address].communities.push_back(std::string("raw:") + community);
        if (rawPortResult != 0) *port = rawPort;
        return rawPortResult;
    }
    int NetworkReadStatusV3(const char* address, const char* community, int mode, PrinterStatusBlock* status) override {
        Touch(address);
        FakePrinter& printer = net_[address];
        printer.communities.push_back(std::string("v3:") + community);
        if (mode != 3 || !printer.check.answered) return 0;
        printer.check.Fill(*status);
        return 1;
    }
    int NetworkReadStatusV4(const char* address, const char* community, int mode, PrinterStatusBlock* status) override {
        FakePrinter& printer = net_[address];
        printer.communities.push_back(std::string("v4:") + community);
        const std::optional<StatusReply> reply = printer.NextStatus();
        if (mode != 50 || !reply->answered) return 0;
        reply->Fill(*status);
        return 1;
    }
    NetHandle NetworkConnectNonBlock(const char* address, int port, int timeout) override {
        FakePrinter& printer = net_[address];
        ++printer.connectAttempts;
        printer.connectPorts.push_back(port);
        if (timeout != 300000 || printer.connectAttempts <= printer.refuseConnects) return kNoNetHandle;
        const NetHandle handle = nextHandle_++;
        handles_[handle] = address;
        printer.connections.emplace_back();
        printer.connected = true;
        ++printer.opens;
        timeline_.push_back(std::string("connect ") + address);
        return handle;
    }
    int NetworkWrite(NetHandle handle, const void* bytes, int count) override {
        if (!handles_.count(handle)) return -1;
        FakePrinter& printer = net_[handles_[handle]];
        const int number = printer.writeCount++;
        printer.writeSizes.push_back(count);
        int taken = count;
        if (printer.writeOverrides.count(number)) {
            taken = printer.writeOverrides[number];
            if (taken < 0) return taken;
        }
        const std::string data(static_cast<const char*>(bytes), static_cast<std::size_t>(taken));
        printer.received += data;
        printer.connections.back() += data;
        if (afterWrite) afterWrite(printer);
        return taken;
    }
    int NetworkClose(NetHandle handle) override {
        if (!handles_.count(handle)) return 0;
        FakePrinter& printer = net_[handles_[handle]];
        ++printer.closes;
        printer.connected = false;
        timeline_.push_back("close " + handles_[handle]);
        handles_.erase(handle);
        return 1;
    }

    std::vector<std::size_t> decodedLengths;

    void Reset() {
        usb_.clear();
        net_.clear();
        handles_.clear();
        touched.clear();
        decodedLengths.clear();
        afterWrite = nullptr;
        rawPortQueryBound = false;
        rawPortResult = 0;
        rawPort = 0;
    }

private:
    void Touch(const std::string& name) {
        for (const std::string& seen : touched)
            if (seen == name) return;
        touched.push_back(name);
    }

    Timeline& timeline_;
    std::map<std::uint16_t, FakePrinter> usb_;
    std::map<std::string, FakePrinter> net_;
    std::map<NetHandle, std::string> handles_;
    NetHandle nextHandle_ = 100;
};

class FakePortLocks final : public UsbPortLocks {
public:
    explicit FakePortLocks(Timeline& timeline) : timeline_(timeline) {}

    std::set<std::string> busyPaths;
    std::set<std::string> unmatchedPaths;  // no spooler printer: no lock, not busy
    std::vector<std::string> asked;
    int held = 0;

    void Reset() {
        busyPaths.clear();
        unmatchedPaths.clear();
        asked.clear();
        held = 0;
    }

    PortLockResult AcquireUsbPortLock(const char* devicePath) override {
        asked.emplace_back(devicePath);
        if (busyPaths.count(devicePath)) return {true, nullptr};
        if (unmatchedPaths.count(devicePath)) return {false, nullptr};
        ++held;
        timeline_.push_back("lock");
        return {false, &locks_[next_++ % 8]};
    }
    void ReleaseUsbPortLock(PortLockHandle lock) override {
        if (!lock) return;
        --held;
        timeline_.push_back("release");
    }

private:
    Timeline& timeline_;
    int locks_[8] = {};
    int next_ = 0;
};

// Virtual time: sleeping only advances the clock. A hook sees every sleep.
class VirtualClock final : public Sleeper {
public:
    std::vector<int> sleeps;
    std::int64_t now = 0;
    std::function<void(std::int64_t now, int slept)> afterSleep;

    void SleepMs(int milliseconds) override {
        sleeps.push_back(milliseconds);
        now += milliseconds;
        if (afterSleep) afterSleep(now, milliseconds);
    }
};

class FakeWindow final : public TransferWindow {
public:
    explicit FakeWindow(Timeline& timeline) : timeline_(timeline) {}

    std::vector<std::wstring> printerLines;
    std::vector<int> bars;
    std::vector<bool> cancelStates;
    std::vector<std::wstring> errors;
    // Bar positions, errors and "waiting"/"sending" for the job's waits on the printer, in order.
    std::vector<std::string> phases;
    int bar = 0;

    void Reset() {
        phases.clear();
        printerLines.clear();
        bars.clear();
        cancelStates.clear();
        errors.clear();
        bar = 0;
    }

    void SetPrinterLine(const std::wstring& text) override { printerLines.push_back(text); }
    void SetBarPosition(int position) override {
        phases.push_back(std::to_string(position));
        bars.push_back(position);
        bar = position;
    }
    int BarPosition() override { return bar; }
    void EnableCancel(bool enable) override { cancelStates.push_back(enable); }
    void ShowError(const std::wstring& text) override {
        errors.push_back(text);
        phases.push_back("error");
        timeline_.push_back("error " + ToEightBit(text));
    }
    void ShowWaiting(bool waiting) override { phases.push_back(waiting ? "waiting" : "sending"); }

private:
    Timeline& timeline_;
};

class EnglishTexts final : public TextCatalogue {
public:
    std::wstring Text(int id) const override {
        switch (id) {
            case 207: return L"Printer:";
            case 900: return L"Error";
            case 901: return L"Unable to open the file: ";
            case 902: return L"Unable to download data to the printer:";
            case 912: return L"Check that the printers are ready.";
            case 930: return L"The firmware file does not match the package. Nothing was sent to the printer:";
            default: return L"";
        }
    }
};

// The platform's files, recording every open; a path can be made to give
// fewer bytes than its size the next time it is opened, as a read error does.
class RecordingFiles final : public FileOpener {
public:
    struct Open {
        std::wstring path;
        FileSharing sharing;
    };
    // Read number `atRead` (from 0) of the file gives `result` instead of
    // what was asked: a negative failure, or at most `result` bytes.
    struct ReadFault {
        int atRead;
        int result;
    };
    std::vector<Open> opens;
    std::set<std::wstring> shortReads;  // reads stop after the first chunk
    std::map<std::wstring, ReadFault> readFaults;
    // Called before each open: a test can change a file at that moment.
    std::function<void(const std::wstring& path, FileSharing sharing)> beforeOpen;

    std::unique_ptr<InputFile> OpenForReading(const std::wstring& path, FileSharing sharing) override {
        if (beforeOpen) beforeOpen(path, sharing);
        opens.push_back({path, sharing});
        std::unique_ptr<InputFile> file = platform_.OpenForReading(path, sharing);
        if (!file) return file;
        if (shortReads.erase(path)) return std::make_unique<FaultyRead>(std::move(file), ReadFault{1, 0});
        const auto fault = readFaults.find(path);
        if (fault == readFaults.end()) return file;
        const ReadFault chosen = fault->second;
        readFaults.erase(fault);
        return std::make_unique<FaultyRead>(std::move(file), chosen);
    }

private:
    // The size stays the file's.
    class FaultyRead final : public InputFile {
    public:
        FaultyRead(std::unique_ptr<InputFile> file, ReadFault fault) : file_(std::move(file)), fault_(fault) {}
        int Read(void* buffer, int count) override {
            if (reads_++ != fault_.atRead) return file_->Read(buffer, count);
            if (fault_.result <= 0) return fault_.result;
            return file_->Read(buffer, std::min(count, fault_.result));
        }
        std::int64_t Size() override { return file_->Size(); }

    private:
        std::unique_ptr<InputFile> file_;
        ReadFault fault_;
        int reads_ = 0;
    };
    PlatformFiles platform_;
};

// Byte streams compared with a short report: their sizes and the first
// offset at which they differ.
inline ::testing::AssertionResult SameStream(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return ::testing::AssertionFailure() << "streams of " << actual.size() << " and " << expected.size()
                                         << " bytes differ from offset " << at;
}
#define EXPECT_STREAM(actual, expected) EXPECT_TRUE(SameStream((actual), (expected)))

inline std::string MarkerText(std::uint32_t marker) {
    const auto bytes = MarkerBytes(marker);
    return std::string(bytes.begin(), bytes.end());
}
