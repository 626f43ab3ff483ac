#include "ecg_control/draw/tracepainter.h"

#include <algorithm>
#include <vector>

#include <QPainter>
#include <QPoint>

static_assert(sizeof(QPoint) == sizeof(CTracePoint), "layout points are drawn as QPoints");

namespace {

// A one-pixel pen of the page instead of the device.
QPen ScaledThinPen(QPen pen) {
    if (pen.isCosmetic()) {
        pen.setCosmetic(false);
        pen.setWidthF(1.0);
    }
    return pen;
}

}  // namespace

void DrawLayoutRow(QPainter& painter, const CTraceLayout& layout, int nRow, int nCount) {
    const CTracePoint* pPoints = layout.LeadPoints(nRow);
    int nTop = 0, nBottom = 0;
    if (pPoints == nullptr || nCount <= 0 || !layout.GetStrip(nRow, &nTop, &nBottom)) {
        return;
    }
    DrawBoundedPolyline(painter, reinterpret_cast<const QPoint*>(pPoints),
                        std::min(nCount, layout.GetSamples()), std::make_pair(nTop, nBottom));
}

CTracePainter::CTracePainter() {
    m_pen = MakePen(m_penSpec);
}

BOOL CTracePainter::SetPen(int nStyle, int nWidth, COLORREF cr) {
    const CPenSpec penSpec{nStyle, nWidth, cr};
    if (penSpec == m_penSpec && m_pen) {
        return FALSE;
    }
    m_penSpec = penSpec;
    m_pen = MakePen(penSpec);
    return m_pen ? TRUE : FALSE;
}

void CTracePainter::SetCellSize(int nCell) {
    m_layout.SetCellSize(nCell);
    m_bLabelFont = FALSE;
}

void CTracePainter::CopyFrom(const CTracePainter& other) {
    m_penSpec = other.m_penSpec;
    m_pen = other.m_pen;
    m_bShowPacemaker = other.m_bShowPacemaker;
    m_layout.CopySettings(other.m_layout);
    m_bLabelFont = FALSE;
}

BOOL CTracePainter::Draw(QPainter& painter, int x, int y) {
    if (!m_bEnabled) {
        return TRUE;
    }
    if (!m_layout.GetOriginFlag()) {
        x = m_layout.GetOriginX();
        y = m_layout.GetOriginY();
    }
    if (!m_layout.Compute(x, y)) {
        return FALSE;
    }
    painter.save();
    DrawTraces(painter, 3);
    painter.restore();
    return TRUE;
}

BOOL CTracePainter::DrawClipped(QPainter& painter, QRect rcClip, int nOffsetX, int nOffsetY) {
    if (!m_bEnabled) {
        return TRUE;
    }
    if (!m_layout.Compute(0, 0)) {
        return FALSE;
    }
    painter.save();
    painter.setClipRect(rcClip, Qt::IntersectClip);
    painter.translate(rcClip.x() - nOffsetX, rcClip.y() - nOffsetY);
    DrawTraces(painter, 2);
    DrawScreenPulses(painter);
    painter.restore();
    return TRUE;
}

void CTracePainter::DrawLabel(QPainter& painter, int x, int y, int nLead) {
    const QString strName = QString::fromLatin1(LeadName(nLead));
    if (strName.isEmpty()) {
        return;
    }
    painter.save();
    painter.setFont(m_labelFont);
    painter.setPen(ColorFromRef(m_penSpec.crColor));
    painter.drawText(QRect(x, y, 1, 1),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, strName);
    painter.restore();
}

void CTracePainter::DrawTraces(QPainter& painter, int nMarkWidth) {
    const CTraceLayout& layout = m_layout;
    if (!m_bLabelFont) {
        m_labelFont = MakeLogFont(4 * layout.GetCellSize(), 700);
        m_bLabelFont = TRUE;
    }
    const int nCell = layout.GetCellSize();
    const int nFormat = layout.GetFormat();
    const int nLeads = std::min(layout.GetChannels(), kLeadCount);
    const int nSegment = std::min(layout.GetSegment(), layout.GetSamples());
    const QColor color = ColorFromRef(m_penSpec.crColor);
    const int nLaterColumn = nFormat == kFormat6x2                               ? 6
                             : (nFormat == kFormat3x4 || nFormat == kFormatBeat) ? 3
                                                                                 : kLeadCount;
    const auto markPen = MakePen(CPenSpec{
        m_penSpec.nStyle, m_penSpec.nWidth <= 1 ? 2 : 2 * m_penSpec.nWidth, m_penSpec.crColor});
    std::optional<QPen> tracePen = m_pen;
    if (tracePen && m_bScaleThinPens) {
        tracePen = ScaledThinPen(*tracePen);
    }
    painter.setBackgroundMode(Qt::TransparentMode);
    for (int i = 0; i < nLeads; ++i) {
        const CTracePoint pos = layout.GetCellPosition(i);
        const CTracePoint* pPoints = layout.LeadPoints(i);
        if (tracePen) {
            painter.setPen(*tracePen);
        }
        if (pPoints != nullptr && nSegment > 0) {
            DrawLayoutRow(painter, layout, i, nSegment);
        }
        DrawLabel(painter, pos.x + nCell, pos.y + nCell, i);
        if (i >= nLaterColumn) {
            if (markPen) {
                painter.setPen(*markPen);
            }
            painter.drawLine(pos.x, pos.y - 10 * nCell, pos.x, pos.y + 10 * nCell);
        }
    }
    const BOOL bStrip = layout.HasRhythmStrip();
    const CTracePoint strip = layout.GetRhythmPosition();
    if (bStrip) {
        const CTracePoint* pPoints = layout.LeadPoints(layout.GetChannels());
        if (tracePen) {
            painter.setPen(*tracePen);
        }
        if (pPoints != nullptr) {
            DrawLayoutRow(painter, layout, layout.GetChannels(), layout.GetSamples());
        }
        DrawLabel(painter, strip.x + nCell, strip.y + nCell, layout.GetRhythmLead());
    }
    if (m_bShowPacemaker && nFormat != kFormatBeat) {
        // Columns continue each other in time, so marks drawn along the first column's rows
        // land in whichever column shows their sample.
        std::vector<int> anRowY;
        for (int r = 0; r < layout.GetRows() && r < nLeads; ++r) {
            anRowY.push_back(layout.GetCellPosition(r).y);
        }
        if (bStrip) {
            anRowY.push_back(strip.y);
        }
        for (DWORD dwMark : layout.GetPixelMarks()) {
            const int x = layout.GetOriginX() + static_cast<int>(dwMark) - 1;
            for (int y : anRowY) {
                painter.fillRect(QRect(x, y - 5 * nCell, nMarkWidth, 4 * nCell), color);
            }
        }
    }
    if (nFormat == kFormatBeat) {
        if (tracePen) {
            painter.setPen(*tracePen);
        }
        const CTracePoint* pFid = layout.GetFiducials();
        for (int k = 0; k < layout.GetFiducialCount(); ++k) {
            painter.drawLine(pFid[k].x, pFid[k].y - 2 * nCell, pFid[k].x, pFid[k].y + 2 * nCell);
        }
    }
}

void CTracePainter::DrawScreenPulses(QPainter& painter) {
    const int nFormat = m_layout.GetFormat();
    const int nSpeed = m_layout.GetSpeed();
    double dBase1 = 0, dBase2 = 0, dSecond = 0;
    switch (nFormat) {
        case kFormat12x1:
            dBase1 = 35, dBase2 = 110, dSecond = 4;
            break;
        case kFormat6x2:
            dBase1 = 55, dBase2 = 55;
            break;
        case kFormat3x4:
        case kFormatBeat:
            dBase1 = 60, dBase2 = 60;
            break;
        default:
            return;
    }
    if (nFormat != kFormat12x1) {
        dSecond = nSpeed == 1 ? 66 : nSpeed == 4 ? 254 : 129;
    }
    double dAmp1 = 0, dAmp2 = 0;
    PulseAmplitudes(m_layout.GetGain(), &dAmp1, &dAmp2);
    const double w = nSpeed == 1 ? 0.5 : nSpeed == 4 ? 2.0 : 1.0;
    if (const auto pen = MakeGeometricPen(CPenSpec{PS_SOLID, 2, 0})) {
        painter.setPen(*pen);
    }
    DrawPulse(painter, 0, 0, m_layout.GetCellSize(), 4, dBase1, dAmp1, w);
    DrawPulse(painter, 0, 0, m_layout.GetCellSize(), dSecond, dBase2, dAmp2, w);
}
