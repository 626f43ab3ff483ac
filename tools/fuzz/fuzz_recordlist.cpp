// The server's list file "FQarServer.ini": read into rows, then a record entered and the
// earlier days pruned, as a start and a stored record do.
#include <cstdint>

#include "acq_server/list/recordlist.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    fuzz::WriteInput(CRecordList::kFileName, pData, nSize);
    CRecordList list;
    list.LoadRows(fuzz::PrivateDir());
    CRecordList::PruneListFile(fuzz::PrivateDir(), "20260304");
    CRecordList::UpdateDataList(fuzz::PrivateDir(), "ID 1", "202603040506", "/d/a b.ekg");
    list.LoadRows(fuzz::PrivateDir());
    return 0;
}
