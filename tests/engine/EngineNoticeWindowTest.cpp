#include "engine/CEngineNotice.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace qv {
namespace {

class EngineNoticeWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qv_engine_notice_window_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            static QApplication application(argc, argv);
        }
    }
};

TEST_F(EngineNoticeWindowTest, ShowsATopmostModelessNoticeUntilClosed) {
    CEngineNotice notice;
    notice.ShowNotice("Disconnecting...", "Attempting to abort the connection in progress.");
    ASSERT_TRUE(notice.IsShown());
    QMessageBox* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* b = qobject_cast<QMessageBox*>(w); b != nullptr && b->isVisible()) {
            box = b;
        }
    }
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Disconnecting...");
    EXPECT_EQ(box->text(), "Attempting to abort the connection in progress.");
    EXPECT_FALSE(box->isModal());
    EXPECT_TRUE(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(box->buttons().isEmpty());
    notice.CloseNotice();
    EXPECT_FALSE(notice.IsShown());
    notice.CloseNotice();  // twice is harmless
}

TEST_F(EngineNoticeWindowTest, ShowingTheNoticeRunsNoOtherWork) {
    // The caller is in the middle of a disconnect: the view's timer and queued calls must not
    // run inside it.
    QObject receiver;
    int timerRuns = 0;
    int queuedRuns = 0;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++timerRuns; });
    timer.start();
    QMetaObject::invokeMethod(
        &receiver, [&] { ++queuedRuns; }, Qt::QueuedConnection);

    CEngineNotice notice;
    notice.ShowNotice("Disconnecting...", "Attempting to abort the connection in progress.");
    EXPECT_EQ(timerRuns, 0);
    EXPECT_EQ(queuedRuns, 0);
    notice.CloseNotice();

    // They run once the caller is done.
    for (int i = 0; i < 100 && (timerRuns == 0 || queuedRuns == 0); ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_GT(timerRuns, 0);
    EXPECT_EQ(queuedRuns, 1);
}

}  // namespace
}  // namespace qv
