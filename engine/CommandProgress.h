#pragma once

#include <cstdint>
#include <string>

namespace frostmark {

// How a long-running engine command reports how far it is. The dialog moves its progress bar, the
// command line prints; tests record the calls. Calls come from the thread running the command.
class ICommandProgress {
public:
    virtual ~ICommandProgress() = default;
    // done of total units (bytes of input, records of a list: each command says which).
    virtual void OnProgress(std::uint64_t done, std::uint64_t total) = 0;
};

// What every engine command returns, for the caller to show. On failure `error` is a whole sentence
// naming the file and the reason; `errorPath` and `errorReason` are its two parts for callers that lay
// them out themselves.
struct CCommandResult {
    bool ok = false;
    std::string error;
    std::string errorPath;
    std::string errorReason;

    void Fail(const std::string& path, const std::string& reason, const std::string& what) {
        ok = false;
        errorPath = path;
        errorReason = reason;
        error = what + " " + path + ": " + reason;
    }
};

} // namespace frostmark
