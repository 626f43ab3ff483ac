#pragma once
// A private X server for tests that need a real one: Xvfb on a display number it picks
// itself (or the one CORVANE_XVFB_DISPLAY names, ":71"), not reset when its last client
// leaves (a test that kills a program and starts the next would otherwise meet a server in
// the middle of its reset), stopped with its process group when the object goes.
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "testsupport/childprocess.h"

namespace testsupport {

class CXvfb {
public:
    CXvfb() = default;
    ~CXvfb();
    CXvfb(const CXvfb&) = delete;
    CXvfb& operator=(const CXvfb&) = delete;

    // FALSE when Xvfb cannot be started or names no display within 20 seconds.
    bool Start(const std::string& strScreen = "1280x1024x24");
    void Stop();
    // ":N", or "" before a successful Start.
    const std::string& Display() const { return m_strDisplay; }
    // The window tree as xwininfo prints it (names in double quotes).
    std::string Tree() const;
    // Waits until a window of exactly this name exists; FALSE at the time-out.
    bool WaitForWindow(const std::string& strName, int nTimeoutMs = 45000) const;

    // A window manager (openbox) on this display, as a user's desktop has one; stopped with
    // the server. FALSE when it cannot be started.
    bool StartWindowManager();
    // The first viewable window whose name matches the regular expression (xdotool search),
    // waited for; its id, or "" at the time-out.
    std::string WaitForWindowId(const std::string& strNameRegex, int nTimeoutMs = 30000) const;
    // TRUE while a window of that id is viewable.
    bool IsViewable(const std::string& strId) const;
    // Activates the window and types the keys (xdotool key names: "Return", "ctrl+c").
    void Key(const std::string& strId, const std::string& strKeys) const;
    // Activates the window and types the text as keystrokes (xdotool type).
    void Type(const std::string& strId, const std::string& strText) const;
    // The pointer moved to the screen point and its first button pressed and released, as a
    // user's hand does: the press goes to whatever window lies there.
    void Click(int nX, int nY) const;
    // The text a window put on the clipboard when it was given Ctrl+C (a message box copies
    // its caption, text and buttons), read with xclip; "" when nothing came.
    std::string CopyText(const std::string& strId) const;
    // The window's picture (ImageMagick import) into a PNG file; FALSE on failure.
    bool Grab(const std::string& strId, const std::string& strPngPath) const;

private:
    std::string X(const std::string& strCommand) const;
    int m_pid = -1;
    std::string m_strDisplay;
    std::unique_ptr<CChildProcess> m_pWm;
};

// The operator at the screen for a program under test, on a thread of its own (the program
// may be this test process, waiting in a message box's own event loop): for each key given,
// waits for a message box (a viewable window whose name matches), reads its text, presses
// the key and waits for the box to go.
class CScreenOperator {
public:
    CScreenOperator(const CXvfb& x, std::string strBoxNameRegex);
    ~CScreenOperator();
    CScreenOperator(const CScreenOperator&) = delete;
    CScreenOperator& operator=(const CScreenOperator&) = delete;

    // Starts answering boxes, one key (xdotool name) per box.
    void Answer(std::vector<std::string> keys, int nTimeoutMs = 30000);
    // Waits for the thread; the texts of the boxes answered, in order (fewer when a box did
    // not come in time).
    std::vector<std::string> Wait();

private:
    const CXvfb& m_x;
    std::string m_strRegex;
    std::thread m_thread;
    std::vector<std::string> m_texts;
};

}  // namespace testsupport
