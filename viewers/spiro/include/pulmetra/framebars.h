#pragma once
// The frame's bars and its own dialogs behind one seam: the graph-style bar in the rebar,
// the patient bar on the left, the result bar at the bottom, the settings dialog and the
// save dialog with its text-report box.
#include <QWidget>
#include <memory>

#include "platform/wintypes.h"

class CMainFrame;
class CPulmetraGraphWnd;
class IPulmetraPrompts;

struct CPulmetraBars {
    virtual ~CPulmetraBars() = default;
    // The bars' windows (null when the frame has none of that kind).
    QWidget* pStyleBar = nullptr;
    QWidget* pPatientBar = nullptr;
    QWidget* pResultBar = nullptr;
    // Patient and result bars follow the active graph window (none: empty and disabled).
    virtual void Refresh(CPulmetraGraphWnd* pActive) = 0;
    // The graph-style bar's zoom list shows entry nIndex.
    virtual void SelectZoom(int nIndex) = 0;
    // The graph-style bar shows the view's default pens again.
    virtual void RefreshStyleBar() = 0;
    // The bar's buttons of frame commands follow the frame's update pass.
    virtual void SetCommandState(unsigned nID, bool bEnabled, const QString& text) = 0;
};

// Made by the frame with itself as the owner of the windows.
std::unique_ptr<CPulmetraBars> MakePulmetraBars(CMainFrame& frame);
// The program's dialogs (open, the save dialog with its text-report box, modal dialogs).
std::unique_ptr<IPulmetraPrompts> MakePulmetraPrompts(QWidget* pParent);
