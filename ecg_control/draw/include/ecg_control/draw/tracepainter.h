#pragma once
// Draws what a trace layout holds: the lead polylines, labels, column marks, rhythm strip,
// pacemaker marks, fiducial marks and, in the clipped (screen) form, calibration pulses.
#include <optional>

#include <QFont>
#include <QPen>
#include <QRect>

#include "ecg_control/draw/drawtools.h"
#include "ecg_control/draw/tracelayout.h"

class QPainter;

// Strokes the first nCount points of row nRow of the layout (a lead, or the rhythm strip as
// row GetChannels()) with the painter's pen, bounded by the device and within the row's
// strip (see CTraceLayout::GetStrip and DrawBoundedPolyline). Every drawing of traces goes
// through it.
void DrawLayoutRow(QPainter& painter, const CTraceLayout& layout, int nRow, int nCount);

class CTracePainter {
public:
    CTracePainter();

    // 0 when the pen equals the current one or cannot be made, else 1.
    BOOL SetPen(int nStyle, int nWidth, COLORREF cr);
    // Also remakes the label font (bold, 4 x cell high).
    void SetCellSize(int nCell);
    void SetFormat(int nFormat) { m_layout.SetFormat(nFormat); }
    void SetGain(int nGain) { m_layout.SetGain(nGain); }
    void SetSpeed(int nSpeed) { m_layout.SetSpeed(nSpeed); }
    void SetRhythmLead(int nLead) { m_layout.SetRhythmLead(nLead); }
    void SetEnabled(BOOL bEnabled) { m_bEnabled = bEnabled; }
    // A page drawn at another size than its own stands for that page: a one-pixel
    // (cosmetic) pen then draws one pixel of the page, scaled as the page is.
    void SetThinPensScale(BOOL bScale) { m_bScaleThinPens = bScale; }
    void ShowPacemaker(BOOL bShow) { m_bShowPacemaker = bShow; }
    BOOL GetEnabled() const { return m_bEnabled; }
    BOOL GetShowPacemaker() const { return m_bShowPacemaker; }
    const CPenSpec& GetPenSpec() const { return m_penSpec; }
    const QFont& GetLabelFont() const { return m_labelFont; }

    CTraceLayout& Layout() { return m_layout; }
    const CTraceLayout& Layout() const { return m_layout; }

    // Draws with the layout computed at (x, y). 1 on success or when disabled; 0 when the
    // layout cannot be computed (nothing drawn).
    BOOL Draw(QPainter& painter, int x, int y);
    // Draws inside rcClip with the layout at (0, 0) and layout point (ox, oy) at the
    // rectangle's corner, followed by the calibration pulses.
    BOOL DrawClipped(QPainter& painter, QRect rcClip, int nOffsetX, int nOffsetY);

    // Pen, pacemaker switch and the layout's settings of another painter.
    void CopyFrom(const CTracePainter& other);

private:
    void DrawTraces(QPainter& painter, int nMarkWidth);
    void DrawLabel(QPainter& painter, int x, int y, int nLead);
    void DrawScreenPulses(QPainter& painter);

    CTraceLayout m_layout;
    CPenSpec m_penSpec{PS_SOLID, 1, 0};
    std::optional<QPen> m_pen;
    QFont m_labelFont;
    BOOL m_bLabelFont = FALSE;
    BOOL m_bEnabled = TRUE;
    BOOL m_bShowPacemaker = TRUE;
    BOOL m_bScaleThinPens = FALSE;
};
