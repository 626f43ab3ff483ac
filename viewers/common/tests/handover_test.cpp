// The queue of what a second start hands over: taken at once when nothing is open; held
// while a modal window is up or a question is unanswered (also a question that shows no Qt
// window), and while the handling of an earlier hand-over asks one; then taken in the order
// it came, none lost.
#include "handover.h"

#include <QDialog>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/notifier.h"
#include "testsupport/qtapp.h"

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

// A question that waits in an event loop of its own, with no window, while the action runs.
class CLoopNotifier : public platform::INotifier {
public:
    int Ask(const std::string&, const std::string&, unsigned) override {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, [&] {
            if (during)
                during();
            loop.quit();
        });
        loop.exec();
        return platform::IDOK;
    }
    std::function<void()> during;
};

TEST(HandOverQueue, WaitsWhileADialogOrAQuestionIsOpenAndLosesNothing) {
    CLoopNotifier asking;
    platform::INotifier* pPrevious = platform::SetNotifier(&asking);
    std::vector<CString> taken;
    viewerapp::CHandOverQueue queue([&](DWORD, const CString& s) {
        taken.push_back(s);
        if (s == "asks")  // an exam already open: said in a box
            platform::ShowMessage("Exame já está aberto.");
    });
    auto waitFor = [&](std::size_t n) {
        return testsupport::ProcessUntil([&] { return taken.size() == n; }, 10000);
    };

    queue.Add(30, "at once");
    EXPECT_EQ(taken, std::vector<CString>{"at once"});

    // A question of a command.
    asking.during = [&] {
        queue.Add(30, "under the question");
        QCoreApplication::processEvents();
        EXPECT_EQ(taken.size(), 1u);
    };
    platform::ShowMessage("Tem certeza?", platform::MB_YESNO);
    ASSERT_TRUE(waitFor(2));
    EXPECT_EQ(taken.back(), "under the question");

    // A modal dialog: two hand-overs wait and come in their order.
    QDialog dlg;
    QTimer::singleShot(0, &dlg, [&] {
        queue.Add(30, "first under the dialog");
        queue.Add(28, "second under the dialog");
        QCoreApplication::processEvents();
        EXPECT_EQ(queue.Waiting(), 2u);
        dlg.accept();
    });
    dlg.exec();
    ASSERT_TRUE(waitFor(4));
    EXPECT_EQ(taken[2], "first under the dialog");
    EXPECT_EQ(taken[3], "second under the dialog");

    // The handling of one asks a question: the next waits behind it.
    asking.during = [&] {
        queue.Add(30, "behind");
        QCoreApplication::processEvents();
        EXPECT_EQ(taken.back(), "asks");
    };
    queue.Add(30, "asks");
    ASSERT_TRUE(waitFor(6));
    EXPECT_EQ(taken[5], "behind");
    EXPECT_EQ(queue.Waiting(), 0u);
    platform::SetNotifier(pPrevious);
}

}  // namespace
