#include "platform/notifier.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/codepage.h"

namespace platform {

namespace {

class CStderrNotifier : public INotifier {
public:
    int Ask(const std::string& text, const std::string& caption, unsigned type) override {
        int answer = DefaultAnswer(type);
        std::fprintf(stderr, "[%s] %s\n", caption.empty() ? "message" : caption.c_str(),
                     text.c_str());
        return answer;
    }
};

CStderrNotifier g_stderrNotifier;
std::atomic<INotifier*> g_pNotifier{nullptr};
std::atomic<int> g_nOpenQuestions{0};

}  // namespace

int INotifier::AskInCodePage(const std::string& text, const std::string& codePage,
                             const std::string& caption, unsigned type) {
    return Ask(FromUtf8(ToUtf8(text, codePage)), caption, type);
}

INotifier& Notifier() {
    INotifier* p = g_pNotifier.load();
    return p ? *p : g_stderrNotifier;
}

INotifier* SetNotifier(INotifier* pNotifier) { return g_pNotifier.exchange(pNotifier); }

int OpenQuestions() {
    return g_nOpenQuestions.load();
}

CQuestionScope::CQuestionScope() {
    ++g_nOpenQuestions;
}

CQuestionScope::~CQuestionScope() {
    --g_nOpenQuestions;
}

int DefaultAnswer(unsigned type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
        case MB_YESNOCANCEL:
            return IDCANCEL;
        case MB_YESNO:
            return IDNO;
        default:
            return IDOK;
    }
}

void ReportFileError(const std::string& path, int nErrno) {
    std::string text = "An error occurred while accessing " + path + ".";
    if (nErrno != 0) text += "\n" + std::string(std::strerror(nErrno));
    ShowMessage(text, MB_OK | MB_ICONWARNING);
}

}  // namespace platform
