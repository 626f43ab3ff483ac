#pragma once
// Pulmetra's small dialogs, built in code with control ids as object names.
//
// CPulmetraSettingsDialog ("Ajustes"): the file server, its port, the cache folder and the
//   cache keeping days of section "SPIRO_VIEW" of Pulmetra's INI file. Host use: construct
//   with the program's CViewerIni, exec(); after OK read Server(), Port(), CacheFolder().
// CSpiroFileDialog: the Save As dialog with the check box "the text report is written too"
//   (id 1001). Host use: set m_bSaveText, exec(); afterwards m_bSaveText holds the box.
// CPulmetraAboutDialog ("Sobre"): product name and version, OK.
#include <QDialog>
#include <QFileDialog>
#include <string>

#include "platform/wintypes.h"
#include "viewers/common/smallwindows.h"

class CButtonST;
class CExEdit;
class CViewerIni;
class QCheckBox;
class QLabel;

// Pulmetra's INI section and its keys.
inline constexpr const char* kSpiroView = "SPIRO_VIEW";

class CPulmetraSettingsDialog : public QDialog {
    Q_OBJECT
public:
    enum : UINT {
        IDD = 135,
        IDC_SERVER = 1038,
        IDC_PORT = 1039,
        IDC_CACHE_FOLDER = 1040,
        IDC_CACHE_DAYS = 1042,
    };
    CPulmetraSettingsDialog(CViewerIni& ini, QWidget* pParent = nullptr);

    // OK: the port must be a whole number (else the framework's message 61712 and the
    // dialog stays); the four texts are written to their keys and kept for the caller.
    void accept() override;

    const std::string& Server() const { return m_strServer; }
    int Port() const { return m_nPort; }
    const std::string& CacheFolder() const { return m_strCacheFolder; }
    CExEdit* Edit(UINT nCtrlId) const;

private:
    CViewerIni& m_ini;
    std::string m_strServer;
    int m_nPort = 0;
    std::string m_strCacheFolder;
};

class CSpiroFileDialog : public CViewerFileDialog {
    Q_OBJECT
public:
    enum : UINT { IDC_SAVE_TEXT = 1001 };
    // filter: Qt's form ("JPEG Files(*.jpg);;PDF Files(*.pdf)").
    CSpiroFileDialog(bool bOpen, const QString& defExt, const QString& fileName,
                     const QString& filter, QWidget* pParent = nullptr);
    BOOL m_bSaveText = FALSE;
    // Adds the box from m_bSaveText (done on showing; tests call it directly).
    void InitCheckBox();
    QCheckBox* SaveTextBox() const { return m_pBox; }
    void done(int r) override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    QCheckBox* m_pBox = nullptr;
};

class CPulmetraAboutDialog : public QDialog {
    Q_OBJECT
public:
    enum : UINT { IDD = 100, IDC_PRODUCT = 1015, IDC_VERSION = 1016 };
    explicit CPulmetraAboutDialog(QWidget* pParent = nullptr);
    CButtonST* OkButton() const { return m_pOk; }

private:
    CButtonST* m_pOk;
};
