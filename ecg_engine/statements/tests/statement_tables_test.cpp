// The statement tables as the engine reads them: row counts, markers, the one format row,
// bytes a result file can carry, each language's bytes against its UTF-8 source, the
// capitals table and the older engine's table; and the generator refusing bad sources.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "ecg_engine/statement_tables.h"
#include "statement_languages.h"
#include "table_source.h"

namespace ecg_engine {
namespace {

namespace fs = std::filesystem;
using statements::kLanguageSources;
using statements::kRhythmMarkerRows;
using statements::kWaveformMarkerRows;

struct Table {
    const char* name;
    int rows;
    const char* const* (*get)(int);
};
const Table kTables[] = {
    {"rhythm", kRhythmRows, RhythmStatementRows},
    {"waveform", kWaveformRows, WaveformStatementRows},
};

std::string ReadText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

statements::TableSource Source(const char* file) {
    statements::TableSource tables;
    std::string error;
    EXPECT_TRUE(statements::ParseTableSource(ReadText(fs::path(STATEMENT_TABLES_DIR) / file),
                                             tables, error))
        << file << ": " << error;
    return tables;
}

// The row's bytes read back as UTF-8 by iconv; empty with ok false when they do not decode.
std::string ToUtf8(const std::string& bytes, const char* codePage, bool& ok) {
    iconv_t cd = iconv_open("UTF-8", codePage);
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << codePage;
    std::string input = bytes;
    std::string output(bytes.size() * 4 + 8, '\0');
    char* in = input.data();
    char* out = output.data();
    std::size_t inLeft = input.size();
    std::size_t outLeft = output.size();
    ok = iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0;
    iconv_close(cd);
    output.resize(output.size() - outLeft);
    return output;
}

int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(StatementTables, EveryRowIsThereAndFitsAResultFile) {
    for (int language = 0; language < kStatementLanguages; ++language) {
        for (const Table& table : kTables) {
            const char* const* rows = table.get(language);
            ASSERT_NE(rows, nullptr);
            for (int row = 0; row < table.rows; ++row) {
                SCOPED_TRACE(std::string(table.name) + " language " + std::to_string(language) +
                             " row " + std::to_string(row));
                ASSERT_NE(rows[row], nullptr);
                const std::string text = rows[row];
                EXPECT_FALSE(text.empty());
                EXPECT_LE(text.size(), 199u);
                for (const char c : text) {
                    const auto b = static_cast<unsigned char>(c);
                    EXPECT_TRUE(b != 0xA9 && b != 0xAA && b != 0xAC)
                        << "pair prefix byte " << int(b);
                    EXPECT_GE(b, 0x20);
                }
            }
        }
        EXPECT_STREQ(RhythmStatementRows(language)[kRhythmRows - 1], "End_Of_Message__");
        EXPECT_STREQ(WaveformStatementRows(language)[kWaveformRows - 1], "End_Of_Message__");
    }
}

TEST(StatementTables, MarkerRowsAreEnglishInEveryLanguage) {
    for (int language = 0; language < kStatementLanguages; ++language) {
        for (const int row : kRhythmMarkerRows) {
            EXPECT_STREQ(RhythmStatementRows(language)[row], RhythmStatementRows(0)[row])
                << language << " " << row;
        }
        for (const int row : kWaveformMarkerRows) {
            EXPECT_STREQ(WaveformStatementRows(language)[row], WaveformStatementRows(0)[row])
                << language << " " << row;
        }
    }
    EXPECT_STREQ(RhythmStatementRows(0)[0], "RHYTHM_CASES_ENGLISH________");
    EXPECT_STREQ(WaveformStatementRows(0)[45], "______________________________________");
}

TEST(StatementTables, OnlyWaveformRow38HoldsAFormatArgument) {
    for (int language = 0; language < kStatementLanguages; ++language) {
        for (const Table& table : kTables) {
            for (int row = 0; row < table.rows; ++row) {
                const std::string text = table.get(language)[row];
                const bool formatRow = table.rows == kWaveformRows && row == 38;
                EXPECT_EQ(CountOf(text, "%"), formatRow ? 1 : 0)
                    << table.name << " " << language << " " << row;
                EXPECT_EQ(CountOf(text, "%s"), formatRow ? 1 : 0)
                    << table.name << " " << language << " " << row;
            }
        }
    }
    for (int row = 0; row < kZorvik21RhythmRows; ++row) {
        EXPECT_EQ(std::strchr(Zorvik21RhythmStatementRows()[row], '%'), nullptr) << row;
    }
}

// Each language's bytes, read back through iconv, give its UTF-8 source row by row.
TEST(StatementTables, EachLanguageGivesItsSourceInItsCodePage) {
    for (const auto& language : kLanguageSources) {
        if (language.file == nullptr) {
            continue;
        }
        const statements::TableSource source = Source(language.file);
        ASSERT_EQ(source.rhythm.size(), static_cast<std::size_t>(kRhythmRows)) << language.file;
        ASSERT_EQ(source.waveform.size(), static_cast<std::size_t>(kWaveformRows)) << language.file;
        EXPECT_STREQ(StatementCodePage(language.index), language.codePage);
        const std::vector<std::string>* sourceRows[] = {&source.rhythm, &source.waveform};
        for (int t = 0; t < 2; ++t) {
            for (int row = 0; row < kTables[t].rows; ++row) {
                bool ok = false;
                EXPECT_EQ(ToUtf8(kTables[t].get(language.index)[row], language.codePage, ok),
                          (*sourceRows[t])[row])
                    << language.file << " " << kTables[t].name << " row " << row;
                EXPECT_TRUE(ok);
            }
        }
    }
}

// Bytes written out by hand, so that a fault shared by generator and iconv would show.
TEST(StatementTables, KnownRowsHaveTheirCodePageBytes) {
    struct Case {
        int language;
        bool waveform;
        int row;
        const char* bytes;
    };
    const Case cases[] = {
        {0, false, 2, "Sinus Bradycardia"},
        {3, false, 2, "Sinusbradykardie"},
        {4, false, 2, "Brachycardie sinusale"},
        {6, false, 2, "Bradicardia sinusoidal"},
        {7, false, 2, "Bradicardia sinusale"},
        {9, false, 2, "Bradykardia zatokowa"},
        {10, false, 2, "Sinus bradicardie"},
        {11, false, 2, "Bradicardia Sinusal"},
        {0, false, 67, "Male    "},
        {0, false, 68, "Female  "},
        {3, false, 67, "Mannlich"},
        {3, false, 68, "Weiblich"},
        {6, false, 67, "Hombre  "},
        {6, false, 68, "Mujer   "},
        {11, false, 67, "Masculino"},
        {11, false, 68, "Feminino"},
        {0, false, 24, "Nonsustained V. Flutter    "},
        // CP936: "正常窦性心律"
        {2, false, 3, "\xD5\xFD\xB3\xA3\xF1\xBC\xD0\xD4\xD0\xC4\xC2\xC9"},
        // CP1251: "Синусовая брадикардия"
        {5, false, 2,
         "\xD1\xE8\xED\xF3\xF1\xEE\xE2\xE0\xFF \xE1\xF0\xE0\xE4\xE8\xEA\xE0\xF0\xE4\xE8\xFF"},
        // CP1254: "Sinüs taşikardisi"
        {8, false, 4, "Sin\xFCs ta\xFEikardisi"},
        // CP1250: "Oś prawidłowa"; Romanian t and s with cedilla
        {9, true, 11, "O\x9C prawid\xB3owa"},
        {10, false, 10, "Fibrila\xFEie atrial\xE3"},
        {10, true, 48, "*** Axul \xBAi IM pot fi incorecte din cauza microvoltajului."},
        // CP1252: "Pré-excitation ventriculaire(WPW)"
        {4, true, 76, "Pr\xE9-excitation ventriculaire(WPW)"},
        {0, true, 38, "T wave inversion in %s (possible Myocardial ischemia)"},
    };
    for (const Case& c : cases) {
        const char* const* rows =
            c.waveform ? WaveformStatementRows(c.language) : RhythmStatementRows(c.language);
        EXPECT_STREQ(rows[c.row], c.bytes) << "language " << c.language << " row " << c.row;
    }
}

TEST(StatementTables, OtherLanguageIndicesGiveEnglish) {
    for (const int language : {12, -1, 13, 100, INT_MIN, INT_MAX}) {
        EXPECT_EQ(RhythmStatementRows(language), RhythmStatementRows(0)) << language;
        EXPECT_EQ(WaveformStatementRows(language), WaveformStatementRows(0)) << language;
        EXPECT_STREQ(StatementCodePage(language), "ASCII") << language;
    }
    EXPECT_STREQ(RhythmStatementRows(12)[2], "Sinus Bradycardia");
    EXPECT_STREQ(WaveformStatementRows(-1)[11], "Normal Axis");
}

TEST(StatementTables, CodePagesOfTheLanguages) {
    const char* const expected[kStatementLanguages] = {"ASCII",  "ASCII",  "CP936",  "CP1252",
                                                       "CP1252", "CP1251", "CP1252", "CP1252",
                                                       "CP1254", "CP1250", "CP1250", "CP1252"};
    for (int language = 0; language < kStatementLanguages; ++language) {
        EXPECT_STREQ(StatementCodePage(language), expected[language]) << language;
    }
}

TEST(StatementTables, CapitalsKeepTheExceptionsAndTheFormatArgument) {
    const char* const* rhythm = RhythmStatementRows(1);
    const char* const* waveform = WaveformStatementRows(1);
    EXPECT_STREQ(rhythm[2], "SINUS BRADYCARDIA");
    EXPECT_STREQ(rhythm[7], "Atrial Rhythm");
    EXPECT_STREQ(rhythm[67], "Male    ");
    EXPECT_STREQ(rhythm[68], "Female  ");
    EXPECT_STREQ(rhythm[71], "End_Of_Message__");
    EXPECT_STREQ(rhythm[1], "__Sinus_______________________");
    EXPECT_STREQ(rhythm[24], "NONSUSTAINED V. FLUTTER    ");
    EXPECT_STREQ(rhythm[70], "*** POOR DATA QUALITY, INTERPRETATION MAY BE ADVERSELY AFFECTED");
    EXPECT_STREQ(waveform[1], "Enlargement (Hypertrophy)_____________");
    EXPECT_STREQ(waveform[38], "T WAVE INVERSION IN %s (POSSIBLE MYOCARDIAL ISCHEMIA)");
    EXPECT_STREQ(waveform[53], "ANTERIOR, ");
    EXPECT_STREQ(waveform[77], "End_Of_Message__");
    // Every other row is English in capitals.
    for (const Table& table : kTables) {
        for (int row = 0; row < table.rows; ++row) {
            std::string english = table.get(0)[row];
            const std::string capitals = table.get(1)[row];
            if (capitals == english) {
                continue;
            }
            for (std::size_t i = 0; i < english.size(); ++i) {
                if (english.compare(i, 2, "%s") == 0) {
                    ++i;
                } else {
                    english[i] =
                        static_cast<char>(std::toupper(static_cast<unsigned char>(english[i])));
                }
            }
            EXPECT_EQ(capitals, english) << table.name << " row " << row;
        }
    }
}

// Rows made of pieces keep their punctuation and blanks, in every language.
TEST(StatementTables, PieceRowsKeepTheirPunctuation) {
    for (int language = 0; language < kStatementLanguages; ++language) {
        const char* const* w = WaveformStatementRows(language);
        SCOPED_TRACE("language " + std::to_string(language));
        EXPECT_EQ(std::string(w[52]), std::string(w[40]) + ")");
        EXPECT_EQ(std::string(w[53]), std::string(w[40]) + ", ");
        EXPECT_EQ(std::string(w[54]), std::string(w[41]) + ")");
        EXPECT_EQ(std::string(w[55]), std::string(w[41]) + ", ");
        EXPECT_EQ(std::string(w[56]), std::string(w[42]) + ")");
        EXPECT_EQ(std::string(w[57]), std::string(w[42]) + ", ");
        const std::string flutter = RhythmStatementRows(language)[24];
        EXPECT_EQ(flutter.substr(flutter.size() - 4), "    ");
        const std::string possible = RhythmStatementRows(language)[56];
        EXPECT_TRUE(possible.front() == '(' && possible.back() == ')') << possible;
    }
}

TEST(StatementTables, OlderEngineTableHasNoPauseRow) {
    const char* const* older = Zorvik21RhythmStatementRows();
    const char* const* english = RhythmStatementRows(0);
    for (int row = 0; row < kZorvik21RhythmRows; ++row) {
        EXPECT_STREQ(older[row], english[row < 32 ? row : row + 1]) << row;
    }
    EXPECT_STREQ(older[31], "Sinus Pause");
    EXPECT_STREQ(older[32], "SA Block");
    EXPECT_STREQ(older[70], "End_Of_Message__");
}

TEST(StatementSource, MalformedSourcesAreRefusedWithTheirLine) {
    const char* const cases[] = {
        "0 \"a\"\n",                               // row outside a section
        "[rhythm]\n1 \"a\"\n",                     // row numbers start at 0
        "[rhythm]\n0 \"a\"\n0 \"b\"\n",            // a number given twice
        "[rhythm]\n0 \"a\n",                       // quotes not closed
        "[rhythm]\n0 \"a\" b\n",                   // text after the quotes
        "[rhythm]\n0 a\n",                         // no quotes
        "[rhythm]\n0 \"a\\n\"\n",                  // unknown escape
        "[rhythm]\n0 \"a\"\n[rhythm]\n0 \"b\"\n",  // section twice
    };
    for (const char* text : cases) {
        statements::TableSource tables;
        std::string error;
        EXPECT_FALSE(statements::ParseTableSource(text, tables, error)) << text;
        EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
    }
    statements::TableSource tables;
    std::string error;
    ASSERT_TRUE(statements::ParseTableSource(
        "# note\n[rhythm]\n0 \"Male    \"\n1 \"say \\\"a\\\\b\\\"\"\n\n[waveform]\n"
        "0 \"x\"\r\n",
        tables, error))
        << error;
    EXPECT_EQ(tables.rhythm, (std::vector<std::string>{"Male    ", "say \"a\\b\""}));
    EXPECT_EQ(tables.waveform, (std::vector<std::string>{"x"}));
}

// The build fails, naming the row, when a source cannot become a table a result file carries.
class StatementGenerator : public ::testing::Test {
protected:
    void SetUp() override {
        const char* temp = std::getenv("TMPDIR");
        folder_ = fs::path(temp ? temp : "/tmp") /
                  ("statement_tables_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "tables");
        for (const auto& entry : fs::directory_iterator(STATEMENT_TABLES_DIR)) {
            fs::copy_file(entry.path(), folder_ / "tables" / entry.path().filename());
        }
    }
    void TearDown() override { fs::remove_all(folder_); }

    void ReplaceInSource(const char* file, const std::string& from, const std::string& to) {
        std::string text = ReadText(folder_ / "tables" / file);
        const auto at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        std::ofstream(folder_ / "tables" / file, std::ios::binary | std::ios::trunc) << text;
    }

    // Exit status of the generator; its messages land in `messages_`.
    int Generate() {
        const fs::path log = folder_ / "messages.txt";
        const std::string command = std::string("'") + STATEMENT_TABLEGEN + "' '" +
                                    (folder_ / "tables").string() + "' '" +
                                    (folder_ / "rows.cpp").string() + "' 2>'" + log.string() + "'";
        const int status = std::system(command.c_str());
        messages_ = ReadText(log);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path folder_;
    std::string messages_;
};

TEST_F(StatementGenerator, SourcesAsCommittedGiveTheTables) {
    EXPECT_EQ(Generate(), 0) << messages_;
    EXPECT_TRUE(fs::exists(folder_ / "rows.cpp"));
}

TEST_F(StatementGenerator, BadSourcesFailWithoutOutput) {
    struct Case {
        const char* file;
        const char* from;
        const char* to;
        const char* message;
    };
    const Case cases[] = {
        // A letter the code page has no byte for.
        {"german.txt", "2 \"Sinusbradykardie\"", "2 \"Sinusbradykardi\xC8\x99\"",
         "german.txt rhythm row 2"},
        {"romanian.txt", "Fibrila\xC5\xA3ie", "Fibrila\xC8\x9Bie", "romanian.txt rhythm row 10"},
        // A row the record reader would take apart: CP1250 capital S with cedilla is 0xAA.
        {"polish.txt", "3 \"Prawid", "3 \"\xC5\x9E Prawid", "pair prefix"},
        // CP936 full-width parenthesis ends in 0xA9.
        {"chinese.txt", "(WPW)", "\xEF\xBC\x88WPW\xEF\xBC\x89", "pair prefix"},
        // A marker row translated, a format argument lost or added, a row missing.
        {"french.txt", "__Sinus_______________________", "__Sinusal_____________________",
         "marker row"},
        {"spanish.txt", "cara %s (posible", "cara (posible", "waveform row 38"},
        {"italian.txt", "Pausa sinusale", "Pausa %s", "rhythm row 31"},
        {"turkish.txt", "77 \"End_Of_Message__\"\n", "", "77 rows instead of 78"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        SetUp();
        ReplaceInSource(c.file, c.from, c.to);
        EXPECT_NE(Generate(), 0);
        EXPECT_NE(messages_.find(c.message), std::string::npos) << messages_;
        EXPECT_FALSE(fs::exists(folder_ / "rows.cpp"));
    }
}

TEST_F(StatementGenerator, TooLongRowFails) {
    ReplaceInSource("german.txt", "\"Pause\"", "\"" + std::string(200, 'P') + "\"");
    EXPECT_NE(Generate(), 0);
    EXPECT_NE(messages_.find("german.txt rhythm row 32"), std::string::npos) << messages_;
    EXPECT_NE(messages_.find("199"), std::string::npos) << messages_;
}

}  // namespace
}  // namespace ecg_engine
