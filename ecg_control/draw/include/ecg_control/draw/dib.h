#pragma once
// Device-independent bitmaps in memory (header, palette, bottom-up rows), the report
// page's smoothing on them, and the JPEG and BMP writers of the image export.
#include <cstddef>
#include <vector>

#include "platform/wintypes.h"

class QImage;

// A packed DIB: BITMAPINFOHEADER (or BITMAPCOREHEADER), palette, then the pixel rows.
using CDibBytes = std::vector<BYTE>;

namespace dib {
// Header kind by its size: 40 = info header, anything else a core header.
BOOL IsInfoHeader(const BYTE* pDib);
int Width(const BYTE* pDib);
int Height(const BYTE* pDib);
int BitCount(const BYTE* pDib);
// The used-colour count when set, else 2, 16 or 256 for 1, 4 and 8 bits, else 0.
int ColorCount(const BYTE* pDib);
// Colours x 4 (info header) or x 3 (core header).
int PaletteSize(const BYTE* pDib);
// First byte of the pixel rows.
BYTE* Bits(BYTE* pDib);
const BYTE* Bits(const BYTE* pDib);
// Bytes per row: rows are padded to four bytes.
int Stride(int nWidth, int nBitCount);
// TRUE when the bytes hold a 24-bit DIB of positive size with every row its header
// promises; the readers and writers below refuse any other.
BOOL IsComplete24(const CDibBytes& dibBytes);

// A 24-bit bottom-up DIB of the image (resolution 72 dpi).
CDibBytes FromImage(const QImage& image);
// The DIB as an image (24-bit DIBs only; a null image otherwise).
QImage ToImage(const CDibBytes& dibBytes);
}  // namespace dib

// Row pointers of a 24-bit DIB, in the DIB's own bottom-up order (row 0 is the bottom).
class CDibRows {
public:
    explicit CDibRows(BYTE* pDib);
    BOOL IsValid() const { return m_pBits != nullptr; }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    BYTE* Row(int nRow) const { return m_pBits + static_cast<std::size_t>(nRow) * m_nStride; }

private:
    BYTE* m_pBits = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nStride = 0;
};

// Integer colour channels for the weighted sums of the smoothing.
struct CRgbSum {
    int r = 0, g = 0, b = 0;
    CRgbSum& operator+=(const CRgbSum& o) {
        r += o.r;
        g += o.g;
        b += o.b;
        return *this;
    }
    CRgbSum operator*(int n) const { return CRgbSum{r * n, g * n, b * n}; }
    // Division rounding half up.
    CRgbSum operator/(int n) const {
        return CRgbSum{(r + n / 2) / n, (g + n / 2) / n, (b + n / 2) / n};
    }
};

// 1-3-1 / 3-4-3 / 1-3-1 smoothing in place on a 24-bit DIB (edges kept; images under
// 3 x 3 unchanged). Rows are taken in the DIB's order, so smoothed pixels feed the later
// ones. FALSE when the DIB is not 24-bit.
BOOL SmoothDib(CDibBytes& dibBytes);

// Writes the DIB as a BMP file (file header + DIB) through a temporary file renamed over
// the target. FALSE for an incomplete or other than 24-bit DIB, and on any failed write.
BOOL WriteBmpFile(const CString& strPath, const CDibBytes& dibBytes);
// Encodes the 24-bit DIB as baseline JPEG with a JFIF density of 72 dpi, written the same
// way. FALSE when it cannot be encoded or written.
BOOL WriteJpegFile(const CString& strPath, const CDibBytes& dibBytes, int nQuality = 75);
