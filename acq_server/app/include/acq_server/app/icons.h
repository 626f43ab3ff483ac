#pragma once
// The server's own icons and bitmaps by resource id, drawn at run time (no image files):
// 128 the program, 133 receiving, 134 running, 137 stopped, 138 settings open, 139/140 the
// two animation phases; bitmap 149 the splash, 137 the list rows' image, 139 and 138 the
// list header's sort arrows (ascending, descending; 9 x 5 on white).
#include <QIcon>
#include <QPixmap>

namespace qaricons {
QIcon Icon(int nResourceId);
QPixmap Bitmap(int nResourceId);
}  // namespace qaricons
