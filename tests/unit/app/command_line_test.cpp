#include <gtest/gtest.h>

#include "app/command_line.h"

namespace {

struct Case {
    std::vector<std::wstring> arguments;
    CommandLineRequest::Mode mode;
    CommandLineRequest::Target target;
    bool hasCallerWindow;
};

class CommandLineDispatch : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(CommandLineDispatch, DependsOnCountAndSwitch) {
    const CommandLineRequest request = ParseCommandLine(GetParam().arguments);
    EXPECT_EQ(request.mode, GetParam().mode);
    if (request.mode == CommandLineRequest::kUpdate) {
        EXPECT_EQ(request.target, GetParam().target);
        EXPECT_EQ(request.printer, GetParam().arguments[2]);
        EXPECT_EQ(request.hasCallerWindow, GetParam().hasCallerWindow);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineDispatch,
    ::testing::Values(
        Case{{}, CommandLineRequest::kRunWizard, {}, false},
        Case{{L"fw.exe"}, CommandLineRequest::kRunWizard, {}, false},
        Case{{L"fw.exe", L"/u"}, CommandLineRequest::kNothing, {}, false},
        Case{{L"fw.exe", L"/u", L"Printer 1"}, CommandLineRequest::kUpdate, CommandLineRequest::kUsbPrinter, false},
        Case{{L"fw.exe", L"/n", L"192.0.2.7"}, CommandLineRequest::kUpdate, CommandLineRequest::kNetworkPrinter, false},
        Case{{L"fw.exe", L"/U", L"Printer 1"}, CommandLineRequest::kUpdate, CommandLineRequest::kUnknownSwitch, false},
        Case{{L"fw.exe", L"/u", L"P", L"Class"}, CommandLineRequest::kNothing, {}, false},
        Case{{L"fw.exe", L"/n", L"::1", L"Class", L"Title"}, CommandLineRequest::kUpdate,
             CommandLineRequest::kNetworkPrinter, true},
        Case{{L"fw.exe", L"/x", L"P", L"Class", L"Title"}, CommandLineRequest::kUpdate,
             CommandLineRequest::kUnknownSwitch, true},
        Case{{L"fw.exe", L"/u", L"P", L"C", L"T", L"extra"}, CommandLineRequest::kNothing, {}, false},
        Case{{L"fw.exe", L"/batch", L"list.txt", L"result.json"}, CommandLineRequest::kBatch, {}, false},
        Case{{L"fw.exe", L"/batch", L"l", L"r", L"C", L"T"}, CommandLineRequest::kBatch, {}, true},
        Case{{L"fw.exe", L"/Batch", L"l", L"r"}, CommandLineRequest::kNothing, {}, false},
        Case{{L"fw.exe", L"/batch", L"l"}, CommandLineRequest::kUpdate, CommandLineRequest::kUnknownSwitch, false},
        Case{{L"fw.exe", L"/batch", L"l", L"r", L"C"}, CommandLineRequest::kUpdate, CommandLineRequest::kUnknownSwitch,
             true},
        Case{{L"fw.exe", L"/batch-printer", L"n", L"::1", L"4", L"8"}, CommandLineRequest::kBatchChild,
             CommandLineRequest::kNetworkPrinter, false},
        Case{{L"fw.exe", L"/batch-printer", L"x", L"::1", L"4", L"8"}, CommandLineRequest::kNothing, {}, false},
        Case{{L"fw.exe", L"/batch-printer", L"u", L"P", L"4"}, CommandLineRequest::kUpdate,
             CommandLineRequest::kUnknownSwitch, true}));

TEST(CommandLineDispatch, KeepsTheBatchFilesAndTheChildHandles) {
    const CommandLineRequest batch = ParseCommandLine({L"fw.exe", L"/batch", L"C:\\l.txt", L"r.json", L"C", L"T"});
    EXPECT_EQ(batch.listPath, L"C:\\l.txt");
    EXPECT_EQ(batch.resultPath, L"r.json");
    EXPECT_EQ(batch.windowClass, L"C");
    EXPECT_EQ(batch.windowTitle, L"T");
    const CommandLineRequest child = ParseCommandLine({L"fw.exe", L"/batch-printer", L"u", L"Office", L"12", L"16"});
    EXPECT_EQ(child.target, CommandLineRequest::kUsbPrinter);
    EXPECT_EQ(child.printer, L"Office");
    EXPECT_EQ(child.proofHandle, L"12");
    EXPECT_EQ(child.stopHandle, L"16");
}

TEST(CommandLineDispatch, KeepsTheCallerWindowNames) {
    const CommandLineRequest request = ParseCommandLine({L"fw.exe", L"/u", L"P", L"CallerClass", L"Caller Title"});
    EXPECT_EQ(request.windowClass, L"CallerClass");
    EXPECT_EQ(request.windowTitle, L"Caller Title");
}
