#include <gtest/gtest.h>

#include <sstream>

#include "package/config_codec.h"
#include "test_support.h"
#include "tools/fwpack/fwpack.h"

namespace {

struct FwpackRun {
    int exitCode;
    std::string out;
    std::string err;
};

FwpackRun Fwpack(std::vector<std::wstring> arguments) {
    arguments.insert(arguments.begin(), L"fwpack");
    std::ostringstream out, err;
    const int code = RunFwpack(arguments, out, err);
    return {code, out.str(), err.str()};
}

std::wstring Folder(const PackageFolder& folder) { return folder.dir().ProgramPath(); }

}  // namespace

TEST(Fwpack, EncodeAndDecodeRoundTrip) {
    const FwpackRun encoded = Fwpack({L"encode", L"FW_main 01.bin"});
    ASSERT_EQ(encoded.exitCode, 0);
    EXPECT_EQ(encoded.out, EncodeConfigValue("FW_main 01.bin") + "\n");
    std::wstring value(encoded.out.begin(), encoded.out.end() - 1);
    const FwpackRun decoded = Fwpack({L"decode", value});
    EXPECT_EQ(decoded.exitCode, 0);
    EXPECT_EQ(decoded.out, "FW_main 01.bin\n");
}

TEST(Fwpack, RejectsBadArgumentsAndValues) {
    EXPECT_EQ(Fwpack({}).exitCode, 2);
    EXPECT_EQ(Fwpack({L"encode"}).exitCode, 2);
    EXPECT_EQ(Fwpack({L"frobnicate", L"x"}).exitCode, 2);
    EXPECT_NE(Fwpack({L"frobnicate", L"x"}).err.find("usage"), std::string::npos);
    EXPECT_EQ(Fwpack({L"encode", std::wstring(257, L'a')}).exitCode, 2);
    const FwpackRun bad = Fwpack({L"decode", L"60abd"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("check characters"), std::string::npos);
}

TEST(Fwpack, CheckReportsAReadyPackage) {
    PackageFolder folder;
    folder.AddPatternFile("main.bin", 1234);
    WriteBytes(folder.dir().path() / "TessaroFWDL.cfg",
               "[General]\nEncoding=0\nModelName=Tessaro 7000\nFwCount=1\nVID=0A1B\nPID=00C2\n"
               "[Fw0]\nFileName=main.bin\nVersion=02.00.01\nSubCmdCnt=1\nCmd0=1b 40\nCmd0_PostDelay=500\n"
               "[Granted]\nS0A*=1\nS0B01030=0\n");
    const FwpackRun run = Fwpack({L"check", Folder(folder)});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    for (const char* expected : {"Tessaro 7000", "0A1B/00C2", "main.bin", "1234", "02.00.01", "[1B 40] then 500 ms",
                                 "S0A*  grants", "S0B01030  does not grant", "READY"})
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
}

TEST(Fwpack, CheckTellsWhyAPackageIsNotReady) {
    PackageFolder folder;
    folder.AddFile("empty.bin", "");
    WriteBytes(folder.dir().path() / "update.cfg",
               "[General]\nEncoding=0\nFwCount=2\n[Fw0]\nFileName=empty.bin\n[Fw1]\nFileName=gone.bin\n");
    const FwpackRun run = Fwpack({L"check", Folder(folder), L"update.exe"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("NOT READY"), std::string::npos);
    EXPECT_NE(run.out.find("Fw0: file is empty"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Fw1: file missing"), std::string::npos) << run.out;

    WriteBytes(folder.dir().path() / "update.cfg",
               "[General]\nEncoding=0\nFwCount=100000000\n[Fw0]\nFileName=main.bin\nFileSize=10\n");
    const FwpackRun huge = Fwpack({L"check", Folder(folder), L"update.exe"});
    EXPECT_EQ(huge.exitCode, 1);
    EXPECT_NE(huge.out.find("more firmware entries than the program takes (FwCount 100000000, at most 64)"),
              std::string::npos)
        << huge.out;

    TempDir nothing;
    const FwpackRun none = Fwpack({L"check", nothing.ProgramPath()});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.out.find("no firmware entries"), std::string::npos);
}
