#pragma once
// The start-up splash: one bitmap in a popup centred over its parent, gone after 1.5 s or
// at the first key or mouse press anywhere in the program (that press is swallowed).
#include <QPixmap>
#include <QWidget>

class CSplashWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kShowMs = 1500;

    // The command line's splash flag.
    static void EnableSplashScreen(bool bEnable);
    static bool IsEnabled();
    // Shows the one splash when enabled and none exists.
    static void ShowSplashScreen(QWidget* pParent);
    // The splash on screen, or null.
    static CSplashWnd* Current();
    // Hides (and so destroys) the splash; nothing without one.
    static void HideSplashScreen();

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;
    void paintEvent(QPaintEvent*) override;
    void timerEvent(QTimerEvent*) override;

private:
    explicit CSplashWnd(QWidget* pParent);
    ~CSplashWnd() override;

    QPixmap m_bitmap;
    int m_nTimer = 0;
};
