#pragma once
// A trace as a device can show it: at most four points per pixel column of the device (the
// column's first, lowest, highest and last point; a column of four points or fewer keeps
// them all), then cut to the visible rectangle, so that nothing is stroked far outside the
// picture, and a tall stroke that only goes over what the strokes just before it show less
// than a pixel away is left out. Within a column the trace covers the same height as before,
// so the picture stays the same; the work follows the device's width and height, never the
// number of samples or their size. Pure arithmetic (no Qt): the painters, the PDF report
// and the spirometry graphs share it.
#include <cstddef>
#include <cstdint>
#include <vector>

struct CPlotPoint {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const CPlotPoint&) const = default;
};

// Left <= right and top <= bottom in the points' own units (whichever way y grows).
struct CPlotRect {
    double dLeft = 0.0;
    double dTop = 0.0;
    double dRight = 0.0;
    double dBottom = 0.0;
};

class CTraceReducer {
public:
    // The column of a point is floor(x * dColumnsPerUnit + dColumnOffset): device pixel
    // columns for the points' units; dRowsPerUnit: device pixel rows per unit of y.
    // rcVisible: what may be stroked, already widened by the pen.
    CTraceReducer(double dColumnsPerUnit, double dColumnOffset, double dRowsPerUnit,
                  const CPlotRect& rcVisible);

    // The next point of the trace (points that are not finite are left out).
    void Add(double x, double y);
    // Ends the trace: its visible polylines are then ready.
    void Finish();

    // The visible polylines of the finished trace, each of two points or more.
    std::size_t PolylineCount() const { return m_anStarts.size(); }
    const CPlotPoint* Polyline(std::size_t nPolyline, std::size_t* pnCount) const;

private:
    static constexpr int kKeptPerColumn = 4;
    // Strokes at least this many device rows tall are left out where already covered.
    static constexpr double kTallRows = 4.0;

    std::int64_t Column(double x) const;
    void FlushColumn();
    void Emit(const CPlotPoint& pt);
    // Draws the visible stretch a..b of a segment unless what is drawn already shows it.
    void Stroke(const CPlotPoint& a, const CPlotPoint& b, bool bContinues);
    void StartPolyline(const CPlotPoint& a, const CPlotPoint& b);
    bool Inside(const CPlotPoint& pt) const;

    double m_dColumnsPerUnit;
    double m_dColumnOffset;
    double m_dRowsPerUnit;
    CPlotRect m_rc;

    // What the last strokes cover: from low to high y, less than a device pixel across.
    bool m_bCovered = false;
    double m_dCoveredLow = 0.0, m_dCoveredHigh = 0.0;
    double m_dCoveredLeft = 0.0, m_dCoveredRight = 0.0;

    // The column being gathered.
    bool m_bColumn = false;
    std::int64_t m_nColumn = 0;
    int m_nInColumn = 0;
    CPlotPoint m_aFirstPoints[kKeptPerColumn];
    CPlotPoint m_last, m_low, m_high;
    int m_nLow = 0, m_nHigh = 0;

    // The cut: the last point handed on and whether the open polyline ends at it.
    bool m_bPrevious = false;
    bool m_bOpen = false;
    CPlotPoint m_previous;

    std::vector<CPlotPoint> m_aPoints;
    std::vector<std::size_t> m_anStarts;
};
