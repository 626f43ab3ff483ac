#include "testsupport/handoverscene.h"

#include <QApplication>
#include <sys/stat.h>

namespace testsupport {

CHandOverScene::CHandOverScene(const char* pszProgram)
    : m_strProgram(pszProgram), m_screen(pszProgram) {
    m_pPrevious = platform::SetNotifier(&m_screen);
}

CHandOverScene::~CHandOverScene() {
    platform::SetNotifier(m_pPrevious);
}

CHandOverUser::CScript CHandOverScene::Script(bool bShownUnder, const std::string& strSecondStart,
                                              const std::string& strSwitchedTitle) const {
    CHandOverUser::CScript script;
    if (!bShownUnder)
        script.strSecondStart = strSecondStart;
    script.strSwitchedTitle = strSwitchedTitle;
    script.strBoxes = "^" + m_strProgram + "$";
    return script;
}

bool CHandOverScene::MakeFolders() {
    return mkdir((dir / "run").c_str(), 0700) == 0 && mkdir((dir / "out").c_str(), 0700) == 0;
}

void CHandOverScene::OpenUnderTheDialog(std::function<void()> open) {
    QObject::connect(&m_opener, &QTimer::timeout, [this, open = std::move(open)] {
        if (!QApplication::activeModalWidget())
            return;
        m_opener.stop();
        open();
    });
    m_opener.start(20);
}

std::string CHandOverScene::Judge(const CHandOverUser::CSeen& seen, bool bShownUnder,
                                  const char* pszSaid) {
    if (!seen.bDialog)
        return "the dialog did not come";
    std::string strOut;
    if (bShownUnder && !seen.bSwitchedUnder)
        strOut += "the other record was not shown under the dialog; ";
    if (!bShownUnder && seen.bSwitchedUnder)
        strOut += "the record changed under the open dialog; ";
    if (!bShownUnder && seen.nSecondStatus != 0)
        strOut += "the second start ended with " + std::to_string(seen.nSecondStatus) + "; ";
    if (seen.boxes.size() != (pszSaid ? 1u : 0u))
        strOut += std::to_string(seen.boxes.size()) + " boxes after the answer; ";
    else if (pszSaid && seen.boxes[0].find(pszSaid) == std::string::npos)
        strOut += "the box said: " + seen.boxes[0];
    return strOut;
}

bool CHandOverScene::Same(const std::string& strFile, const std::string& strOther) {
    return RunCommand("cmp -s " + ShellQuote(strFile) + " " + ShellQuote(strOther) + "; echo $?") ==
           "0\n";
}

std::string CHandOverScene::PdfText(const std::string& strPdf) {
    return RunCommand("pdftotext " + ShellQuote(strPdf) + " - 2>&1");
}

std::string CHandOverScene::PictureDifference(const std::string& strPicture,
                                              const std::string& strOther) {
    return RunCommand("compare -metric AE " + ShellQuote(strPicture) + " " + ShellQuote(strOther) +
                      " null: 2>&1");
}

}  // namespace testsupport
