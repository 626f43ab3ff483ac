#include "acq_server/settings/serversettings.h"

#include <algorithm>
#include <cctype>

#include "platform/folders.h"

namespace acqsettings {

namespace {

// One row per key, in the order SaveSettings writes them. A row is an int member (read back
// with its default and clamped to 0..nMax when nMax >= 0), a string member, or a fixed value
// (nFixed) that is written but never read back.
struct CKey {
    const char* pszSection;
    const char* pszName;
    int CServerSettings::*pInt = nullptr;
    std::string CServerSettings::*pStr = nullptr;
    int nDefault = 0;
    int nMax = -1;                        // -1: not clamped
    int CDicomSettings::*pFixed = nullptr;  // fixed DICOM value
    bool bEmptyText = false;              // store-target text, written empty
};

constexpr int kNoClamp = -1;

CKey Int(const char* name, int CServerSettings::*p, int def, int nMax = kNoClamp) {
    CKey k{kSection, name};
    k.pInt = p;
    k.nDefault = def;
    k.nMax = nMax;
    return k;
}
CKey Str(const char* name, std::string CServerSettings::*p) {
    CKey k{kSection, name};
    k.pStr = p;
    return k;
}
CKey Fixed(const char* name, int CDicomSettings::*p) {
    CKey k{kSection, name};
    k.pFixed = p;
    return k;
}
CKey Empty(const char* name) {
    CKey k{kStoreSection, name};
    k.bEmptyText = true;
    return k;
}

const std::vector<CKey>& Keys() {
    using S = CServerSettings;
    using D = CDicomSettings;
    static const std::vector<CKey> keys = {
        Int("Port Num", &S::m_nPortNum, 2003),
        Str("Working Folder", &S::m_strWorkingFolder),
        Str("Lindar", &S::m_strLindar),
        Str("Pulmetra", &S::m_strPulmetra),
        Str("Device IP", &S::m_strDeviceIP),
        Int("JPEG EKG", &S::m_nJpegEkg, 0),
        Int("PDF EKG", &S::m_nPdfEkg, 0),
        Int("TXT EKG", &S::m_nTxtEkg, 0),
        Fixed("DICOM EKG", &D::m_nDicomEkg),
        Int("JPEG Size EKG", &S::m_nJpegSizeEkg, 2, 5),
        Int("JPEG Type", &S::m_nJpegType, 1, 2),
        Int("JPEG Gain", &S::m_nJpegGain, 3, 4),
        Int("JPEG Rhythm", &S::m_nJpegRhythm, 1, 11),
        Int("JPEG Filter", &S::m_nJpegFilter, 0),
        Int("PDF Type", &S::m_nPdfType, 1, 2),
        Int("PDF Gain", &S::m_nPdfGain, 3, 4),
        Int("PDF Rhythm", &S::m_nPdfRhythm, 1, 11),
        Int("PDF Size EKG", &S::m_nPdfSizeEkg, 2, 5),
        Int("FOLDER TYPE", &S::m_nFolderType, 0),
        Int("TXT PAT EKG", &S::m_nTxtPatEkg, 0),
        Int("TXT PARAM EKG", &S::m_nTxtParamEkg, 0),
        Int("TXT DIAG EKG", &S::m_nTxtDiagEkg, 0),
        Int("TXT HOSP EKG", &S::m_nTxtHospEkg, 0),
        Int("JPEG SPR", &S::m_nJpegSpr, 0),
        Int("PDF SPR", &S::m_nPdfSpr, 0),
        Int("TXT SPR", &S::m_nTxtSpr, 0),
        Fixed("DICOM SPR", &D::m_nDicomSpr),
        Int("JPEG Size SPR", &S::m_nJpegSizeSpr, 2, 5),
        Int("PDF Size SPR", &S::m_nPdfSizeSpr, 2, 5),
        Int("TXT PAT SPR", &S::m_nTxtPatSpr, 0),
        Int("TXT PARAM SPR", &S::m_nTxtParamSpr, 0),
        Int("TXT DIAG SPR", &S::m_nTxtDiagSpr, 0),
        Int("TXT HOSP SPR", &S::m_nTxtHospSpr, 0),
        Empty("DICOM SCP HOST EKG"),
        Empty("DICOM SCP PORT EKG"),
        Empty("DICOM SCP AE EKG"),
        Empty("DICOM SCP HOST SPR"),
        Empty("DICOM SCP PORT SPR"),
        Empty("DICOM SCP AE SPR"),
        Fixed("DICOM SCP SEND EKG", &D::m_nScpSendEkg),
        Fixed("DICOM SCP SEND SPR", &D::m_nScpSendSpr),
        Fixed("DICOM CH", &D::m_nChannel),
        Fixed("DICOM Gain", &D::m_nGain),
        Fixed("DICOM Rhythm", &D::m_nRhythm),
        Fixed("DICOM TYPE", &D::m_nType),
        Fixed("DICOM WIN_WIDTH", &D::m_nWinWidth),
        Fixed("DICOM WIN_CENTER", &D::m_nWinCenter),
        Empty("DICOM MODALITY EKG"),
        Empty("DICOM MODALITY SPIRO"),
        Int("XML EKG", &S::m_nXmlEkg, 0),
    };
    return keys;
}

std::string WithSlash(std::string s) {
    if (!s.empty() && s.back() != '/')
        s.push_back('/');
    return s;
}

}  // namespace

int EkgWidth(int nSizeIndex) {
    return kPageSizes[static_cast<std::size_t>(std::clamp(nSizeIndex, 0, 5))].nEkgWidth;
}
int SpiroWidth(int nSizeIndex) {
    return kPageSizes[static_cast<std::size_t>(std::clamp(nSizeIndex, 0, 5))].nSpiroWidth;
}

CSettingsDefaults CSettingsDefaults::ForThisProgram() {
    CSettingsDefaults d;
    d.m_strHomeDir = WithSlash(platform::HomeDir(kProgramName));
    d.m_strProgramDir = WithSlash(platform::ProgramDir());
    return d;
}

void LoadSettings(platform::CSettingsStore& store, const CSettingsDefaults& defaults,
                  CServerSettings& settings) {
    for (const CKey& k : Keys()) {
        if (k.pInt) {
            int n = store.GetInt(k.pszSection, k.pszName, k.nDefault);
            if (k.nMax >= 0)
                n = std::clamp(n, 0, k.nMax);
            settings.*k.pInt = n;
        } else if (k.pStr) {
            settings.*k.pStr = store.GetString(k.pszSection, k.pszName, "");
        }
    }
    settings.m_dicom = CDicomSettings{};
    if (settings.m_strWorkingFolder.empty())
        settings.m_strWorkingFolder = defaults.m_strHomeDir + "Data";
    // The working folder is made on every load, not only for the default: records land
    // there as soon as the server listens.
    platform::MakeDirs(settings.m_strWorkingFolder);
    if (settings.m_strLindar.empty())
        settings.m_strLindar = defaults.m_strProgramDir + "Lindar";
    if (settings.m_strPulmetra.empty())
        settings.m_strPulmetra = defaults.m_strProgramDir + "Pulmetra";
    SaveSettings(store, settings);
}

void SaveSettings(platform::CSettingsStore& store, const CServerSettings& settings) {
    const CDicomSettings fixed;
    for (const CKey& k : Keys()) {
        if (k.pInt)
            store.WriteInt(k.pszSection, k.pszName, settings.*k.pInt);
        else if (k.pStr)
            store.WriteString(k.pszSection, k.pszName, (settings.*k.pStr).c_str());
        else if (k.pFixed)
            store.WriteInt(k.pszSection, k.pszName, fixed.*k.pFixed);
        else if (k.bEmptyText)
            store.WriteString(k.pszSection, k.pszName, "");
    }
}

bool IsValidIPAddress(const std::string& s) {
    if (s.empty())
        return true;
    if (s.size() < 7 || s.size() > 15)
        return false;
    int nDots = 0, nDigits = 0, nValue = 0;
    for (char c : s) {
        if (c == '.') {
            if (nDigits == 0)
                return false;
            ++nDots;
            nDigits = nValue = 0;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            if (++nDigits > 3)
                return false;
            nValue = nValue * 10 + (c - '0');
            if (nValue > 255)
                return false;
        } else {
            return false;
        }
    }
    return nDots == 3 && nDigits > 0;
}

}  // namespace acqsettings
