#include "app/batch_probe.h"

#include <cstring>
#include <vector>

#include "base/text.h"
#include "device/net_discovery.h"
#include "device/printer_items.h"
#include "device/usb_identity.h"
#include "package/package_model.h"
#include "transfer/firmware_stream.h"
#include "transfer/transfer_job.h"

namespace {

constexpr int kIdentityLimit = 32;

// The device indexes an enumeration lists. The library's callback carries no
// pointer of ours; a batch enumerates on its one thread.
std::vector<std::uint16_t>* g_listed = nullptr;

int VORLEN_CALL CollectIndex(const char*, std::uint16_t deviceIndex) {
    if (g_listed && g_listed->size() < 64) g_listed->push_back(deviceIndex);
    return 1;
}

int IpVersionOf(const std::string& address) {
    return address.find(':') != std::string::npos ? kIpVersion6 : kIpVersion4;
}

std::string EightBitAddress(const std::wstring& address) {
    char text[128];
    CopyTruncated(ToEightBit(address), text, sizeof text);
    return text;
}

}  // namespace

PrinterProbe::Reading StateOfStatus(const PrinterStatusBlock& status) {
    if (IsUpdateFault(status.detailCode1(), status.detailCode2()))
        return {PrinterProbe::State::kUpdateFault, UpdateFaultName(status.detailCode1(), status.detailCode2())};
    return {status.stateCode() == kStateUpdating ? PrinterProbe::State::kUpdating : PrinterProbe::State::kReady, {}};
}

std::optional<LibraryPrinterProbe::Identity> LibraryPrinterProbe::UsbIdentityOfTheAttachedPrinter(
    const BatchPrinter& printer) {
    // Only the printer that the target names: its status is read by that name
    // from the attached device, so a name that leads to none reads nothing,
    // however many other printers are attached.
    PrinterStatusBlock status;
    if (!libraries_.USBReadStatus(printer.target.c_str(), &status)) return std::nullopt;
    std::vector<std::uint16_t> listed;
    const std::vector<char> models = ModelNameList(settings_);
    g_listed = &listed;
    libraries_.DUEnumPrinterEx(settings_.VID, settings_.PID, models.data(), CollectIndex);
    g_listed = nullptr;
    if (listed.size() != 1) return std::nullopt;
    char serial[kIdentityLimit] = {}, firmware[kIdentityLimit] = {}, variant[kIdentityLimit] = {};
    if (!QueryUsbIdentity(libraries_, locks_, listed[0], serial, kIdentityLimit, firmware, kIdentityLimit, variant,
                          kIdentityLimit))
        return std::nullopt;
    return Identity{firmware, variant};
}

std::optional<std::wstring> LibraryPrinterProbe::FirmwareText(const BatchPrinter& printer) {
    if (printer.road == BatchRoad::kNetwork) {
        const std::string address = EightBitAddress(printer.target);
        char firmware[kOidValueBytes] = {};
        const int read = GetFirmwareVersion(libraries_, address.c_str(), kDefaultCommunity, IpVersionOf(address),
                                            firmware, sizeof firmware);
        if (read != 1 || firmware[0] == '\0')
            return std::nullopt;
        return FromEightBit(firmware);
    }
    const std::optional<Identity> identity = UsbIdentityOfTheAttachedPrinter(printer);
    if (!identity || identity->firmware.empty()) return std::nullopt;
    return FromEightBit(identity->firmware);
}

std::string LibraryPrinterProbe::VariantCode(const BatchPrinter& printer) {
    if (printer.road == BatchRoad::kNetwork) {
        const std::string address = EightBitAddress(printer.target);
        char variant[kOidValueBytes] = {};
        if (GetVariantCode(libraries_, address.c_str(), kDefaultCommunity, IpVersionOf(address), variant,
                           sizeof variant) != 1)
            return {};
        // As the network list keeps it: 31 bytes and the terminator.
        char kept[kItemTextBytes] = {};
        CopyTruncated(std::string_view(variant, BoundedLength(variant, sizeof variant)), kept, sizeof kept);
        return kept;
    }
    const std::optional<Identity> identity = UsbIdentityOfTheAttachedPrinter(printer);
    return identity ? identity->variant : std::string();
}

std::optional<PrinterStatusBlock> LibraryPrinterProbe::ReadStatus(const BatchPrinter& printer) {
    PrinterStatusBlock status;
    const bool read = printer.road == BatchRoad::kUsb
                          ? libraries_.USBReadStatus(printer.target.c_str(), &status) != 0
                          : libraries_.NetworkReadStatusV3(EightBitAddress(printer.target).c_str(), kDefaultCommunity,
                                                           kDiscoveryStatusMode, &status) != 0;
    if (!read) return std::nullopt;
    return status;
}

PrinterProbe::Reading LibraryPrinterProbe::ReadState(const BatchPrinter& printer) {
    const std::optional<PrinterStatusBlock> status = ReadStatus(printer);
    return status ? StateOfStatus(*status) : Reading{};
}
