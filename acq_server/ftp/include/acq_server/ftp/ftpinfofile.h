#pragma once
// The FTP sender's destination: "senderinfo.cfg" beside the program, a binary file of two
// plain header lines and three coded texts (server, user, password) followed by the port.
//
// Layout (integers 32-bit little-endian): [n]["Corvane Co.,Ltd."] [n]["FTPINFO File v1.0"]
// then server, user, password each as [L][L x 16-bit codes], then the port. A header line
// holds 1..254 bytes, a text 1..254 characters. A character's code is its byte taken as a
// signed 8-bit number times 7, kept as 16 bits: "abc" is A7 02 AE 02 B5 02.
#include <cstdint>
#include <string>

#include "platform/wintypes.h"

class CFtpInfoFile {
public:
    CFtpInfoFile() = default;
    CFtpInfoFile(const CFtpInfoFile&) = default;
    CFtpInfoFile& operator=(const CFtpInfoFile&) = default;
    virtual ~CFtpInfoFile();

    // 1 when the whole file was read. No file at the path: 0 and the values stay as they
    // were; a file that cannot be read, is damaged or ends inside a field: 0 and the values
    // are cleared.
    int Load(LPCSTR lpszPath);
    // Writes the values in the same layout through a temporary file renamed over the
    // target; 1 when the whole file was written. Values that Load would refuse (an empty
    // text or one of 255 characters or more) are not written: 0.
    int Save(LPCSTR lpszPath) const;
    void Clear();

    // The file's bytes for these values; empty when a text is empty or too long.
    std::string ToBytes() const;
    // Reads the values from the file's bytes; FALSE (values untouched) when damaged or short.
    BOOL FromBytes(const std::string& data);

    // One character's code and back.
    static std::uint16_t EncodeChar(char ch);
    static char DecodeChar(std::uint16_t nCode);

    CString m_strServer;
    CString m_strUser;
    CString m_strPassword;
    int m_nPort = 0;

    static constexpr const char* kMakerLine = "Corvane Co.,Ltd.";
    static constexpr const char* kFormatLine = "FTPINFO File v1.0";
    static constexpr int kMaxLength = 254;  // longest header line or text
};
