#pragma once
// Private-profile (INI) engine with the Windows rules: section and key names compare
// case-insensitively, order is kept, CRLF and LF are read and CRLF is written, a missing
// value deletes the key, a missing key deletes the section. Every INI file and the
// settings store go through it. Writes replace the file atomically and are serialised
// between processes.
#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// In-memory INI document.
class CProfileDocument {
public:
    // A missing file reads as empty (TRUE); an unreadable one is FALSE.
    bool Load(const std::string& path);
    bool Parse(const std::string& text);
    // Written to a temporary file in the same folder and renamed over path.
    bool Save(const std::string& path) const;
    std::string Text() const;

    bool HasSection(const char* section) const;
    // FALSE when the key is absent. Values come trimmed, one pair of enclosing quotes removed.
    bool GetString(const char* section, const char* key, std::string& value) const;
    // key == nullptr removes the section; value == nullptr removes the key.
    void WriteString(const char* section, const char* key, const char* value);

    std::vector<std::string> SectionNames() const;
    std::vector<std::string> KeyNames(const char* section) const;
    // The section's lines as stored ("key=value", or a bare line), comments left out.
    std::vector<std::string> SectionLines(const char* section) const;
    // Replaces the section's contents with the given lines (created at the end when new).
    void WriteSection(const char* section, const std::vector<std::string>& lines);

private:
    struct Line {
        std::string text;  // as read; rebuilt when written
        std::string key;   // trimmed key of a key line; empty for comments and blanks
        bool bKey = false;
    };
    struct Section {
        std::string name;
        bool bHeader = false;  // FALSE only for the lines before the first header
        std::vector<Line> lines;
    };
    Section* Find(const char* section);
    const Section* Find(const char* section) const;
    std::vector<Section> m_sections;
};

// One call, one read (and write) of the file, as the Windows functions do.
std::string GetProfileString(const std::string& file, const char* section, const char* key,
                             const char* def);
// The leading number of the value (optional sign; decimal, or hexadecimal after "0x");
// def when the key is absent or its value empty, 0 when the value holds no number.
int GetProfileInt(const std::string& file, const char* section, const char* key, int def);
bool WriteProfileString(const std::string& file, const char* section, const char* key,
                        const char* value);
std::vector<std::string> GetProfileSection(const std::string& file, const char* section);
bool WriteProfileSection(const std::string& file, const char* section,
                         const std::vector<std::string>& lines);
std::vector<std::string> GetProfileSectionNames(const std::string& file);
std::vector<std::string> GetProfileKeyNames(const std::string& file, const char* section);

// The structure form of the private-profile functions: the bytes as two upper-case hex
// digits each, then their sum modulo 256 as two more. Reading gives FALSE (and leaves data
// alone) when the key is absent, the length is not the size asked for or the sum differs.
bool GetProfileStruct(const std::string& file, const char* section, const char* key, void* data,
                      std::size_t size);
bool WriteProfileStruct(const std::string& file, const char* section, const char* key,
                        const void* data, std::size_t size);

}  // namespace platform
