#include "frontend/run.h"

#include <optional>
#include <string>

#include "entry/render.h"
#include "forms/diff.h"
#include "forms/explain_answers.h"
#include "forms/text_printer.h"
#include "frontend/command_line.h"
#include "frontend/file_writer.h"
#include "frontend/platform.h"
#include "frontend/viewer_page.h"

namespace symdeck {

namespace {

int fail(Console& console, const std::string& message) {
    console.text += kTitleLine;
    console.text += message;
    return 1;
}

// The system's reason for a failure that the text has told, for standard error:
// "symdeck: NAME: REASON". Nothing where the system gave none.
void tellReason(Console& console, const std::string& name, const std::string& reason) {
    if (reason.empty()) return;
    console.errors += "symdeck: " + name + ": " + reason + "\n";
}

// The name a failure to write the report is told by.
std::string destinationName(const CommandLine& line) {
    return line.outputName.empty() ? std::string("standard output") : line.outputName;
}

// A database that could not be read: the message, and the system's reason.
int readFailure(Console& console, platform::ReadStatus status, const std::string& name, const std::string& reason) {
    tellReason(console, name, reason);
    switch (status) {
        case platform::ReadStatus::CannotOpen: return fail(console, "  Can't open nms file (" + name + ").\n");
        case platform::ReadStatus::NoMemory: return fail(console, "  Failed to allocate memory.\n");
        default: return fail(console, "  Failed to read nms file.\n");
    }
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
// place as a report is. On a terminal the texts of the database in them are escaped, so the
// walk waits until the destination is known.
int writeAnswers(const CommandLine& line, std::optional<platform::Stream> stream, const NmsImage& image,
                 const platform::FileId& input, Console& console) {
    const bool json = line.form == ReportForm::Json;
    if (!line.outputNamed) {
        if (platform::sameFile(platform::idOfStream(platform::Stream::Output), input))
            return fail(console, kSameFileMessage);
        const Explanation answers = explainImage(image, line.selection, line.explainOffsets, json,
                                                 platform::standardOutputIsTerminal());
        console.text += answers.text;
        return line.check && answers.end != WalkEnd::Complete ? 2 : 0;
    }
    PendingGuard pending;
    if (const char* failure = openDestination(stream, line.outputName, input, pending.report)) {
        tellReason(console, destinationName(line), pending.report.failure);
        return fail(console, failure);
    }
    const Explanation answers =
        explainImage(image, line.selection, line.explainOffsets, json, platform::isTerminal(pending.report));
    if (!platform::writeReport(pending.report, answers.text.data(), answers.text.size()) ||
        !platform::commitReport(pending.report)) {
        tellReason(console, destinationName(line), pending.report.failure);
        return fail(console, "  Failed to save text file.\n");
    }
    return line.check && answers.end != WalkEnd::Complete ? 2 : 0;
}

// The viewer's page with the database in it. The page walks the database itself; with
// --check the program walks it too, for the status (the text only counted).
WalkEnd writePage(const PageTemplate& page, const CommandLine& line, const NmsImage& image, ReportWriter& out,
                  FieldProblems& problems, Stop& stop) {
    writeHtmlPage(out, page, line.inputName, image, line.selection);
    if (!line.check) return WalkEnd::Complete;
    ReportWriter counting(ReportSink{[](void*, const char*, size_t) { return true; }, nullptr}, 64 * 1024);
    return renderImage(image, line.selection, counting, false, &problems, &stop);
}

// --check's line for standard error: what the walk found in the database, so that a loop
// over many databases tells a person what it found without reading the reports:
// "symdeck: app.nms: 2 damaged fields, 0 unknown values; complete", or with "stopped:" and
// the report's error line in place of "complete".
// With --keep-going, or when sections overlap, the damages follow: "; 3 damages".
void checkSummary(Console& console, const std::string& name, const FieldProblems& problems, const Stop& stop,
                  const Damages& damages, bool keepGoing) {
    std::string line = "symdeck: " + name + ": ";
    const auto count = [&](uint64_t n, const char* one, const char* many) {
        line += std::to_string(n);
        line += n == 1 ? one : many;
    };
    count(problems.damaged, " damaged field, ", " damaged fields, ");
    count(problems.unknown, " unknown value; ", " unknown values; ");
    if (stop.end == WalkEnd::Complete) {
        line += "complete";
    } else {
        line += "stopped: ";
        ReportWriter out(ReportSink{[](void* text, const char* data, size_t size) {
                                        static_cast<std::string*>(text)->append(data, size);
                                        return true;
                                    },
                                    &line},
                         1024);
        spellStop(out, stop);
        out.flush();
    }
    // Damages are new with --keep-going and with overlapping sections: the line of a
    // database with neither reads as it always did.
    if (keepGoing || damages.count != 0) {
        line += "; ";
        line += std::to_string(damages.count);
        line += damages.count == 1 ? " damage" : " damages";
    }
    console.errors += line + "\n";
}

// --diff OLD NEW: the changes from one database to the other, to standard output or the -o
// file. Exit status as diff's: 0 the same, 1 different, 2 trouble (a file that cannot be
// read, one that is no database at all, an output that cannot be written), with no change
// written.
int runDiff(const CommandLine& line, std::optional<platform::Stream> stream, Console& console) {
    const auto trouble = [&](const std::string& message) {
        fail(console, message);
        return 2;
    };
    platform::InputFile files[2];
    const std::string* names[2] = {&line.inputName, &line.diffNewName};
    for (int i = 0; i < 2; ++i) {
        const platform::ReadStatus status = platform::readWholeFile(*names[i], files[i]);
        if (status != platform::ReadStatus::Ok) {
            readFailure(console, status, *names[i], files[i].failure);
            return 2;
        }
    }
    const NmsImage before{files[0].bytes.data(), files[0].size};
    const NmsImage after{files[1].bytes.data(), files[1].size};
    for (int i = 0; i < 2; ++i)
        if (!isNmsDatabase(i == 0 ? before : after)) return trouble("  " + *names[i] + " is no nms database.\n");

    PendingGuard pending;
    FileWriter file;
    ReportWriter out(ReportSink{&FileWriter::submit, &file}, ReportWriter::kDefaultBlock, platform::pageAllocator());
    if (!out.ok()) return trouble("  Failed to allocate memory.\n");
    const bool toFile = line.outputNamed && !line.toStandardOutput;
    if (toFile && platform::sameFile(platform::idOfFile(line.outputName), files[1].id))
        return trouble(kSameFileMessage);
    if (const char* failure = openDestination(toFile ? stream : std::optional(platform::Stream::Output),
                                              line.outputName, files[0].id, pending.report)) {
        tellReason(console, destinationName(line), pending.report.failure);
        return trouble(failure);
    }
    file.start(pending.report);
    const DiffResult result =
        writeDiff(DiffInput{line.inputName, &before}, DiffInput{line.diffNewName, &after}, line.selection,
                  line.form == ReportForm::JsonLines ? DiffForm::JsonLines : DiffForm::Text,
                  platform::isTerminal(pending.report), out);
    const bool flushed = out.flush();
    const bool written = file.finish() && flushed;
    if (!written || !platform::commitReport(pending.report)) {
        tellReason(console, destinationName(line), pending.report.failure);
        return trouble("  Failed to save text file.\n");
    }
    return result.same() ? 0 : 1;
}

}  // namespace

int runConversion(int argc, const char* const* argv, Console& console) {
    const CommandLine line = parseCommandLine(argc, argv);
    switch (line.outcome) {
        case Outcome::ShowHelp: printHelp(console.text); return 0;
        case Outcome::ShowVersion: printVersion(console.text); return 0;
        default: break;
    }
    // A misspelt switch is passed over, as it always was, but not in silence: a script's
    // "--chek" would otherwise pass for "--check".
    for (const std::string& unknown : line.unknownSwitches)
        console.errors += "symdeck: warning: " + unknown + " is no switch of symdeck; passed over\n";

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

    // The diff's changes go to standard output, its messages never.
    if (line.diff || line.outcome == Outcome::BadDiffArguments) console.toStandardError = true;

    switch (line.outcome) {
        case Outcome::BadFirstArgument:
            return fail(console, "  The first argument is not correct.\n");
        case Outcome::MissingOptionValue:
            return fail(console, "  The option " + line.badValue + " needs a value.\n");
        case Outcome::BadExplainOffset:
            return fail(console, "  The offset to explain is not correct (" + line.badValue + ").\n");
        case Outcome::BadDiffArguments:
            fail(console, "  --diff needs the names of two nms files: --diff OLD.nms NEW.nms\n");
            return 2;
        default: break;
    }
    if (line.diff) return runDiff(line, stream, console);

    // A build without the viewer says so before it reads anything.
    const std::optional<PageTemplate> page =
        line.form == ReportForm::Html && line.explainOffsets.empty() ? embeddedViewerPage() : std::nullopt;
    if (line.form == ReportForm::Html && line.explainOffsets.empty() && !page) return fail(console, kNoViewerMessage);

    platform::InputFile input;
    if (const platform::ReadStatus status = platform::readWholeFile(line.inputName, input);
        status != platform::ReadStatus::Ok)
        return readFailure(console, status, line.inputName, input.failure);

    const NmsImage image{input.bytes.data(), input.size};
    // A page of a gigabyte and more would never open: such a database goes to the
    // standalone viewer, and nothing is written.
    if (page && image.size > kLargestPageDatabase)
        return fail(console, "  " + line.inputName +
                                 " is larger than a page holds (" + std::to_string(kLargestPageDatabase >> 20) +
                                 " MiB): open it in the standalone viewer, "
                                 "symdeck-viewer.html (make viewer; share/symdeck where symdeck is installed).\n");
    // Explaining offsets writes no report, only the answers.
    if (!line.explainOffsets.empty()) return writeAnswers(line, stream, image, input.id, console);

    // Destroyed in reverse: the writer is done with the blocks, then the writing thread has
    // ended, before the temporary may be removed.
    PendingGuard pending;
    FileWriter file;
    ReportWriter out(ReportSink{&FileWriter::submit, &file}, ReportWriter::kDefaultBlock,
                     platform::pageAllocator());
    if (!out.ok()) return fail(console, "  Failed to allocate memory.\n");

    if (const char* failure = openDestination(stream, line.outputName, input.id, pending.report)) {
        tellReason(console, destinationName(line), pending.report.failure);
        return fail(console, failure);
    }
    file.start(pending.report);

    // On a terminal the texts of the database are escaped; the JSON form escapes every
    // byte a terminal could act on already.
    FieldProblems problems;
    Stop stop;
    Damages damages;
    const WalkEnd end =
        page ? writePage(*page, line, image, out, problems, stop)
        : line.form == ReportForm::Text
            ? renderImage(image, line.selection, out, platform::isTerminal(pending.report), &problems, &stop,
                          &damages)
        : line.form == ReportForm::Table || line.form == ReportForm::TableLines
            ? renderImageTable(image, line.selection, line.inputName, out,
                               line.form == ReportForm::TableLines, &problems, &stop)
            : renderImageJson(image, line.selection, line.inputName, out,
                              line.form == ReportForm::JsonLines, &problems, &stop, &damages);
    const bool flushed = out.flush();
    const bool written = file.finish() && flushed;  // always wait for the block in flight
    if (!written || !platform::commitReport(pending.report)) {
        tellReason(console, destinationName(line), pending.report.failure);
        return fail(console, "  Failed to save text file.\n");
    }
    // With --check a damaged database is told by the status as well as by the report: the
    // walk stopped at damage, or a field breaks a rule of the format.
    if (line.check) checkSummary(console, line.inputName, problems, stop, damages, line.selection.keepGoing);
    return line.check && (end != WalkEnd::Complete || problems.damaged != 0 || damages.count != 0) ? 2 : 0;
}

}  // namespace symdeck
