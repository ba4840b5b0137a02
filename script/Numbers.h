#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/TObject.h"

namespace frostmark {

class CScriptContext;

// Hexadecimal value of text: leading spaces and tabs skipped, digits up to the first non-hex character,
// no prefix ("0x12" reads as 0), wrapped to 32 bits. No digits give 0.
uint32_t ParseHex(std::string_view text);
// Index of the first character after leading white space and an optional "+" or "-"; negative tells
// whether the sign was "-". How signed decimal numbers and item weights both begin.
size_t SkipSpaceAndSign(std::string_view text, bool& negative);
// Decimal value of text: leading white space skipped, an optional sign, digits up to the first other
// character, wrapped to 32 bits. No digits give 0.
int32_t ParseDecimal(std::string_view text);
// The value of a script or world file value text. Empty: 0. Starting with a letter: the named DEFNAME
// constant's value (unknown names give 0). Starting with "0": hexadecimal. Anything else: decimal. The text
// is not trimmed, so " 0a" reads as decimal 0.
int32_t GetNumber(std::string_view text, CScriptContext& context);
// True when GetNumber reads text as the name of a constant: it starts with a letter.
bool IsNameText(std::string_view text);
// True when GetNumber gives the same value for this name at every evaluation: there is no constant of
// that name (it reads as 0), or the constant's value is fixed (CDef::IsFixed).
bool NameHasFixedValue(std::string_view name, const CScriptContext& context);
// True when text holds a character outside 0-9, a-f, A-F.
bool IsNotHex(std::string_view text);
// One bound of a range text such as "{10 20}", "10-20" or "10 - 20": dots and braces are dropped, only
// decimal is read; a single number is both bounds.
int32_t ParseRangeBound(std::string_view text, bool wantHigh);

// An integer range; after Set, low <= high.
class CIntRange : public CTObject {
public:
    void Set(std::string_view text);
    // "%ld" of low when both bounds are equal, else "{%ld %ld}".
    std::string ToString() const;
    int32_t Low() const { return m_low; }
    int32_t High() const { return m_high; }

    int32_t m_low = 0;
    int32_t m_high = 0;
};

// A random expression: one value, a range of two, or a weighted choice of three or more tokens, each token
// being a value text read by GetNumber when it is evaluated.
class CExpression : public CTObject {
public:
    // Appends the tokens of text (the part inside the first "{ }" when there are braces).
    void Set(std::string_view text);
    // Evaluates the expression. Seeds the context's random generator with the current second first, so
    // evaluations within one second give the same result.
    int32_t GetValue(CScriptContext& context) const;
    bool IsEmpty() const { return m_tokens.empty(); }

    std::vector<std::string> m_tokens;

private:
    int32_t Evaluate(CScriptContext& context) const;
};

// A DEFNAME constant. Its CTObject name is the constant's name, its source path the file it came from.
class CDef : public CTObject {
public:
    // Reads one line of a DEFNAME section: "NAME value", "NAME low high" or "NAME {expression}".
    void Set(std::string_view line);
    int32_t GetValue(CScriptContext& context) const;
    // True when every evaluation gives the same value: a plain number, or an expression of one numeric
    // token (what a definition's DEFNAME key makes). Ranges, weighted choices and expressions naming other
    // constants may differ between evaluations.
    bool IsFixed() const;

    CExpression m_expression;
    int32_t m_low = 0;
    int32_t m_high = 0;
    // The argument of the DEFNAME section header the constant was read under.
    std::string m_group;
    // 1 when read from the second constants file of the older layout.
    uint8_t m_secondFile = 0;
};

} // namespace frostmark
