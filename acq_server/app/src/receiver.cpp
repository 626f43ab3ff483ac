#include "acq_server/app/receiver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QThread>
#include <algorithm>
#include <optional>
#include <set>
#include <thread>

#include "acq_server/list/recordlistfile.h"
#include "acq_server/listensocket.h"
#include "acq_server/packetfilehandler.h"
#include "acq_server/recordassembler.h"
#include "acq_server/secretarysocket.h"
#include "acq_server/stalefiles.h"

namespace {

// Longest wait at the end for connections still handing over their last answers.
constexpr int kEndLingerMs = 1000;

}  // namespace

// Everything of the receiving path; lives on the receiving thread.
class CReceiver::CWorker : public QObject {
public:
    CWorker(CReceiver& owner, const CAcqContext& base, QObject* pTarget, TakenFn onTaken)
        : m_owner(owner), m_pTarget(pTarget), m_onTaken(std::move(onTaken)) {
        m_context.m_log = base.m_log;
        m_context.m_clock = base.m_clock;
        m_context.m_settings = base.m_settings;
        m_context.m_onTaken = [this](const CStoredRecord& r, std::function<void(BOOL)> done) {
            Take(r, std::move(done));
        };
        // Newer devices send finished files in packets.
        InstallPacketFileHandler(m_context);
    }

    bool Start(const QHostAddress& address, quint16 nPort, int nIdleMs,
               const CAcqSettings& settings) {
        m_context.m_settings = settings;
        m_pListen = std::make_unique<CListenSocket>(m_context);
        m_pListen->SetIdlePeriod(nIdleMs);
        connect(m_pListen.get(), &CListenSocket::ClientAccepted, this, [this] { CountClients(); });
        connect(m_pListen.get(), &CListenSocket::ClientRemoved, this, [this] { CountClients(); });
        if (!m_pListen->Listen(address, nPort)) {
            m_owner.m_nLastError = m_pListen->LastError();
            m_pListen.reset();
            return false;
        }
        // The frame's timer sweeps idle connections.
        m_pListen->StopIdleTimer();
        m_owner.m_nLastError = 0;
        m_owner.m_nPort = m_pListen->Port();
        ListFile().Refresh();
        SweepStaleFiles();
        return true;
    }

    void Stop() {
        m_pListen.reset();  // finishes what was received first
        m_owner.m_nPort = 0;
        m_owner.m_nClients = 0;
    }

    void SetSettings(const CAcqSettings& settings) { m_context.m_settings = settings; }

    void IdleSweep() {
        if (m_pListen && m_pListen->ClientCount() > 0)
            m_pListen->IdleSweep();
    }

    // The receiving thread's last work, after its event loop.
    void End() {
        Stop();
        QElapsedTimer timer;
        timer.start();
        while (CSecretarySocket::LingeringCount() > 0 && timer.elapsed() < kEndLingerMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        CSecretarySocket::CloseLingering();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (m_sweep.joinable())
            m_sweep.join();
    }

private:
    void CountClients() { m_owner.m_nClients = m_pListen ? m_pListen->ClientCount() : 0; }

    // What a killed run left half written goes, beside the devices coming in: a walk through
    // a large working folder never holds up an answer.
    void SweepStaleFiles() {
        if (m_sweep.joinable())
            m_sweep.join();
        m_sweep =
            std::thread([strFolder = m_context.m_settings.m_strWorkingFolder,
                         log = m_context.m_log] { acq::RemoveStaleTempFiles(strFolder, log); });
    }

    // A record lies whole in its place, its device not yet answered: its list entry is written
    // at once and synced together with the entries taken meanwhile (one sync on the commit
    // threads for all of them); then the devices are answered and the records handed to the
    // user-interface thread for their conversions, in the list's order.
    void Take(const CStoredRecord& record, std::function<void(BOOL)> done) {
        if (record.m_strPath.empty()) {
            done(FALSE);
            return;
        }
        CRecordListFile& list = ListFile();
        CPending pending;
        pending.m_strList = list.Path();
        pending.m_done = std::move(done);
        // A device that sent its record again after a lost answer: one file, one row.
        if (!(record.m_bSame && list.Lists(record.m_strPath))) {
            CTakenRecord& taken = pending.m_taken.emplace();
            taken.m_nKind = record.m_nKind;
            // Emergency records of unknown patients have no ID: listed under their file's title.
            taken.m_strPatientID = record.m_strPatientID.empty()
                                       ? acq::FileTitle(record.m_strPath)
                                       : record.m_strPatientID;
            taken.m_strPath = record.m_strPath;
            taken.m_tArrival = m_context.Now();
            taken.m_strWorkingFolder = list.WorkingFolder();
            if (!list.Enter(taken.m_strPatientID, CRecordList::KeyTime(taken.m_tArrival),
                            taken.m_strPath, &taken.m_strKey)) {
                LogListFailure(list.Path());
                pending.m_done(FALSE);
                return;
            }
        }
        m_pending.push_back(std::move(pending));
        SyncList();
    }

    // One sync at a time; what is taken while it runs waits for the next.
    void SyncList() {
        if (m_bSyncing || m_pending.empty())
            return;
        m_bSyncing = true;
        auto pBatch = std::make_shared<std::vector<CPending>>();
        pBatch->swap(m_pending);
        std::set<std::string> lists;
        for (const CPending& pending : *pBatch)
            lists.insert(pending.m_strList);
        auto sync = [lists] {
            return std::all_of(lists.begin(), lists.end(), &CRecordListFile::Sync);
        };
        auto finish = [this, pBatch](bool bOk) {
            m_bSyncing = false;
            if (!bOk)
                LogListFailure(pBatch->front().m_strList);
            for (CPending& pending : *pBatch) {
                // Written to the list, so converted even when its device hears "refused"
                // (it sends the record again, which is then one file and one row).
                if (pending.m_taken)
                    QMetaObject::invokeMethod(
                        m_pTarget,
                        [onTaken = m_onTaken, taken = *pending.m_taken] { onTaken(taken); },
                        Qt::QueuedConnection);
                pending.m_done(bOk ? TRUE : FALSE);
            }
            SyncList();
        };
        if (m_context.m_commit)
            m_context.m_commit(std::move(sync), std::move(finish));
        else
            finish(sync());
    }

    void LogListFailure(const std::string& strList) {
        m_context.Log(acq::Format("\nUpdateDataList FAIL (%s)\n", strList.c_str()));
    }

    CRecordListFile& ListFile() {
        const CString& strFolder = m_context.m_settings.m_strWorkingFolder;
        if (!m_pList || m_pList->WorkingFolder() != strFolder)
            m_pList = std::make_unique<CRecordListFile>(strFolder);
        return *m_pList;
    }

    // A taken record waiting for the sync of its list entry.
    struct CPending {
        std::string m_strList;
        std::optional<CTakenRecord> m_taken;  // none: already listed (a record sent again)
        std::function<void(BOOL)> m_done;
    };

    CReceiver& m_owner;
    QObject* m_pTarget;
    TakenFn m_onTaken;
    CAcqContext m_context;
    std::vector<CPending> m_pending;
    bool m_bSyncing = false;
    std::unique_ptr<CListenSocket> m_pListen;
    std::unique_ptr<CRecordListFile> m_pList;
    std::thread m_sweep;
};

class CReceiver::CThread : public QThread {
public:
    CThread(CReceiver& owner, const CAcqContext& base, QObject* pTarget, TakenFn onTaken)
        : m_owner(owner), m_base(base), m_pTarget(pTarget), m_onTaken(std::move(onTaken)) {
        setObjectName("receiving");
    }
    CWorker* Worker() const { return m_pWorker; }
    void WaitUntilReady() { m_ready.acquire(); }

protected:
    void run() override {
        CWorker worker(m_owner, m_base, m_pTarget, std::move(m_onTaken));
        m_pWorker = &worker;
        m_ready.release();
        exec();
        worker.End();
        m_pWorker = nullptr;
    }

private:
    CReceiver& m_owner;
    const CAcqContext& m_base;
    QObject* m_pTarget;
    TakenFn m_onTaken;
    CWorker* m_pWorker = nullptr;
    QSemaphore m_ready;
};

CReceiver::CReceiver(const CAcqContext& base, QObject* pTarget, TakenFn onTaken)
    : m_pThread(std::make_unique<CThread>(*this, base, pTarget, std::move(onTaken))) {
    m_pThread->start();
    m_pThread->WaitUntilReady();
}

CReceiver::~CReceiver() {
    m_pThread->quit();
    m_pThread->wait();
}

bool CReceiver::Start(const QHostAddress& address, quint16 nPort, int nIdleMs,
                      const CAcqSettings& settings) {
    bool bOk = false;
    CWorker* pWorker = m_pThread->Worker();
    QMetaObject::invokeMethod(
        pWorker, [&] { bOk = pWorker->Start(address, nPort, nIdleMs, settings); },
        Qt::BlockingQueuedConnection);
    return bOk;
}

void CReceiver::Stop() {
    CWorker* pWorker = m_pThread->Worker();
    QMetaObject::invokeMethod(
        pWorker, [pWorker] { pWorker->Stop(); }, Qt::BlockingQueuedConnection);
}

void CReceiver::SetSettings(const CAcqSettings& settings) {
    CWorker* pWorker = m_pThread->Worker();
    QMetaObject::invokeMethod(
        pWorker, [pWorker, settings] { pWorker->SetSettings(settings); }, Qt::QueuedConnection);
}

void CReceiver::IdleSweep() {
    CWorker* pWorker = m_pThread->Worker();
    QMetaObject::invokeMethod(
        pWorker, [pWorker] { pWorker->IdleSweep(); }, Qt::QueuedConnection);
}
