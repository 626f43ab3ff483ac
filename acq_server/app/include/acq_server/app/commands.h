#pragma once
// The main frame's commands by id, and the tray menu built from them. One table gives each
// command its menu text and handler; the tray menu, the frame's menu (shown when there is
// no tray) and double clicks all go through CMainFrame::OnCommand.
#include <span>

class CMainFrame;

namespace qarcmd {

enum : int {
    ID_EXIT = 32771,           // "Sair": closes the frame, which ends the program
    ID_STOP_SERVER = 32772,
    ID_START_SERVER = 32773,
    ID_ENVIRONMENT = 32774,    // general settings dialog
    ID_DATA_LIST = 32775,      // shows the frame
    ID_OPEN_ECG = 32776,       // list: "Run Lindar"
    ID_RUN_LINDAR = 32777,
    ID_RUN_PULMETRA = 32778,
    ID_OPEN_SPIRO = 32779,     // list: "Run Pulmetra"
    ID_RUN_UPGRADE = 32781,
    ID_ORDER = 32782,          // "Registro": patient order to a device
    ID_CONNECT_DEVICE = 32784,
    ID_APP_ABOUT = 57664,      // frame menu "&Sobre..."
    ID_APP_EXIT = 57665,       // frame menu "S&air": only hides the frame
};

// Timers of the frame, by id.
enum : int {
    ID_TIMER_TRAY = 200,  // tray animation, 5000 ms
    ID_TIMER_IDLE = 201,  // idle connections, 60000 ms
};
inline constexpr int kTrayPeriodMs = 5000;
inline constexpr int kIdlePeriodMs = 60000;

struct CCommand {
    int nId;
    const char* pszText;  // UTF-8; the tray menu's text
    void (CMainFrame::*pHandler)();
    // Enabled state; null: always enabled.
    bool (CMainFrame::*pEnabled)() const;
};

std::span<const CCommand> Commands();
const CCommand* FindCommand(int nId);
// The tray popup menu in order; 0 is a separator.
std::span<const int> TrayMenu();

}  // namespace qarcmd
