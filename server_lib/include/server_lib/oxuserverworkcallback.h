#pragma once
// The work callback the ECG server calls for each received record (on its work thread):
// it hands the record to the data manager. DbConnect (host thread) and Work exclude each
// other through Lock(). Not copyable: it owns the data manager.
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

    // Creates the data manager when there is none; then initializes it.
    void InitDataManager(COxuDbConnect* pConnect);
    COxuDbDataManager* GetDataManager() const { return m_pManager.get(); }
    std::mutex& Lock() { return m_mutex; }

private:
    const int* m_pSendFlag;
    std::unique_ptr<COxuDbDataManager> m_pManager;
    std::mutex m_mutex;
};
