#pragma once
// Start-up clean-up of the working folder: a server killed while it wrote a record leaves
// the hidden temporary file of that record beside the records. Only names of the server's
// own pattern are removed: "." + a record name (ID "_" time "." extension) + "." + six
// letters or digits, as the atomic file writer makes them; nothing else is touched, and
// links are never followed. A file written to within the last hour may belong to a save in
// progress (another program saving into the same folder, a packet device's slow transfer):
// it stays until a later start.
#include <cstddef>
#include <ctime>

#include "acq_server/acqlog.h"
#include "platform/wintypes.h"

namespace acq {
// Whether a file name is a temporary file of a record the server was writing.
BOOL IsStaleRecordTemp(const CString& strName);
constexpr std::time_t kStaleAgeSeconds = 3600;
// Removes them in the working folder and every folder below it, when last written before
// tNow - kStaleAgeSeconds (tNow 0: now); returns how many went.
std::size_t RemoveStaleTempFiles(const CString& strWorkingFolder, const LogSink& log = {},
                                 std::time_t tNow = 0);
}  // namespace acq
