// The follow-up steps of an ECG record that lie outside the database: its DICOM file (with
// the picture converter's JPEG when the converter is there) and the programs "Oxu.ini"
// names (the JPEG gateway, the DICOM store).
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/format.h"
#include "platform/process.h"
#include "server_lib/oxudbdatamanager.h"
#include "server_lib/oxuserversetting.h"

using platform::Format;

namespace {

// The picture converter: loaded once, kept loaded; null when it is missing.
using Ekg2JpegFn = int (*)(const char*, const char*);
Ekg2JpegFn LoadEkg2Jpeg() {
    static std::once_flag once;
    static Ekg2JpegFn pfn = nullptr;
    std::call_once(once, [] {
        const CString strLib = COxuServerSetting::LibraryFolder() + "libOxuEkg2Jpeg.so";
        if (void* h = ::dlopen(strLib.c_str(), RTLD_NOW | RTLD_LOCAL))
            pfn = reinterpret_cast<Ekg2JpegFn>(::dlsym(h, "Ekg2Jpeg"));
    });
    return pfn;
}

}  // namespace

int COxuDbDataManager::SaveToDicom(const CRows& rows, const COxuEkgFile& file,
                                   CString& strDicomPath) {
    strDicomPath.clear();
    if (COxuServerSetting().GetDicomConv() == 0)
        return 1;
    const CString strPath = file.GetFilePath() + ".dcm";
    const CString strJpeg = strPath + ".jpg";
    BOOL bJpeg = FALSE;
    if (Ekg2JpegFn pfn = LoadEkg2Jpeg())
        bJpeg = pfn(file.GetFilePath().c_str(), strJpeg.c_str()) == 1;
    CString strError;
    const BOOL bOk = OxuWriteDicom(rows, strPath, strJpeg, bJpeg, strError);
    if (bOk) {
        Log(Format("Successfully saved [%s] DICOM File.", strPath.c_str()));
        strDicomPath = strPath;
        return 1;
    }
    Log(Format("Fail to save [%s] DICOM File!!!", strPath.c_str()) +
        (strError.empty() ? CString() : " (" + strError + ")"));
    return 0;
}

BOOL COxuDbDataManager::ExecuteExternalJpegGwProgram(const CString& strPath) {
    return ExecuteExternal("JPEG_CONV_SEND", "OXU_SERVER_JPEG_GW",
                           "External JPEG G/W Program Path is empty",
                           "External JPEG G/W Program File is empty", strPath);
}

BOOL COxuDbDataManager::ExecuteExternalDicomScuProgram(const CString& strPath) {
    return ExecuteExternal("DICOM_SEND", "OXU_SERVER_DICOM_SCU", "External Program Path is empty",
                           "External Program File is empty", strPath);
}

BOOL COxuDbDataManager::ExecuteExternal(const char* pszSwitch, const char* pszSection,
                                        const char* pszPathEmpty, const char* pszFileEmpty,
                                        const CString& strPath) {
    COxuServerSetting setting;
    if (setting.GetInt("OXU_SERVER", pszSwitch, 0) == 0)
        return TRUE;
    CString strFolder = setting.GetString(pszSection, "PROGRAM_PATH");
    if (strFolder.empty()) {
        Log(pszPathEmpty);
        return FALSE;
    }
    const CString strFile = setting.GetString(pszSection, "PROGRAM_FILE");
    if (strFile.empty()) {
        Log(pszFileEmpty);
        return FALSE;
    }
    if (strFolder.back() == '/' || strFolder.back() == '\\')
        strFolder.pop_back();
    const CString strProgram = strFolder + "/" + strFile;
    // Started detached, the path its one argument; only whether it could start is known.
    // The start gives its own error number (errno is not set by it).
    int nError = 0;
    if (::access(strProgram.c_str(), X_OK) != 0)
        nError = errno ? errno : ENOENT;
    else if (!platform::StartDetached({strProgram, strPath}, strFolder, &nError) && !nError)
        nError = ENOENT;
    if (nError) {
        Log(CString(std::strerror(nError)) + " : Running the External Program");
        return FALSE;
    }
    return TRUE;
}
