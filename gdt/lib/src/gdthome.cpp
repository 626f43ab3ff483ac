#include "gdthome.h"

#include "gdtsettings.h"
#include "platform/folders.h"
#include "zeqgdt/gdtutils.h"

namespace gdthome {

namespace {

const char kBridge[] = "ZeqGDT";
const char kIniName[] = "ZeqGDT.ini";
const char kTempName[] = "GDTTmp";
const char kWait[] = "[WAIT].";

std::string ProgramName() {
    std::string exe = platform::ProgramPath();
    std::string name = exe.substr(exe.find_last_of('/') + 1);
    for (char& c : name) {
        if (c == '\\')
            c = '_';
    }
    return name;
}

bool SameValue(const gdtsettings::CSetting& s, const CString& a, const CString& b) {
    return s.pFlag ? (CGDTUtils::GetInt(a) != 0) == (CGDTUtils::GetInt(b) != 0) : a == b;
}

// Settings changed only in the program's own file go into the shared one.
bool CarrySettings(const CString& strOwnIni, const CString& strOwnHome) {
    const CString sharedIni = CGDTUtils::MakePath("", kIniName);
    bool bCarried = !CGDTUtils::IsFile(sharedIni);
    for (const auto& s : gdtsettings::Settings()) {
        const CString sharedDefault = gdtsettings::DefaultText(s, "");
        const CString ownDefault = gdtsettings::DefaultText(s, strOwnHome);
        const CString sharedValue =
            CGDTUtils::IniReadString(sharedIni, gdtsettings::kSection, s.pszKey, sharedDefault);
        const CString ownValue =
            CGDTUtils::IniReadString(strOwnIni, gdtsettings::kSection, s.pszKey, ownDefault);
        if (!SameValue(s, sharedValue, sharedDefault))
            continue;  // changed in the shared file: that holds
        bool bChanged = !SameValue(s, ownValue, ownDefault);
        // A default exchange folder that exists was set up for use; the shared default that
        // nobody made was not.
        if (!bChanged && s.bPath)
            bChanged = CGDTUtils::IsDir(ownValue) && !CGDTUtils::IsDir(sharedDefault);
        if (bChanged) {
            CGDTUtils::IniWriteString(sharedIni, gdtsettings::kSection, s.pszKey, ownValue);
            bCarried = true;
        }
    }
    return bCarried;
}

// Taken orders, results and attachments move; wait copies are given back to the share.
void MoveTempFiles(const CString& strOwnHome) {
    const CString sharedTemp = CGDTUtils::MakePath("", kTempName);
    CStringArray files;
    CGDTUtils::GetFilesInPath(CGDTUtils::MakePath(strOwnHome, kTempName), "*.*", files);
    if (!files.empty() && !CGDTUtils::IsDir(sharedTemp))
        CGDTUtils::CreateDir(sharedTemp);
    for (const CString& f : files) {
        const CString name = CGDTUtils::GetFileName(f);
        if (name.rfind(kWait, 0) == 0) {
            CGDTUtils::DeleteFileA(f);
        } else if (!CGDTUtils::Rename(f, CGDTUtils::MakePath(sharedTemp, name))) {
            CGDTUtils::AddLog("Failed to move the file to the shared temporary folder.[%s]",
                              f.c_str());
        }
    }
}

}  // namespace

std::string HomeDir() {
    return platform::HomeDir(kBridge);
}

void HandOverOwnHome() {
    const std::string name = ProgramName();
    if (name.empty() || name == kBridge)
        return;
    // Every program's home lies in one base folder; the program's own is not made here.
    std::string shared = HomeDir();
    shared.pop_back();
    const CString ownHome = shared.substr(0, shared.find_last_of('/') + 1) + name + "/";
    const CString ownIni = CGDTUtils::MakePath(ownHome, kIniName);
    if (!CGDTUtils::IsFile(ownIni))
        return;
    if (CarrySettings(ownIni, ownHome)) {
        CGDTConfig config;  // every key of the shared file written, in order
        config.Save();
    }
    MoveTempFiles(ownHome);
    const CString kept = ownIni + ".old";
    if (CGDTUtils::IsFile(kept))
        CGDTUtils::DeleteFileA(kept);
    CGDTUtils::Rename(ownIni, kept);
    CGDTUtils::AddLog("The settings and temporary files were moved to the shared folder.[%s]",
                      ownHome.c_str());
}

}  // namespace gdthome
