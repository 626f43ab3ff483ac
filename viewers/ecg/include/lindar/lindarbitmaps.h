#pragma once
// Lindar's own bitmaps, drawn (no files): the trees' image lists, the left pane's tab
// buttons and the tool bar bar's buttons. White is the transparent colour.
#include <QIcon>
#include <QImage>

#include "platform/wintypes.h"

namespace lindar {
enum : UINT {
    IDB_RESULT_IMAGES = 157,   // result tree: 16 x 15 images, root then statement
    IDB_INFO_TAB = 158,
    IDB_ANALYSIS_TAB = 159,
    IDB_COMMENT_IMAGES = 160,  // predefined tree: root or group, then comment
    IDB_RULER = 162,
    IDB_MAGNIFIER = 163,
    IDB_PACEMAKER = 182,
};
// A null image for an unknown id.
QImage LoadBitmap(UINT nId);
// Image n of a strip of 16 x 15 images, white made transparent.
QIcon StripIcon(UINT nId, int n);
// The whole bitmap, white made transparent.
QIcon BitmapIcon(UINT nId);
}  // namespace lindar
