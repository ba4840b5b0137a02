#pragma once

#include <cstdint>
#include <string>

namespace frostmark {

// The steps at which a command that writes files puts them in place.
enum class CommandStage {
    // Every output is complete and on the disk under its temporary name; a cancel from here on is the
    // last one that still leaves every file as it was.
    OutputsComplete,
    // freeze: the patch file is in place and the cleaned world follows at once; a cancel is too late.
    PatchInPlace,
};

// How a long-running engine command reports how far it is. The dialog moves its progress bar, the
// command line prints; tests record the calls. Calls come from the thread running the command.
class ICommandProgress {
public:
    virtual ~ICommandProgress() = default;
    // done of total units (bytes of input, records of a list: each command says which).
    virtual void OnProgress(std::uint64_t done, std::uint64_t total) = 0;
    // The command reached a step of putting its outputs in place.
    virtual void OnStage(CommandStage /*stage*/) {}
};

// What every engine command returns, for the caller to show. On failure `error` is a whole sentence
// naming the file and the reason; `errorPath` and `errorReason` are its two parts for callers that lay
// them out themselves. A command stopped through its CCancelToken is not ok and `cancelled`: no file
// was changed, and `error` says so.
struct CCommandResult {
    bool ok = false;
    bool cancelled = false;
    std::string error;
    std::string errorPath;
    std::string errorReason;

    void Fail(const std::string& path, const std::string& reason, const std::string& what) {
        ok = false;
        errorPath = path;
        errorReason = reason;
        error = what + " " + path + ": " + reason;
    }
    // The command stopped on request; path is the file it would have written.
    void Cancel(const std::string& path) {
        ok = false;
        cancelled = true;
        errorPath = path;
        errorReason = "cancelled";
        error = "Cancelled: nothing written to " + path;
    }
    // Memory for the command's work could not be had: "not enough memory to <doing> <path>".
    void FailForMemory(const std::string& path, const std::string& doing) {
        ok = false;
        errorPath = path;
        errorReason = kNotEnoughMemory;
        error = "not enough memory to " + doing + " " + path;
    }
    bool OutOfMemory() const { return !ok && errorReason == kNotEnoughMemory; }
    static constexpr const char* kNotEnoughMemory = "not enough memory";
};

} // namespace frostmark
