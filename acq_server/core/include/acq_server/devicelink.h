#pragma once
// The protocol side of one device connection, without any socket: bytes in, replies and
// actions out. It cuts the legacy stream into tagged messages by the table of message
// lengths, handles frames (0xFA, 0xFC, 0xFD ... 0xEF) in frame mode, switches to the
// packet parser for good on the first 0xF1/0xF2, and assembles ECG records into record
// files. All protocol and record state belongs to the one connection.
#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "acq_server/acqcontext.h"
#include "acq_server/ekgrecordbuilder.h"
#include "acq_server/tzcomparser.h"
#include "platform/wintypes.h"

namespace acq {
constexpr std::size_t kReceiveBuffer = 8192;
constexpr std::size_t kLongReply = 188;
constexpr BYTE kReplyTaken = 6;
constexpr BYTE kReplyRefused = 7;
constexpr int kStatementSlots = 15;
constexpr int kStatementRoom = 200;
constexpr int kTextEnd = ekgsrv::kPaceOffset;  // texts stop where the pacemaker list lies
// Longest patient ID from a device text that still leaves room for "_time.ext" in a
// file name.
constexpr std::size_t kMaxNameID = 200;

// Length of the message that starts at p (n bytes there) by the table of tags; FALSE
// while the bytes that carry the length have not arrived yet.
BOOL LengthOf(const BYTE* p, std::size_t n, std::size_t& nLength);
std::size_t MessageLength(const BYTE* p, std::size_t n);
// Decimal number of a fixed-width text.
int TextNumber(const BYTE* p, int n);
// Whether a fixed-width text holds any decimal digit.
BOOL HasDigit(const BYTE* p, int n);
// Patient ID of the patient item (16 bytes), cleaned for use in a file name.
CString CleanPatientID(const BYTE* p, std::size_t n);
// Any text made safe as a file name part: characters file names may not hold become "!".
CString SafeNamePart(CString str);
}  // namespace acq

enum class ERecordKind { None = 0, Ekg = 1, Spiro = 2 };

class CDeviceLink;

// Record assembly of one connection: legacy messages and frames into stored records.
class CRecordAssembler {
public:
    explicit CRecordAssembler(CDeviceLink& link);

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
    BOOL SaveEkg();
    void HandOver(int nKind, const CString& strID, const CString& strPath);

    CDeviceLink& m_link;
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
};

class CDeviceLink {
public:
    // Sends bytes to the device; FALSE when they could not be queued.
    using SendFn = std::function<BOOL(const BYTE*, std::size_t)>;

    CDeviceLink(CAcqContext& context, SendFn send);
    ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    // One received chunk. FALSE when the connection must now be closed (a refused
    // frame); its replies have been sent by then.
    BOOL OnReceive(const BYTE* p, std::size_t n);

    BOOL Send(const BYTE* p, std::size_t n) { return m_send ? m_send(p, n) : FALSE; }
    BOOL SendReply(BYTE nCode, BYTE nValue);
    BOOL SendLongReply(BYTE nKind, const CString& strPatientID, const CString& strPath);

    CAcqContext& Context() { return m_context; }
    TzProtocolState& State() { return m_state; }
    TzComParser& Parser() { return m_parser; }
    CRecordAssembler& Assembler() { return m_assembler; }
    BOOL IsPacketMode() const { return m_bPacketMode; }
    BOOL IsFrameMode() const { return m_bFrameMode; }
    void SetFrameMode(BOOL b) { m_bFrameMode = b; }
    std::size_t LeftoverSize() const { return m_abyLeft.size(); }
    const std::array<BYTE, acq::kLongReply>& LastLongReply() const { return m_abyLongReply; }

    // Idle mark: cleared by every receive, set by the idle timer.
    BOOL m_bIdle = FALSE;

private:
    static void ParserCallback(const TzPacket& packet, void* pContext);
    BOOL RefuseFrame();
    void Log(const CString& str) { m_context.Log(str); }

    CAcqContext& m_context;
    SendFn m_send;
    TzProtocolState m_state;
    TzComParser m_parser;
    std::unique_ptr<IPacketHandler> m_pPacketHandler;
    BOOL m_bPacketMode = FALSE;
    BOOL m_bFrameMode = FALSE;
    BOOL m_bClosed = FALSE;
    std::vector<BYTE> m_abyLeft;
    std::array<BYTE, acq::kLongReply> m_abyLongReply{};
    CRecordAssembler m_assembler;
};
