#pragma once
// Save As's dialog: the five file types and the four report options (interpretation,
// measurements, comment, pacemaker marks) preset from and stored back into flags.
#include <array>

#include "platform/wintypes.h"

class QWidget;

// The chosen path, empty when cancelled; flags change only on OK.
CString AskEkgSavePath(QWidget* pParent, const CString& strProposed, std::array<int, 4>& flags);
