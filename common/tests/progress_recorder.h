#pragma once
// Records every progress call of a ZeqGF file operation; can cancel at a chosen call.
#include <cstdint>
#include <vector>

#include "common/ZeqGF.h"

struct CRecorder {
    std::vector<ZeqFileCallBackParam> calls;
    int nCancelAt = -1;  // call number (from 0) that answers -1
};

inline int Record(ZeqFileCallBackParam* p, uintptr_t user) {
    auto* r = reinterpret_cast<CRecorder*>(user);
    r->calls.push_back(*p);
    return static_cast<int>(r->calls.size()) - 1 == r->nCancelAt ? -1 : 0;
}

inline uintptr_t U(CRecorder& r) {
    return reinterpret_cast<uintptr_t>(&r);
}
