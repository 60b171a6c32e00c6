// Streams big firmware files through the USB and the network job and through
// a plain read-and-write loop with the same chunk size, all into a stand-in
// printer that keeps a digest of what it received, with waits in virtual
// time. Reports MB/s, the job's share of the plain loop's speed, and the
// peak memory of each run; then the same for a printer that takes data no
// faster than a gigabit link carries it.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/file_pins.h"
#include "base/text.h"
#include "null_libraries.h"
#include "package/package_model.h"
#include "transfer/network_transfer.h"
#include "transfer/usb_transfer.h"

namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr int kRepeats = 5;

// A printer that takes everything and keeps a digest of it; at memory speed,
// or no faster than `linkBytesPerSecond` when that is set.
class DigestPrinter final : public NullLibraries {
public:
    std::uint64_t digest = 0;
    std::uint64_t bytes = 0;
    double linkBytesPerSecond = 0;

    static std::uint64_t Mix(std::uint64_t h, std::uint64_t word) {
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        return h ^ (h >> 29);
    }

    std::chrono::steady_clock::time_point lastTake;

    void Take(const void* data, int count) {
        lastTake = std::chrono::steady_clock::now();
        if (linkBytesPerSecond > 0) KeepToTheLinkRate();
        const auto* p = static_cast<const unsigned char*>(data);
        std::uint64_t h = digest;
        int k = 0;
        for (; k + 8 <= count; k += 8) {
            std::uint64_t word;
            std::memcpy(&word, p + k, 8);
            h = Mix(h, word);
        }
        for (; k < count; ++k) h = Mix(h, p[k]);
        digest = h;
        bytes += static_cast<std::uint64_t>(count);
    }

    // Like a printer's buffer on a link: a writer ahead of the link by more
    // than a millisecond's worth waits until the link has caught up.
    void KeepToTheLinkRate() {
        if (bytes == 0) firstTake_ = lastTake;
        const auto due = firstTake_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                          std::chrono::duration<double>(double(bytes) / linkBytesPerSecond));
        if (due - lastTake > std::chrono::milliseconds(1)) {
            std::this_thread::sleep_until(due);
            lastTake = std::chrono::steady_clock::now();
        }
    }

    // USB: always ready, always granted (state 0x0A).
    int DUGetDevicePath(char* path, std::uint16_t) override {
        std::strcpy(path, "\\\\?\\usb#bench");
        return 0;
    }
    int DUGetDeviceID(char* buffer, std::uint16_t) override {
        std::strcpy(buffer, "BENCH;");
        return 1;
    }
    int DecodeStatusFromDeviceID(const char*, PrinterStatusBlock* status) override {
        status->bytes[PrinterStatusBlock::kStateCodeOffset] = 0x0A;
        return 1;
    }
    int DUOpenConnection(std::uint16_t) override { return 0; }
    int DUCloseConnection(std::uint16_t) override { return 0; }
    int DUWriteData(const void* data, int count, int, std::uint16_t) override {
        Take(data, count);
        return 0;
    }

    // Network.
    bool HasNetworkLibrary() const override { return true; }
    int NetworkReadStatusV3(const char*, const char*, int, PrinterStatusBlock* status) override {
        status->bytes[PrinterStatusBlock::kStateCodeOffset] = 0x0A;
        return 1;
    }
    int NetworkReadStatusV4(const char*, const char*, int, PrinterStatusBlock*) override { return 1; }
    NetHandle NetworkConnectNonBlock(const char*, int, int) override { return 7; }
    int NetworkWrite(NetHandle, const void* data, int count) override {
        Take(data, count);
        return count;
    }
    int NetworkClose(NetHandle) override { return 1; }

private:
    std::chrono::steady_clock::time_point firstTake_;
};

// The platform's files, noting when the first file is opened for sending:
// with pins, the job hashes the package before that, and the bench times
// the streaming apart from that check.
class SendTimedFiles final : public FileOpener {
public:
    std::chrono::steady_clock::time_point firstSendOpen;
    bool opened = false;
    std::unique_ptr<InputFile> OpenForReading(const std::wstring& path, FileSharing sharing) override {
        if (sharing == FileSharing::Exclusive && !opened) {
            firstSendOpen = std::chrono::steady_clock::now();
            opened = true;
        }
        return files_.OpenForReading(path, sharing);
    }

private:
    PlatformFiles files_;
};

class NoLocks final : public UsbPortLocks {
public:
    PortLockResult AcquireUsbPortLock(const char*) override { return {}; }
    void ReleaseUsbPortLock(PortLockHandle) override {}
};

class VirtualSleeper final : public Sleeper {
public:
    std::int64_t slept = 0;
    void SleepMs(int milliseconds) override { slept += milliseconds; }
};

class QuietWindow final : public TransferWindow {
public:
    int barMoves = 0;
    int position = 0;
    void SetPrinterLine(const std::wstring&) override {}
    void SetBarPosition(int p) override {
        ++barMoves;
        position = p;
    }
    int BarPosition() override { return position; }
    void EnableCancel(bool) override {}
    void ShowError(const std::wstring& text) override { std::fprintf(stderr, "error: %s\n", ToUtf8(text).c_str()); }
};

class NoTexts final : public TextCatalogue {
public:
    std::wstring Text(int) const override { return L""; }
};

// Resident memory now, and its peak since the last reset, in KiB (Linux;
// elsewhere the process's peak stands for both).
long StatusField(const char* field) {
#if defined(__linux__)
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
#endif
    (void)field;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
long ResidentKiB() { return StatusField("VmRSS:"); }
long PeakKiB() { return StatusField("VmHWM:"); }
void ResetPeak() {
#if defined(__linux__)
    std::ofstream("/proc/self/clear_refs") << "5";
#endif
}

void WriteFile(const std::filesystem::path& path, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> chunk(64 * 1024);
    for (std::size_t done = 0; done < size; done += chunk.size()) {
        for (std::size_t k = 0; k < chunk.size(); ++k) chunk[k] = static_cast<char>(((done + k) * 7 + 3) & 0xFF);
        out.write(chunk.data(), static_cast<std::streamsize>(std::min(chunk.size(), size - done)));
    }
}

// Best time of the repeats, and the most memory any repeat added.
struct Run {
    double seconds = 0;
    long peakKiB = 0;
    long growthKiB = 0;
    std::uint64_t digest = 0;
    std::uint64_t bytes = 0;
};

// `sendStart`, when given, says when the sending began; the time before it
// (the check of the pins) is not counted.
void MeasureOnce(Run& run, const std::function<void(DigestPrinter&)>& body,
                 const std::chrono::steady_clock::time_point* sendStart = nullptr, double linkBytesPerSecond = 0) {
    DigestPrinter printer;
    printer.linkBytesPerSecond = linkBytesPerSecond;
    const long before = ResidentKiB();
    ResetPeak();
    const auto start = std::chrono::steady_clock::now();
    body(printer);
    const auto end = sendStart ? printer.lastTake : std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(end - (sendStart ? *sendStart : start)).count();
    const long peak = PeakKiB();
    if (run.seconds == 0 || seconds < run.seconds) run.seconds = seconds;
    run.peakKiB = std::max(run.peakKiB, peak);
    run.growthKiB = std::max(run.growthKiB, peak - before);
    run.digest = printer.digest;
    run.bytes = printer.bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path() / "fwdl-transfer-bench";
    std::filesystem::create_directories(folder);
    PlatformFiles files;

    std::printf("%-8s %-11s %10s %10s %8s %9s %9s  %s\n", "size", "run", "MB/s", "plain MB/s", "share", "peak KiB",
                "grew KiB", "digest of what the printer got");
    for (std::size_t megabytes : {64, 512}) {
        const std::size_t size = megabytes * kMiB;
        const std::filesystem::path file = folder / "big.bin";
        WriteFile(file, size);
        const std::filesystem::path config = folder / "bench.cfg";
        std::ofstream(config, std::ios::trunc) << "[General]\nEncoding=0\nFwCount=1\n[Fw0]\nFileName=big.bin\n"
                                                  "[Granted]\nS0A*=1\n";
        // The same package with its file pinned, for the jobs that hash while they stream.
        std::string pin;
        {
            const std::unique_ptr<InputFile> input = files.OpenForReading(
                FromUtf8((folder / "big.bin").string()), FileSharing::ReadWrite);
            pin = Sha256Hex(*HashContent(*input));
        }
        std::ofstream(folder / "pinned.cfg", std::ios::trunc)
            << "[General]\nEncoding=0\nFwCount=1\n[Fw0]\nFileName=big.bin\nSha256=" << pin << "\n[Granted]\nS0A*=1\n";
        PackageSettings pinnedSettings;
        SetPathsFromProgramFile(pinnedSettings, folder.wstring() + L"\\pinned.exe");
        ReadGeneralSettings(pinnedSettings);

        PackageSettings settings;
        SetPathsFromProgramFile(settings, folder.wstring() + L"\\bench.exe");
        ReadGeneralSettings(settings);
        PackageTable rows;
        const PackageLoadResult package = LoadPackage(settings, files, rows);
        const std::wstring path = settings.ModuleDir + L"\\big.bin";

        const auto plainLoop = [&](DigestPrinter& printer) {
            std::unique_ptr<InputFile> input = files.OpenForReading(path, FileSharing::Exclusive);
            std::vector<unsigned char> buffer(kChunkBytes);
            int count;
            do {
                count = input->Read(buffer.data(), kChunkBytes);
                printer.Take(buffer.data(), count);
            } while (count == kChunkBytes);
            // The same end marker as the jobs send, so that the digests compare.
            const auto marker = MarkerBytes(kMarkerLastFile);
            printer.Take(marker.data(), static_cast<int>(marker.size()));
        };
        SendTimedFiles timedFiles;
        const auto runJob = [&](DigestPrinter& printer, bool usb, bool pinned = false) {
            VirtualSleeper sleeper;
            QuietWindow window;
            NoTexts texts;
            NoLocks locks;
            TransferJob job;
            job.window = &window;
            timedFiles.opened = false;
            const TransferContext context{pinned ? pinnedSettings : settings, printer, timedFiles, sleeper, rows,
                                          package.TotalSize, texts};
            if (usb) {
                UsbPrinterItem item;
                UsbPrinterTable printers;
                printers.Append({true, L"SER1", L"Bench", &item});
                RunUsbTransfer(job, context, locks, printers);
            } else {
                NetPrinterItem item;
                NetPrinterTable printers;
                printers.Append({true, L"127.0.0.1", L"Bench", &item});
                RunNetworkTransfer(job, context, printers);
            }
        };

        Run warmUp, plain, usb, net, usbPinned, netPinned;
        MeasureOnce(warmUp, plainLoop);  // brings the file into the page cache
        // Interleaved, so that a busy moment of the machine hits all alike.
        for (int repeat = 0; repeat < kRepeats; ++repeat) {
            MeasureOnce(plain, plainLoop);
            MeasureOnce(usb, [&](DigestPrinter& p) { runJob(p, true); });
            MeasureOnce(net, [&](DigestPrinter& p) { runJob(p, false); });
            MeasureOnce(usbPinned, [&](DigestPrinter& p) { runJob(p, true, true); }, &timedFiles.firstSendOpen);
            MeasureOnce(netPinned, [&](DigestPrinter& p) { runJob(p, false, true); }, &timedFiles.firstSendOpen);
        }

        const auto mbps = [size](const Run& run) { return double(size) / double(kMiB) / run.seconds; };
        const auto report = [&](const char* name, const Run& run) {
            std::printf("%-8s %-11s %10.0f %10.0f %7.1f%% %9ld %9ld  %016llx %s\n",
                        (std::to_string(megabytes) + " MB").c_str(), name, mbps(run), mbps(plain),
                        100.0 * mbps(run) / mbps(plain), run.peakKiB, run.growthKiB,
                        static_cast<unsigned long long>(run.digest),
                        run.digest == plain.digest && run.bytes == plain.bytes ? "same" : "DIFFERENT");
        };
        report("plain", plain);
        report("usb", usb);
        report("network", net);
        // Hashing while streaming; the check before the first byte is timed below.
        report("usb+pin", usbPinned);
        report("net+pin", netPinned);

        // A printer on a gigabit link (about 110 MB/s of data): the hash has
        // the time the link leaves it.
        if (megabytes == 64) {
            constexpr double kGigabitLink = 110.0 * 1000 * 1000;
            Run linkPlain, linkUsbPinned, linkNetPinned;
            for (int repeat = 0; repeat < kRepeats; ++repeat) {
                MeasureOnce(linkPlain, plainLoop, nullptr, kGigabitLink);
                MeasureOnce(linkUsbPinned, [&](DigestPrinter& p) { runJob(p, true, true); },
                            &timedFiles.firstSendOpen, kGigabitLink);
                MeasureOnce(linkNetPinned, [&](DigestPrinter& p) { runJob(p, false, true); },
                            &timedFiles.firstSendOpen, kGigabitLink);
            }
            plain = linkPlain;
            report("plain@1G", linkPlain);
            report("usb+pin@1G", linkUsbPinned);
            report("net+pin@1G", linkNetPinned);
        }
        std::filesystem::remove(file);
    }

    // The check before the first byte: a 256 MB package (four files of
    // 64 MB) hashed whole, as a job does before it opens a printer.
    {
        PinnedFiles pinned(files);
        for (int k = 0; k < 4; ++k) {
            const std::filesystem::path part = folder / ("part" + std::to_string(k) + ".bin");
            WriteFile(part, 64 * kMiB);
            const std::unique_ptr<InputFile> input = files.OpenForReading(FromUtf8(part.string()), FileSharing::ReadWrite);
            pinned.Pin(FromUtf8(part.string()), HashContent(*input));
        }
        double best = 0;
        for (int repeat = 0; repeat < 3; ++repeat) {
            const auto start = std::chrono::steady_clock::now();
            const bool mismatch = pinned.FindMismatch(FileSharing::ReadWrite).has_value();
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (mismatch) std::fprintf(stderr, "a part did not match its pin\n");
            if (best == 0 || seconds < best) best = seconds;
        }
        std::printf("check of a 256 MB package before the first byte: %.2f s (%.0f MB/s)\n", best, 256.0 / best);
        for (int k = 0; k < 4; ++k) std::filesystem::remove(folder / ("part" + std::to_string(k) + ".bin"));
    }
    std::filesystem::remove_all(folder);
    return 0;
}
