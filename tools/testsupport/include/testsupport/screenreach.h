#pragma once
// What a user at a real X screen can reach of a window's controls: each visible control
// scrolled into view by the scroll areas round it, its rectangle inside the screen and not
// cut by any window round it, and the X server's own picture (ImageMagick import of the
// root window) showing at its place what the control draws.
#include <QRect>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace testsupport {

// The visible controls under pRoot a user works with (buttons, lists, fields, text boxes,
// item views), not the inner parts of another control.
std::vector<QWidget*> VisibleControls(QWidget* pRoot);

// Scrolls the whole of w into view in each scroll area round it (inner first); TRUE when its
// rectangle then lies inside rcScreen and inside every widget round it. *pScrolled tells
// whether a scroll area moved.
bool Reachable(QWidget* w, const QRect& rcScreen, bool* pScrolled = nullptr);

// The root window of an X display as the X server has it.
class CRootPicture {
public:
    CRootPicture(std::string strDisplay, std::string strDir);
    // Takes the picture again (import -window root); FALSE when it could not.
    bool Take();
    // TRUE when the picture shows at w's place what w draws itself: at most a hundredth of
    // its pixels differ by more than a tenth of the colour range (ImageMagick compare).
    bool Shows(QWidget* w, std::string* pWhy = nullptr) const;

private:
    std::string m_strDisplay, m_strDir;
};

// The controls of the named bars a user cannot reach (VisibleControls, or a bar of no
// controls of its own, such as a menu bar, as a whole), each with the reason: out of reach,
// or not shown by the X server's picture, taken again after each scroll. Empty when all can.
std::string Unreachable(const std::vector<std::pair<std::string, QWidget*>>& bars,
                        const QRect& rcScreen, CRootPicture& picture);

// How a top-level window fails to fit rcScreen: its frame outside the screen, or the least
// size it tells the window manager (xprop WM_NORMAL_HINTS) missing or larger than the
// screen. Empty when it fits.
std::string OutsideScreen(QWidget& window, const QRect& rcScreen, const std::string& strDisplay);

}  // namespace testsupport
