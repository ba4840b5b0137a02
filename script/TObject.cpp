#include "script/TObject.h"

namespace frostmark {

CTObject::~CTObject() = default;

void CTObject::WriteSection(std::string& /*out*/) const {}

bool CTObject::ReadSection(CLineReader& /*file*/) {
    return true;
}

} // namespace frostmark
