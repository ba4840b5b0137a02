#include "script/ScriptContext.h"

#include <ctime>

#include "script/Numbers.h"

namespace frostmark {

CScriptContext::CScriptContext() : clock([] { return static_cast<int64_t>(std::time(nullptr)); }) {}

CScriptContext::~CScriptContext() {
    DeleteDefNames();
}

CDef* CScriptContext::FindDef(std::string_view name) const {
    return static_cast<CDef*>(defnames.Find(name));
}

int CScriptContext::AddDef(CDef* def) {
    return defnames.ReplaceByName(def);
}

void CScriptContext::DeleteDefNames() {
    defnames.DeleteAll();
}

} // namespace frostmark
