#include "sim/recorder.h"

#include <fstream>
#include <iterator>

namespace {

// Large streams are appended in pieces of this size, so that memory does not
// grow with the amount received.
constexpr std::size_t kFlushBytes = 256 * 1024;

void Append(const std::filesystem::path& path, std::string& pending) {
    if (pending.empty()) return;
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(pending.data(), static_cast<std::streamsize>(pending.size()));
    pending.clear();
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Recorder::Recorder(std::filesystem::path folder, std::string id, bool keepBytes)
    : folder_(std::move(folder)), id_(std::move(id)), keepBytes_(keepBytes) {}

Recorder::~Recorder() { Flush(); }

std::filesystem::path Recorder::File(const char* extension) const { return folder_ / (id_ + extension); }

void Recorder::Line(const std::string& text) {
    lines_ += text;
    lines_ += '\n';
    if (lines_.size() >= kFlushBytes) Append(File(".log"), lines_);
}

void Recorder::Bytes(const void* bytes, int count) {
    if (!keepBytes_ || count <= 0) return;
    bytes_.append(static_cast<const char*>(bytes), static_cast<std::size_t>(count));
    if (bytes_.size() >= kFlushBytes) Append(File(".bin"), bytes_);
}

void Recorder::Flush() {
    Append(File(".log"), lines_);
    Append(File(".bin"), bytes_);
}

void Recorder::SaveState(const std::string& text) {
    std::ofstream out(File(".state"), std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::optional<std::string> Recorder::LoadState() const { return ReadWholeFile(File(".state")); }
