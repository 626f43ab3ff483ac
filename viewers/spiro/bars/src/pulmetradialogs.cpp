#include "pulmetra/bars/pulmetradialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "oxuctrl/oxuctrl.h"
#include "platform/notifier.h"
#include "pulmetra/bars/barstrings.h"
#include "viewers/common/smallwindows.h"
#include "viewers/common/strings.h"
#include "viewers/common/viewerini.h"

namespace {
struct SKey {
    UINT nId;
    const char* pszLabel;
    const char* pszKey;
};
constexpr SKey kKeys[] = {
    {CPulmetraSettingsDialog::IDC_SERVER, "Servidor:", "FILE_SERVER"},
    {CPulmetraSettingsDialog::IDC_PORT, "Porta:", "FILE_SERVER_PORT"},
    {CPulmetraSettingsDialog::IDC_CACHE_FOLDER, "Destino do Arquivo:", "CACHE_FOLDER"},
    {CPulmetraSettingsDialog::IDC_CACHE_DAYS, "Intervalo de Gravação:", "CACHE_SAVE_DAY"},
};

// A whole number as the framework's field exchange reads it: optional blanks and sign,
// digits, nothing after them.
bool ParseInt(const QString& text, int* pValue) {
    bool bOk = false;
    const int n = text.trimmed().toInt(&bOk, 10);
    if (bOk)
        *pValue = n;
    return bOk;
}
}  // namespace

CPulmetraSettingsDialog::CPulmetraSettingsDialog(CViewerIni& ini, QWidget* pParent)
    : QDialog(pParent), m_ini(ini) {
    setObjectName(QString::number(IDD));
    setWindowTitle("Ajustes");
    auto* pLayout = new QVBoxLayout(this);
    auto* pForm = new QFormLayout;
    pLayout->addLayout(pForm);
    for (const SKey& k : kKeys) {
        auto* p = new CExEdit(this);
        p->setObjectName(QString::number(k.nId));
        p->SetBkColor(oxuctrl::kPaleField);
        p->EnableKeyboardInput(TRUE);
        p->setText(pmstr::ToQ(m_ini.GetString(kSpiroView, k.pszKey, "")));
        if (k.nId == IDC_CACHE_DAYS) {
            auto* pRow = new QHBoxLayout;
            pRow->addWidget(p);
            pRow->addWidget(new QLabel("Dias", this));
            pForm->addRow(QString::fromUtf8(k.pszLabel), pRow);
        } else {
            pForm->addRow(QString::fromUtf8(k.pszLabel), p);
        }
    }
    ParseInt(Edit(IDC_PORT)->text(), &m_nPort);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pButtons->button(QDialogButtonBox::Ok)->setObjectName("1");
    pButtons->button(QDialogButtonBox::Cancel)->setObjectName("2");
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    pLayout->addWidget(pButtons);
}

CExEdit* CPulmetraSettingsDialog::Edit(UINT nCtrlId) const {
    return findChild<CExEdit*>(QString::number(nCtrlId));
}

void CPulmetraSettingsDialog::accept() {
    int nPort = 0;
    if (!ParseInt(Edit(IDC_PORT)->text(), &nPort)) {
        platform::ShowMessage(vstr::LoadString(vstr::IDS_ERR_NOT_A_NUMBER),
                              platform::MB_ICONWARNING);
        Edit(IDC_PORT)->setFocus();
        return;
    }
    m_nPort = nPort;
    for (const SKey& k : kKeys)
        m_ini.WriteString(kSpiroView, k.pszKey, pmstr::FromQ(Edit(k.nId)->text()));
    m_strServer = pmstr::FromQ(Edit(IDC_SERVER)->text());
    m_strCacheFolder = pmstr::FromQ(Edit(IDC_CACHE_FOLDER)->text());
    QDialog::accept();
}

CSpiroFileDialog::CSpiroFileDialog(bool bOpen, const QString& defExt, const QString& fileName,
                                   const QString& filter, QWidget* pParent)
    : CViewerFileDialog(bOpen, defExt, fileName, filter, pParent) {}

void CSpiroFileDialog::InitCheckBox() {
    if (m_pBox)
        return;
    m_pBox = new QCheckBox(pmstr::QStr(pmstr::IDS_SAVE_TEXT_OPTION), this);
    m_pBox->setObjectName(QString::number(IDC_SAVE_TEXT));
    m_pBox->setFont(font());
    m_pBox->setChecked(m_bSaveText != FALSE);
    // One row below the file-type list.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        int nRow = grid->rowCount();
        if (auto* types = findChild<QComboBox*>("fileTypeCombo")) {
            int r = 0, c = 0, rs = 0, cs = 0;
            const int n = grid->indexOf(types);
            if (n >= 0) {
                grid->getItemPosition(n, &r, &c, &rs, &cs);
                nRow = std::max(nRow, r + rs);
            }
        }
        grid->addWidget(m_pBox, nRow, 0, 1, grid->columnCount());
    } else if (layout()) {
        layout()->addWidget(m_pBox);
    }
}

void CSpiroFileDialog::showEvent(QShowEvent* e) {
    InitCheckBox();
    QFileDialog::showEvent(e);
}

void CSpiroFileDialog::done(int r) {
    if (m_pBox)
        m_bSaveText = m_pBox->isChecked() ? TRUE : FALSE;
    QFileDialog::done(r);
}

CPulmetraAboutDialog::CPulmetraAboutDialog(QWidget* pParent) : QDialog(pParent) {
    setObjectName(QString::number(IDD));
    setWindowTitle("Sobre");
    auto* pLayout = new QVBoxLayout(this);
    auto* pName = new QLabel("Qar Daro -Pulmetra", this);
    pName->setObjectName(QString::number(IDC_PRODUCT));
    auto* pVersion = new QLabel(QString("Ver. %1").arg("1.16(20160621)"), this);
    pVersion->setObjectName(QString::number(IDC_VERSION));
    m_pOk = new CButtonST(this);
    m_pOk->setObjectName("1");
    m_pOk->setText("OK");
    m_pOk->SetBitmaps(vbmp::Load(vbmp::IDB_OK));
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
    pLayout->addWidget(pName);
    pLayout->addWidget(pVersion);
    pLayout->addWidget(m_pOk);
}
