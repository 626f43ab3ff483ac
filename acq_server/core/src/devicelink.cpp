#include "acq_server/devicelink.h"

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"

using acq::Format;
using namespace ekgsrv;

namespace acq {

BOOL LengthOf(const BYTE* p, std::size_t n, std::size_t& nLength) {
    if (n < 2)
        return FALSE;
    const BYTE nTag = p[0];
    const std::size_t L = p[1];
    switch (nTag) {
        case 0x03:
        case 0x19:
        case 0x35:
        case 0x40:
        case 0x80:
        case 0x24:  // LENGTH + 2 like every item of the stream; LENGTH alone never advances
            nLength = L + 2;
            return TRUE;
        case 0x16:
            nLength = 58;
            return TRUE;
        case 0x18:
            nLength = 18;
            return TRUE;
        case 0x21:
        case 0x72:
            nLength = 16;
            return TRUE;
        case 0x22:
            nLength = 6;
            return TRUE;
        case 0x23:
        case 0x73:
            nLength = 36;
            return TRUE;
        case 0x30:
        case 0x31:
        case 0x32:
        case 0x33:
        case 0x34:
        case 0x37:
            nLength = 82;
            return TRUE;
        case 0x70:
            nLength = L;
            return TRUE;
        case 0x71:
            nLength = 68;
            return TRUE;
        case 0x74:
            nLength = 5;
            return TRUE;
        case 0x75:
        case 0x79:
            nLength = L ? 62 : 2;
            return TRUE;
        case 0x76:
            nLength = L ? 32 : 2;
            return TRUE;
        case 0x77:
            nLength = L ? 20 : 2;
            return TRUE;
        case 0x78:
            nLength = 8;
            return TRUE;
        case 0x81:
        case 0x82:
        case 0x83:
        case 0x85:
        case 0x91:
        case 0x92:
        case 0x93:
            nLength = 14;
            return TRUE;
        case 0x84:
            nLength = 54;
            return TRUE;
        case 0x86:
        case 0x87:
        case 0x88:
        case 0x89:
        case 0x96:
        case 0x97:
            nLength = L ? 82 : 2;
            return TRUE;
        case 0xFA:
        case 0xFC:
            nLength = 4;
            return TRUE;
        case 0xFD:
            if (n < 4)
                return FALSE;
            nLength = (static_cast<std::size_t>(p[2]) << 8) | p[3];
            return TRUE;
        default:
            nLength = 2;
            return TRUE;
    }
}

std::size_t MessageLength(const BYTE* p, std::size_t n) {
    std::size_t nLength = 0;
    return LengthOf(p, n, nLength) ? nLength : 0;
}

}  // namespace acq

// =======================================================================================
// Connection core

CDeviceLink::CDeviceLink(CAcqContext& context, SendFn send)
    : m_context(context), m_send(std::move(send)), m_assembler(context, *this) {
    m_parser.SetCallback(&CDeviceLink::ParserCallback, this);
    m_parser.SetLog(context.m_log);
    m_state.Reset();
    m_state.m_log = context.m_log;
    if (context.m_packetFactory)
        m_pPacketHandler = context.m_packetFactory();
}

CDeviceLink::~CDeviceLink() = default;

void CDeviceLink::ParserCallback(const TzPacket& packet, void* pContext) {
    auto* pLink = static_cast<CDeviceLink*>(pContext);
    if (pLink->m_pPacketHandler) {
        pLink->m_pPacketHandler->OnPacket(packet, *pLink);
        return;
    }
    if (packet.m_nTag == TZ_TAG_DATA)
        pLink->Log("CSecretarySocket::ParserCallback ------");
    else if (packet.m_nTag != TZ_TAG_COMMAND)
        pLink->Log(Format("ParserCallback  pPacketTag= %d", packet.m_nTag));
}

BOOL CDeviceLink::SendReply(BYTE nCode, BYTE nValue) {
    const BYTE ab[4] = {0xFC, nCode, nValue, 0xEF};
    return Send(ab, sizeof ab);
}

BOOL CDeviceLink::SendLongReply(BYTE nKind, const CString& strPatientID, const CString& strPath) {
    m_abyLongReply.fill(0);
    m_abyLongReply[0] = 0xFD;
    m_abyLongReply[1] = 0xC2;
    m_abyLongReply[2] = 0xBC;
    std::memcpy(m_abyLongReply.data() + 3, strPatientID.data(),
                std::min<std::size_t>(strPatientID.size(), 31));
    m_abyLongReply[35] = nKind;
    std::memcpy(m_abyLongReply.data() + 36, strPath.data(),
                std::min<std::size_t>(strPath.size(), 150));
    m_abyLongReply[187] = 0xEF;
    return Send(m_abyLongReply.data(), m_abyLongReply.size());
}

void CDeviceLink::EndFrameMode() {
    m_bFrameMode = FALSE;
    m_state.Reset();
}

void CDeviceLink::HoldInput(BOOL bHold) {
    m_bHold = bHold;
    if (bHold || m_abyHeld.empty())
        return;
    std::vector<BYTE> held;
    held.swap(m_abyHeld);
    if (!OnReceive(held.data(), held.size()) && m_closeRequest)
        m_closeRequest();
}

BOOL CDeviceLink::Send(const BYTE* p, std::size_t n) {
    // A record's answer goes at once when nothing before it waits (it is on the wire before
    // the record is handed on), else into its place.
    if (m_pAnswer && m_pAnswer != &m_output.front()) {
        m_pAnswer->m_aby.insert(m_pAnswer->m_aby.end(), p, p + n);
        return TRUE;
    }
    if (m_pAnswer)
        return m_send ? m_send(p, n) : FALSE;
    if (!m_output.empty()) {
        m_output.push_back({std::vector<BYTE>(p, p + n), true});
        return TRUE;
    }
    return m_send ? m_send(p, n) : FALSE;
}

void CDeviceLink::TakeRecord(const CStoredRecord& record, std::function<void(BOOL)> then) {
    // What the device sends next waits for this record's answer, and so does what this side
    // sends meanwhile (a packet device's acknowledgements).
    HoldInput(TRUE);
    COutput* pAnswer = &m_output.emplace_back(COutput{{}, false});
    std::weak_ptr<int> alive = m_pAlive;
    const CAcqContext* pContext = &m_context;
    m_context.Take(record, [this, alive, pContext, record, pAnswer,
                            then = std::move(then)](BOOL bTaken) {
        if (alive.expired()) {
            // The connection went meanwhile: the record is kept all the same, without what
            // belonged to the connection.
            if (bTaken) {
                CStoredRecord kept = record;
                kept.m_pEkg = nullptr;
                kept.m_pSpiro = nullptr;
                pContext->Stored(kept);
            }
            return;
        }
        m_pAnswer = pAnswer;
        then(bTaken);
        m_pAnswer = nullptr;
        pAnswer->m_bReady = true;
        while (!m_output.empty() && m_output.front().m_bReady) {
            const std::vector<BYTE> aby = std::move(m_output.front().m_aby);
            m_output.pop_front();
            if (!aby.empty() && m_send)
                m_send(aby.data(), aby.size());
        }
        HoldInput(FALSE);
    });
}

BOOL CDeviceLink::RefuseFrame() {
    m_assembler.Set6000(FALSE);
    m_bFrameMode = FALSE;
    m_assembler.SetBlockCount(0);
    SendReply(acq::kReplyRefused, 0);
    m_abyLeft.clear();
    m_bClosed = TRUE;
    return FALSE;
}

BOOL CDeviceLink::OnReceive(const BYTE* p, std::size_t n) {
    m_bIdle = FALSE;
    if (m_bClosed)
        return FALSE;
    if (n == 0)
        return TRUE;
    if (m_bHold) {
        m_abyHeld.insert(m_abyHeld.end(), p, p + n);
        return TRUE;
    }
    if (m_context.m_log) {
        Log(Format("RECEIVE = %zu", n));
        Log(Format(" dummy plus RECEIVE = %zu", n + m_abyLeft.size()));
        if (n > 6) {
            const BYTE* t = p + n - 6;
            Log(Format("last hex : 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X", t[0], t[1], t[2],
                       t[3], t[4], t[5]));
        }
    }
    if (m_bPacketMode) {
        m_parser.Parse(p, static_cast<int>(n));
        if (m_context.m_log)
            Log(Format("WAIT BYTES1 = %d", m_parser.m_nWaitBytes));
        return TRUE;
    }
    // Complete messages are handled where they lie; only an incomplete tail is kept.
    const BOOL bOwn = !m_abyLeft.empty();
    if (bOwn)
        m_abyLeft.insert(m_abyLeft.end(), p, p + n);
    const BYTE* b = bOwn ? m_abyLeft.data() : p;
    const std::size_t nTotal = bOwn ? m_abyLeft.size() : n;
    std::size_t nPos = 0;
    while (nPos < nTotal) {
        const BYTE nTag = b[nPos];
        if (nTag == TZ_TAG_COMMAND || nTag == TZ_TAG_DATA) {
            m_bPacketMode = TRUE;
            const std::vector<BYTE> rest(b + nPos, b + nTotal);
            m_abyLeft.clear();
            m_parser.Parse(rest.data(), static_cast<int>(rest.size()));
            if (m_context.m_log)
                Log(Format("WAIT BYTES2 = %d", m_parser.m_nWaitBytes));
            return TRUE;
        }
        std::size_t nLength = 0;
        if (!acq::LengthOf(b + nPos, nTotal - nPos, nLength))
            break;
        if (nTag == 0xFA || nTag == 0xFC || nTag == 0xFD)
            m_bFrameMode = TRUE;
        if (nTag != 0x03 && m_context.m_log)
            Log(Format("TAG[0x%02X], LENGTH[%d]\r\n", nTag, b[nPos + 1]));
        const BOOL bBadLength =
            nLength < 2 || (nTag == 0xFD && nLength < 4) || nLength > acq::kReceiveBuffer;
        if (bBadLength) {
            // A message that can never advance the walk, or never fit the receive buffer.
            if (m_bFrameMode)
                return RefuseFrame();
            nPos += 2;
            continue;
        }
        if (nTotal - nPos < nLength)
            break;
        if (m_bFrameMode) {
            if (!m_assembler.HandleFrame(b + nPos, nLength))
                return RefuseFrame();
        } else {
            m_assembler.DispatchMessage(b + nPos, nLength);
        }
        nPos += nLength;
        if (m_bHold) {
            // A record is being put in place: the rest waits for it.
            m_abyHeld.insert(m_abyHeld.end(), b + nPos, b + nTotal);
            m_abyLeft.clear();
            return TRUE;
        }
    }
    if (bOwn) {
        m_abyLeft.erase(m_abyLeft.begin(), m_abyLeft.begin() + static_cast<std::ptrdiff_t>(nPos));
    } else {
        m_abyLeft.assign(p + nPos, p + nTotal);
    }
    if (!m_abyLeft.empty() && m_context.m_log)
        Log(Format(" m_nDummyLen = %zu", m_abyLeft.size()));
    return TRUE;
}
