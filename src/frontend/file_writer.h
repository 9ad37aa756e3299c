// Hands the report's blocks to the platform as the writer fills them.
//
// Where the system has threads, a second thread writes them to the file, so that rendering
// goes on while blocks are written: up to kInFlight blocks wait their turn, which carries
// the renderer over the file system's stalls (the writer fills kBlocks blocks in turn).
// Without threads (SYMDECK_NO_THREADS: the WebAssembly build), or when no thread can be
// started, every block is written at once.
#pragma once

#include <cstddef>

#include "frontend/platform.h"
#include "forms/writer.h"

#ifndef SYMDECK_NO_THREADS
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#endif

namespace symdeck {

#ifdef SYMDECK_NO_THREADS

class FileWriter {
public:
    FileWriter() = default;
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    void start(platform::PendingReport& report) { report_ = &report; }
    static bool submit(void* self, const char* data, size_t size) {
        auto& writer = *static_cast<FileWriter*>(self);
        if (!writer.failed_ && !platform::writeReport(*writer.report_, data, size)) writer.failed_ = true;
        return !writer.failed_;
    }
    bool finish() { return !failed_; }

private:
    platform::PendingReport* report_ = nullptr;
    bool failed_ = false;
};

#else

class FileWriter {
public:
    FileWriter() = default;
    // Starts writing to `report`; blocks handed over before this are not expected.
    void start(platform::PendingReport& report) {
        report_ = &report;
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // No second thread: every block is written at once instead.
        }
    }
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    ~FileWriter() { finish(); }

    static bool submit(void* self, const char* data, size_t size) {
        return static_cast<FileWriter*>(self)->hand(data, size);
    }

    // Waits for the last block; false when any write failed.
    bool finish() {
        if (thread_.joinable()) {
            {
                std::unique_lock lock(mutex_);
                idle_.wait(lock, [this] { return queued_ == 0; });
                stop_ = true;
            }
            work_.notify_one();
            thread_.join();
        }
        return !failed_;
    }

private:
    bool hand(const char* data, size_t size) {
        if (!thread_.joinable()) {  // no second thread: written at once
            if (!failed_ && !platform::writeReport(*report_, data, size)) failed_ = true;
            return !failed_;
        }
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return queued_ < kInFlight; });
        if (failed_) return false;
        queue_[(first_ + queued_) % kInFlight] = {data, size};
        ++queued_;
        lock.unlock();
        work_.notify_one();
        return true;
    }

    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_.wait(lock, [this] { return queued_ != 0 || stop_; });
            if (queued_ == 0) return;
            const Pending block = queue_[first_];
            const bool skip = failed_;  // after a failure the rest is dropped
            lock.unlock();
            const bool stored = skip || platform::writeReport(*report_, block.data, block.size);
            lock.lock();
            if (!stored) failed_ = true;
            first_ = (first_ + 1) % kInFlight;
            --queued_;
            idle_.notify_one();
        }
    }

    static constexpr size_t kInFlight = ReportWriter::kBlocks - 1;
    struct Pending {
        const char* data;
        size_t size;
    };

    platform::PendingReport* report_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    Pending queue_[kInFlight] = {};  // blocks waiting to be written, oldest at first_
    size_t first_ = 0;
    size_t queued_ = 0;
    bool stop_ = false;
    bool failed_ = false;  // under the lock while the thread runs
};

#endif

}  // namespace symdeck
