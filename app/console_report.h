// The lines a command-line run writes for a console or a redirected standard
// output: one line per event of a silent update (its start, its progress,
// its outcome with the reason code), or why nothing was started. The lines
// are fixed English texts, like the exit codes, so that scripts can read
// them whatever the package's language. Portable: where the lines go is a
// seam.
#pragma once

#include <string>

#include "app/update_outcome.h"
#include "package/package_signature.h"

// Where the lines go. Lines come without their line end.
class ConsoleLines {
public:
    virtual ~ConsoleLines() = default;
    virtual void WriteLine(const std::wstring& line) = 0;
};

// When progress is worth a line: each time it reaches the next multiple of
// ten, so a run shows its progress in steps of at most ten percent (as far
// as the notices go) and writes at most ten such lines.
class ProgressSteps {
public:
    // Whether `percent` is the first value at or past the next step.
    bool Reached(int percent);

private:
    int nextStep_ = 10;
};

// A failure's reason code in words; nullptr for a code that has none.
const wchar_t* ReasonWords(int reason);
// What a silent update's failing exit code stands for, in words.
std::wstring FailureWords(int exitCode);

std::wstring StartLine(UpdateRoad road, const std::wstring& printer);
std::wstring ProgressLine(int percent);
// The outcome in words with its reason code; a refusal says its own words,
// a missing library is said as such, each with the reason of the notice.
std::wstring OutcomeLine(const UpdateOutcome& outcome, int exitCode);
// Why a command-line run started no update (87, 1618).
std::wstring NotStartedLine(int exitCode);

// Who signed the package that is sent: "package signed by Tessaro Demo, key
// 0123456789abcdef, sequence 7, at 2026-12-11T06:50:00Z".
std::wstring SignedPackageLine(const SignatureVerdict& verdict);

// Writes the lines of one silent update from its notices.
class ConsoleReport final : public CallerNotices {
public:
    ConsoleReport(ConsoleLines& lines, UpdateRoad road, const LibraryTable& libraries)
        : lines_(lines), road_(road), libraries_(libraries) {}

    void Start(const std::wstring& printer) { lines_.WriteLine(StartLine(road_, printer)); }
    void Post(int code, int value) override;
    void Problem(const std::wstring& words) override { problem_ = words; }

private:
    ConsoleLines& lines_;
    UpdateRoad road_;
    const LibraryTable& libraries_;
    ProgressSteps steps_;
    std::wstring problem_;
};
