#include "engine/Commands.h"

#include <functional>
#include <future>
#include <system_error>
#include <thread>

#include "engine/SafeOutputFile.h"
#include "platform/Files.h"
#include "script/LineReader.h"

namespace frostmark {

bool NamesSameFile(const std::string& first, const std::string& second) {
    return SameFile(first, second);
}

namespace {

// Writes the patch file; roomSetAside, when given, is called once the file's room on the disk is set aside
// (not at all when the patch fails before that).
CPatchResult WritePatchFile(const std::string& patchPath, const CFreezeList& frozen, CScriptContext& context,
                            ICommandProgress* progress, const std::string& worldPath,
                            const std::function<void()>& roomSetAside) {
    CPatchResult result;
    const std::string path = patchPath.empty() ? std::string(kDefaultPatchFileName) : patchPath;
    if (!worldPath.empty() && NamesSameFile(path, worldPath)) {
        result.Fail(path, "it is the world file", "Refusing to write the patch file");
        return result;
    }
    CSafeOutputFile file;
    if (!file.Open(path)) {
        result.Fail(path, file.ErrorReason(), "Unable to create");
        return result;
    }
    // A header, and at most one group header and one object per record.
    file.Reserve(6 + 16 * static_cast<std::uint64_t>(frozen.Count()));
    if (roomSetAside)
        roomSetAside();
    WritePatch(frozen, context, file, result, progress);
    if (!file.Commit()) {
        result.Fail(path, file.ErrorReason(), "Unable to write");
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace

CPatchResult CreatePatchFile(const std::string& patchPath, const CFreezeList& frozen, CScriptContext& context,
                             ICommandProgress* progress, const std::string& worldPath) {
    return WritePatchFile(patchPath, frozen, context, progress, worldPath, {});
}

CCleanResult CleanWorldFile(const std::string& inputPath, const std::string& outputPath,
                            const CFreezeList& frozen, CScriptContext& context, ICommandProgress* progress,
                            const CCleanOptions& options) {
    CCleanResult result;
    result.recordsExpected = frozen.Count();
    if (inputPath.empty()) {
        result.Fail(inputPath, "no world file given", "Unable to open file");
        return result;
    }
    if (outputPath.empty()) {
        result.Fail(outputPath, "no output world file given", "Unable to create");
        return result;
    }
    if (NamesSameFile(inputPath, outputPath)) {
        result.Fail(outputPath, "it is the input world file", "Refusing to write");
        return result;
    }
    CPathInfo info;
    CFileError error;
    if (!QueryPath(inputPath, info, &error) || info.type == FileType::Missing) {
        result.Fail(inputPath, error.message, "Unable to open file");
        return result;
    }
    if (info.type != FileType::Regular) {
        result.Fail(inputPath, "not a regular file", "Unable to open file");
        return result;
    }
    CLineReader input;
    if (!input.Open(inputPath)) {
        result.Fail(inputPath,
                    input.Error() ? input.Error().message : SystemErrorText(FileErrorKind::IoError),
                    "Unable to open file");
        return result;
    }
    CSafeOutputFile output;
    if (!output.Open(outputPath)) {
        result.Fail(outputPath, output.ErrorReason(), "Unable to create");
        return result;
    }
    // The same file again, for copying unchanged stretches file to file; used only if it is still the
    // file that was checked above.
    CFile inputFile;
    CFileIdentity opened;
    const bool sameInput =
        inputFile.OpenRegular(inputPath) && inputFile.Identity(opened) && opened.SameFileAs(info.identity);
    const std::uint64_t stretch = info.identity.size / (frozen.Count() + 1);
    const bool copyStretches = sameInput && stretch >= options.minCopyStretch;
    // The analysis's plan, else threads that search the file, else the walk line by line: each way
    // gives the same output, the later ones where the earlier cannot be sure of it.
    const bool done = sameInput && (CleanWorldByPlan(inputFile, output, frozen, options, result, progress) ||
                                    CleanWorldOnThreads(inputPath, inputFile, input.Size(), output, frozen,
                                                        options, result, progress));
    if (!done)
        CleanWorld(input, output, frozen, context, options, result, progress,
                   copyStretches ? &inputFile : nullptr);
    inputFile.Close();
    if (!result.error.empty()) {
        output.Abandon();
        return result;
    }
    if (input.Failed()) {
        output.Abandon();
        result.Fail(inputPath, "read error", "Unable to read");
        return result;
    }
    if (std::string reason; options.beforeCommit && !options.beforeCommit(reason)) {
        output.Abandon();
        result.Fail(outputPath, reason, "Not writing");
        return result;
    }
    if (!output.Commit()) {
        result.Fail(outputPath, output.ErrorReason(), "Unable to write");
        return result;
    }
    result.ok = true;
    return result;
}

CFreezeResult FreezeWorldFiles(const std::string& patchPath, const std::string& worldPath,
                               const std::string& outputPath, const CFreezeList& frozen,
                               CScriptContext& context, ICommandProgress* cleanProgress,
                               const CCleanOptions& options) {
    CFreezeResult result;
    // The patch thread alone uses the context (art IDs may name constants); the clean needs nothing of
    // it, and both only read the freeze list.
    std::promise<void> patchDone;
    std::shared_future<void> patchWritten = patchDone.get_future().share();
    // The small patch file must not lose its room on a nearly full disk to the large cleaned world that
    // is written at the same time: one after the other, the patch would have been written first.
    std::promise<void> roomDone;
    std::future<void> patchRoom = roomDone.get_future();
    std::thread patchThread;
    const auto writePatch = [&] {
        bool told = false;
        const auto tell = [&] {
            if (!told)
                roomDone.set_value();
            told = true;
        };
        result.patch = WritePatchFile(patchPath, frozen, context, nullptr, worldPath, tell);
        tell(); // a patch that failed early has no room to wait for
        patchDone.set_value();
    };
    try {
        patchThread = std::thread(writePatch);
    } catch (const std::system_error&) {
        writePatch(); // no second thread to be had: one after the other
    }
    patchRoom.wait();
    CCleanOptions cleanOptions = options;
    cleanOptions.beforeCommit = [&](std::string& reason) {
        patchWritten.wait();
        if (!result.patch.ok) {
            reason = "the patch file was not written";
            return false;
        }
        return !options.beforeCommit || options.beforeCommit(reason);
    };
    result.clean = CleanWorldFile(worldPath, outputPath, frozen, context, cleanProgress, cleanOptions);
    if (patchThread.joinable())
        patchThread.join();
    return result;
}

} // namespace frostmark
