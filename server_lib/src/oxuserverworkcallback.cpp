#include "server_lib/oxuserverworkcallback.h"

COxuServerWorkCallback::COxuServerWorkCallback(const int* pSendFlag) : m_pSendFlag(pSendFlag) {}

COxuServerWorkCallback::~COxuServerWorkCallback() = default;

void COxuServerWorkCallback::InitDataManager(COxuDbConnect* pConnect) {
    if (!m_pManager)
        m_pManager = std::make_unique<COxuDbDataManager>();
    m_pManager->Initialize(pConnect);
}

int COxuServerWorkCallback::Work(COxuBaseFile* pFile, COxuSocketCallback* pCallback,
                                 COxuSocketLogger* pLogger) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_pManager || !pFile)
        return 0;
    m_pManager->SetCallbackObj(pCallback);
    m_pManager->SetLoggerObj(pLogger);
    m_pManager->SetSendFlag(m_pSendFlag);
    auto tell = [&](const CString& str) {
        if (pCallback)
            pCallback->MessageOut(str.c_str());
        if (pLogger)
            pLogger->Log("%s", str.c_str());
    };
    const CString strType = pFile->GetFileType();
    if (strType == "EKG") {
        if (!m_pManager->Save(static_cast<COxuEkgFile*>(pFile)))
            tell("Fail to save EKG file data to Database!!!");
        else if (pLogger)
            pLogger->Log("COxuServerWorkCallback::Work");
        return 1;
    }
    if (strType == "SPIRO") {
        if (!m_pManager->Save(static_cast<COxuSpiroFile*>(pFile)))
            tell("Fail to save SPIRO file data to Database!!!");
        return 1;
    }
    tell("Invalid File Type: " + strType + "!!!");
    return 0;
}
