// Writes the report page of every lead format as PNG for a person to look at, and the
// JPEG export of format 1:
//   ecg_page_png <folder> [width] [record.ekg|record.raw]
// Without a record file a made-up record is drawn.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QGuiApplication>
#include <QImage>

#include "ecg_control/draw/ekgpage.h"
#include "ecg_control/ekgfile.h"
#include "synthrecord.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder> [width] [record file]\n", argv[0]);
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    const std::string strFolder = argv[1];
    const int nWidth = argc > 2 ? std::atoi(argv[2]) : 1600;

    CSynthRecord rec;
    if (argc > 3) {
        const std::string strPath = argv[3];
        const bool bRaw = strPath.size() >= 3 && (strPath.substr(strPath.size() - 3) == "raw" ||
                                                  strPath.substr(strPath.size() - 3) == "RAW");
        if (!ReadEkgFile(strPath, &rec.wave, &rec.info, &rec.morph, bRaw ? 1 : 0)) {
            std::fprintf(stderr, "cannot read %s\n", strPath.c_str());
            return 1;
        }
        rec.wave.SetUserValue(bRaw ? 1 : 0);
    } else {
        MakeSynthRecord(rec, 5000, true);
    }

    int nResult = 0;
    for (int nFormat = 0; nFormat < 4; ++nFormat) {
        CEkgPage page;
        page.Attach(&rec.wave, &rec.info, &rec.morph, &rec.device);
        CDibBytes dibBytes;
        const std::string strOut = strFolder + "/page_format" + std::to_string(nFormat) + ".png";
        if (!page.MakeReportDib(nFormat, nFormat == 1 ? 0 : 3, 1, nWidth, FALSE, FALSE, dibBytes) ||
            !dib::ToImage(dibBytes).save(QString::fromStdString(strOut), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", strOut.c_str());
            nResult = 1;
            continue;
        }
        std::printf("%s\n", strOut.c_str());
    }
    // And one real export, as the server makes it, to compare with the PNGs.
    CEkgPage page;
    page.Attach(&rec.wave, &rec.info, &rec.morph, &rec.device);
    const std::string strJpeg = strFolder + "/page_format1.jpg";
    if (page.MakeImage(strJpeg, 1, 3, 1, nWidth, FALSE)) {
        std::printf("%s\n", strJpeg.c_str());
    } else {
        std::fprintf(stderr, "cannot write %s\n", strJpeg.c_str());
        nResult = 1;
    }
    return nResult;
}
