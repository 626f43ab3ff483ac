#pragma once
// The viewer's own INI file, "<Program>.ini" in the program's home folder (which stands for
// the program's folder where the viewers keep files beside themselves). Values are texts;
// numbers are written as decimal texts; a missing value reads as the caller's default.
#include <string>

class CViewerIni {
public:
    explicit CViewerIni(const std::string& program);
    std::string GetString(const char* section, const char* key, const char* def = "") const;
    int GetInt(const char* section, const char* key, int def = 0) const;
    bool WriteString(const char* section, const char* key, const std::string& value);
    bool WriteInt(const char* section, const char* key, int value);
    const std::string& Path() const { return m_strPath; }
    // The program's home folder joined with a sub-folder, as the receive folder's default
    // ("PCData"); created when missing. Empty when it cannot be made.
    std::string DefaultFolder(const char* sub) const;

private:
    std::string m_strProgram;
    std::string m_strPath;
};

// The settings of the ECG viewer's section "EKG_VIEW".
inline constexpr const char* kEkgView = "EKG_VIEW";
