#pragma once

// `frostmark-cli map`: the radar map of the world as a PNG image, with the patch areas drawn over it and,
// on request, the objects an analysis would freeze.

#include <iosfwd>

namespace frostmark {

struct CCliOptions;
struct CServices;

int RunMapCommand(const CCliOptions& options, const CServices& services, std::ostream& out,
                  std::ostream& err);

} // namespace frostmark
