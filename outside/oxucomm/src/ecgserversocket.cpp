// The ECG server: each connection runs the acquisition server's device link on the
// storage folder. A record it stored becomes owed (its marker synced) before the device
// reads its answer: the replies the link sends while it handles received bytes are held
// until the end of that call, and a reply whose record could not be made owed becomes a
// refusal. The work thread then hands the owed records to the work callback.
#include <algorithm>

#include "acq_server/devicelink.h"
#include "oxucomm/oxufiles.h"
#include "oxucomm/oxuowed.h"
#include "oxucomm/oxusockets.h"
#include "platform/format.h"
#include "servercore.h"
#include "workqueue.h"

namespace {

class CEcgSession;

// The connection's spirometry record, watched: a test saved on the legacy path is handed
// over by no one, so the session learns of every saved test here.
class CSpiroWatch : public ISpiroRecord {
public:
    CSpiroWatch(std::unique_ptr<ISpiroRecord> pInner,
                std::vector<std::pair<CString, CString>>& saved)
        : m_pInner(std::move(pInner)), m_saved(saved) {}
    void Reset() override { m_pInner->Reset(); }
    void AddDeviceMessage(BYTE nTag, const BYTE* pMessage, std::size_t nLength) override {
        m_pInner->AddDeviceMessage(nTag, pMessage, nLength);
    }
    void SetFrameHeader(int nOption, const BYTE* pFrame, std::size_t nLength) override {
        m_pInner->SetFrameHeader(nOption, pFrame, nLength);
    }
    void AddFrameData(int nOption, BYTE nSubType, const BYTE* pFrame,
                      std::size_t nLength) override {
        m_pInner->AddFrameData(nOption, nSubType, pFrame, nLength);
    }
    int GetTestType() const override { return m_pInner->GetTestType(); }
    BOOL Save(const CAcqContext& context, CString& strPath, CString& strPatientID) override {
        const BOOL bSaved = m_pInner->Save(context, strPath, strPatientID);
        if (bSaved)
            m_saved.emplace_back(strPath, strPatientID);
        return bSaved;
    }
    const CSpiroTestFile* GetTestFile() const override { return m_pInner->GetTestFile(); }

private:
    std::unique_ptr<ISpiroRecord> m_pInner;
    std::vector<std::pair<CString, CString>>& m_saved;
};

bool IsTakenReply(const std::vector<BYTE>& aby) {
    return (aby.size() == 4 && aby[0] == 0xFC && aby[1] == 6 && aby[3] == 0xEF) ||
           (aby.size() == acq::kLongReply && aby[0] == 0xFD && aby[1] == 0xC2 && aby[2] == 0xBC);
}

class CEcgSession : public oxucomm::CSession {
public:
    CEcgSession(oxucomm::CServerCore& core, COxuEcgServerSocket& server)
        : CSession(core), m_server(server) {
        m_context.m_settings.m_strWorkingFolder = server.GetStoragePath();
        m_context.m_settings.m_nFolderType = 0;
        m_context.m_onStored = [this](const CStoredRecord& record) { OnStored(record); };
        m_context.m_spiroFactory = [this] {
            return std::make_unique<CSpiroWatch>(MakeSpiroRecord(), m_aSavedTests);
        };
        m_pLink = std::make_unique<CDeviceLink>(
            m_context, [this](const BYTE* p, std::size_t n) { return Reply(p, n); });
    }

protected:
    bool OnData(const BYTE* p, std::size_t n) override {
        m_bHolding = true;
        const bool bOk = m_pLink->OnReceive(p, n) != FALSE;
        m_bHolding = false;
        // Tests saved but not handed over (legacy spirometry) are owed too.
        for (const auto& [strPath, strID] : m_aSavedTests)
            Owe("SPIRO", strPath, strID);
        m_aSavedTests.clear();
        for (const auto& aby : m_aHeld)
            Send(aby.data(), aby.size());
        m_aHeld.clear();
        return bOk;
    }

private:
    BOOL Reply(const BYTE* p, std::size_t n) {
        if (!m_bHolding)
            return Send(p, n) ? TRUE : FALSE;
        m_aHeld.emplace_back(p, p + n);
        return TRUE;
    }

    void OnStored(const CStoredRecord& record) {
        if (record.m_nKind == 2) {
            auto it = std::find_if(m_aSavedTests.begin(), m_aSavedTests.end(),
                                   [&](const auto& t) { return t.first == record.m_strPath; });
            if (it != m_aSavedTests.end())
                m_aSavedTests.erase(it);
        }
        if (record.m_nKind != 1 && record.m_nKind != 2)
            return;
        if (!Owe(record.m_nKind == 1 ? "EKG" : "SPIRO", record.m_strPath, record.m_strPatientID) &&
            !m_aHeld.empty() && IsTakenReply(m_aHeld.back())) {
            // The answer was just given for this record: the device is told to send again.
            const BYTE abyRefused[4] = {0xFC, 7, 0, 0xEF};
            m_aHeld.back().assign(abyRefused, abyRefused + 4);
        }
    }

    bool Owe(const char* pszKind, const CString& strPath, const CString& strID) {
        COxuOwed owed;
        owed.m_strKind = pszKind;
        owed.m_strPath = strPath;
        owed.m_strID = strID;
        owed.m_strPeer = GetConnectPeerName();
        CString strError;
        if (!m_server.OweRecord(owed, strError)) {
            if (COxuSocketLogger* p = m_server.GetLogger())
                p->Log("The record cannot be kept owed on disk, the device is refused: %s (%s)",
                       strPath.c_str(), strError.c_str());
            return false;
        }
        if (COxuSocketCallback* p = m_server.GetCallback())
            p->OnReceive(owed.m_strPeer.c_str(), pszKind, strPath.c_str());
        return true;
    }

    COxuEcgServerSocket& m_server;
    // Before the link, which holds the watch that fills it.
    std::vector<std::pair<CString, CString>> m_aSavedTests;  // path, patient ID
    std::vector<std::vector<BYTE>> m_aHeld;
    bool m_bHolding = false;
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
    m_pOwed = std::make_unique<COxuOwedRecords>(GetStoragePath());
    auto log = [this](const CString& str) { Log(str); };
    std::vector<COxuOwed> aFound = m_pOwed->Scan(log);
    if (!aFound.empty())
        Log(platform::Format("%zu owed records found in %s: they are worked first", aFound.size(),
                             m_pOwed->GetFolder().c_str()));
    m_pQueue = std::make_unique<oxucomm::CWorkQueue>(
        *m_pOwed, std::move(aFound),
        [this](const std::vector<COxuBaseFile*>& apFiles, std::vector<BOOL>& abDone) {
            if (COxuSocketWorkCallback* pWork = m_pWork.load())
                pWork->WorkAll(apFiles, abDone, GetCallback(), GetLogger());
        },
        [this](BOOL bOn) {
            if (COxuSocketWorkCallback* pWork = m_pWork.load())
                pWork->Interrupt(bOn);
        },
        log);
    if (!COxuServerSocket::Listen(nPort)) {
        m_pQueue->Stop(kStopGraceMs);
        m_pQueue.reset();
        return FALSE;
    }
    return TRUE;
}

void COxuEcgServerSocket::Stop() {
    COxuServerSocket::Stop();  // no record arrives after this
    if (m_pQueue)
        m_pQueue->Stop(kStopGraceMs);
    m_pQueue.reset();
}

void COxuEcgServerSocket::SetWorkCallback(COxuSocketWorkCallback* pWork) {
    m_pWork = pWork;
}

int COxuEcgServerSocket::GetPendingCount() const {
    return m_pQueue ? m_pQueue->Pending() : 0;
}

void COxuEcgServerSocket::WakeWork() {
    if (m_pQueue)
        m_pQueue->Wake();
}

BOOL COxuEcgServerSocket::OweRecord(COxuOwed& owed, CString& strError) {
    if (!m_pOwed || !m_pQueue) {
        strError = "the server is not running";
        return FALSE;
    }
    if (!m_pOwed->Add(owed, strError))
        return FALSE;
    m_pQueue->Push(owed);
    return TRUE;
}

std::shared_ptr<oxucomm::CSession> COxuEcgServerSocket::NewSession(oxucomm::CServerCore& core) {
    return std::make_shared<CEcgSession>(core, *this);
}
