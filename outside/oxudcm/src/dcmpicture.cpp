#include "dcmpicture.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/atomicfile.h"

namespace oxudcm {
namespace {
constexpr int kMaxSide = 16384;

std::uint32_t Le32(const std::string& s, std::size_t n) {
    return static_cast<std::uint8_t>(s[n]) | static_cast<std::uint8_t>(s[n + 1]) << 8 |
           static_cast<std::uint8_t>(s[n + 2]) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[n + 3])) << 24;
}
std::uint16_t Le16(const std::string& s, std::size_t n) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(s[n]) |
                                      static_cast<std::uint8_t>(s[n + 1]) << 8);
}
std::uint16_t Be16(const std::string& s, std::size_t n) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(s[n]) << 8 |
                                      static_cast<std::uint8_t>(s[n + 1]));
}
}  // namespace

bool ReadJpegPicture(const std::string& strPath, CDcmTkDicomFile::CPicture& picture,
                     std::string& strError) {
    std::string s;
    if (!platform::ReadWholeFile(strPath, s)) {
        strError = "cannot read the JPEG file " + strPath;
        return false;
    }
    if (s.size() < 4 || static_cast<std::uint8_t>(s[0]) != 0xFF ||
        static_cast<std::uint8_t>(s[1]) != 0xD8) {
        strError = "not a JPEG file: " + strPath;
        return false;
    }
    std::size_t n = 2;
    while (n + 4 <= s.size()) {
        if (static_cast<std::uint8_t>(s[n]) != 0xFF) {
            break;
        }
        const std::uint8_t m = static_cast<std::uint8_t>(s[n + 1]);
        if (m == 0xFF) {  // fill byte
            ++n;
            continue;
        }
        const std::size_t nLen = Be16(s, n + 2);
        if (nLen < 2 || n + 2 + nLen > s.size()) {
            break;
        }
        const bool bSof = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
        if (bSof) {
            if (m != 0xC0 || nLen < 8) {
                strError = "not a baseline JPEG: " + strPath;
                return false;
            }
            const int nPrecision = static_cast<std::uint8_t>(s[n + 4]);
            const int nRows = Be16(s, n + 5), nColumns = Be16(s, n + 7);
            const int nComponents = static_cast<std::uint8_t>(s[n + 9]);
            if (nPrecision != 8 || nRows <= 0 || nColumns <= 0 ||
                (nComponents != 1 && nComponents != 3)) {
                strError = "unsupported JPEG frame in " + strPath;
                return false;
            }
            picture = {};
            picture.eKind = CDcmTkDicomFile::CPicture::kJpeg;
            picture.nRows = nRows;
            picture.nColumns = nColumns;
            picture.nComponents = nComponents;
            picture.abData.assign(s.begin(), s.end());
            return true;
        }
        if (m == 0xDA || m == 0xD9) {
            break;
        }
        n += 2 + nLen;
    }
    strError = "no JPEG frame header in " + strPath;
    return false;
}

bool ReadBmpPicture(const std::string& strPath, int nImageKind,
                    CDcmTkDicomFile::CPicture& picture, std::string& strError) {
    if (nImageKind != 0 && nImageKind != 1) {
        strError = "unknown image kind " + std::to_string(nImageKind);
        return false;
    }
    std::string s;
    if (!platform::ReadWholeFile(strPath, s)) {
        strError = "cannot read the bitmap file " + strPath;
        return false;
    }
    if (s.size() < 54 || s[0] != 'B' || s[1] != 'M') {
        strError = "not a bitmap file: " + strPath;
        return false;
    }
    const std::uint32_t nOffBits = Le32(s, 10), nHeaderSize = Le32(s, 14);
    if (nHeaderSize < 40 || 14 + static_cast<std::uint64_t>(nHeaderSize) > s.size()) {
        strError = "unsupported bitmap header in " + strPath;
        return false;
    }
    const std::int32_t nWidth = static_cast<std::int32_t>(Le32(s, 18));
    const std::int32_t nHeightRaw = static_cast<std::int32_t>(Le32(s, 22));
    const int nBits = Le16(s, 28);
    const std::uint32_t nCompression = Le32(s, 30);
    std::uint32_t nColours = Le32(s, 46);
    const bool bTopDown = nHeightRaw < 0;
    const std::int64_t nHeight = bTopDown ? -static_cast<std::int64_t>(nHeightRaw) : nHeightRaw;
    if (nWidth <= 0 || nHeight <= 0 || nWidth > kMaxSide || nHeight > kMaxSide ||
        (nBits != 8 && nBits != 24 && nBits != 32) ||
        !(nCompression == 0 || (nCompression == 3 && nBits == 32))) {
        strError = "unsupported bitmap format in " + strPath;
        return false;
    }
    const std::uint64_t nStride = (static_cast<std::uint64_t>(nWidth) * nBits + 31) / 32 * 4;
    if (nOffBits > s.size() || nStride * static_cast<std::uint64_t>(nHeight) > s.size() - nOffBits) {
        strError = "the bitmap holds fewer pixels than its header promises: " + strPath;
        return false;
    }
    const std::size_t nPalette = 14 + nHeaderSize;
    if (nBits == 8) {
        if (nColours == 0 || nColours > 256) {
            nColours = 256;
        }
        if (nPalette + 4 * static_cast<std::uint64_t>(nColours) > nOffBits) {
            strError = "the bitmap's palette is cut short: " + strPath;
            return false;
        }
    }
    picture = {};
    picture.eKind = nImageKind == 0 ? CDcmTkDicomFile::CPicture::kGrey
                                    : CDcmTkDicomFile::CPicture::kRgb;
    picture.nRows = static_cast<int>(nHeight);
    picture.nColumns = nWidth;
    picture.nComponents = nImageKind == 0 ? 1 : 3;
    picture.abData.resize(static_cast<std::size_t>(nWidth) * static_cast<std::size_t>(nHeight) *
                          static_cast<std::size_t>(picture.nComponents));
    std::uint8_t* pOut = picture.abData.data();
    for (std::int64_t y = 0; y < nHeight; ++y) {
        const std::int64_t nSrcRow = bTopDown ? y : nHeight - 1 - y;
        const std::size_t nRow = nOffBits + static_cast<std::size_t>(nSrcRow * static_cast<std::int64_t>(nStride));
        for (std::int32_t x = 0; x < nWidth; ++x) {
            std::uint8_t r, g, b;
            if (nBits == 8) {
                const std::uint8_t nIndex = static_cast<std::uint8_t>(s[nRow + static_cast<std::size_t>(x)]);
                const std::size_t nEntry = nPalette + 4 * std::size_t{nIndex < nColours ? nIndex : 0u};
                b = static_cast<std::uint8_t>(s[nEntry]);
                g = static_cast<std::uint8_t>(s[nEntry + 1]);
                r = static_cast<std::uint8_t>(s[nEntry + 2]);
            } else {
                const std::size_t p = nRow + static_cast<std::size_t>(x) * static_cast<std::size_t>(nBits / 8);
                b = static_cast<std::uint8_t>(s[p]);
                g = static_cast<std::uint8_t>(s[p + 1]);
                r = static_cast<std::uint8_t>(s[p + 2]);
            }
            if (nImageKind == 0) {
                // Integer form of round(0.299 R + 0.587 G + 0.114 B).
                *pOut++ = static_cast<std::uint8_t>((299 * r + 587 * g + 114 * b + 500) / 1000);
            } else {
                *pOut++ = r;
                *pOut++ = g;
                *pOut++ = b;
            }
        }
    }
    return true;
}

}  // namespace oxudcm
