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

NoticeRequest IncomingCall(const std::string& id, const std::string& nick) {
    NoticeRequest call;
    call.kind = notice_kind::kIncomingCall;
    call.senderId = id;
    call.senderNickname = nick;
    call.time = 500;
    call.activateApp = true;
    return call;
}

TEST(SystemNoticeListTest, IncomingCallNoticesQueueAndCloseOldestFirst) {
    SystemNoticeList list;
    std::vector<std::pair<std::int32_t, bool>> told;
    list.SetListener([&](const SystemNoticeList::Notice& n, bool showNow) {
        told.emplace_back(n.kind, showNow);
    });
    list.AddNotice(IncomingCall("100", "Ann"));
    list.AddSystemNotice("between", false, 0);
    list.AddNotice(IncomingCall("200", "Bob"));
    EXPECT_EQ(told,
              (std::vector<std::pair<std::int32_t, bool>>{{notice_kind::kIncomingCall, false},
                                                          {notice_kind::kSystem, false},
                                                          {notice_kind::kIncomingCall, false}}));
    EXPECT_EQ(list.Unseen(), 3u);
    ASSERT_TRUE(list.CloseNotice(notice_kind::kIncomingCall));
    std::vector<SystemNoticeList::Notice> open = list.OpenNotices();
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(open[0].text, "between");
    EXPECT_EQ(open[1].senderId, "200");
    EXPECT_TRUE(open[1].activateApp);
    EXPECT_EQ(list.Unseen(), 2u);  // a closed call no longer waits
    EXPECT_TRUE(list.CloseNotice(notice_kind::kIncomingCall));
    EXPECT_FALSE(list.CloseNotice(notice_kind::kIncomingCall));
    EXPECT_FALSE(list.CloseNotice(notice_kind::kVoiceMail));
    EXPECT_EQ(list.OpenNotices().size(), 1u);
    EXPECT_EQ(list.Notices().size(), 3u);
}

TEST(SystemNoticeListTest, IncomingCallRowNamesTheCaller) {
    SystemNoticeList::Notice call;
    call.kind = notice_kind::kIncomingCall;
    call.senderId = "4711";
    call.senderNickname = "Ann %s";
    EXPECT_EQ(SystemNoticeList::TextOf(call), "Incoming call from Ann %s (4711)");
    SystemNoticeList::Notice plain;
    plain.text = "plain %s";
    EXPECT_EQ(SystemNoticeList::TextOf(plain), "plain %s");
}

QApplication& App() {
    static int argc = 1;
    static char name[] = "qv_system_notice_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

TEST(SystemNoticeWindowTest, ListsEveryNoticeAndMarksThemShown) {
    App();
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

TEST(SystemNoticeWindowTest, ShowsACallOnlyWhileItRings) {
    App();
    SystemNoticeList list;
    list.AddSystemNotice("first", false, 0);
    list.AddNotice(IncomingCall("100", "Ann"));
    CSystemNoticeWindow window(list);
    ASSERT_EQ(window.Rows(), 2);
    EXPECT_TRUE(window.RowText(1).endsWith("Incoming call from Ann (100)"));
    list.CloseNotice(notice_kind::kIncomingCall);
    window.Refresh();
    EXPECT_EQ(window.Rows(), 1);
}

}  // namespace
}  // namespace qv
