// SHA-256 of a stream whose bytes are hashed on a second thread while the
// caller goes on: the caller's pieces are copied into blocks, and each full
// block is hashed by a worker while the next one fills. Sending a file and
// hashing it then take the longer of the two, not their sum. A stream
// shorter than one block never starts the worker.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "base/sha256.h"

class BackgroundSha256 {
public:
    // What the workers of one or more objects did, for a caller that must
    // know that each ended and what it was given; counted by the workers.
    struct Tally {
        std::atomic<int> workersStarted{0};
        std::atomic<int> workersEnded{0};
        std::atomic<std::size_t> bytesHashed{0};
    };

    explicit BackgroundSha256(Tally* tally = nullptr) : tally_(tally) {}
    // Ends the worker after the blocks already handed over; bytes still
    // filling a block are dropped, not hashed.
    ~BackgroundSha256();
    BackgroundSha256(const BackgroundSha256&) = delete;
    BackgroundSha256& operator=(const BackgroundSha256&) = delete;

    void Update(const void* bytes, std::size_t count);
    // Waits for the blocks handed over, then gives the digest of everything
    // since construction or the last Finish, and starts afresh.
    std::optional<Sha256Digest> Finish();

    static constexpr std::size_t kBlockBytes = std::size_t{1} << 17;

private:
    using Block = std::vector<unsigned char>;

    void HandOver();
    void WaitUntilIdle(std::unique_lock<std::mutex>& lock);
    void StopWorker();
    void Work();

    Sha256 hash_;  // the worker's while it runs; the caller's otherwise
    Block filling_;
    std::mutex mutex_;
    std::condition_variable changed_;
    // Guarded by mutex_.
    std::optional<Block> handed_;  // waiting for the worker
    Block spare_;                  // a hashed block, to be filled again
    bool busy_ = false;            // the worker is hashing a block
    bool stop_ = false;
    std::thread worker_;
    Tally* tally_;
};
