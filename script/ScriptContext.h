#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/ScriptArray.h"

namespace frostmark {

class CDef;

// The random generator of script evaluation: a 32-bit linear congruential state. Every evaluation seeds it
// with the current second first, so evaluations within one second draw the same numbers.
class CRandom {
public:
    void Seed(uint32_t seed) { m_state = seed; }
    // state = state * 214013 + 2531011 (mod 2^32); the result is (state >> 16) & 0x7FFF, from 0 to 32767.
    uint32_t Draw() {
        m_state = m_state * 214013u + 2531011u;
        return (m_state >> 16) & 0x7FFFu;
    }
    uint32_t State() const { return m_state; }

private:
    uint32_t m_state = 1;
};

// Everything script evaluation needs beyond its arguments: the DEFNAME table, the random generator, the
// nesting counter, the clock and the newer-layout flag. One context per loaded script set (the script
// registry derives from it), so tests never share state.
class CScriptContext {
public:
    CScriptContext();
    virtual ~CScriptContext();
    CScriptContext(const CScriptContext&) = delete;
    CScriptContext& operator=(const CScriptContext&) = delete;

    // The constant whose name equals name without regard to case, or nullptr: the element defnames.Find
    // gives, found through a hash index because a world scan looks up every item's ID and TYPE here.
    CDef* FindDef(std::string_view name) const;
    // Stores a constant by replace-by-name: an existing constant of that name is removed and deleted. A
    // constant with an empty name is deleted. Returns its index in the table, or -1.
    int AddDef(CDef* def);
    // Deletes every constant and empties the table.
    void DeleteDefNames();

    // The value of the constant of that name, as GetNumber gives it for a name: 0 when there is none.
    // Values that cannot change (no such constant, or a fixed one) are remembered per name until the
    // constants change, since a world scan asks for the same few thousand names millions of times and
    // each look into a big table is a trip to main memory.
    int32_t ValueOfName(std::string_view name);

    // Makes FindDef answer from other's table instead of this one: a world scan runs on several threads,
    // each evaluating with a context of its own (random generator, nesting counter) over the one table
    // of the loaded scripts. other must outlive this context and keep its constants meanwhile; the
    // clock and the layout flag are taken over too.
    void FindDefsIn(const CScriptContext& other);

    // Seconds since 1970 from the clock (seeding the random generator).
    int64_t Now() const { return clock ? clock() : 0; }

    // Evaluations of constants that one value may take: nesting is bounded by depth, but constants that
    // each name the next twice ("D0 {D1 D1}", "D1 {D2 D2}", ...) double the work at every level within
    // it. The script sets we know take at most a few evaluations per value (the largest measured: see
    // the test of this limit); a value that takes more than this is treated as an error in the scripts.
    static constexpr uint64_t kMaxEvaluationsPerValue = 1000000;
    // The limit this context applies; tests and fuzzing lower it to keep a run away evaluation short.
    uint64_t maxEvaluationsPerValue = kMaxEvaluationsPerValue;
    // Off where evaluation itself is under test: every value is then evaluated afresh, the reference that
    // remembered values must equal.
    bool rememberValues = true;
    // Nesting of expression evaluations beyond which they give 0 (constants defined by each other).
    static constexpr int kMaxNesting = 100;

    // The first constant whose value went over kMaxEvaluationsPerValue, and where it was defined. Its
    // value, and every value evaluated with it meanwhile, read as 0: whoever evaluates must check this
    // and refuse to use the results.
    struct CEvaluationFault {
        std::string constant;
        std::string file;
    };
    const std::optional<CEvaluationFault>& EvaluationFault() const { return m_fault; }
    // The most evaluations of constants one value has taken in this context so far.
    uint64_t MostEvaluationsPerValue() const { return m_mostEvaluations; }

private:
    // Declared before the public view below, which refers to it.
    CScriptArray m_defnames;

public:
    // The DEFNAME table (owns its CDef elements), read-only: constants enter and leave only through AddDef
    // and DeleteDefNames, which keep the hash index in step with it.
    const CScriptArray& defnames = m_defnames;
    CRandom random;
    // Depth of nested expression evaluations, to stop constants defined by each other. Once an evaluation
    // went too deep, nestingCut makes every evaluation until the outermost one returns give 0 at once, so
    // that constants defined by each other in several tokens cannot branch into endless work.
    int nesting = 0;
    bool nestingCut = false;
    // Called by CExpression::GetValue when it cuts at the depth limit.
    void NoteNestingCut() { ++m_nestingCuts; }
    // Called by CExpression::GetValue after each level it enters.
    void NoteDepth(int depth) { m_deepest = depth > m_deepest ? depth : m_deepest; }
    // Defaults to the system time; tests set a fixed one.
    std::function<int64_t()> clock;
    // Counts every draw from the random generator: an evaluation during which it did not change gave a
    // value that depends on the constants alone.
    uint64_t randomDraws = 0;
    // Set while an evaluation that went over kMaxEvaluationsPerValue unwinds: everything gives 0 at once.
    bool budgetCut = false;
    // Set by the script loader when the resource table lists scripts (the newer layout); it chooses the
    // header pattern of item and character definitions in LoadDefinition.
    bool newerLayout = false;

private:
    // One place of the index: a constant and the hash of its name, or empty (def == nullptr).
    struct SDefSlot {
        uint64_t hash = 0;
        CDef* def = nullptr;
    };
    // The place of name in the index: the slot holding its constant, else the empty slot where it belongs.
    size_t DefSlot(std::string_view name, uint64_t hash) const;
    CDef* FindDefHashed(std::string_view name, uint64_t hash) const;

    // One remembered value: the name as it was written (up to kNameCacheLength bytes), valid while the
    // table's generation is the one it was stored under.
    static constexpr size_t kNameCacheLength = 22;
    static constexpr size_t kNameCacheEntries = 16384;
    struct SNameValue {
        uint64_t hash = 0;
        uint32_t generation = 0;
        int32_t value = 0;
        uint8_t length = 0;
        char name[kNameCacheLength];
    };
    std::unique_ptr<SNameValue[]> m_nameValues;
    // Changes whenever a constant is added or the table is emptied; 0 is never current, so new entries are
    // empty.
    uint32_t m_generation = 1;

    // The evaluation of a constant found by ValueOfName, with its counting and its remembered values.
    int32_t EvaluateDef(const CDef& def);

    // Budget accounting of the value being evaluated: how deep in ValueOfName calls, how many constants
    // it has evaluated, and which constant it is (the outermost one).
    int m_valueDepth = 0;
    uint64_t m_evaluations = 0;
    uint64_t m_mostEvaluations = 0;
    const CDef* m_valueDef = nullptr;
    std::optional<CEvaluationFault> m_fault;
    // Counts nesting cuts (see nestingCut), so an evaluation can tell whether one happened inside it.
    uint64_t m_nestingCuts = 0;
    // The deepest nesting reached since the current constant's evaluation began.
    int m_deepest = 0;

    // Values of constants that evaluated without a random draw and without being cut short: they depend
    // on the constants alone, so they hold until the table changes (m_knownGeneration). `height` is how much
    // nesting the evaluation needed: it may be taken only where that much is left, where evaluating it afresh
    // would not have been cut by the depth limit either.
    struct SKnownValue {
        int32_t value = 0;
        int height = 0;
    };
    std::unordered_map<const CDef*, SKnownValue> m_knownValues;
    uint32_t m_knownGeneration = 0;

    // Open addressing with linear probing over a power-of-two number of slots, at most half of them used:
    // every name in m_defnames maps to the element m_defnames.Find gives for it. Constants leave only all
    // at once, so no slot is ever emptied singly.
    std::vector<SDefSlot> m_defSlots;
    size_t m_defSlotsUsed = 0;
    const CScriptContext* m_defsOf = nullptr;
};

} // namespace frostmark
