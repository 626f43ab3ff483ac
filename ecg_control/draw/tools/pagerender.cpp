#include "pagerender.h"

#include <QPainter>

#include "ecg_control/control/ekgprintpage.h"
#include "ecg_control/draw/ekgpage.h"
#include "ecg_control/ekgfile.h"

namespace pagerender {

QImage ImagePage(CSynthRecord& rec, int nFormat, int nGain, int nWidth, int nPenWidth) {
    CEkgPage page;
    page.Attach(&rec.wave, &rec.info, &rec.morph, &rec.device);
    page.Painter().SetPen(0, nPenWidth, 0);
    CDibBytes dibBytes;
    if (!page.MakeReportDib(nFormat, nGain, 1, nWidth, FALSE, FALSE, dibBytes)) {
        return QImage();
    }
    return dib::ToImage(dibBytes);
}

QImage ScreenPage(CSynthRecord& rec, int nFormat, int nGain) {
    CEkgPage page;
    page.Attach(&rec.wave, &rec.info, &rec.morph, &rec.device);
    page.SetCellSize(2);
    page.SetFormat(nFormat);
    page.SetGain(nGain);
    page.SetSpeed(2);
    page.SetRhythmLead(1);
    page.SetColumnsRowsForMode(rec.wave.GetUserValue() == 1 ? 1 : 0, 2);
    QImage image(page.GetWidth(), page.GetHeight(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    page.DrawAll(painter, 0, 0);
    return image;
}

QImage PaperPage(CSynthRecord& rec, int nFormat, int nGain) {
    CEkgPrintPage page;
    page.Attach(&rec.wave, &rec.info, &rec.morph, &rec.device);
    if (!page.Prepare(nFormat, nGain, 1)) {
        return QImage();
    }
    QImage image(static_cast<int>(297 * kPaperPxPerMm), static_cast<int>(210 * kPaperPxPerMm),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(static_cast<int>(kPaperPxPerMm * 1000));
    image.setDotsPerMeterY(static_cast<int>(kPaperPxPerMm * 1000));
    QPainter painter(&image);
    page.Draw(painter, kPaperPxPerMm, kPaperPxPerMm, image.width());
    return image;
}

QImage InkLevels(const QImage& original, int nLightBelow) {
    const QImage image = original.convertToFormat(QImage::Format_RGB32);
    QImage out(image.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* pIn = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uchar* pOut = out.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const int r = qRed(pIn[x]);
            pOut[x] = r < 110 ? 0 : r < nLightBelow ? 128 : 255;
        }
    }
    return out;
}

bool LoadRecord(const std::string& strName, CSynthRecord& rec) {
    if (strName == "synth50" || strName == "synth60") {
        MakeSynthRecord(rec, strName == "synth60" ? 6000 : 5000, true);
        return true;
    }
    const bool bRaw = strName.size() >= 4 && (strName.substr(strName.size() - 4) == ".raw" ||
                                              strName.substr(strName.size() - 4) == ".RAW");
    if (!ReadEkgFile(strName, &rec.wave, &rec.info, &rec.morph, bRaw ? 1 : 0)) {
        return false;
    }
    rec.wave.SetUserValue(bRaw ? 1 : 0);
    return true;
}

}  // namespace pagerender
