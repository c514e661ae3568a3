#include "engine/CEngineNotice.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>

namespace qv {
namespace {

TEST(EngineNoticeWindowTest, ShowsATopmostModelessNoticeUntilClosed) {
    int argc = 0;
    QApplication app(argc, nullptr);
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

}  // namespace
}  // namespace qv
