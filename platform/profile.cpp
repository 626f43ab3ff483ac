#include "platform/profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "internal.h"
#include "platform/atomicfile.h"

namespace platform {

using internal::EqualNoCase;

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

// Value of a key line as Windows hands it out: trimmed, one pair of quotes removed.
std::string ValueOf(const std::string& line) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) return {};
    std::string v = Trim(std::string_view(line).substr(eq + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return v;
}

// A written name or value stays on its one line: a line break inside it (a device-given
// name, say) would otherwise start new keys or sections in the file.
std::string OneLine(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

// Serialises read-modify-write cycles on the INI files of one folder between threads
// and processes: the folder itself is locked, since the file is replaced by rename.
class CFolderLock {
public:
    explicit CFolderLock(const std::string& file) {
        size_t slash = file.rfind('/');
        std::string dir = slash == std::string::npos ? "." : file.substr(0, slash + 1);
        m_fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd >= 0 && flock(m_fd, LOCK_EX) != 0) {
            close(m_fd);
            m_fd = -1;  // a file system without locks: go on unlocked
        }
    }
    ~CFolderLock() {
        if (m_fd >= 0) close(m_fd);  // releases the lock
    }
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;

private:
    int m_fd = -1;
};

}  // namespace

bool CProfileDocument::Load(const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) {
        if (access(path.c_str(), F_OK) != 0 && errno == ENOENT) {
            m_sections.clear();
            return true;
        }
        return false;
    }
    return Parse(text);
}

bool CProfileDocument::Parse(const std::string& text) {
    m_sections.clear();
    m_sections.push_back(Section{});  // lines before the first header
    // A byte-order mark that an editor put in front would otherwise hide the first header.
    size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string raw = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() : nl + 1;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::string t = Trim(raw);
        if (!t.empty() && t.front() == '[') {
            size_t close = t.find(']');
            Section s;
            s.name = Trim(std::string_view(t).substr(1, close == std::string::npos ? std::string::npos
                                                                                   : close - 1));
            s.bHeader = true;
            m_sections.push_back(std::move(s));
            continue;
        }
        Line line;
        line.text = raw;
        if (!t.empty() && t.front() != ';') {
            size_t eq = t.find('=');
            line.key = Trim(std::string_view(t).substr(0, eq));
            line.bKey = true;
        }
        m_sections.back().lines.push_back(std::move(line));
    }
    return true;
}

std::string CProfileDocument::Text() const {
    std::string out;
    for (const Section& s : m_sections) {
        if (s.bHeader) out += "[" + s.name + "]\r\n";
        for (const Line& l : s.lines) out += l.text + "\r\n";
    }
    return out;
}

bool CProfileDocument::Save(const std::string& path) const { return WriteFileAtomically(path, Text()); }

CProfileDocument::Section* CProfileDocument::Find(const char* section) {
    if (!section) return nullptr;
    std::string name = Trim(OneLine(section));
    for (Section& s : m_sections) {
        if (s.bHeader && EqualNoCase(s.name, name)) return &s;
    }
    return nullptr;
}

const CProfileDocument::Section* CProfileDocument::Find(const char* section) const {
    return const_cast<CProfileDocument*>(this)->Find(section);
}

bool CProfileDocument::HasSection(const char* section) const { return Find(section) != nullptr; }

bool CProfileDocument::GetString(const char* section, const char* key, std::string& value) const {
    const Section* s = Find(section);
    if (!s || !key) return false;
    std::string k = Trim(OneLine(key));
    for (const Line& l : s->lines) {
        if (l.bKey && EqualNoCase(l.key, k)) {
            value = ValueOf(l.text);
            return true;
        }
    }
    return false;
}

void CProfileDocument::WriteString(const char* section, const char* key, const char* value) {
    if (!section) return;
    Section* s = Find(section);
    if (!key) {
        if (s) m_sections.erase(m_sections.begin() + (s - m_sections.data()));
        return;
    }
    std::string k = Trim(OneLine(key));
    if (s) {
        for (size_t i = 0; i < s->lines.size(); ++i) {
            Line& l = s->lines[i];
            if (!l.bKey || !EqualNoCase(l.key, k)) continue;
            if (!value) {
                s->lines.erase(s->lines.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                l.text = l.key + "=" + OneLine(value);
            }
            return;
        }
    }
    if (!value) return;
    if (!s) {
        if (m_sections.empty()) m_sections.push_back(Section{});
        Section ns;
        ns.name = Trim(OneLine(section));
        ns.bHeader = true;
        m_sections.push_back(std::move(ns));
        s = &m_sections.back();
    }
    // New keys go after the section's last non-blank line, before its trailing blanks.
    size_t at = s->lines.size();
    while (at > 0 && Trim(s->lines[at - 1].text).empty()) --at;
    Line nl;
    nl.text = k + "=" + OneLine(value);
    nl.key = k;
    nl.bKey = true;
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(nl));
}

std::vector<std::string> CProfileDocument::SectionNames() const {
    std::vector<std::string> names;
    for (const Section& s : m_sections) {
        if (s.bHeader) names.push_back(s.name);
    }
    return names;
}

std::vector<std::string> CProfileDocument::KeyNames(const char* section) const {
    std::vector<std::string> keys;
    if (const Section* s = Find(section)) {
        for (const Line& l : s->lines) {
            if (l.bKey) keys.push_back(l.key);
        }
    }
    return keys;
}

std::vector<std::string> CProfileDocument::SectionLines(const char* section) const {
    std::vector<std::string> lines;
    if (const Section* s = Find(section)) {
        for (const Line& l : s->lines) {
            if (l.bKey) lines.push_back(Trim(l.text));
        }
    }
    return lines;
}

void CProfileDocument::WriteSection(const char* section, const std::vector<std::string>& lines) {
    if (!section) return;
    Section* s = Find(section);
    if (!s) {
        if (m_sections.empty()) m_sections.push_back(Section{});
        Section ns;
        ns.name = Trim(OneLine(section));
        ns.bHeader = true;
        m_sections.push_back(std::move(ns));
        s = &m_sections.back();
    }
    s->lines.clear();
    for (const std::string& text : lines) {
        Line l;
        l.text = OneLine(text);
        std::string t = Trim(l.text);
        if (!t.empty() && t.front() != ';') {
            l.key = Trim(std::string_view(t).substr(0, t.find('=')));
            l.bKey = true;
        }
        s->lines.push_back(std::move(l));
    }
}

std::string GetProfileString(const std::string& file, const char* section, const char* key,
                             const char* def) {
    CProfileDocument doc;
    std::string value;
    if (doc.Load(file) && doc.GetString(section, key, value)) return value;
    return def ? Trim(def) : std::string();
}

int GetProfileInt(const std::string& file, const char* section, const char* key, int def) {
    CProfileDocument doc;
    std::string value;
    // An empty value reads as absent, as on Windows: "Port=" keeps the default port.
    if (!doc.Load(file) || !doc.GetString(section, key, value) || value.empty()) return def;
    const char* p = value.c_str();
    bool neg = false;
    if (*p == '-' || *p == '+') neg = *p++ == '-';
    // "0x" introduces a hexadecimal number, as the Windows function reads it: values
    // written as "0x%08X" come back.
    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    auto digit = [base](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    long long n = 0;
    for (int d; (d = digit(*p)) >= 0; ++p) {
        n = n * base + d;
        if (n > 0xFFFFFFFFLL) n = 0xFFFFFFFFLL;  // saturate instead of overflowing
    }
    if (neg) n = -n;
    return static_cast<int>(static_cast<unsigned int>(n));
}

bool WriteProfileString(const std::string& file, const char* section, const char* key,
                        const char* value) {
    if (!section) return false;
    CFolderLock lock(file);
    CProfileDocument doc;
    if (!doc.Load(file)) return false;
    const std::string before = doc.Text();
    doc.WriteString(section, key, value);
    // Deleting what is not there leaves the file alone (and creates none).
    if (doc.Text() == before) return true;
    return doc.Save(file);
}

std::vector<std::string> GetProfileSection(const std::string& file, const char* section) {
    CProfileDocument doc;
    doc.Load(file);
    return doc.SectionLines(section);
}

bool WriteProfileSection(const std::string& file, const char* section,
                         const std::vector<std::string>& lines) {
    if (!section) return false;
    CFolderLock lock(file);
    CProfileDocument doc;
    if (!doc.Load(file)) return false;
    doc.WriteSection(section, lines);
    return doc.Save(file);
}

std::vector<std::string> GetProfileSectionNames(const std::string& file) {
    CProfileDocument doc;
    doc.Load(file);
    return doc.SectionNames();
}

std::vector<std::string> GetProfileKeyNames(const std::string& file, const char* section) {
    CProfileDocument doc;
    doc.Load(file);
    return doc.KeyNames(section);
}

bool GetProfileStruct(const std::string& file, const char* section, const char* key, void* data,
                      std::size_t size) {
    CProfileDocument doc;
    std::string value;
    if (!section || !key || !doc.Load(file) || !doc.GetString(section, key, value)) return false;
    if (value.size() != 2 * size + 2) return false;
    auto nibble = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string bytes(size + 1, '\0');
    for (std::size_t i = 0; i <= size; ++i) {
        int hi = nibble(value[2 * i]), lo = nibble(value[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[i] = static_cast<char>(hi * 16 + lo);
    }
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += static_cast<unsigned char>(bytes[i]);
    if ((sum & 0xFF) != static_cast<unsigned char>(bytes[size])) return false;
    if (size) std::memcpy(data, bytes.data(), size);
    return true;
}

bool WriteProfileStruct(const std::string& file, const char* section, const char* key,
                        const void* data, std::size_t size) {
    if (!section || !key) return false;
    // No data deletes the key, as a missing value does for the string form.
    if (!data) return WriteProfileString(file, section, key, nullptr);
    static const char kHex[] = "0123456789ABCDEF";
    const auto* p = static_cast<const unsigned char*>(data);
    std::string text;
    text.reserve(2 * size + 2);
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        text += kHex[p[i] >> 4];
        text += kHex[p[i] & 15];
        sum += p[i];
    }
    text += kHex[(sum >> 4) & 15];
    text += kHex[sum & 15];
    return WriteProfileString(file, section, key, text.c_str());
}

}  // namespace platform
