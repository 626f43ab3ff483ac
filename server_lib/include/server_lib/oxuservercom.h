#pragma once
// The server library's one object: a host creates it, starts the ECG server (records
// from devices) and the file server on the ports of "Oxu.ini", connects the database and
// receives progress through its callbacks. Every call is made on the host's thread and
// returns without waiting on a device; the callbacks come on the library's own threads.
// Not copyable: it owns both servers, the work callback and the connection.
#include <memory>

#include "oxucomm/oxusockets.h"
#include "oxudb/oxudbconnect.h"
#include "server_lib/oxuserverloggers.h"
#include "server_lib/oxuserverworkcallback.h"

class OXU_EXPORT COxuServerCom {
public:
    COxuServerCom();
    virtual ~COxuServerCom();
    COxuServerCom(const COxuServerCom&) = delete;
    COxuServerCom& operator=(const COxuServerCom&) = delete;

    void SetEcgServerCallback(COxuSocketCallback* pCallback);
    void SetFileServerCallback(COxuSocketCallback* pCallback);
    int StartEcgServer();
    int StartFileServer();
    void StopEcgServer();
    void StopFileServer();
    int IsStartedEcgServer() const { return m_pEcgServer ? TRUE : FALSE; }
    int IsStartedFileServer() const { return m_pFileServer ? TRUE : FALSE; }
    LPCSTR GetEcgServerStartTime(LPCSTR lpszFormat);
    LPCSTR GetFileServerStartTime(LPCSTR lpszFormat);
    LPCSTR GetLastError() const { return m_strLastError.c_str(); }
    int IsDbConnect() const { return m_dbConnect.IsConnect(); }
    int DbConnect();
    void EnableSendEkgToCorvaneServer(int nFlag) { m_nSendFlag = nFlag; }

    COxuEcgServerLogger& GetEcgServerLogger() { return m_ecgLog; }
    COxuFileServerLogger& GetFileServerLogger() { return m_fileLog; }
    COxuDbConnect& GetDbConnect() { return m_dbConnect; }

    // Ours: the ports the servers listen on (-1 while stopped), and the ECG server itself.
    int GetEcgPort() const { return m_nEcgPort; }
    int GetFilePort() const { return m_nFilePort; }
    COxuEcgServerSocket* GetEcgServer() const { return m_pEcgServer.get(); }
    COxuServerWorkCallback& GetWorkCallback() { return m_work; }

private:
    int m_nSendFlag = 0;
    int m_nEcgPort = -1;
    int m_nFilePort = -1;
    CString m_strDbHost, m_strDbName, m_strDbUser, m_strDbPasswd;
    CString m_strLastError;
    std::unique_ptr<COxuEcgServerSocket> m_pEcgServer;
    std::unique_ptr<COxuFileServerSocket> m_pFileServer;
    COxuSocketCallback* m_pEcgCallback = nullptr;
    COxuSocketCallback* m_pFileCallback = nullptr;
    COxuEcgServerLogger m_ecgLog;
    COxuFileServerLogger m_fileLog;
    COxuDbConnect m_dbConnect;
    COxuServerWorkCallback m_work{&m_nSendFlag};
    CString m_strEcgStartTime, m_strFileStartTime;
};
