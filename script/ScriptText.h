#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace frostmark {

// Text helpers shared by every script reader. Script text is single-byte.
//
// The rule for names of script objects: ASCII letters compare without regard to case (both folded to lower
// case), every other byte compares by its unsigned value. This is the order of every CScriptArray.
int CompareNames(std::string_view a, std::string_view b);
// Equality under the same rule.
bool EqualNames(std::string_view a, std::string_view b);
// True when text begins with prefix under the same rule.
bool NameStartsWith(std::string_view text, std::string_view prefix);
// True when text contains pattern anywhere under the same rule. The pattern must already be upper case (its
// first byte is compared directly as a quick filter); an empty pattern is contained in every text.
bool ContainsNameUpper(std::string_view text, std::string_view upperPattern);

inline char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - ('a' - 'A')) : c;
}
inline char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}
std::string ToUpper(std::string_view text);
std::string ToLower(std::string_view text);

// White space as the script readers trim it: space, tab, carriage return, line feed, vertical tab, form feed.
inline bool IsScriptSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
std::string_view TrimLeft(std::string_view text);
std::string_view TrimRight(std::string_view text);
std::string_view Trim(std::string_view text);

// A section header line is one whose very first character is "[".
inline bool IsHeaderLine(std::string_view line) {
    return !line.empty() && line[0] == '[';
}
// The header text: after the "[" up to the first "]", or the rest of the line when there is no "]".
// The line must be a header line.
std::string_view HeaderText(std::string_view line);
// Splits header text of the form "KIND argument" at the first blank (space). The argument is empty when
// there is no blank.
void SplitHeader(std::string_view headerText, std::string_view& kind, std::string_view& argument);
// Splits a key line at its first "="; false (and nothing set) when the line holds no "=". Not trimmed.
bool SplitKeyValue(std::string_view line, std::string_view& key, std::string_view& value);

} // namespace frostmark
