#include "base/update_history.h"

#include "base/json_text.h"
#include "base/sha256.h"

namespace {

constexpr int kHashChunkBytes = 64 * 1024;

std::string Field(const char* name, const std::string& value) { return std::string("\"") + name + "\":" + value; }

std::string OptionalNumber(const std::optional<std::int64_t>& value) {
    return value ? std::to_string(*value) : "null";
}

std::string OptionalAscii(const std::optional<std::string>& text) {
    return text ? "\"" + *text + "\"" : "null";
}

std::string AsciiString(const std::string& text) { return JsonString(std::wstring(text.begin(), text.end())); }

std::wstring BaseName(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string FormatHistoryLine(const HistoryRecord& r) {
    std::string line = "{" + Field("start", "\"" + IsoUtcTime(r.startMs) + "\"");
    line += "," + Field("end", "\"" + IsoUtcTime(r.endMs) + "\"");
    line += "," + Field("seconds", JsonSeconds(r.elapsedMs));
    line += "," + Field("mode", AsciiString(r.mode));
    line += "," + Field("printer", "{" + Field("port", AsciiString(r.port)) + "," +
                                       Field("target", JsonString(r.target)) + "," +
                                       Field("name", JsonOptionalString(r.deviceName)) + "," +
                                       Field("serial", JsonOptionalString(r.serial)) + "," +
                                       Field("model", JsonString(r.model)) + "}");
    line += "," + Field("package", "{" + Field("module", JsonString(r.module)) + "," +
                                       Field("folder", JsonString(r.packageFolder)) + "," +
                                       Field("configSha256", OptionalAscii(r.configSha256)) + "," +
                                       Field("signer", JsonOptionalString(r.signer)) + "}");
    line += ",\"files\":[";
    for (std::size_t i = 0; i < r.files.size(); ++i) {
        const HistoryFileSent& file = r.files[i];
        line += (i ? ",{" : "{") + Field("name", JsonString(file.name)) + "," +
                Field("bytes", OptionalNumber(file.bytes)) + "," + Field("sha256", OptionalAscii(file.sha256)) + "}";
    }
    line += "]," + Field("firmware", "{" + Field("before", JsonOptionalString(r.firmwareBefore)) + "," +
                                         Field("after", JsonOptionalString(r.firmwareAfter)) + "}");
    line += "," + Field("outcome", AsciiString(r.outcome));
    line += "," + Field("code", r.code ? std::to_string(*r.code) : "null");
    line += "," + Field("reason", r.reason.empty() ? "null" : JsonString(r.reason));
    line += "," + Field("log", JsonOptionalString(r.log));
    return line + "}\n";
}

std::optional<std::string> FileSha256(FileOpener& files, const std::wstring& path) {
    const std::unique_ptr<InputFile> file = files.OpenForReading(path, FileSharing::ReadWrite);
    if (!file) return std::nullopt;
    Sha256 hash;
    std::vector<unsigned char> buffer(kHashChunkBytes);
    for (;;) {
        const int read = file->Read(buffer.data(), kHashChunkBytes);
        if (read < 0) return std::nullopt;
        if (read == 0) break;
        hash.Update(buffer.data(), static_cast<std::size_t>(read));
    }
    const std::optional<Sha256Digest> digest = hash.Finish();
    if (!digest) return std::nullopt;
    return Sha256Hex(*digest);
}

std::vector<HistoryFileSent> DescribeFilesSent(FileOpener& files, const std::vector<std::wstring>& paths) {
    std::vector<HistoryFileSent> sent;
    for (const std::wstring& path : paths) {
        HistoryFileSent file{BaseName(path), std::nullopt, FileSha256(files, path)};
        if (const std::unique_ptr<InputFile> opened = files.OpenForReading(path, FileSharing::ReadWrite)) {
            const std::int64_t size = opened->Size();
            if (size >= 0) file.bytes = size;
        }
        sent.push_back(std::move(file));
    }
    return sent;
}

bool AppendHistoryLine(HistoryStorage& storage, std::string_view line, std::wstring& why) {
    if (!storage.Lock(why)) return false;
    std::string bytes;
    const std::optional<std::int64_t> size = storage.Size(kHistoryFileName);
    if (size && *size + static_cast<std::int64_t>(line.size()) > kHistoryRotateBytes && *size > 0) {
        // A file that cannot be moved aside is appended to all the same:
        // a line kept counts more than the bound.
        storage.Rotate(kHistoryFileName, kOlderHistoryFileName);
    }
    const std::optional<char> last = storage.LastByte(kHistoryFileName);
    if (last && *last != '\n') bytes = "\n";
    bytes += line;
    const bool written = storage.Append(kHistoryFileName, bytes, why);
    storage.Unlock();
    return written;
}
