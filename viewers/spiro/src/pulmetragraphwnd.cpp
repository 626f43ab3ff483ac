#include "pulmetra/pulmetragraphwnd.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "platform/notifier.h"
#include "pulmetra/appstrings.h"
#include "viewers/common/examlist.h"

using namespace pulmetra;

namespace {
constexpr int kEdge = 2;
// The outline: blue (0xFF0000 as the system writes colours) for the active window, red
// (0x0000FF) for the other.
const QColor kActiveEdge(0, 0, 255), kOtherEdge(255, 0, 0);
}  // namespace

CPulmetraGraphWnd::CPulmetraGraphWnd(QWidget* pParent, int nID) : QWidget(pParent), m_nID(nID) {
    setObjectName(QString::number(nID));
}

CPulmetraGraphWnd::~CPulmetraGraphWnd() {
    if (QWidget* w = Widget())
        w->removeEventFilter(this);
    Destroy();
}

bool CPulmetraGraphWnd::CreateControl(std::string* pError) {
    // A new user has no control registry: the control beside the program is registered.
    if (!CFlowlin::Create(this, static_cast<UINT>(m_nID), pError, CFlowlin::kLibraryName))
        return false;
    if (QWidget* w = Widget()) {
        w->setGeometry(rect().adjusted(kEdge, kEdge, -kEdge, -kEdge));
        w->installEventFilter(this);
        w->setMouseTracking(false);
        w->show();
    }
    return true;
}

void CPulmetraGraphWnd::SetActiveLook(bool b) {
    if (m_bActiveLook != b) {
        m_bActiveLook = b;
        update();
    }
}

void CPulmetraGraphWnd::ResetExam() {
    m_pExam = nullptr;
    m_bHasFile = FALSE;
    Clear();
}

BOOL CPulmetraGraphWnd::OpenExam(CExamItem* pItem) {
    ResetExam();
    if (!pItem || !pItem->IsValid())
        return FALSE;
    m_strPath = pItem->GetPath();
    const auto nSep = m_strPath.find_last_of("/\\");
    m_strFileName = nSep == CString::npos ? m_strPath : m_strPath.substr(nSep + 1);
    if (Open(m_strPath.c_str(), 0) < 0) {
        m_strPath.clear();
        m_strFileName.clear();
        Clear();
        platform::ShowMessage(AppString(IDS_OPEN_FAILED), platform::MB_ICONERROR);
        return FALSE;
    }
    m_pExam = pItem;
    // The bars may edit an exam as soon as it shows a patient, not only after a click.
    m_bHasFile = !CFlowlin::GetInformation(0).empty();
    if (QWidget* w = Widget())
        w->update();
    update();
    return TRUE;
}

void CPulmetraGraphWnd::OnMouseMove(const QPoint& pt, Qt::MouseButtons buttons,
                                    Qt::KeyboardModifiers mods) {
    if (!(buttons & Qt::LeftButton))
        return;
    if (!(mods & Qt::ControlModifier)) {
        if (QWidget* w = Widget())
            w->update();
        return;
    }
    const int dy = pt.y() - m_ptLast.y();
    if (dy > kDragStep || dy < -kDragStep) {
        // Downward raises the zoom, upward lowers it.
        const int nNew = std::clamp(m_nZoom + (dy > 0 ? 1 : -1), kMinZoom, kMaxZoom);
        m_ptLast = pt;
        if (nNew != m_nZoom) {
            m_nZoom = nNew;
            if (m_host.toView)
                m_host.toView(17, m_nZoom);
            if (m_host.toMain)
                m_host.toMain(17, m_nZoom);
        }
    }
}

bool CPulmetraGraphWnd::eventFilter(QObject* o, QEvent* e) {
    if (o != Widget())
        return QWidget::eventFilter(o, e);
    switch (e->type()) {
        case QEvent::MouseButtonPress: {
            auto* me = static_cast<QMouseEvent*>(e);
            if (me->button() == Qt::LeftButton) {
                m_bHasFile = !CFlowlin::GetInformation(0).empty();
                m_ptLast = me->position().toPoint();
                Widget()->grabMouse();
                if (m_host.activate)
                    m_host.activate(*this);
                update();
            }
            break;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton)
                Widget()->releaseMouse();
            break;
        case QEvent::MouseMove: {
            auto* me = static_cast<QMouseEvent*>(e);
            OnMouseMove(me->position().toPoint(), me->buttons(), me->modifiers());
            break;
        }
        case QEvent::MouseButtonDblClick:
            if (m_host.postToMain)
                m_host.postToMain(32788);
            return true;
        case QEvent::Wheel:
            if (m_host.wheel) {
                m_host.wheel(static_cast<QWheelEvent*>(e)->angleDelta().y());
                return true;
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(o, e);
}

void CPulmetraGraphWnd::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (QWidget* w = Widget())
        w->setGeometry(rect().adjusted(kEdge, kEdge, -kEdge, -kEdge));
}

void CPulmetraGraphWnd::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_bActiveLook ? kActiveEdge : kOtherEdge);
}
