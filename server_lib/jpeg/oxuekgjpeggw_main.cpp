// The JPEG gateway: draws an ECG record's report page as a JPEG, offscreen.
//   OxuEkgJpegGW <record.ekg|record.raw> [<image.jpg>]
// Without an image path the picture is written beside the record as "<record>.jpg".
// Exit 0 when the picture was written, 1 when the record cannot be read or drawn, 2 on bad
// arguments.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QGuiApplication>

#include "ecg_control/draw/ekgpage.h"
#include "ecg_control/ekgfile.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s <record> [<image.jpg>]\n", argv[0]);
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    const std::string strRecord = argv[1];
    const std::string strJpeg = argc > 2 ? argv[2] : strRecord + ".jpg";
    const bool bRaw = strRecord.size() >= 4 &&
                      (strRecord.compare(strRecord.size() - 4, 4, ".raw") == 0 ||
                       strRecord.compare(strRecord.size() - 4, 4, ".RAW") == 0);
    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    CEkgDeviceInfo device;
    if (!ReadEkgFile(strRecord, &wave, &info, &morph, bRaw ? 1 : 0)) {
        std::fprintf(stderr, "cannot read %s\n", strRecord.c_str());
        return 1;
    }
    wave.SetUserValue(bRaw ? 1 : 0);
    CEkgPage page;
    page.Attach(&wave, &info, &morph, &device);
    // The server's picture: 3 x 4 leads with the rhythm strip, 10 mm/mV, 800 wide.
    if (!page.MakeImage(strJpeg, 1, 3, 1, 800, FALSE)) {
        std::fprintf(stderr, "cannot write %s\n", strJpeg.c_str());
        return 1;
    }
    return 0;
}
