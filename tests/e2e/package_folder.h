// The ground of every end-to-end test: a package folder of its own per test,
// under the test program's folder, with the program and the three stand-in
// libraries copied in, and a printer family of its own, so that tests that
// run at the same time never meet on the instance mutex. The folder stays
// after the test for a look at the records. Windows only.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/kernel_handle_win32.h"
#include "caller_win32.h"
#include "sim/recorder.h"
#include "tests/library_header.h"

namespace e2e {

namespace fs = std::filesystem;

inline fs::path ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

// Bytes that differ from file to file (`seed`) and from place to place.
inline std::string Pattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t k = 0; k < size; ++k) bytes[k] = static_cast<char>((k * 7 + seed) & 0xFF);
    return bytes;
}

// The lines of a program's output or a record, without their line feeds.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// A library of the other architecture: the other build's stand-in when the
// test command built it, else a library header of that machine type.
inline std::string OtherArchitectureLibrary(const char* name) {
#if defined(FWDL_OTHER_ARCHITECTURE_LIBRARIES)
    return ReadWholeFile(fs::path(FWDL_OTHER_ARCHITECTURE_LIBRARIES) / name).value_or("");
#else
    (void)name;
    return LibraryHeaderFor(kOtherMachine);
#endif
}

// Polls `condition` every 50 ms until it holds or `timeoutMs` passes: a
// test waits for what it means, with room for a loaded machine.
template <typename Condition>
bool WaitFor(Condition&& condition, DWORD timeoutMs = 60000) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(50);
    }
}

// The screen of a console of our own, as a command prompt has one, while it
// lives; our own output keeps going where it went.
class OwnConsole {
public:
    OwnConsole() : output_(GetStdHandle(STD_OUTPUT_HANDLE)), error_(GetStdHandle(STD_ERROR_HANDLE)) {
        FreeConsole();
        if (!AllocConsole()) return;
        screen_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    }
    ~OwnConsole() {
        if (screen_ != INVALID_HANDLE_VALUE) CloseHandle(screen_);
        FreeConsole();
        SetStdHandle(STD_OUTPUT_HANDLE, output_);
        SetStdHandle(STD_ERROR_HANDLE, error_);
    }
    OwnConsole(const OwnConsole&) = delete;
    OwnConsole& operator=(const OwnConsole&) = delete;

    bool ready() const { return screen_ != INVALID_HANDLE_VALUE; }
    // The rows up to the cursor, without their trailing blanks.
    std::vector<std::wstring> Rows() const {
        std::vector<std::wstring> rows;
        CONSOLE_SCREEN_BUFFER_INFO info = {};
        if (!GetConsoleScreenBufferInfo(screen_, &info)) return rows;
        for (SHORT y = 0; y < info.dwCursorPosition.Y; ++y) {
            std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
            DWORD read = 0;
            ReadConsoleOutputCharacterW(screen_, row.data(), static_cast<DWORD>(row.size()), COORD{0, y}, &read);
            row.resize(read);
            row.erase(row.find_last_not_of(L' ') + 1);
            rows.push_back(row);
        }
        return rows;
    }

private:
    HANDLE output_, error_;
    HANDLE screen_ = INVALID_HANDLE_VALUE;
};

class PackageFolderTest : public ::testing::Test {
protected:
    // Makes the folder with "main.bin" (5000 bytes) and "engine.bin" (3000
    // bytes); the caller window's class is `callerPrefix` and the test's name.
    void MakeFolder(const std::wstring& callerPrefix, std::wstring callerTitle, DWORD timeLimitMs) {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string(test->test_suite_name()) + "." + test->name();
        folder_ = ProgramFolder() / "e2e-runs" / name;
        windowClass_ = callerPrefix + fs::path(name).wstring();
        title_ = std::move(callerTitle);
        timeLimitMs_ = timeLimitMs;
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        fs::create_directories(folder_);
        const fs::path parts = ProgramFolder() / "package-parts";
        for (const char* file : {"TessaroFWDL.exe", "vorlendu.dll", "vorlenusb.dll", "vorlennet.dll"})
            fs::copy_file(parts / file, folder_ / file);
        Write("main.bin", Pattern(5000, 1));
        Write("engine.bin", Pattern(3000, 2));
        std::uint16_t hash = 0;
        for (char c : name) hash = static_cast<std::uint16_t>(hash * 31 + static_cast<unsigned char>(c));
        productId_ = static_cast<std::uint16_t>(0x8000 | hash);
    }

    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream out(folder_ / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    // The configuration file, with this test's VID and PID put into "General".
    void WriteConfig(const std::string& text) {
        char ids[40];
        std::snprintf(ids, sizeof ids, "[General]\nVID=5A71\nPID=%04X\n", productId_);
        std::string config = text;
        config.replace(config.find("[General]\n"), 10, ids);
        Write("TessaroFWDL.cfg", config);
    }
    std::wstring InstanceName() const {
        wchar_t name[32];
        std::swprintf(name, 32, L"XX_FWDL_5A71_%04X", productId_);
        return name;
    }
    std::string Record(const std::string& name) const { return ReadWholeFile(folder_ / name).value_or(""); }
    bool RecordExists(const std::string& name) const { return fs::exists(folder_ / name); }

    // Runs with the standard output redirected to a file, as a shell or a
    // deployment system redirects it; `output` is what arrived.
    struct Redirected {
        CallerRun run;
        std::string output;
    };
    Redirected RunIntoFile(const std::vector<std::wstring>& arguments) {
        const fs::path path = folder_ / ("stdout-" + std::to_string(++redirections_) + ".txt");
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        KernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(file.Valid());
        Redirected result{RunRedirected(arguments, file.Get()), ""};
        file.Reset();
        result.output = ReadWholeFile(path).value_or("");
        return result;
    }
    // Starts the program with a caller window of our class and title, and
    // `output` as its standard output; the program must end.
    CallerRun RunRedirected(const std::vector<std::wstring>& arguments, HANDLE output,
                            const std::string& program = "TessaroFWDL.exe") {
        const CallerRun run =
            RunWithCallerWindow(windowClass_, title_, (folder_ / program).wstring(), arguments, timeLimitMs_, output);
        EXPECT_TRUE(run.finished) << "the program did not end";
        return run;
    }

    fs::path folder_;
    std::wstring windowClass_;
    std::wstring title_;
    DWORD timeLimitMs_ = 60000;
    std::uint16_t productId_ = 0;
    int redirections_ = 0;
};

}  // namespace e2e
