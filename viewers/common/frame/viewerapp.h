#pragma once
// Start-up pieces both viewers' applications share: the process's first set-up, the user's
// data folder for the desktop entry and MIME globs, files written only when missing, and
// SIGTERM/SIGINT ending the program as Exit does.
#include <string>
#include <vector>

#include "platform/wintypes.h"

class CSingleInstanceLock;

namespace viewerapp {

// What a viewer's process sets up as soon as its application object exists, before any
// window: the message pump, so that long waits on the window's thread (the device search,
// long copies) keep the window answering. The programs and the tests of their windows call it.
void StartApplication();

// $XDG_DATA_HOME, or ~/.local/share, with a trailing '/'.
std::string DataHome();
// Writes strText to strDir + strName unless that file exists (the folder is made first).
void WriteIfMissing(const std::string& strDir, const std::string& strName,
                    const std::string& strText);
// After this, SIGTERM and SIGINT end the event loop with 0; QuitRequested tells from the
// signal on, also before the loop runs (a start-up step can then skip its modal dialog).
void InstallQuitSignals();
bool QuitRequested();

// What a second start of a viewer does: hands "-sid ID" (code 28) and the file named on its
// command line (code 30) to the first instance through its lock.
enum : DWORD { COPY_SID = 28, COPY_FILE = 30 };
void ForwardToFirstInstance(const CSingleInstanceLock& lock, const std::vector<CString>& args);
// The file as the first instance must be told it: relative to this process's folder made
// absolute; absolute paths and addresses unchanged.
CString HandOverPath(const CString& strPath);

}  // namespace viewerapp
