// Instant messages between real programs' parts: for each data root a directory client, an
// engine manager over the networked engine, the contact store and the MessageCenter with the
// program's links, against the real directory service and voice server.

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "VoiceRig.h"
#include "app/ProgramMessageLinks.h"
#include "app/SonaroStoreLink.h"
#include "directory/AccountRequests.h"
#include "directory/DirectoryClient.h"
#include "directory/StoredMessages.h"
#include "engine/CSonaroManager.h"
#include "messaging/MessageCenter.h"
#include "platform/TickClock.h"
#include "stores/ContactStore.h"
#include "stores/EventLog.h"
#include "stores/MessageFiles.h"
#include "support/ClientRig.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

class RecordingTray final : public TraySurface {
  public:
    void ShowAlertIcon(std::int32_t icon, bool on) override {
        if (on) {
            blinked = icon;
        }
    }
    void SetTip(const std::string&) override {}
    std::int32_t blinked = 0;
};

// One data root of one account: what the program holds for messages.
class MessagesProgram {
  public:
    MessagesProgram(test::VoiceRig& rig, test::Account account, const test::TempFolder& root)
        : rig_(rig), account_(std::move(account)), user_(rig.NewUser()) {
        started_ = directory_.Start(rig.directory.Host());
        CSonaroManager& manager = *user_->h.manager;
        link_ = std::make_unique<SonaroStoreLink>(manager, &contacts, nullptr);
        const std::string folder = root.Path() + account_.id + "/";
        contacts.OpenForUser(folder, root.Path());
        links_ = std::make_unique<ProgramMessageLinks>(
            center, manager, &contacts, &directory_.client, user_->h.options, user_->h.screen,
            ticks_, std::make_unique<OfflineQueue>(folder + "Outgoing/", [] {
                return static_cast<std::uint32_t>(std::time(nullptr));
            }));
        center.SetTraySurface(&tray);
        center.Attach(folder, nullptr);
        log.Open(folder + EventLog::kFileName);
        center.SetEventLog(&log);
        manager.SetEventLog(&log);
    }
    ~MessagesProgram() {
        Manager().SetEventLog(nullptr);
        center.SetEventLog(nullptr);
        center.Detach();
        center.SetTraySurface(nullptr);
        links_.reset();
        link_.reset();
    }

    bool Started() const { return started_; }

    bool LogInToDirectory() {
        int status = 0;
        LoginEx2(
            directory_.client, account_.id, account_.password,
            [&](const std::string&, const std::string&, long c, long, long, long, int s,
                RequestContext) {
                status = s;
                if (s == 1) {
                    contacts.SynchronizeWithServer(static_cast<std::uint32_t>(c));
                }
            },
            this);
        return directory_.DriveUntil([&] { return status != 0; }) && status == 1;
    }

    bool LogInToVoiceServer() {
        CSonaroManager& m = *user_->h.manager;
        return rig_.LogIn(*user_, account_, directory_.client.VoiceTicket(), m.WatchList(),
                          m.BlockList());
    }

    CSonaroManager& Manager() { return *user_->h.manager; }
    const test::Account& Account() const { return account_; }

    // The engine's events and the directory's replies until done().
    static bool Drive(std::vector<MessagesProgram*> programs, const std::function<bool()>& done,
                      int timeoutMs = 15000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            for (MessagesProgram* p : programs) {
                p->user_->h.manager->DrainEvents();
                p->directory_.Step();
            }
            if (done()) {
                return true;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // The alerts of a kind.
    std::vector<MessageCenter::Notice> Alerts(std::int32_t kind) const {
        std::vector<MessageCenter::Notice> of;
        for (const auto& n : center.Notices()) {
            if (n.kind == kind) {
                of.push_back(n);
            }
        }
        return of;
    }

    test::RecordingScreen screen;
    test::ClientRig directory_;
    struct NoNotices final : SystemNotices {
        void AddSystemNotice(const std::string&, bool, std::uint32_t) override {}
    } noNotices;
    ContactStore contacts{&directory_.client, nullptr, screen, noNotices};
    MessageCenter center;
    RecordingTray tray;
    EventLog log;

  private:
    test::VoiceRig& rig_;
    test::Account account_;
    std::unique_ptr<test::VoiceUser> user_;
    SteadyTickClock ticks_;
    std::unique_ptr<SonaroStoreLink> link_;
    std::unique_ptr<ProgramMessageLinks> links_;
    bool started_ = false;
};

UserProfile Profile(const test::Account& account) {
    UserProfile p;
    p.LoginId = account.id;
    p.NickName = account.nick;
    return p;
}

TEST(MessagesTest, LiveMessageWaitsOpensAndItsReceiptReachesTheSender) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready()) << "a server did not start";
    const test::Account ann = rig.Register("Ann");
    const test::Account bob = rig.Register("Bob");
    test::TempFolder annRoot;
    test::TempFolder bobRoot;
    MessagesProgram a(rig, ann, annRoot);
    MessagesProgram b(rig, bob, bobRoot);
    ASSERT_TRUE(a.LogInToDirectory() && b.LogInToDirectory());
    ASSERT_TRUE(a.LogInToVoiceServer() && b.LogInToVoiceServer());

    // Bob is not in Ann's list: the message goes live.
    EXPECT_EQ(a.center.Send(bob.id, bob.nick, "Lunch at noon? Tell me when you read this.", 2), 1);
    ASSERT_TRUE(MessagesProgram::Drive({&a, &b}, [&] { return !b.Alerts(174).empty(); }));
    MessageCenter::Notice alert = b.Alerts(174)[0];
    EXPECT_EQ(alert.senderId, ann.id);
    EXPECT_EQ(alert.senderNickname, ann.nick);
    EXPECT_EQ(alert.state, 0);
    EXPECT_EQ(alert.soundEvent, "IncomingInstantMessage");
    ASSERT_TRUE(b.center.OldestPending());
    EXPECT_EQ(b.center.OldestPending()->tip, "Instant Message from Ann (" + ann.id + ")");
    b.center.TrayTick();
    EXPECT_EQ(b.tray.blinked, 193);

    b.center.OpenOldest();
    EXPECT_EQ(b.center.Find(alert.id)->state, 1);
    ASSERT_TRUE(MessagesProgram::Drive({&a, &b}, [&] { return !a.Alerts(174).empty(); }));
    const MessageCenter::Notice receipt = a.Alerts(174)[0];
    EXPECT_EQ(receipt.senderId, bob.id);
    EXPECT_EQ(receipt.flags, 4);
    EXPECT_EQ(receipt.text, "Your message: \"Lunch at noon? Tell ...\" received.");

    // Each side's event log: Ann's sent message and Bob's receipt to her; Bob's received
    // message. Bob's receipt is automatic: not in his log.
    const auto lines = [](EventLog& log) {
        std::vector<std::string> out;
        for (const EventRecord& r : log.Query({})) {
            out.push_back(std::to_string(r.type) + " " + r.nickname + " " + r.text);
        }
        return out;
    };
    EXPECT_EQ(lines(a.log),
              (std::vector<std::string>{"2 Bob Lunch at noon? Tell me when you read this.",
                                        "1 Bob " + receipt.text}));
    EXPECT_EQ(lines(b.log),
              (std::vector<std::string>{"1 Ann Lunch at noon? Tell me when you read this."}));
}

TEST(MessagesTest, AnAwayUserAnswersAutomatically) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready()) << "a server did not start";
    const test::Account ann = rig.Register("Ann");
    const test::Account bob = rig.Register("Bob");
    test::TempFolder annRoot;
    test::TempFolder bobRoot;
    MessagesProgram a(rig, ann, annRoot);
    MessagesProgram b(rig, bob, bobRoot);
    ASSERT_TRUE(a.LogInToDirectory() && b.LogInToDirectory());
    ASSERT_TRUE(a.LogInToVoiceServer() && b.LogInToVoiceServer());
    ASSERT_TRUE(b.Manager().SetStatus(2));
    ASSERT_TRUE(MessagesProgram::Drive({&a, &b}, [&] { return b.Manager().PresenceMode() == 2; }));

    a.center.Send(bob.id, bob.nick, "are you there?", 0);
    ASSERT_TRUE(MessagesProgram::Drive({&a, &b}, [&] { return !a.Alerts(186).empty(); }));
    const MessageCenter::Notice reply = a.Alerts(186)[0];
    EXPECT_EQ(reply.text, "Bob (" + bob.id + ") is currently away:\r\n\r\nI am away.");
    EXPECT_EQ(reply.state, 1);  // opened at once
    EXPECT_EQ(b.Alerts(174).size(), 1u);
}

TEST(MessagesTest, AnOfflineContactGetsTheMessageAtItsNextLogin) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready()) << "a server did not start";
    const test::Account ann = rig.Register("Ann");
    const test::Account bob = rig.Register("Bob");
    test::TempFolder annRoot;
    test::TempFolder bobRoot;
    MessagesProgram a(rig, ann, annRoot);
    ASSERT_TRUE(a.LogInToDirectory());
    ASSERT_TRUE(a.contacts.AddContact(Profile(bob)));
    ASSERT_TRUE(a.LogInToVoiceServer());
    ASSERT_TRUE(MessagesProgram::Drive({&a}, [&] { return a.contacts.Pending().empty(); }));

    // Bob is in the list and offline: stored on the directory service, in pieces when long.
    std::string text = "While you were out: ";
    for (int i = 0; i < 120; ++i) {
        text += "item " + std::to_string(i) + "; ";
    }
    EXPECT_EQ(a.center.Send(bob.id, bob.nick, text, 0), 1);
    ASSERT_TRUE(MessagesProgram::Drive({&a}, [&] {
        const auto s = a.directory_.client.Sizes();
        return s.held == 0 && s.ready == 0 && s.inFlight == 0 && s.completed == 0;
    }));
    EXPECT_TRUE(a.Alerts(186).empty()) << a.Alerts(186)[0].text;

    MessagesProgram b(rig, bob, bobRoot);
    ASSERT_TRUE(b.LogInToDirectory());
    ASSERT_TRUE(b.LogInToVoiceServer());
    std::string received;
    ASSERT_TRUE(MessagesProgram::Drive({&a, &b}, [&] {
        received.clear();
        for (const auto& n : b.Alerts(174)) {
            received += n.text;
        }
        return received.size() >= text.size();
    }));
    EXPECT_EQ(received, text);
    EXPECT_EQ(b.Alerts(174)[0].senderId, ann.id);
    // Delivered messages are deleted on the service.
    ASSERT_TRUE(
        MessagesProgram::Drive({&b}, [&] { return b.directory_.client.PendingDeletions() == 0; }));
}

TEST(MessagesTest, AStoredTextReadButNotDeletedIsStillDelivered) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready()) << "a server did not start";
    const test::Account ann = rig.Register("Ann");
    const test::Account bob = rig.Register("Bob");
    test::TempFolder annRoot;
    test::TempFolder bobRoot;
    MessagesProgram a(rig, ann, annRoot);
    ASSERT_TRUE(a.LogInToDirectory());
    ASSERT_TRUE(a.contacts.AddContact(Profile(bob)));
    ASSERT_TRUE(a.LogInToVoiceServer());
    a.center.Send(bob.id, bob.nick, "kept for you", 0);
    ASSERT_TRUE(MessagesProgram::Drive({&a}, [&] {
        const auto s = a.directory_.client.Sizes();
        return s.held == 0 && s.ready == 0 && s.inFlight == 0 && s.completed == 0;
    }));

    MessagesProgram b(rig, bob, bobRoot);
    ASSERT_TRUE(b.LogInToDirectory());
    // An earlier run read it and stopped before it was shown or deleted.
    std::vector<StoredMessage> listed;
    bool done = false;
    GetMessagesEx(
        b.directory_.client,
        [&](const std::vector<StoredMessage>* records, const std::string&, int, RequestContext) {
            if (records != nullptr) {
                listed = *records;
            }
            done = true;
        },
        nullptr);
    ASSERT_TRUE(MessagesProgram::Drive({&b}, [&] { return done; }));
    ASSERT_EQ(listed.size(), 1u);
    int read = 0;
    ReadMessage(
        b.directory_.client, listed[0].MessageId,
        [&](const std::string&, const std::string&, int status, RequestContext) { read = status; },
        nullptr);
    ASSERT_TRUE(MessagesProgram::Drive({&b}, [&] { return read != 0; }));
    ASSERT_EQ(read, 1);

    ASSERT_TRUE(b.LogInToVoiceServer());
    ASSERT_TRUE(MessagesProgram::Drive({&b}, [&] { return !b.Alerts(174).empty(); }));
    EXPECT_EQ(b.Alerts(174)[0].text, "kept for you");
}

TEST(MessagesTest, WrittenWhileDisconnectedGoesOutAtTheNextLogin) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready()) << "a server did not start";
    const test::Account ann = rig.Register("Ann");
    const test::Account bob = rig.Register("Bob");
    test::TempFolder annRoot;
    test::TempFolder bobRoot;
    MessagesProgram b(rig, bob, bobRoot);
    ASSERT_TRUE(b.LogInToDirectory() && b.LogInToVoiceServer());
    {
        MessagesProgram a(rig, ann, annRoot);
        a.center.SendToRecipients(bob.id, bob.nick, "first", 0);
        a.center.SendToRecipients(bob.id, bob.nick, "second", 0);
        EXPECT_EQ(a.Alerts(186).size(), 2u);
    }
    // The next run of Ann's program: no contacts, so the queue goes out at login.
    MessagesProgram a(rig, ann, annRoot);
    ASSERT_TRUE(a.LogInToDirectory() && a.LogInToVoiceServer());
    ASSERT_TRUE(MessagesProgram::Drive({&a, &b}, [&] { return b.Alerts(174).size() == 2; }));
    EXPECT_EQ(b.Alerts(174)[0].text, "first");
    EXPECT_EQ(b.Alerts(174)[1].text, "second");
}

TEST(MessagesTest, AnUnreadMessageSurvivesARestart) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready()) << "a server did not start";
    const test::Account ann = rig.Register("Ann");
    const test::Account bob = rig.Register("Bob");
    test::TempFolder annRoot;
    test::TempFolder bobRoot;
    MessagesProgram a(rig, ann, annRoot);
    ASSERT_TRUE(a.LogInToDirectory() && a.LogInToVoiceServer());
    {
        MessagesProgram b(rig, bob, bobRoot);
        ASSERT_TRUE(b.LogInToDirectory() && b.LogInToVoiceServer());
        a.center.Send(bob.id, bob.nick, "read me later", 1);
        ASSERT_TRUE(MessagesProgram::Drive({&a, &b}, [&] { return !b.Alerts(174).empty(); }));
    }
    MessagesProgram b(rig, bob, bobRoot);
    const auto back = b.Alerts(174);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].text, "read me later");
    EXPECT_EQ(back[0].senderId, ann.id);
    EXPECT_EQ(back[0].icon, 318);
    EXPECT_EQ(back[0].state, 0);
}

}  // namespace
}  // namespace qv
