#include "app/run.h"

#include <optional>

#include "app/command_line.h"
#include "app/file_writer.h"
#include "report/driver.h"
#include "app/platform.h"
#include "report/explain_printer.h"
#include "report/terminal_text.h"

namespace symdeck {

namespace {

int fail(Console& console, const std::string& message) {
    console.text += kTitleLine;
    console.text += message;
    return 1;
}

constexpr const char* kSameFileMessage = "  The text file would overwrite the nms file.\n";

// The report on its way: whatever becomes of the run, a temporary that was not put in place
// is removed.
struct PendingGuard {
    platform::PendingReport report;
    PendingGuard() = default;
    PendingGuard(const PendingGuard&) = delete;
    PendingGuard& operator=(const PendingGuard&) = delete;
    ~PendingGuard() { platform::discardReport(report); }
};

// Opens where the report (or the answers) go: the standard stream `stream` when there is
// one, else the file `name`. Null when it is open, else the failure message. Nothing is
// written into the database: not through its name, and not through a stream open on it.
const char* openDestination(std::optional<platform::Stream> stream, const std::string& name,
                            const platform::FileId& input, platform::PendingReport& report) {
    if (stream) {
        if (platform::sameFile(platform::idOfStream(*stream), input)) return kSameFileMessage;
        platform::useStream(*stream, report);
        return nullptr;
    }
    switch (platform::createReport(name, input, report)) {
        case platform::CreateStatus::Ok: return nullptr;
        case platform::CreateStatus::SameFileAsInput: return kSameFileMessage;
        case platform::CreateStatus::Failed: break;
    }
    return "  Failed crating text file.\n";
}

// The answers of --explain: to standard output without -o, else to the -o target, put in
// place as a report is. On a terminal the texts of the database in them are escaped.
int writeAnswers(const CommandLine& line, std::optional<platform::Stream> stream, const Explanation& answers,
                 const platform::FileId& input, Console& console) {
    const int status = line.check && answers.end != WalkEnd::Complete ? 2 : 0;
    if (!line.outputNamed) {
        if (platform::sameFile(platform::idOfStream(platform::Stream::Output), input))
            return fail(console, kSameFileMessage);
        console.text += platform::standardOutputIsTerminal() ? escapedForTerminal(answers.text, true)
                                                             : answers.text;
        return status;
    }
    PendingGuard pending;
    if (const char* failure = openDestination(stream, line.outputName, input, pending.report))
        return fail(console, failure);
    const std::string text =
        platform::isTerminal(pending.report) ? escapedForTerminal(answers.text, true) : answers.text;
    if (!platform::writeReport(pending.report, text.data(), text.size()) || !platform::commitReport(pending.report))
        return fail(console, "  Failed to save text file.\n");
    return status;
}

}  // namespace

int runConversion(int argc, const char* const* argv, Console& console) {
    const CommandLine line = parseCommandLine(argc, argv);
    switch (line.outcome) {
        case Outcome::ShowHelp: printHelp(console.text); return 0;
        case Outcome::ShowVersion: printVersion(console.text); return 0;
        default: break;
    }

    // A report into a standard stream: "-o -", or a name that opens one (/dev/stdout). When
    // that is standard output, the report owns it and messages go to standard error; so they
    // do when standard output is the database, which must stay as it is.
    const bool answersToConsole = !line.explainOffsets.empty() && !line.outputNamed;
    const std::optional<platform::Stream> stream =
        answersToConsole        ? std::nullopt
        : line.toStandardOutput ? std::optional(platform::Stream::Output)
        : line.outputName.empty() ? std::nullopt
                                  : platform::streamNamed(line.outputName);
    console.toStandardError =
        stream == platform::Stream::Output ||
        platform::sameFile(platform::idOfStream(platform::Stream::Output), platform::idOfFile(line.inputName));

    switch (line.outcome) {
        case Outcome::BadFirstArgument:
            return fail(console, "  The first argument is not correct.\n");
        case Outcome::MissingOptionValue:
            return fail(console, "  The option " + line.badValue + " needs a value.\n");
        case Outcome::BadExplainOffset:
            return fail(console, "  The offset to explain is not correct (" + line.badValue + ").\n");
        default: break;
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
    // Explaining offsets writes no report, only the answers.
    if (!line.explainOffsets.empty()) {
        const Explanation answers =
            explainImage(image, line.selection, line.explainOffsets, line.form == ReportForm::Json);
        return writeAnswers(line, stream, answers, input.id, console);
    }

    // Destroyed in reverse: the writer is done with the blocks, then the writing thread has
    // ended, before the temporary may be removed.
    PendingGuard pending;
    FileWriter file;
    ReportWriter out(ReportSink{&FileWriter::submit, &file}, ReportWriter::kDefaultBlock,
                     platform::pageAllocator());
    if (!out.ok()) return fail(console, "  Failed to allocate memory.\n");

    if (const char* failure = openDestination(stream, line.outputName, input.id, pending.report))
        return fail(console, failure);
    file.start(pending.report);

    // On a terminal the texts of the database are escaped; the JSON form escapes every
    // byte a terminal could act on already.
    const WalkEnd end = line.form == ReportForm::Json
                            ? renderImageJson(image, line.selection, line.inputName, out)
                            : renderImage(image, line.selection, out, platform::isTerminal(pending.report));
    const bool flushed = out.flush();
    const bool written = file.finish() && flushed;  // always wait for the block in flight
    if (!written || !platform::commitReport(pending.report))
        return fail(console, "  Failed to save text file.\n");
    // With --check a damaged database is told by the status as well as by the report.
    return line.check && end != WalkEnd::Complete ? 2 : 0;
}

}  // namespace symdeck
