#include "script/ScriptText.h"

#include <algorithm>

namespace frostmark {

int CompareNames(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(AsciiLower(a[i]));
        const auto cb = static_cast<unsigned char>(AsciiLower(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool EqualNames(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool NameStartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNames(text.substr(0, prefix.size()), prefix);
}

bool ContainsNameUpper(std::string_view text, std::string_view upperPattern) {
    if (upperPattern.empty()) {
        return true;
    }
    if (text.size() < upperPattern.size()) {
        return false;
    }
    const size_t last = text.size() - upperPattern.size();
    for (size_t i = 0; i <= last; ++i) {
        if (AsciiUpper(text[i]) == upperPattern[0] &&
            EqualNames(text.substr(i, upperPattern.size()), upperPattern)) {
            return true;
        }
    }
    return false;
}

std::string ToUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = AsciiUpper(c);
    }
    return out;
}

std::string ToLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = AsciiLower(c);
    }
    return out;
}

std::string_view TrimLeft(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsScriptSpace(text[i])) {
        ++i;
    }
    return text.substr(i);
}

std::string_view TrimRight(std::string_view text) {
    size_t n = text.size();
    while (n > 0 && IsScriptSpace(text[n - 1])) {
        --n;
    }
    return text.substr(0, n);
}

std::string_view Trim(std::string_view text) {
    return TrimRight(TrimLeft(text));
}

std::string_view HeaderText(std::string_view line) {
    std::string_view rest = line.substr(line.empty() ? 0 : 1);
    const size_t close = rest.find(']');
    return close == std::string_view::npos ? rest : rest.substr(0, close);
}

void SplitHeader(std::string_view headerText, std::string_view& kind, std::string_view& argument) {
    const size_t blank = headerText.find(' ');
    if (blank == std::string_view::npos) {
        kind = headerText;
        argument = std::string_view();
        return;
    }
    kind = headerText.substr(0, blank);
    argument = headerText.substr(blank + 1);
}

bool SplitKeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    key = line.substr(0, eq);
    value = line.substr(eq + 1);
    return true;
}

} // namespace frostmark
