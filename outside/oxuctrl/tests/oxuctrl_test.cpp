// The skinned controls as the viewers use them, offscreen.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "oxuctrl/oxuctrl.h"
#include "testsupport/qtapp.h"

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

const QColor kPale(0xEE, 0xEE, 0xFF);  // COLORREF 0xFFEEEE

TEST(OxuCtrl, ThePaleFieldColourIsBlueTintedOnEveryFieldKind) {
    EXPECT_EQ(oxuctrl::FromColorRef(0xFFEEEE), kPale);
    EXPECT_EQ(oxuctrl::ToColorRef(kPale), 0xFFEEEEu);
    CExEdit edit;
    CExComboBox combo;
    CExListCtrl list;
    std::vector<QWidget*> fields = {&edit, &combo, &list};
    edit.SetBkColor(oxuctrl::kPaleField);
    edit.SetTextColor(oxuctrl::kBlack);
    combo.SetBkColor(oxuctrl::kPaleField);
    combo.SetTextColor(oxuctrl::kBlack);
    list.SetBkColor(oxuctrl::kPaleField);
    list.SetTextColor(oxuctrl::kBlack);
    for (QWidget* w : fields) {
        SCOPED_TRACE(w->metaObject()->className());
        EXPECT_EQ(w->palette().color(QPalette::Base), kPale);
        EXPECT_EQ(w->palette().color(QPalette::Text), QColor(Qt::black));
    }
    EXPECT_EQ(list.viewport()->palette().color(QPalette::Base), kPale);
    // What is painted is the colour too.
    edit.resize(120, 24);
    const QImage shot = edit.grab().toImage();
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() / 2), kPale);
}

TEST(OxuCtrl, AKeyboardOffEditIgnoresKeysAndShowsWhatTheProgramSets) {
    CExEdit edit;
    edit.show();
    edit.setFocus();
    edit.EnableKeyboardInput(FALSE);
    edit.setText("120");
    QTest::keyClicks(&edit, "999");
    EXPECT_EQ(edit.text(), "120");
    edit.EnableKeyboardInput(TRUE);
    edit.clear();
    QTest::keyClicks(&edit, "42");
    EXPECT_EQ(edit.text(), "42");
}

TEST(OxuCtrl, GetCheckFollowsClicksAndSetCheck) {
    CButtonST button;
    button.show();
    EXPECT_EQ(button.GetCheck(), 0);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(button.GetCheck(), 1);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(button.GetCheck(), 0);
    button.SetCheck(1);
    EXPECT_EQ(button.GetCheck(), 1);
    QSignalSpy clicked(&button, &QPushButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);  // the usual notification still goes out
    EXPECT_EQ(button.GetCheck(), 0);
}

TEST(OxuCtrl, ButtonColoursAndBitmapWithWhiteTransparent) {
    CButtonST button;
    button.SetColor(CButtonST::BTNST_COLOR_FG_IN, 0x000000, false);
    button.SetColor(CButtonST::BTNST_COLOR_BK_OUT, 0x00FF00, false);
    EXPECT_EQ(button.palette().color(QPalette::Button), QColor(0, 255, 0));
    EXPECT_EQ(button.GetColor(CButtonST::BTNST_COLOR_BK_OUT), 0x00FF00u);
    QImage bmp(8, 8, QImage::Format_RGB32);
    bmp.fill(Qt::white);
    bmp.setPixelColor(3, 3, Qt::red);
    button.SetBitmaps(bmp);
    const QImage icon = button.icon().pixmap(8, 8).toImage();
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
    EXPECT_EQ(icon.pixelColor(3, 3), QColor(Qt::red));
    button.SetTooltipText("Gravar");
    EXPECT_EQ(button.toolTip(), "Gravar");
}

TEST(OxuCtrl, ARegisteredBarCommandReachesTheFrameAndStaysEnabled) {
    CExDialogBar bar;
    auto* registered = new QPushButton("a", &bar);
    registered->setObjectName("32790");
    auto* other = new QPushButton("b", &bar);
    other->setObjectName("32791");
    std::vector<UINT> frame;
    bar.SetCommandTarget([&](UINT id) { frame.push_back(id); });
    registered->setEnabled(false);
    bar.AddUpdateCmdID(32790);
    EXPECT_TRUE(registered->isEnabled());
    bar.show();
    QTest::mouseClick(registered, Qt::LeftButton);
    QTest::mouseClick(other, Qt::LeftButton);
    ASSERT_EQ(frame.size(), 1u);
    EXPECT_EQ(frame[0], 32790u);
    registered->setEnabled(false);
    bar.UpdateCmdUI();
    EXPECT_TRUE(registered->isEnabled());
    // Registering twice sends the command once.
    bar.AddUpdateCmdID(32790);
    QTest::mouseClick(registered, Qt::LeftButton);
    EXPECT_EQ(frame.size(), 2u);
    // The frame's state: a two-state button shows its command's check, and a disabled command
    // disables it.
    registered->setCheckable(true);
    registered->setChecked(false);
    bar.UpdateCmdUI([](UINT id) { return CExDialogBar::CCmdState{id != 32790, 1}; });
    EXPECT_TRUE(registered->isChecked());
    EXPECT_FALSE(registered->isEnabled());
    bar.UpdateCmdUI([](UINT) { return CExDialogBar::CCmdState{true, 0}; });
    EXPECT_FALSE(registered->isChecked());
    EXPECT_TRUE(registered->isEnabled());
}

TEST(OxuCtrl, ColourPickerShowsAndNotifies) {
    CColourPicker picker;
    picker.SetColour(0x0000FF);
    EXPECT_EQ(picker.GetColour(), 0x0000FFu);
    QSignalSpy spy(&picker, &CColourPicker::colourPicked);
    picker.Pick(0x282828);
    EXPECT_EQ(picker.GetColour(), 0x282828u);
    ASSERT_EQ(spy.count(), 1);
    const QImage swatch = picker.icon().pixmap(24, 12).toImage();
    EXPECT_EQ(swatch.pixelColor(5, 5), QColor(0x28, 0x28, 0x28));
}

int InkRows(const QImage& img) {
    int rows = 0;
    for (int y = 0; y < img.height(); ++y)
        if (img.pixelColor(img.width() / 2, y) != QColor(Qt::white))
            ++rows;
    return rows;
}

int InkColumns(const QImage& img) {
    int y = img.height() / 2, n = 0;
    for (int x = 0; x < img.width(); ++x)
        if (img.pixelColor(x, y) != QColor(Qt::white))
            ++n;
    return n;
}

TEST(OxuCtrl, LineComboEntriesAreDrawnAsTheirPens) {
    CComboBoxLine widths;
    widths.Initialize(0, 0);
    for (int w = 1; w <= 4; ++w)
        widths.AddLine(0, w);
    ASSERT_EQ(widths.count(), 4);
    widths.setCurrentIndex(2);
    EXPECT_EQ(widths.currentIndex(), 2);
    EXPECT_EQ(widths.WidthAt(2), 3);
    for (int w = 1; w <= 4; ++w)
        EXPECT_EQ(InkRows(CComboBoxLine::LineSample(0, w)), w) << w;
    // A dotted line leaves gaps; a solid one does not.
    const int nSolid = InkColumns(CComboBoxLine::LineSample(0, 1));
    const int nDot = InkColumns(CComboBoxLine::LineSample(2, 1));
    EXPECT_LT(nDot, nSolid);
    CComboBoxLine styles;
    styles.Initialize(1, 0);
    styles.AddLine(2, 1);
    EXPECT_EQ(styles.Kind(), 1);
    EXPECT_EQ(styles.StyleAt(0), 2);
}

TEST(OxuCtrl, ListAndTitle) {
    CExListCtrl list;
    EXPECT_EQ(list.InsertColumn(0, "IP", 100), 0);
    EXPECT_EQ(list.InsertColumn(1, "ID", 60), 1);
    EXPECT_EQ(list.InsertItem(0, "127.0.0.1"), 0);
    EXPECT_TRUE(list.SetItemText(0, 1, "7"));
    EXPECT_FALSE(list.SetItemText(3, 1, "x"));
    EXPECT_EQ(list.GetItemText(0, 1), "7");
    EXPECT_EQ(list.GetSelectionMark(), -1);
    list.topLevelItem(0)->setSelected(true);
    EXPECT_EQ(list.GetSelectionMark(), 0);
    CWndTitle title;
    title.setText("Paciente");
    title.SetBkColor(0xC0C0C0);
    EXPECT_EQ(title.palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
    CSplitResizeHandler handler(&title);
    EXPECT_EQ(handler.Parent(), &title);
}

}  // namespace
