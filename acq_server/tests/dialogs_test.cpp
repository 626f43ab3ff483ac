// The settings dialogs, offscreen, by control id: OK, Cancel, Default, the "ajustes..."
// buttons, the pickers, the IP check.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "acq_server/app/dialogs.h"
#include "acq_server/app/strings.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"

using acqsettings::CServerSettings;

namespace {

template <class T>
T* Ctrl(QWidget& dlg, int nId) {
    T* p = dlg.findChild<T*>(QString::number(nId));
    EXPECT_NE(p, nullptr) << "control " << nId;
    return p;
}

void Click(QWidget& dlg, int nId) {
    if (QPushButton* p = Ctrl<QPushButton>(dlg, nId))
        p->click();
}

// Settings far from the defaults, in range.
CServerSettings Unusual() {
    CServerSettings s;
    s.m_nJpegSizeEkg = 5, s.m_nJpegType = 2, s.m_nJpegGain = 0, s.m_nJpegRhythm = 11;
    s.m_nPdfType = 0, s.m_nPdfGain = 4, s.m_nPdfRhythm = 6, s.m_nPdfSizeEkg = 0;
    s.m_nJpegSizeSpr = 4, s.m_nPdfSizeSpr = 1;
    s.m_nTxtPatEkg = s.m_nTxtParamEkg = s.m_nTxtDiagEkg = s.m_nTxtHospEkg = 0;
    s.m_nTxtPatSpr = s.m_nTxtParamSpr = s.m_nTxtDiagSpr = s.m_nTxtHospSpr = 0;
    return s;
}

struct CDialogCase {
    const char* name;
    std::unique_ptr<COptionDlg> (*make)(QWidget*);
    int nId;
    // Controls and the member each sets; the value the Default button puts back.
    std::vector<std::tuple<int, int CServerSettings::*, int>> fields;
};

const std::vector<CDialogCase>& DialogCases() {
    using S = CServerSettings;
    static const std::vector<CDialogCase> cases = {
        {"ecg jpeg", &MakeEkgJpegDlg, 149,
         {{1029, &S::m_nJpegType, 1}, {1030, &S::m_nJpegRhythm, 1}, {1031, &S::m_nJpegGain, 3},
          {1026, &S::m_nJpegSizeEkg, 2}}},
        {"ecg pdf", &MakeEkgPdfDlg, 155,
         {{1029, &S::m_nPdfType, 1}, {1030, &S::m_nPdfRhythm, 1}, {1031, &S::m_nPdfGain, 3},
          {1058, &S::m_nPdfSizeEkg, 2}}},
        {"ecg text", &MakeEkgTextDlg, 156,
         {{1035, &S::m_nTxtPatEkg, 1}, {1036, &S::m_nTxtParamEkg, 1}, {1037, &S::m_nTxtDiagEkg, 1},
          {1038, &S::m_nTxtHospEkg, 1}}},
        {"spiro text", &MakeSpiroTextDlg, 156,
         {{1035, &S::m_nTxtPatSpr, 1}, {1036, &S::m_nTxtParamSpr, 1}, {1037, &S::m_nTxtDiagSpr, 1},
          {1038, &S::m_nTxtHospSpr, 1}}},
        {"spiro jpeg", &MakeSpiroJpegDlg, 151, {{1038, &S::m_nJpegSizeSpr, 2}}},
        {"spiro pdf", &MakeSpiroPdfDlg, 157, {{1058, &S::m_nPdfSizeSpr, 2}}},
    };
    return cases;
}

class ScriptedPicker : public IPathPicker {
public:
    bool PickFolder(QWidget*, const QString& strTitle, QString& strPath) override {
        titles << strTitle;
        if (answer.isEmpty())
            return false;
        strPath = answer;
        return true;
    }
    bool PickFile(QWidget*, const QString& strFilter, QString& strPath) override {
        titles << strFilter;
        if (answer.isEmpty())
            return false;
        strPath = answer;
        return true;
    }
    QString answer;
    QStringList titles;
};

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::WidgetApp(); }
};

}  // namespace

TEST_F(DialogsTest, OptionDialogsLoadStoreCancelAndDefault) {
    for (const CDialogCase& c : DialogCases()) {
        SCOPED_TRACE(c.name);
        const CServerSettings start = Unusual();
        // OK after Default: the listed defaults come back.
        {
            auto pDlg = c.make(nullptr);
            EXPECT_EQ(pDlg->objectName(), QString::number(c.nId));
            pDlg->Load(start);
            for (const auto& [nCtrl, pMember, nDefault] : c.fields) {
                if (auto* pCombo = pDlg->findChild<QComboBox*>(QString::number(nCtrl)))
                    EXPECT_EQ(pCombo->currentIndex(), start.*pMember);
                else
                    EXPECT_EQ(Ctrl<QCheckBox>(*pDlg, nCtrl)->isChecked(), start.*pMember != 0);
            }
            Click(*pDlg, 3);
            Click(*pDlg, 1);
            EXPECT_EQ(pDlg->result(), QDialog::Accepted);
            CServerSettings out = start;
            pDlg->Store(out);
            for (const auto& [nCtrl, pMember, nDefault] : c.fields)
                EXPECT_EQ(out.*pMember, nDefault) << nCtrl;
        }
        // Cancel: the frame keeps what it had (the dialog is never stored).
        {
            auto pDlg = c.make(nullptr);
            pDlg->Load(start);
            Click(*pDlg, 3);
            Click(*pDlg, 2);
            EXPECT_EQ(pDlg->result(), QDialog::Rejected);
        }
    }
}

TEST_F(DialogsTest, EcgJpegDialogListsAndHidesItsFilter) {
    auto pDlg = MakeEkgJpegDlg(nullptr);
    pDlg->Load(CServerSettings{});
    pDlg->show();
    EXPECT_EQ(Ctrl<QComboBox>(*pDlg, 1026)->count(), 6);
    EXPECT_EQ(Ctrl<QComboBox>(*pDlg, 1026)->itemText(5), "2700 * 2025");
    EXPECT_EQ(Ctrl<QComboBox>(*pDlg, 1030)->count(), 12);
    EXPECT_EQ(Ctrl<QComboBox>(*pDlg, 1030)->itemText(11), "V6");
    EXPECT_EQ(Ctrl<QComboBox>(*pDlg, 1031)->itemText(1), "2.5mm/mV");
    EXPECT_EQ(Ctrl<QComboBox>(*pDlg, 1029)->itemText(1), QString::fromUtf8("6Canal + 1Rítimo"));
    EXPECT_FALSE(Ctrl<QCheckBox>(*pDlg, 1032)->isVisible());
    Ctrl<QComboBox>(*pDlg, 1026)->setCurrentIndex(4);
    CServerSettings s;
    pDlg->Store(s);
    EXPECT_EQ(s.m_nJpegSizeEkg, 4);
    EXPECT_EQ(s.m_nJpegFilter, 0);
    pDlg->hide();
}

TEST_F(DialogsTest, GeneralSettingsCarryEveryValueAndKeepDicomOff) {
    ScriptedPicker picker;
    IPathPicker* pOld = SetPathPicker(&picker);
    CEnvironmentDlg dlg;
    EXPECT_EQ(dlg.objectName(), "170");
    CServerSettings s = Unusual();
    s.m_strWorkingFolder = "/w/Data";
    s.m_strLindar = "/p/Lindar";
    s.m_strPulmetra = "/p/Pulmetra";
    s.m_nPortNum = 2010;
    s.m_nFolderType = 1;
    s.m_dicom.m_nDicomEkg = 1;
    dlg.Load(s);
    dlg.show();
    EXPECT_EQ(Ctrl<QLineEdit>(dlg, 1033)->text(), "/w/Data");
    EXPECT_FALSE(Ctrl<QLineEdit>(dlg, 1004)->isVisible());
    EXPECT_TRUE(Ctrl<QRadioButton>(dlg, 1062)->isChecked());
    for (int nHidden : {1038, 1058, 1043, 1047}) {
        QWidget* p = dlg.findChild<QWidget*>(QString::number(nHidden));
        ASSERT_NE(p, nullptr) << nHidden;
        EXPECT_FALSE(p->isVisible()) << nHidden;
        EXPECT_FALSE(p->isEnabled()) << nHidden;
    }
    // Pickers: the folder, then a program; a cancelled pick changes nothing.
    picker.answer = "/picked/folder";
    Click(dlg, 1032);
    EXPECT_EQ(Ctrl<QLineEdit>(dlg, 1033)->text(), "/picked/folder");
    EXPECT_EQ(picker.titles.back(), qarstr::QStr(qarstr::IDS_SPLASH_FOLDER));
    picker.answer = "/picked/Lindar";
    Click(dlg, 1034);
    EXPECT_EQ(Ctrl<QLineEdit>(dlg, 1001)->text(), "/picked/Lindar");
    EXPECT_TRUE(picker.titles.back().startsWith(QString::fromUtf8("Arquivo de Execução")));
    picker.answer.clear();
    Click(dlg, 1036);
    EXPECT_EQ(Ctrl<QLineEdit>(dlg, 1037)->text(), "/p/Pulmetra");

    // "ajustes...": Cancel keeps, OK takes the option dialog's values.
    CEnvironmentDlg::SetOptionRunner([](COptionDlg& opt) {
        Ctrl<QComboBox>(opt, 1031)->setCurrentIndex(1);
        return int(QDialog::Rejected);
    });
    Click(dlg, 1059);
    CEnvironmentDlg::SetOptionRunner([](COptionDlg& opt) {
        Ctrl<QComboBox>(opt, 1058)->setCurrentIndex(3);
        return int(QDialog::Accepted);
    });
    Click(dlg, 1060);
    CEnvironmentDlg::SetOptionRunner(nullptr);

    Ctrl<QCheckBox>(dlg, 1053)->click();
    Ctrl<QCheckBox>(dlg, 1098)->click();
    Ctrl<QCheckBox>(dlg, 1042)->click();
    Ctrl<QRadioButton>(dlg, 1063)->click();
    Click(dlg, 1);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    CServerSettings out;
    dlg.Store(out);
    EXPECT_EQ(out.m_strWorkingFolder, "/picked/folder");
    EXPECT_EQ(out.m_strLindar, "/picked/Lindar");
    EXPECT_EQ(out.m_strPulmetra, "/p/Pulmetra");
    EXPECT_EQ(out.m_nPortNum, 2010);
    EXPECT_EQ(out.m_nJpegEkg, 1);
    EXPECT_EQ(out.m_nXmlEkg, 1);
    EXPECT_EQ(out.m_nTxtSpr, 1);
    EXPECT_EQ(out.m_nPdfEkg, 0);
    EXPECT_EQ(out.m_nFolderType, 2);
    EXPECT_EQ(out.m_nJpegGain, s.m_nJpegGain);  // cancelled
    EXPECT_EQ(out.m_nPdfSizeSpr, 3);            // taken
    EXPECT_EQ(out.m_dicom.m_nDicomEkg, 0);
    SetPathPicker(pOld);
}

TEST_F(DialogsTest, IPCheckRefusesWithMessageAndSelection) {
    const struct {
        const char* text;
        bool ok;
    } cases[] = {{"", true},           {"192.168.1.30", true}, {"127.0.0.1", true},
                 {"192.168.1.300", false}, {"1.2.3", false},   {"1.2.3.4.5", false},
                 {"a.b.c.d", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        testsupport::CScriptedNotifier notifier;
        CIPSettingDlg dlg;
        EXPECT_EQ(dlg.objectName(), "154");
        dlg.show();
        dlg.SetAddress(c.text);
        Click(dlg, 1);
        if (c.ok) {
            EXPECT_EQ(dlg.result(), QDialog::Accepted);
            EXPECT_FALSE(dlg.isVisible());
            EXPECT_TRUE(notifier.calls.empty());
            EXPECT_EQ(dlg.Address(), c.text);
        } else {
            EXPECT_TRUE(dlg.isVisible());
            ASSERT_EQ(notifier.calls.size(), 1u);
            EXPECT_EQ(notifier.calls[0].text, qarstr::Str(qarstr::IDS_IP_INVALID));
            QLineEdit* pEdit = Ctrl<QLineEdit>(dlg, 1005);
            EXPECT_EQ(pEdit->selectedText(), c.text);
            dlg.reject();
        }
    }
}

TEST_F(DialogsTest, AboutShowsProductAndVersion) {
    CAboutDlg dlg;
    EXPECT_EQ(dlg.objectName(), "100");
    auto* pName = dlg.findChild<QLabel*>("name");
    auto* pVersion = dlg.findChild<QLabel*>("version");
    ASSERT_TRUE(pName && pVersion);
    EXPECT_EQ(pName->text(), "RovEzez - QarServer");
    EXPECT_EQ(pVersion->text(), "Ver 1.16(20160504)");
}
