// The silent updates that another program starts with "/u" or "/n": every
// firmware file of the package goes to one printer, and the caller's window
// learns of start, progress and outcome through posted notices. Portable:
// the libraries, the files and the caller's window are seams.
#pragma once

#include <optional>
#include <string>

#include "base/file_pins.h"
#include "base/files.h"
#include "base/keep_awake.h"
#include "base/sleeper.h"
#include "device/library_table.h"
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
// maker's library cannot be given on this system (reason 1). Each entry's
// file is pinned to `pinned`, which checks it again while it streams.
std::optional<UpdateRefusal> RefuseBeforeConnecting(const PackageSettings& settings, PinnedFiles& pinned,
                                                    UpdateRoad road, const std::wstring& target);

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
