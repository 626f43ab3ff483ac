// Colour shades.
#include <algorithm>

#include "common/ZeqGF.h"

COLORREF ZeqGF::GetColorDark(COLORREF cr, int n) {
    auto down = [n](int c) { return std::clamp(c - n, 0, 255); };
    return RGB(down(GetRValue(cr)), down(GetGValue(cr)), down(GetBValue(cr)));
}

COLORREF ZeqGF::GetColorLight(COLORREF cr, int n) {
    auto up = [n](int c) { return std::clamp(c + n, 0, 255); };
    return RGB(up(GetRValue(cr)), up(GetGValue(cr)), up(GetBValue(cr)));
}
