#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "ecg_engine/input_reader.h"
#include "record_fixture.h"
#include "testsupport/testsupport.h"

using namespace ecg_engine;
using namespace ecg_engine_test;
using testsupport::CTempDir;

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::unique_ptr<CEngineData> ReadWith(const std::string& path,
                                      EEngineVariant v = EEngineVariant::Zorvik31,
                                      int* pResult = nullptr) {
    auto d = CreateEngineData(v);
    d->Arguments = {path.c_str(), "1"};
    const int n = ReadInputRecord(*d);
    if (pResult)
        *pResult = n;
    return d;
}

}  // namespace

TEST(InputReader, KindComesFromTheLastComponentsExtension) {
    const struct {
        const char* pszPath;
        EInputKind eKind;
        int nDot;
    } cases[] = {
        {"/data/rec.ekg", EInputKind::Ekg, 9},
        {"/data/rec.EKG", EInputKind::Ekg, 9},
        {"/a.b/rec.RAW", EInputKind::Raw, 8},
        {"rec.raw", EInputKind::Raw, 3},
        {"x.rec", EInputKind::Rec, 1},
        {"x.REC", EInputKind::Rec, 1},
        {"cse/M01.DCD", EInputKind::Dcd, 7},
        {"cse/m01.dcd", EInputKind::Dcd, 7},
        {"a.b.ekg", EInputKind::Ekg, 3},
        {"C:\\data\\rec.ekg", EInputKind::Ekg, 11},
        // A folder's extension never decides the kind.
        {"/data/old.ekg/rec.txt", EInputKind::None, -1},
        {"/data/old.ekg/rec", EInputKind::None, -1},
        {"rec.Ekg", EInputKind::None, -1},
        {"rec.ekgx", EInputKind::None, -1},
        {"rec.ek", EInputKind::None, -1},
        {"rec.", EInputKind::None, -1},
        {"/data/.ekg", EInputKind::None, -1},
        {"", EInputKind::None, -1},
    };
    for (const auto& c : cases) {
        int nDot = -2;
        EXPECT_EQ(InputKindOf(c.pszPath, nDot), c.eKind) << c.pszPath;
        EXPECT_EQ(nDot, c.nDot) << c.pszPath;
    }
}

TEST(InputReader, EkgRecordFillsInputLeadsWithPaddingAndMakesDebugFolder) {
    CTempDir dir;
    const std::string path = dir / "a.b/rec.ekg";
    ASSERT_TRUE(testsupport::WriteFile(path, MakeEkgRecord(MarkerSample)));
    int nResult = -9;
    auto d = ReadWith(path, EEngineVariant::Zorvik31, &nResult);
    ASSERT_EQ(nResult, 0);

    const int aLeadOfRow[8] = {0, 1, 6, 7, 8, 9, 10, 11};
    for (int r = 0; r < 8; ++r) {
        const int l = aLeadOfRow[r];
        EXPECT_EQ(d->InputLeads[r][0], MarkerSample(l, 0)) << r;
        EXPECT_EQ(d->InputLeads[r][499], MarkerSample(l, 0)) << r;
        EXPECT_EQ(d->InputLeads[r][500], MarkerSample(l, 0)) << r;
        EXPECT_EQ(d->InputLeads[r][2345], MarkerSample(l, 1845)) << r;
        EXPECT_EQ(d->InputLeads[r][5499], MarkerSample(l, 4999)) << r;
        EXPECT_EQ(d->InputLeads[r][5999], MarkerSample(l, 4999)) << r;
    }
    const std::string base = dir / "a.b/rec";
    EXPECT_STREQ(d->OutputBaseName.data(), base.c_str());
    EXPECT_STREQ(d->DebugFolderPrefix.data(), (base + "/").c_str());
    EXPECT_STREQ(d->InputPath.data(), base.c_str());  // cut at the extension's dot
    EXPECT_TRUE(IsFolder(base));
    EXPECT_STREQ(d->pszInputArgument, path.c_str());
    EXPECT_STREQ(d->pszSecondArgument, "1");
}

TEST(InputReader, ShortFileReadsMissingSamplesAsMinusOne) {
    CTempDir dir;
    const std::string path = dir / "short.EKG";
    ASSERT_TRUE(testsupport::WriteFile(path, MakeEkgRecord(MarkerSample, 100000)));
    auto d = ReadWith(path);
    // Lead block l starts at 10200 l: V4 (block 9) is cut after 4100 samples, V5 and V6 are
    // beyond the end.
    EXPECT_EQ(d->InputLeads[2][5499], MarkerSample(6, 4999));  // V1 whole
    EXPECT_EQ(d->InputLeads[5][500 + 4099], MarkerSample(9, 4099));
    EXPECT_EQ(d->InputLeads[5][500 + 4100], -1);
    EXPECT_EQ(d->InputLeads[5][5999], -1);
    for (int i : {0, 500, 3000, 5999}) {
        EXPECT_EQ(d->InputLeads[6][i], -1) << i;
        EXPECT_EQ(d->InputLeads[7][i], -1) << i;
    }
}

// A record of 6000 samples a lead (60 Hz mode) is known by its file size, and its first 5000
// samples a lead are read; every other size is read as a 5000-sample record.
TEST(InputReader, SixtyHzRecordIsReadAtItsOwnLeadStride) {
    const struct {
        const char* pszWhat;
        int nSamplesInFile;
        std::size_t nTotal;
    } cases[] = {
        {"whole 60 Hz record file", 6000, 156900},
        {"60 Hz record with a 240-byte lead measurement block", 6000, 156640},
        {"60 Hz engine input file without pacemaker marks", 6000, 150402},
        {"60 Hz lead blocks alone", 6000, 146400},
        {"whole 50 Hz record file", 5000, 132900},
        {"50 Hz engine input file", 5000, 126402},
        {"50 Hz record with bytes behind its layout", 5000, 146399},
    };
    for (const auto& c : cases) {
        for (EEngineVariant v : {EEngineVariant::Zorvik31, EEngineVariant::Zorvik21}) {
            CTempDir dir;
            const std::string path = dir / "rec.raw";
            ASSERT_TRUE(testsupport::WriteFile(
                path, MakeEkgRecord(MarkerSample, c.nTotal, c.nSamplesInFile)));
            int nResult = -9;
            auto d = ReadWith(path, v, &nResult);
            ASSERT_EQ(nResult, 0) << c.pszWhat;
            const int aLeadOfRow[8] = {0, 1, 6, 7, 8, 9, 10, 11};
            for (int r = 0; r < 8; ++r) {
                const int l = aLeadOfRow[r];
                for (int s : {0, 1845, 4999})
                    EXPECT_EQ(d->InputLeads[r][500 + s], MarkerSample(l, s))
                        << c.pszWhat << ", row " << r << ", sample " << s;
                EXPECT_EQ(d->InputLeads[r][5999], MarkerSample(l, 4999)) << c.pszWhat;
            }
        }
    }
}

TEST(InputReader, DcdGroupsHoldThreeLeadsBigEndian) {
    CTempDir dir;
    const std::string path = dir / "M01.DCD";
    ASSERT_TRUE(testsupport::WriteFile(path, MakeDcdRecord(MarkerSample)));
    auto d = ReadWith(path);
    EXPECT_EQ(d->InputLeads[0][500], MarkerSample(0, 0));      // I
    EXPECT_EQ(d->InputLeads[1][1500], MarkerSample(1, 1000));  // II
    EXPECT_EQ(d->InputLeads[2][500], MarkerSample(6, 0));      // V1: first lead of group 2
    EXPECT_EQ(d->InputLeads[2][5499], MarkerSample(6, 4999));
    EXPECT_EQ(d->InputLeads[7][4000], MarkerSample(11, 3500));  // V6
}

TEST(InputReader, FatalErrorsReadNothing) {
    CTempDir dir;
    ASSERT_TRUE(testsupport::WriteFile(dir / "rec.txt", MakeEkgRecord(MarkerSample)));
    int nResult = 0;
    ReadWith(dir / "missing.ekg", EEngineVariant::Zorvik31, &nResult);
    EXPECT_EQ(nResult, -1);
    ReadWith(dir / "rec.txt", EEngineVariant::Zorvik31, &nResult);
    EXPECT_EQ(nResult, -1);
    EXPECT_FALSE(testsupport::Exists(dir / "rec"));  // no debug folder for a refused input

    auto d = CreateEngineData(EEngineVariant::Zorvik31);
    EXPECT_EQ(ReadInputRecord(*d), -1);  // no argument at all
}

TEST(InputReader, PathLongerThanItsBufferIsRefused) {
    CTempDir dir;
    std::string folder = dir.Path();
    while (folder.size() < 1000)
        folder += "deep_folder_name_part/";
    const std::string path = folder + "rec.ekg";
    int nResult = 0;
    ReadWith(path, EEngineVariant::Zorvik31, &nResult);
    EXPECT_EQ(nResult, -1);

    // A path that fits exactly still reads (998 characters and its terminator).
    std::string fit = dir.Path();
    while (fit.size() < 800)
        fit += std::string(99, 'f') + "/";
    fit += std::string(998 - fit.size() - 4, 'n') + ".ekg";
    ASSERT_EQ(fit.size(), 998u);
    ASSERT_TRUE(testsupport::WriteFile(fit, MakeEkgRecord(MarkerSample)));
    ReadWith(fit, EEngineVariant::Zorvik31, &nResult);
    EXPECT_EQ(nResult, 0);
}

TEST(InputReader, OlderBuildMakesNoDebugFolder) {
    CTempDir dir;
    const std::string path = dir / "rec.raw";
    ASSERT_TRUE(testsupport::WriteFile(path, MakeEkgRecord(MarkerSample)));
    int nResult = -9;
    auto d = ReadWith(path, EEngineVariant::Zorvik21, &nResult);
    EXPECT_EQ(nResult, 0);
    EXPECT_FALSE(testsupport::Exists(dir / "rec"));
    EXPECT_STREQ(d->DebugFolderPrefix.data(), (dir / "rec").c_str());
}
