#include "viewers/common/examtree.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>

// CColorTreeCtrl

CColorTreeCtrl::CColorTreeCtrl(QWidget* pParent) : QTreeWidget(pParent) {
    setHeaderHidden(true);
    // The drags are the tree's own (below), not the item view's.
    setDragEnabled(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
}

quintptr CColorTreeCtrl::ItemData(const QTreeWidgetItem* p) {
    return p ? quintptr(p->data(0, Qt::UserRole).toULongLong()) : 0;
}

void CColorTreeCtrl::SetItemData(QTreeWidgetItem* p, quintptr data) {
    if (p)
        p->setData(0, Qt::UserRole, QVariant::fromValue<qulonglong>(data));
}

bool CColorTreeCtrl::BeginDrag(QTreeWidgetItem* pItem) {
    if (!pItem || !pItem->parent())
        return false;
    m_pDragItem = pItem;
    m_pDropTarget = nullptr;
    m_bDragging = true;
    setCurrentItem(pItem);
    m_cursor = Qt::ArrowCursor;
    return true;
}

void CColorTreeCtrl::SetDropHilite(QTreeWidgetItem* pItem) {
    if (m_pDropHilite)
        m_pDropHilite->setBackground(0, QBrush());
    m_pDropHilite = pItem;
    if (m_pDropHilite)
        m_pDropHilite->setBackground(0, palette().brush(QPalette::Highlight));
}

void CColorTreeCtrl::DragOver(QTreeWidgetItem* pItem) {
    if (!m_bDragging) {
        m_cursor = Qt::ArrowCursor;
        return;
    }
    if (pItem && pItem->parent()) {
        m_cursor = Qt::ForbiddenCursor;
        SetDropHilite(nullptr);
    } else if (pItem && m_pDragItem && pItem != m_pDragItem->parent()) {
        m_cursor = Qt::ArrowCursor;
        SetDropHilite(pItem);
    }
    m_pDropTarget = pItem;
    viewport()->setCursor(m_cursor);
}

void CColorTreeCtrl::ClearDragState() {
    m_bDragging = false;
    SetDropHilite(nullptr);
    viewport()->unsetCursor();
    m_cursor = Qt::ArrowCursor;
}

void CColorTreeCtrl::EndDrag(QTreeWidgetItem* pTarget) {
    if (!m_bDragging)
        return;
    QTreeWidgetItem* pDrag = m_pDragItem;
    ClearDragState();
    m_pDragItem = nullptr;
    m_pDropTarget = nullptr;
    if (!pDrag || !pTarget || pTarget == pDrag || pTarget->parent())
        return;
    for (QTreeWidgetItem* p = pTarget; p; p = p->parent())
        if (p == pDrag)
            return;
    if (pTarget == pDrag->parent())
        return;  // dropped on its own parent: it is there already
    pTarget->setExpanded(true);
    // The copy keeps text, icons, data and check state; the item's own children come along.
    QTreeWidgetItem* pCopy = pDrag->clone();
    pTarget->addChild(pCopy);
    delete pDrag;
    setCurrentItem(pCopy);
}

void CColorTreeCtrl::mousePressEvent(QMouseEvent* e) {
    QTreeWidget::mousePressEvent(e);
    if (e->button() == Qt::LeftButton) {
        m_pressPos = e->position().toPoint();
        m_pPressItem = itemAt(m_pressPos);
    }
}

void CColorTreeCtrl::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (!m_bDragging && (e->buttons() & Qt::LeftButton) && m_pPressItem &&
        (pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        QTreeWidgetItem* p = m_pPressItem;
        m_pPressItem = nullptr;
        BeginDrag(p);
        return;
    }
    if (m_bDragging) {
        DragOver(itemAt(pos));
        return;
    }
    QTreeWidget::mouseMoveEvent(e);
}

void CColorTreeCtrl::mouseReleaseEvent(QMouseEvent* e) {
    m_pPressItem = nullptr;
    if (m_bDragging && e->button() == Qt::LeftButton) {
        EndDrag(itemAt(e->position().toPoint()));
        return;
    }
    QTreeWidget::mouseReleaseEvent(e);
}

// CExamTreeCtrl

CExamTreeCtrl::CExamTreeCtrl(QWidget* pParent) : CColorTreeCtrl(pParent) {}

QMimeData* CExamTreeCtrl::CreateDataSource(QTreeWidgetItem*) {
    return nullptr;
}

bool CExamTreeCtrl::BeginDrag(QTreeWidgetItem* pItem) {
    if (!pItem || pItem->childCount() > 0)
        return false;
    SetDragging(true);
    if (QMimeData* pData = CreateDataSource(pItem)) {
        ++m_nDragsStarted;
        ExecDrag(pData);
        ClearDragState();
    }
    return true;
}

void CExamTreeCtrl::ExecDrag(QMimeData* pData) {
    auto* pDrag = new QDrag(this);
    pDrag->setMimeData(pData);
    pDrag->exec(Qt::CopyAction | Qt::MoveAction);
}

void CExamTreeCtrl::EndDrag(QTreeWidgetItem*) {
    ClearDragState();
}

// CSpiroExamTreeCtrl

CSpiroExamTreeCtrl::CSpiroExamTreeCtrl(QWidget* pParent) : CExamTreeCtrl(pParent) {}

void CSpiroExamTreeCtrl::OnDoubleClick() {
    QTreeWidgetItem* p = currentItem();
    if (!p || !p->isSelected())
        return;
    const quintptr data = ItemData(p);
    if (data != 0 && m_toMain)
        m_toMain(kOpenExamMessage, 0, data);
}

void CSpiroExamTreeCtrl::mouseDoubleClickEvent(QMouseEvent* e) {
    QTreeWidget::mouseDoubleClickEvent(e);
    OnDoubleClick();
}
