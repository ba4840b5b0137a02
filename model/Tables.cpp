#include "model/Tables.h"

#include <cstdio>

#include "platform/Log.h"
#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/ScriptText.h"

namespace frostmark {

namespace {

// A value kept in tenths, shown with one decimal and "." whatever the process locale says.
std::string FormatTenths(int32_t tenths) {
    const int64_t value = tenths;
    const int64_t magnitude = value < 0 ? -value : value;
    std::string text = value < 0 ? "-" : "";
    text += std::to_string(magnitude / 10);
    text += '.';
    text += char('0' + magnitude % 10);
    return text;
}

// An ORE amount: "0.5" is 5 tenths (every "." dropped, so "2.25" gives 225); without a "." the whole
// number in tenths.
int32_t ParseAmount(std::string_view token) {
    if (token.find('.') != std::string_view::npos) {
        std::string digits;
        digits.reserve(token.size());
        for (const char c : token) {
            if (c != '.') {
                digits += c;
            }
        }
        return ParseDecimal(digits);
    }
    return int32_t(uint32_t(ParseDecimal(token)) * 10u);
}

} // namespace

// ---------------------------------------------------------------- CTStringTable

CTStringTable::~CTStringTable() = default;

bool CTStringTable::ReadSection(CLineReader& file) {
    for (;;) {
        std::string_view line;
        const bool got = file.ReadLine(line);
        if (!got) {
            line = std::string_view();
        }
        const size_t comment = line.find("//");
        if (comment != std::string_view::npos) {
            line = line.substr(0, comment);
        }
        if (line.find('[') != std::string_view::npos) {
            file.StepBack();
            return true;
        }
        m_lines.emplace_back(line);
        if (!got) {
            return false;
        }
    }
}

void CTStringTable::WriteSection(std::string& out) const {
    if (m_title.empty()) {
        return;
    }
    out += '[';
    out += m_title;
    out += "]\n";
    for (const std::string& line : m_lines) {
        out += line;
        out += '\n';
    }
}

// ---------------------------------------------------------------- CTObArray

CTObArray::~CTObArray() = default;

void CTObArray::WriteSection(std::string& out) const {
    for (int i = 0; i < GetSize(); ++i) {
        const CTObject* element = At(i);
        if (element == nullptr) {
            continue;
        }
        char header[64];
        std::snprintf(header, sizeof header, " %ld]\n", long(i));
        out += '[';
        out += m_title;
        out += header;
        element->WriteSection(out);
        out += '\n';
    }
}

// ---------------------------------------------------------------- CTStartLocation

CTStartLocation::~CTStartLocation() = default;

bool CTStartLocation::ReadSection(CLineReader& file) {
    std::string_view line;
    if (!file.ReadLine(line)) {
        return false;
    }
    line = Trim(line);
    if (line.empty() || line.find('[') != std::string_view::npos) {
        file.StepBack();
        return false;
    }
    m_first = std::string(line.substr(0, line.find('/')));
    if (!file.ReadLine(line)) {
        return false;
    }
    m_second = std::string(line.substr(0, line.find('/')));
    if (!file.ReadLine(line)) {
        return false;
    }
    m_third = std::string(line.substr(0, line.find('/')));
    return true;
}

void CTStartLocation::WriteSection(std::string& out) const {
    out += m_first;
    out += '\n';
    out += m_second;
    out += '\n';
    out += m_third;
    out += '\n';
}

// ---------------------------------------------------------------- CTOreDef

CTOreDef::~CTOreDef() = default;

void CTOreDef::ParseOreLine(std::string_view line) {
    if (line.find(',') == std::string_view::npos) {
        return;
    }
    int field = 0;
    std::string_view rest = line;
    for (size_t comma = rest.find(','); comma != std::string_view::npos; comma = rest.find(',')) {
        const std::string_view token = rest.substr(0, comma);
        switch (field) {
        case 0:
            m_firstText = std::string(token);
            break;
        case 1:
            m_secondText = std::string(token);
            break;
        case 2:
            m_firstAmount = ParseAmount(token);
            break;
        case 3:
            m_secondAmount = ParseAmount(token);
            break;
        case 4: {
            const size_t dash = token.find('-');
            if (dash != std::string_view::npos) {
                m_low = ParseDecimal(token.substr(0, dash));
                m_high = ParseDecimal(token.substr(dash + 1));
            } else {
                m_low = m_high = ParseDecimal(token);
            }
            break;
        }
        default:
            break;
        }
        ++field;
        rest = rest.substr(comma + 1);
    }
    if (field == 5) {
        m_lastText = std::string(rest);
    }
}

void CTOreDef::WriteSection(std::string& out) const {
    out += m_firstText;
    out += ',';
    out += m_secondText;
    out += ',';
    out += FormatTenths(m_firstAmount);
    out += ',';
    out += FormatTenths(m_secondAmount);
    out += ',';
    out += std::to_string(m_low);
    out += '-';
    out += std::to_string(m_high);
    out += ',';
    out += m_lastText;
    out += '\n';
}

// ---------------------------------------------------------------- ParseTriple

void ParseTriple(std::string_view value, CAdvanceTriple& triple) {
    const char separator = value.find(',') != std::string_view::npos ? ',' : ' ';
    size_t count = 0;
    for (size_t at = value.find(separator); at != std::string_view::npos; at = value.find(separator)) {
        triple[count] = ParseDecimal(value.substr(0, at));
        value = value.substr(at + 1);
        if (++count == triple.size()) {
            return;
        }
    }
    triple[count] = ParseDecimal(value);
}

// ---------------------------------------------------------------- CTableSet

CTableSet::CTableSet() = default;

CTableSet::~CTableSet() {
    UnloadTables();
}

CTStringTable* CTableSet::Plevel(int32_t level) {
    if (level < 1 || level > int32_t(plevel.size())) {
        return nullptr;
    }
    return &plevel[size_t(level - 1)];
}

void CTableSet::UnloadTables() {
    g_Log.Log("Unloading tables");
    ore.DeleteAll();
    skillClass.DeleteAll();
    skill.DeleteAll();
    potion.DeleteAll();
    spell.DeleteAll();
    spawn.DeleteAll();
    starts.DeleteAll();
    for (CTStringTable* table : {&blockEmail, &events, &notoTitles, &obscene}) {
        table->RemoveAll();
    }
    for (CTStringTable& table : plevel) {
        table.RemoveAll();
    }
    for (CTStringTable* table : {&runes, &speech, &resources, &tavrel, &servers, &blockIp}) {
        table->RemoveAll();
    }
}

} // namespace frostmark
