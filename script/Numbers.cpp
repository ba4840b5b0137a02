#include "script/Numbers.h"

#include <cstdio>

#include "script/ScriptContext.h"
#include "script/ScriptText.h"

namespace frostmark {

namespace {

constexpr int kMaxNesting = CScriptContext::kMaxNesting;

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
inline bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string_view LeadingDigits(std::string_view text) {
    size_t n = 0;
    while (n < text.size() && IsDigit(text[n])) {
        ++n;
    }
    return text.substr(0, n);
}

// A number from the context's random generator, counted: a value drawn at random may not be remembered.
uint32_t Draw(CScriptContext& context) {
    ++context.randomDraws;
    return context.random.Draw();
}

// a + (draw mod (high - low)) with the difference and remainder unsigned: for low < high the result lies in
// low to high - 1.
int32_t DrawBetween(int32_t low, int32_t high, CScriptContext& context) {
    const uint32_t span = uint32_t(high) - uint32_t(low);
    return int32_t(uint32_t(low) + Draw(context) % span);
}

} // namespace

uint32_t ParseHex(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    uint32_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = uint32_t(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = uint32_t(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = uint32_t(c - 'A' + 10);
        } else {
            break;
        }
        value = value * 16u + digit;
    }
    return value;
}

size_t SkipSpaceAndSign(std::string_view text, bool& negative) {
    size_t i = 0;
    while (i < text.size() && IsScriptSpace(text[i])) {
        ++i;
    }
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    return i;
}

int32_t ParseDecimal(std::string_view text) {
    bool negative = false;
    size_t i = SkipSpaceAndSign(text, negative);
    uint32_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10u + uint32_t(text[i] - '0');
    }
    return int32_t(negative ? 0u - value : value);
}

int32_t GetNumber(std::string_view text, CScriptContext& context) {
    if (text.empty()) {
        return 0;
    }
    const char first = text[0];
    if (IsLetter(first)) {
        return context.ValueOfName(text);
    }
    if (first == '0') {
        return int32_t(ParseHex(text));
    }
    return ParseDecimal(text);
}

bool IsNameText(std::string_view text) {
    return !text.empty() && IsLetter(text[0]);
}

bool NameHasFixedValue(std::string_view name, const CScriptContext& context) {
    const CDef* def = context.FindDef(name);
    return def == nullptr || def->IsFixed();
}

bool IsNotHex(std::string_view text) {
    for (const char c : text) {
        const bool hex = IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) {
            return true;
        }
    }
    return false;
}

int32_t ParseRangeBound(std::string_view text, bool wantHigh) {
    std::string work;
    work.reserve(text.size());
    for (const char c : text) {
        if (c != '.' && c != '{' && c != '}') {
            work.push_back(c);
        }
    }
    const std::string_view copy = Trim(work);

    // The low text is a prefix of the work copy: an optional "-" and the digits after it.
    std::string_view low;
    if (!copy.empty() && copy[0] == '-') {
        low = copy.substr(0, 1 + LeadingDigits(copy.substr(1)).size());
    } else {
        low = LeadingDigits(copy);
    }

    std::string_view rest;
    if (copy.size() > low.size()) {
        rest = copy.substr(low.size() + 1);
    }
    if (rest.size() >= 2 && rest[0] == '-' && IsBlank(rest[1])) {
        rest.remove_prefix(1);
    }
    rest = Trim(rest);

    if (wantHigh && !rest.empty()) {
        return ParseDecimal(rest);
    }
    return ParseDecimal(low);
}

void CIntRange::Set(std::string_view text) {
    m_low = ParseRangeBound(text, false);
    m_high = ParseRangeBound(text, true);
    if (m_low > m_high) {
        std::swap(m_low, m_high);
    }
}

std::string CIntRange::ToString() const {
    char text[48];
    if (m_low == m_high) {
        std::snprintf(text, sizeof text, "%ld", long(m_low));
    } else {
        std::snprintf(text, sizeof text, "{%ld %ld}", long(m_low), long(m_high));
    }
    return text;
}

void CExpression::Set(std::string_view text) {
    std::string_view work = text;
    const size_t open = work.find('{');
    if (open != std::string_view::npos) {
        work = work.substr(open + 1);
    }
    const size_t close = work.find('}');
    if (close != std::string_view::npos) {
        work = work.substr(0, close);
    }
    while (!work.empty()) {
        work = TrimLeft(work);
        size_t end = 0;
        while (end < work.size() && !IsBlank(work[end])) {
            ++end;
        }
        if (end == 0) {
            break;
        }
        m_tokens.emplace_back(work.substr(0, end));
        // The token and the one separator character after it are consumed.
        work = end + 1 < work.size() ? work.substr(end + 1) : std::string_view();
    }
}

int32_t CExpression::GetValue(CScriptContext& context) const {
    // Depth counting: the counter is the true depth, so the outermost return leaves it at 0. Once the limit
    // is hit, the rest of that outermost evaluation yields 0 at every level without evaluating further.
    if (context.nestingCut || context.budgetCut) {
        return 0;
    }
    if (++context.nesting > kMaxNesting) {
        context.nestingCut = true;
        context.NoteNestingCut();
        --context.nesting;
        return 0;
    }
    context.NoteDepth(context.nesting);
    const int32_t result = Evaluate(context);
    if (--context.nesting == 0) {
        context.nestingCut = false;
    }
    return result;
}

int32_t CExpression::Evaluate(CScriptContext& context) const {
    context.random.Seed(uint32_t(context.Now()));
    const size_t n = m_tokens.size();
    // Each naming of a token evaluates it afresh: a token that is a random constant may differ each time.
    auto value = [&](size_t i) { return GetNumber(m_tokens[i], context); };

    if (n == 0) {
        return 0;
    }
    if (n == 1) {
        return value(0);
    }
    if (n == 2) {
        const int32_t a = value(0);
        const int32_t b = value(1);
        return a == b ? a : DrawBetween(a, b, context);
    }

    // Weighted choice. Entries are "value weight" or "low high weight"; after a token that starts an entry,
    // the next one is its weight when non-zero and (unsigned) smaller than it, else the high end of a range.
    auto isWeight = [&](size_t i) {
        const uint32_t current = uint32_t(value(i));
        return current != 0 && current < uint32_t(value(i - 1));
    };

    int state = 0;
    uint32_t total = 0;
    for (size_t i = 0; i < n; ++i) {
        if (state == 0) {
            state = 1;
        } else if (state == 1) {
            if (isWeight(i)) {
                total += uint32_t(value(i));
                state = 0;
            } else {
                state = 2;
            }
        } else {
            total += uint32_t(value(i));
            state = 0;
        }
    }
    if (total == 0) {
        return 0;
    }
    int32_t r = int32_t(Draw(context)) % int32_t(total) + 1;

    state = 0;
    size_t i = 0;
    bool stopped = false;
    for (; i < n && !stopped; ++i) {
        if (state == 0) {
            state = 1;
        } else if (state == 1) {
            if (isWeight(i)) {
                r = int32_t(uint32_t(r) - uint32_t(value(i)));
                if (r <= 0) {
                    stopped = true;
                    break;
                }
                state = 0;
            } else {
                state = 2;
            }
        } else {
            r = int32_t(uint32_t(r) - uint32_t(value(i)));
            if (r <= 0) {
                stopped = true;
                break;
            }
            state = 0;
        }
    }

    if (state == 0) {
        return value(0);
    }
    if (state == 1) {
        return value(i - 1);
    }
    const int32_t low = value(i - 2);
    const int32_t high = value(i - 1);
    return low == high ? low : DrawBetween(low, high, context);
}

void CDef::Set(std::string_view line) {
    size_t end = 0;
    while (end < line.size() && !IsBlank(line[end])) {
        ++end;
    }
    m_name = ToUpper(line.substr(0, end));
    if (end == line.size()) {
        return;
    }
    const std::string_view value = Trim(line.substr(end + 1));
    if (value.find('{') != std::string_view::npos) {
        m_expression.Set(value);
        return;
    }
    std::string_view second;
    for (size_t k = 0; k < value.size(); ++k) {
        if (IsBlank(value[k])) {
            second = Trim(value.substr(k + 1));
            break;
        }
    }
    // Only numbers here: a constant name in a plain value reads as 0 (expressions resolve names).
    auto convert = [](std::string_view text) {
        return !text.empty() && text[0] == '0' ? int32_t(ParseHex(text)) : ParseDecimal(text);
    };
    m_low = convert(value);
    m_high = second.empty() ? m_low : convert(second);
}

bool CDef::IsFixed() const {
    const std::vector<std::string>& tokens = m_expression.m_tokens;
    if (tokens.empty()) {
        return m_low == m_high;
    }
    if (tokens.size() != 1 || tokens[0].empty()) {
        return false;
    }
    const char first = tokens[0][0];
    return IsDigit(first) || first == '-' || first == '+';
}

int32_t CDef::GetValue(CScriptContext& context) const {
    if (!m_expression.IsEmpty()) {
        return m_expression.GetValue(context);
    }
    if (m_high == m_low) {
        return m_low;
    }
    context.random.Seed(uint32_t(context.Now()));
    return DrawBetween(m_low, m_high, context);
}

} // namespace frostmark
