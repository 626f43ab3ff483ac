#pragma once
// The shared viewer dialogs as the view runs them: print, order, receive and device
// selection, each modal over the frame, filled from and read back into the view's values.
#include "lindar/lindarview.h"

class QWidget;

namespace lindar {

// The print dialog preset with the view's printer, flags and pens; after OK the settings
// hold what the dialog returned (printer, copies, flags, monochrome, and the pens unless
// monochrome was chosen: those stay for the next print).
bool RunPrintDialog(QWidget* pParent, CPrintSettings& settings);
// The pens a print with these settings uses (grid, inner grid, trace): the dialog's
// monochrome pens, or the settings' own.
std::array<CPen, 3> PrintPens(const CPrintSettings& settings);
// The printer set-up: the system's print dialog choosing a printer; FALSE when cancelled.
bool RunPrintSetupDialog(QWidget* pParent, CString& strPrinter);
// The order dialog to the address and port.
void RunOrderDialog(QWidget* pParent, const CString& strAddress, int nPort);
// The receive dialog; the path of the record it saved, or empty.
CString RunReceiveDialog(QWidget* pParent);
// The device selection over the pane's control; true after OK (the choice is then in
// "EKG_TERMINAL_IP" and "EKG_REGISTERED_ID").
bool RunDeviceSelection(QWidget* pParent, CLindarGraphWnd& pane);

}  // namespace lindar
