#pragma once
// The work callback the ECG server calls with the received records (on its work thread):
// it hands them to the data manager. Without a data manager (no DbConnect yet) the
// records stay owed until there is one. DbConnect (host thread) and the work exclude each
// other through Lock(); Interrupt needs no lock. Not copyable: it owns the data manager.
#include <atomic>
#include <memory>
#include <mutex>

#include "oxucomm/oxucallbacks.h"
#include "server_lib/oxudbdatamanager.h"

class OXU_EXPORT COxuServerWorkCallback : public COxuSocketWorkCallback {
public:
    explicit COxuServerWorkCallback(const int* pSendFlag);
    ~COxuServerWorkCallback() override;
    COxuServerWorkCallback(const COxuServerWorkCallback&) = delete;
    COxuServerWorkCallback& operator=(const COxuServerWorkCallback&) = delete;

    int Work(COxuBaseFile* pFile, COxuSocketCallback* pCallback,
             COxuSocketLogger* pLogger) override;
    void WorkAll(const std::vector<COxuBaseFile*>& apFiles, std::vector<BOOL>& abDone,
                 COxuSocketCallback* pCallback, COxuSocketLogger* pLogger) override;
    void Interrupt(BOOL bOn) override;

    // Creates the data manager when there is none; then initializes it.
    void InitDataManager(COxuDbConnect* pConnect);
    COxuDbDataManager* GetDataManager() const { return m_pManager.get(); }
    std::mutex& Lock() { return m_mutex; }

private:
    const int* m_pSendFlag;
    std::unique_ptr<COxuDbDataManager> m_pManager;
    std::mutex m_mutex;
    std::atomic<bool> m_bInterrupt{false};
    bool m_bToldNoManager = false;
};
