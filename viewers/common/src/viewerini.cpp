#include "viewers/common/viewerini.h"

#include "platform/folders.h"
#include "platform/profile.h"

CViewerIni::CViewerIni(const std::string& program)
    : m_strProgram(program), m_strPath(platform::HomeDir(program) + program + ".ini") {}

std::string CViewerIni::GetString(const char* section, const char* key, const char* def) const {
    return platform::GetProfileString(m_strPath, section, key, def);
}

int CViewerIni::GetInt(const char* section, const char* key, int def) const {
    return platform::GetProfileInt(m_strPath, section, key, def);
}

bool CViewerIni::WriteString(const char* section, const char* key, const std::string& value) {
    return platform::WriteProfileString(m_strPath, section, key, value.c_str());
}

bool CViewerIni::WriteInt(const char* section, const char* key, int value) {
    return WriteString(section, key, std::to_string(value));
}

std::string CViewerIni::DefaultFolder(const char* sub) const {
    const std::string dir = platform::HomeDir(m_strProgram) + sub;
    return platform::MakeDirs(dir) ? dir : std::string();
}
