// Whole package descriptions: any bytes, written where the program reads its
// configuration file, go through the start-up read of "General" and the load
// of every entry the way the wizard's first page loads them. Nothing reads
// outside its buffers, every text ends inside its field and every count stays
// inside its table, plain or encoded.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/files.h"
#include "base/text.h"
#include "fuzz_rules.h"
#include "base/text_ids.h"
#include "package/package_model.h"
#include "package/package_settings.h"

namespace {

// Entry reads go to the file each time, as the profile functions do; a few
// entries show every path of the loader. The program's own bound on the
// count is tested with the loader.
constexpr int kFuzzEntries = 6;

// A package folder of our own for the whole run: the description the input
// becomes, a firmware file with data and an empty one for its entries to name.
class FuzzFolder {
public:
    FuzzFolder() {
        char pattern[] = "/tmp/fwdl-fuzz-package-XXXXXX";
        if (mkdtemp(pattern) == nullptr) std::abort();
        path_ = pattern;
        Write("a.bin", "firmware", 8);
        Write("JP.bin", "variant", 7);
        Write("e.bin", "", 0);
    }
    ~FuzzFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    void Write(const char* name, const void* bytes, std::size_t size) const {
        std::FILE* file = std::fopen((path_ / name).c_str(), "wb");
        if (file == nullptr) std::abort();
        if (size > 0 && std::fwrite(bytes, 1, size, file) != size) std::abort();
        std::fclose(file);
    }
    std::wstring ProgramPath() const { return path_.wstring() + L"\\update.exe"; }

private:
    std::filesystem::path path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FuzzFolder folder;
    folder.Write("update.cfg", data, size);

    PackageSettings settings;
    SetPathsFromProgramFile(settings, folder.ProgramPath());
    ReadGeneralSettings(settings);
    REQUIRE(settings.SysOIDCnt >= 0 && settings.SysOIDCnt <= kSysOidSlots);
    REQUIRE(settings.MDLCnt >= 0 && settings.MDLCnt <= kModelSlots);
    for (const auto& oid : settings.SysOID) REQUIRE(Terminated(oid));
    for (const auto& model : settings.MDL) REQUIRE(Terminated(model));
    REQUIRE(settings.ModelName.size() < kNameChars && settings.ModuleName.size() < kNameChars);

    if (settings.FwCount > kFuzzEntries) settings.FwCount = kFuzzEntries;
    PlatformFiles files;
    PackageTable rows;
    const PackageLoadResult result = LoadPackage(settings, files, rows);
    REQUIRE(rows.Count() == (settings.FwCount > 0 ? settings.FwCount : 0));
    REQUIRE(!result.PackageReady || (rows.Count() > 0 && result.problems.empty()));

    for (int i = 0; i < rows.Count(); ++i) {
        const PackageRow& row = rows.At(i);
        REQUIRE(row.fileName.size() < kFileNameChars && row.releaseDate.size() < kEntryTextChars);
        const FirmwareEntry& entry = *row.entry;
        REQUIRE(Terminated(entry.Content) && Terminated(entry.Version));
        REQUIRE(entry.SubCmdCnt >= 0 && entry.SubCmdCnt <= kMaxSubCommands);
        for (int j = 0; j < entry.SubCmdCnt; ++j)
            REQUIRE(entry.SubCmdLen[j] >= 0 && entry.SubCmdLen[j] <= kSubCommandBytes);

        wchar_t variantFile[kFileNameChars];
        if (GetVariantFileName(settings, i, "JP01", variantFile)) REQUIRE(Terminated(variantFile));
        for (const char* variant : {"JP01", "", "X"}) {
            const auto path = ChooseEntryFile(settings, rows, i, variant);
            REQUIRE(path || (entry.IsVariantFirmware() && variant[0] == '\0'));
        }
    }

    // The eligibility rule and the state texts read the same description.
    const unsigned char state = size > 0 ? data[0] : 0;
    const unsigned char detail1 = size > 1 ? data[1] : 0;
    const unsigned char detail2 = size > 2 ? data[2] : 0;
    (void)IsUpdateGranted(settings, state, detail1, detail2);
    const int text = StatusTextId(settings, state, detail1, detail2, false);
    REQUIRE(text >= IDS_STATE_NOT_COMPLETE && text <= IDS_STATE_COMPLETED);
    return 0;
}
