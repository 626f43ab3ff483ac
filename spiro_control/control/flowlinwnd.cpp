#include "flowlinwnd.h"

#include <QPainter>
#include <QScrollBar>

#include "spiro_control/flowlinctrl.h"

namespace {

// A bar over range 0..nRange with page nRange / 5 + 1; its positions run to
// nRange - page + 1, as a window's scroll bar does.
void SetBar(QScrollBar* pBar, int nRange) {
    if (nRange <= 0) {
        pBar->setRange(0, 0);
        pBar->setValue(0);
        pBar->setEnabled(false);
        return;
    }
    const int nPage = nRange / 5 + 1;
    pBar->setEnabled(true);
    pBar->setSingleStep(1);
    pBar->setPageStep(nPage);
    pBar->setRange(0, nRange - nPage + 1);
}

// The drawing origin: the position scaled to the whole range, the range itself at the end.
int OriginOf(const QScrollBar* pBar, int nRange) {
    if (nRange <= 0) {
        return 0;
    }
    const int nMax = pBar->maximum();
    const int nPos = pBar->value();
    if (nPos >= nMax) {
        return nRange;
    }
    return static_cast<int>(static_cast<long long>(nPos) * nRange / nMax);
}

}  // namespace

CFlowlinWnd::CFlowlinWnd(CFlowlinCtrl* pCtrl, QWidget* pParent)
    : QAbstractScrollArea(pParent), m_pCtrl(pCtrl) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFrameShape(QFrame::NoFrame);
    UpdateBars(QSize());
}

void CFlowlinWnd::UpdateBars(const QSize& sizeNeeded) {
    m_sizeNeeded = sizeNeeded;
    const QSize sizeWindow = viewport()->size();
    const bool bVertical = sizeNeeded.height() > sizeWindow.height();
    const bool bHorizontal = sizeNeeded.width() > sizeWindow.width();
    m_nRangeX = bHorizontal ? sizeNeeded.width() - sizeWindow.width() +
                                  (bVertical ? verticalScrollBar()->sizeHint().width() : 0)
                            : 0;
    m_nRangeY = bVertical ? sizeNeeded.height() - sizeWindow.height() +
                                (bHorizontal ? horizontalScrollBar()->sizeHint().height() : 0)
                          : 0;
    SetBar(horizontalScrollBar(), m_nRangeX);
    SetBar(verticalScrollBar(), m_nRangeY);
}

QPoint CFlowlinWnd::Origin() const {
    return QPoint(OriginOf(horizontalScrollBar(), m_nRangeX),
                  OriginOf(verticalScrollBar(), m_nRangeY));
}

void CFlowlinWnd::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    m_pCtrl->OnDraw(painter, viewport()->rect(), Origin());
}

void CFlowlinWnd::resizeEvent(QResizeEvent* pEvent) {
    QAbstractScrollArea::resizeEvent(pEvent);
    UpdateBars(m_sizeNeeded);
}

void CFlowlinWnd::scrollContentsBy(int, int) {
    viewport()->update();
}
