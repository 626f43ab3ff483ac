#include "oxuctrl/oxuctrl.h"

#include <QColorDialog>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace oxuctrl {

QColor FromColorRef(COLORREF cr) {
    return QColor(int(cr & 0xFF), int((cr >> 8) & 0xFF), int((cr >> 16) & 0xFF));
}

COLORREF ToColorRef(const QColor& c) {
    return COLORREF(c.red()) | (COLORREF(c.green()) << 8) | (COLORREF(c.blue()) << 16);
}

void SetFieldColours(QWidget* p, COLORREF crBack, COLORREF crText) {
    QPalette pal = p->palette();
    const QColor back = FromColorRef(crBack), text = FromColorRef(crText);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(g, QPalette::Base, back);
        pal.setColor(g, QPalette::Window, back);
        pal.setColor(g, QPalette::Button, back);
        pal.setColor(g, QPalette::AlternateBase, back);
        if (g != QPalette::Disabled) {
            pal.setColor(g, QPalette::Text, text);
            pal.setColor(g, QPalette::WindowText, text);
            pal.setColor(g, QPalette::ButtonText, text);
        }
    }
    p->setPalette(pal);
    p->setAutoFillBackground(true);
}

}  // namespace oxuctrl

using oxuctrl::FromColorRef;

namespace {
COLORREF ButtonFace() {
    return oxuctrl::ToColorRef(QPalette().color(QPalette::Button));
}
}  // namespace

// CButtonST

CButtonST::CButtonST(QWidget* pParent) : QPushButton(pParent) {
    const COLORREF face = ButtonFace();
    for (int i = 0; i < 6; ++i)
        m_colours[i] = (i % 2 == 0) ? face : 0;
    connect(this, &QPushButton::clicked, this, [this] {
        m_nCheck = m_nCheck ? 0 : 1;
        if (isCheckable())
            setChecked(m_nCheck != 0);
    });
}

void CButtonST::SetColor(int nSlot, COLORREF cr, bool bRepaint) {
    if (nSlot < 0 || nSlot >= 6)
        return;
    m_colours[nSlot] = cr;
    ApplyColours();
    if (bRepaint)
        update();
}

COLORREF CButtonST::GetColor(int nSlot) const {
    return (nSlot >= 0 && nSlot < 6) ? m_colours[nSlot] : 0;
}

void CButtonST::ApplyColours() {
    // Normal colours on the palette; pressed and focused states through the style sheet.
    QPalette pal = palette();
    pal.setColor(QPalette::Button, FromColorRef(m_colours[BTNST_COLOR_BK_OUT]));
    pal.setColor(QPalette::ButtonText, FromColorRef(m_colours[BTNST_COLOR_FG_IN]));
    setPalette(pal);
}

void CButtonST::SetBitmaps(const QImage& image, COLORREF crTransparent) {
    QImage img = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = FromColorRef(crTransparent).rgb() & 0xFFFFFF;
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if ((line[x] & 0xFFFFFF) == key)
                line[x] = 0;
    }
    setIcon(QIcon(QPixmap::fromImage(img)));
    setIconSize(img.size());
}

void CButtonST::SetTooltipText(const QString& text, bool bActivate) {
    setToolTip(bActivate ? text : QString());
}

void CButtonST::SetCheck(int nCheck, bool bRepaint) {
    m_nCheck = nCheck ? 1 : 0;
    if (isCheckable())
        setChecked(m_nCheck != 0);
    if (bRepaint)
        update();
}

// CExEdit

CExEdit::CExEdit(QWidget* pParent) : QLineEdit(pParent) {}
void CExEdit::SetBkColor(COLORREF cr) {
    m_crBack = cr;
    oxuctrl::SetFieldColours(this, m_crBack, m_crText);
}
void CExEdit::SetTextColor(COLORREF cr) {
    m_crText = cr;
    oxuctrl::SetFieldColours(this, m_crBack, m_crText);
}
void CExEdit::EnableKeyboardInput(BOOL bEnable) {
    setReadOnly(!bEnable);
}

// CExComboBox

CExComboBox::CExComboBox(QWidget* pParent) : QComboBox(pParent) {}
void CExComboBox::SetBkColor(COLORREF cr) {
    m_crBack = cr;
    oxuctrl::SetFieldColours(this, m_crBack, m_crText);
}
void CExComboBox::SetTextColor(COLORREF cr) {
    m_crText = cr;
    oxuctrl::SetFieldColours(this, m_crBack, m_crText);
}

// CExListCtrl

CExListCtrl::CExListCtrl(QWidget* pParent) : QTreeWidget(pParent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setColumnCount(0);
    setSelectionMode(QAbstractItemView::SingleSelection);
}
void CExListCtrl::SetBkColor(COLORREF cr) {
    m_crBack = cr;
    oxuctrl::SetFieldColours(this, m_crBack, m_crText);
    oxuctrl::SetFieldColours(viewport(), m_crBack, m_crText);
}
void CExListCtrl::SetTextColor(COLORREF cr) {
    m_crText = cr;
    oxuctrl::SetFieldColours(this, m_crBack, m_crText);
    oxuctrl::SetFieldColours(viewport(), m_crBack, m_crText);
}
int CExListCtrl::InsertColumn(int nCol, const QString& heading, int nWidth) {
    const int n = columnCount();
    if (nCol < 0 || nCol > n)
        nCol = n;
    QStringList labels;
    for (int i = 0; i < n; ++i)
        labels << headerItem()->text(i);
    labels.insert(nCol, heading);
    setColumnCount(n + 1);
    setHeaderLabels(labels);
    setColumnWidth(nCol, nWidth);
    return nCol;
}
int CExListCtrl::InsertItem(int nItem, const QString& text) {
    if (nItem < 0 || nItem > topLevelItemCount())
        nItem = topLevelItemCount();
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    insertTopLevelItem(nItem, item);
    return nItem;
}
bool CExListCtrl::SetItemText(int nItem, int nSubItem, const QString& text) {
    QTreeWidgetItem* item = topLevelItem(nItem);
    if (!item || nSubItem < 0 || nSubItem >= columnCount())
        return false;
    item->setText(nSubItem, text);
    return true;
}
QString CExListCtrl::GetItemText(int nItem, int nSubItem) const {
    QTreeWidgetItem* item = topLevelItem(nItem);
    return item ? item->text(nSubItem) : QString();
}
bool CExListCtrl::SetItemData(int nItem, quintptr data) {
    QTreeWidgetItem* item = topLevelItem(nItem);
    if (!item)
        return false;
    item->setData(0, Qt::UserRole, QVariant::fromValue<qulonglong>(data));
    return true;
}
quintptr CExListCtrl::GetItemData(int nItem) const {
    QTreeWidgetItem* item = topLevelItem(nItem);
    return item ? quintptr(item->data(0, Qt::UserRole).toULongLong()) : 0;
}
int CExListCtrl::GetSelectionMark() const {
    const QList<QTreeWidgetItem*> sel = selectedItems();
    return sel.isEmpty() ? -1 : indexOfTopLevelItem(sel.front());
}

// CExDialogBar

CExDialogBar::CExDialogBar(QWidget* pParent) : QWidget(pParent) {}

QAbstractButton* CExDialogBar::FindButton(UINT nCmdId) const {
    return findChild<QAbstractButton*>(QString::number(nCmdId));
}

void CExDialogBar::AddUpdateCmdID(UINT nCmdId) {
    if (!m_cmds.insert(nCmdId).second)
        return;
    if (QAbstractButton* b = FindButton(nCmdId)) {
        b->setEnabled(true);
        connect(b, &QAbstractButton::clicked, this, [this, nCmdId] {
            if (m_onCommand)
                m_onCommand(nCmdId);
            emit command(nCmdId);
        });
    }
}

void CExDialogBar::UpdateCmdUI(const StateFn& state) {
    for (UINT id : m_cmds) {
        QAbstractButton* b = FindButton(id);
        if (!b)
            continue;
        const CCmdState s = state ? state(id) : CCmdState{};
        b->setEnabled(s.bEnabled);
        if (s.nCheck < 0 || !b->isCheckable())
            continue;
        if (auto* st = qobject_cast<CButtonST*>(b))
            st->SetCheck(s.nCheck);
        else
            b->setChecked(s.nCheck != 0);
    }
}

// CWndTitle

CWndTitle::CWndTitle(QWidget* pParent) : QLabel(pParent) {
    setAlignment(Qt::AlignCenter);
}
void CWndTitle::SetBkColor(COLORREF cr) {
    oxuctrl::SetFieldColours(this, cr, 0);
}

// CColourPicker

CColourPicker::CColourPicker(QWidget* pParent) : QPushButton(pParent) {
    connect(this, &QPushButton::clicked, this, &CColourPicker::OnClicked);
    SetColour(0);
}

void CColourPicker::SetColour(COLORREF cr) {
    m_cr = cr & 0xFFFFFF;
    QPixmap swatch(24, 12);
    swatch.fill(FromColorRef(m_cr));
    setIcon(QIcon(swatch));
    setIconSize(swatch.size());
}

void CColourPicker::Pick(COLORREF cr) {
    SetColour(cr);
    emit colourPicked(m_cr);
}

void CColourPicker::OnClicked() {
    const QColor c = QColorDialog::getColor(FromColorRef(m_cr), this);
    if (c.isValid())
        Pick(oxuctrl::ToColorRef(c));
}

// CComboBoxLine

CComboBoxLine::CComboBoxLine(QWidget* pParent) : QComboBox(pParent) {
    setIconSize(QSize(64, 12));
}

void CComboBoxLine::Initialize(int nKind, int) {
    m_nKind = nKind;
    clear();
}

QImage CComboBoxLine::LineSample(int nStyle, int nWidth, QSize size) {
    static const Qt::PenStyle kStyles[] = {Qt::SolidLine,   Qt::DashLine,       Qt::DotLine,
                                           Qt::DashDotLine, Qt::DashDotDotLine, Qt::NoPen};
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    const int nPenStyle = (nStyle >= 0 && nStyle < 6) ? nStyle : 0;
    QPen pen(Qt::black, std::max(1, nWidth), kStyles[nPenStyle], Qt::FlatCap);
    // Styled lines wider than one pixel are drawn solid, as the system's cosmetic pens did.
    if (nWidth > 1 && nPenStyle != 5)
        pen.setStyle(Qt::SolidLine);
    QPainter p(&img);
    p.setPen(pen);
    p.drawLine(2, size.height() / 2, size.width() - 3, size.height() / 2);
    return img;
}

int CComboBoxLine::AddLine(int nStyle, int nWidth) {
    addItem(QIcon(QPixmap::fromImage(LineSample(nStyle, nWidth, iconSize()))), QString());
    const int n = count() - 1;
    setItemData(n, nStyle, Qt::UserRole);
    setItemData(n, nWidth, Qt::UserRole + 1);
    return n;
}

int CComboBoxLine::StyleAt(int n) const {
    return itemData(n, Qt::UserRole).toInt();
}
int CComboBoxLine::WidthAt(int n) const {
    return itemData(n, Qt::UserRole + 1).toInt();
}

// CSplitResizeHandler

BOOL CSplitResizeHandler::AddDivider(int nId, QWidget* pFirst, QWidget* pSecond, int nFlags) {
    if (!pFirst || !pSecond)
        return FALSE;
    m_nId = nId;
    m_pFirst = pFirst;
    m_pSecond = pSecond;
    m_bSideBySide = (nFlags & kSideBySide) != 0;
    m_bDragging = false;
    return TRUE;
}

// The divider's first pixel lies at its share of the span less the divider itself, so that
// a share of one half leaves the first window the smaller half of an odd remainder.
QRect CSplitResizeHandler::GetDividerRect(int nId) const {
    if (nId != m_nId || m_rcSpan.isEmpty())
        return {};
    const int nAt = Start() + int(m_dShare * (Extent() - m_nThickness));
    return m_bSideBySide ? QRect(nAt, m_rcSpan.top(), m_nThickness, m_rcSpan.height())
                         : QRect(m_rcSpan.left(), nAt, m_rcSpan.width(), m_nThickness);
}

QRect CSplitResizeHandler::HitRect() const {
    const QRect d = GetDividerRect(m_nId);
    return m_bSideBySide ? d.adjusted(-2, 0, 2, 0) : d.adjusted(0, -2, 0, 2);
}

void CSplitResizeHandler::Relayout(QWidget*) {
    if (!m_pFirst || !m_pSecond || m_rcSpan.isEmpty())
        return;
    const QRect d = GetDividerRect(m_nId);
    const QRect& s = m_rcSpan;
    if (m_bSideBySide) {
        m_pFirst->setGeometry(s.left(), s.top(), std::max(1, d.left() - s.left()), s.height());
        m_pSecond->setGeometry(d.right() + 1, s.top(), std::max(1, s.right() - d.right()),
                               s.height());
    } else {
        m_pFirst->setGeometry(s.left(), s.top(), s.width(), std::max(1, d.top() - s.top()));
        m_pSecond->setGeometry(s.left(), d.bottom() + 1, s.width(),
                               std::max(1, s.bottom() - d.bottom()));
    }
}

BOOL CSplitResizeHandler::OnSetCursor(QWidget* pView, int x, int y) {
    const bool bOver = HitRect().contains(x, y) || m_bDragging;
    if (pView) {
        if (bOver)
            pView->setCursor(m_bSideBySide ? Qt::SplitHCursor : Qt::SplitVCursor);
        else
            pView->unsetCursor();
    }
    return bOver ? TRUE : FALSE;
}

BOOL CSplitResizeHandler::OnMouseMessage(QWidget* pView, QMouseEvent* e) {
    const QPoint pt = e->position().toPoint();
    switch (e->type()) {
        case QEvent::MouseButtonPress:
            if (e->button() != Qt::LeftButton || !HitRect().contains(pt))
                return FALSE;
            m_bDragging = true;
            m_nGrab = Along(pt) - Along(GetDividerRect(m_nId).topLeft());
            return TRUE;
        case QEvent::MouseMove: {
            OnSetCursor(pView, pt.x(), pt.y());
            if (!m_bDragging)
                return FALSE;
            // The divider's first pixel, kept so that each window keeps its least extent.
            const int nLow = Start() + kMinPane;
            const int nHigh = Start() + Extent() - kMinPane - m_nThickness;
            const int nRoom = Extent() - m_nThickness;
            if (nHigh <= nLow || nRoom <= 0)
                return TRUE;
            const int nAt = std::clamp(Along(pt) - m_nGrab, nLow, nHigh);
            // The share that gives this pixel back (a little inside it against rounding).
            m_dShare = (nAt - Start() + 0.5) / nRoom;
            Relayout(pView);
            return TRUE;
        }
        case QEvent::MouseButtonRelease:
            if (!m_bDragging || e->button() != Qt::LeftButton)
                return FALSE;
            m_bDragging = false;
            Relayout(pView);
            return TRUE;
        default:
            return FALSE;
    }
}
