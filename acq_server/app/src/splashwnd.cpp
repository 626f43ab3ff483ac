#include "acq_server/app/splashwnd.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include "acq_server/app/icons.h"

namespace {
bool g_bEnabled = false;
CSplashWnd* g_pSplash = nullptr;
}  // namespace

void CSplashWnd::EnableSplashScreen(bool bEnable) { g_bEnabled = bEnable; }
bool CSplashWnd::IsEnabled() { return g_bEnabled; }
CSplashWnd* CSplashWnd::Current() { return g_pSplash; }

void CSplashWnd::ShowSplashScreen(QWidget* pParent) {
    if (!g_bEnabled || g_pSplash)
        return;
    g_pSplash = new CSplashWnd(pParent);
    g_pSplash->show();
    g_pSplash->update();
}

void CSplashWnd::HideSplashScreen() {
    if (!g_pSplash)
        return;
    CSplashWnd* p = g_pSplash;
    g_pSplash = nullptr;
    p->hide();
    if (QWidget* pMain = p->parentWidget())
        pMain->update();
    // The press that hid it may still be on its way through this window.
    p->deleteLater();
}

CSplashWnd::CSplashWnd(QWidget* pParent)
    : QWidget(pParent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_bitmap(qaricons::Bitmap(149)) {
    setObjectName("splash");
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(m_bitmap.size());
    setCursor(Qt::ArrowCursor);
    QRect area = pParent && pParent->isVisible() ? pParent->geometry()
                 : QGuiApplication::primaryScreen()
                     ? QGuiApplication::primaryScreen()->availableGeometry()
                     : QRect(0, 0, 800, 600);
    move(area.center() - rect().center());
    m_nTimer = startTimer(kShowMs);
    qApp->installEventFilter(this);
}

CSplashWnd::~CSplashWnd() {
    qApp->removeEventFilter(this);
    if (g_pSplash == this)
        g_pSplash = nullptr;
}

bool CSplashWnd::eventFilter(QObject* pObject, QEvent* pEvent) {
    if (g_pSplash == this) {
        switch (pEvent->type()) {
            case QEvent::KeyPress:
            case QEvent::MouseButtonPress:
            case QEvent::NonClientAreaMouseButtonPress:
                HideSplashScreen();
                return true;
            default:
                break;
        }
    }
    return QWidget::eventFilter(pObject, pEvent);
}

void CSplashWnd::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, m_bitmap);
}

void CSplashWnd::timerEvent(QTimerEvent* pEvent) {
    if (pEvent->timerId() == m_nTimer) {
        killTimer(m_nTimer);
        m_nTimer = 0;
        HideSplashScreen();
    }
}
