// Forums between real programs' parts: for each user an engine manager over the networked
// engine, the call manager with its forum joins and moderation, the active-call pane that keeps
// the roster, and the MessageCenter with the program's links and forum access, against the real
// voice server and directory service. Raw protocol clients of real accounts fill a forum.

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDevice>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "RawVoiceClient.h"
#include "RealProgram.h"
#include "VoiceProtocol.h"
#include "VoiceRig.h"
#include "app/ProgramForumAccess.h"
#include "app/ProgramMessageLinks.h"
#include "app/TimerScheduler.h"
#include "calls/CallManager.h"
#include "calls/CallRecord.h"
#include "calls/ForcedPushToTalk.h"
#include "calls/ForumModeration.h"
#include "calls/ParticipantMenu.h"
#include "engine/CSonaroManager.h"
#include "messaging/MessageCenter.h"
#include "platform/TickClock.h"
#include "settings/Options.h"
#include "stores/MessageFiles.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "ui/CActiveCallPane.h"
#include "ui/CallPaneParts.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;

// A visible forum in a category of the server's shipped forum file.
constexpr const char* kForum = "General/Test";
constexpr const char* kPassword = "pw";

// One user's program: what the main view gives the call manager and the messages.
class ForumProgram {
  public:
    ForumProgram(test::VoiceRig& rig, test::Account account, const test::TempFolder& root)
        : account_(std::move(account)),
          user_(rig.NewUser()),
          calls(*user_->h.manager, user_->h.options, user_->h.notices, user_->h.screen, clock),
          links_(center, *user_->h.manager, nullptr, nullptr, user_->h.options, user_->h.screen,
                 clock,
                 std::make_unique<OfflineQueue>(
                     root.Path() + account_.id + "/Outgoing/",
                     [] { return static_cast<std::uint32_t>(std::time(nullptr)); })),
          access_(calls) {
        CSonaroManager& m = *user_->h.manager;
        parts_.manager = &m;
        parts_.scheduler = &scheduler;
        parts_.clock = &clock;
        parts_.moderationEnabled = true;
        parts_.ownMode = [&m] { return static_cast<std::uint16_t>(m.PresenceMode()); };
        parts_.hangUp = [this] { calls.HangUp(); };
        parts_.holdOrSwitch = [this] { calls.HoldOrSwitch(); };
        parts_.pickUp = [this] { calls.PickUp(); };
        parts_.endSecond = [this](std::int16_t reason, const std::string& text) {
            calls.EndSecond(reason, text);
        };
        active = std::make_unique<CActiveCallPane>(parts_);
        calls.SetActivePane(active.get());
        center.SetForumAccess(&access_);
        ticket_ = rig.LogInToDirectory(account_);
    }
    ~ForumProgram() {
        center.SetForumAccess(nullptr);
        calls.SetActivePane(nullptr);
    }

    bool LogIn(test::VoiceRig& rig) { return rig.LogIn(*user_, account_, ticket_); }
    // What the main view's timer does: the engine's events, then the scheduler. The roster's
    // size goes to the call manager's forced push-to-talk as the pane's count changes.
    void Step() {
        user_->h.manager->DrainEvents();
        scheduler.Tick();
        const int count = calls.ActiveIsForum() ? static_cast<int>(Members().size()) : 0;
        if (count != lastCount_) {
            lastCount_ = count;
            calls.ParticipantCountChanged(count);
        }
    }
    CSonaroManager& Manager() { return *user_->h.manager; }
    const test::Account& Account() const { return account_; }
    const std::string& Id() const { return account_.id; }
    // The system messages of the call manager.
    const Lines& Notices() const { return user_->h.notices.texts; }
    // The nicknames in the active forum's roster, in order.
    Lines Members() const {
        Lines out;
        if (const CallRecord* forum = calls.Active(); forum != nullptr && forum->IsForum()) {
            for (const CallParticipant& p : forum->participants) {
                out.push_back(p.nickname);
            }
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    bool InForum() const {
        return calls.ActiveIsForum() && calls.Active()->connected &&
               calls.ActiveForumName() == kForum;
    }
    std::uint32_t MyFlags() {
        return calls.ActiveIsForum() ? calls.Moderation().MyFlags(*calls.Active()) : 0;
    }
    // The UserMessage events with that number, as "sender-nick sender-id text".
    Lines Messages(int number) const {
        Lines out;
        const std::string mark = " " + std::to_string(number) + " ";
        for (const std::string& line : user_->Events("UserMessage ")) {
            std::size_t at = line.find(mark);
            if (at != std::string::npos) {
                // "UserMessage nick id number param text"
                const std::string head = line.substr(12, at - 12);
                const std::string rest = line.substr(at + mark.size());
                const std::size_t space = rest.find(' ');
                out.push_back(head + " " +
                              (space == std::string::npos ? "" : rest.substr(space + 1)));
            }
        }
        return out;
    }
    const Lines& Log() const { return user_->h.events.log; }
    bool JoinWithPassword(const std::string& password) {
        return calls.JoinExistingForum(kForum, password, 0, false, false, false, false, false);
    }

  private:
    test::Account account_;
    std::unique_ptr<test::VoiceUser> user_;
    std::string ticket_;
    CallPaneParts parts_;
    int lastCount_ = 0;

  public:
    SteadyTickClock clock;
    TimerScheduler scheduler{clock};
    CallManager calls;
    MessageCenter center;

  private:
    ProgramMessageLinks links_;
    ProgramForumAccess access_;

  public:
    std::unique_ptr<CActiveCallPane> active;
};

// Reads a raw client's frames (pinging it every second, so that the server keeps it) until one
// satisfies found or the deadline passes.
bool WaitForFrame(voicesvc::test::RawVoiceClient& client,
                  const std::function<bool(const voice::Frame&)>& found, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto nextPing = std::chrono::steady_clock::now();
    std::uint32_t sequence = 1;
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::chrono::steady_clock::now() >= nextPing) {
            if (!client.Send(voice::EncodePing(voice::Ping{sequence++, 0}))) {
                return false;
            }
            nextPing += std::chrono::seconds(1);
        }
        const auto frame = client.Next(200);
        if (frame && found(*frame)) {
            return true;
        }
        if (client.Closed()) {
            return false;
        }
    }
    return false;
}

class ForumsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qv_forums_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            QInputDevice::devices();
            static QApplication application(argc, argv);
        }
    }

    // Runs every program's main-view timer until done() or the deadline.
    static bool Drive(const std::vector<ForumProgram*>& programs, const std::function<bool()>& done,
                      int timeoutMs = 10000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            for (ForumProgram* p : programs) {
                p->Step();
            }
            QApplication::processEvents();
            if (done()) {
                return true;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    static bool Has(const Lines& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    static std::ptrdiff_t IndexOf(const Lines& lines, const std::string& line) {
        auto it = std::find(lines.begin(), lines.end(), line);
        return it == lines.end() ? -1 : it - lines.begin();
    }
};

TEST_F(ForumsTest, PasswordInvitationModeratorKickBanAndDisband) {
    test::VoiceRig rig({"--forums", QUORVANE_FORUM_FILE});
    ASSERT_TRUE(rig.Ready()) << "a server did not start";
    test::TempFolder root;
    ForumProgram a(rig, rig.Register("Ann"), root);
    ForumProgram b(rig, rig.Register("Bob"), root);
    ForumProgram c(rig, rig.Register("Cat"), root);
    ASSERT_TRUE(a.LogIn(rig));
    ASSERT_TRUE(b.LogIn(rig));
    ASSERT_TRUE(c.LogIn(rig));
    const std::vector<ForumProgram*> all = {&a, &b, &c};
    const std::string refusedPrefix = "serverMessage 1 1 ";

    // Ann creates the forum with a password and owns it.
    ASSERT_TRUE(
        a.calls.CreateOrJoinForum(kForum, kPassword, false, false, false, false, false, false));
    ASSERT_TRUE(Drive(all, [&] { return a.InForum() && a.Members() == Lines{"Ann"}; }))
        << "Ann is not in her forum";
    EXPECT_TRUE(IsOwner(a.MyFlags())) << a.MyFlags();

    // Bob cannot come in without the password; the half-made forum goes.
    ASSERT_TRUE(b.JoinWithPassword(""));
    ASSERT_TRUE(Drive(all, [&] {
        return Has(b.Log(), refusedPrefix + "Wrong password - " + kForum);
    })) << "no refusal for Bob";
    ASSERT_TRUE(Drive(all, [&] { return b.calls.IsIdle(); }));
    // With it he is in, and both are in each other's roster.
    ASSERT_TRUE(b.JoinWithPassword(kPassword));
    ASSERT_TRUE(Drive(all, [&] {
        return b.InForum() && a.Members() == Lines{"Ann", "Bob"} &&
               b.Members() == Lines{"Ann", "Bob"};
    })) << "Ann and Bob are not together";
    EXPECT_FALSE(IsModeratorOrOwner(b.MyFlags()));

    // Cat comes in through Ann's invitation: message 11, accepted from her notice.
    ASSERT_TRUE(a.center.CanInviteToForum());
    ASSERT_TRUE(a.center.InviteToForum(c.Id(), "Cat"));
    ASSERT_TRUE(Drive(all, [&] {
        for (const auto& n : c.center.Notices()) {
            if (n.kind == notice_kind::kForumInvitation) {
                return true;
            }
        }
        return false;
    })) << "no invitation at Cat";
    std::uint64_t invitation = 0;
    for (const auto& n : c.center.Notices()) {
        if (n.kind == notice_kind::kForumInvitation) {
            invitation = n.id;
            EXPECT_EQ(n.senderId, a.Id());
            EXPECT_EQ(n.text, std::string(kForum) + "\t" + kPassword + "\t");
        }
    }
    ASSERT_TRUE(c.center.AcceptForumInvitation(invitation));
    ASSERT_TRUE(Drive(all, [&] {
        return c.InForum() && a.Members() == Lines{"Ann", "Bob", "Cat"} &&
               b.Members() == Lines{"Ann", "Bob", "Cat"} &&
               c.Members() == Lines{"Ann", "Bob", "Cat"};
    })) << "Cat did not join from the invitation";

    // Ann makes Bob moderator.
    a.calls.Moderation().MakeModerator(*a.calls.Active(), b.Id());
    ASSERT_TRUE(Drive(all, [&] { return IsModeratorOrOwner(b.MyFlags()); }))
        << "Bob is no moderator";

    // Bob kicks Cat: she is told (before she is out), is out, and can come back.
    b.calls.Moderation().Kick(*b.calls.Active(), c.Id(), "no shouting");
    ASSERT_TRUE(Drive(all, [&] { return c.calls.IsIdle() && a.Members().size() == 2; }))
        << "Cat was not kicked";
    const std::string kickLine = "UserMessage Bob " + b.Id() + " 14 1 " + kForum + "\tno shouting";
    const std::ptrdiff_t told = IndexOf(c.Log(), kickLine);
    ASSERT_GE(told, 0) << "Cat was not told";
    std::ptrdiff_t out = -1;
    for (std::size_t i = static_cast<std::size_t>(told); i < c.Log().size(); ++i) {
        if (c.Log()[i] == "JoinedGroup ") {
            out = static_cast<std::ptrdiff_t>(i);
            break;
        }
    }
    EXPECT_GT(out, told) << "Cat's removal did not follow the message";
    // The kick's notice, shown while she was still in the forum.
    bool kickNotice = false;
    for (const auto& n : c.center.Notices()) {
        kickNotice |= n.text == std::string("You have been kicked from forum \"") + kForum +
                                    "\" by Bob (" + b.Id() + "):\r\n\r\nno shouting";
    }
    EXPECT_TRUE(kickNotice);
    ASSERT_TRUE(c.JoinWithPassword(kPassword));
    ASSERT_TRUE(Drive(all, [&] { return c.InForum() && a.Members().size() == 3; }))
        << "Cat could not come back";

    // Ann bans Cat: out, and kept out with the refusal that names the forum.
    a.calls.Moderation().Ban(*a.calls.Active(), c.Id(), "gone");
    ASSERT_TRUE(Drive(all, [&] { return c.calls.IsIdle() && a.Members().size() == 2; }))
        << "Cat was not banned";
    EXPECT_TRUE(Has(c.Log(), "UserMessage Ann " + a.Id() + " 15 1 " + kForum + "\tgone"));
    ASSERT_TRUE(c.JoinWithPassword(kPassword));
    ASSERT_TRUE(Drive(all, [&] {
        return Has(c.Log(), refusedPrefix + "You were banned from the forum - " + kForum);
    })) << "no ban refusal";
    ASSERT_TRUE(Drive(all, [&] { return c.calls.IsIdle(); }));

    // Ann disbands: Bob is told and is out.
    ASSERT_TRUE(a.calls.Moderation().Disband(*a.calls.Active()));
    ASSERT_TRUE(Drive(all, [&] {
        return b.calls.IsIdle() && a.calls.IsIdle() &&
               Has(b.Log(), "UserMessage Ann " + a.Id() + " 18 1 " + kForum + "\t");
    })) << "the disband did not reach Bob";
    bool disbandNotice = false;
    for (const auto& n : b.center.Notices()) {
        disbandNotice |= n.text == std::string("The forum \"") + kForum +
                                       "\" has been disbanded by Ann (" + a.Id() + ").";
    }
    EXPECT_TRUE(disbandNotice);
    // The owner herself is not sent the notice.
    EXPECT_TRUE(a.Messages(18).empty());
}

TEST_F(ForumsTest, SpokenLinesAndEmotesReachTheOthersAndAWhisperOnlyItsTarget) {
    test::VoiceRig rig({"--forums", QUORVANE_FORUM_FILE});
    ASSERT_TRUE(rig.Ready()) << "a server did not start";
    test::TempFolder root;
    ForumProgram a(rig, rig.Register("Ann"), root);
    ForumProgram b(rig, rig.Register("Bob"), root);
    ForumProgram c(rig, rig.Register("Cat"), root);
    ASSERT_TRUE(a.LogIn(rig));
    ASSERT_TRUE(b.LogIn(rig));
    ASSERT_TRUE(c.LogIn(rig));
    const std::vector<ForumProgram*> all = {&a, &b, &c};
    ASSERT_TRUE(
        a.calls.CreateOrJoinForum(kForum, kPassword, false, false, false, false, false, false));
    ASSERT_TRUE(Drive(all, [&] { return a.InForum(); }));
    ASSERT_TRUE(b.JoinWithPassword(kPassword));
    ASSERT_TRUE(c.JoinWithPassword(kPassword));
    ASSERT_TRUE(Drive(all, [&] { return a.Members().size() == 3 && c.Members().size() == 3; }));

    // Spoken lines reach the others; a whisper only its target.
    ASSERT_TRUE(a.Manager().SendTextChatMessage("hello all"));
    ASSERT_TRUE(a.Manager().SendWhisper("Bob", "psst"));
    ASSERT_TRUE(c.Manager().SendTextChatCommand("waves"));
    ASSERT_TRUE(Drive(all,
                      [&] {
                          return Has(b.Messages(4), "Ann " + a.Id() + " hello all") &&
                                 Has(c.Messages(4), "Ann " + a.Id() + " hello all") &&
                                 Has(b.Messages(5), "Ann " + a.Id() + " psst") &&
                                 Has(a.Messages(6), "Cat " + c.Id() + " waves") &&
                                 Has(b.Messages(6), "Cat " + c.Id() + " waves");
                      }))
        << "the lines did not arrive: " << ::testing::PrintToString(b.Log());
    Drive(
        all, [] { return false; }, 300);
    EXPECT_TRUE(c.Messages(5).empty());
    EXPECT_TRUE(a.Messages(5).empty());
}

TEST_F(ForumsTest, AFullForumSwitchesToPushToTalkAndBackBelowFive) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready()) << "a server did not start";
    test::TempFolder root;
    ForumProgram a(rig, rig.Register("Ann"), root);
    ASSERT_TRUE(a.LogIn(rig));
    const std::vector<ForumProgram*> all = {&a};
    ASSERT_TRUE(a.calls.CreateOrJoinForum(kForum, "", true, false, false, false, false, false));
    ASSERT_TRUE(Drive(all, [&] { return a.InForum() && a.Members().size() == 1; }));

    // Seven fake engines of real accounts come in, one by one. Each answers a ping at every
    // step, so that the server keeps them (it closes a silent session) and their frames are read.
    std::vector<std::pair<test::Account, std::string>> accounts;
    for (int i = 0; i < 7; ++i) {
        test::Account account = rig.Register("Raw" + std::to_string(i));
        std::string ticket = rig.LogInToDirectory(account);
        ASSERT_FALSE(ticket.empty());
        accounts.emplace_back(std::move(account), std::move(ticket));
    }
    std::vector<std::unique_ptr<voicesvc::test::RawVoiceClient>> crowd;
    const auto keepAlive = [&crowd] {
        for (auto& client : crowd) {
            EXPECT_TRUE(client->RoundTrip());
        }
    };
    for (const auto& [account, ticket] : accounts) {
        keepAlive();
        auto client = std::make_unique<voicesvc::test::RawVoiceClient>();
        client->caFile = rig.voice.CaFile();
        ASSERT_TRUE(client->Connect(rig.VoicePort()));
        ASSERT_TRUE(client->Login(account.id, ticket, voice::kForumVersion)) << account.id;
        ASSERT_TRUE(client->Send(voice::Encode(voice::JoinGroup{1, kForum, "", 2})));
        crowd.push_back(std::move(client));
        const std::size_t expected = crowd.size() + 1;
        ASSERT_TRUE(Drive(all, [&] { return a.Members().size() == expected; }))
            << "the roster did not reach " << expected;
        // Below 8 nothing changes.
        EXPECT_EQ(a.calls.ForcedPushToTalkOn(), expected >= 8) << expected;
    }
    EXPECT_TRUE(a.calls.ForcedPushToTalkOn());
    ASSERT_FALSE(a.Notices().empty());
    EXPECT_EQ(a.Notices().back(), forced_push_to_talk_text::kOn);

    // Leaving one by one: at 7, 6 and 5 it stays, at 4 it goes back.
    while (crowd.size() > 3) {
        keepAlive();
        ASSERT_TRUE(crowd.back()->Send(voice::Encode(voice::JoinGroup{1, "", "", 0})));
        crowd.pop_back();
        const std::size_t expected = crowd.size() + 1;
        ASSERT_TRUE(Drive(all, [&] { return a.Members().size() == expected; }))
            << "the roster did not shrink to " << expected;
        EXPECT_EQ(a.calls.ForcedPushToTalkOn(), expected >= 5) << expected;
    }
    EXPECT_FALSE(a.calls.ForcedPushToTalkOn());
    EXPECT_EQ(a.Notices().back(), forced_push_to_talk_text::kOff);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(ForumsProgramTest, ARealProgramJoinsTheForumItsCommandFileNames) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready()) << "a server did not start";
    const test::Account ann = rig.Register("Ann");
    const test::Account host = rig.Register("Host");
    const std::string path = "Secret/Room";

    // The host makes a hidden forum with a password and waits in it.
    voicesvc::test::RawVoiceClient owner;
    owner.caFile = rig.voice.CaFile();
    ASSERT_TRUE(owner.Connect(rig.VoicePort()));
    ASSERT_TRUE(owner.Login(host.id, rig.LogInToDirectory(host), voice::kForumVersion));
    ASSERT_TRUE(owner.Send(voice::Encode(voice::JoinGroup{1, path, "pw", 1})));
    ASSERT_TRUE(WaitForFrame(
        owner, [](const voice::Frame& f) { return f.type == voice::MessageType::kJoinedGroup; },
        5000));

    // Ann's program opens a command file that names the forum and its password: it logs in
    // first, then joins.
    test::TempFolder home;
    const std::string file = home.Write("join.qdx", "G" + path + "\r\npw\r\n");
    test::RealProgram program(home, ann, rig.directory.Host(), rig.VoicePort(), rig.voice.CaFile(),
                              {file});
    ASSERT_TRUE(program.Started());
    EXPECT_TRUE(WaitForFrame(
        owner,
        [&](const voice::Frame& f) {
            voice::MemberJoined m;
            return f.type == voice::MessageType::kMemberJoined && voice::Decode(f.fields, m) &&
                   m.userId == ann.id;
        },
        30000))
        << "Ann's program did not join; its trace:\n"
        << home.Read("trace.log");
    EXPECT_EQ(program.Terminate(), 0);
}

}  // namespace
}  // namespace qv
