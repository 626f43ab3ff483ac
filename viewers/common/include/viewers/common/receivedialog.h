#pragma once
// Recording straight from the registered cart (dialog 148): a hidden ECG control records,
// the dialog shows the progress and saves the record as "<folder>/<id>_<time>.ekg" (also a
// recording the control kept unanalysed because the engine could not be given it). The
// dialog ends with OK only when the record file was saved whole; the saved path is then
// what the view opens.
#include <QDialog>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "ecg_control/host/wavelin.h"
#include "viewers/common/viewerini.h"

class CButtonST;
class QLabel;
class QProgressBar;

// The English text of a Windows Sockets error number; empty for 0 and unknown numbers.
std::string SocketErrorText(int nError);
// The user-interface language index the control takes, from the program's string 102.
short LanguageIndex();
// A device-given text made safe as a file name part: the characters file names may not
// hold become "!", control characters go, and a name of dots only is no folder.
std::string SafeNamePart(const std::string& text);

class CEcgReceiveDialog : public QDialog {
    Q_OBJECT
public:
    enum : int { IDC_PROGRESS = 1087, IDC_MESSAGE = 1079, IDC_TERMINAL = 1094, IDC_CONTROL = 2000 };
    using CreateFn = std::function<bool(CWavelin& wavelin, QWidget* pParent)>;
    explicit CEcgReceiveDialog(CViewerIni& ini, QWidget* pParent = nullptr);

    // How the hidden control is made (tests hand in their own).
    void SetControlFactory(CreateFn fn) { m_create = std::move(fn); }
    void SetClock(std::function<std::time_t()> clock) { m_clock = std::move(clock); }
    // The opening steps (done when first shown).
    void Start();
    const std::string& SavedPath() const { return m_strSavedPath; }
    QString Message() const;
    int Progress() const;
    CWavelin& Wavelin() { return m_wavelin; }

    void OnEKGRecordReceiving(float fPercent);
    void OnEKGConnected(short nError, short nMode);
    void OnEKGRecordCompleted();
    void OnEKGRecordFail(short nCode);
    void OnRecordSignalNotGood();
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void OnControlEvent(UINT nCtrlId, platform::DISPID nEvent,
                        const std::vector<platform::Variant>& args);
    void SaveRecord(UINT nSavedMessage, unsigned nBoxType);
    void Finish(bool bOk);
    void Fail(UINT nMessage);
    void PostCancel();

    CViewerIni& m_ini;
    CWavelin m_wavelin;
    CreateFn m_create;
    std::function<std::time_t()> m_clock = [] { return std::time(nullptr); };
    CButtonST* m_pCancel;
    QProgressBar* m_pProgress;
    QLabel* m_pMessage;
    QLabel* m_pTerminal;
    std::string m_strSaveFolder;
    std::string m_strSavedPath;
    int m_nAC = 2, m_nLPF = 3, m_nBF = 1, m_nMF = 0;
    bool m_bConnected = false;
    bool m_bStopping = false;
    bool m_bStarted = false;
    bool m_bDone = false;
};
