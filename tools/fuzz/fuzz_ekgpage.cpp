// Page drawing of a fuzzed record: the record file read as the control reads it, then its
// report page drawn as the image export does, its screen page, and its PDF report. Run
// with a time limit per input, so that an input that draws slowly is found as a fault:
//   QT_QPA_PLATFORM=offscreen fuzz_ekgpage -timeout=1 -rss_limit_mb=4096 CORPUS
// Byte 0 selects the file kind and mains mode (bit 0: ".raw", 60 Hz), the lead format
// (bits 1-2), the gain code (bits 3-5) and the output (bit 6: the PDF report instead of the
// image and screen pages). With bit 7 set, the rest is repeated over a whole record, so
// that short inputs shape every lead (steps, spikes, lines at the 16-bit extremes).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "ecg_control/draw/ekgpage.h"
#include "ecg_control/ekgfile.h"
#include "ecg_export/ekgpdf.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerInitialize(int* pArgc, char*** pArgv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication s_app(*pArgc, *pArgv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize < 1)
        return 0;
    const uint8_t nSel = pData[0];
    const bool b60 = (nSel & 1) != 0;
    std::vector<uint8_t> aFile(pData + 1, pData + nSize);
    if ((nSel & 0x80) && !aFile.empty()) {
        constexpr size_t kWhole = 12 * (2 * 6000 + 200) + 12900;
        aFile.reserve(kWhole);
        for (size_t i = 0; aFile.size() < kWhole; ++i)
            aFile.push_back(aFile[i]);
    }
    const std::string strPath =
        fuzz::WriteInput(b60 ? "rec.raw" : "rec.ekg", aFile.data(), aFile.size());
    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    if (!ReadEkgFile(strPath, &wave, &info, &morph, b60 ? 1 : 0))
        return 0;
    wave.SetUserValue(b60 ? 1 : 0);
    const int nFormat = (nSel >> 1) & 3;
    const int nGain = (nSel >> 3) & 7;
    if (nSel & 0x40) {
        CEkgRecordSources sources;
        sources.pWave = &wave;
        sources.pInfo = &info;
        sources.pMorph = &morph;
        CEkgPdfWriter writer;
        writer.SetSources(sources);
        (void)writer.WriteDocument(fuzz::PrivateDir() + "/page.pdf", static_cast<short>(nFormat),
                                   static_cast<short>(nGain), 1);
        return 0;
    }
    CEkgDeviceInfo device;
    CEkgPage page;
    page.Attach(&wave, &info, &morph, &device);
    page.Painter().SetPen(0, 2, 0);  // the server's image pen
    CDibBytes dibBytes;
    (void)page.MakeReportDib(nFormat, nGain, 1, 1024, FALSE, FALSE, dibBytes);
    // The screen page at the view's defaults, as the viewer shows the record.
    CEkgPage screen;
    screen.Attach(&wave, &info, &morph, &device);
    screen.SetFormat(nFormat);
    screen.SetGain(nGain);
    screen.SetColumnsRowsForMode(b60 ? 1 : 0, 2);
    QImage image(screen.GetWidth(), screen.GetHeight(), QImage::Format_RGB32);
    QPainter painter(&image);
    (void)screen.DrawAll(painter, 0, 0);
    return 0;
}
