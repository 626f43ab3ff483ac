#pragma once
// A file-system call run on a worker thread while the caller pumps its events
// (CGDTUtils::RunThread), with the call's result handed back.
#include <cstdint>

#include "gdtfs.h"
#include "zeqgdt/gdtutils.h"

namespace gdtthreaded {

template <class Fn>
auto Threaded(const char* pszName, Fn fn) -> decltype(fn()) {
    struct Job {
        Fn* pFn;
        decltype(fn()) result{};
    } job{&fn};
    CGDTUtils::RunThread(
        [](void* p) -> unsigned {
            auto* j = static_cast<Job*>(p);
            j->result = (*j->pFn)();
            return 0;
        },
        &job, pszName);
    return job.result;
}

// Size of a file; -1 when there is none (or it is a folder).
inline std::int64_t FileSize(const CString& strPath) {
    return Threaded("FileSize", [&]() -> std::int64_t {
        bool bDir = false;
        std::int64_t n = 0;
        return gdtfs::Stat(strPath, bDir, n) && !bDir ? n : -1;
    });
}

}  // namespace gdtthreaded
