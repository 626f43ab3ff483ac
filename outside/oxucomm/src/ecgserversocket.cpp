// The ECG server: each connection runs the acquisition server's device link on the
// storage folder; each record it stored and answered is queued, as a record object, for
// the work thread. Stop drains that queue, so a record answered "taken" is always worked.
#include "acq_server/devicelink.h"
#include "oxucomm/oxufiles.h"
#include "oxucomm/oxusockets.h"
#include "servercore.h"

namespace {

class CEcgSession : public oxucomm::CSession {
public:
    CEcgSession(oxucomm::CServerCore& core, COxuEcgServerSocket& server)
        : CSession(core), m_server(server) {
        m_context.m_settings.m_strWorkingFolder = server.GetStoragePath();
        m_context.m_settings.m_nFolderType = 0;
        m_context.m_onStored = [this](const CStoredRecord& record) { OnStored(record); };
        m_pLink = std::make_unique<CDeviceLink>(
            m_context, [this](const BYTE* p, std::size_t n) { return Send(p, n) ? TRUE : FALSE; });
    }

protected:
    bool OnData(const BYTE* p, std::size_t n) override { return m_pLink->OnReceive(p, n) != FALSE; }

private:
    void OnStored(const CStoredRecord& record) {
        COxuBaseFile* pFile = MakeOxuFile(record);
        if (!pFile)
            return;
        pFile->m_strPeer = GetConnectPeerName();
        if (COxuSocketCallback* p = m_server.GetCallback())
            p->OnReceive(pFile->m_strPeer.c_str(), pFile->GetFileType().c_str(),
                         record.m_strPath.c_str());
        m_server.HandRecord(pFile);
    }

    COxuEcgServerSocket& m_server;
    CAcqContext m_context;
    std::unique_ptr<CDeviceLink> m_pLink;
};

}  // namespace

COxuEcgServerSocket::COxuEcgServerSocket() = default;

COxuEcgServerSocket::~COxuEcgServerSocket() {
    Stop();
}

int COxuEcgServerSocket::Listen(int nPort) {
    if (IsListening())
        return FALSE;
    m_pQueue = std::make_unique<oxucomm::CWorkQueue>([this](COxuBaseFile* pFile) {
        if (COxuSocketWorkCallback* pWork = m_pWork.load())
            pWork->Work(pFile, GetCallback(), GetLogger());
    });
    if (!COxuServerSocket::Listen(nPort)) {
        m_pQueue.reset();
        return FALSE;
    }
    return TRUE;
}

void COxuEcgServerSocket::Stop() {
    COxuServerSocket::Stop();  // no record arrives after this
    if (m_pQueue)
        m_pQueue->Drain();
    m_pQueue.reset();
}

void COxuEcgServerSocket::SetWorkCallback(COxuSocketWorkCallback* pWork) {
    m_pWork = pWork;
}

int COxuEcgServerSocket::GetPendingCount() const {
    return m_pQueue ? m_pQueue->Pending() : 0;
}

void COxuEcgServerSocket::HandRecord(COxuBaseFile* pFile) {
    std::unique_ptr<COxuBaseFile> p(pFile);
    if (m_pQueue)
        m_pQueue->Push(std::move(p));
}

std::shared_ptr<oxucomm::CSession> COxuEcgServerSocket::NewSession(oxucomm::CServerCore& core) {
    return std::make_shared<CEcgSession>(core, *this);
}
