// The ECG server: each connection runs the acquisition server's device link on the
// storage folder. A record file becomes owed (its marker synced) before it takes its name
// in the storage folder, so before its device is answered, whatever moment the process
// ends; a file that could not be made owed is not kept, and its device hears a refusal.
// A record whose same bytes already lay there (sent again) gets its marker written
// afterwards, its answer held until then. Record files and markers are synced on a few
// threads of their own, so that the connections' syncs overlap. The work thread then hands
// the owed records to the work callback.
#include <algorithm>
#include <cerrno>

#include "acq_server/devicelink.h"
#include "oxucomm/oxufiles.h"
#include "oxucomm/oxuowed.h"
#include "oxucomm/oxusockets.h"
#include "platform/atomicfile.h"
#include "platform/format.h"
#include "servercore.h"
#include "workqueue.h"

// Keeps a record file's marker for each name its file is about to take.
class COxuEcgServerSocket::CPromise : public platform::IPlacePromise {
public:
    CPromise(COxuEcgServerSocket& server, const COxuOwed& owed) : m_server(server), m_owed(owed) {}

    int Keep(const std::string& name) override {
        m_owed.m_strPath = name;
        CString strError;
        const int nError = m_server.m_pOwed->Keep(m_owed, strError);
        if (nError == 0) {
            std::lock_guard<std::mutex> lock(m_server.m_promisedMutex);
            m_server.m_promised[name] = m_owed;
        } else if (nError != EEXIST) {
            m_server.Log("The record cannot be kept owed on disk, it is not kept: " + name + " (" +
                         strError + ")");
        }
        return nError;
    }

    void Withdraw(const std::string& name) override {
        {
            std::lock_guard<std::mutex> lock(m_server.m_promisedMutex);
            m_server.m_promised.erase(name);
        }
        m_server.m_pOwed->Remove(m_owed);
        m_owed.m_strMarker.clear();
    }

private:
    COxuEcgServerSocket& m_server;
    COxuOwed m_owed;
};

namespace {

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
        // A legacy cart hears nothing of a record that could not be stored: the log and the
        // host are all that can tell of it.
        m_context.m_onFailed = [this](const CFailedRecord& record) {
            m_server.TellNotKept(record.Text());
        };
        m_context.m_promise = [this](int nKind, const CString& strID) {
            std::shared_ptr<platform::IPlacePromise> pPromise;
            if (nKind == 1 || nKind == 2) {
                COxuOwed owed;
                owed.m_strKind = nKind == 1 ? "EKG" : "SPIRO";
                owed.m_strID = strID;
                owed.m_strPeer = GetConnectPeerName();
                pPromise = m_server.PromiseOwed(owed);
            }
            return pPromise;
        };
        // The record file's sync runs on the server's sync threads, so that the syncs of
        // several connections overlap; its answer comes back here.
        m_context.m_commit = [this](std::function<bool()> work, std::function<void(bool)> done) {
            auto self = shared_from_this();
            auto pOk = std::make_shared<bool>(false);
            m_server.RunSync([work = std::move(work), pOk] { *pOk = work(); },
                             [this, self, pOk, done = std::move(done)] {
                                 Dispatch([&] { return (done(*pOk), true); });
                             });
        };
        m_pLink = std::make_unique<CDeviceLink>(
            m_context, [this](const BYTE* p, std::size_t n) { return Reply(p, n); });
    }

protected:
    bool OnData(const BYTE* p, std::size_t n) override {
        if (m_bCloseWhenAnswered)
            return true;  // closing: nothing more is taken
        return Dispatch([&] { return m_pLink->OnReceive(p, n) != FALSE; });
    }

private:
    // Runs a step of the link; its answers wait until the records they answer are owed.
    bool Dispatch(const std::function<bool()>& step) {
        ++m_nHolding;
        const bool bOk = step();
        --m_nHolding;
        if (!bOk && (m_nOwing > 0 || !m_aHeld.empty())) {
            m_bCloseWhenAnswered = true;  // the answers go out first
            Flush();
            return true;
        }
        Flush();
        return bOk;
    }

    BOOL Reply(const BYTE* p, std::size_t n) {
        if (m_nHolding == 0 && m_nOwing == 0 && m_aHeld.empty())
            return Send(p, n) ? TRUE : FALSE;
        m_aHeld.emplace_back(p, p + n);
        return TRUE;
    }

    void Flush() {
        if (m_nHolding > 0 || m_nOwing > 0)
            return;
        for (const auto& aby : m_aHeld)
            Send(aby.data(), aby.size());
        m_aHeld.clear();
        if (m_bCloseWhenAnswered)
            CloseAfterWrites();
    }

    void OnStored(const CStoredRecord& record) {
        if (record.m_nKind != 1 && record.m_nKind != 2)
            return;
        COxuOwed owed;
        if (m_server.TakePromised(record.m_strPath, owed))
            Owed(owed);  // its marker stood before its file took its name
        else
            Owe(record.m_nKind == 1 ? "EKG" : "SPIRO", record.m_strPath, record.m_strPatientID);
    }

    void Owed(const COxuOwed& owed) {
        if (COxuSocketCallback* p = m_server.GetCallback())
            p->OnReceive(owed.m_strPeer.c_str(), owed.m_strKind.c_str(), owed.m_strPath.c_str());
        m_server.QueueOwed(owed);
    }

    // A file that lay there already: its marker is written on a sync thread; the answers
    // wait for it.
    void Owe(const char* pszKind, const CString& strPath, const CString& strID) {
        COxuOwed owed;
        owed.m_strKind = pszKind;
        owed.m_strPath = strPath;
        owed.m_strID = strID;
        owed.m_strPeer = GetConnectPeerName();
        // The answer was just given for this record (frame mode), or there is none.
        const bool bAnswered = !m_aHeld.empty() && IsTakenReply(m_aHeld.back());
        const std::size_t nAnswer = m_aHeld.size() - 1;
        ++m_nOwing;
        auto self = shared_from_this();
        struct CWrite {
            COxuOwed owed;
            BOOL bOwed = FALSE;
            CString strError;
        };
        auto pWrite = std::make_shared<CWrite>();
        pWrite->owed = owed;
        m_server.RunSync(
            [this, pWrite] { pWrite->bOwed = m_server.WriteOwed(pWrite->owed, pWrite->strError); },
            [this, self, pWrite, bAnswered, nAnswer] {
                --m_nOwing;
                if (pWrite->bOwed) {
                    Owed(pWrite->owed);
                } else {
                    m_server.TellNotKept(
                        "The record cannot be kept owed on disk, the device is refused: " +
                        pWrite->owed.m_strPath + " (" + pWrite->strError + ")");
                    // The device is told to send it again.
                    const BYTE abyRefused[4] = {0xFC, 7, 0, 0xEF};
                    if (bAnswered && nAnswer < m_aHeld.size())
                        m_aHeld[nAnswer].assign(abyRefused, abyRefused + 4);
                }
                Flush();
            });
    }

    COxuEcgServerSocket& m_server;
    std::vector<std::vector<BYTE>> m_aHeld;
    int m_nHolding = 0;
    int m_nOwing = 0;  // markers being written
    bool m_bCloseWhenAnswered = false;
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
    m_pSync = std::make_unique<asio::thread_pool>(kSyncThreads);
    if (!COxuServerSocket::Listen(nPort)) {
        Stop();
        return FALSE;
    }
    return TRUE;
}

void COxuEcgServerSocket::Stop() {
    // No record arrives after this; what was received is finished while the connections
    // are still open: the syncs under way and what their ends start in turn (a connection
    // may hold the start of its next record meanwhile). Each file that took its name was
    // owed before, whatever happens to this stop.
    if (m_pCore && m_pCore->IsRunning()) {
        m_pCore->Drain();
        WaitForSyncs();
        m_pCore->Stop();
    }
    if (m_pSync)
        m_pSync->join();
    COxuServerSocket::Stop();
    m_pSync.reset();
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

void COxuEcgServerSocket::RunSync(std::function<void()> fnWork, std::function<void()> fnDone) {
    {
        std::lock_guard<std::mutex> lock(m_syncMutex);
        ++m_nSyncs;
    }
    // The network thread waits for the end even when nothing else is left for it to do (a
    // stop has closed the acceptor and the reads).
    auto guard = asio::make_work_guard(m_pCore->Io());
    asio::post(*m_pSync,
               [this, guard, fnWork = std::move(fnWork), fnDone = std::move(fnDone)]() mutable {
                   fnWork();
                   asio::post(m_pCore->Io(), [this, fnDone = std::move(fnDone)] {
                       fnDone();
                       {
                           std::lock_guard<std::mutex> lock(m_syncMutex);
                           --m_nSyncs;
                       }
                       m_syncCv.notify_all();
                   });
               });
}

void COxuEcgServerSocket::WaitForSyncs() {
    std::unique_lock<std::mutex> lock(m_syncMutex);
    m_syncCv.wait(lock, [this] { return m_nSyncs == 0; });
}

BOOL COxuEcgServerSocket::WriteOwed(COxuOwed& owed, CString& strError) const {
    return m_pOwed->Add(owed, strError);
}

std::shared_ptr<platform::IPlacePromise> COxuEcgServerSocket::PromiseOwed(const COxuOwed& owed) {
    return std::make_shared<CPromise>(*this, owed);
}

BOOL COxuEcgServerSocket::TakePromised(const CString& strPath, COxuOwed& owed) {
    std::lock_guard<std::mutex> lock(m_promisedMutex);
    const auto it = m_promised.find(strPath);
    if (it == m_promised.end())
        return FALSE;
    owed = std::move(it->second);
    m_promised.erase(it);
    return TRUE;
}

void COxuEcgServerSocket::QueueOwed(const COxuOwed& owed) {
    if (m_pQueue)
        m_pQueue->Push(owed);
}

void COxuEcgServerSocket::TellNotKept(const CString& str) {
    Log(str);
    if (COxuSocketCallback* p = GetCallback())
        p->MessageOut(str.c_str());
}

std::shared_ptr<oxucomm::CSession> COxuEcgServerSocket::NewSession(oxucomm::CServerCore& core) {
    return std::make_shared<CEcgSession>(core, *this);
}
