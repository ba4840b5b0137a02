// Numbers and expressions: DEFNAME constants made from the input's first lines, then value texts read
// with them. With a fixed clock every evaluation draws the same numbers, so a value must come out the
// same whether it is read as a value or through the names, in the contexts of scanning threads that
// find their constants in another's table. Constants that name each
// other without end must stop at the nesting limit or the evaluation budget, never hang (the budget
// makes such an input cost about a second here).
//
// Input: constant lines ("NAME value", "NAME low high", "NAME {expression}"), a line "#VALUES", then
// value texts, one a line.

#include "FuzzSupport.h"

#include "script/Numbers.h"
#include "script/ScriptContext.h"

#include <string>
#include <string_view>
#include <vector>

using namespace frostmark;
using namespace frostmark::fuzz;

namespace {

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string_view parts[2];
    if (SplitParts(text, "\n#VALUES\n", parts, 2) < 2)
        parts[1] = parts[0];
    const std::vector<std::string_view> constants = Lines(parts[0]);
    const std::vector<std::string_view> values = Lines(parts[1]);
    if (constants.size() > 200 || values.size() > 200)
        return 0;

    CScriptContext context;
    context.clock = [] { return std::int64_t(1234567); };
    for (std::string_view line : constants) {
        auto* def = new CDef;
        def->Set(line);
        context.AddDef(def);
    }
    for (std::string_view value : values) {
        // Two scanning threads' contexts, fresh, must agree whether they read the text as a value or as a
        // name. (Read again in one context, constants defined through each other beyond the nesting limit
        // can still give another value: a context's remembered values are left out of this check.)
        CScriptContext thread;
        thread.FindDefsIn(context);
        const std::int32_t first = GetNumber(value, thread);
        // A value over the evaluation budget fails the analysis: nothing after it counts, and each further
        // evaluation would spend the whole budget again.
        if (thread.EvaluationFault())
            return 0;
        if (IsNameText(value)) {
            CScriptContext other;
            other.FindDefsIn(context);
            FUZZ_CHECK(other.ValueOfName(value) == first);
        }
        // The other readers of number texts take anything.
        (void)ParseRangeBound(value, true);
        (void)ParseRangeBound(value, false);
        CExpression expression;
        expression.Set(value);
        (void)expression.GetValue(context);
    }
    return 0;
}
