#include "ecg_control/draw/tracereducer.h"

#include <cmath>

namespace {

// Liang-Barsky: the stretch t0..t1 of the segment a + t (b - a), 0 <= t <= 1, that lies in
// the rectangle; false when none does.
bool ClipSegment(const CPlotPoint& a, const CPlotPoint& b, const CPlotRect& rc, double* pt0,
                 double* pt1) {
    double t0 = 0.0, t1 = 1.0;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - rc.dLeft, rc.dRight - a.x, a.y - rc.dTop, rc.dBottom - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) {
                return false;
            }
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0) {
            if (r > t1) {
                return false;
            }
            if (r > t0) {
                t0 = r;
            }
        } else {
            if (r < t0) {
                return false;
            }
            if (r < t1) {
                t1 = r;
            }
        }
    }
    *pt0 = t0;
    *pt1 = t1;
    return true;
}

CPlotPoint Along(const CPlotPoint& a, const CPlotPoint& b, double t) {
    return CPlotPoint{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
}

}  // namespace

CTraceReducer::CTraceReducer(double dColumnsPerUnit, double dColumnOffset, double dRowsPerUnit,
                             const CPlotRect& rcVisible)
    : m_dColumnsPerUnit(dColumnsPerUnit),
      m_dColumnOffset(dColumnOffset),
      m_dRowsPerUnit(std::abs(dRowsPerUnit)),
      m_rc(rcVisible) {}

std::int64_t CTraceReducer::Column(double x) const {
    // Columns far beyond any device all count as the outermost one.
    constexpr double kLimit = 1e15;
    const double dColumn = std::floor(x * m_dColumnsPerUnit + m_dColumnOffset);
    return static_cast<std::int64_t>(dColumn < -kLimit  ? -kLimit
                                     : dColumn > kLimit ? kLimit
                                                        : dColumn);
}

void CTraceReducer::Add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) {
        return;
    }
    const std::int64_t nColumn = Column(x);
    if (m_bColumn && nColumn != m_nColumn) {
        FlushColumn();
    }
    const CPlotPoint pt{x, y};
    if (!m_bColumn) {
        m_bColumn = true;
        m_nColumn = nColumn;
        m_nInColumn = 0;
        m_low = m_high = pt;
        m_nLow = m_nHigh = 0;
    }
    if (m_nInColumn < kKeptPerColumn) {
        m_aFirstPoints[m_nInColumn] = pt;
    }
    if (y < m_low.y) {
        m_low = pt;
        m_nLow = m_nInColumn;
    }
    if (y > m_high.y) {
        m_high = pt;
        m_nHigh = m_nInColumn;
    }
    m_last = pt;
    ++m_nInColumn;
}

void CTraceReducer::FlushColumn() {
    if (!m_bColumn) {
        return;
    }
    m_bColumn = false;
    if (m_nInColumn <= kKeptPerColumn) {
        for (int i = 0; i < m_nInColumn; ++i) {
            Emit(m_aFirstPoints[i]);
        }
        return;
    }
    // First, lowest and highest in the order they came, last: the column's whole height.
    const int nLast = m_nInColumn - 1;
    Emit(m_aFirstPoints[0]);
    const bool bLowFirst = m_nLow < m_nHigh;
    const CPlotPoint* apMiddle[2] = {bLowFirst ? &m_low : &m_high, bLowFirst ? &m_high : &m_low};
    const int anMiddle[2] = {bLowFirst ? m_nLow : m_nHigh, bLowFirst ? m_nHigh : m_nLow};
    for (int k = 0; k < 2; ++k) {
        if (anMiddle[k] != 0 && anMiddle[k] != nLast) {
            Emit(*apMiddle[k]);
        }
    }
    Emit(m_last);
}

bool CTraceReducer::Inside(const CPlotPoint& pt) const {
    return pt.x >= m_rc.dLeft && pt.x <= m_rc.dRight && pt.y >= m_rc.dTop && pt.y <= m_rc.dBottom;
}

void CTraceReducer::StartPolyline(const CPlotPoint& a, const CPlotPoint& b) {
    // A polyline of one point draws nothing: the one before it is dropped.
    if (!m_anStarts.empty() && m_aPoints.size() - m_anStarts.back() < 2) {
        m_aPoints.resize(m_anStarts.back());
        m_anStarts.pop_back();
    }
    m_anStarts.push_back(m_aPoints.size());
    m_aPoints.push_back(a);
    if (!(b == a)) {
        m_aPoints.push_back(b);
    }
}

void CTraceReducer::Emit(const CPlotPoint& pt) {
    if (!m_bPrevious) {
        m_bPrevious = true;
        m_previous = pt;
        m_bOpen = Inside(pt);
        if (m_bOpen) {
            StartPolyline(pt, pt);
        }
        return;
    }
    const CPlotPoint a = m_previous;
    m_previous = pt;
    if (pt == a) {
        return;
    }
    double t0 = 0.0, t1 = 1.0;
    if (!ClipSegment(a, pt, m_rc, &t0, &t1)) {
        m_bOpen = false;
        return;
    }
    // Points inside keep their own values; only where a segment crosses the edge is a new
    // point made.
    Stroke(t0 <= 0.0 ? a : Along(a, pt, t0), t1 >= 1.0 ? pt : Along(a, pt, t1), t0 <= 0.0);
    m_bOpen = m_bOpen && t1 >= 1.0;
}

void CTraceReducer::Stroke(const CPlotPoint& a, const CPlotPoint& b, bool bContinues) {
    // In device pixels across.
    const double dA = a.x * m_dColumnsPerUnit + m_dColumnOffset;
    const double dB = b.x * m_dColumnsPerUnit + m_dColumnOffset;
    const double dLeft = std::min(dA, dB), dRight = std::max(dA, dB);
    const double dLow = std::min(a.y, b.y), dHigh = std::max(a.y, b.y);
    // A tall stroke over the height already stroked less than a pixel away adds nothing a
    // device can show: every point of it has ink within a pixel.
    const bool bTall = (dHigh - dLow) * m_dRowsPerUnit >= kTallRows;
    if (m_bCovered && bTall && dLow >= m_dCoveredLow && dHigh <= m_dCoveredHigh &&
        std::max(dRight, m_dCoveredRight) - std::min(dLeft, m_dCoveredLeft) < 1.0) {
        m_bOpen = false;
        return;
    }
    if (m_bOpen && bContinues) {
        m_aPoints.push_back(b);
    } else {
        StartPolyline(a, b);
    }
    m_bOpen = true;
    // What is stroked within a pixel across covers, as one height.
    if (m_bCovered && dLow <= m_dCoveredHigh && dHigh >= m_dCoveredLow &&
        std::max(dRight, m_dCoveredRight) - std::min(dLeft, m_dCoveredLeft) < 1.0) {
        m_dCoveredLow = std::min(m_dCoveredLow, dLow);
        m_dCoveredHigh = std::max(m_dCoveredHigh, dHigh);
        m_dCoveredLeft = std::min(m_dCoveredLeft, dLeft);
        m_dCoveredRight = std::max(m_dCoveredRight, dRight);
    } else {
        m_bCovered = dRight - dLeft < 1.0;
        m_dCoveredLow = dLow;
        m_dCoveredHigh = dHigh;
        m_dCoveredLeft = dLeft;
        m_dCoveredRight = dRight;
    }
}

void CTraceReducer::Finish() {
    FlushColumn();
    if (!m_anStarts.empty() && m_aPoints.size() - m_anStarts.back() < 2) {
        m_aPoints.resize(m_anStarts.back());
        m_anStarts.pop_back();
    }
}

const CPlotPoint* CTraceReducer::Polyline(std::size_t nPolyline, std::size_t* pnCount) const {
    if (nPolyline >= m_anStarts.size()) {
        *pnCount = 0;
        return nullptr;
    }
    const std::size_t nStart = m_anStarts[nPolyline];
    const std::size_t nEnd =
        nPolyline + 1 < m_anStarts.size() ? m_anStarts[nPolyline + 1] : m_aPoints.size();
    *pnCount = nEnd - nStart;
    return m_aPoints.data() + nStart;
}
