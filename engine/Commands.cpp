#include "engine/Commands.h"

#include <functional>
#include <future>
#include <new>
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

// Why a file failed, as the result of the command that writes it.
void ReportFailure(const CSafeOutputFile& file, const std::string& path, CCommandResult& result) {
    if (file.Cancelled())
        result.Cancel(path);
    else
        result.Fail(path, file.ErrorReason(), "Unable to write");
}

// Writes the patch file into `file`, complete and synced but not yet in place; roomSetAside, when given,
// is called once the file's room on the disk is set aside (not at all when the patch fails before that).
// False with the result failed (or cancelled) and the file abandoned otherwise.
bool PreparePatchFile(const std::string& patchPath, const CFreezeList& frozen, CScriptContext& context,
                      ICommandProgress* progress, const std::string& worldPath, const CCancelToken* cancel,
                      const std::function<void()>& roomSetAside, CSafeOutputFile& file,
                      CPatchResult& result) {
    const std::string path = patchPath.empty() ? std::string(kDefaultPatchFileName) : patchPath;
    if (IsCancelled(cancel)) {
        result.Cancel(path);
        return false;
    }
    if (!worldPath.empty() && NamesSameFile(path, worldPath)) {
        result.Fail(path, "it is the world file", "Refusing to write the patch file");
        return false;
    }
    file.SetCancel(cancel);
    if (!file.Open(path)) {
        result.Fail(path, file.ErrorReason(), "Unable to create");
        return false;
    }
    // A header, and at most one group header and one object per record.
    file.Reserve(6 + 16 * static_cast<std::uint64_t>(frozen.Count()));
    if (roomSetAside)
        roomSetAside();
    WritePatch(frozen, context, file, result, progress);
    if (file.CheckCancel() || file.Failed()) {
        file.Abandon();
        ReportFailure(file, path, result);
        return false;
    }
    if (!file.Finish()) {
        ReportFailure(file, path, result);
        return false;
    }
    return true;
}

// Puts a finished output in place; answers whether it is.
bool CommitOutput(CSafeOutputFile& file, const std::string& path, CCommandResult& result) {
    if (!file.Commit()) {
        ReportFailure(file, path, result);
        return false;
    }
    result.ok = true;
    return true;
}

// freeze writes both outputs or neither: the one that was ready is given up because the other (`cause`)
// was not written, and is cancelled with it or fails naming it.
void AbandonFor(CSafeOutputFile& file, const std::string& path, CCommandResult& result,
                const CCommandResult& cause, const char* reason) {
    file.Abandon();
    if (cause.cancelled)
        result.Cancel(path);
    else
        result.Fail(path, reason, "Not writing");
}

} // namespace

CPatchResult CreatePatchFile(const std::string& patchPath, const CFreezeList& frozen, CScriptContext& context,
                             ICommandProgress* progress, const std::string& worldPath,
                             const CCancelToken* cancel) {
    CPatchResult result;
    const std::string path = patchPath.empty() ? std::string(kDefaultPatchFileName) : patchPath;
    CSafeOutputFile file;
    if (!PreparePatchFile(patchPath, frozen, context, progress, worldPath, cancel, {}, file, result))
        return result;
    if (progress != nullptr)
        progress->OnStage(CommandStage::OutputsComplete);
    CommitOutput(file, path, result);
    return result;
}

namespace {

// Writes the cleaned world into `output`, complete and synced but not yet in place. False with the
// result failed (or cancelled) and the output abandoned otherwise.
bool PrepareCleanWorld(const std::string& inputPath, const std::string& outputPath, const CFreezeList& frozen,
                       CScriptContext& context, ICommandProgress* progress, const CCleanOptions& options,
                       CSafeOutputFile& output, CCleanResult& result) {
    result.recordsExpected = frozen.Count();
    if (inputPath.empty()) {
        result.Fail(inputPath, "no world file given", "Unable to open file");
        return false;
    }
    if (outputPath.empty()) {
        result.Fail(outputPath, "no output world file given", "Unable to create");
        return false;
    }
    if (NamesSameFile(inputPath, outputPath)) {
        result.Fail(outputPath, "it is the input world file", "Refusing to write");
        return false;
    }
    if (IsCancelled(options.cancel)) {
        result.Cancel(outputPath);
        return false;
    }
    CPathInfo info;
    CFileError error;
    if (!QueryPath(inputPath, info, &error) || info.type == FileType::Missing) {
        result.Fail(inputPath, error.message, "Unable to open file");
        return false;
    }
    if (info.type != FileType::Regular) {
        result.Fail(inputPath, "not a regular file", "Unable to open file");
        return false;
    }
    CLineReader input;
    if (!input.Open(inputPath)) {
        result.Fail(inputPath,
                    input.Error() ? input.Error().message : SystemErrorText(FileErrorKind::IoError),
                    "Unable to open file");
        return false;
    }
    output.SetCancel(options.cancel);
    if (!output.Open(outputPath)) {
        result.Fail(outputPath, output.ErrorReason(), "Unable to create");
        return false;
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
    if (!done && !output.CheckCancel())
        CleanWorld(input, output, frozen, context, options, result, progress,
                   copyStretches ? &inputFile : nullptr);
    inputFile.Close();
    if (output.CheckCancel()) {
        output.Abandon();
        result.Cancel(outputPath);
        return false;
    }
    if (!result.error.empty()) {
        output.Abandon();
        return false;
    }
    if (input.Failed()) {
        output.Abandon();
        result.Fail(inputPath,
                    input.Error() ? input.Error().message : SystemErrorText(FileErrorKind::IoError),
                    "Unable to read");
        return false;
    }
    if (!output.Finish()) {
        ReportFailure(output, outputPath, result);
        return false;
    }
    return true;
}

} // namespace

CCleanResult CleanWorldFile(const std::string& inputPath, const std::string& outputPath,
                            const CFreezeList& frozen, CScriptContext& context, ICommandProgress* progress,
                            const CCleanOptions& options) {
    CCleanResult result;
    CSafeOutputFile output;
    if (PrepareCleanWorld(inputPath, outputPath, frozen, context, progress, options, output, result)) {
        if (progress != nullptr)
            progress->OnStage(CommandStage::OutputsComplete);
        CommitOutput(output, outputPath, result);
    }
    return result;
}

CFreezeResult FreezeWorldFiles(const std::string& patchPath, const std::string& worldPath,
                               const std::string& outputPath, const CFreezeList& frozen,
                               CScriptContext& context, ICommandProgress* cleanProgress,
                               const CCleanOptions& options) {
    CFreezeResult result;
    const std::string patchTarget = patchPath.empty() ? std::string(kDefaultPatchFileName) : patchPath;
    // The patch thread alone uses the context (art IDs may name constants); the clean needs nothing of
    // it, and both only read the freeze list.
    CSafeOutputFile patchFile;
    bool patchReady = false;
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
        // An exception must not leave the thread: running out of memory fails the patch, and so the freeze.
        try {
            patchReady = PreparePatchFile(patchPath, frozen, context, nullptr, worldPath, options.cancel,
                                          tell, patchFile, result.patch);
        } catch (const std::bad_alloc&) {
            result.patch = CPatchResult();
            result.patch.FailForMemory(patchPath, "write");
        }
        tell(); // a patch that failed early has no room to wait for
    };
    try {
        patchThread = std::thread(writePatch);
    } catch (const std::system_error&) {
        writePatch(); // no second thread to be had: one after the other
    }
    patchRoom.wait();
    CSafeOutputFile cleanFile;
    const bool cleanReady = PrepareCleanWorld(worldPath, outputPath, frozen, context, cleanProgress, options,
                                              cleanFile, result.clean);
    if (patchThread.joinable())
        patchThread.join();

    // Both files are complete and on the disk: now they are put in place together, the patch first, so
    // that a cleaned world never appears without the patch file that holds its frozen objects. A cancel
    // that comes after the patch's rename is too late: the clean's rename follows at once.
    result.patchCaused = !patchReady;
    if (cleanReady && !patchReady) {
        AbandonFor(cleanFile, outputPath, result.clean, result.patch, "the patch file was not written");
        return result;
    }
    if (patchReady && !cleanReady) {
        AbandonFor(patchFile, patchTarget, result.patch, result.clean,
                   "the cleaned world file could not be written");
        return result;
    }
    if (!patchReady)
        return result;
    if (cleanProgress != nullptr)
        cleanProgress->OnStage(CommandStage::OutputsComplete);
    // The patch file it replaces is kept until the cleaned world is in place too, to be put back if that
    // fails.
    if (!patchFile.Commit(true)) {
        result.patchCaused = true;
        ReportFailure(patchFile, patchTarget, result.patch);
        AbandonFor(cleanFile, outputPath, result.clean, result.patch, "the patch file was not written");
        return result;
    }
    cleanFile.SetCancel(nullptr);
    if (cleanProgress != nullptr)
        cleanProgress->OnStage(CommandStage::PatchInPlace);
    if (CommitOutput(cleanFile, outputPath, result.clean)) {
        patchFile.DiscardPrevious();
        result.patch.ok = true;
        return result;
    }
    if (patchFile.RestorePrevious()) {
        result.patch.Fail(patchTarget, "the cleaned world file could not be put in place",
                          "Put back the earlier");
        return result;
    }
    result.pairBroken = true;
    result.patch.Fail(patchTarget,
                      patchFile.ErrorReason() + "; it holds the new objects while " + outputPath +
                          " is the earlier world file: do not start the server on these two",
                      "Unable to put back the earlier");
    return result;
}

} // namespace frostmark
