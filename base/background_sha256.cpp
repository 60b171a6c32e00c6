#include "base/background_sha256.h"

#include <algorithm>
#include <system_error>
#include <utility>

BackgroundSha256::~BackgroundSha256() { StopWorker(); }

void BackgroundSha256::Update(const void* bytes, std::size_t count) {
    const auto* next = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
        if (filling_.capacity() < kBlockBytes) filling_.reserve(kBlockBytes);
        const std::size_t taken = std::min(count, kBlockBytes - filling_.size());
        filling_.insert(filling_.end(), next, next + taken);
        next += taken;
        count -= taken;
        if (filling_.size() == kBlockBytes) HandOver();
    }
}

std::optional<Sha256Digest> BackgroundSha256::Finish() {
    if (worker_.joinable()) {
        if (!filling_.empty()) HandOver();
        StopWorker();
    }
    // Without a worker the last block (or the only one) is hashed here.
    if (!filling_.empty()) hash_.Update(filling_.data(), filling_.size());
    // A package's files stay open until its last one is sent: a finished
    // stream keeps no blocks.
    filling_ = Block{};
    spare_ = Block{};
    return hash_.Finish();
}

void BackgroundSha256::HandOver() {
    if (!worker_.joinable()) {
        try {
            stop_ = false;
            worker_ = std::thread(&BackgroundSha256::Work, this);
            if (tally_) ++tally_->workersStarted;
        } catch (const std::system_error&) {
            // No second thread: hash in line, as a plain Sha256 would.
            hash_.Update(filling_.data(), filling_.size());
            filling_.clear();
            return;
        }
    }
    std::unique_lock lock(mutex_);
    // One block waits at most: the caller is never more than two blocks ahead.
    changed_.wait(lock, [this] { return !handed_.has_value(); });
    handed_ = std::move(filling_);
    filling_ = std::move(spare_);
    filling_.clear();
    changed_.notify_all();
}

void BackgroundSha256::WaitUntilIdle(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return !handed_.has_value() && !busy_; });
}

void BackgroundSha256::StopWorker() {
    if (!worker_.joinable()) return;
    {
        std::unique_lock lock(mutex_);
        WaitUntilIdle(lock);
        stop_ = true;
        changed_.notify_all();
    }
    worker_.join();
}

void BackgroundSha256::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return handed_.has_value() || stop_; });
        if (!handed_) {
            if (tally_) ++tally_->workersEnded;
            return;
        }
        Block block = std::move(*handed_);
        handed_.reset();
        busy_ = true;
        changed_.notify_all();
        lock.unlock();
        hash_.Update(block.data(), block.size());
        if (tally_) tally_->bytesHashed += block.size();
        lock.lock();
        busy_ = false;
        spare_ = std::move(block);
        changed_.notify_all();
    }
}
