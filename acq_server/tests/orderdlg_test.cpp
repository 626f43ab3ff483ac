// The order dialog offscreen against the device simulator's order device: what arrives,
// field by field, and every way an order is kept from going or fails to go.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>
#include <memory>

#include "acq_server/app/mainframe.h"
#include "acq_server/app/orderdlg.h"
#include "acq_server/app/strings.h"
#include "acq_server/settings/serversettings.h"
#include "platform/codepage.h"
#include "platform/settings.h"
#include "streams.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"

namespace {

const auto* g_pAppEnv = ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

QApplication* App() {
    return testsupport::WidgetApp();
}

bool RunUntil(const std::function<bool()>& condition, int nTimeoutMs = 15000) {
    return testsupport::ProcessUntil(condition, nTimeoutMs);
}

// The simulator's order device on a free loopback port; stopped with the scope.
class COrderDevice {
public:
    explicit COrderDevice(const QStringList& extra) {
        App();
        m_process.setProgram("/usr/bin/python3");
        m_process.setArguments(QStringList{DEVSIM_PY, "--port", "0", "--timeout", "30",
                                           "order-device"} +
                               extra);
        m_process.start();
        RunUntil([&] {
            m_out += m_process.readAllStandardOutput();
            return m_out.contains('\n');
        });
        if (m_out.startsWith("LISTENING "))
            m_nPort = m_out.split('\n')[0].split(' ')[1].toInt();
    }
    ~COrderDevice() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    int Port() const { return m_nPort; }
    // The orders printed so far.
    QList<QJsonObject> Orders() {
        m_out += m_process.readAllStandardOutput();
        QList<QJsonObject> out;
        for (const QByteArray& line : m_out.split('\n'))
            if (line.startsWith("ORDER "))
                out.push_back(QJsonDocument::fromJson(line.mid(6)).object());
        return out;
    }

private:
    QProcess m_process;
    QByteArray m_out;
    int m_nPort = 0;
};

class OrderDlgFixture : public ::testing::Test {
protected:
    void SetUp() override { App(); }
    std::unique_ptr<COrderDlg> MakeDialog(int nPort) {
        auto p = std::make_unique<COrderDlg>("127.0.0.1");
        p->SetPort(nPort);
        p->SetClock(teststream::FixedClock);
        p->SetSaveAddress([this](const std::string& s) { m_saved.push_back(s); });
        Edit(*p, COrderDlg::IDC_ID)->setText("A12");
        Edit(*p, COrderDlg::IDC_NAME)->setText("DOE JOHN");
        Check(*p, COrderDlg::IDC_ECG)->setChecked(true);
        return p;
    }
    static QLineEdit* Edit(COrderDlg& d, int nId) {
        return d.findChild<QLineEdit*>(QString::number(nId));
    }
    static QCheckBox* Check(COrderDlg& d, int nId) {
        return d.findChild<QCheckBox*>(QString::number(nId));
    }
    static QComboBox* Combo(COrderDlg& d, int nId) {
        return d.findChild<QComboBox*>(QString::number(nId));
    }
    // OK, then the events until the attempt ended.
    static void Send(COrderDlg& d) {
        d.accept();
        RunUntil([&] { return !d.IsSending(); });
    }

    testsupport::CScriptedNotifier m_notifier;
    std::vector<std::string> m_saved;
};

TEST_F(OrderDlgFixture, EveryFieldWhereTheDeviceReadsIt) {
    COrderDevice device({"--orders", "2"});
    ASSERT_GT(device.Port(), 0);
    auto dlg = MakeDialog(device.Port());
    COrderDlg& d = *dlg;
    Edit(d, COrderDlg::IDC_AGE)->setText("52");
    Combo(d, COrderDlg::IDC_AGE_UNIT)->setCurrentIndex(1);
    Combo(d, COrderDlg::IDC_SEX)->setCurrentIndex(1);
    Edit(d, COrderDlg::IDC_HEIGHT)->setText("65535");
    Edit(d, COrderDlg::IDC_WEIGHT)->setText("300");
    Check(d, COrderDlg::IDC_SMOKER)->setChecked(true);
    Combo(d, COrderDlg::IDC_AMOUNT)->setCurrentIndex(4);
    Edit(d, COrderDlg::IDC_SMOKE_YEARS)->setText("255");
    Edit(d, COrderDlg::IDC_DEPARTMENT)->setText("CARDIOLOGIA");
    Edit(d, COrderDlg::IDC_ROOM)->setText("999999");
    Combo(d, COrderDlg::IDC_ETHNIC)->setCurrentIndex(2);
    Check(d, COrderDlg::IDC_MVV)->setChecked(true);
    Send(d);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_TRUE(m_notifier.calls.empty());

    // All four examinations, from a new dialog.
    auto dlg2 = MakeDialog(device.Port());
    for (int nId : {COrderDlg::IDC_FVC, COrderDlg::IDC_SVC, COrderDlg::IDC_MVV})
        Check(*dlg2, nId)->setChecked(true);
    Send(*dlg2);
    EXPECT_EQ(dlg2->result(), QDialog::Accepted);

    ASSERT_TRUE(RunUntil([&] { return device.Orders().size() == 2; }));
    const QJsonObject o = device.Orders()[0];
    EXPECT_EQ(o["length"].toInt(), 135);
    EXPECT_EQ(o["prefix"].toString(), "300000");
    EXPECT_EQ(o["id"].toString(), "A12");
    EXPECT_EQ(o["name"].toString(), "DOE JOHN");
    EXPECT_EQ(o["age"].toInt(), 52);
    EXPECT_EQ(o["age_unit"].toInt(), 1);
    EXPECT_EQ(o["sex"].toInt(), 1);
    EXPECT_EQ(o["height"].toInt(), 65535);
    EXPECT_EQ(o["weight"].toInt(), 300);
    EXPECT_EQ(o["smoker"].toInt(), 1);
    EXPECT_EQ(o["amount"].toInt(), 4);
    EXPECT_EQ(o["smoke_years"].toInt(), 255);
    EXPECT_EQ(o["department"].toString(), "CARDIOLOGIA");
    EXPECT_EQ(o["room"].toInt(), 999999);
    EXPECT_EQ(o["ethnic"].toInt(), 2);
    EXPECT_EQ(o["exams"].toInt(), 9);
    EXPECT_EQ(o["time"].toString(), "20260102030405");
    EXPECT_EQ(o["tail"].toString(), "000000");
    EXPECT_EQ(device.Orders()[1]["exams"].toInt(), 15);
}

TEST_F(OrderDlgFixture, IdFilterAsTheOperatorTypes) {
    auto dlg = MakeDialog(1);
    QLineEdit* pId = Edit(*dlg, COrderDlg::IDC_ID);
    const struct {
        QString in, out;
    } cases[] = {{"A-1.2", "A12"},
                 {QString::fromUtf8("A\xc3\xa9" "1"), "A1"},
                 {"a b!#$%&()+;=", "a b!#$%&()+;="},
                 {"@", "@"},
                 {"[]^_`{}~", "[]^_`{}~"},
                 {"P/Q\\R:S|T<U>", "PQRSTU"},
                 {"V?W*X,Y'Z\"", "VWXYZ"}};
    for (const auto& c : cases) {
        pId->setText(c.in);
        EXPECT_EQ(pId->text(), c.out) << c.in.toStdString();
        EXPECT_EQ(pId->cursorPosition(), c.out.size());
    }
    EXPECT_EQ(pId->maxLength(), 13);
}

TEST_F(OrderDlgFixture, EntriesThatKeepTheOrderFromGoing) {
    COrderDevice device({"--orders", "1"});
    const struct {
        const char* pszWhat;
        std::function<void(COrderDlg&)> change;
        int nFocus;
        std::string strMessage;
    } cases[] = {
        {"empty ID", [](COrderDlg& d) { Edit(d, COrderDlg::IDC_ID)->clear(); }, COrderDlg::IDC_ID,
         "Entre com o ID !!"},
        {"empty name", [](COrderDlg& d) { Edit(d, COrderDlg::IDC_NAME)->clear(); },
         COrderDlg::IDC_NAME, "Entre com o nome !!"},
        {"no exam", [](COrderDlg& d) { Check(d, COrderDlg::IDC_ECG)->setChecked(false); },
         COrderDlg::IDC_ECG, "Selecione o exame !!"},
        {"room 1000000", [](COrderDlg& d) { Edit(d, COrderDlg::IDC_ROOM)->setText("1000000"); },
         COrderDlg::IDC_ROOM, "Please enter an integer between 0 and 999999."},
        {"age 256", [](COrderDlg& d) { Edit(d, COrderDlg::IDC_AGE)->setText("256"); },
         COrderDlg::IDC_AGE, "Please enter an integer between 0 and 255."},
        {"height -1", [](COrderDlg& d) { Edit(d, COrderDlg::IDC_HEIGHT)->setText("-1"); },
         COrderDlg::IDC_HEIGHT, "Please enter an integer between 0 and 65535."},
        {"weight 65536", [](COrderDlg& d) { Edit(d, COrderDlg::IDC_WEIGHT)->setText("65536"); },
         COrderDlg::IDC_WEIGHT, "Please enter an integer between 0 and 65535."},
        {"smoking years 300",
         [](COrderDlg& d) {
             Check(d, COrderDlg::IDC_SMOKER)->setChecked(true);
             Edit(d, COrderDlg::IDC_SMOKE_YEARS)->setText("300");
         },
         COrderDlg::IDC_SMOKE_YEARS, "Please enter an integer between 0 and 255."},
        {"age not a number", [](COrderDlg& d) { Edit(d, COrderDlg::IDC_AGE)->setText("x"); },
         COrderDlg::IDC_AGE, "Please enter an integer."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszWhat);
        auto dlg = MakeDialog(device.Port());
        dlg->show();
        c.change(*dlg);
        m_notifier.calls.clear();
        dlg->accept();
        EXPECT_FALSE(dlg->IsSending());
        ASSERT_EQ(m_notifier.calls.size(), 1u);
        EXPECT_EQ(m_notifier.calls[0].text, c.strMessage);
        ASSERT_NE(dlg->focusWidget(), nullptr);
        EXPECT_EQ(dlg->focusWidget()->objectName(), QString::number(c.nFocus));
        EXPECT_EQ(dlg->result(), 0);
    }
    RunUntil([] { return false; }, 300);
    EXPECT_TRUE(device.Orders().empty());
}

TEST_F(OrderDlgFixture, SmokerRuleEnablesTheSmokingControls) {
    auto dlg = MakeDialog(1);
    const int ids[] = {COrderDlg::IDC_AMOUNT_LABEL, COrderDlg::IDC_YEARS_LABEL, COrderDlg::IDC_AMOUNT,
                       COrderDlg::IDC_SMOKE_YEARS};
    for (int nId : ids)
        EXPECT_FALSE(dlg->findChild<QWidget*>(QString::number(nId))->isEnabled()) << nId;
    Check(*dlg, COrderDlg::IDC_SMOKER)->setChecked(true);
    for (int nId : ids)
        EXPECT_TRUE(dlg->findChild<QWidget*>(QString::number(nId))->isEnabled()) << nId;
}

TEST_F(OrderDlgFixture, NoListenerIsAFailedConnectAndTheDialogStaysUsable) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const int nPort = probe.serverPort();
    probe.close();
    auto dlg = MakeDialog(nPort);
    Send(*dlg);
    ASSERT_EQ(m_notifier.calls.size(), 1u);
    EXPECT_EQ(m_notifier.calls[0].text, "Falha ao Conectar !!");
    EXPECT_NE(dlg->result(), QDialog::Accepted);
    EXPECT_TRUE(dlg->findChild<QPushButton*>("1")->isEnabled());
    EXPECT_TRUE(Edit(*dlg, COrderDlg::IDC_ID)->isEnabled());
}

TEST_F(OrderDlgFixture, FullAcceptQueueTimesOut) {
    COrderDevice device({"--full-queue"});
    ASSERT_GT(device.Port(), 0);
    auto dlg = MakeDialog(device.Port());
    dlg->SetConnectTimeout(1500);
    QElapsedTimer timer;
    timer.start();
    dlg->accept();
    EXPECT_TRUE(dlg->IsSending());
    EXPECT_FALSE(dlg->findChild<QPushButton*>("1")->isEnabled());
    ASSERT_TRUE(RunUntil([&] { return !dlg->IsSending(); }, 10000));
    EXPECT_GE(timer.elapsed(), 1400);
    ASSERT_EQ(m_notifier.calls.size(), 1u);
    EXPECT_EQ(m_notifier.calls[0].text, "Falha ao Conectar !!");
    EXPECT_TRUE(dlg->findChild<QPushButton*>("1")->isEnabled());
}

TEST_F(OrderDlgFixture, KoreanNameEndsInsideItsField) {
    testsupport::CCodePageScope cp("CP949");
    COrderDevice device({"--orders", "1"});
    auto dlg = MakeDialog(device.Port());
    QString strName;
    for (int i = 0; i < 16; ++i)
        strName += QChar(0xAC00 + i);
    Edit(*dlg, COrderDlg::IDC_NAME)->setText(strName);
    EXPECT_EQ(Edit(*dlg, COrderDlg::IDC_NAME)->text().size(), 16);
    Edit(*dlg, COrderDlg::IDC_AGE)->setText("7");
    Send(*dlg);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    ASSERT_TRUE(RunUntil([&] { return device.Orders().size() == 1; }));
    const QJsonObject o = device.Orders()[0];
    const QByteArray name = QByteArray::fromHex(o["name_hex"].toString().toLatin1());
    const std::string strExpected = platform::FromUtf8(strName.left(8).toStdString());
    EXPECT_EQ(name.toStdString(), strExpected);
    EXPECT_EQ(name.size(), 16);
    EXPECT_TRUE(o["name_terminated"].toBool());
    EXPECT_EQ(o["age"].toInt(), 7);
}

}  // namespace

namespace {

// "ajustes..." opens the IP setting dialog the frame uses: a bad address is refused there,
// a good one is shown and kept as "Device IP".
TEST_F(OrderDlgFixture, SettingsButtonRefusesBadAddressesAndKeepsAGoodOne) {
    testsupport::CTempDir dir;
    testsupport::CEnvScope config("XDG_CONFIG_HOME", dir.Path().c_str());
    COrderDlg dlg("10.0.0.1");
    dlg.SetAddressDialog(&CMainFrame::AskDeviceAddress);
    bool bRefused = false;
    QTimer::singleShot(50, [&] {
        auto* pIp = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(pIp, nullptr);
        auto* pEdit = pIp->findChild<QLineEdit*>("1005");
        ASSERT_NE(pEdit, nullptr);
        EXPECT_EQ(pEdit->text(), "10.0.0.1");
        pEdit->setText("1.2.3");
        pIp->accept();
        bRefused = pIp->isVisible() && m_notifier.calls.size() == 1;
        pEdit->setText("127.0.0.1");
        pIp->accept();
    });
    dlg.findChild<QPushButton*>("3")->click();
    EXPECT_TRUE(bRefused);
    ASSERT_EQ(m_notifier.calls.size(), 1u);
    EXPECT_EQ(m_notifier.calls[0].text, qarstr::Str(qarstr::IDS_IP_INVALID));
    EXPECT_EQ(dlg.Address(), "127.0.0.1");
    EXPECT_EQ(dlg.findChild<QLabel*>("1055")->text(), "127.0.0.1");
    EXPECT_EQ(platform::CSettingsStore(acqsettings::kKeyPath)
                  .GetString(acqsettings::kSection, "Device IP", ""),
              "127.0.0.1");
}

}  // namespace
