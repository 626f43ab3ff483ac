// The print dialogs: flags, pens as (style, width, colour), monochrome, and the printers of the
// print system.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QPainter>
#include <QTest>

#include "oxuctrl/oxuctrl.h"
#include "testsupport/qtapp.h"
#include "viewers/common/printdialogs.h"

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

template <class T>
T* Child(QWidget& w, int nId) {
    T* p = w.findChild<T*>(QString::number(nId));
    EXPECT_NE(p, nullptr) << nId;
    return p;
}

// Each group's width list (4069, 4072, 4075) sets the pen's width and its style list (4070,
// 4073, 4076) its style; the pens come back as (style, width, colour).
TEST(PrintDialog, TheStyleListSetsTheStyleAndTheWidthListTheWidth) {
    CEkgPrintDialog dlg;
    dlg.m_pens = {{{1, 3, 0x0000FF}, {2, 0, 0x00FF00}, {4, 6, 0xFF0000}}};
    dlg.m_bPrintParameters = 0;
    dlg.Load();
    auto* widths1 = Child<CComboBoxLine>(dlg, 4069);
    auto* styles1 = Child<CComboBoxLine>(dlg, 4070);
    ASSERT_EQ(widths1->count(), 7);
    ASSERT_EQ(styles1->count(), 5);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(widths1->WidthAt(i), i);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(styles1->StyleAt(i), i);
    EXPECT_EQ(widths1->currentIndex(), 3);
    EXPECT_EQ(styles1->currentIndex(), 1);
    EXPECT_EQ(Child<CComboBoxLine>(dlg, 4075)->currentIndex(), 6);
    EXPECT_EQ(Child<CComboBoxLine>(dlg, 4076)->currentIndex(), 4);
    EXPECT_EQ(Child<CColourPicker>(dlg, 4068)->GetColour(), 0x0000FFu);
    EXPECT_EQ(Child<CColourPicker>(dlg, 4074)->GetColour(), 0xFF0000u);
    EXPECT_FALSE(Child<QCheckBox>(dlg, 1061)->isChecked());
    // The trace made dotted and 2 wide; grid 2 with nothing selected: solid, width 1.
    Child<CComboBoxLine>(dlg, 4076)->setCurrentIndex(2);
    Child<CComboBoxLine>(dlg, 4075)->setCurrentIndex(2);
    Child<CComboBoxLine>(dlg, 4073)->setCurrentIndex(-1);
    Child<CComboBoxLine>(dlg, 4072)->setCurrentIndex(-1);
    Child<CColourPicker>(dlg, 4071)->Pick(0x123456);
    dlg.accept();
    EXPECT_EQ(dlg.m_pens[0], (CPrintPen{1, 3, 0x0000FF}));
    EXPECT_EQ(dlg.m_pens[1], (CPrintPen{0, 1, 0x123456}));
    EXPECT_EQ(dlg.m_pens[2], (CPrintPen{2, 2, 0xFF0000}));
}

// An entry of a line list as its drop-down draws it.
QImage DrawnEntry(CComboBoxLine& list, int nIndex) {
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 120, 20);
    option.state = QStyle::State_Enabled;
    option.decorationSize = list.iconSize();
    option.font = list.font();
    option.palette = list.palette();
    option.widget = list.view();
    QImage img(option.rect.size(), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter painter(&img);
    list.view()->itemDelegate()->paint(&painter, option, list.model()->index(nIndex, 0));
    return img;
}

// The dark pixels of the image's darkest row: from its first to its last, how many are not
// dark, and how long the line is.
struct CDrawnLine {
    int nLength = 0, nGaps = 0;
};
CDrawnLine DarkestRow(const QImage& img) {
    auto dark = [&](int x, int y) { return qGray(img.pixel(x, y)) < 100; };
    CDrawnLine best;
    int nMost = -1;
    for (int y = 0; y < img.height(); ++y) {
        int nFirst = -1, nLast = -1, nDark = 0;
        for (int x = 0; x < img.width(); ++x) {
            if (dark(x, y)) {
                nFirst = nFirst < 0 ? x : nFirst;
                nLast = x;
                ++nDark;
            }
        }
        if (nDark > nMost) {
            nMost = nDark;
            best.nLength = nFirst < 0 ? 0 : nLast - nFirst + 1;
            best.nGaps = best.nLength - nDark;
        }
    }
    return best;
}

// A width list shows each width with a solid line: a sample is a width, not a dash.
TEST(PrintDialog, TheWidthListsDrawSolidSamples) {
    CEkgPrintDialog dlg;
    dlg.Load();
    for (int nId : {4069, 4072, 4075}) {
        auto* list = Child<CComboBoxLine>(dlg, nId);
        ASSERT_EQ(list->count(), 7);
        for (int i = 0; i < list->count(); ++i) {
            const CDrawnLine line = DarkestRow(DrawnEntry(*list, i));
            EXPECT_GE(line.nLength, 40) << nId << " entry " << i;
            EXPECT_EQ(line.nGaps, 0) << nId << " entry " << i;
        }
    }
    // The style lists still show their dashes.
    const CDrawnLine dashed = DarkestRow(DrawnEntry(*Child<CComboBoxLine>(dlg, 4070), 1));
    EXPECT_GE(dashed.nLength, 40);
    EXPECT_GT(dashed.nGaps, 0);
}

TEST(PrintDialog, MonochromeGivesSolidGreyGridsAndABlackTraceWhateverThePensShow) {
    CEkgPrintDialog dlg;
    dlg.m_pens = {{{3, 4, 0x0000FF}, {3, 4, 0x00FF00}, {4, 0, 0xFF0000}}};
    dlg.Load();
    auto* mono = Child<QCheckBox>(dlg, 4087);
    // Opening does not follow the box; a click does.
    EXPECT_TRUE(Child<CComboBoxLine>(dlg, 4070)->isEnabled());
    dlg.show();
    QTest::mouseClick(mono, Qt::LeftButton, {}, QPoint(5, mono->height() / 2));
    ASSERT_TRUE(mono->isChecked());
    for (int id = 4068; id <= 4076; ++id)
        EXPECT_FALSE(Child<QWidget>(dlg, id)->isEnabled()) << id;
    dlg.accept();
    EXPECT_EQ(dlg.m_bMonochrome, 1);
    // Grids solid and 1 wide in 0x282828 and 0x7F7F7F; the trace solid, 2 wide, black.
    EXPECT_EQ(dlg.m_pens[0], (CPrintPen{0, 1, 0x282828}));
    EXPECT_EQ(dlg.m_pens[1], (CPrintPen{0, 1, 0x7F7F7F}));
    EXPECT_EQ(dlg.m_pens[2], (CPrintPen{0, 2, 0x000000}));
    QTest::mouseClick(mono, Qt::LeftButton, {}, QPoint(5, mono->height() / 2));
    EXPECT_TRUE(Child<QWidget>(dlg, 4075)->isEnabled());
}

TEST(PrintDialog, FlagsCopiesAndTheFieldColours) {
    CEkgPrintDialog ekg;
    ekg.m_bPrintInterpretation = 0;
    ekg.m_bPrintComments = 1;
    ekg.m_bPrintPacemaker = 0;
    ekg.m_nCopies = 2;
    ekg.Load();
    EXPECT_FALSE(Child<QCheckBox>(ekg, 1060)->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(ekg, 1062)->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(ekg, 1063)->isChecked());
    EXPECT_EQ(Child<CExEdit>(ekg, 1154)->text(), "2");
    EXPECT_EQ(Child<CExComboBox>(ekg, 1139)->palette().color(QPalette::Base),
              QColor(0xEE, 0xEE, 0xFF));
    Child<QCheckBox>(ekg, 1060)->setChecked(true);
    Child<QCheckBox>(ekg, 1063)->setChecked(true);
    Child<CExEdit>(ekg, 1154)->setText("3");
    ekg.accept();
    EXPECT_EQ(ekg.m_bPrintInterpretation, 1);
    EXPECT_EQ(ekg.m_bPrintPacemaker, 1);
    EXPECT_EQ(ekg.m_nCopies, 3);

    CSpiroPrintDialog spiro;
    EXPECT_EQ(spiro.findChild<QCheckBox*>("1061"), nullptr);
    EXPECT_EQ(spiro.findChild<QCheckBox*>("1063"), nullptr);
    spiro.m_bPrintComments = 0;
    spiro.Load();
    Child<QCheckBox>(spiro, 1062)->setChecked(true);
    spiro.accept();
    EXPECT_EQ(spiro.m_bPrintComments, 1);
}

}  // namespace
