// The silent updates that another program starts with "/u" or "/n": every
// firmware file of the package goes to one printer, and the caller's window
// learns of start, progress and outcome through posted notices. Portable:
// the libraries, the files and the caller's window are seams.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/file_pins.h"
#include "base/files.h"
#include "base/keep_awake.h"
#include "base/sleeper.h"
#include "device/library_table.h"
#include "package/package_model.h"
#include "package/package_settings.h"

// Notices to the caller window: message 1025 (WM_USER + 1) posted with (code, value).
class CallerNotices {
public:
    virtual ~CallerNotices() = default;
    virtual void Post(int code, int value) = 0;
    // Why the update is refused, in words, where the reason code alone would
    // mislead (it stays the notice's); said just before the failure notice.
    // The window never hears it: a notice carries no text.
    virtual void Problem(const std::wstring& /*words*/) {}
};

inline constexpr int kNoticeStart = 0, kNoticeProgress = 1, kNoticeDone = 128, kNoticeFailed = 255;
inline constexpr int kReasonNoConnection = 1, kReasonFileNotOpened = 2, kReasonNotGranted = 4, kReasonSendFailed = 255;

// Which file each entry of the package sends to the printer, and which of
// them are pinned. The files are opened, and the pins checked, before the
// first byte goes out.
class EntryFileChoice {
public:
    virtual ~EntryFileChoice() = default;
    // The path of entry i's file; nothing when the package has no file for
    // this printer (a per-variant entry and a printer without a variant code).
    virtual std::optional<std::wstring> FileOf(int entryIndex) const = 0;
    virtual void PinFiles(PinnedFiles& pins) const = 0;
};

// The files `choice` sends, entry by entry; an entry without a file for the
// printer has none here.
std::vector<std::wstring> ChosenFiles(const PackageSettings& settings, const EntryFileChoice& choice);

// "/u" and "/n": each entry's "FileName", whatever the printer.
class PlainEntryFiles final : public EntryFileChoice {
public:
    explicit PlainEntryFiles(const PackageSettings& settings) : settings_(settings) {}
    std::optional<std::wstring> FileOf(int entryIndex) const override;
    void PinFiles(PinnedFiles& pins) const override;

private:
    const PackageSettings& settings_;
};

// The wizard jobs' choice for one printer: the per-variant file of an
// "MCUFW" entry by the printer's variant code, and its pin; no file at all
// for such an entry when the printer reported no code.
class PrinterEntryFiles final : public EntryFileChoice {
public:
    // Loads the package's entries as the wizard does.
    PrinterEntryFiles(const PackageSettings& settings, FileOpener& files);
    // Whether any entry needs the printer's variant code.
    bool NeedsVariantCode() const;
    void SetVariantCode(std::string variantCode) { variantCode_ = std::move(variantCode); }

    std::optional<std::wstring> FileOf(int entryIndex) const override;
    void PinFiles(PinnedFiles& pins) const override;

private:
    const PackageSettings& settings_;
    PackageTable rows_;
    std::string variantCode_;
};

enum class UpdateRoad { kUsb, kNetwork };

// An update refused before any library call: the notice's reason and what
// the reason stands for here.
struct UpdateRefusal {
    int reason = 0;
    std::wstring problem;

    bool operator==(const UpdateRefusal&) const = default;
};

// What keeps an update from starting, decided before the printer is
// touched: a missing package description (reason 4, as the status check
// would end it), more entries than the program reads, an empty firmware file
// or one that does not match its pin (reason 2), a printer name that the
// maker's library cannot be given on this system (reason 1); a stop asked
// for while the pinned files are checked (reason 255). Each entry's file, as
// `choice` picks it, is pinned to `pinned`, which checks it again while it
// streams.
std::optional<UpdateRefusal> RefuseBeforeConnecting(const PackageSettings& settings, PinnedFiles& pinned,
                                                    const EntryFileChoice& choice, UpdateRoad road,
                                                    const std::wstring& target);

// Both return 1 when every file was sent, -1 otherwise; the caller learns the
// outcome only from the notices, exactly one of which (done or failed) ends
// every update, after the file and the connection have been released.
// caller may be nullptr (no window found / none given). The system is held
// awake from before the first notice until the final one has been posted.
int UpdateViaUsb(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files,
                 const std::wstring& printerName, CallerNotices* caller,
                 PowerRequests& power = PlatformPowerRequests());
int UpdateViaNetwork(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files,
                     const std::wstring& address, CallerNotices* caller,
                     PowerRequests& power = PlatformPowerRequests());
// The same with the clock that the pauses between end-marker writes take.
int UpdateViaNetwork(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files, Sleeper& sleeper,
                     const std::wstring& address, CallerNotices* caller,
                     PowerRequests& power = PlatformPowerRequests());
// The same updates with another file choice (a batch's printer gets the
// wizard's). A package without a file for the printer fails with reason 2
// before the first byte.
int UpdateViaUsb(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files,
                 const EntryFileChoice& choice, const std::wstring& printerName, CallerNotices* caller,
                 PowerRequests& power = PlatformPowerRequests());
int UpdateViaNetwork(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files, Sleeper& sleeper,
                     const EntryFileChoice& choice, const std::wstring& address, CallerNotices* caller,
                     PowerRequests& power = PlatformPowerRequests());
