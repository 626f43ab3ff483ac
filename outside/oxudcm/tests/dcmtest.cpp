#include "dcmtest.h"

using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace dcmtest {
std::string Judge(const std::vector<std::string>& args) {
    std::string strCmd = std::string(OXU_PYTHON " " DCMJUDGE_PY);
    for (const std::string& a : args) {
        strCmd += " " + ShellQuote(a);
    }
    int nStatus = -1;
    std::string strOut = RunCommand(strCmd + " 2>&1", &nStatus);
    if (nStatus != 0 && strOut.empty()) {
        strOut = "dcmjudge failed with status " + std::to_string(nStatus);
    }
    return nStatus == 0 ? std::string() : strOut;
}

std::string VerifyErrors(const std::string& strFile) {
    int nStatus = -1;
    const std::string strOut = RunCommand("dciodvfy " + ShellQuote(strFile) + " 2>&1", &nStatus);
    if (strOut.empty()) {
        return "dciodvfy printed nothing";
    }
    std::string strErrors;
    std::size_t n = 0;
    while (n < strOut.size()) {
        std::size_t e = strOut.find('\n', n);
        if (e == std::string::npos) {
            e = strOut.size();
        }
        const std::string strLine = strOut.substr(n, e - n);
        if (strLine.find("Error") != std::string::npos) {
            strErrors += strLine + "\n";
        }
        n = e + 1;
    }
    return strErrors;
}

bool DumpReads(const std::string& strFile) {
    int nStatus = -1;
    const std::string strOut = RunCommand("dcmdump " + ShellQuote(strFile) + " 2>&1", &nStatus);
    return nStatus == 0 && strOut.find("E: ") == std::string::npos;
}

std::string MakeBmp(int nWidth, int nHeight) {
    const int nStride = (nWidth * 3 + 3) / 4 * 4;
    std::string s(54 + static_cast<std::size_t>(nStride * nHeight), '\0');
    auto le32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    };
    s[0] = 'B';
    s[1] = 'M';
    le32(2, static_cast<std::uint32_t>(s.size()));
    le32(10, 54);
    le32(14, 40);
    le32(18, static_cast<std::uint32_t>(nWidth));
    le32(22, static_cast<std::uint32_t>(nHeight));
    s[26] = 1;
    s[28] = 24;
    for (int y = 0; y < nHeight; ++y) {
        for (int x = 0; x < nWidth; ++x) {
            const std::size_t p = 54 + static_cast<std::size_t>(y * nStride + 3 * x);
            s[p] = static_cast<char>(x * 7 + y);        // blue
            s[p + 1] = static_cast<char>(y * 13);       // green
            s[p + 2] = static_cast<char>(255 - x * 3);  // red
        }
    }
    return s;
}

bool MakeJpeg(const std::string& strPath, int nWidth, int nHeight) {
    int nStatus = -1;
    RunCommand("convert -size " + std::to_string(nWidth) + "x" + std::to_string(nHeight) +
                   " gradient:red-blue -interlace none -quality 75 " + ShellQuote("jpeg:" + strPath) +
                   " 2>&1",
               &nStatus);
    return nStatus == 0 && testsupport::Exists(strPath);
}
}  // namespace dcmtest
