#include "server_lib/oxuserverworkcallback.h"

COxuServerWorkCallback::COxuServerWorkCallback(const int* pSendFlag) : m_pSendFlag(pSendFlag) {}

COxuServerWorkCallback::~COxuServerWorkCallback() = default;

void COxuServerWorkCallback::InitDataManager(COxuDbConnect* pConnect) {
    if (!m_pManager)
        m_pManager = std::make_unique<COxuDbDataManager>();
    m_pManager->Initialize(pConnect);
    m_pManager->Interrupt(m_bInterrupt);
}

void COxuServerWorkCallback::Interrupt(BOOL bOn) {
    m_bInterrupt = bOn != FALSE;
    // Set by the host's thread, which alone makes the data manager: no lock needed.
    if (m_pManager)
        m_pManager->Interrupt(bOn);
}

int COxuServerWorkCallback::Work(COxuBaseFile* pFile, COxuSocketCallback* pCallback,
                                 COxuSocketLogger* pLogger) {
    if (!pFile)
        return 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_pManager)
            return 0;
    }
    std::vector<BOOL> abDone(1, FALSE);
    WorkAll({pFile}, abDone, pCallback, pLogger);
    const CString strType = pFile->GetFileType();
    return strType == "EKG" || strType == "SPIRO" ? 1 : 0;
}

void COxuServerWorkCallback::WorkAll(const std::vector<COxuBaseFile*>& apFiles,
                                     std::vector<BOOL>& abDone, COxuSocketCallback* pCallback,
                                     COxuSocketLogger* pLogger) {
    std::lock_guard<std::mutex> lock(m_mutex);
    abDone.assign(apFiles.size(), FALSE);
    auto tell = [&](const CString& str) {
        if (pCallback)
            pCallback->MessageOut(str.c_str());
        if (pLogger)
            pLogger->Log("%s", str.c_str());
    };
    if (!m_pManager) {
        // Owed until the host connects the database.
        if (!m_bToldNoManager && pLogger)
            pLogger->Log("%zu records wait for the database connection (DbConnect)",
                         apFiles.size());
        m_bToldNoManager = true;
        return;
    }
    m_bToldNoManager = false;
    m_pManager->SetCallbackObj(pCallback);
    m_pManager->SetLoggerObj(pLogger);
    m_pManager->SetSendFlag(m_pSendFlag);
    std::vector<COxuBaseFile*> apRecords;
    std::vector<std::size_t> anAt;
    for (std::size_t i = 0; i < apFiles.size(); ++i) {
        const CString strType = apFiles[i] ? apFiles[i]->GetFileType() : CString();
        if (strType == "EKG" || strType == "SPIRO") {
            apRecords.push_back(apFiles[i]);
            anAt.push_back(i);
        } else {
            tell("Invalid File Type: " + strType + "!!!");
            abDone[i] = TRUE;  // nothing can ever store it
        }
    }
    if (apRecords.empty())
        return;
    std::vector<BOOL> abSaved;
    m_pManager->SaveAll(apRecords, abSaved);
    bool bEkgFailed = false, bSpiroFailed = false;
    for (std::size_t k = 0; k < apRecords.size(); ++k) {
        const bool bEkg = apRecords[k]->GetFileType() == "EKG";
        abDone[anAt[k]] = abSaved[k];
        if (!abSaved[k])
            (bEkg ? bEkgFailed : bSpiroFailed) = true;
        else if (bEkg && pLogger)
            pLogger->Log("COxuServerWorkCallback::Work");
    }
    // Once per batch: the records stay owed and are tried again.
    if (bEkgFailed)
        tell("Fail to save EKG file data to Database!!!");
    if (bSpiroFailed)
        tell("Fail to save SPIRO file data to Database!!!");
}
