#include "testsupport/paintrecorder.h"

#include <QPainter>
#include <QPixmap>
#include <QTextItem>

namespace testsupport {

class CRecordingEngine : public QPaintEngine {
public:
    CRecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState& state) override {
        const QPaintEngine::DirtyFlags flags = state.state();
        if (flags & DirtyPen)
            m_pen = state.pen();
        if (flags & DirtyFont)
            m_font = state.font();
        if (flags & DirtyTransform)
            m_transform = state.transform();
        if (flags & (DirtyClipRegion | DirtyClipPath | DirtyClipEnabled)) {
            m_clip =
                (state.isClipEnabled() && painter()) ? painter()->clipBoundingRect() : QRectF();
        }
    }

    void drawLines(const QLineF* pLines, int nCount) override {
        for (int i = 0; i < nCount; ++i) {
            CPaintRecord r = Start(CPaintRecord::kLine);
            r.points = {Map(pLines[i].p1()), Map(pLines[i].p2())};
            m_records.push_back(r);
        }
    }
    void drawLines(const QLine* pLines, int nCount) override {
        for (int i = 0; i < nCount; ++i) {
            const QLineF line(pLines[i]);
            drawLines(&line, 1);
        }
    }
    void drawPolygon(const QPointF* pPoints, int nCount, PolygonDrawMode mode) override {
        CPaintRecord r =
            Start(mode == PolylineMode ? CPaintRecord::kPolyline : CPaintRecord::kPolygon);
        for (int i = 0; i < nCount; ++i)
            r.points.push_back(Map(pPoints[i]));
        m_records.push_back(r);
    }
    void drawPolygon(const QPoint* pPoints, int nCount, PolygonDrawMode mode) override {
        std::vector<QPointF> points(pPoints, pPoints + nCount);
        drawPolygon(points.data(), nCount, mode);
    }
    void drawRects(const QRectF* pRects, int nCount) override {
        for (int i = 0; i < nCount; ++i) {
            CPaintRecord r = Start(CPaintRecord::kRect);
            r.rect = m_transform.mapRect(pRects[i]);
            r.points = {r.rect.topLeft(), r.rect.bottomRight()};
            m_records.push_back(r);
        }
    }
    void drawRects(const QRect* pRects, int nCount) override {
        for (int i = 0; i < nCount; ++i) {
            const QRectF rect(pRects[i]);
            drawRects(&rect, 1);
        }
    }
    void drawTextItem(const QPointF& pt, const QTextItem& item) override {
        CPaintRecord r = Start(CPaintRecord::kText);
        r.points = {Map(pt)};
        r.text = item.text();
        r.font = item.font();
        r.penColor = m_pen.color();
        m_records.push_back(r);
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {
    }
    void drawPath(const QPainterPath&) override {}

    std::vector<CPaintRecord> m_records;

private:
    CPaintRecord Start(CPaintRecord::Kind eKind) const {
        CPaintRecord r;
        r.eKind = eKind;
        r.dPenWidth = m_pen.widthF();
        r.penColor = m_pen.color();
        r.penStyle = m_pen.style();
        r.clip = m_clip;
        return r;
    }
    QPointF Map(const QPointF& pt) const { return m_transform.map(pt); }

    QPen m_pen;
    QFont m_font;
    QTransform m_transform;
    QRectF m_clip;
};

CRecordingDevice::CRecordingDevice(int nWidth, int nHeight, int nDpi)
    : m_nWidth(nWidth), m_nHeight(nHeight), m_nDpi(nDpi), m_pEngine(new CRecordingEngine) {}

CRecordingDevice::~CRecordingDevice() {
    delete m_pEngine;
}

QPaintEngine* CRecordingDevice::paintEngine() const {
    return m_pEngine;
}

const std::vector<CPaintRecord>& CRecordingDevice::Records() const {
    return m_pEngine->m_records;
}

void CRecordingDevice::Clear() {
    m_pEngine->m_records.clear();
}

std::vector<CPaintRecord> CRecordingDevice::Of(CPaintRecord::Kind eKind) const {
    std::vector<CPaintRecord> out;
    for (const CPaintRecord& r : Records()) {
        if (r.eKind == eKind)
            out.push_back(r);
    }
    return out;
}

std::vector<CPaintRecord> CRecordingDevice::Texts(const QString& strText) const {
    std::vector<CPaintRecord> out;
    for (const CPaintRecord& r : Records()) {
        if (r.eKind == CPaintRecord::kText && r.text == strText)
            out.push_back(r);
    }
    return out;
}

int CRecordingDevice::metric(PaintDeviceMetric metric) const {
    switch (metric) {
        case PdmWidth:
            return m_nWidth;
        case PdmHeight:
            return m_nHeight;
        case PdmWidthMM:
            return static_cast<int>(m_nWidth * 25.4 / m_nDpi);
        case PdmHeightMM:
            return static_cast<int>(m_nHeight * 25.4 / m_nDpi);
        case PdmNumColors:
            return 0x7fffffff;
        case PdmDepth:
            return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return m_nDpi;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return static_cast<int>(devicePixelRatioFScale());
        default:
            return 0;
    }
}

}  // namespace testsupport
