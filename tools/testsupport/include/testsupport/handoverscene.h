#pragma once
// What a viewer's hand-over test needs beside its own application: folders and variables of
// its own (the single-instance channel in its runtime folder), the other road that puts a
// record in the window under an open dialog, the judging of what the user saw, and the
// outside checkers of the outputs.
#include <QTimer>
#include <functional>
#include <string>

#include "platform/screennotifier.h"
#include "testsupport/handoveruser.h"
#include "testsupport/testsupport.h"

namespace testsupport {

class CHandOverScene {
public:
    // The program's boxes go to the screen (its caption pszProgram) while the scene lasts.
    explicit CHandOverScene(const char* pszProgram);
    ~CHandOverScene();
    CHandOverScene(const CHandOverScene&) = delete;
    CHandOverScene& operator=(const CHandOverScene&) = delete;

    // The runtime folder and "out/" for what the commands write; FALSE when they cannot be made.
    bool MakeFolders();
    // What the user does, with the second start's command line (none for the other road),
    // the window name that shows the handed-over record, and the program's boxes after.
    CHandOverUser::CScript Script(bool bShownUnder, const std::string& strSecondStart,
                                  const std::string& strSwitchedTitle) const;
    // Runs `open` once, as soon as a modal window is up: another record put in the window
    // under the dialog by a road that is no hand-over (a hand-over waits).
    void OpenUnderTheDialog(std::function<void()> open);
    // "" when the user saw what a command should show: the dialog; B shown under it only
    // by the other road, else the second start ended well; the boxes after it, the first
    // saying pszSaid (null: no box). Else what differs.
    static std::string Judge(const CHandOverUser::CSeen& seen, bool bShownUnder,
                             const char* pszSaid);
    // Byte for byte (cmp).
    static bool Same(const std::string& strFile, const std::string& strOther);
    // The text of a PDF (pdftotext).
    static std::string PdfText(const std::string& strPdf);
    // Pixels that differ between two pictures (ImageMagick compare), "0" for none.
    static std::string PictureDifference(const std::string& strPicture,
                                         const std::string& strOther);

    CTempDir dir;
    CEnvScope runtime{"XDG_RUNTIME_DIR", (dir / "run").c_str()};
    CEnvScope config{"XDG_CONFIG_HOME", (dir / "cfg").c_str()};
    CEnvScope data{"XDG_DATA_HOME", (dir / "data").c_str()};
    CEnvScope home{"CORVANE_HOME", (dir / "home").c_str()};
    CEnvScope scratch{"TMPDIR", dir.Path().c_str()};

private:
    std::string m_strProgram;
    platform::CScreenNotifier m_screen;
    platform::INotifier* m_pPrevious = nullptr;
    QTimer m_opener;
};

}  // namespace testsupport
