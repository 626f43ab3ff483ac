// libOxuEkg2Jpeg.so: the picture converter the server library loads for its DICOM files.
// Its host has no Qt, so the drawing runs in the gateway program beside this library, as a
// child with a time limit.
#include <sys/stat.h>

#include <string>

#include "platform/folders.h"
#include "platform/process.h"

namespace {
constexpr int kTimeLimitMs = 60000;
}

// 1 when the JPEG of the record was written to the path, else 0.
extern "C" __attribute__((visibility("default"))) int Ekg2Jpeg(const char* pszRecord,
                                                              const char* pszJpeg) {
    if (!pszRecord || !pszJpeg || !*pszRecord || !*pszJpeg)
        return 0;
    const std::string strProgram =
        platform::ModuleDir(reinterpret_cast<const void*>(&Ekg2Jpeg)) + "OxuEkgJpegGW";
    const platform::ProcessResult result =
        platform::RunProcess({strProgram, pszRecord, pszJpeg}, kTimeLimitMs);
    struct stat st {};
    return result.Succeeded() && ::stat(pszJpeg, &st) == 0 && st.st_size > 0 ? 1 : 0;
}
