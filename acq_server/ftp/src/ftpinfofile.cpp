#include "acq_server/ftp/ftpinfofile.h"

#include <cstring>

#include "common/ZeqGF.h"
#include "platform/atomicfile.h"

namespace {

// Reads the file's fields in order; every read is checked against what is left, so a file
// that ends inside a field fails instead of using what a short read gave.
class CFieldReader {
public:
    explicit CFieldReader(const std::string& data) : m_data(data) {}

    bool ReadInt(std::int32_t& nValue) {
        if (m_data.size() - m_nPos < 4)
            return false;
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<std::uint8_t>(m_data[m_nPos + i]);
        m_nPos += 4;
        nValue = static_cast<std::int32_t>(v);
        return true;
    }
    // A length in 1..254, then that many units of nUnit bytes.
    bool ReadLength(std::size_t nUnit, std::int32_t& nLength) {
        if (!ReadInt(nLength) || nLength < 1 || nLength > CFtpInfoFile::kMaxLength)
            return false;
        return m_data.size() - m_nPos >= static_cast<std::size_t>(nLength) * nUnit;
    }
    bool ReadLine(std::string& line) {
        std::int32_t n = 0;
        if (!ReadLength(1, n))
            return false;
        line.assign(m_data, m_nPos, static_cast<std::size_t>(n));
        m_nPos += static_cast<std::size_t>(n);
        return true;
    }
    bool ReadCoded(std::string& text) {
        std::int32_t n = 0;
        if (!ReadLength(2, n))
            return false;
        text.clear();
        for (std::int32_t i = 0; i < n; ++i) {
            auto lo = static_cast<std::uint8_t>(m_data[m_nPos]);
            auto hi = static_cast<std::uint8_t>(m_data[m_nPos + 1]);
            text += CFtpInfoFile::DecodeChar(static_cast<std::uint16_t>(lo | (hi << 8)));
            m_nPos += 2;
        }
        return true;
    }

private:
    const std::string& m_data;
    std::size_t m_nPos = 0;
};

void PutInt(std::string& out, std::int32_t nValue) {
    auto v = static_cast<std::uint32_t>(nValue);
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

bool Storable(const std::string& text) {
    return !text.empty() && text.size() <= static_cast<std::size_t>(CFtpInfoFile::kMaxLength);
}

}  // namespace

CFtpInfoFile::~CFtpInfoFile() = default;

std::uint16_t CFtpInfoFile::EncodeChar(char ch) {
    int n = static_cast<signed char>(ch) * 7;
    return static_cast<std::uint16_t>(n & 0xFFFF);
}

char CFtpInfoFile::DecodeChar(std::uint16_t nCode) {
    int n = static_cast<std::int16_t>(nCode) / 7;  // truncates toward zero
    return static_cast<char>(n & 0xFF);
}

void CFtpInfoFile::Clear() {
    m_strServer.clear();
    m_strUser.clear();
    m_strPassword.clear();
    m_nPort = 0;
}

BOOL CFtpInfoFile::FromBytes(const std::string& data) {
    CFieldReader reader(data);
    std::string maker, format, server, user, password;
    std::int32_t nPort = 0;
    if (!reader.ReadLine(maker) || maker != kMakerLine || !reader.ReadLine(format) ||
        format != kFormatLine || !reader.ReadCoded(server) || !reader.ReadCoded(user) ||
        !reader.ReadCoded(password) || !reader.ReadInt(nPort))
        return FALSE;
    m_strServer = server;
    m_strUser = user;
    m_strPassword = password;
    m_nPort = nPort;
    return TRUE;
}

int CFtpInfoFile::Load(LPCSTR lpszPath) {
    if (!ZeqGF::IsFile(lpszPath))
        return 0;
    std::string data;
    if (!platform::ReadWholeFile(lpszPath, data) || !FromBytes(data)) {
        Clear();
        return 0;
    }
    return 1;
}

std::string CFtpInfoFile::ToBytes() const {
    if (!Storable(m_strServer) || !Storable(m_strUser) || !Storable(m_strPassword))
        return {};
    std::string out;
    for (const char* line : {kMakerLine, kFormatLine}) {
        PutInt(out, static_cast<std::int32_t>(std::strlen(line)));
        out += line;
    }
    for (const CString* text : {&m_strServer, &m_strUser, &m_strPassword}) {
        PutInt(out, static_cast<std::int32_t>(text->size()));
        for (char ch : *text) {
            std::uint16_t code = EncodeChar(ch);
            out += static_cast<char>(code & 0xFF);
            out += static_cast<char>(code >> 8);
        }
    }
    PutInt(out, m_nPort);
    return out;
}

int CFtpInfoFile::Save(LPCSTR lpszPath) const {
    std::string data = ToBytes();
    if (data.empty() || !lpszPath || !*lpszPath)
        return 0;
    return platform::WriteFileAtomically(lpszPath, data) ? 1 : 0;
}
