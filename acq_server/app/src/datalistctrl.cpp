#include "acq_server/app/datalistctrl.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <strings.h>

#include "acq_server/app/commands.h"
#include "acq_server/app/icons.h"
#include "acq_server/app/strings.h"
#include "acq_server/settings/serversettings.h"
#include "platform/codepage.h"
#include "platform/notifier.h"
#include "platform/process.h"
#include "platform/settings.h"

namespace {

CDataListCtrl::Launcher& LauncherFn() {
    static CDataListCtrl::Launcher fn;
    return fn;
}

std::string LastThree(const std::string& s) { return s.size() < 3 ? s : s.substr(s.size() - 3); }
bool Is(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }
bool IsEcg(const std::string& strPath) { return Is(LastThree(strPath), "EKG"); }
bool IsSpiro(const std::string& strPath) {
    const std::string s = LastThree(strPath);
    return Is(s, "FVC") || Is(s, "SVC") || Is(s, "MVV");
}

}  // namespace

// Model

void CRecordListModel::AddRecord(CRecordRow row) {
    // The oldest row goes first, so that the view never holds more than the list.
    if (m_list.Size() >= CRecordList::kMaxRows) {
        const int nLast = static_cast<int>(m_list.Size()) - 1;
        beginRemoveRows({}, nLast, nLast);
        m_list.MutableRows().pop_back();
        endRemoveRows();
    }
    beginInsertRows({}, 0, 0);
    m_list.AddRow(std::move(row));
    endInsertRows();
}

void CRecordListModel::LoadRows(const std::string& strWorkingFolder) {
    beginResetModel();
    m_list.LoadRows(strWorkingFolder);
    endResetModel();
}

int CRecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_list.Size());
}

QVariant CRecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_list.Size()))
        return {};
    const CRecordRow& row = m_list.Row(static_cast<std::size_t>(index.row()));
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const std::string* p = index.column() == 0   ? &row.m_strTime
                               : index.column() == 1 ? &row.m_strPatientID
                                                     : &row.m_strPath;
        return QString::fromStdString(platform::ToUtf8(*p));
    }
    if (role == Qt::DecorationRole && index.column() == 0 && !m_rowImage.isNull())
        return m_rowImage;
    return {};
}

// List

void CDataListCtrl::SetLauncher(Launcher fn) { LauncherFn() = std::move(fn); }

bool CDataListCtrl::Launch(const std::vector<std::string>& argv) {
    if (LauncherFn())
        return LauncherFn()(argv);
    return platform::StartDetached(argv);
}

CDataListCtrl::CDataListCtrl(QWidget* pParent) : CExListCtrl(pParent) {
    setObjectName("59648");
    SetListModel(&m_model);
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { OnDoubleClick(); });
}

void CDataListCtrl::Init() {
    setFrameShape(QFrame::StyledPanel);
    SetImageList(qaricons::Bitmap(137));
    ShowCaption(false);
    SetColumns({qarstr::QStr(qarstr::IDS_DATA_TIME), qarstr::QStr(qarstr::IDS_PATIENT_ID),
                qarstr::QStr(qarstr::IDS_FILE_NAME)},
               {140, 120, 500}, {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignLeft});
}

std::string CDataListCtrl::SelectedPath() const {
    const int nRow = SelectedRow();
    if (nRow < 0 || nRow >= static_cast<int>(m_model.List().Size()))
        return {};
    return m_model.List().Row(static_cast<std::size_t>(nRow)).m_strPath;
}

std::vector<std::string> CDataListCtrl::ViewerArgs(const std::string& strViewer,
                                                   const std::string& strPath) {
    // The path goes as one argument: no quotes, no shell.
    if (strViewer.empty())
        return {"xdg-open", strPath};
    return {strViewer, strPath};
}

void CDataListCtrl::OpenWith(const char* pszViewerKey) {
    const std::string strPath = SelectedPath();
    if (strPath.empty())
        return;
    // Read afresh: the operator may have changed it in the settings.
    platform::CSettingsStore store(acqsettings::kKeyPath);
    const std::string strViewer = store.GetString(acqsettings::kSection, pszViewerKey, "");
    Launch(ViewerArgs(strViewer, strPath));
}

void CDataListCtrl::OnOpenEcg() { OpenWith("Lindar"); }
void CDataListCtrl::OnOpenSpiro() { OpenWith("Pulmetra"); }

void CDataListCtrl::OnDoubleClick() {
    const std::string strPath = SelectedPath();
    if (IsEcg(strPath))
        OnOpenEcg();
    else if (IsSpiro(strPath))
        OnOpenSpiro();
    else
        platform::ShowMessage("This file is not EKG or SPIRO file.", platform::MB_OK);
}

std::vector<int> CDataListCtrl::ContextCommands(const std::string& strPath) {
    return {IsEcg(strPath) ? qarcmd::ID_OPEN_ECG : qarcmd::ID_OPEN_SPIRO};
}

void CDataListCtrl::contextMenuEvent(QContextMenuEvent* pEvent) {
    const std::string strPath = SelectedPath();
    if (SelectedRow() < 0)
        return;
    QMenu menu(this);
    for (int nId : ContextCommands(strPath)) {
        QAction* pAction = menu.addAction(nId == qarcmd::ID_OPEN_ECG ? "Run Lindar" : "Run Pulmetra");
        pAction->setData(nId);
    }
    QAction* pChosen = menu.exec(pEvent->globalPos());
    // The menu's own loop has ended: the command runs outside it.
    if (pChosen) {
        if (pChosen->data().toInt() == qarcmd::ID_OPEN_ECG)
            OnOpenEcg();
        else
            OnOpenSpiro();
    }
}
