#pragma once
// The server's settings: the "Environment" section of the profile key "Corvane\Qar Server"
// (and the DICOM store target section, written empty) as plain values. The main frame
// holds one copy, loads it (clamped, the fixed DICOM values set, empty paths filled, the
// whole section written back) and saves it when the settings dialog closes with OK.
// No Qt: the option dialogs copy these values in and out.
#include <array>
#include <string>

#include "platform/settings.h"

namespace acqsettings {

inline constexpr const char* kKeyPath = "Corvane\\Qar Server";
inline constexpr const char* kSection = "Environment";
inline constexpr const char* kStoreSection = "OXU DICOM Store SCU";
// Program name of the server's own home folder (working folder and debug log).
inline constexpr const char* kProgramName = "QarServer";

// The page sizes of the image and PDF size settings 0..5 (ECG landscape, spirometry
// portrait), as the option dialogs show them; only the width goes to a control, which
// derives the height.
struct CPageSize {
    int nEkgWidth, nSpiroWidth;
    const char* pszEkgText;
    const char* pszSpiroText;
};
inline constexpr std::array<CPageSize, 6> kPageSizes = {{
    {800, 600, "800 * 600", "600 * 800"},
    {900, 675, "900 * 675", "675 * 900"},
    {1024, 768, "1024 * 768", "768 * 1024"},
    {1280, 960, "1280 * 960", "960 * 1280"},
    {1600, 1200, "1600 * 1200", "1200 * 1600"},
    {2700, 2025, "2700 * 2025", "2025 * 2700"},
}};
int EkgWidth(int nSizeIndex);    // index clamped to 0..5
int SpiroWidth(int nSizeIndex);

// The DICOM values are fixed: every load and every save puts these back.
struct CDicomSettings {
    int m_nDicomEkg = 0, m_nDicomSpr = 0;            // switches, always off
    int m_nScpSendEkg = 0, m_nScpSendSpr = 0;        // store-send switches, always off
    int m_nChannel = 1, m_nGain = 3, m_nRhythm = 1;  // "DICOM CH", "DICOM Gain", "DICOM Rhythm"
    int m_nType = 0;                                 // "DICOM TYPE"
    int m_nWinWidth = 256, m_nWinCenter = 128;       // read by the viewers

    bool operator==(const CDicomSettings&) const = default;
};

struct CServerSettings {
    int m_nPortNum = 2003;  // stored only; the server listens on 2003 whatever it holds
    std::string m_strWorkingFolder;
    std::string m_strLindar;
    std::string m_strPulmetra;
    std::string m_strDeviceIP;

    int m_nJpegEkg = 0, m_nPdfEkg = 0, m_nTxtEkg = 0;
    int m_nJpegSizeEkg = 2, m_nJpegType = 1, m_nJpegGain = 3, m_nJpegRhythm = 1;
    int m_nJpegFilter = 0;
    int m_nPdfType = 1, m_nPdfGain = 3, m_nPdfRhythm = 1, m_nPdfSizeEkg = 2;
    int m_nFolderType = 0;  // 0 all in the working folder, 1 a folder per ID, 2 per file type
    int m_nTxtPatEkg = 0, m_nTxtParamEkg = 0, m_nTxtDiagEkg = 0, m_nTxtHospEkg = 0;
    int m_nJpegSpr = 0, m_nPdfSpr = 0, m_nTxtSpr = 0;
    int m_nJpegSizeSpr = 2, m_nPdfSizeSpr = 2;
    int m_nTxtPatSpr = 0, m_nTxtParamSpr = 0, m_nTxtDiagSpr = 0, m_nTxtHospSpr = 0;
    int m_nXmlEkg = 0;

    CDicomSettings m_dicom;

    bool operator==(const CServerSettings&) const = default;
};

// Where the defaults point: the working folder "Data" in the server's home folder, the
// viewers beside the running program.
struct CSettingsDefaults {
    std::string m_strHomeDir;     // with a trailing "/"
    std::string m_strProgramDir;  // with a trailing "/"
    static CSettingsDefaults ForThisProgram();
};

// Reads every key (defaults and clamps of the table), sets the fixed DICOM values, fills
// empty paths (creating the working folder) and writes the whole section back.
void LoadSettings(platform::CSettingsStore& store, const CSettingsDefaults& defaults,
                  CServerSettings& settings);
// Writes every key in the table's order with the fixed DICOM values and empty store texts.
void SaveSettings(platform::CSettingsStore& store, const CServerSettings& settings);

// A device address as the IP setting dialog takes it: empty, or a dotted IPv4 address
// (7 to 15 characters, only digits and dots, three dots, four groups of 1 to 3 digits,
// each at most 255).
bool IsValidIPAddress(const std::string& strAddress);

}  // namespace acqsettings
