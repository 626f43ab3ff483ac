// Benchmark (not a test): order-to-result cycles per second with a 100 KB attachment, on
// the exchange folder the settings name (a local folder or a share), and the cost of one
// threaded operation.
//   gdt_bench <share folder as seen locally> <cycles>
// The exchange's settings file (in ZeqGDT's home) must point its SHARE PATH at that folder (for
// a share: the share path, user and password); orders are written into the local folder.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "zeqgdt/gdtmanager.h"
#include "zeqgdt/gdtsentence.h"
#include "zeqgdt/gdtutils.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: gdt_bench LOCAL_SHARE_FOLDER CYCLES\n");
        return 2;
    }
    const std::string local = argv[1];
    const int cycles = std::atoi(argv[2]);
    const std::string attachment = CGDTUtils::MakePath("", "bench.pdf");
    std::ofstream(attachment, std::ios::binary) << std::string(100 * 1024, 'a');

    using clock = std::chrono::steady_clock;
    auto t0 = clock::now();
    for (int i = 0; i < 200; ++i) CGDTUtils::IsDir("/");
    const double opUs = std::chrono::duration<double, std::micro>(clock::now() - t0).count() / 200;

    CGDTManager manager;
    t0 = clock::now();
    int done = 0;
    for (int i = 1; i <= cycles; ++i) {
        char ext[8];
        std::snprintf(ext, sizeof ext, ".%03d", i % 1000);
        CGDTSentence order;
        order.AddSentenceInfo(static_cast<eSENTENCE_ID>(6302), GDT_NO_TEXT, GDT_NO_TEXT, VERSION_0210, CHAR_TYPE_NONE);
        order.AddPatientInfo("P1", "Doe", "Jane", 1970, 12, 31, GENDER_FEMALE, 170, 65);
        order.Save(local + "/CVNHIS" + ext);
        CString e, name, id, last, first, dev;
        int y, m, d;
        eGENDER g;
        double h, w;
        if (!manager.GetNewOrder(e, name, id, last, first, y, m, d, g, h, w, dev, 0)) continue;
        manager.SetOrderSendResult(e, TRUE);
        manager.Clear();
        manager.AddTest("FVC", 3.2, 4, 3, 5, "L");
        manager.AddFiles("PDF", "report", attachment);
        if (manager.MakeResultData(e) && manager.UpdateResultFiles()) ++done;
        CGDTUtils::DeleteFilesInPath(local);  // the practice software takes the result
    }
    const double s = std::chrono::duration<double>(clock::now() - t0).count();
    std::printf("threaded operation: %.1f us\ncycles: %d of %d in %.2f s = %.1f cycles/s\n", opUs, done, cycles, s,
                done / s);
    return 0;
}
