// Benchmark (not a test): one stored record through the server's conversions, each step
// timed on its own, median of N runs. The controls must be registered (regctl).
//   conversion_bench ecg RECORD.ekg [N]     image 1024 wide, PDF, text report, XML
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

namespace {

double MedianMs(int n, const std::function<bool()>& step, bool& ok) {
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        ok = step() && ok;
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
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
    const std::string kind = argv[1], record = argv[2];
    const int n = argc > 3 ? std::atoi(argv[3]) : 50;
    acq_reports::SReportSettings report;
    report.bJpeg = report.bPdf = report.bPatient = report.bParam = report.bDiag = report.bHosp = true;
    bool ok = true;
    double total = 0;
    auto run = [&](const char* name, const std::function<bool()>& step) {
        const double ms = MedianMs(n, step, ok);
        total += ms;
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
        run("text", [&] { return WriteEkgTextReport(out(kOutText), c, report, files, std::time(nullptr)) == 1; });
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
        run("text", [&] { return WriteSpiroTextReport(out(kOutText), c, report, files, std::time(nullptr)) == 1; });
    }
    std::printf("total    %8.2f ms (the open included)%s\n", total, ok ? "" : "; a step FAILED");
    return ok ? 0 : 1;
}
