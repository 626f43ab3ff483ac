// The received-data list on its item view: rows, viewer launching, menu by extension,
// header sorting and the stored column order.
#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>

#include "acq_server/app/commands.h"
#include "acq_server/app/datalistctrl.h"
#include "acq_server/app/icons.h"
#include "acq_server/settings/serversettings.h"
#include "platform/settings.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"

namespace {

class DataListTest : public ::testing::Test {
protected:
    DataListTest() : m_config("XDG_CONFIG_HOME", (m_dir / "config").c_str()) {}
    void SetUp() override {
        testsupport::WidgetApp();
        CDataListCtrl::SetLauncher([this](const std::vector<std::string>& argv) {
            m_launched.push_back(argv);
            return true;
        });
    }
    void TearDown() override { CDataListCtrl::SetLauncher(nullptr); }
    void SetViewer(const char* key, const char* value) {
        platform::CSettingsStore(acqsettings::kKeyPath).WriteString("Environment", key, value);
    }
    void Select(CDataListCtrl& list, int nRow) {
        list.setCurrentIndex(list.model()->index(nRow, 0));
    }

    testsupport::CTempDir m_dir;
    testsupport::CEnvScope m_config;
    std::vector<std::vector<std::string>> m_launched;
};

class CSortingList : public CExListCtrl {
public:
    using CExListCtrl::CExListCtrl;
    std::vector<int> sorts;

protected:
    void Sort() override { sorts.push_back(SortState()); }
};

class CPlainModel : public CExListModel {
public:
    using CExListModel::CExListModel;
    int rowCount(const QModelIndex& = {}) const override { return 2; }
    QVariant data(const QModelIndex& i, int role) const override {
        return role == Qt::DisplayRole ? QVariant(i.row() * 10 + i.column()) : QVariant();
    }
};

}  // namespace

TEST_F(DataListTest, ColumnsAndThe10001stRow) {
    CDataListCtrl list;
    list.Init();
    EXPECT_EQ(list.objectName(), "59648");
    ASSERT_EQ(list.model()->columnCount(), 3);
    EXPECT_EQ(list.model()->headerData(0, Qt::Horizontal).toString(), "Data/Hora");
    EXPECT_EQ(list.model()->headerData(1, Qt::Horizontal).toString(), "ID do Paciente");
    EXPECT_EQ(list.model()->headerData(2, Qt::Horizontal).toString(), "Nome do arquivo");
    EXPECT_EQ(list.header()->sectionSize(0), 140);
    EXPECT_EQ(list.header()->sectionSize(2), 500);
    EXPECT_FALSE(list.IsCaptionShown());
    for (std::size_t i = 0; i <= CRecordList::kMaxRows; ++i)
        list.AddRecord({"2026/03/04 05:06", std::to_string(i), "/d/" + std::to_string(i) + ".ekg"});
    EXPECT_EQ(list.model()->rowCount(), 10000);
    EXPECT_EQ(list.model()->index(0, 1).data().toString(), "10000");
    EXPECT_EQ(list.model()->index(9999, 1).data().toString(), "1");
    EXPECT_FALSE(list.model()->index(0, 0).data(Qt::DecorationRole).isNull());
}

TEST_F(DataListTest, DoubleClickOpensByExtensionWithThePathAsOneArgument) {
    SetViewer("Lindar", "/opt/v/Lindar");
    SetViewer("Pulmetra", "/opt/v/Pulmetra");
    CDataListCtrl list;
    list.Init();
    list.AddRecord({"t", "R", "/d/with blank/r.raw"});
    list.AddRecord({"t", "S", "/d/with blank/s_1.FVC"});
    list.AddRecord({"t", "E", "/d/with blank/e_1.ekg"});
    testsupport::CScriptedNotifier notifier;
    // Nothing selected: nothing happens.
    list.OnOpenEcg();
    EXPECT_TRUE(m_launched.empty());
    Select(list, 0);
    list.OnDoubleClick();
    Select(list, 1);
    list.OnDoubleClick();
    ASSERT_EQ(m_launched.size(), 2u);
    EXPECT_EQ(m_launched[0], (std::vector<std::string>{"/opt/v/Lindar", "/d/with blank/e_1.ekg"}));
    EXPECT_EQ(m_launched[1],
              (std::vector<std::string>{"/opt/v/Pulmetra", "/d/with blank/s_1.FVC"}));
    Select(list, 2);
    list.OnDoubleClick();
    EXPECT_EQ(m_launched.size(), 2u);
    ASSERT_EQ(notifier.calls.size(), 1u);
    EXPECT_EQ(notifier.calls[0].text, "This file is not EKG or SPIRO file.");
    // The view's double click on the first row.
    Select(list, 0);
    emit list.doubleClicked(list.model()->index(0, 1));
    ASSERT_EQ(m_launched.size(), 3u);
    EXPECT_EQ(m_launched[2][0], "/opt/v/Lindar");
    // No viewer set: the desktop's opener, read afresh.
    SetViewer("Lindar", "");
    Select(list, 0);
    list.OnDoubleClick();
    EXPECT_EQ(m_launched.back(), (std::vector<std::string>{"xdg-open", "/d/with blank/e_1.ekg"}));
}

TEST_F(DataListTest, MenuOffersTheViewerOfTheExtension) {
    using namespace qarcmd;
    EXPECT_EQ(CDataListCtrl::ContextCommands("/a/x.ekg"), std::vector<int>{ID_OPEN_ECG});
    EXPECT_EQ(CDataListCtrl::ContextCommands("/a/x.EKG"), std::vector<int>{ID_OPEN_ECG});
    EXPECT_EQ(CDataListCtrl::ContextCommands("/a/x.fvc"), std::vector<int>{ID_OPEN_SPIRO});
    EXPECT_EQ(CDataListCtrl::ContextCommands("/a/x.raw"), std::vector<int>{ID_OPEN_SPIRO});
    EXPECT_EQ(CDataListCtrl::ViewerArgs("", "/a b/c.ekg"),
              (std::vector<std::string>{"xdg-open", "/a b/c.ekg"}));
}

TEST_F(DataListTest, HeaderClicksSortAndReverse) {
    CPlainModel model;
    CSortingList list;
    list.SetListModel(&model);
    list.SetColumns({"A", "B", "C"}, {50, 50, 50}, {});
    // No title: no arrows, no stored order.
    EXPECT_FALSE(list.SortArrowsEnabled());
    EXPECT_EQ(list.SortState(), -1);
    list.show();
    auto click = [&](int nColumn) { emit list.header()->sectionClicked(nColumn); };
    click(1);
    click(1);
    click(0);
    EXPECT_EQ(list.sorts, (std::vector<int>{2, -2, 1}));
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(list.Header()->Arrow(c), -1);
    list.SetTitle("Lista");
    EXPECT_TRUE(list.SortArrowsEnabled());
    // The sorted column shows image 0 (ascending) or 1 (descending), the others their text.
    click(2);
    EXPECT_EQ(list.Header()->Arrow(2), 0);
    EXPECT_EQ(list.Header()->Arrow(0), -1);
    click(2);
    EXPECT_EQ(list.Header()->Arrow(2), 1);
    EXPECT_EQ(list.SortState(), -3);
    click(0);
    EXPECT_EQ(list.Header()->Arrow(0), 0);
    EXPECT_EQ(list.Header()->Arrow(2), -1);
    EXPECT_FALSE(list.header()->isSortIndicatorShown());
    // The arrow drawn at the right of the column's text.
    const QImage header = list.header()->grab().toImage();
    const int nRight = list.header()->sectionViewportPosition(0) + list.header()->sectionSize(0);
    bool bDark = false;
    for (int x = nRight - 20; x < nRight; ++x)
        for (int y = 0; y < header.height(); ++y)
            bDark = bDark || qGray(header.pixel(x, y)) < 100;
    EXPECT_TRUE(bDark);
}

TEST_F(DataListTest, ArrowsColoursSelectedItemDataAndCaption) {
    // The arrows: bitmaps 139 (up) and 138 (down), 9 x 5, their white transparent.
    const QImage up = qaricons::Bitmap(139).toImage(), down = qaricons::Bitmap(138).toImage();
    ASSERT_EQ(up.size(), QSize(9, 5));
    ASSERT_EQ(down.size(), QSize(9, 5));
    EXPECT_NE(up.pixel(4, 0), QColor(Qt::white).rgb());
    EXPECT_EQ(up.pixel(0, 0), QColor(Qt::white).rgb());
    EXPECT_NE(down.pixel(4, 4), QColor(Qt::white).rgb());
    EXPECT_EQ(down.pixel(0, 4), QColor(Qt::white).rgb());

    class CDataModel : public CPlainModel {
    public:
        QVariant data(const QModelIndex& i, int role) const override {
            return role == Qt::UserRole ? QVariant(qulonglong(100 + i.row()))
                                        : CPlainModel::data(i, role);
        }
    } model;
    CExListCtrl list;
    list.SetListModel(&model);
    list.SetColumns({"A", "B"}, {50, 50}, {});
    EXPECT_EQ(list.GetSelectedItemData(), 0u);
    list.setCurrentIndex(model.index(1, 0));
    EXPECT_EQ(list.GetSelectedItemData(), 101u);
    // Colours: the system's window colours until set.
    EXPECT_EQ(list.BackColor(), list.palette().color(QPalette::Base));
    list.SetBackColor(QColor(10, 20, 30));
    list.SetTextColor(QColor(200, 210, 220));
    EXPECT_EQ(list.palette().color(QPalette::Base), QColor(10, 20, 30));
    EXPECT_EQ(list.palette().color(QPalette::Text), QColor(200, 210, 220));
    // The caption band: light grey and white, the title in the caption font (normal weight).
    EXPECT_EQ(list.CaptionFont().weight(), QFont::Normal);
    list.SetTitle("Dados");
    QImage band(200, CExListCtrl::kCaptionHeight, QImage::Format_RGB32);
    band.fill(Qt::red);
    {
        QPainter painter(&band);
        list.DrawCaption(painter, band.rect());
    }
    EXPECT_EQ(band.pixel(100, 0), QColor(Qt::white).rgb());
    EXPECT_EQ(band.pixel(150, 12), QColor(212, 208, 200).rgb());
    int nText = 0;
    for (int x = 0; x < 60; ++x)
        for (int y = 2; y < CExListCtrl::kCaptionHeight - 2; ++y)
            nText += qGray(band.pixel(x, y)) < 100;
    EXPECT_GT(nText, 10);
}

TEST_F(DataListTest, ColumnOrderIsStoredUnderTheTitle) {
    CPlainModel model;
    {
        CExListCtrl list;
        list.SetListModel(&model);
        list.SetColumns({"A", "B", "C"}, {50, 50, 50}, {});
        list.SetTitle("Lista");
        list.header()->moveSection(2, 0);  // C A B
    }
    std::vector<std::uint8_t> data;
    platform::CSettingsStore store(acqsettings::kKeyPath);
    ASSERT_TRUE(store.GetBinary("Lista", "Lista_Order", data));
    EXPECT_EQ(data, (std::vector<std::uint8_t>{2, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}));
    {
        CExListCtrl list;
        list.SetListModel(&model);
        list.SetColumns({"A", "B", "C"}, {50, 50, 50}, {});
        list.SetTitle("Lista");
        EXPECT_EQ(list.Header()->Order(), (std::vector<int>{2, 0, 1}));
    }
    // An order that does not fit the columns is ignored.
    const std::vector<std::vector<std::uint8_t>> bad = {
        {1, 0, 0, 0, 0, 0, 0, 0},              // two of three
        {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0},  // a column twice
        {7, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0},  // no such column
        {1, 0, 0, 0, 0, 0, 0},                 // not whole numbers
    };
    for (const auto& b : bad) {
        store.WriteBinary("Other", "Other_Order", b.data(), b.size());
        CExListCtrl list;
        list.SetListModel(&model);
        list.SetColumns({"A", "B", "C"}, {50, 50, 50}, {});
        list.SetTitle("Other");
        EXPECT_EQ(list.Header()->Order(), (std::vector<int>{0, 1, 2}));
    }
}
