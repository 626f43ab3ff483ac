// The settings dialog over Pulmetra's INI file, the save dialog's check box and About.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "oxuctrl/oxuctrl.h"
#include "pulmetra/bars/barstrings.h"
#include "pulmetra/bars/pulmetradialogs.h"
#include "testsupport/testsupport.h"
#include "viewers/common/viewerini.h"

using S = CPulmetraSettingsDialog;

namespace {

struct PulmetraSettings : ::testing::Test {
    testsupport::CTempDir home;
    testsupport::CEnvScope homeScope{"HOME", home.Path().c_str()};
    testsupport::CEnvScope corvaneScope{"CORVANE_HOME", home.Path().c_str()};
    testsupport::CEnvScope configScope{"XDG_CONFIG_HOME", (home.Path() + "config").c_str()};
    testsupport::CEnvScope dataScope{"XDG_DATA_HOME", (home.Path() + "data").c_str()};
};

TEST_F(PulmetraSettings, SettingsShowTheKeysAndOkWritesThem) {
    CViewerIni ini("Pulmetra");
    ini.WriteString(kSpiroView, "FILE_SERVER", "127.0.0.1");
    ini.WriteString(kSpiroView, "FILE_SERVER_PORT", "6003");
    S dlg(ini);
    EXPECT_EQ(dlg.windowTitle(), "Ajustes");
    EXPECT_EQ(dlg.Edit(S::IDC_SERVER)->text(), "127.0.0.1");
    EXPECT_EQ(dlg.Edit(S::IDC_PORT)->text(), "6003");
    EXPECT_EQ(dlg.Edit(S::IDC_CACHE_FOLDER)->text(), "");
    EXPECT_EQ(dlg.Edit(S::IDC_CACHE_DAYS)->text(), "");
    EXPECT_EQ(dlg.Port(), 6003);
    dlg.Edit(S::IDC_SERVER)->setText("10.0.0.2");
    dlg.Edit(S::IDC_PORT)->setText("7001");
    dlg.Edit(S::IDC_CACHE_FOLDER)->setText("/srv/cache");
    dlg.Edit(S::IDC_CACHE_DAYS)->setText("30");
    QTest::mouseClick(dlg.findChild<QPushButton*>("1"), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Server(), "10.0.0.2");
    EXPECT_EQ(dlg.Port(), 7001);
    EXPECT_EQ(dlg.CacheFolder(), "/srv/cache");
    CViewerIni again("Pulmetra");
    EXPECT_EQ(again.GetString(kSpiroView, "FILE_SERVER"), "10.0.0.2");
    EXPECT_EQ(again.GetString(kSpiroView, "FILE_SERVER_PORT"), "7001");
    EXPECT_EQ(again.GetString(kSpiroView, "CACHE_FOLDER"), "/srv/cache");
    EXPECT_EQ(again.GetString(kSpiroView, "CACHE_SAVE_DAY"), "30");
}

TEST_F(PulmetraSettings, APortThatIsNoNumberKeepsTheDialogOpenAndWritesNothing) {
    CViewerIni ini("Pulmetra");
    for (const char* port : {"abc", "", "60x"}) {
        SCOPED_TRACE(port);
        S dlg(ini);
        dlg.Edit(S::IDC_SERVER)->setText("10.0.0.9");
        dlg.Edit(S::IDC_PORT)->setText(port);
        testsupport::CScriptedNotifier notifier;
        dlg.accept();
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        ASSERT_EQ(notifier.calls.size(), 1u);
        EXPECT_EQ(pmstr::ToQ(notifier.calls[0].text),
                  QString::fromUtf8("Digite um número inteiro."));
        EXPECT_EQ(CViewerIni("Pulmetra").GetString(kSpiroView, "FILE_SERVER", "none"), "none");
    }
    S dlg(ini);
    dlg.Edit(S::IDC_SERVER)->setText("10.0.0.9");
    dlg.reject();
    EXPECT_EQ(CViewerIni("Pulmetra").GetString(kSpiroView, "FILE_SERVER", "none"), "none");
}

TEST(PulmetraSpiroFileDialog, TheBoxFollowsTheMemberBothWays) {
    for (BOOL b : {FALSE, TRUE}) {
        CSpiroFileDialog dlg(false, "jpg", "exam_fvc", "JPEG Files(*.jpg);;PDF Files(*.pdf)");
        dlg.m_bSaveText = b;
        dlg.InitCheckBox();
        QCheckBox* box = dlg.findChild<QCheckBox*>("1001");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box, dlg.SaveTextBox());
        EXPECT_EQ(box->text(), pmstr::QStr(65302));
        EXPECT_EQ(
            box->text(),
            QString::fromUtf8("As Informações serão criadas quando o arquivo JPEG for gravado."));
        EXPECT_EQ(box->isChecked(), b != FALSE);
        EXPECT_EQ(box->font(), dlg.font());
        box->setChecked(b == FALSE);
        dlg.done(QDialog::Rejected);
        EXPECT_EQ(dlg.m_bSaveText, b == FALSE ? TRUE : FALSE);
        EXPECT_EQ(dlg.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dlg.nameFilters().size(), 2);
    }
}

TEST(PulmetraSpiroFileDialog, TheBoxSitsBelowTheFileTypeList) {
    CSpiroFileDialog dlg(false, "jpg", "exam_fvc", "JPEG Files(*.jpg);;PDF Files(*.pdf)");
    dlg.m_bSaveText = TRUE;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* types = dlg.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    ASSERT_NE(dlg.SaveTextBox(), nullptr);
    EXPECT_TRUE(dlg.SaveTextBox()->isVisible());
    EXPECT_TRUE(dlg.SaveTextBox()->isChecked());
    const QPoint box = dlg.SaveTextBox()->mapTo(&dlg, QPoint(0, 0));
    const QPoint list = types->mapTo(&dlg, QPoint(0, 0));
    EXPECT_GE(box.y(), list.y() + types->height());
    dlg.SaveTextBox()->setChecked(false);
    dlg.reject();
    EXPECT_EQ(dlg.m_bSaveText, FALSE);
}

TEST(PulmetraAbout, ShowsTheProductAndVersion) {
    CPulmetraAboutDialog dlg;
    EXPECT_EQ(dlg.windowTitle(), "Sobre");
    EXPECT_EQ(dlg.findChild<QLabel*>("1015")->text(), "Qar Daro -Pulmetra");
    EXPECT_EQ(dlg.findChild<QLabel*>("1016")->text(), "Ver. 1.16(20160621)");
    EXPECT_FALSE(dlg.OkButton()->icon().isNull());
    QTest::mouseClick(dlg.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

}  // namespace
