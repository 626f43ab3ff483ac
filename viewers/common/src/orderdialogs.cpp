#include "viewers/common/orderdialogs.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QLabel>
#include <QVBoxLayout>

#include "oxuctrl/oxuctrl.h"
#include "platform/format.h"
#include "platform/notifier.h"
#include "viewers/common/ipcheck.h"
#include "viewers/common/smallwindows.h"
#include "viewers/common/strings.h"
#include "viewers/common/viewerini.h"

using acq::EOrderField;

CConnectProbeSocket::CConnectProbeSocket(QObject* pParent) : QTcpSocket(pParent) {
    connect(this, &QTcpSocket::connected, this, [this] { m_bConnected = true; });
}

namespace {

template <class T>
T* Pale(QWidget* parent, int nId) {
    auto* p = new T(parent);
    p->setObjectName(QString::number(nId));
    p->SetBkColor(oxuctrl::kPaleField);
    p->SetTextColor(oxuctrl::kBlack);
    return p;
}

CExEdit* Edit(QWidget* parent, int nId, int nMax = 32767) {
    auto* e = Pale<CExEdit>(parent, nId);
    e->EnableKeyboardInput(TRUE);
    e->setMaxLength(nMax);
    return e;
}

CExComboBox* List(QWidget* parent, int nId, std::initializer_list<const char*> items) {
    auto* c = Pale<CExComboBox>(parent, nId);
    for (const char* s : items)
        c->addItem(QString::fromUtf8(s));
    c->setCurrentIndex(0);
    return c;
}

}  // namespace

COrderDialogBase::COrderDialogBase(QWidget* pParent, int nEthnicId, bool bExams, int nTimeoutMs)
    : QDialog(pParent), m_bExams(bExams), m_nTimeoutMs(nTimeoutMs) {
    setObjectName("146");
    auto* lay = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_pId = Edit(this, IDC_ID, 13);
    m_pName = Edit(this, IDC_NAME, 16);
    m_pAge = Edit(this, IDC_AGE);
    m_pAgeUnit = List(this, IDC_AGE_UNIT, {"Anos", "semanas"});
    m_pSex = List(this, IDC_SEX, {"Feminino", "Masculino"});
    m_pHeight = Edit(this, IDC_HEIGHT);
    m_pWeight = Edit(this, IDC_WEIGHT);
    m_pSmoker = new QCheckBox("Fumante", this);
    m_pSmoker->setObjectName(QString::number(IDC_SMOKER));
    m_pPacksLabel = new QLabel("Carteiras", this);
    m_pPacksLabel->setObjectName(QString::number(IDC_PACKS_LABEL));
    m_pPacks = List(this, IDC_PACKS,
                    {"5 cigarros /  ao dia", "10 cigarros / ao dia", "1 carteira / ao dia",
                     "2 carteiras / ao dia", "mais de dois maços / ao dia"});
    m_pYearsLabel = new QLabel("Fumante (anos) :", this);
    m_pYearsLabel->setObjectName(QString::number(IDC_YEARS_LABEL));
    m_pYears = Edit(this, IDC_YEARS);
    m_pDepartment = Edit(this, IDC_DEPARTMENT, 63);
    m_pRoom = Edit(this, IDC_ROOM);
    m_pEthnic = List(this, nEthnicId, {"Branco", "Oriental", "Negro"});
    for (CExEdit* e : {m_pAge, m_pHeight, m_pWeight, m_pYears, m_pRoom})
        e->setText("0");
    form->addRow("ID:", m_pId);
    form->addRow("Nome:", m_pName);
    auto* ageRow = new QHBoxLayout;
    ageRow->addWidget(m_pAge);
    ageRow->addWidget(m_pAgeUnit);
    form->addRow("Idade:", ageRow);
    form->addRow("Sexo:", m_pSex);
    form->addRow("cm", m_pHeight);
    form->addRow("kg", m_pWeight);
    form->addRow(m_pSmoker);
    form->addRow(m_pPacksLabel, m_pPacks);
    form->addRow(m_pYearsLabel, m_pYears);
    form->addRow("Departamento:", m_pDepartment);
    form->addRow(QString::fromUtf8("Consultório nº"), m_pRoom);
    form->addRow("Etnia:", m_pEthnic);
    if (bExams) {
        m_pAddress = Edit(this, IDC_ADDRESS, 15);
        form->addRow(QString::fromUtf8("Endereço IP:"), m_pAddress);
        auto* exams = new QHBoxLayout;
        for (auto [pp, id, text] :
             {std::tuple{&m_pFvc, IDC_FVC, "FVC"}, std::tuple{&m_pSvc, IDC_SVC, "SVC"},
              std::tuple{&m_pMvv, IDC_MVV, "MVV"}}) {
            *pp = new QCheckBox(text, this);
            (*pp)->setObjectName(QString::number(id));
            exams->addWidget(*pp);
        }
        form->addRow("Exame:", exams);
    }
    lay->addLayout(form);
    auto* ok = new CButtonST(this);
    ok->setObjectName("1");
    ok->setText("OK");
    ok->SetBitmaps(vbmp::Load(vbmp::IDB_OK));
    auto* cancel = new CButtonST(this);
    cancel->setObjectName("2");
    cancel->setText("Cancelar");
    cancel->SetBitmaps(vbmp::Load(vbmp::IDB_CANCEL));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    lay->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &COrderDialogBase::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pSmoker, &QCheckBox::toggled, this, &COrderDialogBase::OnSmoker);
    connect(m_pId, &QLineEdit::textEdited, this, &COrderDialogBase::OnIdEdited);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &COrderDialogBase::OnFailed);
    OnSmoker();
}

QWidget* COrderDialogBase::Field(int nId) const {
    return findChild<QWidget*>(QString::number(nId));
}

void COrderDialogBase::OnSmoker() {
    const bool b = m_pSmoker->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_pPacksLabel, m_pYearsLabel, m_pPacks, m_pYears})
        w->setEnabled(b);
}

void COrderDialogBase::OnIdEdited(const QString& text) {
    const std::string bytes = vstr::FromQ(text);
    const int nGrown = std::max(1, int(bytes.size()) - m_nIdLength);
    const std::string kept = FilterIdentifier(bytes, nGrown);
    if (kept != bytes) {
        m_pId->setText(vstr::ToQ(kept));
        m_pId->setCursorPosition(int(m_pId->text().size()));
    }
    m_nIdLength = int(kept.size());
}

void COrderDialogBase::Refuse(UINT nMessage, QWidget* pFocus) {
    platform::ShowMessage(vstr::LoadString(nMessage), platform::MB_OK | platform::MB_ICONERROR);
    if (pFocus) {
        pFocus->setFocus();
        if (auto* e = qobject_cast<QLineEdit*>(pFocus))
            e->selectAll();
    }
}

bool COrderDialogBase::ReadValues(acq::COrderValues& v) {
    // Field exchange: every number field must hold a number.
    struct NumberField {
        CExEdit* edit;
        long long* value;
    } numbers[] = {{m_pAge, &v.m_nAge},
                   {m_pHeight, &v.m_nHeight},
                   {m_pWeight, &v.m_nWeight},
                   {m_pYears, &v.m_nSmokeYears},
                   {m_pRoom, &v.m_nRoom}};
    for (const NumberField& f : numbers) {
        bool bOk = false;
        const QString t = f.edit->text().trimmed();
        *f.value = t.isEmpty() ? 0 : t.toLongLong(&bOk);
        if (!t.isEmpty() && !bOk) {
            Refuse(vstr::IDS_ERR_NOT_A_NUMBER, f.edit);
            return false;
        }
    }
    v.m_strID = vstr::FromQ(m_pId->text());
    v.m_strName = vstr::FromQ(m_pName->text());
    v.m_strDepartment = vstr::FromQ(m_pDepartment->text());
    v.m_nAgeUnit = std::max(0, m_pAgeUnit->currentIndex());
    v.m_nSex = std::max(0, m_pSex->currentIndex());
    v.m_bSmoker = m_pSmoker->isChecked() ? TRUE : FALSE;
    v.m_nSmokeAmount = std::max(0, m_pPacks->currentIndex());
    v.m_nEthnic = std::max(0, m_pEthnic->currentIndex());
    v.m_nExams = m_bExams ? ((m_pFvc->isChecked() ? acq::kExamFvc : 0) |
                             (m_pSvc->isChecked() ? acq::kExamSvc : 0) |
                             (m_pMvv->isChecked() ? acq::kExamMvv : 0))
                          : int(acq::kExamEcg);
    return true;
}

void COrderDialogBase::accept() {
    if (m_pSocket)
        return;  // already connecting
    acq::COrderValues v;
    if (!ReadValues(v) || !CheckAddress())
        return;
    if (v.m_strID.empty())
        return Refuse(vstr::IDS_ERR_NO_ID, m_pId);
    if (v.m_strName.empty())
        return Refuse(vstr::IDS_ERR_NO_NAME, m_pName);
    if (m_bExams && v.m_nExams == 0)
        return Refuse(vstr::IDS_ERR_NO_EXAM, m_pFvc);
    // A number beyond its field is refused, never sent as its low bytes.
    // Years go into the record for a non-smoker too, so they are always checked.
    acq::COrderValues checked = v;
    checked.m_bSmoker = TRUE;
    const acq::COrderCheck check = acq::CheckOrder(checked);
    QWidget* pRange = nullptr;
    switch (check.m_eField) {
        case EOrderField::Age:
            pRange = m_pAge;
            break;
        case EOrderField::Height:
            pRange = m_pHeight;
            break;
        case EOrderField::Weight:
            pRange = m_pWeight;
            break;
        case EOrderField::SmokeYears:
            pRange = m_pYears;
            break;
        case EOrderField::Room:
            pRange = m_pRoom;
            break;
        default:
            break;
    }
    if (pRange) {
        const std::string text = platform::Format(vstr::LoadString(vstr::IDS_ERR_RANGE).c_str(),
                                                  check.m_nMin, check.m_nMax);
        platform::ShowMessage(text, platform::MB_OK | platform::MB_ICONERROR);
        pRange->setFocus();
        return;
    }
    acq::CDeviceOrder order;
    order.Fill(v, m_clock());
    m_wire = order.Wire();

    m_pSocket = std::make_unique<CConnectProbeSocket>();
    connect(m_pSocket.get(), &QTcpSocket::connected, this, &COrderDialogBase::OnConnected);
    connect(m_pSocket.get(), &QTcpSocket::bytesWritten, this, &COrderDialogBase::OnBytesWritten);
    connect(m_pSocket.get(), &QAbstractSocket::errorOccurred, this, &COrderDialogBase::OnFailed);
    const QHostAddress address(Address());
    if (address.isNull()) {
        DropSocket();
        platform::ShowMessage(vstr::LoadString(vstr::IDS_ERR_CONNECT_TIMEOUT),
                              platform::MB_OK | platform::MB_ICONERROR);
        return;
    }
    m_timer.start(m_nTimeoutMs);
    setEnabled(false);
    m_pSocket->connectToHost(address, quint16(m_nPort));
}

void COrderDialogBase::OnConnected() {
    m_timer.stop();
    // The wait for the bytes to leave is bounded by the same timer.
    m_timer.start(m_nTimeoutMs);
    m_pSocket->write(reinterpret_cast<const char*>(m_wire.data()), qint64(m_wire.size()));
}

void COrderDialogBase::OnBytesWritten() {
    if (!m_pSocket || m_pSocket->bytesToWrite() > 0)
        return;
    m_timer.stop();
    m_pSocket->disconnectFromHost();
    DropSocket();
    setEnabled(true);
    QDialog::accept();
}

void COrderDialogBase::OnFailed() {
    if (!m_pSocket)
        return;
    m_timer.stop();
    DropSocket();
    setEnabled(true);
    platform::ShowMessage(vstr::LoadString(vstr::IDS_ERR_CONNECT_TIMEOUT),
                          platform::MB_OK | platform::MB_ICONERROR);
}

void COrderDialogBase::DropSocket() {
    if (!m_pSocket)
        return;
    m_pSocket->disconnect(this);
    m_pSocket->abort();
    // Deleted from the event loop: this may run inside one of its own signals.
    m_pSocket.release()->deleteLater();
}

// COrderDialog

COrderDialog::COrderDialog(QWidget* pParent) : COrderDialogBase(pParent, 1017, false, 3000) {
    setWindowTitle(QString::fromUtf8("Enviar Solicitação"));
}

// CSendRecordDialog

CSendRecordDialog::CSendRecordDialog(CViewerIni& ini, QWidget* pParent)
    : COrderDialogBase(pParent, 1031, true, 5000), m_ini(ini) {
    setWindowTitle("Enviando Registro");
    m_pAddress->setText(vstr::ToQ(m_ini.GetString("SPIRO_VIEW", "IP_ADDRESS", "")));
    Field(IDC_ID)->setFocus();
}

QString CSendRecordDialog::Address() const {
    return m_pAddress->text();
}

bool CSendRecordDialog::CheckAddress() {
    const std::string address = vstr::FromQ(m_pAddress->text());
    if (!IsValidIPAddress(address)) {
        Refuse(vstr::IDS_ERR_INVALID_IP, m_pAddress);
        return false;
    }
    // Kept at once, also when a later check stops the sending.
    m_ini.WriteString("SPIRO_VIEW", "IP_ADDRESS", address);
    return true;
}
