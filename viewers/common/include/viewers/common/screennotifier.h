#pragma once
// A viewer's message boxes on the screen: the notifier's texts as Qt message boxes with the
// buttons and icon the caller asked for, the first button the default (Yes of Yes/No, as
// the system's boxes have it), converted from the code page each text is written in.
#include <string>

#include "platform/notifier.h"

class QMessageBox;

class CScreenNotifier : public platform::INotifier {
public:
    // strProgram is the caption of a box that names none.
    explicit CScreenNotifier(std::string strProgram);
    int Ask(const std::string& text, const std::string& caption, unsigned type) override;
    int AskInCodePage(const std::string& text, const std::string& codePage,
                      const std::string& caption, unsigned type) override;

    // Whether boxes can be seen at all: not on the offscreen platform, where nobody could
    // answer one and the program would wait for ever.
    static bool ScreenAvailable();

private:
    int Show(const std::string& utf8Text, const std::string& caption, unsigned type);
    std::string m_strProgram;
};
