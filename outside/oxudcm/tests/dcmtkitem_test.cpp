// The item wrappers: values, copies that own their bytes, the owning list.
#include <gtest/gtest.h>

#include <cstring>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "oxudcm/dcmtkitem.h"

namespace {
TEST(DcmTkItem, ValuesAsTheConstructorsFormThem) {
    struct Case {
        CDcmTkItem item;
        const char* value;
    } cases[] = {
        {CDcmTkItem(), ""},
        {CDcmTkItem(DCM_PatientName, 3.5), "3.500000"},
        {CDcmTkItem(DCM_PatientName, -17), "-17"},
        {CDcmTkItem(DCM_PatientName, "Name^Given"), "Name^Given"},
        {CDcmTkItem(DCM_PatientName, static_cast<const char*>(nullptr)), ""},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(reinterpret_cast<const char*>(c.item.GetValue()), c.value);
        EXPECT_EQ(c.item.GetValueLength(), static_cast<int>(std::strlen(c.value)));
        EXPECT_STREQ(c.item.GetClassNameA(), "CDcmTkItem");
    }
    EXPECT_EQ(CDcmTkItem().m_nGroup, 0xFFFF);
    EXPECT_EQ(CDcmTkItem().m_nElement, 0xFFFF);
    CDcmTkItem a(DCM_PatientID, "x");
    EXPECT_EQ(a.m_nGroup, 0x0010);
    EXPECT_EQ(a.m_nElement, 0x0020);
    CDcmTkItem b;
    b = a;
    EXPECT_EQ(b.m_nElement, 0x0020);
    EXPECT_EQ(b.GetText(), "x");
}

TEST(DcmTkItem, BinaryCopiesOwnTheirBytes) {
    unsigned char ab[] = {9, 8, 7};
    CDcmTkItemBin a(DCM_PixelData, ab, 3);
    ab[0] = 0;
    EXPECT_EQ(a.GetValue()[0], 9);
    EXPECT_STREQ(a.GetClassNameA(), "CDcmTkItemBin");
    CDcmTkItemBin b(a);
    CDcmTkItemBin c;
    c = a;
    EXPECT_NE(b.GetValue(), a.GetValue());
    EXPECT_NE(c.GetValue(), a.GetValue());
    EXPECT_EQ(0, std::memcmp(c.GetValue(), a.GetValue(), 3));
    c = c;  // self-assignment keeps the bytes
    EXPECT_EQ(c.GetValueLength(), 3);
    EXPECT_EQ(c.GetValue()[2], 7);
    CDcmTkItemBin none(DCM_PixelData, ab, 0);
    EXPECT_EQ(none.GetValue(), nullptr);
    EXPECT_EQ(none.GetValueLength(), 0);
    EXPECT_TRUE(none.GetText().empty());
}

TEST(DcmTkItemPtrArray, AddItemMakesTheMatchingKind) {
    CDcmTkItemPtrArray items;
    items.ReleaseData();  // empty: nothing happens
    EXPECT_EQ(items.GetSize(), 0);
    EXPECT_STREQ(items.AddItem(DCM_PatientName, "n")->GetClassNameA(), "CDcmTkItem");
    EXPECT_STREQ(items.AddItem(DCM_StudyID, 1)->GetClassNameA(), "CDcmTkItem");
    EXPECT_STREQ(items.AddItem(DCM_PatientWeight, 2.25)->GetClassNameA(), "CDcmTkItem");
    CDcmTkItem* pBin = items.AddItem(DCM_PixelData, nullptr, 0);
    EXPECT_STREQ(pBin->GetClassNameA(), "CDcmTkItemBin");
    EXPECT_EQ(pBin->GetValueLength(), 0);
    for (int i = 0; i < 100; ++i) {
        items.AddItem(DCM_StudyID, i);
    }
    EXPECT_EQ(items.GetSize(), 104);
    EXPECT_EQ(items.GetAt(103)->GetText(), "99");
    items.ReleaseData();
    EXPECT_EQ(items.GetSize(), 0);
}

TEST(DcmTkStoreSCUCallback, BaseDoesNothing) {
    CDcmTkStoreSCUCallback cb;
    cb.InitCallback(3);
    cb.Progress(1, 3);
    cb.SetMessage("x");
    cb.FinishCallback();
    CDcmTkStoreSCUCallback copy(cb);
    (void)copy;
}
}  // namespace

#include "oxudcm/dcmtkstorescu.h"
#include "testsupport/testsupport.h"

namespace {
class CRecordingCallback : public CDcmTkStoreSCUCallback {
public:
    void InitCallback(int n) override { calls.push_back("init " + std::to_string(n)); }
    void FinishCallback() override { calls.push_back("finish"); }
    void SetMessage(const char* psz) override { calls.push_back(std::string("message ") + psz); }
    std::vector<std::string> calls;
};

// What the sender refuses before any peer answers; each refusal names its reason and
// reaches the callback between its init and finish.
TEST(DcmTkStoreSCU, RefusalsBeforeAnyInstanceIsSent) {
    testsupport::CTempDir dir;
    testsupport::WriteFile(dir / "text.dcm", "no DICOM here");
    struct Case {
        const char* name;
        std::vector<std::string> files;
        const char* host;
        int nPort;
        CDcmTkStoreSCU::EResult e;
        const char* reason;
    } cases[] = {
        {"empty list", {}, "127.0.0.1", 104, CDcmTkStoreSCU::kNoFiles, "no files"},
        {"no host", {dir / "text.dcm"}, "", 104, CDcmTkStoreSCU::kNoAssociation, "destination"},
        {"port 0", {dir / "text.dcm"}, "127.0.0.1", 0, CDcmTkStoreSCU::kNoAssociation, "destination"},
        {"port 70000", {dir / "text.dcm"}, "127.0.0.1", 70000, CDcmTkStoreSCU::kNoAssociation, "destination"},
        {"not DICOM", {dir / "text.dcm"}, "127.0.0.1", 104, CDcmTkStoreSCU::kNoFiles, "no DICOM file"},
        {"missing file", {dir / "gone.dcm"}, "127.0.0.1", 104, CDcmTkStoreSCU::kNoFiles, "gone.dcm"},
    };
    for (const Case& c : cases) {
        CDcmTkStoreSCU scu;
        scu.SetFileList(c.files);
        CRecordingCallback cb;
        EXPECT_EQ(scu.Send(c.host, c.nPort, "A", "B", &cb), c.e) << c.name;
        EXPECT_NE(scu.GetLastError().find(c.reason), std::string::npos) << c.name << ": " << scu.GetLastError();
        ASSERT_GE(cb.calls.size(), 2u) << c.name;
        EXPECT_EQ(cb.calls.front(), "init " + std::to_string(c.files.size())) << c.name;
        EXPECT_EQ(cb.calls.back(), "finish") << c.name;
        EXPECT_EQ(scu.Stored(), std::vector<bool>(c.files.size(), false)) << c.name;
    }
    CDcmTkStoreSCU scu;
    scu.AddFile("a");
    scu.AddFile("b");
    CDcmTkStoreSCU copy(scu);
    copy.EmptyFileList();
    EXPECT_EQ(copy.Send("127.0.0.1", 104, "A", "B"), CDcmTkStoreSCU::kNoFiles);
}
}  // namespace
