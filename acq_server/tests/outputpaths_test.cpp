#include "acq_server/reports/outputpaths.h"

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

using namespace acq_reports;

TEST(OutputPaths, ReplaceOnlyTheLastExtension) {
    testsupport::CTempDir dir;
    const std::string w = dir.Path();
    struct Case {
        int kind;
        std::string record;
        int recordKind, folderType;
        std::string expected;
    } const cases[] = {
        {kOutJpeg, w + "x.EKG", kRecordEkg, 0, w + "x_ekg.jpg"},
        {kOutPdf, w + "a.b.ekg", kRecordEkg, 0, w + "a.b_ekg.pdf"},
        {kOutXml, w + "x.ekg.ekg", kRecordEkg, 0, w + "x.ekg_ekg.xml"},
        {kOutText, w + "y.FVC", kRecordSpiro, 0, w + "y_fvc.txt"},
        {kOutJpeg, w + "y.svc", kRecordSpiro, 0, w + "y_svc.jpg"},
        {kOutPdf, w + "y.Mvv", kRecordSpiro, 0, w + "y_mvv.pdf"},
        // Not a record of the kind: no output path.
        {kOutJpeg, w + "x.raw", kRecordEkg, 0, ""},
        {kOutJpeg, w + "x.ekg", kRecordSpiro, 0, ""},
        {kOutJpeg, w + "noext", kRecordEkg, 0, ""},
        {kOutEkg, w + "x.ekg", kRecordEkg, 0, ""},
        // Folder type 2: beside the record's own folder.
        {kOutJpeg, w + "EKG/a.ekg", kRecordEkg, 2, w + "JPEG/a_ekg.jpg"},
        {kOutText, w + "SPIRO/b.svc", kRecordSpiro, 2, w + "TEXT/b_svc.txt"},
        {kOutPdf, w + "EKG_data/EKG/a.ekg", kRecordEkg, 2, w + "EKG_data/PDF/a_ekg.pdf"},
        {kOutXml, w + "EKG/Data/EKG/a.ekg", kRecordEkg, 2, w + "EKG/Data/XML/a_ekg.xml"},
        // A folder that is not the record kind's own keeps the path.
        {kOutJpeg, w + "EKG_data/a.ekg", kRecordEkg, 2, w + "EKG_data/a_ekg.jpg"},
        {kOutJpeg, w + "SPIRO/a.ekg", kRecordEkg, 2, w + "SPIRO/a_ekg.jpg"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OutputPath(c.kind, c.record, c.recordKind, c.folderType), c.expected) << c.record;
    }
    // The type folders were made beside the record folders, and nothing else.
    EXPECT_TRUE(testsupport::Exists(w + "JPEG"));
    EXPECT_TRUE(testsupport::Exists(w + "TEXT"));
    EXPECT_TRUE(testsupport::Exists(w + "EKG_data/PDF"));
    EXPECT_TRUE(testsupport::Exists(w + "EKG/Data/XML"));
    EXPECT_FALSE(testsupport::Exists(w + "_data"));
    EXPECT_FALSE(testsupport::Exists(w + "/Data"));
}

TEST(OutputPaths, MakeDataFolders) {
    testsupport::CTempDir dir;
    const std::string w = dir.Path();
    EXPECT_EQ(MakeDataFolders(kOutEkg, w + "EKG/a.ekg", kRecordEkg), w + "EKG/a.ekg");
    EXPECT_EQ(MakeDataFolders(kOutDicom, w + "EKG/a.ekg", kRecordEkg), w + "DICOM/a.ekg");
    EXPECT_TRUE(testsupport::Exists(w + "DICOM"));
    EXPECT_EQ(MakeDataFolders(kOutSpiro, w + "SPIRO/a.fvc", kRecordSpiro), w + "SPIRO/a.fvc");
    EXPECT_TRUE(testsupport::Exists(w + "SPIRO"));
    // Unknown kinds make nothing and move nothing.
    EXPECT_EQ(MakeDataFolders(5, w + "EKG/a.ekg", kRecordEkg), w + "EKG/a.ekg");
}
