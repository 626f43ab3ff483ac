#pragma once
// Packet protocol of the newer devices: command packets (0xF1: 16-bit command id and one
// typed value) and data packets (0xF2: 32-bit value and a block of bytes), the parser that
// cuts a byte stream into them across any split, and the builders of the packets that the
// server sends back (the acknowledgement 0xFF04 and the other reserved commands).
#include <cstddef>
#include <functional>
#include <vector>

#include "acq_server/acqlog.h"
#include "platform/wintypes.h"

constexpr BYTE TZ_TAG_COMMAND = 0xF1;
constexpr BYTE TZ_TAG_DATA = 0xF2;
constexpr int __MIN_COMMAND = 4;
constexpr int __MIN_DATA = 7;
constexpr int TZ_TYPE_VARIABLE = 9;
constexpr int TZ_MAX_EXTENDED = 127;
constexpr DWORD TZ_MAX_DATA = 65535;
constexpr BYTE TZ_ORDER_BIG = 64;

constexpr WORD RESERVED_CMD_START = 0xFF00;
constexpr WORD RESERVED_CMD_FILE = 0xFF01;
constexpr WORD RESERVED_CMD_FINISH = 0xFF02;
constexpr WORD RESERVED_CMD_ACK = 0xFF04;

// Per-connection protocol state: the byte order of the host (0 = little-endian) and the
// checksum switch that RESERVED_CMD_START sets. Each connection keeps its own, so one
// device's START never changes what another device receives. The builders trace the
// packets they make into the connection's debug log.
struct TzProtocolState {
    BYTE m_nHostOrder = 0;
    BOOL m_bChecksum = FALSE;
    LogSink m_log;
    void Reset() {
        m_nHostOrder = 0;
        m_bChecksum = FALSE;
    }
};

// A typed value: fixed values live in the 8 bytes in host order, type 9 in m_abyBytes.
struct TzValue {
    DWORD m_nType = 0;
    DWORD m_nLength = 0;
    BYTE m_abyFixed[8] = {};
    std::vector<BYTE> m_abyBytes;

    static TzValue Byte(BYTE n);
    static TzValue Word(WORD n);
    static TzValue DWord(DWORD n);
    static TzValue Bytes(const BYTE* pData, std::size_t nLength);
    // The fixed value as a number (little-endian host order).
    unsigned long long Number() const;
    const BYTE* Data() const {
        return m_nType == TZ_TYPE_VARIABLE ? m_abyBytes.data() : m_abyFixed;
    }
    void Clear() { *this = TzValue(); }
};

struct TzPacket {
    BYTE m_nTag = 0;
    DWORD m_nByteOrder = 0;  // 0 or 64, command packets
    DWORD m_nCommand = 0;
    DWORD m_nDataValue = 0;  // data packets: the value at offset 1
    DWORD m_nSize = 0;       // value size or data length
    TzValue m_value;
};

namespace tz {
// Size of a fixed type code; 0 for codes without a fixed size (9 included).
int SizeOfType(DWORD nType);
int SizeOfValue(const TzValue& value);
// Decodes nType from pSrc (nAvail bytes there); FALSE when too few. Reverses the bytes
// when nOrder differs from the host's.
BOOL ReadValue(TzValue& value, DWORD nType, const BYTE* pSrc, std::size_t nAvail, BYTE nOrder,
               BYTE nHostOrder);
// Writes the value into pDst (nRoom bytes); FALSE when it does not fit.
BOOL WriteValue(const TzValue& value, BYTE* pDst, std::size_t nRoom, BYTE nOrder, BYTE nHostOrder);
void Reverse(BYTE* p, std::size_t n);
BYTE Xor(const BYTE* p, int n);

// Builders: the whole wire packet into out; return its length (0 = nothing built).
int MakeCommandPacket(std::vector<BYTE>& out, WORD nCommand, const TzValue& value, BYTE nOrder,
                      const TzProtocolState& state);
int MakeDataPacket(std::vector<BYTE>& out, const BYTE* pData, std::size_t nLength, DWORD nValue);
// Header writers for a buffer the caller filled: offsets 0-3 and the trailing check byte
// of a command packet; offsets 0-6 of a data packet.
void WriteCommandHeader(BYTE* pPacket, std::size_t nTotal, WORD nCommand, DWORD nType, BYTE nOrder,
                        const TzProtocolState& state);
void WriteDataHeader(BYTE* pPacket, DWORD nValue, WORD nLength);
int PacketSize(const TzPacket& packet);

// Reserved commands 0xFF00..0xFF09.
int MakeStart(std::vector<BYTE>& out, WORD nValue, BYTE nSwitch, const TzProtocolState& state);
int MakeFile(std::vector<BYTE>& out, DWORD nSize, DWORD nOffset, const CString& strNameUtf8,
             BYTE nFlag, const TzProtocolState& state);
// Size and name taken from a file on disk (the name behind the last separator).
int MakeFileFromDisk(std::vector<BYTE>& out, const CString& strPath, DWORD nOffset, BYTE nFlag,
                     const TzProtocolState& state);
int MakeFinish(std::vector<BYTE>& out, BYTE nValue, const TzProtocolState& state);
int MakeCmd03(std::vector<BYTE>& out, const TzProtocolState& state);
int MakeAck(std::vector<BYTE>& out, WORD nCommand, const TzProtocolState& state);
int MakeCmd05(std::vector<BYTE>& out, WORD nFirst, WORD nSecond, const TzProtocolState& state);
int MakeCmd06(std::vector<BYTE>& out, BYTE nValue, const TzProtocolState& state);
int MakeCmd07(std::vector<BYTE>& out, const TzProtocolState& state);
int MakeCmd08(std::vector<BYTE>& out, DWORD nValue, const TzProtocolState& state);
int MakeCmd09(std::vector<BYTE>& out, const TzProtocolState& state);

struct TzStartInfo {
    BYTE m_nByte0 = 0;
    BYTE m_nByte1 = 0;
    WORD m_nValue = 0;
    BYTE m_nSwitch = 0;
};
struct TzFileInfo {
    DWORD m_nSize = 0;
    DWORD m_nOffset = 0;
    char m_szName[117] = {};  // installation code page, "?" replaced by "!"
    BYTE m_nFlag = 0;
};
BOOL ReadStart(const TzPacket& packet, TzStartInfo& info);
BOOL ReadFile(const TzPacket& packet, TzFileInfo& info);
}  // namespace tz

class TzComParser {
public:
    using Callback = void (*)(const TzPacket& packet, void* pContext);

    TzComParser() = default;
    virtual ~TzComParser() = default;
    TzComParser(const TzComParser&) = delete;
    TzComParser& operator=(const TzComParser&) = delete;

    void SetCallback(Callback pfn, void* pContext) {
        m_pfnCallback = pfn;
        m_pContext = pContext;
    }
    void SetLog(LogSink log) { m_log = std::move(log); }
    void Reset(BOOL bFreePending = TRUE);
    // Consumes one received chunk; 0, or count when no callback is set.
    int Parse(const BYTE* pBytes, int nCount);

    int m_nWaitBytes = 0;
    int m_nWaitType = 0;  // 0 idle, 1/2 header, 3 command value, 4 data
    enum { wait_None = 0, wait_PreCommand = 1, wait_PreData = 2, wait_Command = 3, wait_Data = 4 };

private:
    int ParseCommand(const BYTE* pBytes, int nCount);
    int ParseData(const BYTE* pBytes, int nCount);
    void Deliver();
    void Log(const CString& str) {
        if (m_log)
            m_log("\r\n" + str + "\r\n");
    }

    Callback m_pfnCallback = nullptr;
    void* m_pContext = nullptr;
    LogSink m_log;
    BYTE m_nHostOrder = 0;  // little-endian host
    BYTE m_abyPre[10] = {};
    TzPacket m_packet;
    int m_nCollected = 0;
};
