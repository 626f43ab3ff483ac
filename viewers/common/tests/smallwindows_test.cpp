// Splash, About, the save dialog's options, the settings-store reader, the string table
// and the measuring popup.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include "oxuctrl/oxuctrl.h"
#include "platform/codepage.h"
#include "platform/settings.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"
#include "viewers/common/readoutdialog.h"
#include "viewers/common/smallwindows.h"
#include "viewers/common/strings.h"

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

TEST(Splash, TakesTheBitmapsSizeAndClosesOnItsTimer) {
    CSplashDialog splash(nullptr, 50);
    const QImage bmp = vbmp::Load(vbmp::IDB_SPLASH);
    EXPECT_EQ(splash.width(), bmp.width());
    EXPECT_EQ(splash.height(), bmp.height() + 26);
    splash.show();
    EXPECT_TRUE(testsupport::ProcessUntil([&] { return !splash.isVisible(); }, 3000));
}

TEST(Splash, AClickClosesItBeforeTheTimer) {
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton}) {
        CSplashDialog splash;  // 1,500 ms
        splash.show();
        QTest::mousePress(&splash, b, {}, QPoint(10, 10));
        EXPECT_TRUE(testsupport::ProcessUntil([&] { return !splash.isVisible(); }, 500));
    }
}

TEST(About, ShowsNameAndVersionAndAFaceColouredOk) {
    CAboutDialog about;
    EXPECT_EQ(about.findChild<QLabel*>("1092")->text(), "Qar Daro-Lindar");
    EXPECT_EQ(about.findChild<QLabel*>("1093")->text(), "Ver 1.16(20160621)");
    CButtonST* ok = about.OkButton();
    EXPECT_EQ(ok->GetColor(CButtonST::BTNST_COLOR_FG_IN), 0u);
    EXPECT_EQ(oxuctrl::FromColorRef(ok->GetColor(CButtonST::BTNST_COLOR_BK_OUT)),
              about.palette().color(QPalette::Button));
    EXPECT_FALSE(ok->icon().isNull());
    QTimer::singleShot(0, ok, [ok] { ok->click(); });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
}

TEST(SaveDialog, TheOptionsFollowTheFileType) {
    testsupport::CTempDir dir;
    CEkgFileDialog dlg(false, "jpg", QString::fromStdString(dir / "exam.jpg"),
                       "JPEG (*.jpg);;PDF (*.pdf);;DICOM (*.dcm);;EKG (*.ekg);;XML (*.xml)");
    dlg.setDirectory(QString::fromStdString(dir.Path()));
    dlg.m_options = {1, 0, 1, 0};
    dlg.InitOptions();
    auto* types = dlg.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(dlg.OptionBox(0)->text(), QString::fromUtf8("Laudo Automático"));
    EXPECT_EQ(dlg.OptionBox(3)->text(), "Marcapasso");
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(dlg.OptionBox(i)->isEnabled());
        EXPECT_EQ(dlg.OptionBox(i)->isChecked(), dlg.m_options[size_t(i)] != 0);
    }
    dlg.OptionBox(1)->setChecked(true);
    for (int type : {2, 3, 4}) {
        types->setCurrentIndex(type);
        for (int i = 0; i < 4; ++i)
            EXPECT_FALSE(dlg.OptionBox(i)->isEnabled()) << type << " " << i;
    }
    types->setCurrentIndex(1);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(dlg.OptionBox(i)->isEnabled());
    EXPECT_TRUE(dlg.OptionBox(1)->isChecked());  // the earlier state is back
    dlg.done(QDialog::Rejected);
    EXPECT_EQ(dlg.m_options, (std::array<BOOL, 4>{1, 1, 1, 0}));
}

TEST(RegistryKey, ReadsTheServersWindowValuesOrTheDefault) {
    platform::CSettingsStore store("Corvane\\Qar Server");
    store.WriteInt("Environment", "DICOM WIN_WIDTH", 300);
    store.WriteString("Environment", "DICOM WIN_CENTER", nullptr);
    CRegistryKey key;
    EXPECT_EQ(key.GetDWord("Environment", "DICOM WIN_WIDTH", 256), 256u);  // not opened
    ASSERT_TRUE(key.OpenUserKey("Corvane\\Qar Server"));
    EXPECT_EQ(key.Path(), "Software\\Corvane\\Qar Server");
    EXPECT_EQ(key.GetDWord("Environment", "DICOM WIN_WIDTH", 256), 300u);
    EXPECT_EQ(key.GetDWord("Environment", "DICOM WIN_CENTER", 128), 128u);
    EXPECT_EQ(key.GetDWord("NoSuchKey", "DICOM WIN_WIDTH", 7), 7u);
    EXPECT_FALSE(key.Open(CRegistryKey::ROOT_NONE, "x"));
    EXPECT_EQ(key.Root(), 0u);
    EXPECT_EQ(key.Path(), "");
}

TEST(Strings, ByIdInTheCodePageAndEmptyForAMissingId) {
    testsupport::CCodePageScope cp("CP1252");
    EXPECT_EQ(vstr::LoadString(vstr::IDS_EXAM_SAVED), "Exame salvo com sucesso !!!");
    EXPECT_EQ(vstr::LoadString(vstr::IDS_OPT_COMMENT), "Coment\xE1rio");  // CP1252 bytes
    EXPECT_EQ(vstr::QStr(vstr::IDS_OPT_COMMENT), QString::fromUtf8("Comentário"));
    EXPECT_EQ(vstr::LoadString(102), "Propriedades");
    EXPECT_EQ(vstr::LoadString(4242), "");
    EXPECT_EQ(vstr::ToQ("Coment\xE1rio"), QString::fromUtf8("Comentário"));
}

TEST(Anchors, PairsOfPercentages) {
    EXPECT_EQ(anchor::kNone.x, -1);
    EXPECT_EQ(anchor::kCenter.x, 50);
    EXPECT_EQ(anchor::kBottomRight.y, 100);
    EXPECT_EQ(anchor::kMiddleLeft.y, 50);
}

TEST(Readout, WidthOrHeightWithTheOtherBoxesOff) {
    CMeasureReadoutDialog dlg;
    CExEdit* w = dlg.Box(1079);
    CExEdit* r = dlg.Box(1080);
    CExEdit* h = dlg.Box(1081);
    for (CExEdit* e : {w, r, h}) {
        EXPECT_FALSE(e->IsKeyboardInputEnabled());
        EXPECT_EQ(e->palette().color(QPalette::Base), QColor(0xEE, 0xEE, 0xFF));
        EXPECT_EQ(e->text(), "0");
    }
    dlg.SetWidth(800, 75);
    EXPECT_TRUE(w->isEnabled());
    EXPECT_TRUE(r->isEnabled());
    EXPECT_FALSE(h->isEnabled());
    EXPECT_EQ(w->text(), "800");
    EXPECT_EQ(r->text(), "75");
    EXPECT_EQ(h->text(), "0");
    dlg.SetHeight(12);
    EXPECT_FALSE(w->isEnabled());
    EXPECT_TRUE(h->isEnabled());
    EXPECT_EQ(w->text(), "0");
    EXPECT_EQ(h->text(), "12");
    dlg.SetHeight(0);
    EXPECT_EQ(dlg.HeightMm(), 0);
    EXPECT_EQ(h->text(), "0");
}

}  // namespace
