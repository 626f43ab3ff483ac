#include "platform/settings.h"

#include "platform/folders.h"
#include "platform/profile.h"

namespace platform {

namespace {

std::string FileForKey(const std::string& keyPath) {
    std::string rel;
    for (char c : keyPath) rel.push_back(c == '\\' ? '/' : c);
    // A key path never leads out of the configuration folder.
    std::string clean;
    size_t pos = 0;
    while (pos <= rel.size()) {
        size_t slash = rel.find('/', pos);
        std::string piece = rel.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        if (!piece.empty() && piece != "." && piece != "..") {
            if (!clean.empty()) clean += '/';
            clean += piece;
        }
        if (slash == std::string::npos) break;
        pos = slash + 1;
    }
    if (clean.empty()) clean = "default";
    return ConfigDir() + clean + ".ini";
}

const char kHex[] = "0123456789ABCDEF";

}  // namespace

CSettingsStore::CSettingsStore(const std::string& keyPath) : m_strFile(FileForKey(keyPath)) {}

std::string CSettingsStore::GetString(const char* section, const char* entry, const char* def) const {
    return GetProfileString(m_strFile, section, entry, def);
}

int CSettingsStore::GetInt(const char* section, const char* entry, int def) const {
    return GetProfileInt(m_strFile, section, entry, def);
}

bool CSettingsStore::GetBinary(const char* section, const char* entry,
                               std::vector<std::uint8_t>& data) const {
    CProfileDocument doc;
    std::string text;
    if (!doc.Load(m_strFile) || !doc.GetString(section, entry, text) || text.size() % 2) return false;
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        auto nib = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            return -1;
        };
        int hi = nib(text[i]), lo = nib(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    data = std::move(out);
    return true;
}

bool CSettingsStore::WriteString(const char* section, const char* entry, const char* value) {
    if (!MakeDirs(m_strFile.substr(0, m_strFile.rfind('/') + 1))) return false;
    return WriteProfileString(m_strFile, section, entry, value);
}

bool CSettingsStore::WriteInt(const char* section, const char* entry, int value) {
    return WriteString(section, entry, std::to_string(value).c_str());
}

bool CSettingsStore::WriteBinary(const char* section, const char* entry, const std::uint8_t* data,
                                 std::size_t size) {
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text.push_back(kHex[data[i] >> 4]);
        text.push_back(kHex[data[i] & 0xF]);
    }
    return WriteString(section, entry, text.c_str());
}

}  // namespace platform
