#pragma once
// Pens, colours, fonts and texts for drawing on QPainter the way the control's pens and
// fonts were specified: Windows pen styles and widths, COLORREF colours, LOGFONT heights
// and 8-bit texts in the installation code page.
#include <optional>
#include <utility>

#include <QColor>
#include <QFont>
#include <QPen>
#include <QPolygon>
#include <QString>

#include "platform/wintypes.h"

class QPainter;

// Windows pen styles.
enum : int {
    PS_SOLID = 0,
    PS_DASH = 1,
    PS_DOT = 2,
    PS_DASHDOT = 3,
    PS_DASHDOTDOT = 4,
    PS_NULL = 5,
    PS_INSIDEFRAME = 6,
};

// A pen as the control's interface gives it: style, width in pixels, colour.
struct CPenSpec {
    int nStyle = PS_SOLID;
    int nWidth = 1;
    COLORREF crColor = 0;
    bool operator==(const CPenSpec&) const = default;
};

// 0x00BBGGRR to an opaque QColor.
QColor ColorFromRef(COLORREF cr);

// The trace pen rule: width 1 or less is a cosmetic pen (one pixel at any scale), a wider
// one is geometric (scales with the mapping, round ends and joins). No pen for a style
// that is not a Windows pen style.
std::optional<QPen> MakePen(const CPenSpec& penSpec);
// Always geometric (the grid pens); no pen for an unknown style.
std::optional<QPen> MakeGeometricPen(const CPenSpec& penSpec);

// A font as a LOGFONT of face "Arial" with a positive height (the character cell height
// in pixels) and a weight; "Arial" is Liberation Sans here, with Nanum for Korean text.
QFont MakeLogFont(int nCellHeight, int nWeight);

// Heights in millimetres of the first and second calibration pulse for a gain code; at
// code 0 the second one stands for the chest leads at half height.
void PulseAmplitudes(int nGain, double* pdFirst, double* pdSecond);
// One calibration pulse with the current pen: from its start 1 mm along the base, up by
// the amplitude, 5 x dWidth mm across, down to the base and 1 mm on. Millimetres count from
// (x, y) and become pixels at nCell per millimetre, truncated.
void DrawPulse(QPainter& painter, int x, int y, int nCell, double dStartMm, double dBaseMm,
               double dAmpMm, double dWidth);

// Strokes a polyline with the painter's pen as the device can show it: at most four points
// per device pixel column, cut to what the device shows (and the clip, and the
// band from nTop to nBottom when given) before stroking (see tracereducer.h). What it costs
// follows the device's size, not the points.
void DrawBoundedPolyline(QPainter& painter, const QPoint* pPoints, int nCount,
                         const std::optional<std::pair<int, int>>& band = std::nullopt);
inline void DrawBoundedPolyline(QPainter& painter, const QPolygon& points) {
    DrawBoundedPolyline(painter, points.constData(), static_cast<int>(points.size()));
}

// 8-bit text in the installation code page to a QString for the screen.
QString ToQString(const CString& strText);

// A part of a surface to draw with the source offsets into the picture: a negative offset
// moves the part's start instead. FALSE when nothing of the part is left.
BOOL ClipPart(QRect& rcPart, int& nOffsetX, int& nOffsetY);
