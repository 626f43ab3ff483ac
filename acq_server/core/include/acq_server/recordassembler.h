#pragma once
// Record assembly of one device connection: legacy tagged messages and frames (0xFA, 0xFC,
// 0xFD ... 0xEF) into ECG records written by the record builder and spirometry tests written
// by the spirometry record, with the replies a frame-mode device waits for. The connection
// hands it whole messages and frames; it answers through IRecordLink.
#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "acq_server/acqcontext.h"
#include "acq_server/ekgrecordbuilder.h"
#include "platform/wintypes.h"

namespace acq {
constexpr BYTE kReplyTaken = 6;
constexpr BYTE kReplyRefused = 7;
constexpr int kStatementSlots = 15;
constexpr int kStatementRoom = 200;
constexpr int kTextEnd = ekgsrv::kPaceOffset;  // texts stop where the pacemaker list lies
// Longest patient ID from a device text that still leaves room for "_time.ext" in a
// file name.
constexpr std::size_t kMaxNameID = 200;

// Decimal number of a fixed-width text.
int TextNumber(const BYTE* p, int n);
// Whether a fixed-width text holds any decimal digit.
BOOL HasDigit(const BYTE* p, int n);
// Patient ID of the patient item (16 bytes), cleaned for use in a file name.
CString CleanPatientID(const BYTE* p, std::size_t n);
// Any text made safe as a file name part: characters file names may not hold become "!".
CString SafeNamePart(CString str);
// A path's file name without its folder and its last extension: the listed ID of a record
// that has none.
CString FileTitle(const CString& strPath);
}  // namespace acq

enum class ERecordKind { None = 0, Ekg = 1, Spiro = 2 };

// What the record assembly needs of its connection: the device replies and the end of
// frame mode once a frame-mode record is finished.
class IRecordLink {
public:
    virtual ~IRecordLink() = default;
    virtual BOOL SendReply(BYTE nCode, BYTE nValue) = 0;
    virtual BOOL SendLongReply(BYTE nKind, const CString& strPatientID, const CString& strPath) = 0;
    // Frame mode off and the connection's protocol state reset.
    virtual void EndFrameMode() = 0;
    // While a record's file is being put in place elsewhere, the connection keeps what
    // the device sends next and hands it on once the hold ends.
    virtual void HoldInput(BOOL bHold) = 0;
    // Hands a record lying whole in its place to the context and, once it is kept (or not),
    // calls then(bTaken) and hands on what the device sent meanwhile. When the connection went
    // first, then is not called; the record is stored all the same.
    virtual void TakeRecord(const CStoredRecord& record, std::function<void(BOOL)> then) = 0;
};

// Record assembly of one connection: legacy messages and frames into stored records.
// The sample blocks are allocated when a record's first block arrives and freed when the
// record ends, so an idle connection holds no record memory.
class CRecordAssembler {
public:
    CRecordAssembler(CAcqContext& context, IRecordLink& link);

    void DispatchMessage(const BYTE* p, std::size_t n);
    // FALSE = frame refused.
    BOOL HandleFrame(const BYTE* p, std::size_t n);
    // Clears everything of a record (a record starts, or a refused frame).
    void ClearRecord();

    ERecordKind GetKind() const { return m_eKind; }
    BOOL Is6000() const { return m_b6000; }
    void Set6000(BOOL b) { m_b6000 = b; }
    int GetBlockCount() const { return m_nBlockCount; }
    void SetBlockCount(int n) { m_nBlockCount = n; }
    int GetTransferOption() const { return m_nTransferOption; }
    BOOL GetLongReply() const { return m_bLongReply; }
    const BYTE* GetInfo() const { return m_abyInfo.data(); }
    const std::vector<BYTE>& GetBlocks() const { return m_abyBlocks; }
    const CString& GetPatientID() const { return m_strPatientID; }
    CEkgRecordBuilder& Builder() { return m_builder; }

private:
    void StartEkg();
    void StartSpiro();
    void EkgMessage(const BYTE* p, std::size_t n);
    void SpiroMessage(const BYTE* p, std::size_t n);
    void EndLegacyEkg();
    void EndFrameRecord();
    void EkgHeaderFrame(const BYTE* p, std::size_t n);
    void StatementFrame(const BYTE* p, std::size_t n);
    void MeasurementFrame(const BYTE* p, std::size_t n);
    void SampleFrame(const BYTE* p, std::size_t n, BYTE nTag);
    void SpiroHeaderFrame(const BYTE* p, std::size_t n);

    void StoreBlock(BYTE nTag, const BYTE* pSamples);
    void AppendText(const BYTE* p, std::size_t n);
    std::size_t AddStatement(const BYTE* p, std::size_t n);
    void AppendStatements();
    void PadDirectory();
    void SetPatientItem(const BYTE* p56);
    void SetPace(const BYTE* p, int nCount);
    // Stores the ECG record and then calls then(bSaved): at once, or, when the context
    // commits files elsewhere, once the file is in place (input held meanwhile: then ends
    // the hold, itself or through TakeRecord).
    void StoreEkg(std::function<void(BOOL)> then);
    // Writes the spirometry test; a test that cannot be stored is told to the context.
    BOOL SaveSpiro(CString& strPath, CString& strID, BOOL& bSame);
    // The stored record as the context takes it.
    CStoredRecord EkgRecord() const;
    CStoredRecord SpiroRecord(const CString& strID, const CString& strPath, BOOL bSame) const;

    CAcqContext& m_context;
    IRecordLink& m_link;
    ERecordKind m_eKind = ERecordKind::None;
    BOOL m_b6000 = FALSE;
    std::array<BYTE, ekgsrv::kInfoSize> m_abyInfo{};
    std::vector<BYTE> m_abyBlocks;
    int m_nBlockCount = 0;    // blocks stored since the last data end
    int m_nSampleBlocks = 0;  // blocks of the record at its data end
    int m_nDirPos = 12;
    int m_nTextPos = 3000;
    std::array<std::array<BYTE, acq::kStatementRoom>, acq::kStatementSlots> m_aStatements{};
    std::array<int, acq::kStatementSlots> m_anStatementLength{};
    int m_nStatements = 0;
    std::array<WORD, ekgsrv::kMaxPace> m_anPace{};
    int m_nPace = 0;
    int m_nTransferOption = 0;
    BOOL m_bLongReply = FALSE;
    CString m_strPatientID;
    CString m_strRecordTime;
    std::unique_ptr<ISpiroRecord> m_pSpiro;
    int m_nSpiroMessages = 0;
    CEkgRecordBuilder m_builder;
    // Expires with the assembler: a commit that ends later knows it is gone.
    std::shared_ptr<int> m_pAlive = std::make_shared<int>(0);
};
