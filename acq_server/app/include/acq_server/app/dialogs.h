#pragma once
// The server's settings dialogs. Every control carries its resource id as its object name,
// so a test finds it by id. Dialogs copy values in (Load) and out (Store) and never touch
// the profile themselves; the frame loads, saves and clamps.
//   149 ECG JPEG options, 155 ECG PDF options, 156 TEXT options (ECG or spirometry),
//   151 spirometry JPEG options, 157 spirometry PDF options, 170 general settings,
//   154 IP setting, 100 about.
#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "acq_server/settings/serversettings.h"

class QComboBox;
class QCheckBox;
class QLineEdit;
class QRadioButton;

// Folder and file pickers behind one seam, so that tests answer them.
class IPathPicker {
public:
    virtual ~IPathPicker() = default;
    // FALSE when cancelled.
    virtual bool PickFolder(QWidget* pOwner, const QString& strTitle, QString& strPath) = 0;
    virtual bool PickFile(QWidget* pOwner, const QString& strFilter, QString& strPath) = 0;
};
IPathPicker& PathPicker();
// nullptr restores the system's dialogs; returns the previous one.
IPathPicker* SetPathPicker(IPathPicker* pPicker);

// A dialog that starts its own nested loop; the frame closes every one of these before it
// ends the program.
class CServerDialog : public QDialog {
    Q_OBJECT
public:
    CServerDialog(int nDialogId, const QString& strTitle, QWidget* pParent);
    int DialogId() const { return m_nDialogId; }

protected:
    // OK, Cancelar and, when asked, "Default" (id 3) on one row.
    void AddButtons(bool bDefault);
    virtual void OnDefault() {}

private:
    int m_nDialogId;
};

// One field of an option dialog: a combo box (items) or a check box (no items), bound to a
// settings member.
struct COptionField {
    int nCtrlId;
    const char* pszLabel;  // UTF-8
    std::vector<const char*> items;
    int acqsettings::CServerSettings::*pValue;
    int nDefault;
    bool bHidden = false;
};

class COptionDlg : public CServerDialog {
    Q_OBJECT
public:
    COptionDlg(int nDialogId, const QString& strTitle, std::vector<COptionField> fields,
               QWidget* pParent);
    void Load(const acqsettings::CServerSettings& s);
    void Store(acqsettings::CServerSettings& s) const;

protected:
    void OnDefault() override;

private:
    std::vector<COptionField> m_fields;
    std::vector<QWidget*> m_controls;
};

// The five option dialogs.
std::unique_ptr<COptionDlg> MakeEkgJpegDlg(QWidget* pParent);    // 149
std::unique_ptr<COptionDlg> MakeEkgPdfDlg(QWidget* pParent);     // 155
std::unique_ptr<COptionDlg> MakeEkgTextDlg(QWidget* pParent);    // 156, ECG sections
std::unique_ptr<COptionDlg> MakeSpiroTextDlg(QWidget* pParent);  // 156, spirometry sections
std::unique_ptr<COptionDlg> MakeSpiroJpegDlg(QWidget* pParent);  // 151
std::unique_ptr<COptionDlg> MakeSpiroPdfDlg(QWidget* pParent);   // 157

// General settings (170).
class CEnvironmentDlg : public CServerDialog {
    Q_OBJECT
public:
    explicit CEnvironmentDlg(QWidget* pParent = nullptr);
    void Load(const acqsettings::CServerSettings& s);
    // Every value back, both DICOM switches off.
    void Store(acqsettings::CServerSettings& s) const;
    // The option dialog a "ajustes..." button opens (by its button id); it edits the
    // values this dialog holds and gives them back only on OK.
    void OnOptions(int nButtonId);
    // Test seam: runs an option dialog instead of exec() (default: exec()).
    static void SetOptionRunner(std::function<int(COptionDlg&)> fn);

private:
    void PickFolder();
    void PickProgram(QLineEdit* pEdit);

    acqsettings::CServerSettings m_values;
    QLineEdit* m_pFolder;
    QLineEdit* m_pLindar;
    QLineEdit* m_pPulmetra;
    QLineEdit* m_pPort;
    QCheckBox* m_pJpegEkg;
    QCheckBox* m_pPdfEkg;
    QCheckBox* m_pTxtEkg;
    QCheckBox* m_pXmlEkg;
    QCheckBox* m_pJpegSpr;
    QCheckBox* m_pPdfSpr;
    QCheckBox* m_pTxtSpr;
    QRadioButton* m_pFolderType[3];
};

// IP setting (154): empty, or a dotted IPv4 address.
class CIPSettingDlg : public CServerDialog {
    Q_OBJECT
public:
    explicit CIPSettingDlg(QWidget* pParent = nullptr);
    void SetAddress(const QString& str);
    QString Address() const;
    void accept() override;

private:
    QLineEdit* m_pEdit;
};

// About (100).
class CAboutDlg : public CServerDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
};
