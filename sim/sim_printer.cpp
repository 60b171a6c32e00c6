#include "sim/sim_printer.h"

#include <charconv>
#include <chrono>
#include <thread>
#include <cstdio>
#include <map>

std::uint64_t ExtendDigest(std::uint64_t digest, const void* bytes, std::size_t count) {
    const auto* data = static_cast<const unsigned char*>(bytes);
    for (std::size_t k = 0; k < count; ++k) digest = (digest ^ data[k]) * 0x100000001b3ull;
    return digest;
}

std::string FormatCounters(const PrinterCounters& c) {
    char digest[32];
    std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(c.digest));
    std::string text = "Connects=" + std::to_string(c.connects) + "\nWrites=" + std::to_string(c.writes) +
                       "\nStatusReads=" + std::to_string(c.statusReads) + "\nMarkers=" + std::to_string(c.markers) +
                       "\nScriptStep=" + std::to_string(c.scriptStep) +
                       "\nScriptReadsLeft=" + std::to_string(c.scriptReadsLeft) +
                       "\nReceivedBytes=" + std::to_string(c.receivedBytes) + "\nDigest=" + digest + "\n";
    if (c.firmware) text += "Firmware=" + *c.firmware + "\n";
    if (c.updatedAtMs) text += "UpdatedAt=" + std::to_string(c.updatedAtMs) + "\n";
    return text;
}

PrinterCounters ParseCounters(std::string_view text) {
    std::map<std::string, std::string, std::less<>> values;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos) values.emplace(line.substr(0, equals), line.substr(equals + 1));
    }
    const auto number = [&](const char* key, auto& out, int base = 10) {
        const auto found = values.find(key);
        if (found == values.end()) return;
        const std::string& value = found->second;
        std::remove_reference_t<decltype(out)> parsed{};
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), parsed, base);
        if (error == std::errc()) out = parsed;
    };
    PrinterCounters c;
    number("Connects", c.connects);
    number("Writes", c.writes);
    number("StatusReads", c.statusReads);
    number("Markers", c.markers);
    number("ScriptStep", c.scriptStep);
    number("ScriptReadsLeft", c.scriptReadsLeft);
    number("ReceivedBytes", c.receivedBytes);
    number("Digest", c.digest, 16);
    number("UpdatedAt", c.updatedAtMs);
    if (const auto firmware = values.find("Firmware"); firmware != values.end()) c.firmware = firmware->second;
    return c;
}

namespace {

class RealClock final : public SimClock {
public:
    std::int64_t NowMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }
    void SleepMs(int milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
};

}  // namespace

SimClock& RealSimClock() {
    static RealClock clock;
    return clock;
}

namespace {

bool IsMarkerValue(std::uint32_t value) {
    return value == kMoreFilesMarker || value == kLastFileMarker || value == kAbandonMarker;
}

std::uint32_t LittleEndian(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

std::optional<std::uint32_t> MarkerDetector::Take(const unsigned char* bytes, int given, int taken) {
    if (pendingValue_) {
        // The rest of a marker that was taken only in part.
        if (given == 4 - pendingTaken_) {
            pendingTaken_ += taken;
            if (pendingTaken_ < 4) return std::nullopt;
            const std::uint32_t marker = *pendingValue_;
            pendingValue_.reset();
            afterLastPiece_ = false;
            return marker;
        }
        pendingValue_.reset();
    }
    if (afterLastPiece_ && given == 4 && IsMarkerValue(LittleEndian(bytes))) {
        if (taken < 4) {
            pendingValue_ = LittleEndian(bytes);
            pendingTaken_ = taken;
            return std::nullopt;
        }
        afterLastPiece_ = false;
        return LittleEndian(bytes);
    }
    afterLastPiece_ = given < kChunkBytes;
    return std::nullopt;
}

bool SimPrinter::Answering() const {
    return behaviour_.stopAnsweringAfter < 0 || counters_.writes < behaviour_.stopAnsweringAfter;
}

bool SimPrinter::Connect() {
    ++counters_.connects;
    return Answering() && counters_.connects > behaviour_.refuseConnections;
}

const WriteFault* SimPrinter::FaultOf(int write) const {
    for (const WriteFault& fault : behaviour_.writeFaults)
        if (write == fault.first || (fault.onwards && write > fault.first)) return &fault;
    return nullptr;
}

SimPrinter::WriteOutcome SimPrinter::Write(const unsigned char* bytes, int count) {
    if (!Answering() || count < 0) return {};
    const int write = ++counters_.writes;
    int taken = count;
    if (const WriteFault* fault = FaultOf(write)) {
        switch (fault->kind) {
            case WriteFaultKind::kShort:
                if (count == 0) return {};
                taken = count - 1;
                break;
            case WriteFaultKind::kHalf: taken = count / 2; break;
            case WriteFaultKind::kZero: taken = 0; break;
            case WriteFaultKind::kFail: return {};
        }
    }
    Pace(taken);
    counters_.receivedBytes += static_cast<std::uint64_t>(taken);
    counters_.digest = ExtendDigest(counters_.digest, bytes, static_cast<std::size_t>(taken));
    WriteOutcome outcome;
    outcome.taken = taken;
    outcome.marker = detector_.Take(bytes, count, taken);
    if (outcome.marker) OnMarker(*outcome.marker);
    return outcome;
}

// Holds the write back until the stream's bytes so far would have taken
// their time at the printer's rate.
void SimPrinter::Pace(int taken) {
    if (behaviour_.bytesPerSecond <= 0 || taken <= 0) return;
    const std::int64_t now = clock_.NowMs();
    if (paceStartMs_ < 0) paceStartMs_ = now;
    pacedBytes_ += static_cast<std::uint64_t>(taken);
    const auto rate = static_cast<std::uint64_t>(behaviour_.bytesPerSecond);
    const std::int64_t due = paceStartMs_ + static_cast<std::int64_t>(pacedBytes_ * 1000 / rate);
    if (due > now) clock_.SleepMs(static_cast<int>(due - now));
}

bool SimPrinter::Restarting() const {
    return behaviour_.updatingSeconds > 0 && counters_.updatedAtMs > 0 &&
           clock_.NowMs() < counters_.updatedAtMs + std::int64_t{behaviour_.updatingSeconds} * 1000;
}

void SimPrinter::OnMarker(std::uint32_t marker) {
    ++counters_.markers;
    if (marker != kLastFileMarker) return;
    if (behaviour_.updatingSeconds > 0) counters_.updatedAtMs = clock_.NowMs();
    if (behaviour_.afterUpdate.empty()) {
        if (behaviour_.newFirmware) counters_.firmware = behaviour_.newFirmware;
        return;
    }
    EnterScriptStep(0);
}

void SimPrinter::EnterScriptStep(int step) {
    counters_.scriptStep = step;
    counters_.scriptReadsLeft = behaviour_.afterUpdate[static_cast<std::size_t>(step)].reads;
    if (step + 1 == static_cast<int>(behaviour_.afterUpdate.size()) && behaviour_.newFirmware)
        counters_.firmware = behaviour_.newFirmware;
}

bool SimPrinter::StatusReadFails(int read) const {
    for (const ReadRange& range : behaviour_.failStatusReads)
        if (read >= range.first && (range.last == 0 || read <= range.last)) return true;
    return false;
}

SimStatus SimPrinter::CurrentStatus() const {
    if (Restarting()) return SimStatus{kSimUpdatingState, 0, 0};
    const int steps = static_cast<int>(behaviour_.afterUpdate.size());
    SimStatus status = counters_.scriptStep >= 0 && counters_.scriptStep < steps
                           ? behaviour_.afterUpdate[static_cast<std::size_t>(counters_.scriptStep)].status
                           : behaviour_.status;
    if (behaviour_.faultAfterFile > 0 && counters_.markers >= behaviour_.faultAfterFile) {
        status.detail1 = behaviour_.faultCodes.detail1;
        status.detail2 = behaviour_.faultCodes.detail2;
    }
    return status;
}

std::optional<SimStatus> SimPrinter::ReadStatus() {
    if (!Answering()) return std::nullopt;
    if (StatusReadFails(++counters_.statusReads)) return std::nullopt;
    const SimStatus status = CurrentStatus();
    const int steps = static_cast<int>(behaviour_.afterUpdate.size());
    if (counters_.scriptStep >= 0 && counters_.scriptStep + 1 < steps && --counters_.scriptReadsLeft <= 0)
        EnterScriptStep(counters_.scriptStep + 1);
    return status;
}
