// GDT record reader: any bytes as an order file.
#include <cstdint>

#include "fuzz_common.h"
#include "zeqgdt/gdtsentence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::string strPath = fuzz::WriteInput("CVNHIS.001", pData, nSize);
    CGDTSentence order;
    (void)order.Load(strPath);
    CStringArray values;
    (void)order.GetFieldValues(FIELD_ARCHIVE_PATH, values);
    (void)order.GetFieldValueToDouble(FIELD_HEIGHT);
    return 0;
}
