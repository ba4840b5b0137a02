#include "platform/Registry.h"

namespace frostmark {

std::optional<std::string> ReadRegistryText(RegistryRoot, const std::string&, const std::string&) {
    return std::nullopt;
}

} // namespace frostmark
