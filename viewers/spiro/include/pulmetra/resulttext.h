#pragma once
// The text report of the test a graph window holds, written to a file made afresh.
#include "platform/wintypes.h"

class CPulmetraGraphWnd;

// TRUE when the whole report was written to strPath.
bool WriteResultFile(CPulmetraGraphWnd& wnd, const CString& strPath);
