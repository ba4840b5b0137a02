#pragma once

#include <string>

#include "engine/CancelToken.h"
#include "engine/CommandProgress.h"
#include "engine/FreezeList.h"
#include "engine/FreezePatch.h"
#include "engine/WorldCleaner.h"

namespace frostmark {

class CScriptContext;

// Create Patch File: sorts the freeze list into patch order and writes the freeze patch file to
// patchPath ("stat_tavrel.frz" in the working directory when empty). The file appears complete or not
// at all: a failure leaves any earlier file of that name as it was and returns the path and reason.
// worldPath, when given, is the world file the list came from; a patch path naming it in any spelling
// is refused. Progress counts objects. Cancelling `cancel` stops it, the result `cancelled` and every
// file as it was (see CCancelToken).
CPatchResult CreatePatchFile(const std::string& patchPath, const CFreezeList& frozen, CScriptContext& context,
                             ICommandProgress* progress = nullptr, const std::string& worldPath = {},
                             const CCancelToken* cancel = nullptr);

// Clean Worldfile: writes outputPath as a copy of inputPath without the records of the frozen objects
// (see CleanWorld). Refuses an empty path, and an output that names the input in any spelling (same
// text, symbolic or hard link, "..", letter case on a file system that ignores it): the input is only
// ever opened for reading. The output appears complete or not at all. The result tells how many records
// were dropped and how many the freeze list expected. Progress counts input bytes. options.cancel stops
// it, the result `cancelled` and every file as it was (see CCancelToken).
CCleanResult CleanWorldFile(const std::string& inputPath, const std::string& outputPath,
                            const CFreezeList& frozen, CScriptContext& context,
                            ICommandProgress* progress = nullptr, const CCleanOptions& options = {});

struct CFreezeResult {
    // Each abandoned, leaving its target as it was, when the other failed; both `cancelled` when the
    // freeze was.
    CPatchResult patch;
    CCleanResult clean;
    bool ok() const { return patch.ok && clean.ok; }
    bool cancelled() const { return patch.cancelled || clean.cancelled; }
    // The patch file is the new one, but the cleaned world could not be put in place nor the earlier patch
    // file put back (patch.error says why): the two files on the disk do not belong together.
    bool pairBroken = false;
    // The failure that kept both files from being written (the other result then names it as its reason).
    const CCommandResult& Failure() const {
        return patchCaused ? static_cast<const CCommandResult&>(patch) : clean;
    }
    bool patchCaused = false;
};

// Create Patch File and Clean Worldfile of one freeze list at once: the patch is written on a second
// thread while the world is cleaned on this one; when both are complete and on the disk they are put in
// place one right after the other, the patch first, and when the cleaned world cannot be, the earlier
// patch file is put back. When either cannot be written, neither appears (a new patch beside an old world
// would load its objects twice, a cleaned world without its patch would lose them). options.cancel stops
// both, every file left as it was, until the patch file is in place (CommandStage::PatchInPlace). Progress
// is the clean's (input bytes).
CFreezeResult FreezeWorldFiles(const std::string& patchPath, const std::string& worldPath,
                               const std::string& outputPath, const CFreezeList& frozen,
                               CScriptContext& context, ICommandProgress* cleanProgress = nullptr,
                               const CCleanOptions& options = {});

// True when both paths exist and name the same file (in any spelling), or are the same text.
bool NamesSameFile(const std::string& first, const std::string& second);

} // namespace frostmark
