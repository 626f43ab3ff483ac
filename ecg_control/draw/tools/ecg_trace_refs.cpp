// Writes the pages the drawing tests compare with (image export, screen, paper) for one
// record, as ink levels (see pagerender.h):
//   ecg_trace_refs <folder> <name> <record>
// <record> as pagerender::LoadRecord takes it. The files are named
// <output>_<name>_f<format>g<gain>.png. The set in ecg_control/draw/tests/reference was
// written by the drawing of the time before it drew by pixel columns.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QGuiApplication>

#include "pagerender.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <folder> <name> <record>\n", argv[0]);
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    const std::string strFolder = argv[1], strName = argv[2];
    CSynthRecord rec;
    if (!pagerender::LoadRecord(argv[3], rec)) {
        std::fprintf(stderr, "cannot read %s\n", argv[3]);
        return 1;
    }
    int nResult = 0;
    auto save = [&](const QImage& image, const std::string& strOutput, int nFormat, int nGain) {
        const std::string strPath = strFolder + "/" + strOutput + "_" + strName + "_f" +
                                    std::to_string(nFormat) + "g" + std::to_string(nGain) + ".png";
        if (image.isNull() || !pagerender::InkLevels(image).save(QString::fromStdString(strPath))) {
            std::fprintf(stderr, "cannot write %s\n", strPath.c_str());
            nResult = 1;
            return;
        }
        std::printf("%s\n", strPath.c_str());
    };
    const bool b60 = rec.wave.GetUserValue() == 1;
    struct {
        int nFormat, nGain;
    } const pages[] = {{0, 3}, {1, 0}, {2, 3}, {3, 3}, {0, 4}};
    for (const auto& p : pages) {
        save(pagerender::ScreenPage(rec, p.nFormat, p.nGain), "screen", p.nFormat, p.nGain);
        if (b60) {
            continue;  // 60 Hz pages of paper size show another span from now on
        }
        save(pagerender::ImagePage(rec, p.nFormat, p.nGain, 1024, 2), "img1024", p.nFormat,
             p.nGain);
        save(pagerender::PaperPage(rec, p.nFormat, p.nGain), "paper", p.nFormat, p.nGain);
        if (p.nFormat == 1) {
            save(pagerender::ImagePage(rec, p.nFormat, p.nGain, 800, 1), "img800", p.nFormat,
                 p.nGain);
            save(pagerender::ImagePage(rec, p.nFormat, p.nGain, 1600, 2), "img1600", p.nFormat,
                 p.nGain);
        }
    }
    return nResult;
}
