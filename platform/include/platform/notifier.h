#pragma once
// Every message box and question of the system goes through one notifier, so that a
// program shows them on screen, a service logs them and a test reads and answers them.
#include <string>

namespace platform {

// Button sets and icons, as the system's message boxes ask for them.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_TYPEMASK = 0xF,
};
// Answers.
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

class INotifier {
public:
    virtual ~INotifier() = default;
    // text and caption are 8-bit text in the installation code page.
    virtual int Ask(const std::string& text, const std::string& caption, unsigned type) = 0;
    // A text written in another code page than the installation's (a string of another
    // language's table, or UTF-8): shown as it is written. By default it reaches Ask in
    // the installation code page, with '?' for what that cannot hold.
    virtual int AskInCodePage(const std::string& text, const std::string& codePage,
                              const std::string& caption, unsigned type);
};

// The process's notifier: the one set last, else one that writes to standard error and
// answers as an operator who is not there would: OK, No for Yes/No, Cancel where offered.
INotifier& Notifier();
// Sets the notifier (nullptr restores the default); returns the previous one.
INotifier* SetNotifier(INotifier* pNotifier);

// How many boxes asked through ShowMessage wait for their answer now (a box's own event
// loop may run meanwhile). What must not slip in under a question, such as another exam
// handed over by a second start, waits until none is open.
int OpenQuestions();

// One open question for the scope's life.
class CQuestionScope {
public:
    CQuestionScope();
    ~CQuestionScope();
    CQuestionScope(const CQuestionScope&) = delete;
    CQuestionScope& operator=(const CQuestionScope&) = delete;
};

inline int ShowMessage(const std::string& text, unsigned type = MB_OK,
                       const std::string& caption = {}) {
    CQuestionScope open;
    return Notifier().Ask(text, caption, type);
}

inline int ShowMessageInCodePage(const std::string& text, const std::string& codePage,
                                 unsigned type = MB_OK, const std::string& caption = {}) {
    CQuestionScope open;
    return Notifier().AskInCodePage(text, codePage, caption, type);
}

// The answer an absent operator gives to a box of the given type.
int DefaultAnswer(unsigned type);

}  // namespace platform

namespace platform {
// The file error message of the framework: names the file and the system's reason
// (errno value), shown with an OK button.
void ReportFileError(const std::string& path, int nErrno);
}  // namespace platform
