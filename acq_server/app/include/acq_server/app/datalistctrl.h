#pragma once
// The received-data list: time, patient ID and path of every record received, newest on
// top, over the plain CRecordList (which also reads the day's list file). From a row the
// operator opens the record in the ECG or spirometry viewer.
#include <functional>
#include <string>
#include <vector>

#include "acq_server/app/exlistctrl.h"
#include "acq_server/list/recordlist.h"

class CRecordListModel : public CExListModel {
    Q_OBJECT
public:
    using CExListModel::CExListModel;
    CRecordList& List() { return m_list; }
    const CRecordList& List() const { return m_list; }

    // Puts a row on top (and drops the 10,001st).
    void AddRecord(CRecordRow row);
    void LoadRows(const std::string& strWorkingFolder);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    CRecordList m_list;
};

class CDataListCtrl : public CExListCtrl {
    Q_OBJECT
public:
    // Starts a program with its arguments; the default starts it detached.
    using Launcher = std::function<bool(const std::vector<std::string>& argv)>;
    static void SetLauncher(Launcher fn);
    static bool Launch(const std::vector<std::string>& argv);

    explicit CDataListCtrl(QWidget* pParent = nullptr);

    // Columns, row image, no caption.
    void Init();
    void LoadRows(const std::string& strWorkingFolder) { m_model.LoadRows(strWorkingFolder); }
    void AddRecord(CRecordRow row) { m_model.AddRecord(std::move(row)); }
    CRecordListModel& Model() { return m_model; }

    // The selected row's path; empty without a selection.
    std::string SelectedPath() const;
    // Commands 32776 and 32779.
    void OnOpenEcg();
    void OnOpenSpiro();
    // What a double click on the selected row does.
    void OnDoubleClick();
    // The context menu's commands for a path: "Run Lindar" for an ".EKG" record, else
    // "Run Pulmetra".
    static std::vector<int> ContextCommands(const std::string& strPath);
    // The argument vector that opens a record: the viewer and the path as one argument,
    // or "xdg-open" and the path when no viewer is set.
    static std::vector<std::string> ViewerArgs(const std::string& strViewer,
                                               const std::string& strPath);

protected:
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

private:
    void OpenWith(const char* pszViewerKey);

    CRecordListModel m_model;
};
