#pragma once
// A paint device that draws nothing and logs what a painter sends it: lines, polylines,
// rectangles and texts with their coordinates (in device units, after the painter's
// transform) and the pen they were drawn with, so that drawing code can be checked by
// geometry instead of pixels.
#include <vector>

#include <QColor>
#include <QFont>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPointF>
#include <QRectF>
#include <QString>

namespace testsupport {

struct CPaintRecord {
    enum Kind { kLine, kPolyline, kPolygon, kRect, kText };
    Kind eKind = kLine;
    // Line: two points; polyline and polygon: every vertex; rectangle: top-left and
    // bottom-right; text: the baseline start.
    std::vector<QPointF> points;
    QRectF rect;   // rectangles
    QString text;  // texts
    QFont font;    // texts
    double dPenWidth = 0.0;
    QColor penColor;
    Qt::PenStyle penStyle = Qt::SolidLine;
    QRectF clip;  // the clip rectangle in force (empty when none)
};

class CRecordingEngine;

class CRecordingDevice : public QPaintDevice {
public:
    // A device of the given size in pixels and dots per inch.
    CRecordingDevice(int nWidth, int nHeight, int nDpi = 96);
    ~CRecordingDevice() override;
    CRecordingDevice(const CRecordingDevice&) = delete;
    CRecordingDevice& operator=(const CRecordingDevice&) = delete;

    QPaintEngine* paintEngine() const override;
    const std::vector<CPaintRecord>& Records() const;
    void Clear();

    // The records of one kind, in drawing order.
    std::vector<CPaintRecord> Of(CPaintRecord::Kind eKind) const;
    // Texts equal to the text (all of them, in drawing order).
    std::vector<CPaintRecord> Texts(const QString& strText) const;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    int m_nWidth, m_nHeight, m_nDpi;
    CRecordingEngine* m_pEngine;
};

}  // namespace testsupport
