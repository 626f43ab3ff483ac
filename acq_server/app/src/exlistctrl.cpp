#include "acq_server/app/exlistctrl.h"

#include <QFontDatabase>
#include <QPainter>
#include <algorithm>
#include <cstdint>

#include "acq_server/app/icons.h"
#include "platform/settings.h"

namespace {

// The caption band above the rows; the list paints it.
class CCaptionBand : public QWidget {
public:
    explicit CCaptionBand(CExListCtrl& list) : QWidget(&list), m_list(list) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        m_list.DrawCaption(painter, rect());
    }

private:
    CExListCtrl& m_list;
};

// An arrow bitmap with its white made transparent.
QPixmap Masked(const QPixmap& bitmap) {
    QPixmap pm = bitmap;
    pm.setMask(bitmap.createMaskFromColor(Qt::white));
    return pm;
}

}  // namespace

// Model

void CExListModel::SetColumns(const QStringList& texts, const std::vector<Qt::Alignment>& formats) {
    beginResetModel();
    m_headings = texts;
    m_formats = formats;
    m_formats.resize(static_cast<std::size_t>(texts.size()), Qt::AlignLeft);
    endResetModel();
}

int CExListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headings.size());
}

QVariant CExListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_headings.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_headings[section];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_formats[static_cast<std::size_t>(section)] | Qt::AlignVCenter);
    return {};
}

// Header

CExHeaderCtrl::CExHeaderCtrl(QWidget* pParent) : QHeaderView(Qt::Horizontal, pParent) {
    setSectionsMovable(true);
    setSectionsClickable(true);
    setStretchLastSection(false);
}

std::vector<int> CExHeaderCtrl::Order() const {
    std::vector<int> order;
    for (int v = 0; v < count(); ++v)
        order.push_back(logicalIndex(v));
    return order;
}

bool CExHeaderCtrl::ApplyOrder(const std::vector<int>& order) {
    if (static_cast<int>(order.size()) != count() || order.empty())
        return false;
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < static_cast<int>(sorted.size()); ++i) {
        if (sorted[static_cast<std::size_t>(i)] != i)
            return false;
    }
    for (int v = 0; v < static_cast<int>(order.size()); ++v)
        moveSection(visualIndex(order[static_cast<std::size_t>(v)]), v);
    return true;
}

bool CExHeaderCtrl::SaveOrder(const std::string& strKeyPath, const std::string& strTitle) const {
    std::vector<std::uint8_t> data;
    for (int n : Order()) {
        const auto u = static_cast<std::uint32_t>(n);
        for (int b = 0; b < 4; ++b)
            data.push_back(static_cast<std::uint8_t>(u >> (8 * b)));
    }
    platform::CSettingsStore store(strKeyPath);
    return store.WriteBinary(strTitle.c_str(), (strTitle + "_Order").c_str(), data.data(),
                             data.size());
}

bool CExHeaderCtrl::RestoreOrder(const std::string& strKeyPath, const std::string& strTitle) {
    std::vector<std::uint8_t> data;
    platform::CSettingsStore store(strKeyPath);
    if (!store.GetBinary(strTitle.c_str(), (strTitle + "_Order").c_str(), data) ||
        data.size() % 4 != 0)
        return false;
    std::vector<int> order;
    for (std::size_t i = 0; i < data.size(); i += 4) {
        const std::uint32_t u = data[i] | data[i + 1] << 8 | data[i + 2] << 16 |
                                static_cast<std::uint32_t>(data[i + 3]) << 24;
        order.push_back(static_cast<int>(u));
    }
    return ApplyOrder(order);
}

void CExHeaderCtrl::SetArrow(int nSection, int nImage) {
    const bool bValid =
        nSection >= 0 && nImage >= 0 && nImage < static_cast<int>(m_arrowImages.size());
    m_nArrowSection = bValid ? nSection : -1;
    m_nArrowImage = bValid ? nImage : -1;
    viewport()->update();
}

void CExHeaderCtrl::paintSection(QPainter* pPainter, const QRect& rect, int nSection) const {
    QHeaderView::paintSection(pPainter, rect, nSection);
    const int nImage = Arrow(nSection);
    if (nImage < 0)
        return;
    const QPixmap& pm = m_arrowImages[static_cast<std::size_t>(nImage)];
    const int x = rect.right() - pm.width() - 6;
    if (x <= rect.left())
        return;
    pPainter->save();
    pPainter->setClipRect(rect);
    pPainter->drawPixmap(x, rect.center().y() - pm.height() / 2, pm);
    pPainter->restore();
}

// List

CExListCtrl::CExListCtrl(QWidget* pParent)
    : QTreeView(pParent), m_pHeader(new CExHeaderCtrl(this)) {
    setHeader(m_pHeader);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_pHeader, &QHeaderView::sectionClicked, this, &CExListCtrl::OnHeaderClick);
    // The system's message font, of normal weight.
    m_captionFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    m_captionFont.setWeight(QFont::Normal);
    m_backColor = palette().color(QPalette::Base);
    m_textColor = palette().color(QPalette::Text);
    m_pCaption = new CCaptionBand(*this);
    m_pCaption->setObjectName("caption");
    ShowCaption(true);
}

CExListCtrl::~CExListCtrl() {
    if (m_bSubclassed)
        m_pHeader->SaveOrder(m_strKeyPath, m_strTitle.toStdString());
}

void CExListCtrl::SetListModel(CExListModel* pModel) {
    m_pModel = pModel;
    setModel(pModel);
}

void CExListCtrl::SetTitle(const QString& strTitle) {
    m_strTitle = strTitle;
    m_pCaption->update();
    // The arrows once: ascending from bitmap 139, descending from 138, white transparent.
    if (!m_bSortArrows)
        m_pHeader->SetArrowImages({Masked(qaricons::Bitmap(139)), Masked(qaricons::Bitmap(138))});
    m_bSortArrows = true;
    m_bSubclassed = true;
    m_pHeader->RestoreOrder(m_strKeyPath, strTitle.toStdString());
    UpdateArrows();
}

void CExListCtrl::ShowCaption(bool bShow) {
    m_bCaption = bShow;
    setViewportMargins(0, bShow ? kCaptionHeight : 0, 0, 0);
    m_pCaption->setVisible(bShow);
    m_pCaption->setGeometry(0, 0, width(), kCaptionHeight);
}

void CExListCtrl::resizeEvent(QResizeEvent* pEvent) {
    QTreeView::resizeEvent(pEvent);
    m_pCaption->setGeometry(frameWidth(), frameWidth(), width() - 2 * frameWidth(), kCaptionHeight);
}

void CExListCtrl::SetColumns(const QStringList& texts, const std::vector<int>& widths,
                             const std::vector<Qt::Alignment>& formats) {
    if (!m_pModel)
        return;
    m_pModel->SetColumns(texts, formats);
    for (int i = 0; i < texts.size() && i < static_cast<int>(widths.size()); ++i)
        m_pHeader->resizeSection(i, widths[static_cast<std::size_t>(i)]);
}

void CExListCtrl::SetImageList(const QPixmap& bitmap) {
    if (m_pModel)
        m_pModel->SetRowImage(bitmap);
}

void CExListCtrl::SetBackColor(const QColor& color) {
    m_backColor = color;
    QPalette pal = palette();
    pal.setColor(QPalette::Base, color);
    setPalette(pal);
}

void CExListCtrl::SetTextColor(const QColor& color) {
    m_textColor = color;
    QPalette pal = palette();
    pal.setColor(QPalette::Text, color);
    setPalette(pal);
}

quintptr CExListCtrl::GetSelectedItemData() const {
    const int nRow = SelectedRow();
    if (nRow < 0 || !m_pModel)
        return 0;
    return static_cast<quintptr>(m_pModel->index(nRow, 0).data(Qt::UserRole).toULongLong());
}

void CExListCtrl::DrawCaption(QPainter& painter, const QRect& rect) const {
    painter.fillRect(rect, QColor(212, 208, 200));
    painter.setPen(Qt::white);
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(QColor(128, 128, 128));
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());
    painter.setFont(m_captionFont);
    painter.setPen(Qt::black);
    painter.drawText(rect.adjusted(6, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter, m_strTitle);
}

int CExListCtrl::SelectedRow() const {
    const QModelIndexList rows =
        selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CExListCtrl::OnHeaderClick(int nColumn) {
    if (std::abs(m_nSortState) == nColumn + 1)
        m_nSortState = -m_nSortState;
    else
        m_nSortState = nColumn + 1;
    Sort();
    UpdateArrows();
}

void CExListCtrl::UpdateArrows() {
    const int nColumn = std::abs(m_nSortState) - 1;
    m_pHeader->setSortIndicatorShown(false);
    if (!m_bSortArrows || nColumn < 0) {
        m_pHeader->SetArrow(-1, -1);
        return;
    }
    m_pHeader->SetArrow(nColumn, m_nSortState > 0 ? 0 : 1);
}
