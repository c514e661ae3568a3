#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include "messaging/CMessageWindows.h"
#include "messaging/MessageCenter.h"
#include "settings/IniFile.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "qv_message_windows_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

class Links final : public MessageLinks {
  public:
    int ConnectionState() const override { return state; }
    std::int16_t PresenceMode() const override { return 0; }
    std::string OwnNickname() const override { return "Ann"; }
    std::string OwnId() const override { return "1001"; }
    bool SendUserMessage(const std::string& id, const std::string&, std::int16_t number,
                         std::int16_t parameter, const std::string& text) override {
        sent.push_back(id + "/" + std::to_string(number) + "/" + std::to_string(parameter) + "/" +
                       text);
        return true;
    }
    void PlaySoundEvent(const std::string& name) override { sounds.push_back(name); }
    std::optional<std::uint32_t> ContactPresence(const std::string&) const override {
        return std::nullopt;
    }
    std::string CustomMessage(const std::string&) const override { return {}; }
    void SendStoredMessage(const std::string&, const std::string&, std::int32_t,
                           std::function<void(int, const std::string&)>) override {}
    std::uint32_t Now() const override { return 1700000000; }
    std::uint32_t Ticks() const override { return 0; }
    int state = 4;
    std::vector<std::string> sent;
    std::vector<std::string> sounds;
};

TEST(SendMessageDialogTest, SendNeedsTextAndSendsToEveryRecipient) {
    App();
    Links links;
    MessageCenter center;
    center.SetLinks(&links);
    test::TempFolder folder;
    IniFile settings(folder.File("Options.ini"));
    UserButtonActions actions;
    actions.call = [](const std::string&, const std::string&) {};
    auto* dialog = new CSendMessageDialog(center, "1002\n1003", "Bob\nCid", actions, &settings);
    EXPECT_EQ(dialog->windowTitle(), "Send Bob");
    EXPECT_FALSE(dialog->SendButton()->isEnabled());
    dialog->Text()->setPlainText("   \n ");
    EXPECT_FALSE(dialog->SendButton()->isEnabled());
    dialog->Text()->setPlainText("  hello");
    EXPECT_TRUE(dialog->SendButton()->isEnabled());
    EXPECT_EQ(dialog->UserButton("Add")->toolTip(), "Add user to contact list");
    EXPECT_EQ(dialog->UserButton("History")->toolTip(), "View message history with this user");
    EXPECT_FALSE(dialog->UserButton("Info")->isEnabled());
    EXPECT_FALSE(dialog->UserButton("History")->isEnabled());
    EXPECT_FALSE(dialog->UserButton("Add")->isEnabled());
    EXPECT_TRUE(dialog->UserButton("Call")->isEnabled());
    dialog->HighPriority()->setChecked(true);
    dialog->NotifyReceived()->setChecked(true);
    dialog->SendButton()->click();
    EXPECT_EQ(links.sent, (std::vector<std::string>{"1002/8/3/  hello", "1003/8/3/  hello"}));
    EXPECT_EQ(links.sounds, (std::vector<std::string>{"OutgoingInstantMessage"}));
    EXPECT_NE(settings.GetInt("WindowRect", "SendInstantMessageWidth", -1), -1);
    QApplication::processEvents();
}

TEST(SendMessageDialogTest, HistoryOpensTheFirstRecipientsRecords) {
    App();
    Links links;
    MessageCenter center;
    center.SetLinks(&links);
    UserButtonActions actions;
    std::vector<std::string> asked;
    actions.history = [&](const std::string& id, const std::string& nick) {
        asked.push_back(id + " " + nick);
    };
    auto* dialog = new CSendMessageDialog(center, "1002\n1003", "Bob\nCid", actions, nullptr);
    ASSERT_TRUE(dialog->UserButton("History")->isEnabled());
    dialog->UserButton("History")->click();
    EXPECT_EQ(asked, (std::vector<std::string>{"1002 Bob"}));
    dialog->close();
    QApplication::processEvents();
}

TEST(IncomingMessageWindowTest, ShowsSenderTimeAndOpensReplyUnlessReceipt) {
    App();
    Links links;
    MessageCenter center;
    center.SetLinks(&links);
    struct Case {
        std::uint16_t flags;
        bool replyEnabled;
    };
    for (const Case c : {Case{0, true}, Case{1, true}, Case{4, false}}) {
        center.ReceiveInstantMessage("1002", "Bob", "hi there", c.flags, 1700000000);
        const auto notices = center.Notices();
        std::string repliedTo;
        auto* window = new CIncomingMessageWindow(
            center, notices.back(), "Instant Message", {},
            [&](const std::string& id, const std::string&) { repliedTo = id; }, nullptr);
        window->show();
        EXPECT_EQ(window->windowTitle(), "Incoming Instant Message");
        EXPECT_EQ(window->SenderLine(), "Bob (1002)");
        EXPECT_EQ(window->TimeLine().toStdString(), CIncomingMessageWindow::FormatTime(1700000000));
        EXPECT_EQ(window->ReplyButton()->isEnabled(), c.replyEnabled);
        if (c.replyEnabled) {
            window->ReplyButton()->click();
            EXPECT_EQ(repliedTo, "1002");
        } else {
            window->close();
        }
        EXPECT_EQ(center.Find(notices.back().id)->state, 2);  // closed
        QApplication::processEvents();
    }
}

TEST(IncomingMessageWindowTest, TimeLineFormat) {
    const std::string line = CIncomingMessageWindow::FormatTime(1700000000);
    // mm/dd/yyyy - hh:mm AM
    ASSERT_EQ(line.size(), 21u) << line;
    EXPECT_EQ(line[2], '/');
    EXPECT_EQ(line.substr(10, 3), " - ");
    EXPECT_TRUE(line.ends_with("AM") || line.ends_with("PM"));
}

TEST(AlertWindowHostTest, OpensOneWindowPerAlertAndRaisesTheSendersOpenOne) {
    App();
    Links links;
    MessageCenter center;
    center.SetLinks(&links);
    CAlertWindowHost host(CAlertWindowHost::Parts{});
    center.SetWindows(&host);
    center.OnUserMessage("Bob", "1002", 8, 2, "please confirm");
    center.OnUserMessage("Bob", "1002", 11, 0, "Lobby\tcome in\tH");
    center.OpenOldest();
    const auto notices = center.Notices();
    ASSERT_NE(host.Window(notices[0].id), nullptr);
    EXPECT_EQ(links.sent.size(), 1u);  // the receipt
    center.OpenOldest();
    auto* invitation = dynamic_cast<CInvitationWindow*>(host.Window(notices[1].id));
    ASSERT_NE(invitation, nullptr);
    EXPECT_EQ(invitation->Text(), "Bob (1002) has invited you to \"Lobby\"");
    EXPECT_FALSE(invitation->AcceptButton()->isEnabled());
    // A second message from Bob while his window is open raises that window instead.
    center.OnUserMessage("Bob", "1002", 8, 0, "again");
    center.OpenOldest();
    EXPECT_EQ(center.Notices()[2].state, 0);
    host.Window(notices[0].id)->close();
    QApplication::processEvents();
    center.RemovalTick();
    EXPECT_EQ(host.Window(notices[0].id), nullptr);
    center.SetWindows(nullptr);
}

}  // namespace
}  // namespace qv
