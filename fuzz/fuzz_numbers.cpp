// Numbers and expressions: DEFNAME constants made from the input's first lines, then value texts read
// with them. With a fixed clock every evaluation draws the same numbers, so a value must come out the
// same read again, through the remembered names, from a scanning thread's context that finds its
// constants in another's table, and evaluated afresh with nothing remembered. Constants that name each
// other without end must stop at the nesting limit or the evaluation budget, never hang.
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

// The evaluation budget here: far below the real one, so that a run away input (without remembered
// values a ladder of constants naming the next twice doubles at every level) costs milliseconds, not
// a second. Remembering only saves evaluations, so the reference runs out first.
constexpr std::uint64_t kBudget = 4096;

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
    // One scanning thread's context reads every value in turn, as a world scan does: what it remembered
    // from earlier values must never change a later one.
    CScriptContext thread;
    thread.FindDefsIn(context);
    thread.maxEvaluationsPerValue = kBudget;
    for (std::string_view value : values) {
        const std::int32_t first = GetNumber(value, thread);
        // A value over the evaluation budget fails the analysis: nothing after it counts, and each further
        // evaluation would spend the whole budget again.
        if (thread.EvaluationFault())
            return 0;
        FUZZ_CHECK(GetNumber(value, thread) == first);
        // The reference: every constant evaluated afresh.
        CScriptContext reference;
        reference.FindDefsIn(context);
        reference.rememberValues = false;
        reference.maxEvaluationsPerValue = kBudget;
        const std::int32_t expected = GetNumber(value, reference);
        if (!reference.EvaluationFault())
            FUZZ_CHECK(first == expected);
        // The other readers of number texts take anything.
        (void)ParseRangeBound(value, true);
        (void)ParseRangeBound(value, false);
        CExpression expression;
        expression.Set(value);
        const std::int32_t whole = expression.GetValue(thread);
        if (thread.EvaluationFault())
            return 0;
        CScriptContext wholeReference;
        wholeReference.FindDefsIn(context);
        wholeReference.rememberValues = false;
        wholeReference.maxEvaluationsPerValue = kBudget;
        const std::int32_t wholeExpected = expression.GetValue(wholeReference);
        if (!wholeReference.EvaluationFault())
            FUZZ_CHECK(whole == wholeExpected);
    }
    return 0;
}
