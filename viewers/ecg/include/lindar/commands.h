#pragma once
// Lindar's commands in one table: id, the menu it stands in, its text (a tab, then its keys),
// handler, update handler and fly-by tip. The frame builds its menus, tool bar and keys from
// it; a test checks the ids and the bindings.
#include <span>

struct CCmdUI;
class CMainFrame;

namespace lindarcmd {

struct CCommand {
    unsigned nId;                           // 0: a separator in pszMenu
    const char* pszMenu;                    // "&File", "&View", ...; nullptr: in no menu
    const char* pszText;                    // UTF-8; "\t" and the keys that run it ("Ctrl+O")
    void (*pHandler)(CMainFrame&);          // nullptr: no action
    void (*pUpdate)(CMainFrame&, CCmdUI&);  // nullptr: enabled when it has a handler
    const char* pszTip;                     // the status bar's text while the pointer is on it
};

std::span<const CCommand> Commands();
const CCommand* FindCommand(unsigned nId);
// The tool bar's buttons in order; 0 is a separator.
std::span<const unsigned> ToolBar();

}  // namespace lindarcmd
