#include <gtest/gtest.h>

#include <QApplication>

#include "messaging/CSystemNoticeWindow.h"
#include "messaging/SystemNoticeList.h"

namespace qv {
namespace {

TEST(SystemNoticeListTest, KeepsNoticesInOrderAndTellsTheListener) {
    SystemNoticeList list;
    std::vector<std::pair<std::string, bool>> told;
    list.SetListener([&](const SystemNoticeList::Notice& n, bool showNow) {
        told.emplace_back(n.text, showNow);
    });
    list.AddSystemNotice("User is offline.", false, 100);
    list.AddSystemNotice("Audio input open failed.", true, 200);
    ASSERT_EQ(list.Notices().size(), 2u);
    EXPECT_EQ(list.Notices()[0].text, "User is offline.");
    EXPECT_EQ(list.Unseen(), 1u);  // a notice shown at once counts as seen
    EXPECT_EQ(told, (std::vector<std::pair<std::string, bool>>{
                        {"User is offline.", false}, {"Audio input open failed.", true}}));
    list.MarkAllShown();
    EXPECT_EQ(list.Unseen(), 0u);
}

TEST(SystemNoticeWindowTest, ListsEveryNoticeAndMarksThemShown) {
    static int argc = 1;
    static char name[] = "qv_system_notice_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    SystemNoticeList list;
    list.AddSystemNotice("first", false, 0);
    list.AddSystemNotice("second\r\nline", false, 60);
    CSystemNoticeWindow window(list);
    EXPECT_EQ(window.windowTitle(), "System Message");
    ASSERT_EQ(window.Rows(), 2);
    EXPECT_TRUE(window.RowText(1).endsWith("second\r\nline"));
    EXPECT_EQ(list.Unseen(), 0u);
    list.AddSystemNotice("third", false, 0);
    window.Refresh();
    EXPECT_EQ(window.Rows(), 3);
}

}  // namespace
}  // namespace qv
