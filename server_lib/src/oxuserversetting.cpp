#include "server_lib/oxuserversetting.h"

#include <cstring>

#include "platform/folders.h"

namespace {
constexpr const char* kServer = "OXU_SERVER";
constexpr const char* kDb = "OXU_DB";
constexpr const char* kDicomScu = "OXU_SERVER_DICOM_SCU";
constexpr const char* kJpegGw = "OXU_SERVER_JPEG_GW";
}  // namespace

COxuServerSetting::COxuServerSetting() : CIniFile("Oxu.ini") {}

COxuServerSetting::~COxuServerSetting() = default;

CString COxuServerSetting::LibraryFolder() {
    return platform::ModuleDir(reinterpret_cast<const void*>(&COxuServerSetting::LibraryFolder));
}

int COxuServerSetting::GetEcgServerPort() { return GetInt(kServer, "ECG_PORT", 2003); }
void COxuServerSetting::SetEcgServerPort(int n) { WriteInt(kServer, "ECG_PORT", n); }
int COxuServerSetting::GetFileServerPort() { return GetInt(kServer, "FILE_PORT", 6003); }
void COxuServerSetting::SetFileServerPort(int n) { WriteInt(kServer, "FILE_PORT", n); }
const CString& COxuServerSetting::GetDataStoragePath() { return GetString(kServer, "STORAGE_PATH"); }
void COxuServerSetting::SetDataStoragePath(LPCSTR lpsz) { WriteString(kServer, "STORAGE_PATH", lpsz); }
int COxuServerSetting::GetDicomConv() { return GetInt(kServer, "DICOM_CONV", 0); }
void COxuServerSetting::SetDicomConv(int n) { WriteInt(kServer, "DICOM_CONV", n); }
int COxuServerSetting::GetDicomSend() { return GetInt(kServer, "DICOM_SEND", 0); }
void COxuServerSetting::SetDicomSend(int n) { WriteInt(kServer, "DICOM_SEND", n); }
int COxuServerSetting::GetJpegConvSend() { return GetInt(kServer, "JPEG_CONV_SEND", 0); }
void COxuServerSetting::SetJpegConvSend(int n) { WriteInt(kServer, "JPEG_CONV_SEND", n); }
const CString& COxuServerSetting::GetBindAddress() {
    return GetString(kServer, "BIND_ADDRESS", "0.0.0.0");
}
void COxuServerSetting::SetBindAddress(LPCSTR lpsz) { WriteString(kServer, "BIND_ADDRESS", lpsz); }

const CString& COxuServerSetting::GetDbHost() { return GetString(kDb, "DB_HOST"); }
void COxuServerSetting::SetDbHost(LPCSTR lpsz) { WriteString(kDb, "DB_HOST", lpsz); }
const CString& COxuServerSetting::GetDbName() { return GetString(kDb, "DB_NAME"); }
void COxuServerSetting::SetDbName(LPCSTR lpsz) { WriteString(kDb, "DB_NAME", lpsz); }
const CString& COxuServerSetting::GetDbUser() { return GetString(kDb, "DB_USER"); }
void COxuServerSetting::SetDbUser(LPCSTR lpsz) { WriteString(kDb, "DB_USER", lpsz); }
int COxuServerSetting::GetDbAccessMdb() { return GetInt(kDb, "DB_ACCESS_MDB", 0); }
void COxuServerSetting::SetDbAccessMdb(int n) { WriteInt(kDb, "DB_ACCESS_MDB", n); }
int COxuServerSetting::GetDbBusyTimeout() {
    return GetInt(kDb, "DB_BUSY_TIMEOUT", 30000);
}
void COxuServerSetting::SetDbBusyTimeout(int nMs) {
    WriteInt(kDb, "DB_BUSY_TIMEOUT", nMs);
}

LPCSTR COxuServerSetting::GetDbPasswd() {
    std::memset(m_abyPasswd, 0, sizeof m_abyPasswd);
    if (!GetStruct(kDb, "DB_PASSWD", m_abyPasswd, sizeof m_abyPasswd))
        std::memset(m_abyPasswd, 0, sizeof m_abyPasswd);
    m_abyPasswd[kPasswdBlock - 1] = 0;
    return m_abyPasswd;
}

void COxuServerSetting::SetDbPasswd(LPCSTR lpsz) {
    char aby[kPasswdBlock] = {};
    if (lpsz)
        std::strncpy(aby, lpsz, kPasswdBlock - 1);
    WriteStruct(kDb, "DB_PASSWD", aby, sizeof aby);
}

void COxuServerSetting::WriteDefaultDataStoragePath() {
    CString strFolder = HomeFolder() + "DataDB";
    platform::MakeDirs(strFolder);
    SetDataStoragePath(strFolder.c_str());
}

void COxuServerSetting::WriteDefaultSetting() {
    WriteDefaultDataStoragePath();
    SetEcgServerPort(2003);
    SetFileServerPort(6003);
    SetDbHost((HomeFolder() + "Database/oxunet.mdb").c_str());
    SetDbName("");
    SetDbUser("");
    SetDbPasswd("");
    SetDbAccessMdb(1);
    CString strFolder = LibraryFolder();
    if (strFolder.size() > 1 && strFolder.back() == '/')
        strFolder.pop_back();
    const struct {
        const char* pszSection;
        const char* pszFile;
    } programs[] = {{kDicomScu, "OxuDcmStoreSCU"}, {kJpegGw, "OxuEkgJpegGW"}};
    for (const auto& program : programs) {
        if (GetString(program.pszSection, "PROGRAM_PATH").empty())
            WriteString(program.pszSection, "PROGRAM_PATH", strFolder.c_str());
        if (GetString(program.pszSection, "PROGRAM_FILE").empty())
            WriteString(program.pszSection, "PROGRAM_FILE", program.pszFile);
    }
}
