#include "app/run.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "app/command_line.h"
#include "report/driver.h"
#include "app/platform.h"
#include "report/explain_printer.h"

namespace symdeck {

namespace {

int fail(std::string& console, const std::string& message) {
    console += kTitleLine;
    console += message;
    return 1;
}

// Writes the report's blocks to the file on a second thread, so that rendering goes on
// while blocks are written: up to kInFlight blocks wait their turn, which carries the
// renderer over the file system's stalls (the writer fills kBlocks blocks in turn).
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

// The report on its way: whatever becomes of the run, a temporary that was not put in place
// is removed.
struct PendingGuard {
    platform::PendingReport report;
    PendingGuard() = default;
    PendingGuard(const PendingGuard&) = delete;
    PendingGuard& operator=(const PendingGuard&) = delete;
    ~PendingGuard() { platform::discardReport(report); }
};

}  // namespace

int runConversion(int argc, const char* const* argv, std::string& console) {
    const CommandLine line = parseCommandLine(argc, argv);
    switch (line.outcome) {
        case Outcome::ShowHelp: printHelp(console); return 0;
        case Outcome::Convert: break;
        case Outcome::BadFirstArgument:
            return fail(console, "  The first argument is not correct.\n");
        case Outcome::MissingOptionValue:
            return fail(console, "  The option " + line.badValue + " needs a value.\n");
        case Outcome::BadExplainOffset:
            return fail(console, "  The offset to explain is not correct (" + line.badValue + ").\n");
    }

    platform::InputFile input;
    switch (platform::readWholeFile(line.inputName, input)) {
        case platform::ReadStatus::Ok: break;
        case platform::ReadStatus::CannotOpen:
            return fail(console, "  Can't open nms file (" + line.inputName + ").\n");
        case platform::ReadStatus::NoMemory: return fail(console, "  Failed to allocate memory.\n");
        case platform::ReadStatus::ReadFailed: return fail(console, "  Failed to read nms file.\n");
    }

    const NmsImage image{input.bytes.data(), input.size};
    // Explaining offsets writes no report: the answers go to standard output.
    if (!line.explainOffsets.empty()) {
        const Explanation answers =
            explainImage(image, line.selection, line.explainOffsets, line.form == ReportForm::Json);
        console += answers.text;
        return line.check && answers.end != WalkEnd::Complete ? 2 : 0;
    }

    // Destroyed in reverse: the writer is done with the blocks, then the writing thread has
    // ended, before the temporary may be removed.
    PendingGuard pending;
    FileWriter file;
    std::unique_ptr<ReportWriter> out;
    try {
        out = std::make_unique<ReportWriter>(ReportSink{&FileWriter::submit, &file});
    } catch (const std::bad_alloc&) {
        return fail(console, "  Failed to allocate memory.\n");
    }

    if (line.toStandardOutput) platform::useStandardOutput(pending.report);
    else switch (platform::createReport(line.outputName, input.id, pending.report)) {
        case platform::CreateStatus::Ok: break;
        case platform::CreateStatus::SameFileAsInput:
            // Writing the report would destroy the database it is made from.
            return fail(console, "  The text file would overwrite the nms file.\n");
        case platform::CreateStatus::Failed: return fail(console, "  Failed crating text file.\n");
    }
    file.start(pending.report);

    const WalkEnd end = line.form == ReportForm::Json
                            ? renderImageJson(image, line.selection, line.inputName, *out)
                            : renderImage(image, line.selection, *out);
    const bool flushed = out->flush();
    const bool written = file.finish() && flushed;  // always wait for the block in flight
    if (!written || !platform::commitReport(pending.report))
        return fail(console, "  Failed to save text file.\n");
    // With --check a damaged database is told by the status as well as by the report.
    return line.check && end != WalkEnd::Complete ? 2 : 0;
}

}  // namespace symdeck
