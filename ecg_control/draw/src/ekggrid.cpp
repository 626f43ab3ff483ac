#include "ecg_control/draw/ekggrid.h"

#include <algorithm>

#include <QPainter>

CEkgGrid::CEkgGrid() {
    m_gridPen = MakeGeometricPen(m_gridSpec);
    m_innerPen = MakeGeometricPen(m_innerSpec);
}

void CEkgGrid::SetCellSize(int nCell) {
    m_nCell = std::max(nCell, 1);
    m_bDirty = TRUE;
}

void CEkgGrid::SetColumnsRows(int nColumns, int nRows) {
    m_nColumns = std::max(nColumns, 0);
    m_nRows = std::max(nRows, 0);
    m_bDirty = TRUE;
}

void CEkgGrid::SetBorder(int nCells) {
    m_nBorder = std::max(nCells, 0);
    m_bDirty = TRUE;
}

void CEkgGrid::SetBackground(COLORREF cr) {
    m_crBackground = cr & 0xFFFFFF;
    m_bDirty = TRUE;
}

void CEkgGrid::ShowInner(BOOL bShow) {
    m_bShowInner = bShow ? TRUE : FALSE;
    m_bDirty = TRUE;
}

BOOL CEkgGrid::SetGridPen(int nStyle, int nWidth, COLORREF cr) {
    const CPenSpec penSpec{nStyle, nWidth, cr};
    if (penSpec == m_gridSpec && m_gridPen) {
        return FALSE;
    }
    m_gridSpec = penSpec;
    m_gridPen = MakeGeometricPen(penSpec);
    m_bDirty = TRUE;
    return m_gridPen ? TRUE : FALSE;
}

BOOL CEkgGrid::SetInnerPen(int nStyle, int nWidth, COLORREF cr) {
    const CPenSpec penSpec{nStyle, nWidth, cr};
    if (penSpec == m_innerSpec && m_innerPen) {
        return FALSE;
    }
    m_innerSpec = penSpec;
    m_innerPen = MakeGeometricPen(penSpec);
    if (m_bShowInner) {
        m_bDirty = TRUE;
    }
    return m_innerPen ? TRUE : FALSE;
}

void CEkgGrid::CopyFrom(const CEkgGrid& other) {
    *this = other;
    m_bDirty = TRUE;
}

void CEkgGrid::Draw(QPainter& painter, int x, int y) const {
    painter.fillRect(QRect(x, y, GetBorderWidth(), GetBorderHeight()),
                     ColorFromRef(m_crBackground));
    DrawLines(painter, x, y);
}

void CEkgGrid::DrawLines(QPainter& painter, int x, int y) const {
    const int nLarge = GetLargeCell();
    const int x0 = x + m_nBorder * m_nCell;
    const int y0 = y + m_nBorder * m_nCell;
    const int nWidth = GetWidth();
    const int nHeight = GetHeight();
    painter.save();
    if (m_bShowInner) {
        if (m_innerPen) {
            painter.setPen(*m_innerPen);
        }
        for (int r = 0; r < m_nRows; ++r) {
            for (int k = 1; k <= 4; ++k) {
                const int yy = y0 + r * nLarge + k * m_nCell;
                painter.drawLine(x0, yy, x0 + nWidth, yy);
            }
        }
        for (int c = 0; c < m_nColumns; ++c) {
            for (int k = 1; k <= 4; ++k) {
                const int xx = x0 + c * nLarge + k * m_nCell;
                painter.drawLine(xx, y0, xx, y0 + nHeight);
            }
        }
    }
    if (m_gridPen) {
        painter.setPen(*m_gridPen);
    }
    // Every fifth line (one second across at 25 mm/s, 25 mm down) reaches into the border.
    for (int i = 0; i <= m_nRows; ++i) {
        const int yy = y0 + i * nLarge;
        painter.drawLine(i % 5 == 0 ? x : x0, yy, x0 + nWidth, yy);
    }
    for (int i = 0; i <= m_nColumns; ++i) {
        const int xx = x0 + i * nLarge;
        painter.drawLine(xx, i % 5 == 0 ? y : y0, xx, y0 + nHeight);
    }
    painter.restore();
}

void CEkgGrid::DrawClipped(QPainter& painter, QRect rcClip, int nOffsetX, int nOffsetY) const {
    if (!ClipPart(rcClip, nOffsetX, nOffsetY)) {
        return;
    }
    const int x = rcClip.x(), y = rcClip.y();
    painter.save();
    painter.setClipRect(rcClip, Qt::IntersectClip);
    painter.translate(x - nOffsetX, y - nOffsetY);
    DrawLines(painter, 0, 0);
    painter.restore();
}
