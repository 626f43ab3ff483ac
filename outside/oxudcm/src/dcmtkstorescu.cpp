#include "oxudcm/dcmtkstorescu.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <deque>
#include <map>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmnet/dcmlayer.h"
#include "dcmtk/dcmnet/dcmtrans.h"
#include "dcmtk/dcmnet/dstorscu.h"

namespace {
// Hands DCMTK plain TCP connections whose socket sends without delay. DCMTK takes a
// transport layer only for its secure connections; a plain connection needs no
// handshake, so the association runs as ordinary DICOM over TCP.
class CNoDelayLayer : public DcmTransportLayer {
public:
    DcmTransportConnection* createConnection(DcmNativeSocketType openSocket, OFBool) override {
        int nOn = 1;
        ::setsockopt(openSocket, IPPROTO_TCP, TCP_NODELAY, &nOn, sizeof nOn);
        return new DcmTCPConnection(openSocket);
    }
};

class CSender : public DcmStorageSCU {
public:
    CSender(CDcmTkStoreSCUCallback* pCallback, std::map<std::string, std::deque<std::size_t>>& index,
            std::vector<bool>& abStored, std::string& strFirstRefusal)
        : m_pCallback(pCallback), m_index(index), m_abStored(abStored),
          m_strFirstRefusal(strFirstRefusal) {}

    OFCondition UseLayer(DcmTransportLayer* pLayer) { return useSecureConnection(pLayer); }

protected:
    void notifySOPInstanceSent(const TransferEntry& entry) override {
        ++m_nDone;
        const std::string strFile = entry.Filename.getCharPointer() ? entry.Filename.getCharPointer() : "";
        const bool bOk = entry.RequestSent &&
                         (entry.ResponseStatusCode == 0x0000 || (entry.ResponseStatusCode & 0xF000) == 0xB000);
        // A file listed twice is sent twice; each report takes the next of its places.
        auto it = m_index.find(strFile);
        if (it != m_index.end() && !it->second.empty()) {
            m_abStored[it->second.front()] = bOk;
            it->second.pop_front();
        }
        if (!bOk && m_strFirstRefusal.empty()) {
            char sz[64];
            std::snprintf(sz, sizeof sz, "%s (status 0x%04X)", entry.RequestSent ? "refused" : "not sent",
                          entry.ResponseStatusCode);
            m_strFirstRefusal = strFile + " " + sz;
        }
        if (m_pCallback) {
            m_pCallback->SetMessage(((bOk ? "Stored " : "Not stored ") + strFile).c_str());
            m_pCallback->Progress(m_nDone, static_cast<int>(m_abStored.size()));
        }
    }

private:
    CDcmTkStoreSCUCallback* m_pCallback;
    std::map<std::string, std::deque<std::size_t>>& m_index;
    std::vector<bool>& m_abStored;
    std::string& m_strFirstRefusal;
    int m_nDone = 0;
};
}  // namespace

CDcmTkStoreSCU::EResult CDcmTkStoreSCU::Send(const char* pszHost, int nPort, const char* pszCallingAe,
                                             const char* pszCalledAe, CDcmTkStoreSCUCallback* pCallback) {
    m_strLastError.clear();
    m_abStored.assign(m_astrFiles.size(), false);
    if (pCallback) {
        pCallback->InitCallback(static_cast<int>(m_astrFiles.size()));
    }
    auto finish = [&](EResult e, const std::string& strError) {
        m_strLastError = strError;
        if (pCallback) {
            if (!strError.empty()) {
                pCallback->SetMessage(strError.c_str());
            }
            pCallback->FinishCallback();
        }
        return e;
    };
    if (m_astrFiles.empty()) {
        return finish(kNoFiles, "no files to send");
    }
    if (!pszHost || !*pszHost || nPort <= 0 || nPort > 65535) {
        return finish(kNoAssociation, "no valid destination (host and port)");
    }
    std::map<std::string, std::deque<std::size_t>> index;
    std::string strRefusal;
    CSender scu(pCallback, index, m_abStored, strRefusal);
    scu.setPeerHostName(pszHost);
    scu.setPeerPort(static_cast<Uint16>(nPort));
    scu.setAETitle(pszCallingAe && *pszCallingAe ? pszCallingAe : "OXUDCMSCU");
    scu.setPeerAETitle(pszCalledAe && *pszCalledAe ? pszCalledAe : "ANY-SCP");
    scu.setMaxReceivePDULength(m_nMaxPdu);
    scu.setACSETimeout(static_cast<Uint32>(m_nAcseTimeout));
    scu.setDIMSETimeout(static_cast<Uint32>(m_nDimseTimeout));
    scu.setDIMSEBlockingMode(m_nDimseTimeout > 0 ? DIMSE_NONBLOCKING : DIMSE_BLOCKING);
    scu.setConnectionTimeout(m_nConnectTimeout > 0 ? m_nConnectTimeout : -1);
    scu.setHaltOnUnsuccessfulStoreMode(OFFalse);
    scu.setAllowIllegalProposalMode(OFFalse);

    for (std::size_t i = 0; i < m_astrFiles.size(); ++i) {
        index[m_astrFiles[i]].push_back(i);
        OFCondition cond = scu.addDicomFile(m_astrFiles[i].c_str(), ERM_fileOnly, OFTrue);
        if (cond.bad()) {
            return finish(kNoFiles, m_astrFiles[i] + " is no DICOM file that can be sent: " + cond.text());
        }
    }
    OFCondition cond = scu.addPresentationContexts();
    if (cond.good()) {
        cond = scu.initNetwork();
    }
    CNoDelayLayer layer;
    if (cond.good() && m_bNoDelay) {
        cond = scu.UseLayer(&layer);
    }
    if (cond.good()) {
        cond = scu.negotiateAssociation();
    }
    if (cond.bad()) {
        char szPeer[300];
        std::snprintf(szPeer, sizeof szPeer, "association with %s at %s:%d failed: ",
                      pszCalledAe && *pszCalledAe ? pszCalledAe : "ANY-SCP", pszHost, nPort);
        return finish(kNoAssociation, szPeer + std::string(cond.text()));
    }
    cond = scu.sendSOPInstances();
    OFCondition condRelease = scu.releaseAssociation();
    std::size_t nStored = 0;
    for (bool b : m_abStored) {
        nStored += b ? 1 : 0;
    }
    if (nStored != m_abStored.size()) {
        std::string strWhy = std::to_string(m_abStored.size() - nStored) + " of " +
                             std::to_string(m_abStored.size()) + " files not stored";
        if (cond.bad()) {
            strWhy += std::string(": ") + cond.text();
        } else if (!strRefusal.empty()) {
            strWhy += ": " + strRefusal;
        }
        return finish(kNotAllStored, strWhy);
    }
    (void)condRelease;
    return finish(kAllStored, "");
}
