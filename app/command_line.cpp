#include "app/command_line.h"

CommandLineRequest ParseCommandLine(const std::vector<std::wstring>& arguments) {
    CommandLineRequest request;
    const std::size_t count = arguments.size();
    if (count <= 1) {
        request.mode = CommandLineRequest::kRunWizard;
        return request;
    }
    if ((count == 4 || count == 6) && arguments[1] == L"/batch") {
        request.mode = CommandLineRequest::kBatch;
        request.listPath = arguments[2];
        request.resultPath = arguments[3];
        if (count == 6) {
            request.hasCallerWindow = true;
            request.windowClass = arguments[4];
            request.windowTitle = arguments[5];
        }
        return request;
    }
    if (count == 6 && arguments[1] == L"/batch-printer") {
        if (arguments[2] != L"u" && arguments[2] != L"n") return request;
        request.mode = CommandLineRequest::kBatchChild;
        request.target = arguments[2] == L"u" ? CommandLineRequest::kUsbPrinter : CommandLineRequest::kNetworkPrinter;
        request.printer = arguments[3];
        request.proofHandle = arguments[4];
        request.stopHandle = arguments[5];
        return request;
    }
    if (count != 3 && count != 5) return request;

    request.mode = CommandLineRequest::kUpdate;
    // Compared exactly and with case: callers pass the switches as documented.
    if (arguments[1] == L"/u")
        request.target = CommandLineRequest::kUsbPrinter;
    else if (arguments[1] == L"/n")
        request.target = CommandLineRequest::kNetworkPrinter;
    request.printer = arguments[2];
    if (count == 5) {
        request.hasCallerWindow = true;
        request.windowClass = arguments[3];
        request.windowTitle = arguments[4];
    }
    return request;
}
