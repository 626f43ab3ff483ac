#pragma once
// A report-view list on Qt's item views: columns from arrays, a small image per row, an
// optional caption band, sort arrows in the header (bitmaps 139 and 138), and a column
// order kept in the application profile under the list's title ("<title>_Order", one
// 32-bit column index per column in display order). Sorting itself is the derived list's
// (Sort).
#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QPixmap>
#include <QStringList>
#include <QTreeView>
#include <string>
#include <vector>

// The model side every extended list uses: column headings and alignments.
class CExListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void SetColumns(const QStringList& texts, const std::vector<Qt::Alignment>& formats);
    void SetRowImage(const QPixmap& pm) { m_rowImage = pm; }
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

protected:
    QPixmap m_rowImage;
    QStringList m_headings;
    std::vector<Qt::Alignment> m_formats;
};

// Header that stores and restores the column order.
class CExHeaderCtrl : public QHeaderView {
    Q_OBJECT
public:
    explicit CExHeaderCtrl(QWidget* pParent = nullptr);
    // The display order (logical index per visual position).
    std::vector<int> Order() const;
    // Applies an order; one that does not fit the columns (length, or not each column once)
    // is ignored: FALSE.
    bool ApplyOrder(const std::vector<int>& order);
    bool SaveOrder(const std::string& strKeyPath, const std::string& strTitle) const;
    bool RestoreOrder(const std::string& strKeyPath, const std::string& strTitle);

    // The sort-arrow images (0 ascending, 1 descending), and the one a column shows at the
    // right of its text (-1: none, every other column only its text).
    void SetArrowImages(std::vector<QPixmap> images) { m_arrowImages = std::move(images); }
    void SetArrow(int nSection, int nImage);
    int Arrow(int nSection) const { return nSection == m_nArrowSection ? m_nArrowImage : -1; }

protected:
    void paintSection(QPainter* pPainter, const QRect& rect, int nSection) const override;

private:
    std::vector<QPixmap> m_arrowImages;
    int m_nArrowSection = -1;
    int m_nArrowImage = -1;
};

class CExListCtrl : public QTreeView {
    Q_OBJECT
public:
    static constexpr int kCaptionHeight = 24;

    explicit CExListCtrl(QWidget* pParent = nullptr);
    ~CExListCtrl() override;

    void SetListModel(CExListModel* pModel);
    CExListModel* ListModel() const { return m_pModel; }
    CExHeaderCtrl* Header() const { return m_pHeader; }

    // The profile (settings key path) that keeps the column order.
    void SetProfileKey(std::string strKeyPath) { m_strKeyPath = std::move(strKeyPath); }
    // Title: caption text and profile section of the column order; turns sort arrows on and
    // restores the stored order.
    virtual void SetTitle(const QString& strTitle);
    QString Title() const { return m_strTitle; }
    virtual void ShowCaption(bool bShow);
    bool IsCaptionShown() const { return m_bCaption; }
    virtual void SetColumns(const QStringList& texts, const std::vector<int>& widths,
                            const std::vector<Qt::Alignment>& formats);
    virtual void SetImageList(const QPixmap& bitmap);
    // Colours of the rows' background and text (the system's window colours by default).
    virtual void SetBackColor(const QColor& color);
    virtual void SetTextColor(const QColor& color);
    QColor BackColor() const { return m_backColor; }
    QColor TextColor() const { return m_textColor; }
    // The item data (Qt::UserRole of column 0) of the selected row, 0 without a selection.
    virtual quintptr GetSelectedItemData() const;
    // Paints the caption band: a framed band in light grey and white, the title in the
    // caption font.
    virtual void DrawCaption(QPainter& painter, const QRect& rect) const;
    const QFont& CaptionFont() const { return m_captionFont; }
    // The selected row, -1 without a selection.
    int SelectedRow() const;

    // 0 unsorted; +n column n-1 ascending; -n descending.
    int SortState() const { return m_nSortState; }
    bool SortArrowsEnabled() const { return m_bSortArrows; }
    // A click on header column c: the sorted column reverses, any other sorts ascending.
    void OnHeaderClick(int nColumn);

protected:
    // The ordering of the rows by the sort state; no work of its own.
    virtual void Sort() {}
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    void UpdateArrows();

    CExListModel* m_pModel = nullptr;
    CExHeaderCtrl* m_pHeader;
    QWidget* m_pCaption = nullptr;
    QFont m_captionFont;
    QColor m_backColor;
    QColor m_textColor;
    QString m_strTitle;
    std::string m_strKeyPath = "Corvane\\Qar Server";
    int m_nSortState = -1;
    bool m_bSortArrows = false;
    bool m_bCaption = true;
    bool m_bSubclassed = false;
};
