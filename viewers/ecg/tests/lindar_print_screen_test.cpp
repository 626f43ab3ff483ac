// Lindar's Print on a queue of a private CUPS server that refuses every job, with the
// program's own screen notifier on a real X screen: the box is read off the screen as a
// user reads it, and the print system is asked once however many copies were asked for.
#include "lindarframe.h"

#include "platform/screennotifier.h"
#include "testsupport/cupspeer.h"
#include "testsupport/xscreenenv.h"

namespace {

::testing::Environment* const kScreen =
    ::testing::AddGlobalTestEnvironment(new testsupport::CXScreenEnvironment);

class LindarPrintScreen : public CLindarFrameTest {
protected:
    void SetUp() override {
        CLindarFrameTest::SetUp();
        ASSERT_TRUE(cups.Start()) << cups.Error();
        ASSERT_TRUE(cups.AddRejectingQueue("Refuser")) << cups.Error();
        pPrevious = platform::SetNotifier(&screen);
    }
    void TearDown() override { platform::SetNotifier(pPrevious); }
    platform::CScreenNotifier screen{"Lindar"};
    platform::INotifier* pPrevious = nullptr;
    testsupport::CCupsPeer cups;
};

TEST_F(LindarPrintScreen, ARefusedPrintIsShownWithTheQueueAndTheReasonAndNotRepeated) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("control.ekg"), 0));
    prompts.acceptPrint = true;
    prompts.printer = "Refuser";
    prompts.nCopies = 3;

    testsupport::CScreenOperator op(testsupport::CXScreenEnvironment::Screen(), "^Lindar$");
    op.Answer({"Return"});
    View().OnFilePrint();
    const std::vector<std::string> boxes = op.Wait();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("Erro de Impressão"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find("Refuser"), std::string::npos) << boxes[0];
    // The print system's own words for the refusal.
    EXPECT_NE(boxes[0].find("not accepting jobs"), std::string::npos) << boxes[0];
    EXPECT_EQ(cups.JobRequests(), 1) << testsupport::ReadFile(cups.Folder() + "/log/access_log");
    EXPECT_TRUE(cups.OutputFiles().empty());
}

}  // namespace
