#include "script/ScriptContext.h"

#include <ctime>

#include "script/Numbers.h"

namespace frostmark {

CScriptContext::CScriptContext() : clock([] { return static_cast<int64_t>(std::time(nullptr)); }) {}

CScriptContext::~CScriptContext() {
    DeleteDefNames();
}

CDef* CScriptContext::FindDef(std::string_view name) const {
    const int index = defnames.FindIndex(name);
    return index < 0 ? nullptr : static_cast<CDef*>(defnames.At(index));
}

int CScriptContext::AddDef(CDef* def) {
    return defnames.ReplaceByName(def);
}

void CScriptContext::DeleteDefNames() {
    defnames.DeleteAll();
}

} // namespace frostmark
