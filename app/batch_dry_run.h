// The dry run of a batch (a list with `check`): for every printer it reads
// what an update would read before its first byte (its status and whether
// the update is granted, its firmware text, its variant code, the file each
// entry would send and how that file stands against its pin) and records
// what a real run would do: would-update, current, not-granted, unreachable
// or refused. Nothing is sent: no data connection is opened and no write is
// made. Portable: the printer reads are a seam, so tests run it with fakes.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "app/batch_probe.h"
#include "app/batch_result.h"
#include "app/batch_run.h"
#include "base/files.h"
#include "base/text_catalogue.h"

// What a dry run reads of one printer.
class PrinterPreviewReads {
public:
    struct Status {
        bool granted = false;
        std::wstring text;  // the state as the printer lists show it
    };
    virtual ~PrinterPreviewReads() = default;
    // Nothing when the status cannot be read.
    virtual std::optional<Status> ReadStatus(const BatchPrinter& printer) = 0;
    virtual std::optional<std::wstring> FirmwareText(const BatchPrinter& printer) = 0;
    // Fills in the variant code (when the package needs one) and the files
    // the printer would get with their pins; returns why the update would be
    // refused, nothing when it would go ahead.
    virtual std::optional<std::wstring> CheckFiles(const BatchPrinter& printer, PrinterPreview& preview) = 0;
};

// Runs the dry run over the whole list, one printer after the other, in
// this process; `starter` only gives the package's own refusal, as in a real
// run, and starts nothing. Returns 0 when every printer would be updated or
// is current, else 6.
int RunDryRun(const BatchList& list, BatchReport& report, UpdateStarter& starter, PrinterPreviewReads& reads,
              BatchClock& clock, BatchEvents& events);

// The reads through the maker's libraries, as the printer lists and the
// updates make them. Status texts come from `texts`.
class LibraryPrinterPreview final : public PrinterPreviewReads {
public:
    LibraryPrinterPreview(const PackageSettings& settings, DeviceLibraries& libraries, UsbPortLocks& locks,
                          FileOpener& files, const TextCatalogue& texts)
        : settings_(settings), probe_(settings, libraries, locks), files_(files), texts_(texts) {}

    std::optional<Status> ReadStatus(const BatchPrinter& printer) override;
    std::optional<std::wstring> FirmwareText(const BatchPrinter& printer) override;
    std::optional<std::wstring> CheckFiles(const BatchPrinter& printer, PrinterPreview& preview) override;

private:
    // What the package gives a printer of one variant code: the same for
    // every such printer, so its files are hashed once per code.
    struct VariantFiles {
        std::vector<PreviewFile> files;
        std::optional<std::wstring> refusal;
    };
    VariantFiles CheckVariant(const BatchPrinter& printer, const std::string& variantCode);

    const PackageSettings& settings_;
    LibraryPrinterProbe probe_;
    FileOpener& files_;
    const TextCatalogue& texts_;
    std::map<std::pair<BatchRoad, std::string>, VariantFiles> checked_;
};
