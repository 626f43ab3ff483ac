#include "acq_server/app/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "acq_server/app/strings.h"
#include "platform/notifier.h"

using acqsettings::CServerSettings;

namespace {

QString U(const char* psz) { return QString::fromUtf8(psz); }
QString Id(int n) { return QString::number(n); }

// The framework's "label|pattern|label|pattern||" filter as Qt writes it.
QString QtFilter(const QString& strMfc) {
    const QStringList parts = strMfc.split('|', Qt::SkipEmptyParts);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i];
    return out.join(";;");
}

class CSystemPicker : public IPathPicker {
public:
    bool PickFolder(QWidget* pOwner, const QString& strTitle, QString& strPath) override {
        const QString s = QFileDialog::getExistingDirectory(pOwner, strTitle, strPath);
        if (s.isEmpty())
            return false;
        strPath = s;
        return true;
    }
    bool PickFile(QWidget* pOwner, const QString& strFilter, QString& strPath) override {
        const QString s = QFileDialog::getOpenFileName(pOwner, QString(), strPath, QtFilter(strFilter));
        if (s.isEmpty())
            return false;
        strPath = s;
        return true;
    }
};

CSystemPicker g_systemPicker;
IPathPicker* g_pPicker = nullptr;
std::function<int(COptionDlg&)> g_optionRunner;

const std::vector<const char*> kTypes = {"12Canal", "6Canal + 1Rítimo", "3Canal + 1Rítimo"};
const std::vector<const char*> kPdfTypes = {"12Canal", "6Canal+ 1Rítimo", "3Canal + 1Rítimo"};
const std::vector<const char*> kLeads = {"LEAD I", "LEAD II", "LEAD III", "aVR", "aVL", "aVF",
                                         "V1",     "V2",      "V3",       "V4",  "V5",  "V6"};
const std::vector<const char*> kGains = {"Auto", "2.5mm/mV", "5mm/mV", "10mm/mV", "20mm/mV"};
std::vector<const char*> SizeTexts(bool bEkg) {
    std::vector<const char*> texts;
    for (const acqsettings::CPageSize& size : acqsettings::kPageSizes)
        texts.push_back(bEkg ? size.pszEkgText : size.pszSpiroText);
    return texts;
}
const std::vector<const char*> kEkgSizes = SizeTexts(true);
const std::vector<const char*> kSpiroSizes = SizeTexts(false);

QCheckBox* Check(QWidget* pParent, int nId, const char* pszText) {
    auto* p = new QCheckBox(U(pszText), pParent);
    p->setObjectName(Id(nId));
    return p;
}
QPushButton* Button(QWidget* pParent, int nId, const char* pszText) {
    auto* p = new QPushButton(U(pszText), pParent);
    p->setObjectName(Id(nId));
    p->setAutoDefault(false);
    return p;
}
QLineEdit* Edit(QWidget* pParent, int nId) {
    auto* p = new QLineEdit(pParent);
    p->setObjectName(Id(nId));
    return p;
}

}  // namespace

IPathPicker& PathPicker() { return g_pPicker ? *g_pPicker : g_systemPicker; }

IPathPicker* SetPathPicker(IPathPicker* pPicker) {
    IPathPicker* pOld = g_pPicker;
    g_pPicker = pPicker;
    return pOld;
}

// Base

CServerDialog::CServerDialog(int nDialogId, const QString& strTitle, QWidget* pParent)
    : QDialog(pParent), m_nDialogId(nDialogId) {
    setObjectName(Id(nDialogId));
    setWindowTitle(strTitle);
    setModal(true);
    new QVBoxLayout(this);
}

void CServerDialog::AddButtons(bool bDefault) {
    auto* pRow = new QHBoxLayout;
    pRow->addStretch(1);
    QPushButton* pOk = Button(this, 1, "OK");
    pOk->setDefault(true);
    pOk->setAutoDefault(true);
    QPushButton* pCancel = Button(this, 2, "Cancelar");
    pRow->addWidget(pOk);
    pRow->addWidget(pCancel);
    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(pCancel, &QPushButton::clicked, this, &QDialog::reject);
    if (bDefault) {
        QPushButton* pDefault = Button(this, 3, "Default");
        pRow->addWidget(pDefault);
        connect(pDefault, &QPushButton::clicked, this, [this] { OnDefault(); });
    }
    static_cast<QVBoxLayout*>(layout())->addLayout(pRow);
}

// Option dialogs

COptionDlg::COptionDlg(int nDialogId, const QString& strTitle, std::vector<COptionField> fields,
                       QWidget* pParent)
    : CServerDialog(nDialogId, strTitle, pParent), m_fields(std::move(fields)) {
    auto* pForm = new QFormLayout;
    for (const COptionField& f : m_fields) {
        QWidget* pCtrl = nullptr;
        if (f.items.empty()) {
            pCtrl = Check(this, f.nCtrlId, f.pszLabel);
            pForm->addRow(pCtrl);
        } else {
            auto* pCombo = new QComboBox(this);
            pCombo->setObjectName(Id(f.nCtrlId));
            for (const char* psz : f.items)
                pCombo->addItem(U(psz));
            pCtrl = pCombo;
            pForm->addRow(U(f.pszLabel), pCombo);
        }
        if (f.bHidden) {
            pCtrl->setVisible(false);
            if (QWidget* pLabel = pForm->labelForField(pCtrl))
                pLabel->setVisible(false);
        }
        m_controls.push_back(pCtrl);
    }
    static_cast<QVBoxLayout*>(layout())->addLayout(pForm);
    AddButtons(true);
}

void COptionDlg::Load(const CServerSettings& s) {
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const int n = s.*m_fields[i].pValue;
        if (auto* pCombo = qobject_cast<QComboBox*>(m_controls[i]))
            pCombo->setCurrentIndex(n >= 0 && n < pCombo->count() ? n : -1);
        else if (auto* pCheck = qobject_cast<QCheckBox*>(m_controls[i]))
            pCheck->setChecked(n != 0);
    }
}

void COptionDlg::Store(CServerSettings& s) const {
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (auto* pCombo = qobject_cast<QComboBox*>(m_controls[i])) {
            // Nothing chosen keeps the value the dialog was given.
            if (pCombo->currentIndex() >= 0)
                s.*m_fields[i].pValue = pCombo->currentIndex();
        } else if (auto* pCheck = qobject_cast<QCheckBox*>(m_controls[i])) {
            s.*m_fields[i].pValue = pCheck->isChecked() ? 1 : 0;
        }
    }
}

void COptionDlg::OnDefault() {
    CServerSettings s;
    for (const COptionField& f : m_fields)
        s.*f.pValue = f.nDefault;
    Load(s);
}

std::unique_ptr<COptionDlg> MakeEkgJpegDlg(QWidget* pParent) {
    using S = CServerSettings;
    return std::make_unique<COptionDlg>(
        149, U("Opções de JPEG"),
        std::vector<COptionField>{
            {1029, "Formato:", kTypes, &S::m_nJpegType, 1},
            {1030, "Rítimo do Canal:", kLeads, &S::m_nJpegRhythm, 1},
            {1031, "Ganho:", kGains, &S::m_nJpegGain, 3},
            {1026, "Resolução JPEG:", kEkgSizes, &S::m_nJpegSizeEkg, 2},
            {1032, "Efeito de Filtragem", {}, &S::m_nJpegFilter, 0, true},
        },
        pParent);
}

std::unique_ptr<COptionDlg> MakeEkgPdfDlg(QWidget* pParent) {
    using S = CServerSettings;
    return std::make_unique<COptionDlg>(
        155, U("Opções de PDF"),
        std::vector<COptionField>{
            {1029, "Formato:", kPdfTypes, &S::m_nPdfType, 1},
            {1030, "Ritmo Longo:", kLeads, &S::m_nPdfRhythm, 1},
            {1031, "Ganho:", kGains, &S::m_nPdfGain, 3},
            {1058, "Resolução PDF:", kEkgSizes, &S::m_nPdfSizeEkg, 2},
        },
        pParent);
}

namespace {
std::unique_ptr<COptionDlg> MakeTextDlg(QWidget* pParent, int CServerSettings::*pPat,
                                        int CServerSettings::*pParam, int CServerSettings::*pDiag,
                                        int CServerSettings::*pHosp) {
    return std::make_unique<COptionDlg>(156, U("Opções de TEXT"),
                                        std::vector<COptionField>{
                                            {1035, "Dados do Paciente", {}, pPat, 1},
                                            {1036, "Dados dos Parâmetros", {}, pParam, 1},
                                            {1037, "Dados do Diagnóstico", {}, pDiag, 1},
                                            {1038, "Informações do Hospital", {}, pHosp, 1},
                                        },
                                        pParent);
}
}  // namespace

std::unique_ptr<COptionDlg> MakeEkgTextDlg(QWidget* pParent) {
    using S = CServerSettings;
    return MakeTextDlg(pParent, &S::m_nTxtPatEkg, &S::m_nTxtParamEkg, &S::m_nTxtDiagEkg,
                       &S::m_nTxtHospEkg);
}

std::unique_ptr<COptionDlg> MakeSpiroTextDlg(QWidget* pParent) {
    using S = CServerSettings;
    return MakeTextDlg(pParent, &S::m_nTxtPatSpr, &S::m_nTxtParamSpr, &S::m_nTxtDiagSpr,
                       &S::m_nTxtHospSpr);
}

std::unique_ptr<COptionDlg> MakeSpiroJpegDlg(QWidget* pParent) {
    return std::make_unique<COptionDlg>(
        151, U("Opções de JPEG"),
        std::vector<COptionField>{
            {1038, "Resolução JPEG:", kSpiroSizes, &CServerSettings::m_nJpegSizeSpr, 2}},
        pParent);
}

std::unique_ptr<COptionDlg> MakeSpiroPdfDlg(QWidget* pParent) {
    return std::make_unique<COptionDlg>(
        157, U("Opções de PDF"),
        std::vector<COptionField>{
            {1058, "Resolução PDF:", kSpiroSizes, &CServerSettings::m_nPdfSizeSpr, 2}},
        pParent);
}

// General settings

void CEnvironmentDlg::SetOptionRunner(std::function<int(COptionDlg&)> fn) {
    g_optionRunner = std::move(fn);
}

CEnvironmentDlg::CEnvironmentDlg(QWidget* pParent)
    : CServerDialog(170, U("Configurações Gerais"), pParent) {
    auto* pMain = static_cast<QVBoxLayout*>(layout());
    auto* pPaths = new QFormLayout;
    auto pathRow = [&](const char* pszLabel, int nEdit, int nButton, QLineEdit*& pEdit) {
        pEdit = Edit(this, nEdit);
        pEdit->setMinimumWidth(320);
        auto* pRow = new QHBoxLayout;
        pRow->addWidget(pEdit, 1);
        QPushButton* pButton = Button(this, nButton, "...");
        pRow->addWidget(pButton);
        pPaths->addRow(U(pszLabel), pRow);
        return pButton;
    };
    connect(pathRow("Dir. Trabalho", 1033, 1032, m_pFolder), &QPushButton::clicked, this,
            [this] { PickFolder(); });
    connect(pathRow("Lindar", 1001, 1034, m_pLindar), &QPushButton::clicked, this,
            [this] { PickProgram(m_pLindar); });
    connect(pathRow("Pulmetra", 1037, 1036, m_pPulmetra), &QPushButton::clicked, this,
            [this] { PickProgram(m_pPulmetra); });
    m_pPort = Edit(this, 1004);
    m_pPort->setVisible(false);
    pMain->addLayout(pPaths);

    auto group = [&](const char* pszTitle) {
        auto* pBox = new QGroupBox(U(pszTitle), this);
        new QGridLayout(pBox);
        pMain->addWidget(pBox);
        return pBox;
    };
    auto checkRow = [&](QGroupBox* pBox, int nRow, int nCheck, const char* pszText, int nButton,
                        bool bHidden = false) {
        auto* pGrid = static_cast<QGridLayout*>(pBox->layout());
        QCheckBox* pCheck = Check(pBox, nCheck, pszText);
        pGrid->addWidget(pCheck, nRow, 0);
        if (nButton) {
            QPushButton* pButton = Button(pBox, nButton, "ajustes...");
            pGrid->addWidget(pButton, nRow, 1);
            connect(pButton, &QPushButton::clicked, this, [this, nButton] { OnOptions(nButton); });
            if (bHidden) {
                pButton->setVisible(false);
                pButton->setEnabled(false);
            }
        }
        if (bHidden) {
            pCheck->setVisible(false);
            pCheck->setEnabled(false);
        }
        return pCheck;
    };
    QGroupBox* pEkg = group("Opções de EKG Arquivo");
    m_pJpegEkg = checkRow(pEkg, 0, 1053, "Criar JPEG", 1059);
    m_pPdfEkg = checkRow(pEkg, 1, 1051, "Criar PDF", 1057);
    m_pTxtEkg = checkRow(pEkg, 2, 1052, "Criar TEXT", 1056);
    m_pXmlEkg = checkRow(pEkg, 3, 1098, "Criar XML", 0);
    checkRow(pEkg, 4, 1038, "Criar DICOM", 1058, true);
    QGroupBox* pSpiro = group("Opções de Spiro Arquivo");
    m_pJpegSpr = checkRow(pSpiro, 0, 1029, "Criar JPEG", 1039);
    m_pPdfSpr = checkRow(pSpiro, 1, 1041, "Criar PDF", 1060);
    m_pTxtSpr = checkRow(pSpiro, 2, 1042, "Criar TEXT", 1046);
    checkRow(pSpiro, 3, 1043, "Criar DICOM", 1047, true);

    auto* pSave = new QGroupBox(U("Opções de Gravação"), this);
    auto* pSaveLayout = new QVBoxLayout(pSave);
    const char* kRadios[3] = {"Salvar tudo em \"Dir. de Trabalho\"", "Salvar cada ID em pasta própria",
                              "Salvar cada tipo de arquivo em pasta própria"};
    for (int i = 0; i < 3; ++i) {
        m_pFolderType[i] = new QRadioButton(U(kRadios[i]), pSave);
        m_pFolderType[i]->setObjectName(Id(1061 + i));
        pSaveLayout->addWidget(m_pFolderType[i]);
    }
    pSaveLayout->addWidget(new QLabel(U("(Criar pasta : EKG, SPIRO, JPEG, PDF, XML, TEXT)"), pSave));
    pMain->addWidget(pSave);
    AddButtons(false);
}

void CEnvironmentDlg::Load(const CServerSettings& s) {
    m_values = s;
    // The DICOM switches are forced off when the dialog opens.
    m_values.m_dicom.m_nDicomEkg = m_values.m_dicom.m_nDicomSpr = 0;
    m_pFolder->setText(QString::fromStdString(s.m_strWorkingFolder));
    m_pLindar->setText(QString::fromStdString(s.m_strLindar));
    m_pPulmetra->setText(QString::fromStdString(s.m_strPulmetra));
    m_pPort->setText(QString::number(s.m_nPortNum));
    m_pJpegEkg->setChecked(s.m_nJpegEkg != 0);
    m_pPdfEkg->setChecked(s.m_nPdfEkg != 0);
    m_pTxtEkg->setChecked(s.m_nTxtEkg != 0);
    m_pXmlEkg->setChecked(s.m_nXmlEkg != 0);
    m_pJpegSpr->setChecked(s.m_nJpegSpr != 0);
    m_pPdfSpr->setChecked(s.m_nPdfSpr != 0);
    m_pTxtSpr->setChecked(s.m_nTxtSpr != 0);
    for (int i = 0; i < 3; ++i)
        m_pFolderType[i]->setChecked(s.m_nFolderType == i);
}

void CEnvironmentDlg::Store(CServerSettings& s) const {
    s = m_values;
    s.m_strWorkingFolder = m_pFolder->text().toStdString();
    s.m_strLindar = m_pLindar->text().toStdString();
    s.m_strPulmetra = m_pPulmetra->text().toStdString();
    bool bOk = false;
    const int nPort = m_pPort->text().toInt(&bOk);
    if (bOk)
        s.m_nPortNum = nPort;
    s.m_nJpegEkg = m_pJpegEkg->isChecked();
    s.m_nPdfEkg = m_pPdfEkg->isChecked();
    s.m_nTxtEkg = m_pTxtEkg->isChecked();
    s.m_nXmlEkg = m_pXmlEkg->isChecked();
    s.m_nJpegSpr = m_pJpegSpr->isChecked();
    s.m_nPdfSpr = m_pPdfSpr->isChecked();
    s.m_nTxtSpr = m_pTxtSpr->isChecked();
    for (int i = 0; i < 3; ++i) {
        if (m_pFolderType[i]->isChecked())
            s.m_nFolderType = i;
    }
    s.m_dicom.m_nDicomEkg = s.m_dicom.m_nDicomSpr = 0;
}

void CEnvironmentDlg::OnOptions(int nButtonId) {
    std::unique_ptr<COptionDlg> pDlg;
    switch (nButtonId) {
        case 1059: pDlg = MakeEkgJpegDlg(this); break;
        case 1057: pDlg = MakeEkgPdfDlg(this); break;
        case 1056: pDlg = MakeEkgTextDlg(this); break;
        case 1039: pDlg = MakeSpiroJpegDlg(this); break;
        case 1060: pDlg = MakeSpiroPdfDlg(this); break;
        case 1046: pDlg = MakeSpiroTextDlg(this); break;
        default: return;
    }
    pDlg->Load(m_values);
    const int nResult = g_optionRunner ? g_optionRunner(*pDlg) : pDlg->exec();
    if (nResult == QDialog::Accepted)
        pDlg->Store(m_values);
}

void CEnvironmentDlg::PickFolder() {
    QString s = m_pFolder->text();
    if (PathPicker().PickFolder(this, qarstr::QStr(qarstr::IDS_SPLASH_FOLDER), s))
        m_pFolder->setText(s);
}

void CEnvironmentDlg::PickProgram(QLineEdit* pEdit) {
    QString s = pEdit->text();
    const QString strFilter = QString("%1|%2||").arg(qarstr::QStr(qarstr::IDS_EXE_FILTER),
                                                     qarstr::QStr(qarstr::IDS_ALL_FILTER));
    if (PathPicker().PickFile(this, strFilter, s))
        pEdit->setText(s);
}

// IP setting

CIPSettingDlg::CIPSettingDlg(QWidget* pParent) : CServerDialog(154, "IP Setting", pParent) {
    auto* pRow = new QHBoxLayout;
    pRow->addWidget(new QLabel("IP : ", this));
    m_pEdit = Edit(this, 1005);
    m_pEdit->setMaxLength(15);
    pRow->addWidget(m_pEdit, 1);
    static_cast<QVBoxLayout*>(layout())->addLayout(pRow);
    AddButtons(false);
}

void CIPSettingDlg::SetAddress(const QString& str) { m_pEdit->setText(str); }

QString CIPSettingDlg::Address() const { return m_pEdit->text(); }

void CIPSettingDlg::accept() {
    if (!acqsettings::IsValidIPAddress(m_pEdit->text().toStdString())) {
        platform::ShowMessage(qarstr::Str(qarstr::IDS_IP_INVALID), platform::MB_OK);
        m_pEdit->setFocus();
        m_pEdit->selectAll();
        m_pEdit->setCursorPosition(0);
        m_pEdit->selectAll();
        return;
    }
    QDialog::accept();
}

// About

CAboutDlg::CAboutDlg(QWidget* pParent) : CServerDialog(100, "Qar Server", pParent) {
    auto* pName = new QLabel("RovEzez - QarServer", this);
    pName->setObjectName("name");
    auto* pVersion = new QLabel(qarstr::kVersion, this);
    pVersion->setObjectName("version");
    layout()->addWidget(pName);
    layout()->addWidget(pVersion);
    auto* pRow = new QHBoxLayout;
    pRow->addStretch(1);
    QPushButton* pOk = Button(this, 1, "OK");
    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);
    pRow->addWidget(pOk);
    static_cast<QVBoxLayout*>(layout())->addLayout(pRow);
}
