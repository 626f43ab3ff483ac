#include "screenfit.h"

#include <QCoreApplication>
#include <QDockWidget>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QScrollBar>
#include <QToolBar>
#include <QWindow>

namespace viewerframe {

CBarScroller::CBarScroller(QWidget* pBar, QWidget* pParent) : QScrollArea(pParent) {
    setObjectName(pBar->objectName() + "Scroller");
    setFrameShape(QFrame::NoFrame);
    // Not a stop of the tab chain; tabbing through the bar scrolls the control in.
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The bar shows over what shows behind it, as it did without a holder.
    viewport()->setAutoFillBackground(false);
    const bool bFill = pBar->autoFillBackground();
    setWidget(pBar);
    pBar->setAutoFillBackground(bFill);
    pBar->installEventFilter(this);
    Follow();
}

void CBarScroller::SetScrolling(Qt::Orientations o) {
    if (o == m_scroll)
        return;
    m_scroll = o;
    setHorizontalScrollBarPolicy((o & Qt::Horizontal) ? Qt::ScrollBarAsNeeded
                                                      : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy((o & Qt::Vertical) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    Follow();
    updateGeometry();
}

QSize CBarScroller::Reserve() const {
    // A bar that scrolls one way keeps its whole extent the other way, beside the scroll bar.
    return {(m_scroll & Qt::Vertical) ? verticalScrollBar()->sizeHint().width() : 0,
            (m_scroll & Qt::Horizontal) ? horizontalScrollBar()->sizeHint().height() : 0};
}

QSize CBarScroller::sizeHint() const {
    if (!widget())
        return {};
    // A bar without a layout tells no size of its own.
    return QWidgetItem(widget()).sizeHint().expandedTo(QSize(0, 0)) + Reserve();
}

QSize CBarScroller::minimumSizeHint() const {
    if (!widget())
        return {};
    QSize s = QWidgetItem(widget()).minimumSize().expandedTo(QSize(0, 0));
    // Along a way it scrolls, room for the scroll bar's own least length.
    if (m_scroll & Qt::Horizontal)
        s.setWidth(horizontalScrollBar()->minimumSizeHint().width());
    if (m_scroll & Qt::Vertical)
        s.setHeight(verticalScrollBar()->minimumSizeHint().height());
    return s + Reserve();
}

void CBarScroller::Follow() {
    QWidget* pBar = widget();
    if (!pBar)
        return;
    QSizePolicy policy = pBar->sizePolicy();
    QSize sizeMax = QWidgetItem(pBar).maximumSize();
    // Along a way it scrolls, the holder may shrink below the bar and grow without bound.
    if (m_scroll & Qt::Horizontal) {
        policy.setHorizontalPolicy(QSizePolicy::Preferred);
        sizeMax.setWidth(QWIDGETSIZE_MAX);
    }
    if (m_scroll & Qt::Vertical) {
        policy.setVerticalPolicy(QSizePolicy::Preferred);
        sizeMax.setHeight(QWIDGETSIZE_MAX);
    }
    setSizePolicy(policy);
    setMaximumSize((sizeMax + Reserve()).boundedTo(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)));
}

bool CBarScroller::eventFilter(QObject* o, QEvent* e) {
    if (o == widget() && (e->type() == QEvent::LayoutRequest || e->type() == QEvent::Show ||
                          e->type() == QEvent::Hide)) {
        Follow();
        updateGeometry();
    }
    return QScrollArea::eventFilter(o, e);
}

bool CBarScroller::viewportEvent(QEvent* e) {
    // A bar that changes its size limits tells its parent, the viewport.
    if (e->type() == QEvent::LayoutRequest) {
        Follow();
        updateGeometry();
    }
    return QScrollArea::viewportEvent(e);
}

namespace {
// The title strip of a bar's dock: nothing, and asking for no room (a dock takes its title
// widget's preferred height, and a plain widget's is -1, a row taken from the bar).
class CNoTitle : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return {0, 0}; }
    QSize minimumSizeHint() const override { return {0, 0}; }
};
}  // namespace

QDockWidget* MakeBarDock(QMainWindow& frame, QWidget* pBar, const char* pszName,
                         const QString& strTitle) {
    auto* pDock = new QDockWidget(strTitle, &frame);
    pDock->setObjectName(pszName);
    pDock->setWidget(pBar);
    pDock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    auto* pTitle = new CNoTitle(pDock);
    pTitle->setFixedSize(0, 0);
    pDock->setTitleBarWidget(pTitle);
    return pDock;
}

namespace {
QSize MinimumOf(QMainWindow& frame) {
    // The holders' new limits reach the frame's layout through posted layout requests.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    frame.layout()->invalidate();
    frame.layout()->activate();
    return frame.minimumSizeHint();
}

bool Fits(const QSize& s, const QSize& sizeRoom) {
    return s.width() <= sizeRoom.width() && s.height() <= sizeRoom.height();
}

// The dock's pane in a holder (put into one the first time).
CBarScroller* Holder(QDockWidget* pDock) {
    if (auto* p = qobject_cast<CBarScroller*>(pDock->widget()))
        return p;
    QWidget* pBar = pDock->widget();
    if (!pBar)
        return nullptr;
    auto* p = new CBarScroller(pBar, pDock);
    pDock->setWidget(p);
    p->show();
    return p;
}

void Scroll(CBarScroller* p, Qt::Orientation o) {
    if (p)
        p->SetScrolling(p->Scrolling() | o);
}

std::vector<QDockWidget*> Docks(QMainWindow& frame, bool bAcross) {
    std::vector<QDockWidget*> out;
    for (QDockWidget* p : frame.findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly)) {
        if (p->isHidden() || p->isFloating())
            continue;
        const Qt::DockWidgetArea area = frame.dockWidgetArea(p);
        const bool bTopOrBottom = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
        if (bTopOrBottom == bAcross)
            out.push_back(p);
    }
    return out;
}
}  // namespace

bool FitMinimum(QMainWindow& frame, const QSize& sizeRoom) {
    QSize sizeMin = MinimumOf(frame);
    if (Fits(sizeMin, sizeRoom))
        return true;
    if (sizeMin.width() > sizeRoom.width()) {
        for (QToolBar* p : frame.findChildren<QToolBar*>(Qt::FindDirectChildrenOnly))
            if (p->orientation() == Qt::Horizontal &&
                p->minimumSizeHint().width() > sizeRoom.width())
                for (CBarScroller* s : p->findChildren<CBarScroller*>())
                    Scroll(s, Qt::Horizontal);
        for (QDockWidget* p : Docks(frame, true))
            if (p->minimumSizeHint().width() > sizeRoom.width())
                Scroll(Holder(p), Qt::Horizontal);
        sizeMin = MinimumOf(frame);
    }
    if (sizeMin.height() > sizeRoom.height()) {
        for (QDockWidget* p : Docks(frame, false))
            Scroll(Holder(p), Qt::Vertical);
        sizeMin = MinimumOf(frame);
    }
    if (sizeMin.height() > sizeRoom.height()) {
        for (QDockWidget* p : Docks(frame, true))
            Scroll(Holder(p), Qt::Vertical);
        sizeMin = MinimumOf(frame);
    }
    return Fits(sizeMin, sizeRoom);
}

QSize ClientRoom(const QWidget& frame) {
    const QScreen* pScreen = frame.screen() ? frame.screen() : QGuiApplication::primaryScreen();
    if (!pScreen)
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    const QMargins margins =
        frame.windowHandle() ? frame.windowHandle()->frameMargins() : QMargins();
    return pScreen->availableGeometry().marginsRemoved(margins).size();
}

namespace {
class CFramedWatch : public QObject {
public:
    CFramedWatch(QWindow* pWindow, std::function<void()> fn)
        : QObject(pWindow), m_fn(std::move(fn)) {
        pWindow->installEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (m_fn && e->type() == QEvent::Expose && static_cast<QWindow*>(o)->isExposed()) {
            o->removeEventFilter(this);
            const std::function<void()> fn = std::move(m_fn);
            m_fn = {};
            deleteLater();
            fn();
        }
        return false;
    }

private:
    std::function<void()> m_fn;
};
}  // namespace

void PlaceOnScreen(QMainWindow& frame, std::function<void()> fnPlace) {
    auto place = [&frame, fnPlace] {
        FitMinimum(frame, ClientRoom(frame));
        if (fnPlace)
            fnPlace();
    };
    place();
    frame.winId();  // the window handle whose first expose tells
    if (QWindow* pWindow = frame.windowHandle())
        new CFramedWatch(pWindow, place);
}

}  // namespace viewerframe
