#pragma once
// The shared viewer dialogs as the view runs them: print, order, receive and device
// selection, each modal over the frame, filled from and read back into the view's values.
#include "lindar/lindarview.h"

class QWidget;

namespace lindar {

// The print dialog preset with the view's printer, flags and pens; after OK the settings
// hold what the dialog returned (printer, copies, flags, pens).
bool RunPrintDialog(QWidget* pParent, CPrintSettings& settings);
// The order dialog to the address and port.
void RunOrderDialog(QWidget* pParent, const CString& strAddress, int nPort);
// The receive dialog; the path of the record it saved, or empty.
CString RunReceiveDialog(QWidget* pParent);
// The device selection over the pane's control; true after OK (the choice is then in
// "EKG_TERMINAL_IP" and "EKG_REGISTERED_ID").
bool RunDeviceSelection(QWidget* pParent, CLindarGraphWnd& pane);

}  // namespace lindar
