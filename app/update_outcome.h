// What a command-line run came to, as the process exit code that scripts and
// deployment systems read: they have no window to receive the notices.
//
//   0     the update completed: (128, 0) was posted, or would have been
//   1, 2, 4, 255  the update failed with that reason, as its failure notice
//   3     a library the update needs is missing or could not be loaded
//   6     a batch run ended with at least one printer not updated, not
//         back in a ready state within the list's wait, or back on another
//         firmware than the package installs; a dry run with a printer that
//         would not be updated
//   29    a batch run whose final result file could not be written
//   87    the arguments were not understood
//   1618  another copy for this printer family is running
//   1067  the run broke off: an update ended without its final notice, an
//         abort or an unhandled exception (never expected)
//
// The wizard's exit code is 0. Portable.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/command_line_update.h"
#include "device/library_table.h"

inline constexpr int kExitCompleted = 0;
inline constexpr int kExitLibraryMissing = 3;
inline constexpr int kExitNotAllUpdated = 6;
// The platform's own codes for these, which deployment systems know:
// invalid parameter, another installation in progress (retried), process
// ended unexpectedly.
inline constexpr int kExitArgumentsNotUnderstood = 87;
// Write fault: a batch whose record could not be kept.
inline constexpr int kExitResultNotRecorded = 29;
inline constexpr int kExitAnotherCopyRunning = 1618;
inline constexpr int kExitEndedWithoutOutcome = 1067;

// The final notice of a silent update.
struct UpdateOutcome {
    static constexpr int kNoFinalNotice = -1;
    int notice = kNoFinalNotice;  // kNoticeDone or kNoticeFailed
    int reason = 0;               // of kNoticeFailed
    std::wstring problem{};       // words of a refusal before any library call; empty otherwise

    bool operator==(const UpdateOutcome&) const = default;
};

// Records the outcome from the notices of an update and passes every notice
// on, in order, to the observers it was given (the caller's window, the
// console); null observers are left out. The first final notice counts.
class OutcomeRecorder final : public CallerNotices {
public:
    explicit OutcomeRecorder(std::initializer_list<CallerNotices*> observers);
    void Post(int code, int value) override;
    void Problem(const std::wstring& words) override;
    const UpdateOutcome& outcome() const { return outcome_; }

private:
    std::vector<CallerNotices*> observers_;
    UpdateOutcome outcome_;
};

// The exit code of a silent update over `road`. A failure counts as a missing
// library when the call that gave its reason has no entry point bound: the
// notice stays the one of that first call that could not be made. A refusal
// before any library call keeps its reason.
int SilentUpdateExitCode(UpdateRoad road, const UpdateOutcome& outcome, const LibraryTable& libraries);

// The exit code of a run that sends nothing: 0 for the wizard (also when
// another copy runs), 87 for arguments that are not understood, 1618 for an
// update or batch that another running copy keeps from starting. Nothing
// when the update or batch goes ahead (a batch judges its list after that).
// Arguments are judged first: retrying cannot mend them.
std::optional<int> ExitCodeWithoutUpdate(const CommandLineRequest& request, bool anotherCopyRuns);
