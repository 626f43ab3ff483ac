// Analysis engine on a fuzzed record: reader and the whole analysis run.
// Byte 0 selects the variant, the input kind and the analysis mode; the rest is the file.
// With bit 7 set, the rest is repeated over a whole record, so that short inputs shape
// every lead (flat lines, steps, spikes, clipped values) instead of a few bytes of noise.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ecg_engine/engine.h"
#include "fuzz_common.h"

using namespace ecg_engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize < 1)
        return 0;
    const uint8_t nSel = pData[0];
    static const char* const s_apszNames[] = {"rec.raw", "rec.ekg", "rec.rec", "rec.dcd"};
    std::vector<uint8_t> aFile(pData + 1, pData + nSize);
    if ((nSel & 0x80) && !aFile.empty()) {
        constexpr size_t kWhole = 133000;
        aFile.reserve(kWhole);
        for (size_t i = 0; aFile.size() < kWhole; ++i)
            aFile.push_back(aFile[i]);
    }
    const std::string strPath = fuzz::WriteInput(s_apszNames[nSel & 3], aFile.data(), aFile.size());
    auto pData31 =
        CreateEngineData((nSel & 4) ? EEngineVariant::Zorvik21 : EEngineVariant::Zorvik31);
    CEngineData& d = *pData31;
    d.bDebugOutput = false;
    std::string strMode = std::to_string((nSel >> 3) % 3);
    std::string strLang = std::to_string((nSel >> 5) & 3);
    // The report file ("0") goes to the private folder and is removed after each run.
    const std::string strReport = fuzz::PrivateDir() + "/0";
    std::vector<std::string> aArgs = {"Zorvik31", strPath, strReport, "0", "0", "0",
                                      strMode, strLang};
    std::vector<char*> argv;
    for (auto& s : aArgs)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    (void)EngineMain(d, static_cast<int>(aArgs.size()), argv.data());
    std::remove(strReport.c_str());
    return 0;
}
