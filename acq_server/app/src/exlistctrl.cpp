#include "acq_server/app/exlistctrl.h"

#include <QLabel>
#include <algorithm>
#include <cstdint>

#include "platform/settings.h"

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

// List

CExListCtrl::CExListCtrl(QWidget* pParent) : QTreeView(pParent), m_pHeader(new CExHeaderCtrl(this)) {
    setHeader(m_pHeader);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_pHeader, &QHeaderView::sectionClicked, this, &CExListCtrl::OnHeaderClick);
    m_pCaption = new QLabel(this);
    m_pCaption->setObjectName("caption");
    m_pCaption->setStyleSheet("background: #d4d0c8; border-bottom: 1px solid white; padding-left: 6px;");
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
    m_pCaption->setText(strTitle);
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

int CExListCtrl::SelectedRow() const {
    const QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
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
    if (!m_bSortArrows || nColumn < 0) {
        m_pHeader->setSortIndicatorShown(false);
        return;
    }
    m_pHeader->setSortIndicatorShown(true);
    m_pHeader->setSortIndicator(nColumn, m_nSortState > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}
