// One simulated printer's behaviour over time: the status it reports (its
// script and injected faults), which writes it takes, and the end markers it
// recognises in the stream it receives. Portable; the fleet keeps one per
// printer of the scenario and persists its counters between processes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/scenario.h"

inline constexpr std::uint32_t kMoreFilesMarker = 0xAA5555AA;
inline constexpr std::uint32_t kLastFileMarker = 0;
inline constexpr std::uint32_t kAbandonMarker = 0xFFFFFFFF;

inline constexpr std::uint64_t kDigestStart = 0xcbf29ce484222325ull;  // FNV-1a, 64 bits

// FNV-1a over `count` more bytes, starting from `digest`.
std::uint64_t ExtendDigest(std::uint64_t digest, const void* bytes, std::size_t count);

// Time for the printers that take data at a rate or restart for a while.
class SimClock {
public:
    virtual ~SimClock() = default;
    virtual std::int64_t NowMs() = 0;  // milliseconds since 1970, UTC
    virtual void SleepMs(int milliseconds) = 0;
};
SimClock& RealSimClock();

inline constexpr std::uint8_t kSimUpdatingState = 199;

// What a printer remembers between calls and between processes.
struct PrinterCounters {
    int connects = 0;     // connection attempts
    int writes = 0;       // write calls of the stream
    int statusReads = 0;  // status reads, failed ones included
    int markers = 0;      // end markers received
    int scriptStep = -1;  // step of the status script, -1 when none runs
    int scriptReadsLeft = 0;
    std::uint64_t receivedBytes = 0;
    std::uint64_t digest = kDigestStart;  // of every byte received
    std::optional<std::string> firmware;  // the new firmware text once the update took
    std::int64_t updatedAtMs = 0;  // time of the last "last file" marker, with UpdatingSeconds

    bool operator==(const PrinterCounters&) const = default;
};

// "key=value" lines.
std::string FormatCounters(const PrinterCounters& counters);
PrinterCounters ParseCounters(std::string_view text);

// Finds the end markers in a stream of writes. A marker is a write of four
// bytes holding one of the three marker values right after a data write of
// less than a full chunk (the last piece of a file). When the printer takes
// only part of such a write, the writes of the rest complete it.
class MarkerDetector {
public:
    static constexpr int kChunkBytes = 4096;

    void Reset() { *this = MarkerDetector(); }
    // A write of `given` bytes of which the printer took `taken`; the marker
    // value when this write completed an end marker.
    std::optional<std::uint32_t> Take(const unsigned char* bytes, int given, int taken);

private:
    bool afterLastPiece_ = false;
    std::optional<std::uint32_t> pendingValue_;  // marker write cut short
    int pendingTaken_ = 0;
};

class SimPrinter {
public:
    SimPrinter(const PrinterBehaviour& behaviour, std::string firmware, SimClock& clock = RealSimClock())
        : behaviour_(behaviour), firmware_(std::move(firmware)), clock_(clock) {}

    PrinterCounters& counters() { return counters_; }
    const PrinterCounters& counters() const { return counters_; }

    bool Answering() const;
    // Counts an attempt; false when it is refused.
    bool Connect();
    // A new connection's stream starts.
    void StartStream() {
        detector_.Reset();
        paceStartMs_ = -1;
        pacedBytes_ = 0;
    }

    struct WriteOutcome {
        int taken = -1;  // bytes taken, -1 when the write failed
        std::optional<std::uint32_t> marker;
    };
    WriteOutcome Write(const unsigned char* bytes, int count);
    // The package file to change now, right after the write that was just made.
    std::optional<std::string> FileToChange() const {
        const auto& change = behaviour_.changeFile;
        if (change.afterWrite <= 0 || counters_.writes != change.afterWrite) return std::nullopt;
        return change.file;
    }

    // A status read: counts, advances the script; nothing when it fails.
    std::optional<SimStatus> ReadStatus();
    // The status a read would report now, without reading.
    SimStatus CurrentStatus() const;
    std::string Firmware() const { return Restarting() ? firmware_ : counters_.firmware.value_or(firmware_); }
    // Within the UpdatingSeconds after the last update.
    bool Restarting() const;

private:
    void OnMarker(std::uint32_t marker);
    void EnterScriptStep(int step);
    bool StatusReadFails(int read) const;
    const WriteFault* FaultOf(int write) const;
    void Pace(int taken);

    const PrinterBehaviour& behaviour_;
    std::string firmware_;
    PrinterCounters counters_;
    MarkerDetector detector_;
    SimClock& clock_;
    std::int64_t paceStartMs_ = -1;  // the stream's first write, with BytesPerSecond
    std::uint64_t pacedBytes_ = 0;
};
