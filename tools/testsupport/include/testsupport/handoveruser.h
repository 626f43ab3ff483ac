#pragma once
// The user at the screen while a viewer that runs in the test process waits in a command's
// dialog or question, on a thread of its own: the dialog comes up, a second start of the
// program hands another record over (a real process, through the single-instance channel),
// the user answers the dialog, then reads and answers the boxes that follow.
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "testsupport/xvfb.h"

namespace testsupport {

class CHandOverUser {
public:
    struct CScript {
        std::string strDialog;         // regular expression of the dialog's window name
        bool bDialogIsBox = false;     // a message box: its text is read (Ctrl+C) first
        std::string strSecondStart;    // shell command line of the second start ("" = none)
        std::string strSwitchedTitle;  // window name that shows the handed-over record
        std::string strTyped;          // typed over the dialog's text field ("" = nothing)
        std::string strKey = "Return"; // then pressed
        std::string strBoxes;          // regular expression of the boxes that follow
        int nBoxes = 0;                // how many follow (each answered with Return)
        int nTimeoutMs = 60000;
    };
    struct CSeen {
        bool bDialog = false;          // the dialog came
        std::string strDialogText;     // its text, when it is a box
        int nSecondStatus = -1;        // the second start's exit status
        bool bSwitchedUnder = false;   // the window showed the handed-over record meanwhile
        std::vector<std::string> boxes;
    };

    CHandOverUser(const CXvfb& x, CScript script);
    ~CHandOverUser();
    CHandOverUser(const CHandOverUser&) = delete;
    CHandOverUser& operator=(const CHandOverUser&) = delete;

    // Waits for the thread; what it saw.
    CSeen Wait();
    // The user at the screen while the command runs (it waits in its dialog meanwhile);
    // what the user saw.
    static CSeen During(const CXvfb& x, CScript script, const std::function<void()>& command);

private:
    void Run();
    const CXvfb& m_x;
    CScript m_script;
    CSeen m_seen;
    std::thread m_thread;
};

}  // namespace testsupport
