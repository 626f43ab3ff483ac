// Both order dialogs against a receiver on 127.0.0.1: the bytes on the wire, the checks
// before sending, and the failures that leave the dialog usable.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "oxuctrl/oxuctrl.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"
#include "viewers/common/orderdialogs.h"
#include "viewers/common/viewerini.h"

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

// Accepts on 127.0.0.1 and keeps what each connection sent until it closed.
struct Receiver {
    QTcpServer server;
    std::vector<QByteArray> orders;
    Receiver() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                auto* data = new QByteArray;
                QObject::connect(s, &QTcpSocket::readyRead, [s, data] { *data += s->readAll(); });
                QObject::connect(s, &QTcpSocket::disconnected, [this, s, data] {
                    *data += s->readAll();
                    orders.push_back(*data);
                    delete data;
                    s->deleteLater();
                });
            }
        });
    }
    int Port() const { return server.serverPort(); }
};

// A port nothing listens on: one taken and released.
int DeadPort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    const int p = s.serverPort();
    s.close();
    return p;
}

// A listener on 127.0.0.1 that never accepts and whose accept queue is kept full, so that
// a further connect gets no answer and hangs until the client gives up.
struct FullQueue {
    int listener = -1;
    std::vector<int> fillers;
    int port = 0;
    FullQueue() {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener, 0);
        socklen_t n = sizeof a;
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &n);
        port = ntohs(a.sin_port);
        for (int i = 0; i < 4; ++i) {
            int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
            fillers.push_back(c);
        }
        testsupport::ProcessFor(200);
    }
    ~FullQueue() {
        for (int c : fillers)
            ::close(c);
        ::close(listener);
    }
};

void Fill(COrderDialogBase& d, std::initializer_list<std::pair<int, const char*>> fields) {
    for (auto [id, text] : fields)
        d.findChild<CExEdit*>(QString::number(id))->setText(QString::fromUtf8(text));
}

std::time_t FixedTime() {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 4;
    t.tm_mday = 6;
    t.tm_hour = 7;
    t.tm_min = 8;
    t.tm_sec = 9;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

unsigned Le(const QByteArray& d, int at, int n) {
    unsigned v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | quint8(d[3 + at + i]);
    return v;
}
QByteArray Text(const QByteArray& d, int at, int n) {
    QByteArray t = d.mid(3 + at, n);
    return t.left(t.indexOf('\0') < 0 ? n : t.indexOf('\0'));
}

TEST(OrderDialog, SendsPrefixAndRecordWholeThenOk) {
    Receiver rx;
    testsupport::CScriptedNotifier notifier;
    COrderDialog dlg;
    dlg.SetAddress("127.0.0.1");
    dlg.SetPort(rx.Port());
    dlg.SetClock(FixedTime);
    Fill(dlg, {{1012, "P-77"},
               {1006, "Maria"},
               {1007, "300"},
               {1010, "170"},
               {1011, "65"},
               {1016, "Cardio"},
               {1023, "123456"}});
    dlg.findChild<CExComboBox*>("1008")->setCurrentIndex(1);
    dlg.findChild<CExComboBox*>("1009")->setCurrentIndex(1);
    dlg.findChild<CExComboBox*>("1017")->setCurrentIndex(2);
    // 300 weeks do not fit the age byte: refused, nothing sent.
    dlg.accept();
    ASSERT_EQ(notifier.calls.size(), 1u);
    EXPECT_NE(notifier.calls[0].text.find("255"), std::string::npos) << notifier.calls[0].text;
    EXPECT_FALSE(dlg.IsConnecting());
    Fill(dlg, {{1007, "44"}});
    dlg.accept();
    ASSERT_TRUE(testsupport::ProcessUntil([&] { return !rx.orders.empty(); }, 5000));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    const QByteArray d = rx.orders[0];
    ASSERT_EQ(d.size(), 135);
    EXPECT_EQ(d.left(3), QByteArray("\x30\x00\x00", 3));
    EXPECT_EQ(Text(d, 0, 15), "P-77");
    EXPECT_EQ(Text(d, 15, 17), "Maria");
    EXPECT_EQ(Le(d, 32, 1), 44u);
    EXPECT_EQ(Le(d, 33, 1), 1u);
    EXPECT_EQ(Le(d, 34, 1), 1u);
    EXPECT_EQ(Le(d, 36, 2), 170u);
    EXPECT_EQ(Le(d, 38, 2), 65u);
    EXPECT_EQ(Text(d, 43, 65), "Cardio");
    EXPECT_EQ(Le(d, 108, 4), 123456u);
    EXPECT_EQ(Le(d, 112, 1), 2u);
    EXPECT_EQ(Le(d, 113, 1), 1u);  // ECG
    EXPECT_EQ(Text(d, 114, 15), "20240506070809");
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(dlg.Sent().data()), 135), d);
}

TEST(OrderDialog, NumbersBeyondTheirFieldsAreRefusedAsATable) {
    struct {
        int field;
        const char* value;
    } cases[] = {{1007, "256"},     {1015, "300"}, {1010, "65536"}, {1011, "70000"},
                 {1023, "1000000"}, {1023, "-1"},  {1007, "x"}};
    for (const auto& c : cases) {
        testsupport::CScriptedNotifier notifier;
        COrderDialog dlg;
        dlg.SetAddress("127.0.0.1");
        dlg.SetPort(DeadPort());
        Fill(dlg, {{1012, "A"}, {1006, "B"}, {c.field, c.value}});
        dlg.accept();
        EXPECT_EQ(notifier.calls.size(), 1u) << c.field << " " << c.value;
        EXPECT_FALSE(dlg.IsConnecting()) << c.field << " " << c.value;
    }
}

TEST(OrderDialog, NoListenerGives61205AndTheDialogIsUsableAgain) {
    testsupport::CScriptedNotifier notifier;
    COrderDialog dlg;
    dlg.SetAddress("127.0.0.1");
    dlg.SetPort(DeadPort());
    Fill(dlg, {{1012, "A"}, {1006, "B"}});
    dlg.accept();
    EXPECT_FALSE(dlg.isEnabled());
    ASSERT_TRUE(testsupport::ProcessUntil([&] { return !notifier.calls.empty(); }, 5000));
    EXPECT_EQ(notifier.calls[0].text, "Falha ao conectar !!");
    EXPECT_TRUE(dlg.isEnabled());
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(dlg.IsConnecting());
}

TEST(OrderDialog, AConnectThatNeverFinishesTimesOut) {
    testsupport::CScriptedNotifier notifier;
    COrderDialog dlg;
    FullQueue hang;
    dlg.SetAddress("127.0.0.1");
    dlg.SetPort(hang.port);
    dlg.SetTimeoutMs(300);
    Fill(dlg, {{1012, "A"}, {1006, "B"}});
    dlg.accept();
    testsupport::ProcessFor(150);
    EXPECT_TRUE(notifier.calls.empty());  // still waiting
    EXPECT_FALSE(dlg.isEnabled());
    ASSERT_TRUE(testsupport::ProcessUntil([&] { return !notifier.calls.empty(); }, 5000));
    EXPECT_EQ(notifier.calls.size(), 1u);
    EXPECT_EQ(notifier.calls[0].text, "Falha ao conectar !!");
    EXPECT_TRUE(dlg.isEnabled());
    testsupport::ProcessFor(100);
    EXPECT_EQ(notifier.calls.size(), 1u);  // reported once
}

TEST(OrderDialog, TheIdentifierIsFilteredAsTyped) {
    COrderDialog dlg;
    dlg.show();
    auto* id = dlg.findChild<CExEdit*>("1012");
    id->setFocus();
    QTest::keyClicks(id, "A-1.2");
    EXPECT_EQ(id->text(), "A12");
    QKeyEvent accent(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("é"));
    QApplication::sendEvent(id, &accent);
    EXPECT_EQ(id->text(), "A12");
}

TEST(OrderDialog, TheSmokerBoxSwitchesItsFields) {
    COrderDialog dlg;
    for (int id : {1024, 1025, 1014, 1015})
        EXPECT_FALSE(dlg.findChild<QWidget*>(QString::number(id))->isEnabled()) << id;
    dlg.findChild<QCheckBox*>("1022")->setChecked(true);
    for (int id : {1024, 1025, 1014, 1015})
        EXPECT_TRUE(dlg.findChild<QWidget*>(QString::number(id))->isEnabled()) << id;
}

TEST(SendRecordDialog, ExamMasksAndAValidAddressKeptEvenWhenALaterCheckStops) {
    testsupport::CTempDir home;
    ::setenv("CORVANE_HOME", home.Path().c_str(), 1);
    CViewerIni ini("Pulmetra");
    Receiver rx;
    testsupport::CScriptedNotifier notifier;
    CSendRecordDialog dlg(ini);
    dlg.SetPort(rx.Port());
    auto* address = dlg.findChild<CExEdit*>("1013");
    address->setText("1.2..34");
    Fill(dlg, {{1012, "A"}, {1006, "B"}});
    dlg.accept();
    ASSERT_EQ(notifier.calls.size(), 1u);
    EXPECT_EQ(notifier.calls[0].text, "Endere\xE7o IP inv\xE1lido !!");
    EXPECT_EQ(ini.GetString("SPIRO_VIEW", "IP_ADDRESS", "<none>"), "<none>");
    address->setText("127.0.0.1");
    dlg.accept();  // no exam checked
    ASSERT_EQ(notifier.calls.size(), 2u);
    EXPECT_EQ(notifier.calls[1].text, "Selecione o Exame !!");
    EXPECT_EQ(ini.GetString("SPIRO_VIEW", "IP_ADDRESS", ""), "127.0.0.1");
    struct {
        std::vector<int> boxes;
        unsigned mask;
    } cases[] = {{{1019}, 2}, {{1020}, 4}, {{1021}, 8}, {{1019, 1020, 1021}, 14}};
    for (const auto& c : cases) {
        CSendRecordDialog d(ini);
        d.SetPort(rx.Port());
        EXPECT_EQ(d.findChild<CExEdit*>("1013")->text(), "127.0.0.1");
        Fill(d, {{1012, "A"}, {1006, "B"}});
        for (int b : c.boxes)
            d.findChild<QCheckBox*>(QString::number(b))->setChecked(true);
        const size_t before = rx.orders.size();
        d.accept();
        ASSERT_TRUE(testsupport::ProcessUntil([&] { return rx.orders.size() > before; }, 5000));
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_EQ(Le(rx.orders.back(), 113, 1), c.mask);
    }
    ::unsetenv("CORVANE_HOME");
}

}  // namespace
