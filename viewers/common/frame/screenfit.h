#pragma once
// A main window that fits the screens clinics have: its minimum size never larger than the
// room its screen gives it. Where a bar or pane asks for more than that room, the bar goes
// into a scroll area of its own, so that each of its controls can still be reached; with
// room enough nothing changes.
#include <QScrollArea>
#include <functional>

class QDockWidget;
class QMainWindow;

namespace viewerframe {

// The holder of one bar. By default it is as large as its bar asks (minimum, preferred and
// maximum size and the bar's size policy), draws nothing of its own and shows no scroll bar.
// Along the orientations it is told to scroll, it can be smaller than its bar, and the bar
// scrolls under a scroll bar for which it then keeps room.
class CBarScroller : public QScrollArea {
    Q_OBJECT
public:
    explicit CBarScroller(QWidget* pBar, QWidget* pParent = nullptr);
    QWidget* Bar() const { return widget(); }
    void SetScrolling(Qt::Orientations o);
    Qt::Orientations Scrolling() const { return m_scroll; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    bool viewportEvent(QEvent* e) override;

private:
    // Size policy and maximum size follow the bar.
    void Follow();
    // The scroll bars' thickness the holder keeps room for.
    QSize Reserve() const;
    Qt::Orientations m_scroll;
};

// A dock of the frame for a bar, as a bar and not a captioned window: no title strip, no
// room for one, and not movable, floatable or closable; strTitle names it in the frame's
// menus. Not yet added to the frame.
QDockWidget* MakeBarDock(QMainWindow& frame, QWidget* pBar, const char* pszName,
                         const QString& strTitle = {});

// Caps the frame's minimum size to sizeRoom (its client area, without the window manager's
// frame): when the bars' own minimum does not fit, the tool bars' holders and the docks'
// panes wider than the room scroll sideways, then, while the frame is still taller than the
// room, the side panes scroll up and down, and last the top and bottom panes too. A dock's
// pane is put into a holder the first time it has to scroll. TRUE when the frame's minimum
// fits the room.
bool FitMinimum(QMainWindow& frame, const QSize& sizeRoom);

// The room for the frame's client area: its screen's available area less the frame the
// window manager put round the window (none known before it is framed).
QSize ClientRoom(const QWidget& frame);

// Fits the frame's minimum into its client room and runs fnPlace (the frame's own placement);
// both again once the window manager has framed the window (its first expose), when the
// frame it put round the window is known.
void PlaceOnScreen(QMainWindow& frame, std::function<void()> fnPlace);

}  // namespace viewerframe
