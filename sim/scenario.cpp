#include "sim/scenario.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <functional>

#include "base/text.h"
#include "package/ini_file.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(Trim(text.substr(0, at)));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

// A non-negative number, decimal or with "0x" hexadecimal, at most `max`.
std::optional<long long> ParseNumber(std::string_view text, long long max, int base = 10) {
    text = Trim(text);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0 || value > max)
        return std::nullopt;
    return value;
}

std::optional<std::vector<StatusStep>> ParseScript(std::string_view text) {
    std::vector<StatusStep> steps;
    if (Trim(text).empty()) return steps;
    for (std::string_view item : Split(text, ',')) {
        StatusStep step;
        const std::size_t star = item.find('*');
        if (star != std::string_view::npos) {
            const auto reads = ParseNumber(item.substr(star + 1), 1000000);
            if (!reads || *reads == 0) return std::nullopt;
            step.reads = static_cast<int>(*reads);
            item = item.substr(0, star);
        }
        const auto status = ParseSimStatus(item);
        if (!status) return std::nullopt;
        step.status = *status;
        steps.push_back(step);
    }
    return steps;
}

std::optional<std::vector<WriteFault>> ParseWriteFaults(std::string_view text) {
    std::vector<WriteFault> faults;
    if (Trim(text).empty()) return faults;
    for (std::string_view item : Split(text, ',')) {
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        WriteFault fault;
        std::string_view number = Trim(item.substr(0, colon));
        if (!number.empty() && number.back() == '+') {
            fault.onwards = true;
            number.remove_suffix(1);
        }
        const auto first = ParseNumber(number, 1 << 30);
        if (!first || *first == 0) return std::nullopt;
        fault.first = static_cast<int>(*first);
        const std::string kind = Lower(std::string(Trim(item.substr(colon + 1))));
        if (kind == "short") fault.kind = WriteFaultKind::kShort;
        else if (kind == "half") fault.kind = WriteFaultKind::kHalf;
        else if (kind == "zero") fault.kind = WriteFaultKind::kZero;
        else if (kind == "fail") fault.kind = WriteFaultKind::kFail;
        else return std::nullopt;
        faults.push_back(fault);
    }
    return faults;
}

std::optional<std::vector<ReadRange>> ParseReadRanges(std::string_view text) {
    std::vector<ReadRange> ranges;
    if (Trim(text).empty()) return ranges;
    for (std::string_view item : Split(text, ',')) {
        ReadRange range;
        const std::size_t dash = item.find('-');
        const auto first = ParseNumber(item.substr(0, dash), 1 << 30);
        if (!first || *first == 0) return std::nullopt;
        range.first = static_cast<int>(*first);
        if (dash == std::string_view::npos) {
            range.last = range.first;
        } else if (!Trim(item.substr(dash + 1)).empty()) {
            const auto last = ParseNumber(item.substr(dash + 1), 1 << 30);
            if (!last || *last < *first) return std::nullopt;
            range.last = static_cast<int>(*last);
        }
        ranges.push_back(range);
    }
    return ranges;
}

// Reads one section's keys through a table of handlers; a key that no
// handler knows, or a value that does not read, is a problem.
class SectionReader {
public:
    using Handler = std::function<bool(const std::string& value)>;

    SectionReader(std::string section, std::vector<std::string>& problems)
        : section_(std::move(section)), problems_(problems) {}

    void On(const char* key, Handler handler) { handlers_[Lower(key)] = std::move(handler); }
    // Keys that begin with a digit: OID values.
    void OnNumericKey(std::function<void(const std::string&, const std::string&)> handler) {
        numericKey_ = std::move(handler);
    }

    void Read(const IniFile& file) {
        for (const auto& [wideKey, wideValue] : file.Section(FromEightBit(section_))) {
            const std::string key = ToEightBit(wideKey);
            const std::string value = ToEightBit(wideValue);
            if (numericKey_ && !key.empty() && std::isdigit(static_cast<unsigned char>(key[0]))) {
                numericKey_(key, value);
                continue;
            }
            const auto handler = handlers_.find(Lower(key));
            if (handler == handlers_.end())
                problems_.push_back(section_ + ": unknown key " + key);
            else if (!handler->second(value))
                problems_.push_back(section_ + ": value of " + key + " does not read: " + value);
        }
    }

private:
    std::string section_;
    std::vector<std::string>& problems_;
    std::map<std::string, Handler> handlers_;
    std::function<void(const std::string&, const std::string&)> numericKey_;
};

SectionReader::Handler Text(std::string& out) {
    return [&out](const std::string& value) {
        out = value;
        return true;
    };
}

template <typename Int>
SectionReader::Handler Number(Int& out, long long max, int base = 10) {
    return [&out, max, base](const std::string& value) {
        const auto number = ParseNumber(value, max, base);
        if (number) out = static_cast<Int>(*number);
        return number.has_value();
    };
}

SectionReader::Handler Flag(bool& out) {
    return [&out](const std::string& value) {
        const auto number = ParseNumber(value, 1);
        if (number) out = *number != 0;
        return number.has_value();
    };
}

template <typename T, typename Parse>
SectionReader::Handler Parsed(T& out, Parse parse) {
    return [&out, parse](const std::string& value) {
        auto parsed = parse(value);
        if (parsed) out = std::move(*parsed);
        return parsed.has_value();
    };
}

void AddBehaviourKeys(SectionReader& reader, PrinterBehaviour& behaviour) {
    reader.On("Status", Parsed(behaviour.status, ParseSimStatus));
    reader.On("AfterUpdate", Parsed(behaviour.afterUpdate, ParseScript));
    reader.On("NewFirmware", [&behaviour](const std::string& value) {
        behaviour.newFirmware = value;
        return true;
    });
    reader.On("FaultAfterFile", Number(behaviour.faultAfterFile, 1 << 30));
    reader.On("FaultCodes", Parsed(behaviour.faultCodes, [](const std::string& value) -> std::optional<SimStatus> {
        const auto codes = Split(value, '/');
        if (codes.size() != 2) return std::nullopt;
        const auto first = ParseNumber(codes[0], 255);
        const auto second = ParseNumber(codes[1], 255);
        if (!first || !second) return std::nullopt;
        return SimStatus{0, static_cast<std::uint8_t>(*first), static_cast<std::uint8_t>(*second)};
    }));
    reader.On("RefuseConnections", Number(behaviour.refuseConnections, 1 << 30));
    reader.On("BytesPerSecond", Number(behaviour.bytesPerSecond, 1 << 30));
    reader.On("UpdatingSeconds", Number(behaviour.updatingSeconds, 1 << 20));
    reader.On("WriteFaults", Parsed(behaviour.writeFaults, ParseWriteFaults));
    reader.On("FailStatusReads", Parsed(behaviour.failStatusReads, ParseReadRanges));
    reader.On("StopAnsweringAfter", Number(behaviour.stopAnsweringAfter, 1 << 30));
    reader.On("ChangeFile", Parsed(behaviour.changeFile, [](const std::string& value)
                                       -> std::optional<PrinterBehaviour::FileChange> {
        const std::size_t colon = value.find(':');
        if (colon == std::string::npos) return std::nullopt;
        const auto write = ParseNumber(Trim(std::string_view(value).substr(0, colon)), 1 << 30);
        const std::string file(Trim(std::string_view(value).substr(colon + 1)));
        if (!write || *write == 0 || file.empty()) return std::nullopt;
        return PrinterBehaviour::FileChange{static_cast<int>(*write), file};
    }));
}

std::optional<UsbPrinterSpec> ReadUsbPrinter(const IniFile& file, int number, std::vector<std::string>& problems) {
    const std::string section = "Usb" + std::to_string(number);
    if (file.Section(FromEightBit(section)).empty()) return std::nullopt;
    UsbPrinterSpec description;
    description.id = section;
    description.index = static_cast<std::uint16_t>(number + 1);
    description.model = "Korvane Laser 7000";
    description.printerName = "Korvane Laser 7000 " + std::to_string(number + 1);
    description.port = "USB" + std::string(number + 1 < 10 ? "00" : "0") + std::to_string(number + 1);
    description.serial = "SIM" + std::to_string(number + 1);
    SectionReader reader(section, problems);
    reader.On("Index", Number(description.index, 0xFFFF));
    reader.On("VID", Number(description.vid, 0xFFFF, 16));
    reader.On("PID", Number(description.pid, 0xFFFF, 16));
    reader.On("Model", Text(description.model));
    reader.On("DevicePath", Text(description.devicePath));
    reader.On("PrinterName", Text(description.printerName));
    reader.On("Port", Text(description.port));
    reader.On("DeviceId", Text(description.deviceIdFields));
    reader.On("DeviceIdStatus", [&description](const std::string& value) {
        description.deviceIdStatus = value;
        return true;
    });
    reader.On("Serial", Text(description.serial));
    reader.On("Firmware", Text(description.firmware));
    reader.On("Variant", Text(description.variant));
    reader.On("Name", Text(description.name));
    reader.On("IdentityResult", Number(description.identityResult, 255));
    reader.On("NameResult", Number(description.nameResult, 255));
    AddBehaviourKeys(reader, description.behaviour);
    reader.Read(file);
    if (description.deviceIdFields.empty()) description.deviceIdFields = "MFG:Korvane;CMD:PJL;MDL:" + description.model + ";CLS:PRINTER;";
    if (description.devicePath.empty()) {
        char path[160];
        std::snprintf(path, sizeof path, "\\\\?\\usb#vid_%04x&pid_%04x#%s#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
                      description.vid, description.pid, description.serial.c_str());
        description.devicePath = path;
    }
    return description;
}

std::optional<NetPrinterSpec> ReadNetPrinter(const IniFile& file, int number, std::vector<std::string>& problems) {
    const std::string section = "Net" + std::to_string(number);
    if (file.Section(FromEightBit(section)).empty()) return std::nullopt;
    NetPrinterSpec description;
    description.id = section;
    description.deviceName = "KORVANE-" + std::to_string(number + 1);
    SectionReader reader(section, problems);
    reader.On("IPv4", [&description](const std::string& value) {
        // Kept as text: the library matches IPv4 addresses by their text.
        description.ipv4 = value;
        return !value.empty() && value.size() <= 15;
    });
    reader.On("IPv6", Parsed(description.ipv6, [](const std::string& value) { return ParseIpv6(value); }));
    reader.On("DeviceName", Text(description.deviceName));
    reader.On("SysOID", Text(description.sysOid));
    reader.On("Community", Text(description.community));
    reader.On("Firmware", [&description](const std::string& value) {
        description.oidValues[kFirmwareOid] = value;
        return true;
    });
    reader.On("Variant", [&description](const std::string& value) {
        description.oidValues[kVariantOid] = value;
        return true;
    });
    reader.On("RawPort", Number(description.rawPort, 65535));
    reader.On("AnswersGets", Flag(description.answersGets));
    reader.On("DiscoveryAnswers", Number(description.discoveryAnswers, 16));
    reader.OnNumericKey([&description](const std::string& oid, const std::string& value) { description.oidValues[oid] = value; });
    AddBehaviourKeys(reader, description.behaviour);
    reader.Read(file);
    description.oidValues.emplace(kSysObjectIdOid, description.sysOid);
    description.oidValues.emplace(kSysNameOid, description.deviceName);
    return description;
}

}  // namespace

std::optional<SimStatus> ParseSimStatus(std::string_view text) {
    const auto codes = Split(text, '/');
    if (codes.size() != 1 && codes.size() != 3) return std::nullopt;
    std::uint8_t values[3] = {};
    for (std::size_t k = 0; k < codes.size(); ++k) {
        const auto value = ParseNumber(codes[k], 255);
        if (!value) return std::nullopt;
        values[k] = static_cast<std::uint8_t>(*value);
    }
    return SimStatus{values[0], values[1], values[2]};
}

Scenario ParseScenario(std::string_view text) {
    const IniFile file = IniFile::Parse(text);
    Scenario scenario;
    SectionReader fleet("Fleet", scenario.problems);
    fleet.On("RecordDir", Text(scenario.recordDir));
    fleet.On("Record", [&scenario](const std::string& value) {
        const std::string mode = Lower(value);
        scenario.digestOnly = mode == "digest";
        return mode == "digest" || mode == "bytes";
    });
    fleet.Read(file);
    for (int number = 0; number < kMaxPrintersPerKind; ++number) {
        if (auto usb = ReadUsbPrinter(file, number, scenario.problems)) scenario.usb.push_back(std::move(*usb));
        if (auto net = ReadNetPrinter(file, number, scenario.problems)) scenario.net.push_back(std::move(*net));
    }
    return scenario;
}
