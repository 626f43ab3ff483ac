#pragma once
// One look for a new order, as the measuring program makes it: GetNewOrder's result, and
// "name:patient ID" of a taken order (the name alone when none was taken).
#include <string>
#include <utility>

#include "zeqgdt/gdtmanager.h"

inline std::pair<int, std::string> TakeOrder(CGDTManager& manager) {
    CString ext, name, id, last, first, device;
    int y = 0, m = 0, d = 0;
    eGENDER g = GENDER_NONE;
    double h = 0, w = 0;
    const int r = manager.GetNewOrder(ext, name, id, last, first, y, m, d, g, h, w, device, 0);
    return {r, r ? name + ":" + id : name};
}
