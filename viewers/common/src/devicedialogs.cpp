#include "viewers/common/devicedialogs.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ecg_control/host/wavelin.h"
#include "oxuctrl/oxuctrl.h"
#include "platform/notifier.h"
#include "viewers/common/ipcheck.h"
#include "viewers/common/smallwindows.h"
#include "viewers/common/strings.h"

namespace {

template <class T>
T* Pale(T* p, int nId) {
    p->setObjectName(QString::number(nId));
    p->SetBkColor(oxuctrl::kPaleField);
    p->SetTextColor(oxuctrl::kBlack);
    return p;
}

void AddOkCancel(QDialog* dlg, QBoxLayout* lay) {
    auto* ok = new CButtonST(dlg);
    ok->setObjectName("1");
    ok->setText("OK");
    ok->SetBitmaps(vbmp::Load(vbmp::IDB_OK));
    auto* cancel = new CButtonST(dlg);
    cancel->setObjectName("2");
    cancel->setText("Cancelar");
    cancel->SetBitmaps(vbmp::Load(vbmp::IDB_CANCEL));
    QObject::connect(ok, &QPushButton::clicked, dlg, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dlg, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    lay->addLayout(row);
}

std::string Text(const QString& s) {
    return vstr::FromQ(s);
}

}  // namespace

void FillDeviceList(CExComboBox* pList, CWavelin& wavelin) {
    const short n = wavelin.EKGGetConnectedEKGCnt();
    pList->clear();
    pList->addItem("NONE");
    for (short i = 0; i < n; ++i)
        pList->addItem(vstr::ToQ(wavelin.EKGGetConnectedEKGInfo(i)));
}

// CDeviceSelectDialog

CDeviceSelectDialog::CDeviceSelectDialog(CWavelin& wavelin, CViewerIni& ini, QWidget* pParent)
    : QDialog(pParent), m_wavelin(wavelin), m_ini(ini) {
    setObjectName("154");
    setWindowTitle("Selecionar Equipamento");
    auto* lay = new QVBoxLayout(this);
    m_pList = Pale(new CExComboBox(this), IDC_DEVICES);
    lay->addWidget(m_pList);
    AddOkCancel(this, lay);
    FillDeviceList(m_pList, m_wavelin);
    m_pList->setCurrentIndex(0);
}

void CDeviceSelectDialog::accept() {
    const int p = m_pList->currentIndex();
    std::string address, id;
    if (p >= 1) {
        address = m_wavelin.EKGGetConnectedEKGIP(short(p - 1));
        if (!address.empty())
            id = m_wavelin.EKGGetConnectedEKGID(short(p - 1));
    }
    m_ini.WriteString(kEkgView, "EKG_TERMINAL_IP", address);
    m_ini.WriteString(kEkgView, "EKG_REGISTERED_ID", id);
    QDialog::accept();
}

// CLindarSettingsDialog

namespace {
const char* const kDispSizes[] = {"800 x 600", "1024 x 768", "1280 x 1024", "1600 x 1200"};
const char* const kJpegSizes[] = {"800 * 600",  "900 * 675",   "1024 * 768",
                                  "1280 * 960", "1600 * 1200", "2700 * 2025"};

void SelectByPrefix(CExComboBox* p, const std::string& stored) {
    p->setCurrentIndex(-1);
    for (int i = 0; i < p->count(); ++i)
        if (!stored.empty() && p->itemText(i).startsWith(vstr::ToQ(stored))) {
            p->setCurrentIndex(i);
            return;
        }
}
}  // namespace

CLindarSettingsDialog::CLindarSettingsDialog(CWavelin& wavelin, CViewerIni& ini, QWidget* pParent)
    : QDialog(pParent), m_wavelin(wavelin), m_ini(ini) {
    setObjectName("153");
    setWindowTitle(QString::fromUtf8("Configurações"));
    auto* lay = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_pDhcp = new QRadioButton("DHCP", this);
    m_pDhcp->setObjectName(QString::number(IDC_DHCP));
    m_pFixed = new QRadioButton("IP FIXO:", this);
    m_pFixed->setObjectName(QString::number(IDC_FIXED_IP));
    auto* mode = new QButtonGroup(this);
    mode->addButton(m_pDhcp);
    mode->addButton(m_pFixed);
    m_pAddress = Pale(new CExEdit(this), IDC_ADDRESS);
    m_pAddress->EnableKeyboardInput(TRUE);
    m_pDevices = Pale(new CExComboBox(this), IDC_DEVICES);
    m_pSearch = new QPushButton("Localizar", this);
    m_pSearch->setObjectName(QString::number(IDC_SEARCH));
    m_pSearchTime = Pale(new CExComboBox(this), IDC_SEARCH_TIME);
    for (int s = 1; s <= 15; ++s)
        m_pSearchTime->addItem(QString::asprintf("%2d sec", s));
    m_pDispDefault = Pale(new CExComboBox(this), IDC_DISP_DEFAULT);
    m_pDispFull = Pale(new CExComboBox(this), IDC_DISP_FULL);
    for (const char* s : kDispSizes) {
        m_pDispDefault->addItem(s);
        m_pDispFull->addItem(s);
    }
    m_pJpegSize = Pale(new CExComboBox(this), IDC_JPEG_SIZE);
    for (const char* s : kJpegSizes)
        m_pJpegSize->addItem(s);
    m_pBmp1 = new QRadioButton("BMP1", this);
    m_pBmp1->setObjectName(QString::number(IDC_BMP1));
    m_pBmp2 = new QRadioButton("BMP2", this);
    m_pBmp2->setObjectName(QString::number(IDC_BMP2));
    auto* dicom = new QButtonGroup(this);
    dicom->addButton(m_pBmp1);
    dicom->addButton(m_pBmp2);
    m_pFolder = Pale(new CExEdit(this), IDC_FOLDER);
    m_pFolder->EnableKeyboardInput(TRUE);
    auto* browse = new QPushButton("...", this);
    browse->setObjectName(QString::number(IDC_BROWSE));
    m_pDoctor = Pale(new CExEdit(this), IDC_DOCTOR);
    m_pDoctor->EnableKeyboardInput(TRUE);
    m_pHospital = Pale(new CExEdit(this), IDC_HOSPITAL);
    m_pHospital->EnableKeyboardInput(TRUE);

    auto* fixedRow = new QHBoxLayout;
    fixedRow->addWidget(m_pFixed);
    fixedRow->addWidget(m_pAddress);
    auto* dhcpRow = new QHBoxLayout;
    dhcpRow->addWidget(m_pDhcp);
    dhcpRow->addWidget(m_pDevices, 1);
    dhcpRow->addWidget(m_pSearchTime);
    dhcpRow->addWidget(m_pSearch);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_pFolder, 1);
    folderRow->addWidget(browse);
    auto* dicomRow = new QHBoxLayout;
    dicomRow->addWidget(m_pBmp1);
    dicomRow->addWidget(m_pBmp2);
    lay->addLayout(dhcpRow);
    lay->addLayout(fixedRow);
    form->addRow("Tela:", m_pDispDefault);
    form->addRow("Tela cheia:", m_pDispFull);
    form->addRow("JPEG:", m_pJpegSize);
    form->addRow("DICOM:", dicomRow);
    form->addRow("Pasta:", folderRow);
    form->addRow(QString::fromUtf8("Médico:"), m_pDoctor);
    form->addRow("Hospital:", m_pHospital);
    lay->addLayout(form);
    AddOkCancel(this, lay);

    connect(m_pDhcp, &QRadioButton::clicked, this, &CLindarSettingsDialog::OnDhcp);
    connect(m_pFixed, &QRadioButton::clicked, this, &CLindarSettingsDialog::OnFixedIp);
    connect(m_pSearch, &QPushButton::clicked, this, &CLindarSettingsDialog::OnSearch);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(
            this, "Select the Work Folder(Save the Folder)", m_pFolder->text());
        if (!dir.isEmpty())
            m_pFolder->setText(dir);
    });

    // Opening.
    m_strRegisteredId = m_ini.GetString(kEkgView, "EKG_REGISTERED_ID", "");
    int nType = m_ini.GetInt(kEkgView, "EKG_CONFIG_IP_TYPE", 1);
    if (nType != 0)
        nType = 1;
    m_pSearchTime->setCurrentIndex(2);
    if (nType == 1) {
        m_pFixed->setChecked(true);
        m_pAddress->setText(vstr::ToQ(m_ini.GetString(kEkgView, "EKG_TERMINAL_IP", "")));
        m_pDevices->setEnabled(false);
        m_pSearch->setEnabled(false);
        m_pSearchTime->setEnabled(false);
    } else {
        m_pDhcp->setChecked(true);
        FillDevices();
        m_pAddress->setEnabled(false);
    }
    SelectByPrefix(m_pDispDefault, m_ini.GetString(kEkgView, "DISP_DEFAULT_SIZE", "800 x 600"));
    SelectByPrefix(m_pDispFull, m_ini.GetString(kEkgView, "DISP_FULL_SIZE", "1024 x 768"));
    m_pJpegSize->setCurrentIndex(m_ini.GetInt(kEkgView, "JPEG_SIZE", 3));
    std::string folder = m_ini.GetString(kEkgView, "RECSAVE_FOLDER", "");
    if (folder.empty())
        folder = m_ini.DefaultFolder("PCData");
    m_pFolder->setText(vstr::ToQ(folder));
    const int nDicom = m_ini.GetInt(kEkgView, "DICOM TYPE", 0);
    (nDicom == 0 ? m_pBmp1 : m_pBmp2)->setChecked(true);
    m_pDoctor->setText(vstr::ToQ(m_ini.GetString(kEkgView, "EKG_DOCTOR", "")));
    m_pHospital->setText(vstr::ToQ(m_ini.GetString(kEkgView, "EKG_HOSPITAL", "")));
    m_strSaveComment = m_ini.GetString(kEkgView, "SAVE_COMMENT", "1");
}

void CLindarSettingsDialog::FillDevices() {
    FillDeviceList(m_pDevices, m_wavelin);
    if (m_strRegisteredId.empty()) {
        m_pDevices->setCurrentIndex(0);
        return;
    }
    const short n = m_wavelin.EKGGetConnectedEKGCnt();
    for (short i = 0; i < n; ++i)
        if (m_wavelin.EKGGetConnectedEKGID(i) == m_strRegisteredId) {
            m_pDevices->setCurrentIndex(i + 1);
            return;
        }
    m_pDevices->insertItem(1, vstr::ToQ("0.0.0.0:" + m_strRegisteredId));
    m_pDevices->setCurrentIndex(1);
}

void CLindarSettingsDialog::OnDhcp() {
    FillDevices();
    m_pAddress->clear();
    m_pAddress->setEnabled(false);
    m_pDevices->setEnabled(true);
    m_pSearch->setEnabled(true);
    m_pSearchTime->setEnabled(true);
}

void CLindarSettingsDialog::OnFixedIp() {
    m_pAddress->setEnabled(true);
    m_pDevices->setEnabled(false);
    m_pSearch->setEnabled(false);
    m_pSearchTime->setEnabled(false);
}

void CLindarSettingsDialog::OnSearch() {
    m_pDevices->setEnabled(false);
    const int k = std::max(0, m_pSearchTime->currentIndex());
    m_wavelin.EKGConnectedSearch(short((k + 1) * 1000));
    // The search answers 1; the devices it found are counted by the finder.
    if (m_wavelin.EKGGetConnectedEKGCnt() > 0) {
        m_pDevices->setEnabled(true);
        FillDevices();
    }
}

void CLindarSettingsDialog::accept() {
    const std::string address = Text(m_pAddress->text());
    if (!address.empty() && !IsValidIPAddress(address)) {
        platform::ShowMessage(vstr::LoadString(vstr::IDS_ERR_INVALID_IP),
                              platform::MB_OK | platform::MB_ICONERROR);
        m_pAddress->setFocus();
        m_pAddress->selectAll();
        return;
    }
    const int nType = m_pDhcp->isChecked() ? 0 : 1;
    m_ini.WriteInt(kEkgView, "EKG_CONFIG_IP_TYPE", nType);
    std::string ip, id = m_strRegisteredId;
    if (nType == 0) {
        const int p = m_pDevices->currentIndex();
        if (p >= 1) {
            const short nFound = m_wavelin.EKGGetConnectedEKGCnt();
            const int index = (m_pDevices->count() > nFound + 1) ? p - 2 : p - 1;
            ip = index >= 0 ? m_wavelin.EKGGetConnectedEKGIP(short(index)) : std::string();
            if (!ip.empty())
                id = m_wavelin.EKGGetConnectedEKGID(short(index));
        } else {
            id.clear();
        }
    } else {
        ip = address;
    }
    m_ini.WriteString(kEkgView, "EKG_TERMINAL_IP", ip);
    m_ini.WriteString(kEkgView, "EKG_REGISTERED_ID", id);
    m_ini.WriteString(kEkgView, "DISP_DEFAULT_SIZE", Text(m_pDispDefault->currentText()));
    m_ini.WriteString(kEkgView, "DISP_FULL_SIZE", Text(m_pDispFull->currentText()));
    m_ini.WriteString(kEkgView, "RECSAVE_FOLDER", Text(m_pFolder->text()));
    m_ini.WriteInt(kEkgView, "JPEG_SIZE", m_pJpegSize->currentIndex());
    m_ini.WriteString(kEkgView, "SAVE_COMMENT", m_strSaveComment);
    m_ini.WriteInt(kEkgView, "DICOM TYPE", m_pBmp1->isChecked() ? 0 : 1);
    m_ini.WriteString(kEkgView, "EKG_DOCTOR", Text(m_pDoctor->text()));
    m_ini.WriteString(kEkgView, "EKG_HOSPITAL", Text(m_pHospital->text()));
    QDialog::accept();
}
