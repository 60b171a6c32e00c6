// What one simulated printer (or the fleet as a whole) writes for tests to
// read, in a record folder:
//   <id>.log    the transcript: one line per call the printer saw;
//   <id>.bin    every byte of the stream it received, in order (not written
//               when the scenario records digests only);
//   <id>.state  its counters (sim_printer.h), rewritten after every change,
//               so that a later process carries on where this one stopped.
// Lines and bytes are buffered and appended at the next flush.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

class Recorder {
public:
    Recorder(std::filesystem::path folder, std::string id, bool keepBytes);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    void Line(const std::string& text);
    void Bytes(const void* bytes, int count);
    void Flush();

    void SaveState(const std::string& text);
    std::optional<std::string> LoadState() const;

private:
    std::filesystem::path File(const char* extension) const;

    std::filesystem::path folder_;
    std::string id_;
    bool keepBytes_;
    std::string lines_;
    std::string bytes_;
};

// The whole content of a file; nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);
