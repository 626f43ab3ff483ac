#include "table_source.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iconv.h>
#include <sstream>

#include "../src/statement_languages.h"
#include "ecg_engine/statement_tables.h"

namespace ecg_engine::statements {
namespace {

template <std::size_t N>
bool Contains(const int (&rows)[N], int row) {
    return std::find(std::begin(rows), std::end(rows), row) != std::end(rows);
}

// Reads `"text"` at the start of `rest`; false unless the quotes close at the line's end.
bool ReadQuoted(const std::string& rest, std::string& text) {
    if (rest.empty() || rest.front() != '"') {
        return false;
    }
    text.clear();
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '\\') {
            if (i + 1 >= rest.size() || (rest[i + 1] != '"' && rest[i + 1] != '\\')) {
                return false;
            }
            text.push_back(rest[++i]);
        } else if (c == '"') {
            return rest.find_first_not_of(" \t\r", i + 1) == std::string::npos;
        } else {
            text.push_back(c);
        }
    }
    return false;
}

std::size_t CountOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

std::string CheckOne(const char* name, const std::vector<std::string>& english,
                     const std::vector<std::string>& rows, const int* markers,
                     std::size_t markerCount, int formatRow) {
    std::ostringstream problem;
    if (rows.size() != english.size()) {
        problem << name << ": " << rows.size() << " rows instead of " << english.size();
        return problem.str();
    }
    for (std::size_t m = 0; m < markerCount; ++m) {
        if (rows[markers[m]] != english[markers[m]]) {
            problem << name << " row " << markers[m] << ": a marker row must stay \""
                    << english[markers[m]] << "\"";
            return problem.str();
        }
    }
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const bool format = static_cast<int>(row) == formatRow;
        const std::size_t percents = CountOf(rows[row], "%");
        if (format ? (percents != 1 || CountOf(rows[row], "%s") != 1) : percents != 0) {
            problem << name << " row " << row
                    << (format ? ": needs exactly one \"%s\"" : ": no '%' allowed");
            return problem.str();
        }
        if (rows[row].empty()) {
            problem << name << " row " << row << ": empty";
            return problem.str();
        }
    }
    return {};
}

}  // namespace

bool ParseTableSource(const std::string& text, TableSource& tables, std::string& error) {
    tables = {};
    std::vector<std::string>* section = nullptr;
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNumber) + ": " + why;
        return false;
    };
    while (std::getline(lines, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line == "[rhythm]" || line == "[waveform]") {
            section = line == "[rhythm]" ? &tables.rhythm : &tables.waveform;
            if (!section->empty()) {
                return fail("section given twice");
            }
            continue;
        }
        if (section == nullptr) {
            return fail("row outside a section");
        }
        std::size_t digits = 0;
        while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits]))) {
            ++digits;
        }
        if (digits == 0 || digits > 3 ||
            std::stoi(line.substr(0, digits)) != static_cast<int>(section->size())) {
            return fail("expected row " + std::to_string(section->size()));
        }
        const std::size_t quote = line.find_first_not_of(' ', digits);
        std::string row;
        if (quote == digits || quote == std::string::npos || !ReadQuoted(line.substr(quote), row)) {
            return fail("expected <number> \"<text>\"");
        }
        section->push_back(row);
    }
    return true;
}

bool ConvertFromUtf8(const std::string& utf8, const char* codePage, std::string& bytes) {
    iconv_t cd = iconv_open(codePage, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::string input = utf8;
    bytes.assign(input.size() * 4 + 16, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = bytes.data();
    std::size_t outLeft = bytes.size();
    const std::size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
    const bool ok = result != static_cast<std::size_t>(-1) && inLeft == 0 &&
                    iconv(cd, nullptr, nullptr, &out, &outLeft) != static_cast<std::size_t>(-1);
    // iconv counts characters it replaced rather than failing as irreversible conversions.
    const bool exact = ok && result == 0;
    iconv_close(cd);
    bytes.resize(bytes.size() - outLeft);
    return exact;
}

TableSource MakeCapitals(const TableSource& english) {
    auto capitals = [](std::string text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '%' && i + 1 < text.size()) {
                ++i;  // the conversion letter of a format argument stays as it is
            } else {
                text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
            }
        }
        return text;
    };
    TableSource result = english;
    for (int row = 0; row < static_cast<int>(result.rhythm.size()); ++row) {
        if (!Contains(kRhythmMarkerRows, row) && !Contains(kRhythmRowsNotCapitalised, row)) {
            result.rhythm[row] = capitals(result.rhythm[row]);
        }
    }
    for (int row = 0; row < static_cast<int>(result.waveform.size()); ++row) {
        if (!Contains(kWaveformMarkerRows, row)) {
            result.waveform[row] = capitals(result.waveform[row]);
        }
    }
    return result;
}

std::vector<std::string> WithoutPauseRow(const std::vector<std::string>& rhythm) {
    std::vector<std::string> rows = rhythm;
    if (static_cast<int>(rows.size()) > kPauseRow) {
        rows.erase(rows.begin() + kPauseRow);
    }
    return rows;
}

std::string CheckLikeEnglish(const TableSource& english, const TableSource& tables) {
    if (english.rhythm.size() != static_cast<std::size_t>(kRhythmRows) ||
        english.waveform.size() != static_cast<std::size_t>(kWaveformRows)) {
        return "English needs " + std::to_string(kRhythmRows) + " rhythm and " +
               std::to_string(kWaveformRows) + " waveform rows";
    }
    std::string problem = CheckOne("rhythm", english.rhythm, tables.rhythm, kRhythmMarkerRows,
                                   std::size(kRhythmMarkerRows), -1);
    if (problem.empty()) {
        problem = CheckOne("waveform", english.waveform, tables.waveform, kWaveformMarkerRows,
                           std::size(kWaveformMarkerRows), kWaveformFormatRow);
    }
    return problem;
}

std::string CheckConvertedRow(const std::string& bytes) {
    if (bytes.size() > 199) {
        return std::to_string(bytes.size()) + " bytes, more than the 199 a statement slot holds";
    }
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0xA9 || b == 0xAA || b == 0xAC) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", b);
            return std::string("byte ") + hex +
                   ", which the record reader takes as a pair prefix: reword the row";
        }
        if (b < 0x20 || b == 0x7F) {
            return "a control character";
        }
    }
    return {};
}

}  // namespace ecg_engine::statements
