#include "ecg_control/draw/ekgpage.h"

#include <algorithm>

#include <QGuiApplication>
#include <QPainter>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include "platform/notifier.h"

namespace {
int g_nBitmapWidthLimit = 0;
}  // namespace

void CEkgPage::SetBitmapWidthLimit(int nWidth) {
    g_nBitmapWidthLimit = nWidth;
}

CEkgPage::CEkgPage() {
    m_grid.SetColumnsRows(50, 37);
    m_header.SetFooterOffset(2);
}

void CEkgPage::Attach(CWaveBuffer* pWave, CEkgRecordInfo* pInfo, CMorphologyTable* pMorph,
                      CEkgDeviceInfo* pDevice) {
    m_pWave = pWave;
    m_pInfo = pInfo;
    m_pMorph = pMorph;
    m_pDevice = pDevice;
    m_painter.Layout().Attach(pWave, pInfo, pMorph);
    m_header.SetSources(pInfo, pMorph, pDevice);
}

void CEkgPage::CopyFrom(const CEkgPage& other) {
    Attach(other.m_pWave, other.m_pInfo, other.m_pMorph, other.m_pDevice);
    m_grid.CopyFrom(other.m_grid);
    m_painter.CopyFrom(other.m_painter);
    m_header.CopySettingsFrom(other.m_header);
}

void CEkgPage::SetCellSize(int n) {
    m_grid.SetCellSize(n);
    m_painter.SetCellSize(n);
}

void CEkgPage::FitTracesToGrid() {
    m_painter.Layout().SetPaperColumns(m_grid.GetColumns());
}

void CEkgPage::SetColumnsRowsForMode(int nMainsMode, int nSpeed) {
    int nColumns = nMainsMode == 1 ? 60 : 50;
    if (nSpeed == 4) {
        nColumns *= 2;
    }
    m_grid.SetColumnsRows(nColumns, 37);
}

BOOL CEkgPage::DrawPart(QPainter& painter, QRect rcPart, int nOffsetX, int nOffsetY) {
    if (!ClipPart(rcPart, nOffsetX, nOffsetY)) {
        return FALSE;
    }
    const QRect rc = rcPart;
    FitTracesToGrid();
    painter.fillRect(rc, ColorFromRef(m_grid.GetBackground()));
    m_grid.DrawClipped(painter, rc, nOffsetX, nOffsetY);
    const int nBorder = m_grid.GetBorderPixels();
    return m_painter.DrawClipped(painter, rc, nOffsetX - nBorder, nOffsetY - nBorder);
}

BOOL CEkgPage::DrawAll(QPainter& painter, int x, int y) {
    return DrawPart(painter, QRect(x, y, GetWidth(), GetHeight()), 0, 0);
}

BOOL CEkgPage::RedrawRange(QPainter& painter, int nFirst, int nLast, int nScrollX, int nScrollY,
                           int nVisibleWidth) {
    CTraceLayout& layout = m_painter.Layout();
    FitTracesToGrid();
    if (!layout.Compute(0, 0)) {
        return FALSE;
    }
    const double s = layout.GetPixelsPerSample();
    const int nBandLeft = static_cast<int>(nFirst * s) - 1;
    const int nBandRight = static_cast<int>(nLast * s) + 1;
    const int nBorder = m_grid.GetBorderPixels();
    const int nWidth = nBandRight - nBandLeft + 1;
    const int x = nBandLeft + nBorder - nScrollX;
    if (nWidth <= 0 || x + nWidth <= 0 || x >= nVisibleWidth) {
        return TRUE;
    }
    const QRect rcGrid(x, -nScrollY, nWidth, m_grid.GetHeight() + 2 * nBorder);
    painter.fillRect(rcGrid, ColorFromRef(m_grid.GetBackground()));
    m_grid.DrawClipped(painter, rcGrid, nBandLeft + nBorder, 0);
    const QRect rcTraces(x, nBorder - nScrollY, nWidth, m_grid.GetHeight());
    return m_painter.DrawClipped(painter, rcTraces, nBandLeft, 0);
}

BOOL CEkgPage::DrawSweep(QPainter& painter, int nItem, int nScrollX, int nScrollY,
                         int nVisibleWidth, COLORREF crBar) {
    constexpr int kSamplesPerItem = 5;
    constexpr int kLastItem = 199;
    const int nFirst = nItem * kSamplesPerItem;
    const int nLast = nFirst + kSamplesPerItem - 1;
    if (!RedrawRange(painter, nFirst, nLast, nScrollX, nScrollY, nVisibleWidth)) {
        return FALSE;
    }
    if (nItem < kLastItem) {
        const double s = m_painter.Layout().GetPixelsPerSample();
        const int x = static_cast<int>(nLast * s) + 2 + m_grid.GetBorderPixels() - nScrollX;
        painter.fillRect(QRect(x, -nScrollY, 2, GetHeight()), ColorFromRef(crBar));
    }
    return TRUE;
}

void CEkgPage::DrawReportPage(QPainter& painter, int x, int y, BOOL bRelease) {
    const int c = m_grid.GetCellSize();
    const int L = 5 * c;
    const int nFormat = m_painter.Layout().GetFormat();
    const int nGain = m_painter.Layout().GetGain();

    painter.fillRect(QRect(x, y, m_grid.GetWidth() + 10 * c, m_grid.GetHeight() + 15 * c),
                     ColorFromRef(m_grid.GetBackground()));
    m_grid.Draw(painter, x + L - m_grid.GetBorderPixels(), y + 2 * L - m_grid.GetBorderPixels());

    if (nFormat >= 0 && nFormat <= 3) {
        static const int s_anTraceTop[4] = {15, 20, 15, 50};
        FitTracesToGrid();
        m_painter.Draw(painter, x + L, y + s_anTraceTop[nFormat] * c);
        if (bRelease) {
            // The next drawing lays the traces out again at its own origin.
            m_painter.Layout().Free();
        }
    }

    m_header.SetSettings(nFormat, nGain, m_painter.Layout().GetRhythmLead(), c);
    m_header.Draw(painter, x + L, y);

    // Calibration pulses: start x and top line in millimetres from the page origin.
    double adStart[2], dTop1, dTop2;
    switch (nFormat) {
        case 0:
            adStart[0] = -1, dTop1 = 55, adStart[1] = -1, dTop2 = 125;
            break;
        case 1:
        case 2:
            adStart[0] = 9, dTop1 = 65, adStart[1] = 134, dTop2 = 65;
            break;
        case 3:
            adStart[0] = 9, dTop1 = 100, adStart[1] = 134, dTop2 = 100;
            break;
        default:
            return;
    }
    double adAmp[2];
    PulseAmplitudes(nGain, &adAmp[0], &adAmp[1]);
    const double adTop[2] = {dTop1, dTop2};
    painter.save();
    if (const auto pen = MakeGeometricPen(CPenSpec{PS_SOLID, 2, 0})) {
        painter.setPen(*pen);
    }
    for (int k = 0; k < 2; ++k) {
        // The base lies the pulse's height below its top line.
        DrawPulse(painter, x, y, c, adStart[k], adTop[k] + adAmp[k], adAmp[k], 1.0);
    }
    painter.restore();
}

void CEkgPage::DrawReport(QPainter& painter, int nFormat, int nGain, int nRhythmLead, BOOL bWhite,
                          int nWidth, int nHeight) {
    m_painter.SetFormat(nFormat);
    m_painter.SetGain(nGain);
    m_painter.SetSpeed(2);
    m_painter.SetRhythmLead(nRhythmLead);
    m_painter.SetCellSize(kReportCell);
    m_grid.SetColumnsRows(50, 37);
    m_grid.SetCellSize(kReportCell);
    m_grid.SetBorder(3);
    if (bWhite) {
        m_grid.SetBackground(0xFFFFFF);
    }
    painter.save();
    painter.fillRect(QRect(0, 0, nWidth, nHeight), ColorFromRef(m_grid.GetBackground()));
    const BOOL bScaled = nWidth != kReportWidth || nHeight != kReportHeight;
    if (bScaled) {
        // The full-size page drawn at another size, pens and fonts with it, looks as that
        // page resampled would.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.scale(static_cast<double>(nWidth) / kReportWidth,
                      static_cast<double>(nHeight) / kReportHeight);
    }
    m_painter.SetThinPensScale(bScaled);
    DrawReportPage(painter, kReportOriginX, kReportOriginY, TRUE);
    m_painter.SetThinPensScale(FALSE);
    painter.restore();
}

BOOL CEkgPage::RenderReport(int nFormat, int nGain, int nRhythmLead, BOOL bWhite, int nWidth,
                            QImage& image) {
    image = QImage();
    // Text and fonts need the application's screen side.
    if (QGuiApplication::instance() == nullptr || nWidth <= 0 || nWidth > kMaxImageWidth) {
        return FALSE;
    }
    const int nHeight = nWidth * 6 / 8;
    if (nHeight <= 0) {
        return FALSE;
    }
    if (g_nBitmapWidthLimit <= 0 || nWidth <= g_nBitmapWidthLimit) {
        image = QImage(nWidth, nHeight, QImage::Format_RGB32);
    }
    if (image.isNull()) {
        platform::ShowMessage("Fail to create bitmap!!", platform::MB_OK | platform::MB_ICONERROR);
        return FALSE;
    }
    const auto draw = [&] {
        QPainter painter(&image);
        DrawReport(painter, nFormat, nGain, nRhythmLead, bWhite, nWidth, nHeight);
    };
    // On one worker of the global pool, and only there: elsewhere the raster engine hands
    // large fills out to the pool's threads, and an export is to take one core whatever the
    // program does beside it. Without a free worker the caller draws.
    QThreadPool* pPool = QThreadPool::globalInstance();
    QSemaphore done;
    if (pPool->contains(QThread::currentThread()) || !pPool->tryStart([&] {
            draw();
            done.release();
        })) {
        draw();
        return TRUE;
    }
    done.acquire();
    return TRUE;
}

BOOL CEkgPage::MakeReportDib(int nFormat, int nGain, int nRhythmLead, int nWidth, BOOL bSmooth,
                             BOOL bWhite, CDibBytes& dibBytes) {
    QImage image;
    if (!RenderReport(nFormat, nGain, nRhythmLead, bWhite, nWidth, image)) {
        return FALSE;
    }
    dibBytes = dib::FromImage(image);
    if (bSmooth) {
        SmoothDib(dibBytes);
    }
    return TRUE;
}

BOOL CEkgPage::MakeImageFile(const CString& strPath, int nFormat, int nGain, int nRhythmLead,
                             int nWidth, BOOL bSmooth, BOOL bBmp) {
    if (strPath.empty()) {
        return FALSE;
    }
    CDibBytes dibBytes;
    if (!MakeReportDib(nFormat, nGain, nRhythmLead, nWidth, bSmooth, bBmp, dibBytes)) {
        return FALSE;
    }
    return bBmp ? WriteBmpFile(strPath, dibBytes) : WriteJpegFile(strPath, dibBytes, 75);
}

BOOL CEkgPage::MakeImage(const CString& strPath, int nFormat, int nGain, int nRhythmLead,
                         int nWidth, BOOL bSmooth) {
    return MakeImageFile(strPath, nFormat, nGain, nRhythmLead, nWidth, bSmooth, FALSE);
}

BOOL CEkgPage::MakeImageBmp(const CString& strPath, int nFormat, int nGain, int nRhythmLead,
                            int nWidth, BOOL bSmooth) {
    return MakeImageFile(strPath, nFormat, nGain, nRhythmLead, nWidth, bSmooth, TRUE);
}

CEkgMagnifier::CEkgMagnifier() {
    SetGlass(10, 2);
}

void CEkgMagnifier::Attach(CWaveBuffer* pWave, CEkgRecordInfo* pInfo, CMorphologyTable* pMorph) {
    m_page.Attach(pWave, pInfo, pMorph, nullptr);
}

void CEkgMagnifier::SetGlass(int nCell, int nCount) {
    m_page.SetCellSize(std::max(nCell, 10));
    m_nCount = std::max(nCount, 2);
}

int CEkgMagnifier::GetSide() const {
    const long long nSide = 5LL * m_page.Grid().GetCellSize() * m_nCount;
    return static_cast<int>(std::min<long long>(nSide, kMaxSide));
}

void CEkgMagnifier::SetMainsMode(int nMainsMode) {
    m_page.Grid().SetColumnsRows(nMainsMode == 1 ? 60 : 50, 37);
}

void CEkgMagnifier::Draw(QPainter& painter, int px, int py, int x, int y, int nViewGridWidth) {
    m_page.FitTracesToGrid();
    const int nSide = GetSide();
    const int nGlassWidth = m_page.Grid().GetWidth();
    if (nViewGridWidth <= 0 || nGlassWidth <= 0 || nSide <= 0) {
        return;
    }
    const float r = static_cast<float>(nViewGridWidth) / static_cast<float>(nGlassWidth);
    const int nCornerX = static_cast<int>(px / r) - nSide / 2;
    const int nCornerY = static_cast<int>(py / r) - nSide / 2;
    const QRect rc(x, y, nSide, nSide);
    painter.fillRect(rc, ColorFromRef(m_page.Grid().GetBackground()));
    m_page.Grid().DrawClipped(painter, rc, nCornerX, nCornerY);
    const int nBorder = m_page.Grid().GetBorderPixels();
    m_page.Painter().DrawClipped(painter, rc, nCornerX - nBorder, nCornerY - nBorder);
    painter.save();
    QPen frame(QColor(255, 0, 0));
    frame.setWidth(1);
    frame.setCosmetic(true);
    painter.setPen(frame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(x, y, nSide - 1, nSide - 1);
    painter.restore();
}
