#include "cli/MapCommand.h"

#include "cli/CliOptions.h"

#include <ostream>

namespace frostmark {

int RunMapCommand(const CCliOptions&, const CServices&, std::ostream&, std::ostream& err) {
    err << "frostmark-cli: map: the PNG writer is not part of this build yet\n";
    return kExitFailure;
}

} // namespace frostmark
