#pragma once
// Typed access to the server library's settings file "Oxu.ini" (in the host's home
// folder). Each getter reads the file afresh; each setter writes at once.
#include "oxuutil/inifile.h"

class OXU_EXPORT COxuServerSetting : public CIniFile {
public:
    COxuServerSetting();
    ~COxuServerSetting() override;
    COxuServerSetting(const COxuServerSetting&) = default;
    COxuServerSetting& operator=(const COxuServerSetting&) = default;

    int GetEcgServerPort();
    void SetEcgServerPort(int n);
    int GetFileServerPort();
    void SetFileServerPort(int n);
    const CString& GetDataStoragePath();
    void SetDataStoragePath(LPCSTR lpsz);
    int GetDicomConv();
    void SetDicomConv(int n);
    int GetDicomSend();
    void SetDicomSend(int n);
    int GetJpegConvSend();
    void SetJpegConvSend(int n);
    // Address the servers listen on (ours: "0.0.0.0" when not set).
    const CString& GetBindAddress();
    void SetBindAddress(LPCSTR lpsz);

    const CString& GetDbHost();
    void SetDbHost(LPCSTR lpsz);
    const CString& GetDbName();
    void SetDbName(LPCSTR lpsz);
    const CString& GetDbUser();
    void SetDbUser(LPCSTR lpsz);
    // At most 49 bytes: the password is kept as a 50-byte block ending in 0.
    LPCSTR GetDbPasswd();
    void SetDbPasswd(LPCSTR lpsz);
    int GetDbAccessMdb();
    void SetDbAccessMdb(int n);
    // Ours: how long a database statement waits for another writer's lock, in
    // milliseconds ("DB_BUSY_TIMEOUT", 30000 when not set).
    int GetDbBusyTimeout();
    void SetDbBusyTimeout(int nMs);

    void WriteDefaultDataStoragePath();
    void WriteDefaultSetting();

    static constexpr int kPasswdBlock = 50;
    // The folder of the library itself, where the package's programs lie (with "/").
    static CString LibraryFolder();

private:
    char m_abyPasswd[kPasswdBlock] = {};
};
