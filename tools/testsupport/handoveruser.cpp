#include "testsupport/handoveruser.h"

#include <chrono>

#include "testsupport/testsupport.h"

namespace testsupport {

namespace {
void Pause(int nMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(nMs));
}

// Until the window is gone (a few seconds at most).
void WaitGone(const CXvfb& x, const std::string& strId) {
    for (int t = 0; t < 100 && x.IsViewable(strId); ++t)
        Pause(100);
}
}  // namespace

CHandOverUser::CHandOverUser(const CXvfb& x, CScript script)
    : m_x(x), m_script(std::move(script)), m_thread([this] { Run(); }) {}

CHandOverUser::~CHandOverUser() {
    Wait();
}

CHandOverUser::CSeen CHandOverUser::Wait() {
    if (m_thread.joinable())
        m_thread.join();
    return m_seen;
}

CHandOverUser::CSeen CHandOverUser::During(const CXvfb& x, CScript script,
                                           const std::function<void()>& command) {
    CHandOverUser user(x, std::move(script));
    command();
    return user.Wait();
}

void CHandOverUser::Run() {
    const CScript& s = m_script;
    const std::string strId = m_x.WaitForWindowId(s.strDialog, s.nTimeoutMs);
    if (strId.empty())
        return;
    m_seen.bDialog = true;
    if (s.bDialogIsBox)
        m_seen.strDialogText = m_x.CopyText(strId);
    if (!s.strSecondStart.empty())
        RunCommand(s.strSecondStart + " >/dev/null 2>&1", &m_seen.nSecondStatus);
    // The second start has written its record to the channel and ended; the running
    // program reads it at once. Opened under the dialog, it would be in the title by now.
    m_seen.bSwitchedUnder = m_x.WaitForWindow(s.strSwitchedTitle, 2000);
    if (!s.strTyped.empty()) {
        m_x.Key(strId, "ctrl+a");
        m_x.Type(strId, s.strTyped);
    }
    m_x.Key(strId, s.strKey);
    WaitGone(m_x, strId);
    std::string strLast = m_seen.strDialogText;
    for (int n = 0; n < s.nBoxes; ++n) {
        const std::string strBox = m_x.WaitForWindowId(s.strBoxes, s.nTimeoutMs);
        if (strBox.empty())
            return;
        // A box answered just before may still hold the clipboard: wait for this one's.
        std::string strText;
        for (int t = 0; t < 10 && (strText.empty() || strText == strLast); ++t)
            strText = m_x.CopyText(strBox);
        m_seen.boxes.push_back(strText);
        strLast = strText;
        m_x.Key(strBox, "Return");
        WaitGone(m_x, strBox);
    }
}

}  // namespace testsupport
