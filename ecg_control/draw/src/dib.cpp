#include "ecg_control/draw/dib.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QImage>

extern "C" {
#include <jpeglib.h>
}

#include "platform/atomicfile.h"

namespace {

constexpr int kInfoHeaderSize = 40;
// 72 dots per inch in pixels per metre.
constexpr int kPixelsPerMetre72 = 2835;

DWORD GetDword(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
           (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}
WORD GetWord(const BYTE* p) {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}
void PutDword(BYTE* p, DWORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    p[3] = static_cast<BYTE>(v >> 24);
}
void PutWord(BYTE* p, WORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

}  // namespace

namespace dib {

BOOL IsInfoHeader(const BYTE* pDib) {
    return GetDword(pDib) == kInfoHeaderSize;
}

int Width(const BYTE* pDib) {
    return IsInfoHeader(pDib) ? static_cast<int>(GetDword(pDib + 4)) : GetWord(pDib + 4);
}

int Height(const BYTE* pDib) {
    return IsInfoHeader(pDib) ? static_cast<int>(GetDword(pDib + 8)) : GetWord(pDib + 6);
}

int BitCount(const BYTE* pDib) {
    return IsInfoHeader(pDib) ? GetWord(pDib + 14) : GetWord(pDib + 10);
}

int ColorCount(const BYTE* pDib) {
    if (IsInfoHeader(pDib)) {
        const DWORD dwUsed = GetDword(pDib + 32);
        if (dwUsed != 0) {
            return static_cast<int>(dwUsed);
        }
    }
    switch (BitCount(pDib)) {
        case 1:
            return 2;
        case 4:
            return 16;
        case 8:
            return 256;
        default:
            return 0;
    }
}

int PaletteSize(const BYTE* pDib) {
    return ColorCount(pDib) * (IsInfoHeader(pDib) ? 4 : 3);
}

BYTE* Bits(BYTE* pDib) {
    return pDib + GetDword(pDib) + PaletteSize(pDib);
}

const BYTE* Bits(const BYTE* pDib) {
    return pDib + GetDword(pDib) + PaletteSize(pDib);
}

int Stride(int nWidth, int nBitCount) {
    return ((nWidth * nBitCount + 31) / 32) * 4;
}

BOOL IsComplete24(const CDibBytes& dibBytes) {
    if (dibBytes.size() < kInfoHeaderSize) {
        return FALSE;
    }
    const BYTE* p = dibBytes.data();
    const DWORD dwHeader = GetDword(p);
    if (dwHeader < 12 || dwHeader > dibBytes.size() || BitCount(p) != 24) {
        return FALSE;
    }
    const int nWidth = Width(p);
    const int nHeight = Height(p);
    if (nWidth <= 0 || nHeight <= 0) {
        return FALSE;
    }
    const std::uint64_t nPalette =
        static_cast<std::uint64_t>(static_cast<DWORD>(ColorCount(p))) * (IsInfoHeader(p) ? 4 : 3);
    const std::uint64_t nRow = (static_cast<std::uint64_t>(nWidth) * 24 + 31) / 32 * 4;
    const std::uint64_t nNeeded = dwHeader + nPalette + nRow * static_cast<std::uint64_t>(nHeight);
    return nNeeded <= dibBytes.size() ? TRUE : FALSE;
}

CDibBytes FromImage(const QImage& image) {
    // The rendered page is 32-bit; anything else is brought to it first.
    const QImage rgb =
        (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32)
            ? image
            : image.convertToFormat(QImage::Format_RGB32);
    const int nWidth = rgb.width();
    const int nHeight = rgb.height();
    const int nStride = Stride(nWidth, 24);
    CDibBytes bytes(kInfoHeaderSize + static_cast<std::size_t>(nStride) * nHeight);
    BYTE* p = bytes.data();
    std::memset(p, 0, kInfoHeaderSize);
    PutDword(p, kInfoHeaderSize);
    PutDword(p + 4, static_cast<DWORD>(nWidth));
    PutDword(p + 8, static_cast<DWORD>(nHeight));
    PutWord(p + 12, 1);
    PutWord(p + 14, 24);
    PutDword(p + 16, 0);  // BI_RGB
    PutDword(p + 20, static_cast<DWORD>(nStride) * nHeight);
    PutDword(p + 24, kPixelsPerMetre72);
    PutDword(p + 28, kPixelsPerMetre72);
    BYTE* pBits = Bits(p);
    for (int y = 0; y < nHeight; ++y) {
        const QRgb* pSource = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        BYTE* pTarget = pBits + static_cast<std::size_t>(nHeight - 1 - y) * nStride;
        for (int x = 0; x < nWidth; ++x) {
            // DIB pixels are blue, green, red.
            const QRgb rgbPixel = pSource[x];
            pTarget[3 * x] = static_cast<BYTE>(qBlue(rgbPixel));
            pTarget[3 * x + 1] = static_cast<BYTE>(qGreen(rgbPixel));
            pTarget[3 * x + 2] = static_cast<BYTE>(qRed(rgbPixel));
        }
        // Row padding.
        std::memset(pTarget + 3 * nWidth, 0, static_cast<std::size_t>(nStride - 3 * nWidth));
    }
    return bytes;
}

QImage ToImage(const CDibBytes& dibBytes) {
    if (!IsComplete24(dibBytes)) {
        return {};
    }
    const BYTE* p = dibBytes.data();
    const int nWidth = Width(p);
    const int nHeight = Height(p);
    const int nStride = Stride(nWidth, 24);
    QImage image(nWidth, nHeight, QImage::Format_RGB888);
    if (image.isNull()) {
        return {};
    }
    const BYTE* pBits = Bits(p);
    for (int y = 0; y < nHeight; ++y) {
        const BYTE* pSource = pBits + static_cast<std::size_t>(nHeight - 1 - y) * nStride;
        uchar* pTarget = image.scanLine(y);
        for (int x = 0; x < nWidth; ++x) {
            pTarget[3 * x] = pSource[3 * x + 2];
            pTarget[3 * x + 1] = pSource[3 * x + 1];
            pTarget[3 * x + 2] = pSource[3 * x];
        }
    }
    return image;
}

}  // namespace dib

CDibRows::CDibRows(BYTE* pDib) {
    if (pDib == nullptr || dib::BitCount(pDib) != 24) {
        return;
    }
    m_nWidth = dib::Width(pDib);
    m_nHeight = dib::Height(pDib);
    if (m_nWidth <= 0 || m_nHeight <= 0) {
        return;
    }
    m_nStride = dib::Stride(m_nWidth, 24);
    m_pBits = dib::Bits(pDib);
}

BOOL SmoothDib(CDibBytes& dibBytes) {
    if (!dib::IsComplete24(dibBytes)) {
        return FALSE;
    }
    CDibRows rows(dibBytes.data());
    if (!rows.IsValid()) {
        return FALSE;
    }
    const int nWidth = rows.Width();
    const int nHeight = rows.Height();
    if (nWidth < 3 || nHeight < 3) {
        return TRUE;
    }
    static constexpr int s_anWeights[3][3] = {{1, 3, 1}, {3, 4, 3}, {1, 3, 1}};
    auto pixel = [](const BYTE* pRow, int x) {
        return CRgbSum{pRow[3 * x + 2], pRow[3 * x + 1], pRow[3 * x]};
    };
    for (int y = 1; y < nHeight - 1; ++y) {
        BYTE* apRows[3] = {rows.Row(y - 1), rows.Row(y), rows.Row(y + 1)};
        for (int x = 1; x < nWidth - 1; ++x) {
            CRgbSum sum;
            for (int dy = 0; dy < 3; ++dy) {
                for (int dx = 0; dx < 3; ++dx) {
                    sum += pixel(apRows[dy], x + dx - 1) * s_anWeights[dy][dx];
                }
            }
            const CRgbSum result = sum / 20;
            BYTE* pTarget = apRows[1] + 3 * x;
            pTarget[0] = static_cast<BYTE>(std::clamp(result.b, 0, 255));
            pTarget[1] = static_cast<BYTE>(std::clamp(result.g, 0, 255));
            pTarget[2] = static_cast<BYTE>(std::clamp(result.r, 0, 255));
        }
    }
    return TRUE;
}

BOOL WriteBmpFile(const CString& strPath, const CDibBytes& dibBytes) {
    if (strPath.empty() || !dib::IsComplete24(dibBytes)) {
        return FALSE;
    }
    const BYTE* p = dibBytes.data();
    BYTE header[14] = {'B', 'M'};
    PutDword(header + 2, static_cast<DWORD>(sizeof header + dibBytes.size()));
    PutDword(header + 10, static_cast<DWORD>(sizeof header + GetDword(p) + dib::PaletteSize(p)));
    platform::CAtomicFile file;
    if (!file.Open(strPath)) {
        return FALSE;
    }
    file.Write(header, sizeof header);
    file.Write(dibBytes.data(), dibBytes.size());
    return file.Commit() ? TRUE : FALSE;
}

namespace {

struct CJpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void JpegErrorExit(j_common_ptr pInfo) {
    std::longjmp(reinterpret_cast<CJpegError*>(pInfo->err)->jump, 1);
}

void JpegSilence(j_common_ptr, int) {}

// Encodes into a malloc'ed buffer; FALSE when the library reports an error.
BOOL EncodeJpeg(const BYTE* pDib, int nQuality, unsigned char** ppOut, unsigned long* pnSize) {
    const int nWidth = dib::Width(pDib);
    const int nHeight = dib::Height(pDib);
    const int nStride = dib::Stride(nWidth, 24);
    const BYTE* pBits = dib::Bits(pDib);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(nWidth) * 3);

    jpeg_compress_struct info;
    CJpegError error;
    info.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = JpegErrorExit;
    error.mgr.emit_message = JpegSilence;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        return FALSE;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, ppOut, pnSize);
    info.image_width = static_cast<JDIMENSION>(nWidth);
    info.image_height = static_cast<JDIMENSION>(nHeight);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, nQuality, TRUE);
    info.write_JFIF_header = TRUE;
    info.density_unit = 1;  // dots per inch
    info.X_density = 72;
    info.Y_density = 72;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // JPEG runs top-down; the DIB bottom-up and blue-green-red.
        const BYTE* pSource =
            pBits +
            static_cast<std::size_t>(nHeight - 1 - static_cast<int>(info.next_scanline)) * nStride;
        for (int x = 0; x < nWidth; ++x) {
            row[3 * x] = pSource[3 * x + 2];
            row[3 * x + 1] = pSource[3 * x + 1];
            row[3 * x + 2] = pSource[3 * x];
        }
        JSAMPROW pRow = row.data();
        jpeg_write_scanlines(&info, &pRow, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return TRUE;
}

}  // namespace

BOOL WriteJpegFile(const CString& strPath, const CDibBytes& dibBytes, int nQuality) {
    if (strPath.empty() || !dib::IsComplete24(dibBytes)) {
        return FALSE;
    }
    unsigned char* pOut = nullptr;
    unsigned long nSize = 0;
    const BOOL bEncoded = EncodeJpeg(dibBytes.data(), nQuality, &pOut, &nSize);
    BOOL bResult = FALSE;
    if (bEncoded && pOut != nullptr) {
        bResult = platform::WriteFileAtomically(
                      strPath, std::string_view(reinterpret_cast<const char*>(pOut), nSize))
                      ? TRUE
                      : FALSE;
    }
    std::free(pOut);
    return bResult;
}
