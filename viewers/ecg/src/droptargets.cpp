#include "lindar/droptargets.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "viewers/common/examtree.h"

namespace {
bool IsDragEvent(QEvent::Type t) {
    return t == QEvent::DragEnter || t == QEvent::DragMove || t == QEvent::DragLeave || t == QEvent::Drop;
}
bool IsExam(const QMimeData* p) {
    return p && p->hasFormat(kExamTreeMimeType);
}
// A drag of files only: the frame's, not the view's.
bool IsFilesOnly(const QMimeData* p) {
    return CFileDropTarget::HasFiles(p) && !IsExam(p);
}
}  // namespace

void CExamDropTarget::Register(QWidget* pWnd) {
    if (m_pWnd)
        m_pWnd->removeEventFilter(this);
    m_pWnd = pWnd;
    if (pWnd) {
        pWnd->setAcceptDrops(true);
        pWnd->installEventFilter(this);
    }
}

Qt::DropAction CExamDropTarget::OnDragEnter(const QMimeData* pData) {
    return IsFilesOnly(pData) ? Qt::IgnoreAction : Qt::CopyAction;
}

Qt::DropAction CExamDropTarget::OnDragOver(const QMimeData* pData) {
    return IsExam(pData) ? Qt::CopyAction : Qt::IgnoreAction;
}

Qt::DropAction CExamDropTarget::ScrollEffect(Qt::KeyboardModifiers mods) {
    return (mods & Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction;
}

bool CExamDropTarget::eventFilter(QObject* pObj, QEvent* e) {
    if (!IsDragEvent(e->type()))
        return QObject::eventFilter(pObj, e);
    if (pObj != m_pWnd) {
        // Not the window that registered: no drop here.
        if (e->type() != QEvent::DragLeave)
            static_cast<QDropEvent*>(e)->ignore();
        return true;
    }
    switch (e->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* d = static_cast<QDragMoveEvent*>(e);
        const Qt::DropAction a =
            e->type() == QEvent::DragEnter ? OnDragEnter(d->mimeData()) : OnDragOver(d->mimeData());
        if (a == Qt::IgnoreAction) {
            d->ignore();
        } else {
            d->setDropAction(a);
            d->accept();
        }
        return true;
    }
    case QEvent::DragLeave:
        return true;
    case QEvent::Drop: {
        // Accepted; nothing else happens with a dropped exam.
        auto* d = static_cast<QDropEvent*>(e);
        if (IsFilesOnly(d->mimeData())) {
            d->ignore();
            return false;
        }
        d->setDropAction(Qt::CopyAction);
        d->accept();
        return true;
    }
    default:
        return false;
    }
}

CFileDropTarget::CFileDropTarget(QWidget* pWnd, OpenFn open) : QObject(pWnd), m_pWnd(pWnd), m_open(std::move(open)) {
    pWnd->setAcceptDrops(true);
    pWnd->installEventFilter(this);
}

bool CFileDropTarget::HasFiles(const QMimeData* p) {
    if (!p || !p->hasUrls())
        return false;
    for (const QUrl& u : p->urls())
        if (u.isLocalFile())
            return true;
    return false;
}

bool CFileDropTarget::eventFilter(QObject* pObj, QEvent* e) {
    if (pObj != m_pWnd || !IsDragEvent(e->type()) || e->type() == QEvent::DragLeave)
        return QObject::eventFilter(pObj, e);
    auto* d = static_cast<QDropEvent*>(e);
    if (!HasFiles(d->mimeData())) {
        d->ignore();
        return true;
    }
    d->setDropAction(Qt::CopyAction);
    d->accept();
    if (e->type() == QEvent::Drop)
        for (const QUrl& u : d->mimeData()->urls())
            if (u.isLocalFile())
                m_open(u.toLocalFile().toLocal8Bit().toStdString());
    return true;
}
