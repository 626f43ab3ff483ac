#pragma once
// Small drawing helpers of the spirometry graphs and report: GDI-like text output with an
// alignment, pens from the stored pen records, and the clamps that keep file and host
// values from becoming undefined positions.
#include <QPainter>

#include "ecg_control/draw/drawtools.h"
#include "platform/wintypes.h"
#include "spiro_control/spiroreporttext.h"

namespace spirodraw {

enum EAlign { kLeft, kRight, kCentre };

// Far beyond any page, near enough that the rasteriser stays exact.
constexpr double kPosLimit = 131072.0;

// A curve value that can be computed with: NaN counts as 0, the rest is kept within
// +-1e6 (litres or litres per second).
double Sample(float fValue);
// A real position truncated toward zero, clamped to +-kPosLimit first.
int Pos(double dValue);

// A geometric pen of the record's style, width and colour; an unknown style draws solid.
QPen GeoPen(const CPenSpec& pen);
QPen MakePenWidth(const CPenSpec& pen, int nWidth);

// Text with its top at y, aligned on x, in the painter's font and the given colour.
void TextOut(QPainter& dc, int x, int y, const CString& strText, EAlign eAlign, COLORREF crText);
// Height of "A" in the painter's font.
int TextHeight(const QPainter& dc);

using spiroreport::Fixed;
using spiroreport::Int;

}  // namespace spirodraw
