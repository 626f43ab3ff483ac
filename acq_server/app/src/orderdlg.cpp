#include "acq_server/app/orderdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimerEvent>
#include <QVBoxLayout>

#include "acq_server/settings/serversettings.h"
#include "platform/codepage.h"
#include "platform/format.h"
#include "platform/notifier.h"
#include "platform/settings.h"

namespace {

constexpr const char* kDeviceIP = "Device IP";

std::string Cp(const QString& str) {
    return platform::FromUtf8(str.toStdString());
}
std::string CpUtf8(const char* pszUtf8) {
    return platform::FromUtf8(pszUtf8);
}
void Message(const std::string& strText) {
    platform::ShowMessage(strText, platform::MB_OK | platform::MB_ICONERROR);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Order socket

COrderSocket::COrderSocket(COrderDlg& owner) : m_owner(owner) {
    connect(&m_socket, &QTcpSocket::connected, this, &COrderSocket::OnConnect);
    connect(&m_socket, &QAbstractSocket::errorOccurred, this, &COrderSocket::OnError);
    connect(&m_socket, &QTcpSocket::bytesWritten, this, &COrderSocket::OnBytesWritten);
    connect(&m_socket, &QTcpSocket::disconnected, this, &COrderSocket::OnDisconnected);
}

COrderSocket::~COrderSocket() {
    Abort();
}

void COrderSocket::Connect(const QString& strAddress, quint16 nPort) {
    m_socket.connectToHost(strAddress, nPort);
}

void COrderSocket::Abort() {
    m_bDone = true;
    m_socket.disconnect(this);
    m_socket.abort();
}

void COrderSocket::OnConnect() {
    m_bConnected = true;
    m_owner.OnConnected();
}

void COrderSocket::SendAndClose(const QByteArray& bytes) {
    m_bSending = true;
    m_nToSend = bytes.size();
    m_nSent = 0;
    if (m_socket.write(bytes) != bytes.size()) {
        m_bDone = true;
        m_owner.OnSendEnded(false);
        return;
    }
    // Graceful: the socket closes once everything written is handed to the system.
    m_socket.disconnectFromHost();
}

void COrderSocket::OnBytesWritten(qint64 n) {
    m_nSent += n;
}

void COrderSocket::OnError(QAbstractSocket::SocketError) {
    if (m_bDone)
        return;
    m_bDone = true;
    if (!m_bConnected)
        m_owner.OnConnectFailed();  // refused, unreachable, no such host
    else
        m_owner.OnSendEnded(false);  // the device dropped the connection first
}

void COrderSocket::OnDisconnected() {
    if (m_bDone || !m_bSending)
        return;
    m_bDone = true;
    m_owner.OnSendEnded(m_nSent == m_nToSend);
}

// ---------------------------------------------------------------------------------------
// Dialog

const char* COrderDlg::Text(int nId) {
    switch (nId) {
        case IDS_CONNECT_FAILED:
            return "Falha ao Conectar !!";
        case IDS_ENTER_ID:
            return "Entre com o ID !!";
        case IDS_ENTER_NAME:
            return "Entre com o nome !!";
        case IDS_SELECT_EXAM:
            return "Selecione o exame !!";
        default:
            return "";
    }
}

COrderDlg::COrderDlg(const QString& strAddress, int nPort, QWidget* pParent)
    : QDialog(pParent), m_strAddress(strAddress), m_nPort(nPort) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle("Enviando Registro");
    m_saveAddress = [](const std::string& str) {
        platform::CSettingsStore(acqsettings::kKeyPath)
            .WriteString(acqsettings::kSection, kDeviceIP, str.c_str());
    };
    BuildControls();
    m_pAddress->setText(m_strAddress);
    OnSmoker();
}

COrderDlg::~COrderDlg() {
    EndAttempt();
}

void COrderDlg::BuildControls() {
    auto edit = [this](int nId, int nMax, const QString& strText = {}) {
        auto* p = new QLineEdit(strText, this);
        p->setObjectName(QString::number(nId));
        if (nMax > 0)
            p->setMaxLength(nMax);
        return p;
    };
    auto combo = [this](int nId, const QStringList& items) {
        auto* p = new QComboBox(this);
        p->setObjectName(QString::number(nId));
        p->addItems(items);
        return p;
    };
    auto check = [this](int nId, const QString& strText) {
        auto* p = new QCheckBox(strText, this);
        p->setObjectName(QString::number(nId));
        return p;
    };
    m_pId = edit(IDC_ID, 13);
    m_pName = edit(IDC_NAME, 16);
    m_pAge = edit(IDC_AGE, 0, "0");
    m_pAgeUnit = combo(IDC_AGE_UNIT, {"anos", "semanas"});
    m_pSex = combo(IDC_SEX, {"Feminino", "Masculino"});
    m_pHeight = edit(IDC_HEIGHT, 0, "0");
    m_pWeight = edit(IDC_WEIGHT, 0, "0");
    m_pSmoker = check(IDC_SMOKER, "       Fumante");
    m_pAmount = combo(IDC_AMOUNT, {"5 cigarros /  ao dia", "10 cigarros / ao dia",
                                   "1 carteira / ao dia", "2 carteiras / ao dia",
                                   QString::fromUtf8("mais de dois maços / ao dia")});
    m_pYears = edit(IDC_SMOKE_YEARS, 0, "0");
    m_pAmountLabel = new QLabel("Quantidade :", this);
    m_pAmountLabel->setObjectName(QString::number(IDC_AMOUNT_LABEL));
    m_pYearsLabel = new QLabel("Fumante (anos) :", this);
    m_pYearsLabel->setObjectName(QString::number(IDC_YEARS_LABEL));
    m_pDepartment = edit(IDC_DEPARTMENT, 63);
    m_pRoom = edit(IDC_ROOM, 0, "0");
    m_pEthnic = combo(IDC_ETHNIC, {"Branco", "Oriental", "Negro"});
    const char* exams[4] = {"ECG", "FVC", "SVC", "MVV"};
    for (int i = 0; i < 4; ++i)
        m_pExam[i] = check(IDC_ECG + i, exams[i]);
    m_pAddress = new QLabel(this);
    m_pAddress->setObjectName(QString::number(IDC_ADDRESS));

    auto* pGrid = new QGridLayout;
    int nRow = 0;
    auto row = [&](const char* pszLabel, QWidget* pField, QWidget* pExtra = nullptr) {
        pGrid->addWidget(new QLabel(QString::fromUtf8(pszLabel), this), nRow, 0);
        pGrid->addWidget(pField, nRow, 1);
        if (pExtra)
            pGrid->addWidget(pExtra, nRow, 2);
        ++nRow;
    };
    row("ID :", m_pId);
    row("Nome :", m_pName);
    row("Idade :", m_pAge, m_pAgeUnit);
    row("Sexo :", m_pSex);
    row("Altura :", m_pHeight, new QLabel("cm", this));
    row("Peso :", m_pWeight, new QLabel("kg", this));
    pGrid->addWidget(m_pSmoker, nRow++, 1);
    pGrid->addWidget(m_pAmountLabel, nRow, 0);
    pGrid->addWidget(m_pAmount, nRow++, 1, 1, 2);
    pGrid->addWidget(m_pYearsLabel, nRow, 0);
    pGrid->addWidget(m_pYears, nRow++, 1);
    row("Departamento :", m_pDepartment);
    row("Consultório Nº :", m_pRoom);
    row("Etnia :", m_pEthnic);

    auto* pExams = new QGroupBox("Exame", this);
    auto* pExamRow = new QHBoxLayout(pExams);
    for (QCheckBox* p : m_pExam)
        pExamRow->addWidget(p);

    auto* pAddressRow = new QHBoxLayout;
    pAddressRow->addWidget(new QLabel(QString::fromUtf8("Endereço IP"), this));
    pAddressRow->addWidget(m_pAddress, 1);
    auto* pSettings = new QPushButton("ajustes...", this);
    pSettings->setObjectName(QString::number(IDC_SETTINGS));
    pSettings->setAutoDefault(false);
    pAddressRow->addWidget(pSettings);

    auto* pButtons = new QHBoxLayout;
    auto* pOk = new QPushButton("OK", this);
    pOk->setObjectName("1");
    pOk->setDefault(true);
    auto* pCancel = new QPushButton("Cancelar", this);
    pCancel->setObjectName("2");
    pButtons->addStretch(1);
    pButtons->addWidget(pOk);
    pButtons->addWidget(pCancel);

    auto* pMain = new QVBoxLayout(this);
    pMain->addLayout(pGrid);
    pMain->addWidget(pExams);
    pMain->addLayout(pAddressRow);
    pMain->addLayout(pButtons);

    connect(m_pId, &QLineEdit::textChanged, this, &COrderDlg::OnIdChanged);
    connect(m_pSmoker, &QCheckBox::toggled, this, &COrderDlg::OnSmoker);
    connect(pSettings, &QPushButton::clicked, this, &COrderDlg::OnSettings);
    connect(pOk, &QPushButton::clicked, this, &COrderDlg::accept);
    connect(pCancel, &QPushButton::clicked, this, &COrderDlg::reject);
}

void COrderDlg::OnIdChanged() {
    if (m_bFilteringId)
        return;
    bool bChanged = false;
    const std::u16string str = acq::FilterOrderID(m_pId->text().toStdU16String(), bChanged);
    if (!bChanged)
        return;
    m_bFilteringId = true;
    m_pId->setText(QString::fromStdU16String(str));
    m_pId->setCursorPosition(static_cast<int>(str.size()));
    m_bFilteringId = false;
}

void COrderDlg::OnSmoker() {
    const bool bOn = m_pSmoker->isChecked();
    for (QWidget* p : {static_cast<QWidget*>(m_pAmountLabel), static_cast<QWidget*>(m_pYearsLabel),
                       static_cast<QWidget*>(m_pAmount), static_cast<QWidget*>(m_pYears)})
        p->setEnabled(bOn);
}

void COrderDlg::OnSettings() {
    if (!m_addressDialog)
        return;
    QString str = m_strAddress;
    if (!m_addressDialog(this, str))
        return;
    m_strAddress = str;
    m_pAddress->setText(m_strAddress);
    if (m_saveAddress)
        m_saveAddress(Cp(m_strAddress));
}

void COrderDlg::Focus(int nId) {
    if (auto* p = findChild<QWidget*>(QString::number(nId))) {
        p->setFocus();
        if (auto* pEdit = qobject_cast<QLineEdit*>(p))
            pEdit->selectAll();
    }
}

bool COrderDlg::TakeValues(acq::COrderValues& v) {
    const struct {
        QLineEdit* pEdit;
        long long* pValue;
    } numbers[] = {{m_pAge, &v.m_nAge},
                   {m_pHeight, &v.m_nHeight},
                   {m_pWeight, &v.m_nWeight},
                   {m_pYears, &v.m_nSmokeYears},
                   {m_pRoom, &v.m_nRoom}};
    for (const auto& n : numbers) {
        if (n.pEdit == m_pYears && !m_pSmoker->isChecked())
            continue;
        bool bOk = false;
        *n.pValue = n.pEdit->text().trimmed().toLongLong(&bOk);
        if (!bOk) {
            Message("Please enter an integer.");
            n.pEdit->setFocus();
            n.pEdit->selectAll();
            return false;
        }
    }
    v.m_strID = Cp(m_pId->text());
    v.m_strName = Cp(m_pName->text());
    v.m_strDepartment = Cp(m_pDepartment->text());
    v.m_nAgeUnit = m_pAgeUnit->currentIndex();
    v.m_nSex = m_pSex->currentIndex();
    v.m_bSmoker = m_pSmoker->isChecked();
    v.m_nSmokeAmount = m_pAmount->currentIndex();
    v.m_nEthnic = m_pEthnic->currentIndex();
    v.m_nExams = 0;
    for (int i = 0; i < 4; ++i)
        if (m_pExam[i]->isChecked())
            v.m_nExams |= 1 << i;
    return true;
}

void COrderDlg::accept() {
    if (IsSending())
        return;
    acq::COrderValues values;
    if (!TakeValues(values))
        return;
    const acq::COrderCheck check = acq::CheckOrder(values);
    switch (check.m_eField) {
        case acq::EOrderField::None:
            break;
        case acq::EOrderField::ID:
            Message(CpUtf8(Text(IDS_ENTER_ID)));
            Focus(IDC_ID);
            return;
        case acq::EOrderField::Name:
            Message(CpUtf8(Text(IDS_ENTER_NAME)));
            Focus(IDC_NAME);
            return;
        case acq::EOrderField::Exam:
            Message(CpUtf8(Text(IDS_SELECT_EXAM)));
            Focus(IDC_ECG);
            return;
        default: {
            // A number beyond its field would go as its low bytes: refused like the room.
            static const struct {
                acq::EOrderField eField;
                int nId;
            } kFields[] = {{acq::EOrderField::Age, IDC_AGE},
                           {acq::EOrderField::Height, IDC_HEIGHT},
                           {acq::EOrderField::Weight, IDC_WEIGHT},
                           {acq::EOrderField::SmokeYears, IDC_SMOKE_YEARS},
                           {acq::EOrderField::Room, IDC_ROOM}};
            Message(platform::Format("Please enter an integer between %lld and %lld.",
                                     check.m_nMin, check.m_nMax));
            for (const auto& f : kFields)
                if (f.eField == check.m_eField)
                    Focus(f.nId);
            return;
        }
    }
    m_order.Fill(values, m_clock ? m_clock() : std::time(nullptr));
    m_pSocket = std::make_unique<COrderSocket>(*this);
    SetEditing(false);
    m_nTimer = startTimer(m_nConnectMs);
    m_pSocket->Connect(m_strAddress, static_cast<quint16>(m_nPort));
}

void COrderDlg::SetEditing(bool bEditing) {
    for (QWidget* p : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        p->setEnabled(bEditing);
    if (bEditing)
        OnSmoker();
}

void COrderDlg::OnConnected() {
    if (m_nTimer) {
        killTimer(m_nTimer);
        m_nTimer = 0;
    }
    const auto wire = m_order.Wire();
    m_pSocket->SendAndClose(QByteArray(reinterpret_cast<const char*>(wire.data()),
                                       static_cast<int>(wire.size())));
}

void COrderDlg::OnSendEnded(bool bAllSent) {
    if (!bAllSent) {
        Fail();
        return;
    }
    EndAttempt();
    QDialog::accept();
}

void COrderDlg::OnConnectFailed() {
    Fail();
}

void COrderDlg::timerEvent(QTimerEvent* pEvent) {
    if (pEvent->timerId() != m_nTimer) {
        QDialog::timerEvent(pEvent);
        return;
    }
    Fail();
}

void COrderDlg::Fail() {
    EndAttempt();
    Message(CpUtf8(Text(IDS_CONNECT_FAILED)));
    SetEditing(true);
}

void COrderDlg::EndAttempt() {
    if (m_nTimer) {
        killTimer(m_nTimer);
        m_nTimer = 0;
    }
    if (!m_pSocket)
        return;
    // This may run inside the socket's own notification: it goes later.
    COrderSocket* pSocket = m_pSocket.release();
    pSocket->Abort();
    pSocket->deleteLater();
}

void COrderDlg::done(int nResult) {
    // Closing the dialog ends an attempt still under way.
    EndAttempt();
    QDialog::done(nResult);
}
