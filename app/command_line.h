// What the program's arguments ask for. Argument 0 is the program.
//   1 argument (or none): run the wizard;
//   3 arguments: switch, target            -> a silent update, no caller window;
//   5 arguments: switch, target, class, title -> a silent update that notifies
//                                              the caller's window;
//   4 arguments: "/batch", list, result     -> a batch of silent updates;
//   6 arguments: "/batch", list, result, class, title -> the same, notifying
//                                              the caller's window;
//   6 arguments: "/batch-printer", road, target, proof, stop -> one printer of
//                                              a batch, in a child process that
//                                              the batch started;
//   any other count: nothing.
// The switch is examined only after the start notice: "/u" updates the USB
// printer of that spooler name, "/n" the network printer at that address,
// anything else does nothing more.
#pragma once

#include <string>
#include <vector>

struct CommandLineRequest {
    enum Mode { kRunWizard, kUpdate, kBatch, kBatchChild, kNothing } mode = kNothing;
    enum Target { kUsbPrinter, kNetworkPrinter, kUnknownSwitch } target = kUnknownSwitch;
    std::wstring printer;  // spooler printer name or address
    bool hasCallerWindow = false;
    std::wstring windowClass;
    std::wstring windowTitle;
    // kBatch: the list file and the result file.
    std::wstring listPath;
    std::wstring resultPath;
    // kBatchChild: the printer (`target` and `printer` as for an update) and
    // the two handle values the batch passed down as decimal text.
    std::wstring proofHandle;
    std::wstring stopHandle;
};

CommandLineRequest ParseCommandLine(const std::vector<std::wstring>& arguments);
