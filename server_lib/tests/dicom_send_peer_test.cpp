// "DICOM_SEND" 1: the record's DICOM file reaches Orthanc through the store program, all
// inside a network namespace of the test's own (tools/dicom/dcmpeer.sh).
#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

TEST(OxuDicomSend, TheInstanceArrivesInOrthanc) {
    testsupport::CTempDir dir;
    const std::string bin = std::string(OXUHOST_PATH).substr(0, std::string(OXUHOST_PATH).rfind('/'));
    int nStatus = -1;
    const std::string out = testsupport::RunCommand(
        "PEER_TIMEOUT=120 " + testsupport::ShellQuote(DCMPEER_SH) + " orthanc " +
            testsupport::ShellQuote(dir / "orthanc") + " 4242 8042 ORTHANC -- " +
            testsupport::ShellQuote(DICOM_SEND_SH) + " " + testsupport::ShellQuote(bin) + " " +
            testsupport::ShellQuote(DEVSIM_PY) + " " + testsupport::ShellQuote(dir.Path()) + " 2>&1",
        &nStatus);
    EXPECT_EQ(nStatus, 0) << out;
    EXPECT_NE(out.find("FOUND 2.25."), std::string::npos) << out;
}
