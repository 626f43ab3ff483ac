#include "acq_server/tzcomparser.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

#include "platform/codepage.h"

using acq::Format;

// ---------------------------------------------------------------------------------------
// Values

TzValue TzValue::Byte(BYTE n) {
    TzValue v;
    v.m_nType = 2;
    v.m_nLength = 1;
    v.m_abyFixed[0] = n;
    return v;
}

TzValue TzValue::Word(WORD n) {
    TzValue v;
    v.m_nType = 4;
    v.m_nLength = 2;
    v.m_abyFixed[0] = static_cast<BYTE>(n & 0xFF);
    v.m_abyFixed[1] = static_cast<BYTE>(n >> 8);
    return v;
}

TzValue TzValue::DWord(DWORD n) {
    TzValue v;
    v.m_nType = 6;
    v.m_nLength = 4;
    for (int i = 0; i < 4; ++i)
        v.m_abyFixed[i] = static_cast<BYTE>(n >> (8 * i));
    return v;
}

TzValue TzValue::Bytes(const BYTE* pData, std::size_t nLength) {
    TzValue v;
    v.m_nType = TZ_TYPE_VARIABLE;
    v.m_nLength = static_cast<DWORD>(nLength);
    if (pData && nLength)
        v.m_abyBytes.assign(pData, pData + nLength);
    else
        v.m_abyBytes.assign(nLength, 0);
    return v;
}

unsigned long long TzValue::Number() const {
    unsigned long long n = 0;
    for (int i = 7; i >= 0; --i)
        n = (n << 8) | m_abyFixed[i];
    return n;
}

namespace tz {

int SizeOfType(DWORD nType) {
    switch (nType) {
        case 1:
        case 2:
            return 1;
        case 3:
        case 4:
            return 2;
        case 5:
        case 6:
        case 7:
            return 4;
        case 8:
            return 8;
        default:
            return 0;
    }
}

int SizeOfValue(const TzValue& value) {
    if (value.m_nType == TZ_TYPE_VARIABLE)
        return static_cast<int>(value.m_nLength);
    return SizeOfType(value.m_nType);
}

void Reverse(BYTE* p, std::size_t n) {
    if (p && n > 1)
        std::reverse(p, p + n);
}

BYTE Xor(const BYTE* p, int n) {
    BYTE x = 0;
    if (!p)
        return 0;
    for (int i = 0; i < n; ++i)
        x ^= p[i];
    return x;
}

BOOL ReadValue(TzValue& value, DWORD nType, const BYTE* pSrc, std::size_t nAvail, BYTE nOrder,
               BYTE nHostOrder) {
    if (nType == TZ_TYPE_VARIABLE) {
        // Only reached with a known length: the caller set m_nLength.
        if (nAvail < value.m_nLength)
            return FALSE;
        value.m_nType = nType;
        value.m_abyBytes.assign(pSrc, pSrc + value.m_nLength);
        return TRUE;
    }
    const int nSize = SizeOfType(nType);
    if (nAvail < static_cast<std::size_t>(nSize))
        return FALSE;
    value = TzValue();
    value.m_nType = nType;
    value.m_nLength = static_cast<DWORD>(nSize);
    if (nSize > 0)
        std::memcpy(value.m_abyFixed, pSrc, static_cast<std::size_t>(nSize));
    if (nOrder != nHostOrder)
        Reverse(value.m_abyFixed, static_cast<std::size_t>(nSize));
    return TRUE;
}

BOOL WriteValue(const TzValue& value, BYTE* pDst, std::size_t nRoom, BYTE nOrder, BYTE nHostOrder) {
    const int nSize = SizeOfValue(value);
    if (nRoom < static_cast<std::size_t>(nSize))
        return FALSE;
    if (nSize == 0)
        return TRUE;
    if (value.m_nType == TZ_TYPE_VARIABLE) {
        std::memcpy(
            pDst, value.m_abyBytes.data(),
            std::min<std::size_t>(value.m_abyBytes.size(), static_cast<std::size_t>(nSize)));
        return TRUE;
    }
    std::memcpy(pDst, value.m_abyFixed, static_cast<std::size_t>(nSize));
    if (nOrder != nHostOrder)
        Reverse(pDst, static_cast<std::size_t>(nSize));
    return TRUE;
}

void WriteCommandHeader(BYTE* pPacket, std::size_t nTotal, WORD nCommand, DWORD nType, BYTE nOrder,
                        const TzProtocolState& state) {
    pPacket[0] = TZ_TAG_COMMAND;
    pPacket[1] = static_cast<BYTE>(nCommand >> 8);
    pPacket[2] = static_cast<BYTE>(nCommand & 0xFF);
    if (nType == TZ_TYPE_VARIABLE)
        pPacket[3] = static_cast<BYTE>(0x80 | ((nTotal - 5) & 0x7F));
    else
        pPacket[3] = static_cast<BYTE>((nType & 0x3F) | (nOrder & TZ_ORDER_BIG));
    pPacket[nTotal - 1] = state.m_bChecksum ? Xor(pPacket, static_cast<int>(nTotal - 1)) : 0;
}

void WriteDataHeader(BYTE* pPacket, DWORD nValue, WORD nLength) {
    pPacket[0] = TZ_TAG_DATA;
    pPacket[1] = static_cast<BYTE>(nValue >> 24);
    pPacket[2] = static_cast<BYTE>(nValue >> 16);
    pPacket[3] = static_cast<BYTE>(nValue >> 8);
    pPacket[4] = static_cast<BYTE>(nValue);
    pPacket[5] = static_cast<BYTE>(nLength >> 8);
    pPacket[6] = static_cast<BYTE>(nLength & 0xFF);
}

int MakeCommandPacket(std::vector<BYTE>& out, WORD nCommand, const TzValue& value, BYTE nOrder,
                      const TzProtocolState& state) {
    int nSize = SizeOfValue(value);
    if (value.m_nType == TZ_TYPE_VARIABLE && nSize > TZ_MAX_EXTENDED)
        return 0;
    const std::size_t nTotal = static_cast<std::size_t>(nSize) + 5;
    out.assign(nTotal, 0);
    WriteValue(value, out.data() + 4, static_cast<std::size_t>(nSize), nOrder, state.m_nHostOrder);
    WriteCommandHeader(out.data(), nTotal, nCommand, value.m_nType, nOrder, state);
    if (state.m_log)
        state.m_log(
            acq::Format("\r\nMakeCommandPacket  %x %x %x %x \r\n", out[0], out[1], out[2], out[3]));
    return static_cast<int>(nTotal);
}

int MakeDataPacket(std::vector<BYTE>& out, const BYTE* pData, std::size_t nLength, DWORD nValue) {
    if (!pData || nLength > TZ_MAX_DATA)
        return 0;
    out.assign(nLength + 7, 0);
    WriteDataHeader(out.data(), nValue, static_cast<WORD>(nLength));
    if (nLength)
        std::memcpy(out.data() + 7, pData, nLength);
    return static_cast<int>(nLength + 7);
}

int PacketSize(const TzPacket& packet) {
    return static_cast<int>(packet.m_nSize) + (packet.m_nTag == TZ_TAG_DATA ? 7 : 5);
}

namespace {
void PutBig32(BYTE* p, DWORD n) {
    p[0] = static_cast<BYTE>(n >> 24);
    p[1] = static_cast<BYTE>(n >> 16);
    p[2] = static_cast<BYTE>(n >> 8);
    p[3] = static_cast<BYTE>(n);
}
DWORD GetBig32(const BYTE* p) {
    return (DWORD(p[0]) << 24) | (DWORD(p[1]) << 16) | (DWORD(p[2]) << 8) | DWORD(p[3]);
}
}  // namespace

int MakeStart(std::vector<BYTE>& out, WORD nValue, BYTE nSwitch, const TzProtocolState& state) {
    BYTE ab[20] = {};
    ab[2] = static_cast<BYTE>(nValue >> 8);
    ab[3] = static_cast<BYTE>(nValue & 0xFF);
    ab[4] = nSwitch;
    return MakeCommandPacket(out, RESERVED_CMD_START, TzValue::Bytes(ab, sizeof ab), 0, state);
}

int MakeFile(std::vector<BYTE>& out, DWORD nSize, DWORD nOffset, const CString& strNameUtf8,
             BYTE nFlag, const TzProtocolState& state) {
    BYTE ab[127] = {};
    PutBig32(ab, nSize);
    ab[4] = nFlag;
    PutBig32(ab + 5, nOffset);
    // The name keeps one terminating zero inside the 118 bytes of its field.
    std::memcpy(ab + 9, strNameUtf8.data(), std::min<std::size_t>(strNameUtf8.size(), 117));
    return MakeCommandPacket(out, RESERVED_CMD_FILE, TzValue::Bytes(ab, sizeof ab), 0, state);
}

int MakeFileFromDisk(std::vector<BYTE>& out, const CString& strPath, DWORD nOffset, BYTE nFlag,
                     const TzProtocolState& state) {
    struct stat st {};
    if (::stat(strPath.c_str(), &st) != 0)
        return 0;
    const std::size_t nCut = strPath.find_last_of("\\/");
    const CString strName = nCut == CString::npos ? strPath : strPath.substr(nCut + 1);
    return MakeFile(out, static_cast<DWORD>(st.st_size), nOffset, platform::ToUtf8(strName), nFlag,
                    state);
}

int MakeFinish(std::vector<BYTE>& out, BYTE nValue, const TzProtocolState& state) {
    return MakeCommandPacket(out, RESERVED_CMD_FINISH, TzValue::Byte(nValue), 0, state);
}
int MakeCmd03(std::vector<BYTE>& out, const TzProtocolState& state) {
    return MakeCommandPacket(out, 0xFF03, TzValue(), 0, state);
}
int MakeAck(std::vector<BYTE>& out, WORD nCommand, const TzProtocolState& state) {
    return MakeCommandPacket(out, RESERVED_CMD_ACK, TzValue::Word(nCommand), state.m_nHostOrder,
                             state);
}
int MakeCmd05(std::vector<BYTE>& out, WORD nFirst, WORD nSecond, const TzProtocolState& state) {
    return MakeCommandPacket(out, 0xFF05, TzValue::DWord((DWORD(nFirst) << 8) | nSecond),
                             state.m_nHostOrder, state);
}
int MakeCmd06(std::vector<BYTE>& out, BYTE nValue, const TzProtocolState& state) {
    return MakeCommandPacket(out, 0xFF06, TzValue::Byte(nValue), state.m_nHostOrder, state);
}
int MakeCmd07(std::vector<BYTE>& out, const TzProtocolState& state) {
    return MakeCommandPacket(out, 0xFF07, TzValue(), 0, state);
}
int MakeCmd08(std::vector<BYTE>& out, DWORD nValue, const TzProtocolState& state) {
    return MakeCommandPacket(out, 0xFF08, TzValue::DWord(nValue), state.m_nHostOrder, state);
}
int MakeCmd09(std::vector<BYTE>& out, const TzProtocolState& state) {
    return MakeCommandPacket(out, 0xFF09, TzValue(), 0, state);
}

BOOL ReadStart(const TzPacket& packet, TzStartInfo& info) {
    if (packet.m_nTag != TZ_TAG_COMMAND || packet.m_nCommand != RESERVED_CMD_START)
        return FALSE;
    BYTE ab[5] = {};
    const std::size_t n = std::min<std::size_t>(SizeOfValue(packet.m_value), sizeof ab);
    // An empty variable value has no buffer at all: it reads as zeros.
    if (packet.m_value.m_nType == TZ_TYPE_VARIABLE) {
        if (!packet.m_value.m_abyBytes.empty())
            std::memcpy(ab, packet.m_value.m_abyBytes.data(),
                        std::min(n, packet.m_value.m_abyBytes.size()));
    } else
        std::memcpy(ab, packet.m_value.m_abyFixed, n);
    info.m_nByte0 = ab[0];
    info.m_nByte1 = ab[1];
    info.m_nValue = static_cast<WORD>((ab[2] << 8) | ab[3]);
    info.m_nSwitch = ab[4];
    return TRUE;
}

BOOL ReadFile(const TzPacket& packet, TzFileInfo& info) {
    if (packet.m_nTag != TZ_TAG_COMMAND || packet.m_nCommand != RESERVED_CMD_FILE)
        return FALSE;
    BYTE ab[127] = {};
    if (packet.m_value.m_nType == TZ_TYPE_VARIABLE && !packet.m_value.m_abyBytes.empty())
        std::memcpy(ab, packet.m_value.m_abyBytes.data(),
                    std::min<std::size_t>(packet.m_value.m_abyBytes.size(), sizeof ab));
    info = TzFileInfo();
    info.m_nSize = GetBig32(ab);
    info.m_nFlag = ab[4];
    info.m_nOffset = GetBig32(ab + 5);
    // The name field may come without its terminating zero: it ends with the payload.
    const char* pName = reinterpret_cast<const char*>(ab + 9);
    const std::size_t nName = strnlen(pName, sizeof ab - 9);
    CString strName = platform::FromUtf8(std::string_view(pName, nName));
    std::replace(strName.begin(), strName.end(), '?', '!');
    // Cut to the field, never inside a double-byte character.
    strName = platform::CutToRoom(strName, sizeof info.m_szName - 1);
    std::memcpy(info.m_szName, strName.data(), strName.size());
    return TRUE;
}

}  // namespace tz

// ---------------------------------------------------------------------------------------
// Parser

void TzComParser::Reset(BOOL bFreePending) {
    if (bFreePending) {
        m_packet = TzPacket();
    }
    std::memset(m_abyPre, 0, sizeof m_abyPre);
    m_nCollected = 0;
    m_nWaitBytes = 0;
    m_nWaitType = wait_None;
}

void TzComParser::Deliver() {
    if (m_pfnCallback)
        m_pfnCallback(m_packet, m_pContext);
    Reset(TRUE);
}

int TzComParser::Parse(const BYTE* pBytes, int nCount) {
    if (!m_pfnCallback)
        return nCount;
    int nPos = 0;
    while (m_nWaitBytes > 0 && nPos < nCount) {
        const int nAvail = nCount - nPos;
        const int nTake = std::min(nAvail, m_nWaitBytes);
        if (m_nWaitType == wait_PreCommand || m_nWaitType == wait_PreData) {
            Log(Format("TzComParser::Parse [wait_PreData]  nSize: %d, nSrcPos: %d, m_nWaitBytes=%d",
                       nCount, nPos, m_nWaitBytes));
            std::memcpy(m_abyPre + m_nCollected, pBytes + nPos, static_cast<std::size_t>(nTake));
            m_nCollected += nTake;
            m_nWaitBytes -= nTake;
            nPos += nTake;
            if (m_nWaitBytes > 0) {
                Log(Format("TzComParser::Parse [wait_PreData]  m_nWaitBytes=%d", m_nWaitBytes));
                return 0;
            }
            BYTE abHeader[__MIN_DATA];
            const int nHeader = m_nCollected;
            std::memcpy(abHeader, m_abyPre, static_cast<std::size_t>(nHeader));
            const int nState = m_nWaitType;
            m_nCollected = 0;
            m_nWaitType = wait_None;
            if (nState == wait_PreCommand)
                ParseCommand(abHeader, nHeader);
            else
                ParseData(abHeader, nHeader);
            continue;
        }
        if (m_nWaitType == wait_Command) {
            TzValue& value = m_packet.m_value;
            if (value.m_nType == TZ_TYPE_VARIABLE) {
                Log(Format(
                    "TzComParser::Parse [wait_Data]  nSize: %d, nSrcPos: %d, m_nWaitBytes=%d",
                    nCount, nPos, m_nWaitBytes));
                // Value bytes go to the value; the check byte behind them is only consumed.
                const int nValueLeft = static_cast<int>(value.m_nLength) - m_nCollected;
                const int nToValue = std::clamp(nValueLeft, 0, nTake);
                if (nToValue > 0)
                    std::memcpy(value.m_abyBytes.data() + m_nCollected, pBytes + nPos,
                                static_cast<std::size_t>(nToValue));
            } else {
                Log(Format(
                    "TzComParser::Parse [wait_Command]  nSize: %d, nSrcPos: %d, m_nWaitBytes=%d",
                    nCount, nPos, m_nWaitBytes));
                std::memcpy(m_abyPre + m_nCollected, pBytes + nPos,
                            static_cast<std::size_t>(nTake));
            }
            m_nCollected += nTake;
            m_nWaitBytes -= nTake;
            nPos += nTake;
            if (m_nWaitBytes > 0) {
                Log(Format("TzComParser::Parse [wait_Command]  m_nWaitBytes=%d", m_nWaitBytes));
                return 0;
            }
            if (value.m_nType != TZ_TYPE_VARIABLE) {
                const DWORD nType = value.m_nType;
                tz::ReadValue(value, nType, m_abyPre, sizeof m_abyPre,
                              static_cast<BYTE>(m_packet.m_nByteOrder), m_nHostOrder);
            }
            Deliver();
            break;
        }
        if (m_nWaitType == wait_Data) {
            Log(Format("TzComParser::Parse [wait_Data]  nSize: %d, nSrcPos: %d, m_nWaitBytes=%d",
                       nCount, nPos, m_nWaitBytes));
            std::memcpy(m_packet.m_value.m_abyBytes.data() + m_nCollected, pBytes + nPos,
                        static_cast<std::size_t>(nTake));
            m_nCollected += nTake;
            m_nWaitBytes -= nTake;
            nPos += nTake;
            if (m_nWaitBytes > 0) {
                Log(Format("TzComParser::Parse [wait_Data]  m_nWaitBytes=%d", m_nWaitBytes));
                return 0;
            }
            Deliver();
            break;
        }
        Reset(TRUE);
        break;
    }

    Log(Format("TzComParser::Parse while Exit 1 Pos = %d, Size = %d -----------  ", nPos, nCount));
    Log(Format("TzComParser::Parse while Exit 1 m_nWaitType = %d", m_nWaitType));
    while (nPos < nCount) {
        if (pBytes[nPos] == TZ_TAG_COMMAND) {
            nPos += ParseCommand(pBytes + nPos, nCount - nPos);
        } else if (pBytes[nPos] == TZ_TAG_DATA) {
            const int nParsed = ParseData(pBytes + nPos, nCount - nPos);
            Log(
                Format("TzComParser::Parse TZ_TAG_DATA  Pos = %d, Size = %d, nParsed = %d  "
                       "-----------  ",
                       nPos, nCount, nParsed));
            nPos += nParsed;
        } else {
            ++nPos;
        }
    }
    Log(Format("TzComParser::Parse End  Pos = %d, Size = %d -----------  ", nPos, nCount));
    return 0;
}

int TzComParser::ParseCommand(const BYTE* pBytes, int nCount) {
    if (nCount < __MIN_COMMAND) {
        std::memcpy(m_abyPre, pBytes, static_cast<std::size_t>(nCount));
        m_nCollected = nCount;
        m_nWaitBytes = __MIN_COMMAND - nCount;
        m_nWaitType = wait_PreCommand;
        Log(Format("TzComParser::ParseCommand [nSize < __MIN_COMMAND]  m_nWaitBytes=%d",
                   m_nWaitBytes));
        return nCount;
    }
    m_packet = TzPacket();
    m_packet.m_nTag = pBytes[0];
    m_packet.m_nCommand = static_cast<DWORD>(pBytes[1]) * 256 + pBytes[2];
    const BYTE nTypeByte = pBytes[3];
    TzValue& value = m_packet.m_value;
    int nSize;
    if (nTypeByte & 0x80) {
        nSize = nTypeByte & 0x7F;
        value.m_nType = TZ_TYPE_VARIABLE;
        value.m_nLength = static_cast<DWORD>(nSize);
        value.m_abyBytes.assign(static_cast<std::size_t>(nSize), 0);
        m_packet.m_nByteOrder = 0;
    } else {
        m_packet.m_nByteOrder = (nTypeByte & TZ_ORDER_BIG) ? TZ_ORDER_BIG : 0;
        // A fixed type code 9 names a variable value without a length: it is taken as empty.
        value.m_nType = nTypeByte & 0x3F;
        nSize = tz::SizeOfType(value.m_nType);
        value.m_nLength = static_cast<DWORD>(nSize);
    }
    m_packet.m_nSize = static_cast<DWORD>(nSize);

    if (nCount < nSize + 5) {
        const int nHere = nCount - __MIN_COMMAND;
        // Of the bytes present only the value's belong to it; a check byte is never among
        // them here, since the packet would then be complete.
        if (nHere > 0 && value.m_nType == TZ_TYPE_VARIABLE)
            std::memcpy(value.m_abyBytes.data(), pBytes + 4, static_cast<std::size_t>(nHere));
        else if (nHere > 0)
            std::memcpy(m_abyPre, pBytes + 4, static_cast<std::size_t>(nHere));
        m_nCollected = nHere;
        m_nWaitBytes = nSize + 1 - nHere;
        m_nWaitType = wait_Command;
        Log(Format(value.m_nType == TZ_TYPE_VARIABLE
                       ? "TzComParser::ParseCommand [bExtend]  m_nWaitBytes=%d"
                       : "TzComParser::ParseCommand [!bExtend]  m_nWaitBytes=%d",
                   m_nWaitBytes));
        return nCount;
    }
    if (value.m_nType == TZ_TYPE_VARIABLE) {
        if (nSize)
            std::memcpy(value.m_abyBytes.data(), pBytes + 4, static_cast<std::size_t>(nSize));
    } else {
        const DWORD nType = value.m_nType;
        tz::ReadValue(value, nType, pBytes + 4, static_cast<std::size_t>(nSize),
                      static_cast<BYTE>(m_packet.m_nByteOrder), m_nHostOrder);
    }
    Deliver();
    return nSize + 5;
}

int TzComParser::ParseData(const BYTE* pBytes, int nCount) {
    if (nCount < __MIN_DATA) {
        std::memcpy(m_abyPre, pBytes, static_cast<std::size_t>(nCount));
        m_nCollected = nCount;
        m_nWaitBytes = __MIN_DATA - nCount;
        m_nWaitType = wait_PreData;
        Log(Format("TzComParser::ParseData [nSize < __MIN_DATA]  m_nWaitBytes=%d", m_nWaitBytes));
        return nCount;
    }
    m_packet = TzPacket();
    m_packet.m_nTag = pBytes[0];
    m_packet.m_nDataValue = (DWORD(pBytes[1]) << 24) | (DWORD(pBytes[2]) << 16) |
                            (DWORD(pBytes[3]) << 8) | DWORD(pBytes[4]);
    const int nLength = (pBytes[5] << 8) | pBytes[6];
    m_packet.m_nSize = static_cast<DWORD>(nLength);
    m_packet.m_value.m_nType = TZ_TYPE_VARIABLE;
    m_packet.m_value.m_nLength = static_cast<DWORD>(nLength);
    m_packet.m_value.m_abyBytes.assign(static_cast<std::size_t>(nLength), 0);
    if (nCount >= nLength + __MIN_DATA) {
        if (nLength)
            std::memcpy(m_packet.m_value.m_abyBytes.data(), pBytes + 7,
                        static_cast<std::size_t>(nLength));
        Log(Format("TzComParser::ParseData Callback  nSize: %d ", nLength));
        Deliver();
        return nLength + __MIN_DATA;
    }
    const int nHere = nCount - __MIN_DATA;
    if (nHere > 0)
        std::memcpy(m_packet.m_value.m_abyBytes.data(), pBytes + 7,
                    static_cast<std::size_t>(nHere));
    m_nCollected = nHere;
    m_nWaitBytes = nLength - nHere;
    m_nWaitType = wait_Data;
    Log(Format("TzComParser::ParseData [nLength > nSize]  m_nWaitBytes=%d", m_nWaitBytes));
    return nCount;
}
