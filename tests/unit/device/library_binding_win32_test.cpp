// A pinned library is checked from a handle that nobody may write through,
// rename or delete, and loaded while that handle is held; one that does not
// match its pin is not loaded at all. Windows only: the real loader and the
// stand-in USB library.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "base/sha256.h"
#include "device/library_binding.h"
#include "sim/recorder.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

std::string StandInLibrary() { return ReadWholeFile(fs::path(FWDL_STAND_IN_LIBRARIES) / "vorlenusb.dll").value_or(""); }

std::string HexOf(const std::string& bytes) { return Sha256Hex(*Sha256::Of(bytes.data(), bytes.size())); }

// What another program could do to the library while its check reads it:
// tried when the check's read reaches the end of the file.
struct Attempts {
    bool tried = false;
    bool writeRefused = false;
    bool deleteRefused = false;
    bool renameRefused = false;
};

class AttemptingFile final : public InputFile {
public:
    AttemptingFile(std::unique_ptr<InputFile> file, std::wstring path, Attempts& attempts)
        : file_(std::move(file)), path_(std::move(path)), attempts_(attempts) {}
    int Read(void* buffer, int count) override {
        const int read = file_->Read(buffer, count);
        if (read == 0 && !attempts_.tried) Attempt();
        return read;
    }
    std::int64_t Size() override { return file_->Size(); }

private:
    void Attempt() {
        attempts_.tried = true;
        const HANDLE writer = CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        attempts_.writeRefused = writer == INVALID_HANDLE_VALUE;
        if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
        attempts_.deleteRefused = !DeleteFileW(path_.c_str());
        attempts_.renameRefused = !MoveFileW(path_.c_str(), (path_ + L".moved").c_str());
    }

    std::unique_ptr<InputFile> file_;
    std::wstring path_;
    Attempts& attempts_;
};

// The platform's files; the one opened for the check is attacked.
class AttemptingFiles final : public FileOpener {
public:
    std::unique_ptr<InputFile> OpenForReading(const std::wstring& path, FileSharing sharing) override {
        std::unique_ptr<InputFile> file = files_.OpenForReading(path, sharing);
        if (!file || sharing != FileSharing::ReadOnly) return file;
        return std::make_unique<AttemptingFile>(std::move(file), path, attempts);
    }
    Attempts attempts;

private:
    PlatformFiles files_;
};

class PinnedLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = StandInLibrary();
        ASSERT_FALSE(library_.empty()) << "the stand-in library is missing";
        folder_.AddFile("vorlenusb.dll", library_);
    }
    PackageSettings Package(const std::string& librariesSection) {
        return folder_.WriteConfig("[General]\nEncoding=0\nFwCount=0\n" + librariesSection);
    }

    PackageFolder folder_;
    std::string library_;
    AttemptingFiles files_;
    LibraryBinding binding_;
};

TEST_F(PinnedLibrary, IsLoadedFromTheCheckedFileThatNobodyCouldChange) {
    const PackageSettings settings = Package("[Libraries]\nvorlenusb.dll=" + HexOf(library_) + "\n");
    binding_.Bind(files_, folder_.dir().ProgramPath(), &settings);
    EXPECT_FALSE(binding_.pinRefusal());
    EXPECT_NE(binding_.table().USBConnectByPrinterName, nullptr);
    ASSERT_TRUE(files_.attempts.tried);
    EXPECT_TRUE(files_.attempts.writeRefused);
    EXPECT_TRUE(files_.attempts.deleteRefused);
    EXPECT_TRUE(files_.attempts.renameRefused);
    binding_.Unload();
    EXPECT_EQ(ReadWholeFile(folder_.dir().path() / "vorlenusb.dll"), library_);
}

TEST_F(PinnedLibrary, ThatDoesNotMatchIsNotLoadedAndRefusesThePackage) {
    std::string other = library_;
    other.back() = static_cast<char>(other.back() ^ 1);
    const PackageSettings settings = Package("[Libraries]\nvorlenusb.dll=" + HexOf(other) + "\n");
    binding_.Bind(files_, folder_.dir().ProgramPath(), &settings);
    ASSERT_TRUE(binding_.pinRefusal());
    EXPECT_EQ(binding_.pinRefusal()->problem, SignatureProblem::kFileMismatch);
    EXPECT_EQ(binding_.pinRefusal()->subject, L"vorlenusb.dll");
    EXPECT_EQ(binding_.table().USBConnectByPrinterName, nullptr);
}

TEST_F(PinnedLibrary, AnUnpinnedLibraryOfAnUnsignedPackageLoadsAsBefore) {
    const PackageSettings settings = Package("");
    binding_.Bind(files_, folder_.dir().ProgramPath(), &settings);
    EXPECT_FALSE(binding_.pinRefusal());
    EXPECT_NE(binding_.table().USBConnectByPrinterName, nullptr);
    EXPECT_FALSE(files_.attempts.tried);
}

}  // namespace
