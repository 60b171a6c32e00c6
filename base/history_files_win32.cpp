#include "base/history_files_win32.h"

#include <shlobj.h>

#include <vector>

#include "base/sha256.h"

namespace {

// A lock held by a process that hangs is given up on after this long: the
// update goes on without its line.
constexpr DWORD kLockWaitMs = 10000;

bool MakeFolder(const std::wstring& path) {
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// The mutex name: one per folder, whatever the spelling of its path's case.
std::wstring MutexName(const std::wstring& folder) {
    std::wstring upper = folder;
    if (!upper.empty()) CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    const auto digest = Sha256::Of(upper.data(), upper.size() * sizeof(wchar_t));
    const std::string hex = digest ? Sha256Hex(*digest).substr(0, 32) : std::string("0");
    return L"Local\\TessaroFWDL-History-" + std::wstring(hex.begin(), hex.end());
}

bool WriteWhole(HANDLE file, std::string_view bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace

std::wstring LastErrorText() {
    const DWORD error = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words = text ? text : L"";
    if (text) LocalFree(text);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' || words.back() == L' '))
        words.pop_back();
    return L"error " + std::to_wstring(error) + (words.empty() ? L"" : L" (" + words + L")");
}

std::optional<std::wstring> UserHistoryFolder(std::wstring& why) {
    wchar_t* base = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &base);
    if (FAILED(result) || !base) {
        if (base) CoTaskMemFree(base);
        why = L"the local application data folder is unknown";
        return std::nullopt;
    }
    std::wstring folder = base;
    CoTaskMemFree(base);
    for (const wchar_t* part : {L"\\Tessaro", L"\\TessaroFWDL"}) {
        folder += part;
        if (!MakeFolder(folder)) {
            why = L"cannot make " + folder + L": " + LastErrorText();
            return std::nullopt;
        }
    }
    return folder;
}

std::optional<std::wstring> FindRunLogOfProcess(const std::wstring& logFolder, unsigned long processId) {
    WIN32_FIND_DATAW found = {};
    const std::wstring pattern = logFolder + L"\\run-*-" + std::to_wstring(processId) + kBatchPrinterLogSuffix;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return std::nullopt;
    std::wstring newest;
    do {
        // A recycled process id leaves older logs of its name: the newest is this run's.
        if (std::wstring(found.cFileName) > newest) newest = found.cFileName;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return logFolder + L"\\" + newest;
}

FolderHistoryStorage::FolderHistoryStorage(std::wstring folder) : folder_(std::move(folder)) {}

bool FolderHistoryStorage::Lock(std::wstring& why) {
    if (!mutex_) mutex_.Reset(CreateMutexW(nullptr, FALSE, MutexName(folder_).c_str()));
    if (!mutex_) {
        why = L"cannot make the history's lock: " + LastErrorText();
        return false;
    }
    const DWORD waited = WaitForSingleObject(mutex_.Get(), kLockWaitMs);
    // An owner that ended while it held the lock left at most one cut line,
    // which the next append steps past.
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return true;
    why = L"the history stayed locked by another process";
    return false;
}

void FolderHistoryStorage::Unlock() { ReleaseMutex(mutex_.Get()); }

std::optional<std::int64_t> FolderHistoryStorage::Size(const std::wstring& name) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(Path(name).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<char> FolderHistoryStorage::LastByte(const std::wstring& name) {
    const KernelHandle file(CreateFileW(Path(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0) return std::nullopt;
    LARGE_INTEGER last = {};
    last.QuadPart = size.QuadPart - 1;
    char byte = 0;
    DWORD read = 0;
    if (!SetFilePointerEx(file.Get(), last, nullptr, FILE_BEGIN) || !ReadFile(file.Get(), &byte, 1, &read, nullptr) ||
        read != 1)
        return std::nullopt;
    return byte;
}

bool FolderHistoryStorage::Rotate(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(Path(from).c_str(), Path(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool FolderHistoryStorage::Append(const std::wstring& name, std::string_view bytes, std::wstring& why) {
    // Append-only access: every write lands at the end, whoever else writes.
    const KernelHandle file(CreateFileW(Path(name).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        why = L"cannot open " + Path(name) + L": " + LastErrorText();
        return false;
    }
    if (!WriteWhole(file.Get(), bytes)) {
        why = L"cannot write " + Path(name) + L": " + LastErrorText();
        return false;
    }
    return true;
}

bool FileRunLog::Open(const std::wstring& historyFolder, bool batchPrinter, std::wstring& why) {
    const std::wstring folder = historyFolder + L"\\" + kRunLogFolderName;
    if (!MakeFolder(folder)) {
        why = L"cannot make " + folder + L": " + LastErrorText();
        return false;
    }
    if (!batchPrinter) {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found = {};
        const HANDLE search = FindFirstFileW((folder + L"\\run-*.log").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                names.emplace_back(found.cFileName);
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        for (const std::wstring& old : RunLogsToPrune(names)) DeleteFileW((folder + L"\\" + old).c_str());
    }

    const std::wstring path =
        folder + L"\\" + RunLogFileName(clock_.NowUtcMs(), GetCurrentProcessId(), batchPrinter);
    KernelHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        why = L"cannot make " + path + L": " + LastErrorText();
        return false;
    }
    const std::lock_guard<std::mutex> hold(lock_);
    file_ = std::move(file);
    path_ = path;
    return true;
}

void FileRunLog::Line(std::string_view text) {
    const std::lock_guard<std::mutex> hold(lock_);
    if (!file_) return;
    WriteWhole(file_.Get(), FormatRunLogLine(clock_.NowUtcMs(), text));
}
