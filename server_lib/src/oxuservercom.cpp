#include "server_lib/oxuservercom.h"

#include "platform/format.h"
#include "server_lib/oxuserversetting.h"

using platform::Format;

COxuServerCom::COxuServerCom() = default;

COxuServerCom::~COxuServerCom() {
    StopEcgServer();
    StopFileServer();
}

void COxuServerCom::SetEcgServerCallback(COxuSocketCallback* pCallback) {
    m_pEcgCallback = pCallback;
    if (m_pEcgServer)
        m_pEcgServer->InitCallback(pCallback);
}

void COxuServerCom::SetFileServerCallback(COxuSocketCallback* pCallback) {
    m_pFileCallback = pCallback;
    if (m_pFileServer)
        m_pFileServer->InitCallback(pCallback);
}

int COxuServerCom::StartEcgServer() {
    if (m_pEcgServer) {
        m_strLastError = "ECG Server is already running";
        return FALSE;
    }
    auto pServer = std::make_unique<COxuEcgServerSocket>();
    pServer->InitLogger(&m_ecgLog);
    pServer->InitCallback(m_pEcgCallback);
    pServer->SetWorkCallback(&m_work);
    COxuServerSetting setting;
    CString strFolder = setting.GetDataStoragePath();
    if (strFolder.empty()) {
        setting.WriteDefaultDataStoragePath();
        strFolder = setting.GetDataStoragePath();
    }
    // The folder before listening: the first record may come at once.
    pServer->SetStoragePath(strFolder.c_str());
    pServer->SetBindAddress(setting.GetBindAddress().c_str());
    if (!pServer->Listen(setting.GetEcgServerPort())) {
        m_strLastError = "ECG Server start failed!!!";
        return FALSE;
    }
    m_nEcgPort = pServer->m_nPort;
    m_pEcgServer = std::move(pServer);
    return TRUE;
}

int COxuServerCom::StartFileServer() {
    if (m_pFileServer) {
        m_strLastError = "FILE Server is already running";
        return FALSE;
    }
    auto pServer = std::make_unique<COxuFileServerSocket>();
    pServer->InitLogger(&m_fileLog);
    pServer->InitCallback(m_pFileCallback);
    COxuServerSetting setting;
    pServer->SetStoragePath(setting.GetDataStoragePath().c_str());
    pServer->SetBindAddress(setting.GetBindAddress().c_str());
    if (!pServer->Listen(setting.GetFileServerPort())) {
        m_strLastError = "FILE Server start failed!!!";
        return FALSE;
    }
    m_nFilePort = pServer->m_nPort;
    m_pFileServer = std::move(pServer);
    return TRUE;
}

void COxuServerCom::StopEcgServer() {
    if (!m_pEcgServer)
        return;
    m_pEcgServer->Stop();  // returns once the received records were worked
    m_pEcgServer.reset();
    m_nEcgPort = -1;
}

void COxuServerCom::StopFileServer() {
    if (!m_pFileServer)
        return;
    m_pFileServer->Stop();
    m_pFileServer.reset();
    m_nFilePort = -1;
}

LPCSTR COxuServerCom::GetEcgServerStartTime(LPCSTR lpszFormat) {
    m_strEcgStartTime = m_pEcgServer ? m_pEcgServer->GetStartTime().Format(lpszFormat) : CString();
    return m_strEcgStartTime.c_str();
}

LPCSTR COxuServerCom::GetFileServerStartTime(LPCSTR lpszFormat) {
    m_strFileStartTime =
        m_pFileServer ? m_pFileServer->GetStartTime().Format(lpszFormat) : CString();
    return m_strFileStartTime.c_str();
}

int COxuServerCom::DbConnect() {
    COxuServerSetting setting;
    auto read = [&](CString& host, CString& name, CString& user, CString& passwd, int& mdb) {
        host = setting.GetDbHost();
        name = setting.GetDbName();
        user = setting.GetDbUser();
        passwd = setting.GetDbPasswd();
        mdb = setting.GetDbAccessMdb();
    };
    CString strHost, strName, strUser, strPasswd;
    int nMdb = 0;
    read(strHost, strName, strUser, strPasswd, nMdb);
    if (strHost.empty()) {
        setting.WriteDefaultSetting();
        read(strHost, strName, strUser, strPasswd, nMdb);
    }
    auto fail = [&](const char* pszReason) {
        m_strLastError = CString("DbConnect(): Connect Failed. ([Reason] ") + pszReason + ")";
        m_ecgLog.Log("%s", m_strLastError.c_str());
        return FALSE;
    };
    if (strHost.empty())
        return fail("DB Host is empty");
    if (nMdb == 0 && strName.empty())
        return fail("DB Name is empty");
    if (nMdb == 0 && strUser.empty())
        return fail("DB UserName is empty");

    // The records being worked give up at once (they stay owed and are tried again on
    // the new connection), so that no database wait holds the host here.
    m_work.Interrupt(TRUE);
    std::unique_lock<std::mutex> lock(m_work.Lock());
    m_work.Interrupt(FALSE);
    m_dbConnect.SetBusyTimeout(setting.GetDbBusyTimeout());
    const BOOL bOk = m_dbConnect.Connect(strHost.c_str(), strName.c_str(), strUser.c_str(),
                                         strPasswd.c_str(), nMdb);
    if (bOk)
        m_strLastError = "DbConnect(): Connect Succeed. " +
                         Format("([INFO] Host: %s, DB: %s, User: %s)", strHost.c_str(),
                                strName.c_str(), strUser.c_str());
    else
        m_strLastError = "DbConnect(): Connect Failed. " +
                         Format("([Reason] Host: %s, DB: %s, User: %s)", strHost.c_str(),
                                strName.c_str(), strUser.c_str());
    m_ecgLog.Log("%s", m_strLastError.c_str());
    if (!bOk && !m_dbConnect.GetLastError().empty())
        m_ecgLog.Log("%s", m_dbConnect.GetLastError().c_str());
    m_work.InitDataManager(&m_dbConnect);
    lock.unlock();
    m_strDbHost = strHost;
    m_strDbName = strName;
    m_strDbUser = strUser;
    m_strDbPasswd = strPasswd;
    // What waited for the database (also what came before this call) is worked now.
    if (m_pEcgServer)
        m_pEcgServer->WakeWork();
    return bOk;
}
