#include "cli/CliApp.h"

#include "cli/CliOptions.h"
#include "cli/PatchFileReader.h"
#include "engine/Analysis.h"
#include "engine/Commands.h"
#include "engine/WorldItem.h"
#include "mapview/ClientDirectory.h"
#include "mapview/png/MapPng.h"
#include "model/ScriptLoader.h"
#include "model/ScriptObjects.h"
#include "model/ScriptSetState.h"
#include "platform/FileReadProgress.h"
#include "platform/Files.h"
#include "platform/Interrupts.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/System.h"
#include "platform/Terminal.h"
#include "platform/TerminalProgressView.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <memory>
#include <new>
#include <ostream>
#include <thread>

namespace frostmark {

namespace {

// ---------------------------------------------------------------- JSON output

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            // Text is single-byte: bytes outside ASCII are shown as the Latin-1 characters they would be.
            if (c < 0x20 || c >= 0x7F) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// A flat JSON object written field by field.
class JsonObject {
public:
    JsonObject& Field(const char* name, const std::string& rawValue) {
        m_text += m_text.empty() ? '{' : ',';
        m_text += JsonString(name);
        m_text += ':';
        m_text += rawValue;
        return *this;
    }
    JsonObject& Str(const char* name, std::string_view value) { return Field(name, JsonString(value)); }
    JsonObject& Num(const char* name, long long value) { return Field(name, std::to_string(value)); }
    JsonObject& Bool(const char* name, bool value) { return Field(name, value ? "true" : "false"); }
    std::string Text() const { return m_text.empty() ? "{}" : m_text + "}"; }
    // The fields so far, "{" and each field, without the closing brace: the start of a longer object.
    const std::string& Open() const { return m_text; }

private:
    std::string m_text;
};

std::string JsonArray(const std::vector<std::string>& rawValues) {
    std::string out = "[";
    for (std::size_t i = 0; i < rawValues.size(); ++i)
        out += (i ? "," : "") + rawValues[i];
    return out + "]";
}

std::string JsonStrings(const std::vector<std::string>& values) {
    std::vector<std::string> raw;
    for (const std::string& value : values)
        raw.push_back(JsonString(value));
    return JsonArray(raw);
}

std::string Hex4(unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04x", value);
    return buffer;
}

// Hexadecimal values (art IDs, serials, attributes, colours, the option word) as JSON text in the form
// every option reads back: "0x0eed".
std::string JsonHex(std::uint32_t value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*x", digits, value);
    return JsonString(buffer);
}

// A stream that drops what it is given: the informational lines under --quiet.
class CNullStream : public std::ostream {
public:
    CNullStream() : std::ostream(nullptr) {}
};

// ---------------------------------------------------------------- services for a terminal

// Messages of the script loaders ("Unable to open file %s for input.") go to stderr.
class CErrorStreamMessages : public IMessageBox {
public:
    explicit CErrorStreamMessages(std::ostream& err) : m_err(err) {}
    MessageAnswer Show(const std::string& text, const std::string&, MessageIcon icon,
                       MessageButtons buttons) override {
        m_err << "frostmark-cli: " << (icon == MessageIcon::Error ? "" : "warning: ") << text << "\n";
        m_err.flush();
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }

private:
    std::ostream& m_err;
};

// One progress bar per phase (analysis, patch, clean), drawn only on a terminal.
//
// Tests of the built program interrupt it at chosen moments: with FROSTMARK_TEST_PAUSE set to "analysis",
// "writing", "complete" (every output written, none in place) or "renamed" (freeze: the patch file in
// place, the cleaned world not yet), the program says "frostmark-cli: test pause at STAGE" on stderr when
// it gets there and waits for an interruption (a minute at most) before it goes on.
class CCliProgress : public IAnalysisObserver, public ICommandProgress {
public:
    CCliProgress(std::FILE* terminal, std::ostream& err, const CCancelToken* cancel)
        : m_terminal(terminal), m_err(err), m_cancel(cancel) {
        if (const std::optional<std::string> stage = GetEnvironment("FROSTMARK_TEST_PAUSE"))
            m_pauseAt = *stage;
    }

    void Begin(const std::string& status, std::uint64_t total) {
        End();
        if (!m_terminal)
            return;
        m_err.flush();
        m_progress = std::make_unique<CFileReadProgress>(std::make_unique<CTerminalProgressView>(m_terminal));
        m_progress->SetStatusText(status);
        m_scale = CProgressScale::ForLength(total);
        m_progress->SetRange(0, m_scale.maximum);
        m_progress->SetPosition(0);
        m_progress->DrawProgress();
    }
    void Move(std::uint64_t done) {
        if (!m_progress)
            return;
        std::uint32_t position = m_scale.Scale(done);
        if (position == m_progress->Position())
            return;
        m_progress->SetPosition(position);
        m_progress->DrawProgress();
    }
    // Erases the bar so that the next output starts on a clean line.
    void End() { m_progress.reset(); }

    void SetStatus(const std::string& status) { m_status = status; }
    void OnStart(std::uint64_t fileSize) override { Begin(m_status, fileSize); }
    void OnProgress(const CAnalysisCounts&, std::uint64_t bytePosition) override {
        Pause("analysis");
        Move(bytePosition);
    }
    void OnProgress(std::uint64_t done, std::uint64_t total) override {
        if (done > 0)
            Pause("writing");
        if (m_terminal && (!m_progress || m_scale.maximum != CProgressScale::ForLength(total).maximum))
            Begin(m_status, total);
        Move(done);
    }
    void OnStage(CommandStage stage) override {
        Pause(stage == CommandStage::OutputsComplete ? "complete" : "renamed");
    }

private:
    void Pause(const char* stage) {
        if (m_pauseAt != stage)
            return;
        m_pauseAt.clear();
        m_err << "frostmark-cli: test pause at " << stage << std::endl;
        for (int waited = 0; waited < 60000 && !IsCancelled(m_cancel); waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    std::FILE* m_terminal;
    std::ostream& m_err;
    std::unique_ptr<CFileReadProgress> m_progress;
    CProgressScale m_scale;
    std::string m_status;
    const CCancelToken* m_cancel;
    std::string m_pauseAt;
};

// Where the progress bar goes: nowhere with --no-progress, --quiet or --verbose (whose lines would cut
// through it), else the terminal the caller found.
std::FILE* ProgressTerminal(const CCliOptions& options, const CCliEnvironment& environment) {
    return options.progress && !options.quiet && !options.verbose ? environment.progressTerminal : nullptr;
}

class CRunContext {
public:
    CRunContext(const CCliOptions& options, CCliEnvironment& environment)
        : options(options), environment(environment), out(environment.out), err(environment.err),
          messages(environment.err), interrupt(environment.interrupt),
          cancel(interrupt ? &interrupt->token : nullptr),
          progress(ProgressTerminal(options, environment), environment.err, cancel) {
        if (std::FILE* terminal = ProgressTerminal(options, environment)) {
            terminalViews = std::make_unique<CTerminalProgressViewFactory>(terminal);
            services.progressViews = terminalViews.get();
        }
        services.messages = &messages;
    }

    // Where the lines that tell what was done go: stdout, unless stdout carries the output asked for
    // (a file, the --list table), then stderr; nowhere under --quiet.
    std::ostream& Info(bool stdoutTaken = false) {
        if (options.quiet)
            return m_null;
        return stdoutTaken || options.list ? err : out;
    }
    void Warn(const std::string& text) {
        progress.End();
        if (!options.quiet)
            err << "frostmark-cli: warning: " << text << "\n";
        warnings.push_back(text);
    }
    // Reports a failure on stderr (and as JSON on stdout with --json) and answers the exit status.
    int Fail(int code, const std::string& text) {
        progress.End();
        err << "frostmark-cli: " << text << "\n";
        g_Log.Log("frostmark-cli: %s", text.c_str());
        if (options.json) {
            out << JsonObject()
                       .Str("command", CommandName(options.command))
                       .Bool("ok", false)
                       .Num("exitCode", code)
                       .Str("error", text)
                       .Field("warnings", JsonStrings(warnings))
                       .Text()
                << "\n";
        }
        return code;
    }

    bool Interrupted() const { return IsCancelled(cancel); }
    // Ends the run after an interruption: one line saying which files are as they were, and 128 plus the
    // request's number.
    int Interrupt() {
        const int request = interrupt->request.load();
        const CliCommand command = options.command;
        std::string files;
        if (command == CliCommand::Freeze)
            files = options.patch + " and " + options.out + " are as they were";
        else if (command == CliCommand::Patch)
            files = options.patch + " is as it was";
        else if (command == CliCommand::Clean || command == CliCommand::Map)
            files = options.out + " is as it was";
        return Fail(128 + request, std::string("interrupted by ") + InterruptName(request) +
                                       ": nothing written" + (files.empty() ? "" : "; " + files));
    }

    const CCliOptions& options;
    CCliEnvironment& environment;
    std::ostream& out;
    std::ostream& err;
    CErrorStreamMessages messages;
    std::unique_ptr<CTerminalProgressViewFactory> terminalViews;
    CServices services;
    CCliInterrupt* interrupt;
    const CCancelToken* cancel; // the interrupt's, null when nothing interrupts the run
    CCliProgress progress;
    std::vector<std::string> warnings;

private:
    CNullStream m_null;
};

// Standard input read whole (a patch file given as "-").
std::vector<unsigned char> ReadAllInput(std::istream* in) {
    std::vector<unsigned char> bytes;
    if (in)
        bytes.assign(std::istreambuf_iterator<char>(*in), std::istreambuf_iterator<char>());
    return bytes;
}

// A file written for standard output ("-") is first written whole under a temporary name, so that a
// failure sends nothing; then it is copied out and removed.
class CStdoutFile {
public:
    explicit CStdoutFile(const char* extension) {
        std::error_code ec;
        std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
        if (ec)
            dir = ".";
        static unsigned counter = 0;
        m_path = Utf8FromPath(dir / ("frostmark-stdout-" +
                                     std::to_string(std::hash<const void*>()(this) % 1000000) + "-" +
                                     std::to_string(++counter) + extension));
    }
    ~CStdoutFile() {
        std::error_code ec;
        std::filesystem::remove(PathFromUtf8(m_path), ec);
    }
    const std::string& Path() const { return m_path; }
    // Copies the finished file to standard output; false when it cannot be read back or written.
    bool CopyTo(CCliEnvironment& environment) const {
        std::ifstream in(PathFromUtf8(m_path), std::ios::binary);
        if (!in)
            return false;
        environment.out.flush();
        if (environment.outFile)
            UseBinaryMode(environment.outFile);
        environment.out << in.rdbuf();
        environment.out.flush();
        return static_cast<bool>(environment.out);
    }

private:
    std::string m_path;
};

int UsageError(CCliEnvironment& environment, const std::string& text, int code = kExitUsage) {
    environment.err << "frostmark-cli: " << text << "\n";
    if (code == kExitUsage)
        environment.err << "Try 'frostmark-cli --help' for more information.\n";
    return code;
}

// ---------------------------------------------------------------- analyze, patch, clean, freeze

// An object of a patch inside its block, as one number: its cell, art, z and colour.
std::uint64_t BlockObjectKey(unsigned x, unsigned y, unsigned art, unsigned z, unsigned color) {
    return (std::uint64_t(x & 7u) << 43) | (std::uint64_t(y & 7u) << 40) |
           (std::uint64_t(art & 0xFFFFu) << 24) | (std::uint64_t(z & 0xFFu) << 16) | (color & 0xFFFFu);
}

enum class PatchMatch { Same, Differs, Cancelled };

// Whether the patch file holds exactly the freeze list's objects, as many of each. Compared block by
// block (the file's groups come in block order, the list's objects are counted into their blocks), so
// that no sort of millions of objects runs where Ctrl+C cannot stop it.
PatchMatch MatchPatch(const CPatchFileContents& contents, const CFreezeList& list, CScriptContext& context,
                      const CCancelToken* cancel) {
    if (contents.ObjectCount() != list.Count())
        return PatchMatch::Differs;
    constexpr std::size_t kBlocks = std::size_t{kBlockColumns} * kBlockRows;
    constexpr std::size_t kCheckEvery = std::size_t(1) << 16;
    // Where each block's objects start among the list's keys.
    std::vector<std::size_t> start(kBlocks + 1, 0);
    for (std::size_t i = 0; i < list.Count(); ++i) {
        if (i % kCheckEvery == 0 && IsCancelled(cancel))
            return PatchMatch::Cancelled;
        if (!LiesOnMap(list[i]))
            return PatchMatch::Differs; // no patch holds it
        ++start[BlockIndex(list[i]) + 1];
    }
    for (std::size_t block = 0; block < kBlocks; ++block)
        start[block + 1] += start[block];
    std::vector<std::uint64_t> keys(list.Count());
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    for (std::size_t i = 0; i < list.Count(); ++i) {
        if (i % kCheckEvery == 0 && IsCancelled(cancel))
            return PatchMatch::Cancelled;
        const CWorldItem& item = list[i];
        keys[next[BlockIndex(item)]++] =
            BlockObjectKey(item.x % 8u, item.y % 8u, ArtId(item, context), item.z, item.color);
    }
    std::vector<std::uint64_t> group;
    std::size_t compared = 0;
    for (const CPatchGroup& patchGroup : contents.groups) {
        if (compared >= kCheckEvery) {
            if (IsCancelled(cancel))
                return PatchMatch::Cancelled;
            compared = 0;
        }
        if (patchGroup.block >= kBlocks)
            return PatchMatch::Differs;
        const auto first = keys.begin() + start[patchGroup.block];
        const auto last = keys.begin() + start[patchGroup.block + 1];
        if (static_cast<std::size_t>(last - first) != patchGroup.objects.size())
            return PatchMatch::Differs;
        group.clear();
        for (const CPatchObject& object : patchGroup.objects)
            group.push_back(BlockObjectKey(object.x, object.y, object.art, object.z, object.color));
        std::sort(first, last);
        std::sort(group.begin(), group.end());
        if (!std::equal(first, last, group.begin()))
            return PatchMatch::Differs;
        compared += group.size() + 1;
    }
    // Every group holds its block's objects and the counts agree, so no block of the list was left out.
    return PatchMatch::Same;
}

// One object of analyze --list --json, written to the stream with its ID escaped a piece at a time: an ID
// may be a line of hundreds of megabytes, which must not be held again (and escaped again) beside the
// freeze list's own copy.
void WriteObjectJson(std::ostream& out, const CWorldItem& item, CScriptContext& context) {
    const std::string_view id(item.id.data(), item.id.size());
    out << "{\"id\":\"";
    constexpr std::size_t kPiece = std::size_t(1) << 16;
    for (std::size_t at = 0; at < id.size(); at += kPiece) {
        const std::string piece = JsonString(id.substr(at, kPiece));
        out.write(piece.data() + 1, static_cast<std::streamsize>(piece.size() - 2)); // without its quotes
    }
    const std::string rest = JsonObject()
                                 .Field("art", JsonHex(ArtId(item, context), 4))
                                 .Field("serial", JsonHex(item.serial, 8))
                                 .Num("x", item.x)
                                 .Num("y", item.y)
                                 .Num("z", static_cast<std::int8_t>(item.z))
                                 .Field("color", JsonHex(item.color, 4))
                                 .Num("type", item.type)
                                 .Field("attr", JsonHex(item.attr, 4))
                                 .Text();
    out << "\"," << std::string_view(rest).substr(1);
}

// One line of analyze --list: the columns of kObjectTableHeader; z as the world file writes it. The ID is
// written from the list's own copy, however long it is.
void WriteObjectRow(std::ostream& out, const CWorldItem& item, CScriptContext& context) {
    char line[160];
    std::snprintf(line, sizeof line, "\t%04x\t%08x\t%ld\t%ld\t%ld\t%04x\t%lu\t%04x",
                  static_cast<unsigned>(ArtId(item, context)), static_cast<unsigned>(item.serial),
                  static_cast<long>(item.x), static_cast<long>(item.y),
                  static_cast<long>(static_cast<std::int8_t>(item.z)), static_cast<unsigned>(item.color),
                  static_cast<unsigned long>(item.type), static_cast<unsigned>(item.attr));
    out.write(item.id.data(), static_cast<std::streamsize>(item.id.size()));
    out << line << "\n";
}
constexpr const char* kObjectTableHeader = "id\tart\tserial\tx\ty\tz\tcolor\ttype\tattr";

// Why an output path cannot be written, checked before the analysis so that a long run does not end in
// a failure that was known from the start. Empty when the path looks writable; the write itself still
// checks everything again.
std::string OutputProblem(const std::string& path) {
    CPathInfo info;
    if (QueryPath(path, info) && info.type != FileType::Missing && info.type != FileType::Regular)
        return info.type == FileType::Directory ? "is a directory" : "is not a regular file";
    std::string parent = Utf8FromPath(PathFromUtf8(path).parent_path());
    if (parent.empty())
        parent = ".";
    CPathInfo parentInfo;
    if (!QueryPath(parent, parentInfo) || parentInfo.type == FileType::Missing)
        return "the directory " + parent + " does not exist";
    if (parentInfo.type != FileType::Directory)
        return parent + " is not a directory";
    if (CFileError error; !CheckWritableDirectory(parent, error))
        return "the directory " + parent + " is not writable (" + error.message + ")";
    return {};
}

// Loads the scripts and analyses the world file for the freeze commands and the map. Answers kExitOk or
// the failure's exit status (already reported).
int RunAnalysisStep(CRunContext& run, CScriptObjects& scripts, CFreezeList& list, CAnalysisResult& analysis) {
    const CCliOptions& o = run.options;
    scripts.SetServices(run.services);
    CAnalysisRequest request;
    request.worldPath = o.world;
    request.scriptDirectory = o.scripts;
    request.options = o.FreezeOptions();
    request.cancel = run.cancel;

    g_Log.Log("Analyzing %s", o.world.c_str());
    run.progress.SetStatus("Analyzing " + o.world);
    bool scriptsLoaded = false;
    analysis = Analyze(scripts, request, run.services, list, &run.progress, &scriptsLoaded);
    run.progress.End();
    switch (analysis.status) {
    case AnalysisStatus::Ok:
        break;
    case AnalysisStatus::NoWorldPath:
        return run.Fail(kExitUsage, "--world: " + analysis.Message());
    case AnalysisStatus::Cancelled:
        return run.Interrupt();
    case AnalysisStatus::OutOfMemory:
        return run.Fail(kExitFailure, analysis.Message());
    case AnalysisStatus::WorldUnreadable:
    case AnalysisStatus::ScriptsUnreadable:
    case AnalysisStatus::NoScriptFiles:
    case AnalysisStatus::ReadFailed:
    case AnalysisStatus::EvaluationFailed:
        return run.Fail(kExitInput,
                        analysis.Message() + (analysis.status == AnalysisStatus::WorldUnreadable &&
                                                      !analysis.errorReason.empty()
                                                  ? ": " + analysis.errorReason
                                                  : ""));
    }
    if (o.scriptsGiven && scripts.itemDefs.IsEmpty())
        run.Warn("no item definitions found in the script directory " + o.scripts);
    if (const std::string note = FormatOutsideMapNote(analysis.counts); !note.empty()) {
        run.Warn(note);
        g_Log.Log("%s", note.c_str());
    }
    g_Log.Log("Analysis of %s: %lld top-level objects, %lld to freeze", o.world.c_str(),
              static_cast<long long>(analysis.counts.topLevel),
              static_cast<long long>(analysis.counts.toFreeze));
    return kExitOk;
}

int RunFreezeCommand(CRunContext& run) {
    const CCliOptions& o = run.options;
    const CliCommand command = o.command;
    const bool writesPatch = command == CliCommand::Patch || command == CliCommand::Freeze;
    const bool cleans = command == CliCommand::Clean || command == CliCommand::Freeze;
    // "--patch -": patch writes the file to standard output, clean reads it from standard input.
    const bool patchOnStdout = command == CliCommand::Patch && o.patch == "-";
    const bool patchOnStdin = command == CliCommand::Clean && o.patch == "-";
    std::ostream& info = run.Info(patchOnStdout);

    // Outputs that would overwrite an input are refused before anything is read or written.
    if (writesPatch && !patchOnStdout && NamesSameFile(o.patch, o.world))
        return run.Fail(kExitUsage,
                        "--patch: " + o.patch + " is the world file being read; choose another path");
    if (cleans && NamesSameFile(o.out, o.world))
        return run.Fail(kExitUsage, "--out: " + o.out + " is the world file being read; choose another path");
    if (command == CliCommand::Freeze && NamesSameFile(o.out, o.patch))
        return run.Fail(kExitUsage,
                        "--out: " + o.out + " is also the patch file (--patch); choose another path");

    if (writesPatch && !patchOnStdout) {
        std::string problem = OutputProblem(o.patch);
        if (!problem.empty())
            return run.Fail(kExitOutput, "Unable to create " + o.patch + ": " + problem);
    }
    if (cleans) {
        std::string problem = OutputProblem(o.out);
        if (!problem.empty())
            return run.Fail(kExitOutput, "Unable to create " + o.out + ": " + problem);
    }

    // The patch file clean must match: read before the long analysis, so a missing one is told at once.
    CPatchFileContents stdinPatch;
    if (patchOnStdin) {
        stdinPatch = ParsePatchBytes(ReadAllInput(run.environment.in), "standard input");
        if (!stdinPatch.ok)
            return run.Fail(kExitInput, "clean needs the patch file of this selection: " + stdinPatch.error);
    } else if (command == CliCommand::Clean && !std::filesystem::is_regular_file(PathFromUtf8(o.patch))) {
        CPatchFileContents contents = ReadPatchFile(o.patch);
        return run.Fail(kExitInput, "clean needs the patch file of this selection: " + contents.error +
                                        " (write it first with 'frostmark-cli patch' and the same options)");
    }

    if (!o.scriptsGiven)
        run.Warn("no --scripts given: item definitions and DEFNAME names take no part in the selection");

    CScriptObjects scripts;
    CFreezeList list;
    CAnalysisResult analysis;
    if (int code = RunAnalysisStep(run, scripts, list, analysis); code != kExitOk)
        return code;
    const CAnalysisCounts& counts = analysis.counts;

    JsonObject json;
    json.Str("command", CommandName(command)).Bool("ok", true).Str("world", o.world);
    if (o.scriptsGiven)
        json.Str("scripts", o.scripts).Num("itemDefinitions", scripts.itemDefs.GetSize());
    json.Field("flags", JsonHex(o.flags, 6))
        .Num("topLevelObjects", counts.topLevel)
        .Num("objectsToFreeze", counts.toFreeze)
        .Num("approximatePatchSize", counts.sizeEstimate)
        .Num("objectsOutsideMap", counts.outsideMap);

    if (!o.json) {
        // --list: the table alone on stdout, the figures after it on stderr.
        if (o.list) {
            run.out << kObjectTableHeader << "\n";
            for (std::size_t i = 0; i < list.Count(); ++i) {
                if (i % 65536 == 0 && run.Interrupted())
                    return run.Interrupt();
                WriteObjectRow(run.out, list[i], scripts);
            }
            run.out.flush();
        }
        info << "Number of Top-Level Objects: " << FormatTopLevelCount(counts) << "\n"
             << "Number of Objects to Freeze: " << FormatFreezeCount(counts) << "\n"
             << "Approximate size of resulting patch file: " << FormatSizeEstimate(counts) << "\n";
        info.flush();
    }
    // --list --json: the objects come next, written straight from the list at the end; the fields before
    // them are kept, the ones after them gathered anew.
    std::string fieldsBeforeObjects;
    if (o.json && o.list) {
        fieldsBeforeObjects = json.Open();
        json = JsonObject();
    }

    // freeze writes both files at once; the cleaned world appears only after the patch file did.
    CFreezeResult both;
    if (command == CliCommand::Freeze) {
        run.progress.SetStatus("Writing " + o.patch + " and " + o.out);
        CCleanOptions options;
        options.cancel = run.cancel;
        options.lineEnd = o.lineEnd;
        both = FreezeWorldFiles(o.patch, o.world, o.out, list, scripts, &run.progress, options);
        run.progress.End();
        if (both.cancelled())
            return run.Interrupt();
        if (!both.ok()) {
            // Neither file was written; the other result only says so, this one says why.
            const CCommandResult& failure = both.Failure();
            const bool inputFault = !both.patchCaused && failure.errorPath == o.world;
            if (both.pairBroken)
                return run.Fail(kExitOutput, failure.error + "; " + both.patch.error);
            return run.Fail(inputFault ? kExitInput : kExitOutput, failure.error);
        }
    }
    if (writesPatch) {
        CPatchResult patch;
        if (command == CliCommand::Freeze) {
            patch = both.patch;
        } else {
            CStdoutFile stdoutFile(".frz");
            const std::string& target = patchOnStdout ? stdoutFile.Path() : o.patch;
            run.progress.SetStatus("Writing " + o.patch);
            run.progress.Begin("Writing " + o.patch, list.Count());
            patch = CreatePatchFile(target, list, scripts, &run.progress, o.world, run.cancel);
            run.progress.End();
            if (patch.cancelled)
                return run.Interrupt();
            if (patch.ok && patchOnStdout && !stdoutFile.CopyTo(run.environment))
                return run.Fail(kExitOutput, "the patch file could not be copied to standard output");
        }
        if (!patch.ok)
            return run.Fail(patch.OutOfMemory() ? kExitFailure : kExitOutput, patch.error);
        g_Log.Log("Patch file %s written: %llu objects in %llu groups", o.patch.c_str(),
                  static_cast<unsigned long long>(patch.objects),
                  static_cast<unsigned long long>(patch.groups));
        if (!o.json)
            info << "Patch file written: " << (patchOnStdout ? "standard output" : o.patch) << " ("
                 << FormatCounted(patch.objects, "object", "objects") << " in "
                 << FormatCounted(patch.groups, "group", "groups") << ", "
                 << FormatCounted(patch.bytes, "byte", "bytes") << ")\n";
        json.Field("patch", JsonObject()
                                .Str("path", o.patch)
                                .Num("objects", static_cast<long long>(patch.objects))
                                .Num("groups", static_cast<long long>(patch.groups))
                                .Num("bytes", static_cast<long long>(patch.bytes))
                                .Text());
    }

    if (cleans) {
        if (command == CliCommand::Clean) {
            // The desktop program only cleans after writing the patch; here the patch file on disk must
            // hold exactly this analysis's objects, or the cleaned world would lose objects for good.
            CPatchFileContents contents = patchOnStdin ? stdinPatch : ReadPatchFile(o.patch);
            if (run.Interrupted())
                return run.Interrupt();
            if (!contents.ok)
                return run.Fail(kExitInput,
                                "clean needs the patch file of this selection: " + contents.error +
                                    " (write it first with 'frostmark-cli patch' and the same options)");
            const PatchMatch match = MatchPatch(contents, list, scripts, run.cancel);
            if (match == PatchMatch::Cancelled)
                return run.Interrupt();
            if (match == PatchMatch::Differs)
                return run.Fail(kExitInput,
                                o.patch +
                                    ": does not hold the objects this analysis freezes (the file holds " +
                                    std::to_string(contents.ObjectCount()) + ", the analysis freezes " +
                                    std::to_string(list.Count()) +
                                    "); write it again with 'frostmark-cli patch' and the same "
                                    "options, or use freeze");
        }
        CCleanResult clean;
        if (command == CliCommand::Freeze) {
            clean = both.clean;
        } else {
            run.progress.SetStatus("Writing " + o.out);
            CCleanOptions options;
            options.cancel = run.cancel;
            options.lineEnd = o.lineEnd;
            clean = CleanWorldFile(o.world, o.out, list, scripts, &run.progress, options);
            run.progress.End();
            if (clean.cancelled)
                return run.Interrupt();
        }
        if (!clean.ok) {
            if (clean.OutOfMemory())
                return run.Fail(kExitFailure, clean.error);
            bool inputFault = clean.errorPath == o.world && !NamesSameFile(o.world, o.out);
            return run.Fail(inputFault ? kExitInput : kExitOutput, clean.error);
        }
        g_Log.Log("World file %s written: %llu of %llu frozen records dropped", o.out.c_str(),
                  static_cast<unsigned long long>(clean.recordsDropped),
                  static_cast<unsigned long long>(clean.recordsExpected));
        if (clean.recordsDropped < clean.recordsExpected)
            run.Warn("only " + std::to_string(clean.recordsDropped) + " of the " +
                     std::to_string(clean.recordsExpected) + " frozen records were found in " + o.world +
                     " and dropped; the others stay in " + o.out +
                     " (the world file changed since the analysis?)");
        else if (clean.recordsDropped > clean.recordsExpected)
            run.Warn(std::to_string(clean.recordsDropped) + " records were dropped for the " +
                     std::to_string(clean.recordsExpected) + " frozen ones: records of " + o.world +
                     " share serials with frozen records, and records that are not in the patch file are "
                     "missing from " +
                     o.out);
        if (!o.json)
            info << "Output world file written: " << o.out << " (" << clean.recordsDropped << " of "
                 << FormatCounted(clean.recordsExpected, "frozen record", "frozen records") << " dropped)\n";
        json.Field("clean", JsonObject()
                                .Str("path", o.out)
                                .Num("recordsDropped", static_cast<long long>(clean.recordsDropped))
                                .Num("recordsExpected", static_cast<long long>(clean.recordsExpected))
                                .Num("bytes", static_cast<long long>(clean.bytesWritten))
                                .Text());
    }
    if (o.json) {
        json.Field("warnings", JsonStrings(run.warnings));
        if (o.list) {
            run.out << fieldsBeforeObjects << ",\"objects\":[";
            for (std::size_t i = 0; i < list.Count(); ++i) {
                if (i % 65536 == 0 && run.Interrupted())
                    return run.Interrupt();
                if (i != 0)
                    run.out << ',';
                WriteObjectJson(run.out, list[i], scripts);
            }
            run.out << "]," << std::string_view(json.Open()).substr(1) << "}\n";
        } else {
            run.out << json.Text() << "\n";
        }
    }
    return kExitOk;
}

// ---------------------------------------------------------------- inspect

int RunInspect(CRunContext& run) {
    const CCliOptions& o = run.options;
    const bool fromStdin = o.operand == "-";
    const std::string name = fromStdin ? "standard input" : o.operand;
    CPatchFileContents contents =
        fromStdin ? ParsePatchBytes(ReadAllInput(run.environment.in), name) : ReadPatchFile(o.operand);
    if (run.Interrupted())
        return run.Interrupt();
    if (!contents.ok)
        return run.Fail(kExitInput, contents.error);
    for (const std::string& warning : contents.warnings)
        run.Warn(name + ": " + warning);
    if (o.json) {
        JsonObject json;
        json.Str("command", "inspect")
            .Bool("ok", true)
            .Str("path", o.operand)
            .Num("bytes", static_cast<long long>(contents.size))
            .Num("groups", static_cast<long long>(contents.groups.size()))
            .Num("objects", static_cast<long long>(contents.ObjectCount()));
        if (o.list) {
            std::vector<std::string> groups;
            for (const CPatchGroup& group : contents.groups) {
                std::vector<std::string> objects;
                for (const CPatchObject& object : group.objects)
                    objects.push_back(JsonObject()
                                          .Field("art", JsonHex(object.art, 4))
                                          .Num("x", group.OriginX() + object.x)
                                          .Num("y", group.OriginY() + object.y)
                                          .Num("z", static_cast<std::int8_t>(object.z))
                                          .Field("color", JsonHex(object.color, 4))
                                          .Text());
                groups.push_back(
                    JsonObject().Num("block", group.block).Field("objects", JsonArray(objects)).Text());
            }
            json.Field("groupList", JsonArray(groups));
        }
        run.out << json.Field("warnings", JsonStrings(run.warnings)).Text() << "\n";
        return kExitOk;
    }
    // --list: one row per object in file order, the summary after it on stderr.
    if (o.list) {
        run.out << "block\tart\tx\ty\tz\tcolor\n";
        for (const CPatchGroup& group : contents.groups) {
            for (const CPatchObject& object : group.objects) {
                run.out << group.block << "\t" << Hex4(object.art) << "\t" << group.OriginX() + object.x
                        << "\t" << group.OriginY() + object.y << "\t"
                        << int(static_cast<std::int8_t>(object.z)) << "\t" << Hex4(object.color) << "\n";
            }
        }
        run.out.flush();
    }
    run.Info() << "Freeze patch file: " << name << "\n"
               << "Size: " << FormatCounted(contents.size, "byte", "bytes") << "\n"
               << "Groups: " << contents.groups.size() << "\n"
               << "Objects: " << contents.ObjectCount() << "\n";
    return kExitOk;
}

// ---------------------------------------------------------------- scripts

int RunScripts(CRunContext& run) {
    const CCliOptions& o = run.options;
    CScriptObjects scripts;
    scripts.SetServices(run.services);
    if (const CScriptDirectoryCheck check = CheckScriptDirectory(o.operand); !check.Ok())
        return run.Fail(kExitInput, check.Message());
    if (!LoadAllScripts(scripts, o.operand, run.services))
        return run.Fail(kExitInput,
                        "Unable to open the script directory " + o.operand + ": Permission denied");
    run.progress.End();
    if (CAnalysisResult unread; RefuseOnScriptReadFault(scripts, unread))
        return run.Fail(unread.status == AnalysisStatus::OutOfMemory ? kExitFailure : kExitInput,
                        unread.Message());
    if (run.Interrupted())
        return run.Interrupt();

    struct Count {
        const char* label;
        const char* key;
        long long value;
    };
    const Count counts[] = {
        {"Item definitions", "itemDefinitions", scripts.itemDefs.GetSize()},
        {"Character definitions", "characterDefinitions", scripts.charDefs.GetSize()},
        {"Templates", "templates", scripts.templates.GetSize()},
        {"DEFNAME constants", "defnames", scripts.defnames.GetSize()},
        {"Resource table entries", "resources", scripts.tables.resources.GetSize()},
        {"Skills", "skills", scripts.tables.skill.GetSize()},
        {"Spells", "spells", scripts.tables.spell.GetSize()},
        {"Spawn groups", "spawns", scripts.tables.spawn.GetSize()},
        {"Areas", "areas", static_cast<long long>(scripts.areas.size())},
        {"Rooms", "rooms", static_cast<long long>(scripts.rooms.size())},
        {"Locations", "locations", static_cast<long long>(scripts.locations.size())},
        {"Name sections", "names", static_cast<long long>(scripts.names.size())},
        {"Web pages", "webPages", static_cast<long long>(scripts.webPages.size())},
        {"Speech sections", "speech", static_cast<long long>(scripts.speech.size())},
        {"Regions", "regions", scripts.regions.GetSize()},
        {"Plot items", "plotItems", scripts.plotItems.GetSize()},
        {"Triggers", "triggers", scripts.triggers.GetSize()},
    };
    struct Tree {
        const char* label;
        const char* key;
        const CCategoryList* list;
    };
    const Tree trees[] = {{"Item categories", "itemCategories", &scripts.itemCategories},
                          {"NPC categories", "npcCategories", &scripts.npcCategories},
                          {"Location categories", "locationCategories", &scripts.locationCategories}};
    const char* layout = scripts.newerLayout ? "newer (resource table)" : "older (fixed files)";

    if (o.json) {
        JsonObject json;
        json.Str("command", "scripts")
            .Bool("ok", true)
            .Str("directory", o.operand)
            .Str("layout", scripts.newerLayout ? "newer" : "older");
        for (const Count& count : counts)
            json.Num(count.key, count.value);
        for (const Tree& tree : trees) {
            std::vector<std::string> categories;
            for (const CCategory* category : *tree.list) {
                std::vector<std::string> subsections;
                for (const CSubsection* subsection : category->m_subsections)
                    subsections.push_back(
                        JsonObject()
                            .Str("name", subsection->Name())
                            .Num("members", static_cast<long long>(subsection->m_members.size()))
                            .Text());
                categories.push_back(JsonObject()
                                         .Str("name", category->Name())
                                         .Field("subsections", JsonArray(subsections))
                                         .Text());
            }
            json.Field(tree.key, JsonArray(categories));
        }
        run.out << json.Field("warnings", JsonStrings(run.warnings)).Text() << "\n";
        return kExitOk;
    }
    std::ostream& info = run.Info();
    info << "Script directory: " << o.operand << "\n"
         << "Layout: " << layout << "\n";
    for (const Count& count : counts)
        info << count.label << ": " << count.value << "\n";
    for (const Tree& tree : trees) {
        info << tree.label << ": " << tree.list->size() << "\n";
        for (const CCategory* category : *tree.list) {
            std::size_t members = 0;
            for (const CSubsection* subsection : category->m_subsections)
                members += subsection->m_members.size();
            info << "  " << category->Name() << " ("
                 << FormatCounted(category->m_subsections.size(), "subsection", "subsections") << ", "
                 << FormatCounted(members, "definition", "definitions") << ")\n";
        }
    }
    return kExitOk;
}

// ---------------------------------------------------------------- map

// Where the client's files were looked for and how to look elsewhere, for a map that cannot be read.
std::string ClientDirectoryHint(const ClientDirectory& client) {
    std::string where;
    switch (client.source) {
    case ClientDirectorySource::CommandLine:
        where = "given with --client-dir";
        break;
    case ClientDirectorySource::Environment:
        where = std::string("given by the environment variable ") + kClientDirectoryEnvironmentVariable;
        break;
    case ClientDirectorySource::Setting:
        where = "the desktop program's choice, under Client directory... in its menu";
        break;
    case ClientDirectorySource::Registry:
        where = std::string("the game client's registry value ") + kClientExePathValue;
        break;
    default:
        where = std::string("the working directory, as neither --client-dir nor ") +
                kClientDirectoryEnvironmentVariable + " names another";
        break;
    }
    std::error_code ec;
    const std::string dir =
        client.directory.empty() ? Utf8FromPath(std::filesystem::current_path(ec)) : client.directory;
    return "looked for the game client's files in " + dir + " (" + where +
           "); name the client's directory with --client-dir DIR or " + kClientDirectoryEnvironmentVariable +
           "=DIR (the desktop program keeps its own choice, under Client directory... in its menu)";
}

int RunMap(CRunContext& run) {
    const CCliOptions& o = run.options;
    const bool imageOnStdout = o.out == "-";
    if (!imageOnStdout) {
        std::string problem = OutputProblem(o.out);
        if (!problem.empty())
            return run.Fail(kExitOutput, "Unable to create " + o.out + ": " + problem);
    }
    ClientDirectoryInputs inputs;
    if (!o.clientDir.empty())
        inputs.commandLine = o.clientDir;
    inputs.environment = ReadClientDirectoryEnvironment();
    // Where the system keeps them (Windows): the desktop program's choice, then the client's own entry.
    inputs.setting = ReadDesktopClientDirectorySetting();
    inputs.registryExePath = ReadClientExePath();
    ClientDirectory client = ResolveClientDirectory(inputs);
    const std::string mapFile = ClientFilePath(client.directory, "map0.mul");
    if (!std::filesystem::is_regular_file(PathFromUtf8(mapFile))) {
        std::error_code ec;
        bool exists = std::filesystem::exists(PathFromUtf8(mapFile), ec);
        return run.Fail(kExitInput, "Unable to open file " + mapFile + ": " +
                                        (exists ? "is not a regular file" : "No such file or directory") +
                                        "; " + ClientDirectoryHint(client));
    }

    MapRenderOptions options;
    options.width = o.width;
    options.height = o.height;
    options.zoom = o.zoom;
    options.centreX = static_cast<int>(o.centerX);
    options.centreY = static_cast<int>(o.centerY);
    for (const CPatchArea& area : o.areas)
        options.patchAreas.push_back(PatchAreaEntry{FormatPatchAreaText(area), false});
    CScriptObjects scripts;
    CFreezeList list;
    if (o.showFrozen) {
        if (!o.scriptsGiven)
            run.Warn("no --scripts given: item definitions and DEFNAME names take no part in the selection");
        CAnalysisResult analysis;
        if (int code = RunAnalysisStep(run, scripts, list, analysis); code != kExitOk)
            return code;
        options.points.reserve(list.Count());
        for (std::size_t i = 0; i < list.Count(); ++i)
            options.points.push_back(WorldPoint{list[i].x, list[i].y});
    }
    if (run.Interrupted())
        return run.Interrupt();
    CStdoutFile stdoutFile(".png");
    MapRenderResult result =
        WriteMapPng(client.directory, options, imageOnStdout ? stdoutFile.Path() : o.out);
    if (result.ok && imageOnStdout && !stdoutFile.CopyTo(run.environment))
        return run.Fail(kExitOutput, "the image could not be copied to standard output");
    if (!result.ok) {
        bool inputFault = result.error.rfind("Unable to open file", 0) == 0;
        return run.Fail(inputFault ? kExitInput : kExitOutput, result.error);
    }
    if (!result.colorsLoaded)
        run.Warn(ClientFilePath(client.directory, "radarcol.mul") +
                 " cannot be read: the terrain is drawn black");
    g_Log.Log("Map written to %s", o.out.c_str());
    if (o.json) {
        run.out << JsonObject()
                       .Str("command", "map")
                       .Bool("ok", true)
                       .Str("path", o.out)
                       .Str("clientDirectory", client.directory)
                       .Num("zoom", o.zoom)
                       .Num("centreX", result.centreX)
                       .Num("centreY", result.centreY)
                       .Num("patchAreas", static_cast<long long>(options.patchAreas.size()))
                       .Num("frozenObjects", static_cast<long long>(options.points.size()))
                       .Num("frozenObjectsShown", static_cast<long long>(result.pointsShown))
                       .Num("width", o.width)
                       .Num("height", o.height)
                       .Field("warnings", JsonStrings(run.warnings))
                       .Text()
                << "\n";
        return kExitOk;
    }
    std::ostream& info = run.Info(imageOnStdout);
    info << "Map written: " << (imageOnStdout ? "standard output" : o.out) << " (" << o.width << " x "
         << o.height << " pixels, zoom " << o.zoom << ", centre " << result.centreX << ", " << result.centreY
         << ", " << FormatCounted(options.patchAreas.size(), "patch area", "patch areas");
    if (o.showFrozen)
        info << ", " << result.pointsShown << " of "
             << FormatCounted(options.points.size(), "object to freeze", "objects to freeze") << " shown";
    info << ")\n";
    return kExitOk;
}

} // namespace

// Whether the command line asks for JSON, looked for even in one that cannot be parsed.
bool AsksForJson(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--")
            return false;
        if (arg == "--json")
            return true;
    }
    return false;
}

// What a command was doing, for the message when memory runs out: "freeze world.wsc".
std::string MemoryFailureWhat(const CCliOptions& options) {
    switch (options.command) {
    case CliCommand::Inspect:
        return "inspect " + options.operand;
    case CliCommand::Scripts:
        return "load the scripts of " + (options.operand.empty() ? options.scripts : options.operand);
    case CliCommand::Map:
        return "draw the map of " +
               (options.clientDir.empty() ? std::string("the client directory") : options.clientDir);
    default:
        return std::string(CommandName(options.command)) + " " + options.world;
    }
}

int RunCli(const std::vector<std::string>& args, CCliEnvironment& environment) {
    CCliParseResult parsed = ParseCommandLine(args, environment.in);
    if (!parsed.options) {
        if (args.empty()) {
            environment.err << UsageText();
            return kExitUsage;
        }
        // A script that asked for JSON gets JSON, also for a command line it got wrong.
        if (AsksForJson(args)) {
            std::string command;
            for (CliCommand known :
                 {CliCommand::Analyze, CliCommand::Patch, CliCommand::Clean, CliCommand::Freeze,
                  CliCommand::Inspect, CliCommand::Scripts, CliCommand::Map})
                if (args[0] == CommandName(known))
                    command = args[0];
            environment.out << JsonObject()
                                   .Str("command", command)
                                   .Bool("ok", false)
                                   .Num("exitCode", parsed.exitCode)
                                   .Str("error", parsed.error)
                                   .Field("warnings", "[]")
                                   .Text()
                            << "\n";
        }
        return UsageError(environment, parsed.error, parsed.exitCode);
    }
    CCliOptions options = *parsed.options;
    switch (options.command) {
    case CliCommand::Help:
        environment.out << (options.helpTopic == CliCommand::None || options.helpTopic == CliCommand::Help
                                ? UsageText()
                                : CommandHelpText(options.helpTopic));
        return kExitOk;
    case CliCommand::Version:
        environment.out << VersionText();
        return kExitOk;
    default:
        break;
    }
    // "--world -": the world is read in stretches by several threads and, for clean and freeze, a second
    // time, which a pipe cannot give; a file redirected to standard input can be opened again.
    if (options.world == "-") {
        if (environment.standardInputFile.empty()) {
            const std::string what =
                environment.standardInputWhat.empty() ? "not a file" : environment.standardInputWhat;
            const std::string text =
                "--world -: standard input is " + what +
                "; the world file is read in parts by several threads at once (and again by clean and "
                "freeze), so it must be a file: name it, or redirect it with '< FILE'";
            CRunContext run(options, environment);
            return run.Fail(kExitUsage, text);
        }
        options.world = environment.standardInputFile;
    }
    // --verbose: every line of the log (files read and written, script warnings) on stderr as well.
    struct EchoGuard {
        bool active = false;
        ~EchoGuard() {
            if (active)
                g_Log.SetEcho({});
        }
    } echo;
    if (options.verbose) {
        std::ostream& err = environment.err;
        g_Log.SetEcho([&err](const std::string& line) { err << "frostmark-cli: " << line << "\n"; });
        echo.active = true;
    }
    CRunContext run(options, environment);
    int code = kExitFailure;
    try {
        switch (options.command) {
        case CliCommand::Analyze:
        case CliCommand::Patch:
        case CliCommand::Clean:
        case CliCommand::Freeze:
            code = RunFreezeCommand(run);
            break;
        case CliCommand::Inspect:
            code = RunInspect(run);
            break;
        case CliCommand::Scripts:
            code = RunScripts(run);
            break;
        case CliCommand::Map:
            code = RunMap(run);
            break;
        default:
            break;
        }
    } catch (const std::bad_alloc&) {
        // Whatever ran out (the freeze list, a script set, a picture), the command is over and its outputs
        // were not put in place; say so rather than end without a word.
        code = run.Fail(kExitFailure, "not enough memory to " + MemoryFailureWhat(options));
    }
    environment.out.flush();
    environment.err.flush();
    return code;
}

} // namespace frostmark
