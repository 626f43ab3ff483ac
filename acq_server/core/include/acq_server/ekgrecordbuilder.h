#pragma once
// Turns the sample blocks and the record information block that a connection gathered
// into the 12 leads of an ECG record file and writes that file in the working folder.
#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "acq_server/acqcontext.h"
#include "ecg_control/globalbuffer.h"
#include "platform/atomicfile.h"
#include "platform/wintypes.h"

namespace ekgsrv {
constexpr int kInfoSize = 10000;
constexpr int kBlockSize = 82;  // tag, 0x50, 5 frames of 8 big-endian samples
constexpr int kMaxBlocks = 1200;
constexpr int kBlocks5000 = 1000;
constexpr int kChannels = 8;
constexpr int kLeads = 12;
constexpr int kLeadSamples = 6100;  // room per lead: 6000 samples and 100 zero samples
constexpr int kMeasureSize = 240;   // 5 groups of 24 16-bit numbers
constexpr int kMeasurePerGroup = 24;
constexpr int kMaxPace = 100;
constexpr int kPaceOffset = 4000;  // of the information block
// File size for 5000 and 6000 samples per lead.
constexpr std::size_t FileSize(BOOL b6000) {
    return static_cast<std::size_t>(kLeads) * ((b6000 ? 6000 : 5000) + 100) * 2 + kInfoSize +
           kMeasureSize;
}
}  // namespace ekgsrv

// A record file ready to be written: it owns all it holds, so that it can be written on
// another thread (Write: temporary file, every write checked, sync, rename under a free
// name; m_strPath then names the file as it lies).
struct CEkgFileJob {
    CString m_strPath;
    BOOL m_bSame = FALSE;  // the same bytes already lay there
    CString m_strError;    // why Write failed (the system's text)
    CWaveBuffer m_leads;
    std::vector<BYTE> m_abyInfo;  // with the pacemaker list over offset 4000
    std::array<BYTE, ekgsrv::kMeasureSize> m_abyMeasure{};
    std::size_t m_nLeadBytes = 0;
    std::shared_ptr<platform::IPlacePromise> m_pPromise;  // kept before the file is named
    BOOL Write();
};

class CEkgRecordBuilder {
public:
    CEkgRecordBuilder();
    virtual ~CEkgRecordBuilder() = default;
    CEkgRecordBuilder(const CEkgRecordBuilder&) = delete;
    CEkgRecordBuilder& operator=(const CEkgRecordBuilder&) = delete;

    // Copies the nBlocks stored blocks and the information block, derives the leads and
    // the measurement block and writes the record file; a name already taken by other
    // bytes gets a free one (title + "_2", "_3", ...). TRUE only when the whole file was
    // written; else GetFilePath names the file it was to be and GetError says why.
    BOOL SaveRecord(const BYTE* pBlocks, int nBlocks, const BYTE* pInfo, BOOL b6000,
                    const CAcqContext& context);
    // SaveRecord up to the file itself: the leads, the blocks of the file and its name are
    // made (and its folder); TakeJob hands over what the file holds, to be written on
    // another thread, and TakeBack returns the leads for the hand-over.
    BOOL PrepareRecord(const BYTE* pBlocks, int nBlocks, const BYTE* pInfo, BOOL b6000,
                       const CAcqContext& context);
    std::unique_ptr<CEkgFileJob> TakeJob();
    void TakeBack(CEkgFileJob& job);
    void SetPaceList(const WORD* pPositions, int nCount);
    void Reset();

    void SetPatientID(const CString& str) { m_strPatientID = str; }
    void SetRecordTime(const CString& str) { m_strRecordTime = str; }
    const CString& GetPatientID() const { return m_strPatientID; }
    const CString& GetRecordTime() const { return m_strRecordTime; }
    const CString& GetFilePath() const { return m_strFilePath; }
    const CString& GetError() const { return m_strError; }
    // The same bytes already lay under the file's name (the record was sent again).
    BOOL IsSame() const { return m_bSame; }

    // The 12 leads (I, II, III, aVR, aVL, aVF, V1..V6), 6100 samples each; valid from
    // SaveRecord until Reset (0 outside a record).
    short GetLeadSample(int nLead, int nIndex) const {
        return m_leads.GetSample(nLead, static_cast<UINT>(nIndex));
    }
    const std::array<BYTE, ekgsrv::kMeasureSize>& GetMeasureBlock() const { return m_abyMeasure; }
    const std::vector<BYTE>& GetInfoBlock() const { return m_abyInfo; }

    // Folder of a record of the given kind folder ("EKG", "SPIRO") by the folder setting,
    // created when the setting asks for one; and the file base (folder + ID).
    static CString RecordBase(const CAcqSettings& settings, const CString& strPatientID,
                              const char* pszKindFolder, BOOL& bFolderOk);
    // The reason of a record whose folder could not be made (the error number of the
    // attempt).
    static CString FolderError(int nError);

private:
    void MakeLeads(BOOL b6000);
    void MakeMeasureBlock();
    BOOL WriteRecordFile(BOOL b6000, const CAcqContext& context);

    const BYTE* m_pBlocks = nullptr;  // the caller's blocks, while the leads are made
    int m_nBlocks = 0;
    std::vector<BYTE> m_abyInfo;
    CWaveBuffer m_leads;  // 12 leads x 6100 samples; allocated per record
    std::array<BYTE, ekgsrv::kMeasureSize> m_abyMeasure{};
    std::vector<WORD> m_anPace;
    CString m_strPatientID;
    CString m_strRecordTime;
    CString m_strFilePath;
    CString m_strError;
    BOOL m_bSame = FALSE;
    std::unique_ptr<CEkgFileJob> m_pJob;
};
