#pragma once
// The control's window: both scroll bars always there, enabled only when the page is
// larger than the window; the page is painted by the control through one image.
#include <QAbstractScrollArea>

class CFlowlinCtrl;

class CFlowlinWnd : public QAbstractScrollArea {
public:
    CFlowlinWnd(CFlowlinCtrl* pCtrl, QWidget* pParent);

    // The page needs this size: ranges, page sizes and positions of the bars follow.
    void UpdateBars(const QSize& sizeNeeded);
    // The drawing origin from the bar positions.
    QPoint Origin() const;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    CFlowlinCtrl* m_pCtrl;
    QSize m_sizeNeeded;
    int m_nRangeX = 0;
    int m_nRangeY = 0;
};
