#pragma once
// The settings store that stands where Windows kept per-user registry values: one INI
// file per key path under the configuration folder ($XDG_CONFIG_HOME/Corvane/), the
// sub-keys as sections, the values as keys.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class CSettingsStore {
public:
    // keyPath: the key below the user's software root, "Maker/Program" ("\" or "/").
    explicit CSettingsStore(const std::string& keyPath);

    const std::string& FilePath() const { return m_strFile; }

    std::string GetString(const char* section, const char* entry, const char* def) const;
    int GetInt(const char* section, const char* entry, int def) const;
    // Binary values are kept as hexadecimal text.
    bool GetBinary(const char* section, const char* entry, std::vector<std::uint8_t>& data) const;

    // value == nullptr deletes the entry; entry == nullptr deletes the section.
    bool WriteString(const char* section, const char* entry, const char* value);
    bool WriteInt(const char* section, const char* entry, int value);
    bool WriteBinary(const char* section, const char* entry, const std::uint8_t* data,
                     std::size_t size);

private:
    std::string m_strFile;
};

}  // namespace platform
