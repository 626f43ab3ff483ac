// Benchmark (not a test): one stored record through the server's conversions with the
// server's pens and calls, each step timed on its own, median of N runs. The controls must
// be registered (regctl). Run it on one core (taskset -c 1 ...).
//   conversion_bench ecg RECORD.ekg [N]     image 1024 wide, PDF, text report, XML
//   conversion_bench saturated FOLDER [N]   the same for a record it writes into FOLDER,
//                                           every lead swinging between the 16-bit extremes
//   conversion_bench spiro TEST.fvc [N]     image 768 wide, PDF, text report
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "acq_server/reports/conversioncontrols.h"
#include "acq_server/reports/ekgtextreport.h"
#include "acq_server/reports/outputpaths.h"
#include "acq_server/reports/spirotextreport.h"
#include "ecg_control/ekgfile.h"

namespace {

// A 5000-sample record whose leads alternate between +32767 and -32768 (a saturated cart).
std::string WriteSaturatedRecord(const std::string& folder) {
    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    wave.CreateLeads(5000, 2);
    for (int c = 0; c < 12; ++c) {
        for (UINT k = 0; k < 5000; ++k) {
            wave.SetSample(c, k, k % 2 == 0 ? 32767 : -32768);
        }
    }
    info.Reset();
    const std::string path = folder + "/saturated.ekg";
    return WriteEkgFile(path, &wave, &info, &morph) ? path : std::string();
}

double MedianMs(int n, const std::function<bool()>& step, bool& ok) {
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        ok = step() && ok;
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: conversion_bench ecg|spiro RECORD [N]\n");
        return 2;
    }
    QApplication app(argc, argv);
    std::string kind = argv[1], record = argv[2];
    if (kind == "saturated") {
        record = WriteSaturatedRecord(record);
        if (record.empty()) {
            std::fprintf(stderr, "cannot write the record into %s\n", argv[2]);
            return 1;
        }
        kind = "ecg";
    }
    const int n = argc > 3 ? std::atoi(argv[3]) : 50;
    acq_reports::SReportSettings report;
    report.bJpeg = report.bPdf = report.bPatient = report.bParam = report.bDiag = report.bHosp =
        true;
    bool ok = true;
    double total = 0, open = 0;
    auto run = [&](const char* name, const std::function<bool()>& step) {
        const double ms = MedianMs(n, step, ok);
        total += ms;
        if (std::string(name) == "open") {
            open = ms;
        }
        std::printf("%-8s %8.2f ms\n", name, ms);
    };
    if (kind == "ecg") {
        CWavelin wavelin;
        std::string error;
        if (!wavelin.Create(nullptr, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        CWavelinConversion c(wavelin);
        using namespace acq_reports;
        const auto out = [&](int k) { return OutputPath(k, record, kRecordEkg, 0); };
        const SReportFiles files{record, out(kOutJpeg), out(kOutPdf), ""};
        run("open", [&] { return c.EKGOpenFile(record); });
        run("jpeg", [&] {
            c.EKGSetGraphPen(0, 2, 0);
            return c.EKGMakeImage(files.strJpeg, 1, 3, 1, 1024, 0);
        });
        run("pdf", [&] { return c.EKGMakePDF(files.strPdf, 1, 3, 1, 1024); });
        run("text", [&] {
            return WriteEkgTextReport(out(kOutText), c, report, files, std::time(nullptr)) == 1;
        });
        run("xml", [&] { return c.EKGMakeXML(out(kOutXml)); });
    } else {
        CFlowlin flowlin;
        std::string error;
        if (!flowlin.Create(nullptr, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        CFlowlinConversion c(flowlin);
        using namespace acq_reports;
        const auto out = [&](int k) { return OutputPath(k, record, kRecordSpiro, 0); };
        const SReportFiles files{record, out(kOutJpeg), out(kOutPdf), ""};
        run("open", [&] { return c.Open(record, 0) > 0; });
        run("jpeg", [&] { return c.SaveJPEG(files.strJpeg, 768) == 0; });
        run("pdf", [&] { return c.SavePDF(files.strPdf, 768) == 0; });
        run("text", [&] {
            return WriteSpiroTextReport(out(kOutText), c, report, files, std::time(nullptr)) == 1;
        });
    }
    std::printf("total    %8.2f ms (the open included), conversions %.2f ms%s\n", total,
                total - open, ok ? "" : "; a step FAILED");
    return ok ? 0 : 1;
}
