#include "viewers/common/receivedialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <cstring>

#include "ecg_control/wavelin_dispids.h"
#include "oxuctrl/oxuctrl.h"
#include "platform/codepage.h"
#include "platform/folders.h"
#include "platform/format.h"
#include "platform/notifier.h"
#include "viewers/common/smallwindows.h"
#include "viewers/common/strings.h"

std::string SocketErrorText(int nError) {
    static const struct {
        int code;
        const char* text;
    } kTexts[] = {
        {10013,
         "The requested address is a broadcast address, but the appropriate flag was not set"},
        {10014, "The lpBuf argument is not in a valid part of the user address space"},
        {10022,
         "The socket has not been bound with Bind or The socket is already bound to an address"},
        {10024, "No more file descriptors are available"},
        {10036, "A blocking Windows Sockets operation is in progress"},
        {10038, "The descriptor is a file, not a socket"},
        {10039, "A destination address is required"},
        {10040,
         "The socket is of type SOCK_DGRAM, and the datagram is larger than the maximum "
         "supported by the Windows Sockets implementation"},
        {10041, "The specified port is the wrong type for this socket"},
        {10043, "The specified port is not supported"},
        {10044, "The specified socket type is not supported in this address family"},
        {10045, "MSG_OOB was specified, but the socket is not of type SOCK_STREAM"},
        {10047, "The specified address family is not supported"},
        {10048, "The specified address is already in use"},
        {10049, "The specified address is not available from the local machine"},
        {10050, "The Windows Sockets implementation detected that the network subsystem failed"},
        {10051, "The network cannot be reached from this host at this time"},
        {10052,
         "The connection must be reset because the Windows Sockets implementation dropped it"},
        {10053, "The virtual circuit was aborted due to timeout or other failure"},
        {10054, "The virtual circuit was reset by the remote side"},
        {10055, "No buffer space is available. The socket cannot be connected"},
        {10056, "The socket is already connected"},
        {10057, "The socket is not connected"},
        {10058,
         "The socket has been shut down; it is not possible to call Send on a socket after "
         "ShutDown has been invoked with nHow set to 1 or 2"},
        {10060, "The attempt to connect timed out without establishing a connection"},
        {10061, "The attempt to connect was forcefully rejected"},
        {10093, "A successful AfxSocketInit must occur before using this API"},
    };
    for (const auto& t : kTexts)
        if (t.code == nError)
            return t.text;
    return {};
}

short LanguageIndex() {
    // Each caption in the code page of its own build, compared byte for byte.
    static const struct {
        const char* utf8;
        const char* codePage;
        short index;
    } kCaptions[] = {
        {"Property Sheet", "CP1252", 0},        {"属性表", "GBK", 2},
        {"Bestandteilsblatt", "CP1252", 3},     {"Propriétés", "CP1252", 4},
        {"Свойства лист", "CP1251", 5},         {"Hoja de propiedades", "CP1252", 6},
        {"Proprietà del foglio", "CP1252", 7},  {"Arkusz właściwości", "CP1250", 9},
        {"Foaie caracteristici", "CP1252", 10}, {"Propriedades", "CP1252", 11},
    };
    auto inCodePage = [](const char* utf8, const char* cp) {
        const QString q = QString::fromUtf8(utf8);
        return platform::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(q.utf16()),
                                                       std::size_t(q.size())),
                                   cp);
    };
    const std::string caption = vstr::LoadString(vstr::IDS_PROPSHT_CAPTION);
    for (const auto& c : kCaptions)
        if (caption == inCodePage(c.utf8, c.codePage))
            return c.index;
    if (vstr::LoadString(vstr::IDS_LANGUAGE_PROBE) == inCodePage("더미", "CP949"))
        return 12;
    return 0;
}

std::string SafeNamePart(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\0')
            break;
        if (static_cast<unsigned char>(c) < 32)
            continue;
        out += std::strchr("\\/:*?\"<>|", c) ? '!' : c;
    }
    if (!out.empty() && out.find_first_not_of('.') == std::string::npos)
        out.assign(out.size(), '!');
    return out;
}

CEcgReceiveDialog::CEcgReceiveDialog(CViewerIni& ini, QWidget* pParent)
    : QDialog(pParent), m_ini(ini) {
    setObjectName("148");
    setWindowTitle("Recebendo o ECG ...");
    auto* lay = new QVBoxLayout(this);
    m_pTerminal = new QLabel(this);
    m_pTerminal->setObjectName(QString::number(IDC_TERMINAL));
    m_pMessage = new QLabel(this);
    m_pMessage->setObjectName(QString::number(IDC_MESSAGE));
    m_pProgress = new QProgressBar(this);
    m_pProgress->setObjectName(QString::number(IDC_PROGRESS));
    m_pCancel = new CButtonST(this);
    m_pCancel->setObjectName("2");
    m_pCancel->setText("Cancelar");
    m_pCancel->SetBitmaps(vbmp::Load(vbmp::IDB_CANCEL));
    m_pCancel->setEnabled(false);
    lay->addWidget(m_pTerminal);
    lay->addWidget(m_pMessage);
    lay->addWidget(m_pProgress);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_pCancel);
    lay->addLayout(row);
    connect(m_pCancel, &QPushButton::clicked, this, &CEcgReceiveDialog::reject);
    m_create = [](CWavelin& w, QWidget* parent) {
        std::string err;
        if (!w.Create(parent, IDC_CONTROL, &err, CWavelin::kLibraryName))
            return false;
        if (QWidget* pw = w.Widget()) {
            pw->setGeometry(0, 0, 1, 1);
            pw->hide();
        }
        return true;
    };
}

QString CEcgReceiveDialog::Message() const {
    return m_pMessage->text();
}
int CEcgReceiveDialog::Progress() const {
    return m_pProgress->value();
}

void CEcgReceiveDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!m_bStarted)
        Start();
}

void CEcgReceiveDialog::PostCancel() {
    m_bDone = true;
    QMetaObject::invokeMethod(
        this, [this] { QDialog::reject(); }, Qt::QueuedConnection);
}

void CEcgReceiveDialog::Start() {
    m_bStarted = true;
    m_pProgress->setRange(0, 100);
    const std::string ip = m_ini.GetString(kEkgView, "EKG_TERMINAL_IP", "");
    if (ip.empty()) {
        int nType = m_ini.GetInt(kEkgView, "EKG_CONFIG_IP_TYPE", 1);
        if (nType != 0)
            nType = 1;
        const std::string id = m_ini.GetString(kEkgView, "EKG_REGISTERED_ID", "");
        if (nType == 1)
            platform::ShowMessage(vstr::LoadString(vstr::IDS_NO_IP_ADDRESS), platform::MB_OK);
        else if (!id.empty())
            platform::ShowMessage(vstr::LoadString(vstr::IDS_CONNECT_FAILED), platform::MB_OK);
        else
            platform::ShowMessage("Not Registered equipment", platform::MB_OK);
        PostCancel();
        return;
    }
    m_pTerminal->setText(vstr::ToQ(ip));
    m_strSaveFolder = m_ini.GetString(kEkgView, "RECSAVE_FOLDER", "");
    if (m_strSaveFolder.empty())
        m_strSaveFolder = m_ini.DefaultFolder("PCData");
    if (!m_create || !m_create(m_wavelin, this))
        return;  // the dialog stays; Cancel closes it
    m_wavelin.SetEventHandler(
        [this](UINT id, platform::DISPID ev, const std::vector<platform::Variant>& a) {
            OnControlEvent(id, ev, a);
        });
    m_wavelin.EKGSetFilterInfo(short(m_nAC), short(m_nLPF), short(m_nBF), short(m_nMF));
    m_wavelin.EKGSetLanguage(LanguageIndex());
    if (!m_wavelin.EKGStartRecording(ip.c_str(), 3000)) {
        // A recording that did not start is no recording to wait for.
        Fail(vstr::IDS_CONNECT_FAILED);
        return;
    }
    m_bStopping = false;
    m_pCancel->setEnabled(true);
    m_pProgress->setValue(0);
    m_pMessage->setText(vstr::QStr(vstr::IDS_START_RECORDING));
}

void CEcgReceiveDialog::OnControlEvent(UINT nCtrlId, platform::DISPID nEvent,
                                       const std::vector<platform::Variant>& a) {
    if (nCtrlId != IDC_CONTROL || m_bDone)
        return;
    switch (nEvent) {
        case wavelin::EVENTID_EKGRecordCompleted:
            OnEKGRecordCompleted();
            break;
        case wavelin::EVENTID_EKGRecordReceiving:
            OnEKGRecordReceiving(a.at(0).AsFloat());
            break;
        case wavelin::EVENTID_EKGConnected:
            OnEKGConnected(a.at(0).AsShort(), a.at(1).AsShort());
            break;
        case wavelin::EVENTID_EKGRecordFail:
            OnEKGRecordFail(a.at(0).AsShort());
            break;
        case wavelin::EVENTID_RecordSignalNotGood:
            OnRecordSignalNotGood();
            break;
        default:
            break;
    }
}

void CEcgReceiveDialog::OnEKGRecordReceiving(float fPercent) {
    m_pMessage->setText(vstr::ToQ(
        platform::Format(vstr::LoadString(vstr::IDS_RECEIVING).c_str(), double(fPercent))));
    m_pProgress->setValue(std::clamp(int(fPercent), 0, 100));
}

void CEcgReceiveDialog::OnEKGConnected(short nError, short nMode) {
    m_pMessage->setText(vstr::ToQ(SocketErrorText(nError)));
    if (nMode >= 0) {
        m_bConnected = true;
        return;
    }
    m_pMessage->setText(vstr::QStr(vstr::IDS_CONNECT_FAILED));
    platform::ShowMessage(vstr::LoadString(vstr::IDS_CONNECT_FAILED), platform::MB_OK);
    PostCancel();
}

void CEcgReceiveDialog::Fail(UINT nMessage) {
    platform::ShowMessage(vstr::LoadString(nMessage), platform::MB_OK | platform::MB_ICONERROR);
    Finish(false);
}

void CEcgReceiveDialog::OnEKGRecordCompleted() {
    SaveRecord(vstr::IDS_EXAM_SAVED, platform::MB_OK);
}

// The record the control holds, analysed or kept unanalysed, saved as a received record.
void CEcgReceiveDialog::SaveRecord(UINT nSavedMessage, unsigned nBoxType) {
    if (m_bStopping) {
        platform::ShowMessage(vstr::LoadString(vstr::IDS_RECORD_CANCELLED), platform::MB_OK);
        PostCancel();
        return;
    }
    // No folder to save in: no name for the file can be made.
    if (m_strSaveFolder.empty() || !platform::MakeDirs(m_strSaveFolder))
        return Fail(vstr::IDS_NO_FILE_NAME);
    // The device's ID names the file, but never a path outside the folder.
    std::string id = SafeNamePart(m_wavelin.EKGGetPatientInfo(0));
    char stamp[16] = {};
    const std::time_t t = m_clock();
    std::tm tmNow{};
    localtime_r(&t, &tmNow);
    std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &tmNow);
    std::string folder = m_strSaveFolder;
    if (folder.back() != '/')
        folder += '/';
    const std::string path = folder + id + "_" + stamp + ".ekg";
    m_wavelin.EKGSetMisc(0, m_ini.GetString(kEkgView, "EKG_DOCTOR", "").c_str());
    m_wavelin.EKGSetMisc(1, m_ini.GetString(kEkgView, "EKG_HOSPITAL", "").c_str());
    if (!m_wavelin.EKGSaveFile(path.c_str()))
        return Fail(vstr::IDS_RECORD_FAILED);
    m_strSavedPath = path;
    platform::ShowMessage(vstr::LoadString(nSavedMessage), nBoxType);
    Finish(true);
}

void CEcgReceiveDialog::OnEKGRecordFail(short nCode) {
    // The control kept a recording it could not hand to the engine: the patient's samples
    // are saved and opened as any received record, without the analysis.
    if (nCode == wavelin::RECORDFAIL_NOT_WRITTEN)
        return SaveRecord(vstr::IDS_SAVED_NOT_ANALYSED, platform::MB_OK | platform::MB_ICONWARNING);
    Fail(vstr::IDS_RECORD_FAILED);
}

void CEcgReceiveDialog::OnRecordSignalNotGood() {
    platform::ShowMessage(vstr::LoadString(vstr::IDS_SIGNAL_NOT_GOOD),
                          platform::MB_OK | platform::MB_ICONWARNING);
    Finish(false);
}

void CEcgReceiveDialog::Finish(bool bOk) {
    m_bStopping = false;
    m_pMessage->clear();
    m_pProgress->setValue(0);
    m_pCancel->setEnabled(false);
    // Hiding ends a modal run with the result the dialog holds: set it first, so that a
    // plain exec() reports a saved record as accepted.
    setResult(bOk ? QDialog::Accepted : QDialog::Rejected);
    hide();
    m_bDone = true;
    if (bOk)
        QMetaObject::invokeMethod(
            this, [this] { QDialog::accept(); }, Qt::QueuedConnection);
    else
        QMetaObject::invokeMethod(
            this, [this] { QDialog::reject(); }, Qt::QueuedConnection);
}

void CEcgReceiveDialog::reject() {
    if (m_bDone) {
        QDialog::reject();
        return;
    }
    m_pMessage->setText(vstr::QStr(vstr::IDS_STOPPING));
    m_bStopping = true;
    hide();
    QDialog::reject();
}
