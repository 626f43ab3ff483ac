#include "testsupport/screenreach.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSize>
#include <QTextEdit>

#include "testsupport/testsupport.h"

namespace testsupport {
namespace {
bool IsControl(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
           qobject_cast<const QAbstractItemView*>(w);
}

QRect GlobalRect(const QWidget* w) {
    return {w->mapToGlobal(QPoint(0, 0)), w->size()};
}

void Settle(int nMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < nMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}
}  // namespace

std::vector<QWidget*> VisibleControls(QWidget* pRoot) {
    std::vector<QWidget*> out;
    for (QWidget* w : pRoot->findChildren<QWidget*>()) {
        if (!w->isVisible() || !IsControl(w))
            continue;
        bool bInner = false;
        for (QWidget* p = w->parentWidget(); p && p != pRoot && !bInner; p = p->parentWidget())
            bInner = IsControl(p);
        if (!bInner)
            out.push_back(w);
    }
    return out;
}

bool Reachable(QWidget* w, const QRect& rcScreen, bool* pScrolled) {
    bool bScrolled = false;
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
        auto* pArea = qobject_cast<QScrollArea*>(p);
        if (!pArea || !pArea->widget() || !pArea->widget()->isAncestorOf(w))
            continue;
        const int h = pArea->horizontalScrollBar()->value();
        const int v = pArea->verticalScrollBar()->value();
        // The whole control, not only a field's cursor as ensureWidgetVisible takes it.
        const QRect rc(w->mapTo(pArea->widget(), QPoint(0, 0)), w->size());
        pArea->ensureVisible(rc.center().x(), rc.center().y(), rc.width() / 2 + 1,
                             rc.height() / 2 + 1);
        bScrolled |=
            h != pArea->horizontalScrollBar()->value() || v != pArea->verticalScrollBar()->value();
    }
    if (bScrolled)
        Settle(100);
    if (pScrolled)
        *pScrolled = bScrolled;
    const QRect rc = GlobalRect(w);
    if (!rcScreen.contains(rc))
        return false;
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (!GlobalRect(p).contains(rc)) {
            return false;
        }
    return true;
}

CRootPicture::CRootPicture(std::string strDisplay, std::string strDir)
    : m_strDisplay(std::move(strDisplay)), m_strDir(std::move(strDir)) {}

bool CRootPicture::Take() {
    // What is drawn reaches the X server first.
    Settle(300);
    int nStatus = -1;
    RunCommand("import -display " + ShellQuote(m_strDisplay) + " -window root " +
                   ShellQuote(m_strDir + "/root.png"),
               &nStatus);
    return nStatus == 0;
}

bool CRootPicture::Shows(QWidget* w, std::string* pWhy) const {
    const QRect rc = GlobalRect(w);
    const std::string strOwn = m_strDir + "/own.png", strCut = m_strDir + "/cut.png";
    if (!w->grab()
             .toImage()
             .convertToFormat(QImage::Format_RGB32)
             .save(QString::fromStdString(strOwn))) {
        if (pWhy)
            *pWhy = "no picture of the control";
        return false;
    }
    const std::string strGeometry = std::to_string(rc.width()) + "x" + std::to_string(rc.height()) +
                                    "+" + std::to_string(rc.x()) + "+" + std::to_string(rc.y());
    int nStatus = -1;
    RunCommand("convert " + ShellQuote(m_strDir + "/root.png") + " -crop " + strGeometry +
                   " +repage " + ShellQuote(strCut),
               &nStatus);
    // The cut of the screen has the control's size only where the control lies on it.
    const std::string strSize =
        RunCommand("identify -format '%wx%h' " + ShellQuote(strCut) + " 2>&1");
    const std::string strWant = std::to_string(rc.width()) + "x" + std::to_string(rc.height());
    if (nStatus != 0 || strSize != strWant) {
        if (pWhy)
            *pWhy = "the screen holds " + strSize + " of its " + strWant;
        return false;
    }
    // compare prints the count of differing pixels and exits 1 when there are any.
    const std::string strCount = RunCommand("compare -metric AE -fuzz 10% " + ShellQuote(strCut) +
                                            " " + ShellQuote(strOwn) + " null: 2>&1");
    bool bNumber = false;
    const double dDiffer = QString::fromStdString(strCount).trimmed().toDouble(&bNumber);
    const double dAllowed = rc.width() * rc.height() / 100.0;
    if (!bNumber || dDiffer > dAllowed) {
        if (pWhy)
            *pWhy = "pixels differing: " + strCount;
        return false;
    }
    return true;
}

std::string Unreachable(const std::vector<std::pair<std::string, QWidget*>>& bars,
                        const QRect& rcScreen, CRootPicture& picture) {
    std::string s;
    if (!picture.Take())
        return "no picture of the screen";
    for (const auto& [strBar, pBar] : bars) {
        std::vector<QWidget*> controls = VisibleControls(pBar);
        if (controls.empty())
            controls = {pBar};
        for (QWidget* w : controls) {
            const std::string strName = strBar + " " + w->metaObject()->className() + " \"" +
                                        w->objectName().toStdString() + "\" " +
                                        w->property("text").toString().toStdString();
            bool bScrolled = false;
            const bool bReached = Reachable(w, rcScreen, &bScrolled);
            if (bScrolled && !picture.Take())
                return "no picture of the screen";
            std::string strWhy;
            if (!bReached)
                s += strName + " out of reach; ";
            else if (!picture.Shows(w, &strWhy))
                s += strName + " not shown (" + strWhy + "); ";
        }
    }
    return s;
}

namespace {
// The window's least size as the window manager is told it; an empty size when it tells none.
QSize HintedMinimumSize(const std::string& strDisplay, unsigned long nWindowId) {
    const std::string strHints = RunCommand("xprop -display " + ShellQuote(strDisplay) + " -id " +
                                            std::to_string(nWindowId) + " WM_NORMAL_HINTS");
    static const QRegularExpression re("minimum size: (\\d+) by (\\d+)");
    const QRegularExpressionMatch m = re.match(QString::fromStdString(strHints));
    if (!m.hasMatch())
        return {};
    return {m.captured(1).toInt(), m.captured(2).toInt()};
}
}  // namespace

std::string OutsideScreen(QWidget& window, const QRect& rcScreen, const std::string& strDisplay) {
    std::string s;
    const QRect rc = window.frameGeometry();
    if (!rcScreen.contains(rc))
        s += "frame at " + std::to_string(rc.x()) + "," + std::to_string(rc.y()) + " " +
             std::to_string(rc.width()) + " x " + std::to_string(rc.height()) +
             " outside the screen; ";
    const QSize sizeMin = HintedMinimumSize(strDisplay, window.winId());
    if (!sizeMin.isValid())
        s += "no least size told; ";
    else if (sizeMin.width() > rcScreen.width() || sizeMin.height() > rcScreen.height())
        s += "least size " + std::to_string(sizeMin.width()) + " x " +
             std::to_string(sizeMin.height()) + " larger than the screen; ";
    return s;
}

}  // namespace testsupport
