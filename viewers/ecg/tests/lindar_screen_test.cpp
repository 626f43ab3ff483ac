// Lindar's boxes on a real X screen with a window manager, through the program's own screen
// notifier: found by their windows, read and answered with the X tools as a user would.
#include "lindarframe.h"

#include <QLineEdit>

#include "ecg_control/ekgfile.h"
#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "lindar/patientbar.h"
#include "platform/codepage.h"
#include "testsupport/xscreenenv.h"
#include "viewers/common/screennotifier.h"

namespace {

::testing::Environment* const kScreen =
    ::testing::AddGlobalTestEnvironment(new testsupport::CXScreenEnvironment);

class LindarScreen : public CLindarFrameTest {
protected:
    void SetUp() override {
        CLindarFrameTest::SetUp();
        pPrevious = platform::SetNotifier(&screen);
    }
    void TearDown() override { platform::SetNotifier(pPrevious); }
    CScreenNotifier screen{"Lindar"};
    platform::INotifier* pPrevious = nullptr;
};

bool Has(const std::string& strBox, const char* pszUtf8) {
    return strBox.find(pszUtf8) != std::string::npos;
}

TEST_F(LindarScreen, SaveInfoAskedOnTheScreenAndAnsweredYesWritesTheFields) {
    MakeFrame();
    ASSERT_TRUE(testsupport::WriteFile(dir / "p.ekg", testsupport::ReadFile(Fx("control.ekg"))));
    ASSERT_TRUE(Doc().OpenExam(dir / "p.ekg", 0));
    CPatientBar& bar = *frame->PatientBar();
    bar.OnEdit(true);
    bar.FieldEdit(CPatientBar::NAME)->setText("Ana Souza");
    bar.FieldEdit(CPatientBar::SEX)->setText("Masculino");
    bar.FieldEdit(CPatientBar::HOSPITAL)->setText(QString::fromUtf8("São José"));

    testsupport::CScreenOperator op(testsupport::CXScreenEnvironment::Screen(), "^Lindar$");
    op.Answer({"Return", "Return"});  // Yes (the first button), then OK
    bar.OnSave();
    const std::vector<std::string> boxes = op.Wait();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(Has(boxes[0], "Tem certeza que deseja salvar as alterações?")) << boxes[0];
    EXPECT_TRUE(Has(boxes[0], "Yes")) << boxes[0];
    EXPECT_TRUE(Has(boxes[1], "Exame salvo com sucesso!")) << boxes[1];

    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    ASSERT_TRUE(ReadEkgFile(dir / "p.ekg", &wave, &info, &morph, 0));
    EXPECT_EQ(info.GetPatientInfo(1), "Ana Souza");
    EXPECT_EQ(info.GetPatientInfo(3), "Male");
    EXPECT_EQ(platform::ToUtf8(info.GetMisc(1)), "São José");
}

TEST_F(LindarScreen, AFailedOpenIsShownAndAnswered) {
    MakeFrame();
    ASSERT_TRUE(testsupport::WriteFile(dir / "bad.ekg", "not a record"));
    testsupport::CScreenOperator op(testsupport::CXScreenEnvironment::Screen(), "^Lindar$");
    op.Answer({"Return"});
    EXPECT_FALSE(Doc().OpenExam(dir / "bad.ekg", 0));
    const std::vector<std::string> boxes = op.Wait();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(Has(boxes[0], "Falha ao abrir o arquivo (*.ekg) !!!")) << boxes[0];
}

}  // namespace
