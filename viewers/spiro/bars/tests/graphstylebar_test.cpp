// The graph-style bar: its default entries are the view's default pens (as values), every
// choice sends the view's item with the value the view applies, nothing is sent without a
// choice, the frame's codes 17 and 30, and its three frame commands.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <vector>

#include "pulmetra/bars/graphstylebar.h"
#include "testsupport/qtapp.h"

using G = CGraphStyleBar;

namespace {

struct PulmetraGraphStyleBar : ::testing::Test {
    std::vector<std::pair<int, int>> sent;
    std::vector<UINT> commands;
    G bar{[this](int nItem, int nValue) {
        sent.emplace_back(nItem, nValue);
        return 0L;
    }};
    void SetUp() override {
        bar.SetCommandTarget([this](UINT n) { commands.push_back(n); });
    }
};

// The view's default pens, from its own table: (style, width, colour) of grid, curve,
// post curve, predicted curve.
struct ViewPen {
    int nStyle, nWidth;
    COLORREF cr;
};
constexpr ViewPen kViewPens[] = {
    {2, 1, 0x000000}, {0, 2, 0x000000}, {0, 2, 0x00FF00}, {0, 1, 0x0000FF}};
constexpr G::Pen kPens[] = {G::PEN_GRID, G::PEN_PRE, G::PEN_POST, G::PEN_PREDICTED};

TEST_F(PulmetraGraphStyleBar, TheDefaultEntriesAreTheViewsDefaultPens) {
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const G::Pen pen = kPens[i];
        EXPECT_EQ(bar.Picker(pen)->GetColour(), kViewPens[i].cr);
        EXPECT_EQ(bar.StyleList(pen)->StyleAt(bar.StyleList(pen)->currentIndex()),
                  kViewPens[i].nStyle);
        EXPECT_EQ(bar.WidthList(pen)->WidthAt(bar.WidthList(pen)->currentIndex()),
                  kViewPens[i].nWidth);
    }
    EXPECT_EQ(bar.ZoomList()->currentText(), "3");
    EXPECT_TRUE(sent.empty());
    // Picked as they stand, the default entries send exactly the view's default pens.
    for (int i = 0; i < 4; ++i) {
        const G::Pen pen = kPens[i];
        bar.PickColour(pen, bar.Picker(pen)->GetColour());
        emit bar.StyleList(pen)->activated(bar.StyleList(pen)->currentIndex());
        emit bar.WidthList(pen)->activated(bar.WidthList(pen)->currentIndex());
    }
    emit bar.ZoomList()->activated(bar.ZoomList()->currentIndex());
    const std::vector<std::pair<int, int>> expected = {
        {1, 0x000000}, {2, 2},  {3, 1},         {11, 0x000000}, {12, 0}, {13, 2}, {14, 0x00FF00},
        {15, 0},       {16, 2}, {21, 0x0000FF}, {22, 0},        {23, 1}, {17, 3}};
    EXPECT_EQ(sent, expected);
}

TEST_F(PulmetraGraphStyleBar, TheListsHoldTheFiveStylesAndTheSevenWidths) {
    for (G::Pen pen : kPens) {
        CComboBoxLine* s = bar.StyleList(pen);
        CComboBoxLine* w = bar.WidthList(pen);
        EXPECT_EQ(s->objectName(), QString::number(G::StyleListId(pen)));
        EXPECT_EQ(w->objectName(), QString::number(G::WidthListId(pen)));
        EXPECT_EQ(s->Kind(), 1);
        EXPECT_EQ(w->Kind(), 0);
        ASSERT_EQ(s->count(), 5);
        ASSERT_EQ(w->count(), 7);
        for (int n = 0; n < 5; ++n)
            EXPECT_EQ(s->StyleAt(n), n);
        for (int n = 0; n < 7; ++n)
            EXPECT_EQ(w->WidthAt(n), n);
        EXPECT_EQ(s->itemData(0, Qt::SizeHintRole).toSize().height(), 14);
    }
    EXPECT_EQ(bar.ZoomList()->count(), 10);
    EXPECT_EQ(bar.ZoomList()->itemText(0), "1");
    EXPECT_EQ(bar.ZoomList()->itemText(9), "10");
}

TEST_F(PulmetraGraphStyleBar, EveryChoiceSendsItsItemAndNoChoiceNothing) {
    struct Case {
        G::Pen pen;
        UINT picker, style, width;
        int colourItem;
    };
    const Case cases[] = {{G::PEN_GRID, 1035, 1034, 1033, 1},
                          {G::PEN_PRE, 1042, 1041, 1040, 11},
                          {G::PEN_POST, 1043, 1046, 1045, 14},
                          {G::PEN_PREDICTED, 1039, 1038, 1037, 21}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.colourItem);
        sent.clear();
        auto* picker = bar.findChild<CColourPicker*>(QString::number(c.picker));
        ASSERT_EQ(picker, bar.Picker(c.pen));
        picker->Pick(0x123456);
        emit bar.findChild<CComboBoxLine*>(QString::number(c.style))->activated(3);
        emit bar.findChild<CComboBoxLine*>(QString::number(c.width))->activated(6);
        bar.ChooseStyle(c.pen, -1);
        bar.ChooseWidth(c.pen, -1);
        bar.ChooseStyle(c.pen, 5);
        const std::vector<std::pair<int, int>> expected = {
            {c.colourItem, 0x123456}, {c.colourItem + 1, 3}, {c.colourItem + 2, 6}};
        EXPECT_EQ(sent, expected);
        EXPECT_EQ(bar.StyleList(c.pen)->currentIndex(), 3);
    }
    sent.clear();
    emit bar.ZoomList()->activated(9);
    bar.ChooseZoom(-1);
    EXPECT_EQ(sent, (std::vector<std::pair<int, int>>{{17, 10}}));
}

TEST_F(PulmetraGraphStyleBar, TheFramesCodesMoveTheZoomAndRestoreTheDefaultsWithoutSending) {
    EXPECT_EQ(bar.OnFrameMessage(17, 7), 0);
    EXPECT_EQ(bar.ZoomList()->currentText(), "7");
    bar.OnFrameMessage(17, 11);  // out of range: unchanged
    EXPECT_EQ(bar.ZoomList()->currentText(), "7");
    bar.PickColour(G::PEN_POST, 0xABCDEF);
    bar.ChooseWidth(G::PEN_GRID, 5);
    sent.clear();
    EXPECT_EQ(bar.OnFrameMessage(30, 0), 0);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(bar.ZoomList()->currentText(), "3");
    EXPECT_EQ(bar.Picker(G::PEN_POST)->GetColour(), 0x00FF00u);
    EXPECT_EQ(bar.WidthList(G::PEN_GRID)->currentIndex(), 1);
}

TEST_F(PulmetraGraphStyleBar, PadraoFvVtAndAllBestAreFrameCommands) {
    bar.show();
    for (UINT id : {32784u, 32778u, 32780u}) {
        QPushButton* p = bar.CommandButton(id);
        ASSERT_NE(p, nullptr) << id;
        EXPECT_TRUE(bar.IsCmdRegistered(id));
        QTest::mouseClick(p, Qt::LeftButton);
    }
    EXPECT_EQ(commands, (std::vector<UINT>{32784, 32778, 32780}));
    EXPECT_EQ(bar.CommandButton(32784)->text(), QString::fromUtf8("Padrão"));
    bar.SetCommandState(32778, false, "FV/VT");
    bar.SetCommandState(32780, true, "BEST");
    EXPECT_FALSE(bar.CommandButton(32778)->isEnabled());
    EXPECT_EQ(bar.CommandButton(32780)->text(), "BEST");
    EXPECT_TRUE(sent.empty());
}

}  // namespace
