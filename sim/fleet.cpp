#include "sim/fleet.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "base/text.h"

namespace {

constexpr int kDeviceUtilityOk = 0;
constexpr int kDeviceUtilityFailed = -1;
constexpr int kOctetString = 4;

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }
std::string Quoted(const wchar_t* text) { return Quoted(text ? ToEightBit(text) : std::string("(null)")); }
std::string Text(const char* text) { return text ? text : "(null)"; }

std::string Hex32(std::uint32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

std::string StatusText(const SimStatus& status) {
    return std::to_string(status.state) + "/" + std::to_string(status.detail1) + "/" + std::to_string(status.detail2);
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The names of a NUL-separated list that ends with an empty name.
std::vector<std::string> MultiString(const char* list) {
    std::vector<std::string> names;
    if (!list) return names;
    // A list is never longer than this; a missing terminator stops here.
    constexpr std::size_t kMaxListBytes = 64 * 1024;
    std::size_t at = 0;
    while (at < kMaxListBytes && list[at] != '\0') {
        const std::size_t length = BoundedLength(list + at, kMaxListBytes - at);
        names.emplace_back(list + at, length);
        at += length + 1;
    }
    return names;
}

std::string ListText(const std::vector<std::string>& names) {
    std::string text = "[";
    for (std::size_t k = 0; k < names.size(); ++k) text += (k ? "," : "") + names[k];
    return text + "]";
}

void FillStatus(PrinterStatusBlock* block, const SimStatus& status) {
    *block = PrinterStatusBlock();
    block->bytes[PrinterStatusBlock::kStateCodeOffset] = status.state;
    block->bytes[PrinterStatusBlock::kDetailCode1Offset] = status.detail1;
    block->bytes[PrinterStatusBlock::kDetailCode2Offset] = status.detail2;
}

// Puts text into a reply field of `size` bytes; a text that fills the field
// has no terminator inside it, as an over-long text from the device would.
void PutField(std::string& reply, std::size_t offset, std::size_t size, const std::string& text) {
    std::memcpy(reply.data() + offset, text.data(), std::min(size, text.size()));
}

std::optional<SimStatus> ParseCommaStatus(std::string_view text) {
    std::string slashed(text);
    std::replace(slashed.begin(), slashed.end(), ',', '/');
    if (std::count(slashed.begin(), slashed.end(), '/') != 2) return std::nullopt;
    return ParseSimStatus(slashed);
}

}  // namespace

std::string IdentityReply(const UsbPrinterSpec& description, const std::string& firmware) {
    std::string reply(kIdentityReplyBytes, '\0');
    reply[1] = static_cast<char>(description.identityResult);
    PutField(reply, 44, 160, description.serial);
    PutField(reply, 204, 64, firmware);
    PutField(reply, 268, 160, description.variant);
    return reply;
}

std::string NameReply(const UsbPrinterSpec& description) {
    std::string reply(kNameReplyBytes, '\0');
    reply[1] = static_cast<char>(description.nameResult);
    PutField(reply, 12, 32, description.name);
    return reply;
}

std::string DeviceIdText(const UsbPrinterSpec& description, const SimStatus& status) {
    const std::string value =
        description.deviceIdStatus ? *description.deviceIdStatus
                            : std::to_string(status.state) + "," + std::to_string(status.detail1) + "," +
                                  std::to_string(status.detail2);
    return description.deviceIdFields + "VST:" + value + ";";
}

bool DecodeDeviceIdStatus(std::string_view deviceId, PrinterStatusBlock& block) {
    for (std::size_t at = 0; at < deviceId.size();) {
        std::size_t end = deviceId.find(';', at);
        if (end == std::string_view::npos) end = deviceId.size();
        const std::string_view field = deviceId.substr(at, end - at);
        if (field.substr(0, 4) == "VST:") {
            const auto status = ParseCommaStatus(field.substr(4));
            if (!status) return false;
            FillStatus(&block, *status);
            return true;
        }
        at = end + 1;
    }
    return false;
}

Fleet::Fleet(const std::filesystem::path& folder) {
    const auto text = ReadWholeFile(folder / kScenarioFileName);
    scenario_ = ParseScenario(text.value_or(""));
    if (!text) scenario_.problems.push_back(std::string("no scenario file ") + kScenarioFileName);
    Start(folder);
}

Fleet::Fleet(const std::filesystem::path& folder, std::string_view scenarioText) {
    scenario_ = ParseScenario(scenarioText);
    Start(folder);
}

void Fleet::Start(const std::filesystem::path& folder) {
    scenarioFolder_ = folder;
    recordFolder_ = scenario_.recordDir.empty() ? folder : folder / scenario_.recordDir;
    std::error_code ignored;
    std::filesystem::create_directories(recordFolder_, ignored);
    const bool keepBytes = !scenario_.digestOnly;
    fleetLog_ = std::make_unique<Recorder>(recordFolder_, "fleet", false);
    for (const std::string& problem : scenario_.problems) fleetLog_->Line("scenario: " + problem);
    fleetLog_->Flush();
    for (const UsbPrinterSpec& description : scenario_.usb)
        usb_.push_back(std::make_unique<UsbSlot>(description, recordFolder_, keepBytes));
    for (const NetPrinterSpec& description : scenario_.net)
        net_.push_back(std::make_unique<NetSlot>(description, recordFolder_, keepBytes));
}

Fleet::~Fleet() = default;

void Fleet::Refresh(Slot& slot) {
    if (slot.openConnections > 0) return;
    if (const auto state = slot.recorder.LoadState()) slot.printer.counters() = ParseCounters(*state);
}

void Fleet::Save(Slot& slot) {
    slot.recorder.SaveState(FormatCounters(slot.printer.counters()));
    slot.recorder.Flush();
    fleetLog_->Flush();
}

bool Fleet::Unplugged(const UsbSlot& slot) const {
    std::error_code ignored;
    return std::filesystem::exists(recordFolder_ / (slot.description.id + ".unplugged"), ignored);
}

Fleet::UsbSlot* Fleet::UsbByIndex(std::uint16_t index) {
    for (auto& slot : usb_)
        if (slot->description.index == index && !Unplugged(*slot)) return slot.get();
    fleetLog_->Line("no USB printer with device index " + std::to_string(index));
    fleetLog_->Flush();
    return nullptr;
}

Fleet::UsbSlot* Fleet::UsbByName(const wchar_t* printerName) {
    const std::string name = printerName ? ToEightBit(printerName) : "";
    for (auto& slot : usb_)
        if (SameTextIgnoringCase(slot->description.printerName, name) && !Unplugged(*slot)) return slot.get();
    fleetLog_->Line("no USB printer named " + Quoted(name));
    fleetLog_->Flush();
    return nullptr;
}

Fleet::UsbSlot* Fleet::UsbByConnection(void* connection) {
    for (auto& slot : usb_)
        if (slot.get() == connection && slot->openConnections > 0) return slot.get();
    fleetLog_->Line("USB call on a connection that is not open");
    fleetLog_->Flush();
    return nullptr;
}

Fleet::NetSlot* Fleet::NetByAddress(const char* address) {
    const std::string text = Text(address);
    const auto v6 = ParseIpv6(text);
    for (auto& slot : net_) {
        const NetPrinterSpec& description = slot->description;
        if (!description.ipv4.empty() && description.ipv4 == text) return slot.get();
        // A scope given on both sides must agree; either side may leave it out.
        if (v6 && description.ipv6 && v6->bytes == description.ipv6->bytes &&
            (v6->scopeId == 0 || description.ipv6->scopeId == 0 || v6->scopeId == description.ipv6->scopeId))
            return slot.get();
    }
    fleetLog_->Line("no network printer at " + text);
    fleetLog_->Flush();
    return nullptr;
}

Fleet::NetSlot* Fleet::NetByHandle(NetHandle handle) {
    const auto found = connections_.find(handle);
    if (found != connections_.end()) return found->second;
    fleetLog_->Line("network call on handle " + std::to_string(handle) + ", which is not open");
    fleetLog_->Flush();
    return nullptr;
}

SimPrinter::WriteOutcome Fleet::StreamWrite(Slot& slot, const std::string& call, const void* bytes, int count) {
    if (!bytes && count > 0) count = -1;
    const auto outcome = slot.printer.Write(static_cast<const unsigned char*>(bytes), count);
    if (outcome.taken > 0) slot.recorder.Bytes(bytes, outcome.taken);
    std::string line = call + " " + std::to_string(count) + " -> ";
    line += outcome.taken < 0 ? "failed" : "took " + std::to_string(outcome.taken);
    if (outcome.marker) line += " marker " + Hex32(*outcome.marker);
    slot.recorder.Line(line);
    if (outcome.marker) Save(slot);  // the status that others read changes with it
    if (outcome.taken >= 0) ChangeFileIfDue(slot);
    return outcome;
}

void Fleet::ChangeFileIfDue(Slot& slot) {
    const std::optional<std::string> name = slot.printer.FileToChange();
    if (!name) return;
    // Opened as another program would, sharing with readers and writers; a
    // file held exclusively cannot be changed, and the transcript says so.
    std::fstream file(scenarioFolder_ / *name, std::ios::in | std::ios::out | std::ios::binary);
    char last = 0;
    const bool changed = file && file.seekg(-1, std::ios::end) && file.get(last) &&
                         file.seekp(-1, std::ios::end) && file.put(static_cast<char>(~last)) && file.flush();
    slot.recorder.Line("changed file " + *name + (changed ? "" : " -> failed"));
}

// --- device-utility library

int Fleet::EnumUsb(const char* call, std::uint16_t vendorId, std::uint16_t productId, const char* modelList,
                   DUDeviceCallback callback) {
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04X %04X", vendorId, productId);
    const std::vector<std::string> models = MultiString(modelList);
    fleetLog_->Line(std::string(call) + " " + ids + (modelList ? " " + ListText(models) : ""));
    for (auto& slot : usb_) {
        const UsbPrinterSpec& description = slot->description;
        if (description.vid != vendorId || description.pid != productId) continue;
        if (modelList && std::find(models.begin(), models.end(), description.model) == models.end()) continue;
        if (Unplugged(*slot)) continue;
        Refresh(*slot);
        // The device ID carries the status: handing it out is a status read,
        // which moves the printer's status script on like DUGetDeviceID does.
        const std::string deviceId =
            DeviceIdText(description, slot->printer.ReadStatus().value_or(slot->printer.CurrentStatus()));
        slot->recorder.Line(std::string(call) + " listed with index " + std::to_string(description.index));
        Save(*slot);
        if (callback) callback(deviceId.c_str(), description.index);
    }
    fleetLog_->Flush();
    return kDeviceUtilityOk;
}

int Fleet::DUEnumPrinter(std::uint16_t vendorId, std::uint16_t productId, DUDeviceCallback callback) {
    return EnumUsb("DUEnumPrinter", vendorId, productId, nullptr, callback);
}

int Fleet::DUEnumPrinterEx(std::uint16_t vendorId, std::uint16_t productId, const char* modelList,
                           DUDeviceCallback callback) {
    static const char kNoModels[] = "\0";
    return EnumUsb("DUEnumPrinterEx", vendorId, productId, modelList ? modelList : kNoModels, callback);
}

int Fleet::DUGetDevicePath(char* pathBuffer, std::uint16_t deviceIndex) {
    UsbSlot* slot = UsbByIndex(deviceIndex);
    if (!pathBuffer) return kDeviceUtilityFailed;
    pathBuffer[0] = '\0';
    if (!slot) return kDeviceUtilityFailed;
    CopyTruncated(slot->description.devicePath, pathBuffer, kDevicePathBytes);
    slot->recorder.Line("DUGetDevicePath -> " + Quoted(slot->description.devicePath));
    slot->recorder.Flush();
    return kDeviceUtilityOk;
}

int Fleet::DUGetDeviceID(char* buffer, std::uint16_t deviceIndex) {
    UsbSlot* slot = UsbByIndex(deviceIndex);
    if (!slot || !buffer) return 0;
    Refresh(*slot);
    const auto status = slot->printer.ReadStatus();
    if (!status) {
        slot->recorder.Line("DUGetDeviceID -> failed");
        Save(*slot);
        return 0;
    }
    const std::string deviceId = DeviceIdText(slot->description, *status);
    CopyTruncated(deviceId, buffer, kDeviceIdBytes);
    slot->recorder.Line("DUGetDeviceID -> status " + StatusText(*status));
    Save(*slot);
    return 1;
}

int Fleet::DUOpenConnection(std::uint16_t deviceIndex) {
    UsbSlot* slot = UsbByIndex(deviceIndex);
    if (!slot) return kDeviceUtilityFailed;
    Refresh(*slot);
    int result = kDeviceUtilityFailed;
    if (slot->openConnections > 0) {
        slot->recorder.Line("DUOpenConnection -> failed: already open");
    } else if (!slot->printer.Connect()) {
        slot->recorder.Line("DUOpenConnection -> refused");
    } else {
        slot->openConnections = 1;
        slot->pendingReply.clear();
        slot->printer.StartStream();
        slot->recorder.Line("DUOpenConnection -> open");
        result = kDeviceUtilityOk;
    }
    Save(*slot);
    return result;
}

int Fleet::DUWriteData(const void* bytes, int count, int flags, std::uint16_t deviceIndex) {
    UsbSlot* slot = UsbByIndex(deviceIndex);
    if (!slot) return kDeviceUtilityFailed;
    if (slot->openConnections == 0) {
        slot->recorder.Line("DUWriteData " + std::to_string(count) + " -> failed: not open");
        slot->recorder.Flush();
        return kDeviceUtilityFailed;
    }
    // The two queries are answered, not taken as part of the firmware stream.
    const bool identity = count == 10 && bytes && std::memcmp(bytes, kIdentityRequest, 10) == 0;
    const bool name = count == 10 && bytes && std::memcmp(bytes, kNameRequest, 10) == 0;
    if (identity || name) {
        const bool answering = slot->printer.Answering();
        if (answering)
            slot->pendingReply = identity ? IdentityReply(slot->description, slot->printer.Firmware()) : NameReply(slot->description);
        slot->recorder.Line(std::string("DUWriteData ") + (identity ? "identity" : "name") + " request -> " +
                            (answering ? "took 10" : "failed"));
        slot->recorder.Flush();
        return answering ? kDeviceUtilityOk : kDeviceUtilityFailed;
    }
    const auto outcome = StreamWrite(*slot, "DUWriteData" + (flags ? " flags " + std::to_string(flags) : ""), bytes,
                                     count);
    return outcome.taken == count ? kDeviceUtilityOk : kDeviceUtilityFailed;
}

int Fleet::DUReadData(void* buffer, int count, int timeoutMs, std::uint16_t deviceIndex) {
    UsbSlot* slot = UsbByIndex(deviceIndex);
    if (!slot) return kDeviceUtilityFailed;
    const std::string head = "DUReadData " + std::to_string(count) + " wait " + std::to_string(timeoutMs) + " -> ";
    int result = kDeviceUtilityFailed;
    if (slot->openConnections == 0) {
        slot->recorder.Line(head + "failed: not open");
    } else if (slot->pendingReply.empty() || !slot->printer.Answering() || !buffer || count < 0) {
        slot->recorder.Line(head + "timed out");
    } else {
        const std::size_t size = std::min(slot->pendingReply.size(), static_cast<std::size_t>(count));
        std::memcpy(buffer, slot->pendingReply.data(), size);
        slot->recorder.Line(head + "read " + std::to_string(size));
        result = kDeviceUtilityOk;
    }
    slot->pendingReply.clear();
    slot->recorder.Flush();
    return result;
}

int Fleet::DUCloseConnection(std::uint16_t deviceIndex) {
    UsbSlot* slot = UsbByIndex(deviceIndex);
    if (!slot) return kDeviceUtilityFailed;
    const bool open = slot->openConnections > 0;
    slot->openConnections = 0;
    slot->recorder.Line(open ? "DUCloseConnection -> closed" : "DUCloseConnection -> failed: not open");
    Save(*slot);
    return open ? kDeviceUtilityOk : kDeviceUtilityFailed;
}

// --- USB library

int Fleet::DecodeStatusFromDeviceID(const char* deviceId, PrinterStatusBlock* status) {
    if (!deviceId || !status) return 0;
    // The tool's device ID buffers hold 2048 bytes.
    return DecodeDeviceIdStatus(std::string_view(deviceId, BoundedLength(deviceId, 2048)), *status) ? 1 : 0;
}

void* Fleet::USBConnectByPrinterName(const wchar_t* printerName) {
    UsbSlot* slot = UsbByName(printerName);
    if (!slot) return nullptr;
    Refresh(*slot);
    void* handle = nullptr;
    if (slot->openConnections > 0) {
        slot->recorder.Line("USBConnectByPrinterName " + Quoted(printerName) + " -> failed: already open");
    } else if (!slot->printer.Connect()) {
        slot->recorder.Line("USBConnectByPrinterName " + Quoted(printerName) + " -> refused");
    } else {
        slot->openConnections = 1;
        slot->printer.StartStream();
        slot->recorder.Line("USBConnectByPrinterName " + Quoted(printerName) + " -> connected");
        handle = slot;
    }
    Save(*slot);
    return handle;
}

int Fleet::USBWrite(void* connection, const void* bytes, int count) {
    UsbSlot* slot = UsbByConnection(connection);
    if (!slot) return -1;
    return StreamWrite(*slot, "USBWrite", bytes, count).taken;
}

int Fleet::USBDisconnect(void* connection) {
    UsbSlot* slot = UsbByConnection(connection);
    if (!slot) return 0;
    slot->openConnections = 0;
    slot->recorder.Line("USBDisconnect -> closed");
    Save(*slot);
    return 1;
}

int Fleet::USBReadStatus(const wchar_t* printerName, PrinterStatusBlock* status) {
    UsbSlot* slot = UsbByName(printerName);
    if (!slot || !status) return 0;
    Refresh(*slot);
    const auto read = slot->printer.ReadStatus();
    slot->recorder.Line("USBReadStatus " + Quoted(printerName) + " -> " +
                        (read ? "status " + StatusText(*read) : "failed"));
    if (read) FillStatus(status, *read);
    Save(*slot);
    return read ? 1 : 0;
}

int Fleet::USBGetSymbolicNameByPortEx(const wchar_t* portName, int, int, wchar_t* nameBuffer, int nameChars) {
    const std::string port = portName ? ToEightBit(portName) : "";
    for (auto& slot : usb_) {
        if (!SameTextIgnoringCase(slot->description.port, port)) continue;
        if (!nameBuffer || nameChars <= 0) return 0;
        CopyTruncated(FromEightBit(slot->description.devicePath), nameBuffer, static_cast<std::size_t>(nameChars));
        slot->recorder.Line("USBGetSymbolicNameByPortEx " + Quoted(port) + " -> " + Quoted(slot->description.devicePath));
        slot->recorder.Flush();
        return 1;
    }
    fleetLog_->Line("USBGetSymbolicNameByPortEx " + Quoted(port) + " -> no such port");
    fleetLog_->Flush();
    return 0;
}

// --- network library

NetHandle Fleet::Connect(const char* call, const char* address, int port, int timeout) {
    NetSlot* slot = NetByAddress(address);
    if (!slot) return kNoNetHandle;
    Refresh(*slot);
    std::string line = std::string(call) + " " + Text(address) + " " + std::to_string(port) +
                       (timeout >= 0 ? " " + std::to_string(timeout) : "") + " -> ";
    NetHandle handle = kNoNetHandle;
    if (!slot->printer.Connect()) {
        line += "refused";
    } else if (port != slot->description.rawPort) {
        line += "refused: nothing listens on that port";
    } else {
        handle = nextHandle_++;
        connections_[handle] = slot;
        ++slot->openConnections;
        slot->printer.StartStream();
        line += "handle " + std::to_string(handle);
    }
    slot->recorder.Line(line);
    Save(*slot);
    return handle;
}

NetHandle Fleet::NetworkConnect(const char* address, int port) { return Connect("NetworkConnect", address, port, -1); }

NetHandle Fleet::NetworkConnectNonBlock(const char* address, int port, int timeout) {
    return Connect("NetworkConnectNonBlock", address, port, timeout);
}

int Fleet::NetworkWrite(NetHandle handle, const void* bytes, int count) {
    NetSlot* slot = NetByHandle(handle);
    if (!slot) return -1;
    return StreamWrite(*slot, "NetworkWrite", bytes, count).taken;
}

int Fleet::NetworkRead(NetHandle handle, void*, int count) {
    NetSlot* slot = NetByHandle(handle);
    if (!slot) return -1;
    // Printers send nothing back on the raw port.
    slot->recorder.Line("NetworkRead " + std::to_string(count) + " -> 0");
    return 0;
}

int Fleet::NetworkClose(NetHandle handle) {
    NetSlot* slot = NetByHandle(handle);
    if (!slot) return 0;
    connections_.erase(handle);
    --slot->openConnections;
    slot->recorder.Line("NetworkClose " + std::to_string(handle) + " -> closed");
    Save(*slot);
    return 1;
}

int Fleet::ReadNetStatus(const char* call, const char* address, const char* community, int mode,
                         PrinterStatusBlock* status) {
    NetSlot* slot = NetByAddress(address);
    if (!slot || !status) return 0;
    Refresh(*slot);
    std::string line = std::string(call) + " " + Text(address) + " " + Quoted(Text(community)) + " " +
                       std::to_string(mode) + " -> ";
    std::optional<SimStatus> read;
    if (Text(community) != slot->description.community) {
        line += "no answer: another community";
    } else {
        read = slot->printer.ReadStatus();
        line += read ? "status " + StatusText(*read) : "failed";
    }
    if (read) FillStatus(status, *read);
    slot->recorder.Line(line);
    Save(*slot);
    return read ? 1 : 0;
}

int Fleet::NetworkReadStatusV3(const char* address, const char* community, int mode, PrinterStatusBlock* status) {
    return ReadNetStatus("NetworkReadStatusV3", address, community, mode, status);
}

int Fleet::NetworkReadStatusV4(const char* address, const char* community, int mode, PrinterStatusBlock* status) {
    return ReadNetStatus("NetworkReadStatusV4", address, community, mode, status);
}

int Fleet::FindSnmpAgentEx(const char* community, int broadcast, const char* address, int waitMs,
                           const char* sysOidList, int, SnmpAgentCallbackV4 callback, void*) {
    const std::vector<std::string> oids = MultiString(sysOidList);
    fleetLog_->Line("FindSnmpAgentEx " + Quoted(Text(community)) + " broadcast " + std::to_string(broadcast) + " " +
                    Text(address) + " wait " + std::to_string(waitMs) + " " + ListText(oids));
    int found = 0;
    for (auto& slot : net_) {
        const NetPrinterSpec& description = slot->description;
        Refresh(*slot);
        if (description.ipv4.empty() || !slot->printer.Answering() || Text(community) != description.community) continue;
        if (std::find(oids.begin(), oids.end(), description.sysOid) == oids.end()) continue;
        if (!broadcast && description.ipv4 != Text(address)) continue;
        slot->recorder.Line("FindSnmpAgentEx answered");
        slot->recorder.Flush();
        fleetLog_->Flush();
        for (int k = 0; k < description.discoveryAnswers; ++k) {
            ++found;
            if (callback) callback(description.ipv4.c_str(), description.deviceName.c_str());
        }
    }
    fleetLog_->Flush();
    return found;
}

int Fleet::FindSnmpAgentExV6(const char* community, int broadcast, const char* address, int waitMs,
                             const char* sysOidList, int, SnmpAgentCallbackV6 callback, void*) {
    const std::vector<std::string> oids = MultiString(sysOidList);
    const std::string asked = Text(address);
    fleetLog_->Line("FindSnmpAgentExV6 " + Quoted(Text(community)) + " broadcast " + std::to_string(broadcast) +
                    " " + Quoted(asked) + " wait " + std::to_string(waitMs) + " " + ListText(oids));
    const bool everyone = broadcast || asked.empty();
    const auto target = ParseIpv6(asked);
    int found = 0;
    for (auto& slot : net_) {
        const NetPrinterSpec& description = slot->description;
        Refresh(*slot);
        if (!description.ipv6 || !slot->printer.Answering() || Text(community) != description.community) continue;
        if (std::find(oids.begin(), oids.end(), description.sysOid) == oids.end()) continue;
        if (!everyone && (!target || target->bytes != description.ipv6->bytes)) continue;
        slot->recorder.Line("FindSnmpAgentExV6 answered");
        slot->recorder.Flush();
        fleetLog_->Flush();
        for (int k = 0; k < description.discoveryAnswers; ++k) {
            ++found;
            if (callback) callback(description.ipv6->bytes.data(), description.ipv6->scopeId, description.deviceName.c_str());
        }
    }
    fleetLog_->Flush();
    return found;
}

int Fleet::IsValidIpAddrV6(const wchar_t* address) { return address && ParseIpv6(std::wstring_view(address)) ? 1 : 0; }

int Fleet::IpAddrV6Cmp(const wchar_t* first, const wchar_t* second) {
    if (!first || !second) return 1;
    return CompareIpv6Texts(first, second);
}

int Fleet::SnmpGet(const char* call, const char* address, const char* community, int oidCount,
                   const char* const* oids, SnmpValueCallback callback) {
    NetSlot* slot = NetByAddress(address);
    if (!slot) return 0;
    Refresh(*slot);
    std::string line = std::string(call) + " " + Text(address) + " " + Quoted(Text(community));
    if (!slot->printer.Answering() || !slot->description.answersGets || Text(community) != slot->description.community) {
        slot->recorder.Line(line + " -> no answer");
        slot->recorder.Flush();
        return 0;
    }
    int answered = 0;
    for (int k = 0; oids && k < oidCount; ++k) {
        const std::string oid = Text(oids[k]);
        const auto value = slot->description.oidValues.find(oid);
        line += " " + oid;
        if (value == slot->description.oidValues.end()) {
            line += "=(none)";
            continue;
        }
        const std::string text = oid == kFirmwareOid ? slot->printer.Firmware() : value->second;
        line += "=" + Quoted(text);
        ++answered;
        if (callback)
            callback(Text(address).c_str(), oid.c_str(), kOctetString,
                     reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    }
    slot->recorder.Line(line);
    slot->recorder.Flush();
    return answered > 0 ? 1 : 0;
}

int Fleet::SNMPGetV4(const char* address, const char* community, int oidCount, const char* const* oids, int,
                     SnmpValueCallback callback) {
    return SnmpGet("SNMPGetV4", address, community, oidCount, oids, callback);
}

int Fleet::SNMPGetV6(const char* address, const char* community, int oidCount, const char* const* oids, int,
                     SnmpValueCallback callback) {
    return SnmpGet("SNMPGetV6", address, community, oidCount, oids, callback);
}

int Fleet::GetRAWPortNum(const char* address, const char* community, int* port) {
    NetSlot* slot = NetByAddress(address);
    if (!slot || !port) return 0;
    Refresh(*slot);
    const bool answers = slot->printer.Answering() && Text(community) == slot->description.community;
    if (answers) *port = slot->description.rawPort;
    slot->recorder.Line("GetRAWPortNum " + Text(address) + " -> " +
                        (answers ? std::to_string(slot->description.rawPort) : std::string("no answer")));
    slot->recorder.Flush();
    return answers ? 1 : 0;
}
