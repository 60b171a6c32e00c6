// The simulated printer fleet as a scenario file describes it (sim/README.md
// documents the format). Parsing never fails: values that do not read keep
// their defaults and are listed in `problems`, so that a typo in a test's
// scenario shows in the fleet transcript instead of passing silently.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/ipv6_address.h"

inline constexpr char kScenarioFileName[] = "vorlensim.ini";
inline constexpr char kFirmwareOid[] = "1.3.6.1.4.1.47131.886.300.369.8531.1.2.1.0";
inline constexpr char kVariantOid[] = "1.3.6.1.4.1.47131.886.300.369.8531.1.2.3.0";
inline constexpr char kSysObjectIdOid[] = "1.3.6.1.2.1.1.2.0";
inline constexpr char kSysNameOid[] = "1.3.6.1.2.1.1.5.0";

// The three codes of a status record: state (byte 9) and the two detail codes
// (bytes 74 and 75).
struct SimStatus {
    std::uint8_t state = 0;
    std::uint8_t detail1 = 0;
    std::uint8_t detail2 = 0;
    bool operator==(const SimStatus&) const = default;
};

// One step of a status script: this status for `reads` status reads.
struct StatusStep {
    SimStatus status;
    int reads = 1;
};

enum class WriteFaultKind {
    kShort,  // takes one byte less than given (a write of 0 bytes fails)
    kHalf,   // takes half of the bytes, rounded down
    kZero,   // takes no byte
    kFail,   // reports an error
};

// Fault of write number `first` (counted from 1 over the printer's life),
// and of every later write when `onwards` is set.
struct WriteFault {
    int first = 1;
    bool onwards = false;
    WriteFaultKind kind = WriteFaultKind::kFail;
};

// Status reads `first` to `last` (counted from 1) fail; last 0 means no end.
struct ReadRange {
    int first = 1;
    int last = 0;
};

// How a printer behaves over time, USB or network alike.
struct PrinterBehaviour {
    SimStatus status{10, 0, 0};
    // Status script that starts at every "last file" end marker (four zero
    // bytes); its last step holds.
    std::vector<StatusStep> afterUpdate;
    // Firmware text from the moment the script reaches its last step (at
    // once when there is no script).
    std::optional<std::string> newFirmware;
    int faultAfterFile = 0;  // 0: never; n: detail codes of `faultCodes` once n end markers arrived
    SimStatus faultCodes{0, 1, 30};  // state unused
    int refuseConnections = 0;
    std::vector<WriteFault> writeFaults;
    std::vector<ReadRange> failStatusReads;
    int stopAnsweringAfter = -1;  // -1: always answers; n: nothing answers after n accepted writes
    // A package file changed while an update runs: right after write number
    // `afterWrite` (counted from 1) the printer's library inverts the last byte
    // of `file`, a name in the scenario's folder.
    struct FileChange {
        int afterWrite = 0;  // 0: never
        std::string file;
    } changeFile;
    // Takes data at this many bytes per second (0: at once), as a printer on
    // a real link would.
    int bytesPerSecond = 0;
    // Reports "updating" (state 199) for this many seconds after each "last
    // file" end marker, with its old firmware text, as a printer that
    // restarts; then its status and the new firmware (0: no such time).
    int updatingSeconds = 0;
};

struct UsbPrinterSpec {
    std::string id;  // the section name; names the record files
    std::uint16_t index = 1;
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    std::string model;
    std::string devicePath;
    std::string printerName;  // spooler printer name
    std::string port;         // spooler port name
    std::string deviceIdFields;                 // device ID text before the status field
    std::optional<std::string> deviceIdStatus;  // replaces the status field's value
    std::string serial;
    std::string firmware;
    std::string variant;
    std::string name;
    int identityResult = 0;
    int nameResult = 0;
    PrinterBehaviour behaviour;
};

struct NetPrinterSpec {
    std::string id;
    std::string ipv4;  // dotted text, empty when the printer has none
    std::optional<Ipv6Address> ipv6;
    std::string deviceName;
    std::string sysOid;
    std::string community = "meadow";
    std::map<std::string, std::string> oidValues;  // firmware and variant OIDs included
    int rawPort = 9100;
    bool answersGets = true;
    int discoveryAnswers = 1;  // answers per discovery call
    PrinterBehaviour behaviour;
};

struct Scenario {
    std::string recordDir;  // relative to the scenario's folder; empty: that folder
    bool digestOnly = false;
    std::vector<UsbPrinterSpec> usb;
    std::vector<NetPrinterSpec> net;
    std::vector<std::string> problems;
};

inline constexpr int kMaxPrintersPerKind = 256;

Scenario ParseScenario(std::string_view text);

// "S", "S/D1/D2", decimal or 0x-hexadecimal codes.
std::optional<SimStatus> ParseSimStatus(std::string_view text);
