#pragma once
// The DICOM store sender: every file of the list goes to one peer over one association,
// with a presentation context for each file's SOP class and transfer syntax. A file counts
// as stored only when the peer confirmed it with a success (or warning) status. The socket
// sends without delay (TCP_NODELAY), so small instances do not wait for acknowledgements.
#include <string>
#include <vector>

#include "oxudcm/dcmtkitem.h"
#include "oxudcm/oxudcmexport.h"

class OXUDCM_EXPORT CDcmTkStoreSCU {
public:
    CDcmTkStoreSCU() = default;
    CDcmTkStoreSCU(const CDcmTkStoreSCU&) = default;
    CDcmTkStoreSCU& operator=(const CDcmTkStoreSCU&) = default;
    virtual ~CDcmTkStoreSCU() = default;

    void SetFileList(const std::vector<std::string>& astrFiles) { m_astrFiles = astrFiles; }
    void AddFile(const char* pszPath) { m_astrFiles.emplace_back(pszPath ? pszPath : ""); }
    void EmptyFileList() { m_astrFiles.clear(); }
    const std::string& GetLastError() const { return m_strLastError; }

    // Time-outs in seconds (0 = wait without limit).
    void SetConnectTimeout(int nSeconds) { m_nConnectTimeout = nSeconds; }
    void SetAcseTimeout(int nSeconds) { m_nAcseTimeout = nSeconds; }
    void SetDimseTimeout(int nSeconds) { m_nDimseTimeout = nSeconds; }
    void SetMaxPdu(unsigned nBytes) { m_nMaxPdu = nBytes; }
    // TCP_NODELAY on the socket (the default); off only to measure what it saves.
    void SetNoDelay(bool bNoDelay) { m_bNoDelay = bNoDelay; }

    enum EResult {
        kAllStored = 0,
        kNoFiles = 1,        // empty list, or a file that is no readable DICOM file
        kNoAssociation = 2,  // network, refused association, no accepted context
        kNotAllStored = 3,   // some instances were refused or the association broke
    };
    // Sends the list; kAllStored only when every file was confirmed. The reason of any
    // other result is in GetLastError; Stored() tells which files the peer took.
    EResult Send(const char* pszHost, int nPort, const char* pszCallingAe,
                 const char* pszCalledAe, CDcmTkStoreSCUCallback* pCallback = nullptr);
    const std::vector<bool>& Stored() const { return m_abStored; }

private:
    std::vector<std::string> m_astrFiles;
    std::vector<bool> m_abStored;
    std::string m_strLastError;
    int m_nConnectTimeout = 30;
    int m_nAcseTimeout = 30;
    int m_nDimseTimeout = 60;
    unsigned m_nMaxPdu = 65536;
    bool m_bNoDelay = true;
};
