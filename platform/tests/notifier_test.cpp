#include "platform/notifier.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/msgpump.h"
#include "testsupport/testsupport.h"

using namespace platform;

TEST(Notifier, AbsentOperatorAnswersSafely) {
    EXPECT_EQ(DefaultAnswer(MB_OK), IDOK);
    EXPECT_EQ(DefaultAnswer(MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(DefaultAnswer(MB_YESNOCANCEL), IDCANCEL);
    EXPECT_EQ(DefaultAnswer(MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(ShowMessage("no test notifier", MB_YESNO), IDNO);
}

TEST(Notifier, ScriptedOperatorReadsAndAnswers) {
    testsupport::CScriptedNotifier op;
    op.answers = {IDYES};
    EXPECT_EQ(ShowMessage("Overwrite ?", MB_YESNOCANCEL | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(ShowMessage("Again ?", MB_YESNOCANCEL), IDCANCEL);
    ReportFileError("/x/y.ekg", ENOENT);
    ASSERT_EQ(op.calls.size(), 3u);
    EXPECT_EQ(op.calls[0].text, "Overwrite ?");
    EXPECT_NE(op.calls[2].text.find("/x/y.ekg"), std::string::npos);
    EXPECT_EQ(op.calls[2].type & MB_TYPEMASK, unsigned(MB_OK));
}

TEST(MessagePump, RunsTheInstalledPump) {
    static int calls = 0;
    EXPECT_EQ(PumpMessage(), 0);
    auto prev = SetMessagePump([]() { return ++calls; });
    EXPECT_EQ(PumpMessage(), 1);
    EXPECT_EQ(PumpMessage(), 2);
    SetMessagePump(prev);
    EXPECT_EQ(PumpMessage(), 0);
}

// An event the pump runs that pumps again (a search started from a timer) gets nothing:
// events never nest, and the outer pumping goes on.
TEST(MessagePump, NestedPumpingIsRefused) {
    static int nested = -1, depth = 0, deepest = 0;
    auto prev = SetMessagePump([]() {
        deepest = std::max(deepest, ++depth);
        nested = PumpMessage();
        --depth;
        return 1;
    });
    EXPECT_EQ(PumpMessage(), 1);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(PumpMessage(), 1);  // the guard was lifted again
    SetMessagePump(prev);
}
