// Forum invitations: the text of message 11 both ways, inviting a contact to the forum the user
// is in, and accepting an invitation from its window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <optional>
#include <string>
#include <vector>

#include "messaging/CMessageWindows.h"
#include "messaging/ForumInvitation.h"
#include "messaging/MessageCenter.h"

namespace qv {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "qv_forum_invitation_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

class Links final : public MessageLinks {
  public:
    int ConnectionState() const override { return 4; }
    std::int16_t PresenceMode() const override { return mode; }
    std::string OwnNickname() const override { return "Ann"; }
    std::string OwnId() const override { return "1001"; }
    bool SendUserMessage(const std::string& id, const std::string& nickname, std::int16_t number,
                         std::int16_t parameter, const std::string& text) override {
        sent.push_back(id + "/" + nickname + "/" + std::to_string(number) + "/" +
                       std::to_string(parameter) + "/" + text);
        return sendWorks;
    }
    void PlaySoundEvent(const std::string&) override {}
    std::optional<std::uint32_t> ContactPresence(const std::string&) const override {
        return std::nullopt;
    }
    std::string CustomMessage(const std::string&) const override { return "I am away."; }
    void SendStoredMessage(const std::string&, const std::string&, std::int32_t,
                           std::function<void(int, const std::string&)>) override {}
    std::uint32_t Now() const override { return 1700000000; }
    std::uint32_t Ticks() const override { return 0; }
    std::int16_t mode = 0;
    bool sendWorks = true;
    std::vector<std::string> sent;
};

class Forums final : public ForumAccess {
  public:
    std::optional<ForumInvitation> CurrentForum() const override { return current; }
    bool JoinInvitedForum(const ForumInvitation& forum) override {
        joins.push_back(forum);
        return joinWorks;
    }
    std::optional<ForumInvitation> current;
    bool joinWorks = true;
    std::vector<ForumInvitation> joins;
};

TEST(ForumInvitationTextTest, FormatsTheOptionLettersInTheirOrder) {
    struct Case {
        ForumInvitation invitation;
        const char* text;
    };
    const Case cases[] = {
        {{"General/Friends", "", false, false, false}, "General/Friends\t\t"},
        {{"General/Friends", "pw", false, false, false}, "General/Friends\tpw\t"},
        {{"General/Friends", "", true, false, false}, "General/Friends\t\tH"},
        {{"General/Friends", "", false, true, false}, "General/Friends\t\tM"},
        {{"General/Friends", "", false, false, true}, "General/Friends\t\tT"},
        {{"General/Friends", "s e", true, true, true}, "General/Friends\ts e\tHMT"},
        {{"a/b", "x", false, true, true}, "a/b\tx\tMT"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatForumInvitation(c.invitation), c.text);
        EXPECT_EQ(ParseForumInvitation(c.text), c.invitation) << c.text;
    }
}

TEST(ForumInvitationTextTest, ReadsWhatOtherProgramsMightSend) {
    struct Case {
        std::string text;
        std::optional<ForumInvitation> expected;
    };
    const std::vector<Case> cases = {
        // No TABs: only the forum.
        {"General/Friends", ForumInvitation{"General/Friends", "", false, false, false}},
        // One TAB: the password, no options.
        {"General/Friends\tpw", ForumInvitation{"General/Friends", "pw", false, false, false}},
        // Letters anywhere after the second TAB, in any order, other bytes ignored.
        {"a/b\t\tx T?H", ForumInvitation{"a/b", "", true, false, true}},
        {"a/b\t\tTMH\tmore", ForumInvitation{"a/b", "", true, true, true}},
        // Lower-case letters are no options; letters in the password are no options either.
        {"a/b\tHMT\thmt", ForumInvitation{"a/b", "HMT", false, false, false}},
        // Nothing to join.
        {"", std::nullopt},
        {"\tpw\tHMT", std::nullopt},
        {"\t\t", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseForumInvitation(c.text), c.expected) << c.text;
    }
}

struct Rig {
    Rig() {
        center.SetLinks(&links);
        center.SetForumAccess(&forums);
    }
    Links links;
    Forums forums;
    MessageCenter center;
};

TEST(ForumInvitationSendTest, InvitesOnlyWhileInAForumAndSendsMessage11) {
    Rig rig;
    EXPECT_FALSE(rig.center.CanInviteToForum());
    EXPECT_FALSE(rig.center.InviteToForum("1002", "Bob"));
    EXPECT_TRUE(rig.links.sent.empty());

    rig.forums.current = ForumInvitation{"General/Test", "secret", false, true, false};
    EXPECT_TRUE(rig.center.CanInviteToForum());
    EXPECT_TRUE(rig.center.InviteToForum("1002", "Bob"));
    EXPECT_EQ(rig.links.sent, (std::vector<std::string>{"1002/Bob/11/0/General/Test\tsecret\tM"}));

    // Nobody to invite, or an engine that refuses: false.
    EXPECT_FALSE(rig.center.InviteToForum("", "Bob"));
    rig.links.sendWorks = false;
    EXPECT_FALSE(rig.center.InviteToForum("1003", "Cid"));

    // Without forums at all there is nothing to invite to.
    MessageCenter bare;
    bare.SetLinks(&rig.links);
    EXPECT_FALSE(bare.CanInviteToForum());
    EXPECT_FALSE(bare.InviteToForum("1002", "Bob"));
}

TEST(ForumInvitationAcceptTest, AcceptJoinsTheForumTheInvitationNames) {
    Rig rig;
    rig.center.OnUserMessage("Bob", "1002", user_message::kForumInvitation, 0,
                             "General/Test\tsecret\tHT");
    rig.center.OnUserMessage("Bob", "1002", user_message::kWebsiteInvitation, 0,
                             "http://example.com\tlook");
    rig.center.OnUserMessage("Bob", "1002", user_message::kForumInvitation, 0, "\tno forum\t");
    const auto alerts = rig.center.Notices();
    ASSERT_EQ(alerts.size(), 3u);
    EXPECT_TRUE(rig.center.AcceptForumInvitation(alerts[0].id));
    EXPECT_EQ(rig.forums.joins,
              (std::vector<ForumInvitation>{{"General/Test", "secret", true, false, true}}));
    // Not a forum invitation, one that names no forum, an unknown alert: nothing joins.
    EXPECT_FALSE(rig.center.AcceptForumInvitation(alerts[1].id));
    EXPECT_FALSE(rig.center.AcceptForumInvitation(alerts[2].id));
    EXPECT_FALSE(rig.center.AcceptForumInvitation(9999));
    EXPECT_EQ(rig.forums.joins.size(), 1u);
    // A refused join (the adult check, the engine) is reported.
    rig.forums.joinWorks = false;
    EXPECT_FALSE(rig.center.AcceptForumInvitation(alerts[0].id));
}

TEST(ForumInvitationWindowTest, AcceptIsEnabledWithForumsAndJoins) {
    App();
    Rig rig;
    CAlertWindowHost host(CAlertWindowHost::Parts{});
    rig.center.SetWindows(&host);
    rig.center.OnUserMessage("Bob", "1002", user_message::kForumInvitation, 0,
                             "General/Test\tsecret\tM");
    rig.center.OpenOldest();
    const auto alerts = rig.center.Notices();
    auto* window = dynamic_cast<CInvitationWindow*>(host.Window(alerts[0].id));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Forum Invitation");
    EXPECT_EQ(window->Text(), "Bob (1002) has invited you to \"General/Test\"");
    // The password is not shown; the options are.
    bool optionsShown = false;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        EXPECT_FALSE(label->text().contains("secret"));
        optionsShown |= label->text() == "Moderated, Password given with the invitation";
    }
    EXPECT_TRUE(optionsShown);
    ASSERT_TRUE(window->AcceptButton()->isEnabled());
    window->AcceptButton()->click();
    QApplication::processEvents();
    EXPECT_EQ(rig.forums.joins,
              (std::vector<ForumInvitation>{{"General/Test", "secret", false, true, false}}));
    // Accepting closes the window; the alert goes at the next removal tick.
    EXPECT_EQ(rig.center.Notices()[0].state, 2);
    rig.center.RemovalTick();
    EXPECT_EQ(host.Window(alerts[0].id), nullptr);
    rig.center.SetWindows(nullptr);
}

TEST(ForumInvitationWindowTest, AJoinThatCannotStartKeepsTheInvitation) {
    App();
    Rig rig;
    rig.forums.joinWorks = false;
    CAlertWindowHost host(CAlertWindowHost::Parts{});
    rig.center.SetWindows(&host);
    rig.center.OnUserMessage("Bob", "1002", user_message::kForumInvitation, 0, "a/b\t\t");
    rig.center.OpenOldest();
    const std::uint64_t id = rig.center.Notices()[0].id;
    auto* window = dynamic_cast<CInvitationWindow*>(host.Window(id));
    ASSERT_NE(window, nullptr);
    window->AcceptButton()->click();
    QApplication::processEvents();
    EXPECT_EQ(rig.forums.joins.size(), 1u);
    // Still open, still acceptable.
    ASSERT_EQ(host.Window(id), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(rig.center.Notices()[0].state, 1);
    rig.forums.joinWorks = true;
    window->AcceptButton()->click();
    QApplication::processEvents();
    EXPECT_EQ(rig.forums.joins.size(), 2u);
    EXPECT_EQ(rig.center.Notices()[0].state, 2);
    rig.center.SetWindows(nullptr);
}

TEST(ForumInvitationWindowTest, AcceptStaysDisabledWithoutForums) {
    App();
    Links links;
    MessageCenter center;
    center.SetLinks(&links);
    CAlertWindowHost::Parts parts;
    int otherAccepts = 0;
    // The host's own accept is for the other invitations only.
    parts.acceptInvitation = [&otherAccepts](const MessageCenter::Notice&) { ++otherAccepts; };
    CAlertWindowHost host(std::move(parts));
    center.SetWindows(&host);
    center.OnUserMessage("Bob", "1002", user_message::kForumInvitation, 0, "Lobby/A\t\t");
    center.OnUserMessage("Cid", "1003", user_message::kWebsiteInvitation, 0, "http://x\tlook");
    center.OpenOldest();
    center.OpenOldest();
    const auto alerts = center.Notices();
    auto* forum = dynamic_cast<CInvitationWindow*>(host.Window(alerts[0].id));
    auto* website = dynamic_cast<CInvitationWindow*>(host.Window(alerts[1].id));
    ASSERT_NE(forum, nullptr);
    ASSERT_NE(website, nullptr);
    EXPECT_FALSE(forum->AcceptButton()->isEnabled());
    EXPECT_TRUE(website->AcceptButton()->isEnabled());
    website->AcceptButton()->click();
    EXPECT_EQ(otherAccepts, 1);
    center.SetWindows(nullptr);
}

TEST(ForumInvitationReceiveTest, AnAwayUserAnswersBeforeTheAlert) {
    Rig rig;
    rig.links.mode = presence_mode::kAway;
    rig.center.OnUserMessage("Bob", "1002", user_message::kForumInvitation, 0, "a/b\t\t");
    ASSERT_EQ(rig.links.sent.size(), 1u);
    EXPECT_EQ(rig.links.sent[0], "1002/Bob/13/1/Ann (1001) is currently away:\r\n\r\nI am away.");
    ASSERT_EQ(rig.center.Notices().size(), 1u);
    EXPECT_EQ(rig.center.Notices()[0].kind, notice_kind::kForumInvitation);
}

}  // namespace
}  // namespace qv
