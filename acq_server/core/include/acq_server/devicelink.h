#pragma once
// The protocol side of one device connection, without any socket: bytes in, replies and
// actions out. It cuts the legacy stream into tagged messages by the table of message
// lengths, handles frames (0xFA, 0xFC, 0xFD ... 0xEF) in frame mode, switches to the
// packet parser for good on the first 0xF1/0xF2, and assembles ECG records into record
// files through its record assembler. All protocol and record state belongs to the one
// connection.
#include <array>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "acq_server/acqcontext.h"
#include "acq_server/recordassembler.h"
#include "acq_server/tzcomparser.h"
#include "platform/wintypes.h"

namespace acq {
constexpr std::size_t kReceiveBuffer = 8192;
constexpr std::size_t kLongReply = 188;

// Length of the message that starts at p (n bytes there) by the table of tags; FALSE
// while the bytes that carry the length have not arrived yet.
BOOL LengthOf(const BYTE* p, std::size_t n, std::size_t& nLength);
std::size_t MessageLength(const BYTE* p, std::size_t n);
}  // namespace acq

class CDeviceLink : public IRecordLink {
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

    // Sends bytes to the device in the order of what they answer: behind a record still being
    // kept, they wait for its answer.
    BOOL Send(const BYTE* p, std::size_t n);
    BOOL SendReply(BYTE nCode, BYTE nValue) override;
    BOOL SendLongReply(BYTE nKind, const CString& strPatientID, const CString& strPath) override;
    void EndFrameMode() override;
    void HoldInput(BOOL bHold) override;
    BOOL IsHoldingInput() const { return m_bHold; }
    void TakeRecord(const CStoredRecord& record, std::function<void(BOOL)> then) override;
    // Called when bytes handed on after a hold refuse the connection (no receive call is
    // there to return FALSE to).
    void SetCloseRequest(std::function<void()> fn) { m_closeRequest = std::move(fn); }

    CAcqContext& Context() { return m_context; }
    TzProtocolState& State() { return m_state; }
    TzComParser& Parser() { return m_parser; }
    CRecordAssembler& Assembler() { return m_assembler; }
    BOOL IsPacketMode() const { return m_bPacketMode; }
    BOOL IsFrameMode() const { return m_bFrameMode; }
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
    BOOL m_bHold = FALSE;
    std::vector<BYTE> m_abyHeld;  // received while a record's file is put in place
    std::function<void()> m_closeRequest;
    std::array<BYTE, acq::kLongReply> m_abyLongReply{};
    CRecordAssembler m_assembler;
    // Bytes behind a record still being kept, in order; a record's own answer fills its place.
    struct COutput {
        std::vector<BYTE> m_aby;
        bool m_bReady = true;
    };
    std::deque<COutput> m_output;
    COutput* m_pAnswer = nullptr;  // the place of the record being answered
    // Expires with the link: a record kept later knows its connection is gone.
    std::shared_ptr<int> m_pAlive = std::make_shared<int>(0);
};
