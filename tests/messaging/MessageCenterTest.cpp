#include <gtest/gtest.h>

#include <map>

#include "messaging/MessageCenter.h"
#include "stores/EventLog.h"
#include "stores/MessageFiles.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

struct SentUserMessage {
    std::string id;
    std::string nickname;
    std::int16_t number = 0;
    std::int16_t parameter = 0;
    std::string text;
    bool operator==(const SentUserMessage&) const = default;
};

struct Stored {
    std::string to;
    std::string text;
    std::int32_t priority = 0;
};

class FakeLinks final : public MessageLinks {
  public:
    int ConnectionState() const override { return state; }
    std::int16_t PresenceMode() const override { return mode; }
    std::string OwnNickname() const override { return "Ann"; }
    std::string OwnId() const override { return "1001"; }
    bool SendUserMessage(const std::string& id, const std::string& nickname, std::int16_t number,
                         std::int16_t parameter, const std::string& text) override {
        sent.push_back({id, nickname, number, parameter, text});
        return true;
    }
    void PlaySoundEvent(const std::string& name) override { sounds.push_back(name); }
    std::optional<std::uint32_t> ContactPresence(const std::string& id) const override {
        auto it = contacts.find(id);
        return it == contacts.end() ? std::nullopt : std::optional<std::uint32_t>(it->second);
    }
    std::string CustomMessage(const std::string& key) const override {
        auto it = custom.find(key);
        return it == custom.end() ? std::string{} : it->second;
    }
    bool InForum(const std::string& forum) const override { return forum == currentForum; }
    void SendStoredMessage(const std::string& to, const std::string& text, std::int32_t priority,
                           std::function<void(int, const std::string&)> done) override {
        stored.push_back({to, text, priority});
        storedDone = std::move(done);
    }
    void ShowMessageBox(const std::string& text) override { boxes.push_back(text); }
    std::uint32_t Now() const override { return now; }
    std::uint32_t Ticks() const override { return ticks; }
    void ShowWaitingAlert(const std::string& id, std::int32_t kind, std::uint16_t,
                          std::uint32_t) override {
        waiting[id] = kind;
    }
    void PollStoredMessages() override { ++polls; }
    bool LogEvents() const override { return logEvents; }

    bool logEvents = true;
    int state = 4;
    std::int16_t mode = 0;
    std::map<std::string, std::uint32_t> contacts;
    std::map<std::string, std::string> custom{{"Away Message", "I am away."},
                                              {"Occupied Message", "I am occupied."},
                                              {"DND Message", "Please, do not disturb!"}};
    std::string currentForum;
    std::vector<SentUserMessage> sent;
    std::vector<std::string> sounds;
    std::vector<Stored> stored;
    std::function<void(int, const std::string&)> storedDone;
    std::vector<std::string> boxes;
    std::uint32_t now = 1000;
    std::uint32_t ticks = 50000;
    std::map<std::string, std::int32_t> waiting;
    int polls = 0;
};

class FakeWindows final : public AlertWindows {
  public:
    void OpenAlertWindow(MessageCenter&, std::uint64_t id) override { opened.push_back(id); }
    bool RaiseAlertWindow(std::int32_t, const std::string&) override { return raise; }
    void CloseAlertWindow(std::uint64_t id) override { closed.push_back(id); }
    std::vector<std::uint64_t> opened;
    std::vector<std::uint64_t> closed;
    bool raise = false;
};

class FakeTray final : public TraySurface {
  public:
    void ShowAlertIcon(std::int32_t icon, bool on) override { phases.emplace_back(icon, on); }
    void SetTip(const std::string& text) override { tip = text; }
    std::vector<std::pair<std::int32_t, bool>> phases;
    std::string tip;
};

struct Rig {
    Rig() {
        center.SetLinks(&links);
        center.SetWindows(&windows);
        center.SetTraySurface(&tray);
    }
    FakeLinks links;
    FakeWindows windows;
    FakeTray tray;
    MessageCenter center;
};

TEST(MessageCenterSendTest, RoutesByConnectionAndPresence) {
    struct Case {
        const char* what;
        int state;
        std::optional<std::uint32_t> presence;  // nullopt: not a contact
        const char* route;                      // "queue", "stored", "live"
    };
    const Case cases[] = {
        {"not connected", 2, std::nullopt, "queue"},
        {"not connected, online contact", 0, 1u, "queue"},
        {"offline contact", 4, 0u, "stored"},
        {"online contact", 4, 1u, "live"},
        {"contact hiding online", 4, 0x20u, "live"},
        {"not in the list", 3, std::nullopt, "live"},
    };
    for (const Case& c : cases) {
        test::TempFolder folder;
        OfflineQueue queue(folder.File("Outgoing/"), [] { return 5u; });
        Rig rig;
        rig.center.SetOfflineQueue(&queue);
        rig.links.state = c.state;
        if (c.presence) {
            rig.links.contacts["1002"] = *c.presence;
        }
        EXPECT_EQ(rig.center.Send("1002", "Bob", "hello", 1), 1) << c.what;
        const std::string route = !queue.Files().empty()      ? "queue"
                                  : !rig.links.stored.empty() ? "stored"
                                  : !rig.links.sent.empty()   ? "live"
                                                              : "none";
        EXPECT_EQ(route, c.route) << c.what;
        if (route == "stored") {
            EXPECT_EQ(rig.links.stored[0].priority, 1);
            EXPECT_EQ(rig.links.stored[0].text, "hello");
        }
        if (route == "live") {
            EXPECT_EQ(rig.links.sent[0], (SentUserMessage{"1002", "Bob", 8, 1, "hello"}));
        }
    }
}

TEST(MessageCenterSendTest, StoredFailureBecomesANotice) {
    Rig rig;
    rig.links.contacts["1002"] = 0;
    rig.center.Send("1002", "Bob", "hello", 0);
    ASSERT_TRUE(rig.links.storedDone);
    rig.links.storedDone(-1, "Too many messages");
    ASSERT_EQ(rig.center.Notices().size(), 1u);
    EXPECT_EQ(rig.center.Notices()[0].text,
              "There was an error sending your message to (1002) : Too many messages.");
}

TEST(MessageCenterSendTest, DialogSendWhileDisconnectedTellsTheUserAndPlaysTheSound) {
    test::TempFolder folder;
    OfflineQueue queue(folder.File("Outgoing/"), [] { return 5u; });
    Rig rig;
    rig.center.SetOfflineQueue(&queue);
    rig.links.state = 0;
    rig.center.SendToRecipients("1002\n1003", "Bob\nCid", "hi", 0);
    EXPECT_EQ(queue.Files().size(), 2u);
    ASSERT_EQ(rig.center.Notices().size(), 1u);
    EXPECT_EQ(rig.center.Notices()[0].text,
              "Your message will be sent the next time you connect to the Quorvane server.");
    EXPECT_EQ(rig.center.Notices()[0].state, 1);
    EXPECT_EQ(rig.links.sounds, (std::vector<std::string>{"OutgoingInstantMessage"}));
    // The next login flushes the queue by the routes of that moment.
    rig.links.state = 4;
    EXPECT_EQ(rig.center.FlushOfflineQueue(), 2);
    ASSERT_EQ(rig.links.sent.size(), 2u);
    EXPECT_EQ(rig.links.sent[0].id, "1002");
    EXPECT_EQ(rig.links.sent[1].nickname, "Cid");
}

TEST(MessageCenterSendTest, DeliveryFailureWithinThirtySecondsStoresTheMessageOnce) {
    struct Case {
        const char* what;
        std::uint32_t after;
        const char* text;
        std::size_t stored;
    };
    const Case cases[] = {{"in time", 29999, "Delivery failed - 1002", 1},
                          {"too late", 30000, "Delivery failed - 1002", 0},
                          {"other id", 10, "Delivery failed - 1003", 0},
                          {"no dash", 10, "Delivery failed 1002", 0}};
    for (const Case& c : cases) {
        Rig rig;
        rig.center.Send("1002", "Bob", "hello", 1);
        rig.links.ticks += c.after;
        rig.center.OnServerMessage(0, 2, c.text);
        rig.center.OnServerMessage(0, 2, c.text);
        EXPECT_EQ(rig.links.stored.size(), c.stored) << c.what;
        if (c.stored == 1) {
            EXPECT_EQ(rig.links.stored[0].priority, 0);
            EXPECT_EQ(rig.links.stored[0].text, "hello");
        }
    }
    Rig rig;
    rig.center.Send("1002", "Bob", "hello", 1);
    rig.center.OnServerMessage(0, 3, "Delivery failed - 1002");
    EXPECT_TRUE(rig.links.stored.empty());
}

TEST(MessageCenterReceiveTest, AutomaticRepliesByMode) {
    struct Case {
        std::int16_t mode;
        std::uint16_t flags;
        const char* reply;  // null: none
    };
    const Case cases[] = {
        {2, 0, "Ann (1001) is currently away:\r\n\r\nI am away."},
        {2, 1, "Ann (1001) is currently away:\r\n\r\nI am away."},
        {8, 0, "Ann (1001) is currently occupied:\r\n\r\nI am occupied."},
        {8, 1, nullptr},
        {4, 1, "Ann (1001) is currently in Do Not Disturb mode:\r\n\r\nPlease, do not disturb!"},
        {2, 4, nullptr},  // a receipt is never answered
        {4, 4, nullptr},
        {1, 0, nullptr},
        {0, 0, nullptr},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.links.mode = c.mode;
        rig.center.OnUserMessage("Bob", "1002", 8, static_cast<std::int16_t>(c.flags), "hi");
        if (c.reply == nullptr) {
            EXPECT_TRUE(rig.links.sent.empty()) << c.mode << "/" << c.flags;
        } else {
            ASSERT_EQ(rig.links.sent.size(), 1u) << c.mode << "/" << c.flags;
            EXPECT_EQ(rig.links.sent[0], (SentUserMessage{"1002", "Bob", 13, 1, c.reply}));
        }
        ASSERT_EQ(rig.center.Notices().size(), 1u);
        EXPECT_EQ(rig.center.Notices()[0].kind, 174);
    }
}

TEST(MessageCenterReceiveTest, EmptyOrLongAwayText) {
    Rig rig;
    rig.links.mode = 2;
    rig.links.custom["Away Message"] = "";
    rig.center.OnUserMessage("Bob", "1002", 8, 0, "hi");
    EXPECT_TRUE(rig.links.sent.empty());
    rig.links.custom["Away Message"] = std::string(300, 'z');
    rig.center.OnUserMessage("Bob", "1002", 8, 0, "hi");
    ASSERT_EQ(rig.links.sent.size(), 1u);
    EXPECT_EQ(rig.links.sent[0].text,
              "Ann (1001) is currently away:\r\n\r\n" + std::string(99, 'z'));
}

TEST(MessageCenterReceiveTest, NumbersEightToEighteen) {
    struct Case {
        std::int16_t number;
        std::int16_t parameter;
        std::string text;
        std::int32_t kind;  // 0: no alert
        std::int32_t state;
        std::string noticeText;
    };
    const Case cases[] = {
        {8, 0, "hi", 174, 0, "hi"},
        {9, 0, "x", 0, 0, ""},
        {10, 0, "x", 0, 0, ""},
        {11, 0, "Lobby\tcome\tHM", 189, 0, "Lobby\tcome\tHM"},
        {12, 0, "http://q.example\tlook", 347, 0, "http://q.example\tlook"},
        {13, 1, "Bob is away", 186, 1, "Bob is away"},
        {13, 0, "Bob is away", 186, 0, "Bob is away"},
        {14, 0, "Lobby\trude", 186, 1,
         "You have been kicked from forum \"Lobby\" by Bob (1002):\r\n\r\nrude"},
        {14, 0, "Other\trude", 0, 0, ""},
        {15, 0, "Lobby\tspam", 186, 1,
         "You have been banned from forum \"Lobby\" by Bob (1002):\r\n\r\nspam"},
        {16, 1, "tour", 366, 0, "tour"},
        {16, 0, "tour", 0, 0, ""},
        {17, 0, "", 0, 0, ""},
        {18, 0, "Lobby\t", 186, 1, "The forum \"Lobby\" has been disbanded by Bob (1002)."},
        {19, 0, "x", 0, 0, ""},
        {7, 0, "x", 0, 0, ""},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.links.currentForum = "Lobby";
        rig.center.OnUserMessage("Bob", "1002", c.number, c.parameter, c.text);
        const auto notices = rig.center.Notices();
        if (c.kind == 0) {
            EXPECT_TRUE(notices.empty()) << c.number << " " << c.text;
        } else {
            ASSERT_EQ(notices.size(), 1u) << c.number;
            EXPECT_EQ(notices[0].kind, c.kind) << c.number;
            EXPECT_EQ(notices[0].state, c.state) << c.number;
            EXPECT_EQ(notices[0].text, c.noticeText) << c.number;
        }
        EXPECT_EQ(rig.links.polls, c.number == 17 ? 1 : 0);
    }
}

TEST(MessageCenterReceiveTest, AwayUserAnswersAForumInvitation) {
    Rig rig;
    rig.links.mode = 2;
    rig.center.OnUserMessage("Bob", "1002", 11, 0, "Lobby\tcome\t");
    ASSERT_EQ(rig.links.sent.size(), 1u);
    EXPECT_EQ(rig.links.sent[0].number, 13);
    EXPECT_EQ(rig.center.Notices()[0].icon, 194);
    EXPECT_EQ(rig.center.Notices()[0].soundEvent, "IncomingForumInvitation");
    ASSERT_TRUE(rig.center.OldestPending());
    EXPECT_EQ(rig.center.OldestPending()->tip, "Bob (1002) has invited you to \"Lobby\"");
}

TEST(MessageCenterAlertTest, MessageWaitsSoundsBlinksAndOpensWithAReceipt) {
    Rig rig;
    int changes = 0;
    rig.center.AddObserver([&] { ++changes; });
    const std::string text = "01234567890123456789 and thirty more characters.....";
    rig.center.OnUserMessage("Bob", "1002", 8, 2, text);
    EXPECT_GT(changes, 0);
    EXPECT_EQ(rig.links.waiting["1002"], 174);
    ASSERT_TRUE(rig.center.OldestPending());
    EXPECT_EQ(rig.center.OldestPending()->tip, "Instant Message from Bob (1002)");
    EXPECT_EQ(rig.center.OldestPending()->kind, 174);
    EXPECT_EQ(rig.tray.tip, "Instant Message from Bob (1002)");
    rig.center.SoundTick();
    rig.center.SoundTick();
    EXPECT_EQ(rig.links.sounds, (std::vector<std::string>{"IncomingInstantMessage"}));
    rig.center.TrayTick();
    rig.links.ticks += 100;
    rig.center.TrayTick();  // too soon to change
    rig.links.ticks += 300;
    rig.center.TrayTick();
    EXPECT_EQ(rig.tray.phases,
              (std::vector<std::pair<std::int32_t, bool>>{{193, true}, {193, false}}));
    rig.links.ticks += 400;
    rig.center.TrayTick();
    rig.center.OpenOldest();
    ASSERT_EQ(rig.windows.opened.size(), 1u);
    EXPECT_EQ(rig.center.Notices()[0].state, 1);
    EXPECT_EQ(rig.links.waiting["1002"], 0);
    ASSERT_EQ(rig.links.sent.size(), 1u);
    EXPECT_EQ(rig.links.sent[0],
              (SentUserMessage{"1002", "Bob", 8, 4,
                               "Your message: \"01234567890123456789...\" received."}));
    EXPECT_FALSE(rig.center.OldestPending());
    EXPECT_EQ(rig.tray.tip, "Quorvane");
    rig.center.TrayTick();
    EXPECT_EQ(rig.tray.phases.back(), (std::pair<std::int32_t, bool>{0, false}));
    rig.center.AlertWindowClosed(rig.windows.opened[0]);
    rig.center.RemovalTick();
    EXPECT_TRUE(rig.center.Notices().empty());
    EXPECT_EQ(rig.windows.closed, rig.windows.opened);
}

TEST(MessageCenterAlertTest, DoNotDisturbAndOccupiedSilence) {
    struct Case {
        std::int16_t mode;
        std::uint16_t flags;
        bool sounds;
    };
    const Case cases[] = {{0, 0, true}, {4, 1, false}, {8, 0, false}, {8, 1, true}, {2, 0, true}};
    for (const Case& c : cases) {
        Rig rig;
        rig.links.mode = c.mode;
        rig.links.custom.clear();
        rig.center.OnUserMessage("Bob", "1002", 8, static_cast<std::int16_t>(c.flags), "hi");
        rig.center.SoundTick();
        rig.center.TrayTick();
        EXPECT_EQ(!rig.links.sounds.empty(), c.sounds) << c.mode << "/" << c.flags;
        EXPECT_EQ(!rig.tray.phases.empty(), c.sounds) << c.mode << "/" << c.flags;
    }
    Rig rig;
    rig.links.mode = 4;
    rig.center.OnUserMessage("Bob", "1002", 8, 0, "hi");
    rig.center.ShowAlert(rig.center.Notices()[0].id, false);
    EXPECT_TRUE(rig.windows.opened.empty());  // do not disturb: only a forced show opens
    rig.center.ShowAlert(rig.center.Notices()[0].id, true);
    EXPECT_EQ(rig.windows.opened.size(), 1u);
}

TEST(MessageCenterAlertTest, AnOpenWindowOfTheSenderIsRaisedInstead) {
    Rig rig;
    rig.center.OnUserMessage("Bob", "1002", 8, 0, "hi");
    rig.windows.raise = true;
    rig.center.OpenOldest();
    EXPECT_TRUE(rig.windows.opened.empty());
    EXPECT_EQ(rig.center.Notices()[0].state, 0);
}

TEST(MessageCenterAlertTest, UnseenMessagesSurviveALogout) {
    test::TempFolder folder;
    {
        Rig rig;
        rig.center.Attach(folder.Path(), nullptr);
        rig.center.OnUserMessage("Bob", "1002", 8, 0, "first");
        rig.center.OnUserMessage("Cid", "1003", 8, 1, "second");
        rig.center.OnUserMessage("Dee", "1004", 8, 0, "seen");
        rig.center.AddSystemNotice("not saved", false, 1);
        rig.center.ShowAlert(rig.center.Notices()[2].id, true);
        rig.center.Detach();
        EXPECT_TRUE(rig.center.Notices().empty());
    }
    EXPECT_EQ(folder.Read("Alerts.dat").size(), 32u + 2u * 1100u);
    Rig rig;
    rig.links.mode = 2;  // replies are sent again for the mode of this login
    rig.links.now = 99999;
    rig.center.Attach(folder.Path(), nullptr);
    const auto notices = rig.center.Notices();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0].text, "first");
    EXPECT_EQ(notices[0].time, 1000u);  // the saved time
    EXPECT_EQ(notices[1].senderNickname, "Cid");
    EXPECT_EQ(notices[1].icon, 318);
    EXPECT_EQ(rig.links.sent.size(), 2u);
    rig.center.Attach("", nullptr);  // no user: nothing loaded, nothing written
    EXPECT_TRUE(rig.center.Notices().empty());
}

TEST(MessageCenterAlertTest, LostConnectionClosesRingingCalls) {
    Rig rig;
    NoticeRequest call;
    call.kind = notice_kind::kIncomingCall;
    call.senderId = "1002";
    rig.center.AddNotice(call);
    rig.center.OnUserMessage("Bob", "1002", 8, 0, "hi");
    ASSERT_TRUE(rig.center.OldestPending());
    EXPECT_EQ(rig.center.OldestPending()->kind, 147);
    rig.center.OnConnectionState(3);
    EXPECT_EQ(rig.center.OldestPending()->kind, 147);
    rig.center.OnConnectionState(1);
    EXPECT_EQ(rig.center.OldestPending()->kind, 174);
}

TEST(MessageCenterAlertTest, AStoredMessageHeldAlreadyIsNotShownTwice) {
    Rig rig;
    EXPECT_TRUE(rig.center.ReceiveStoredMessage("1002", "Bob", "hi", 0, 500));
    EXPECT_FALSE(rig.center.ReceiveStoredMessage("1002", "Bob", "hi", 0, 500));
    EXPECT_TRUE(rig.center.ReceiveStoredMessage("1002", "Bob", "hi", 0, 501));
    EXPECT_TRUE(rig.center.ReceiveStoredMessage("1003", "Cid", "hi", 0, 500));
    EXPECT_EQ(rig.center.Notices().size(), 3u);
}

TEST(MessageCenterAlertTest, ReceiptTextQuotesTwentyCharacters) {
    EXPECT_EQ(MessageCenter::ReceiptText("short"), "Your message: \"short...\" received.");
    EXPECT_EQ(MessageCenter::ReceiptText(std::string(50, 'a')),
              "Your message: \"" + std::string(20, 'a') + "...\" received.");
    std::string accents;
    for (int i = 0; i < 25; ++i) {
        accents += "\xC3\xA9";
    }
    EXPECT_EQ(MessageCenter::ReceiptText(accents),
              "Your message: \"" + accents.substr(0, 40) + "...\" received.");
}

TEST(MessageCenterLogTest, SentMessagesAndInvitationsAreLoggedOnlyWithLogEventsOn) {
    struct Case {
        const char* what;
        bool logEvents;
        bool open;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"on",
         true,
         true,
         {"2 1002 Bob hello", "2 1003 Cy stored", "32 1002 Bob /forum", "32 1002 Bob http://x",
          "32 1002 Bob tour text", "64 1004 Di /mine", "64 1004 Di tour\there"}},
        {"LogEvents off", false, true, {}},
        {"log closed", true, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder dir;
        EventLog log;
        if (c.open) {
            ASSERT_TRUE(log.Open(dir.File("Quorvane.log")));
        }
        Rig rig;
        rig.links.logEvents = c.logEvents;
        rig.links.contacts["1003"] = 0;  // offline contact: a stored message
        rig.center.SetEventLog(&log);
        rig.center.Send("1002", "Bob", "hello", 0);
        rig.center.Send("1003", "Cy", "stored", 0);
        rig.center.Send("1002", "Bob", "receipt", message_flag::kAutomatic);
        rig.links.state = 2;
        rig.center.Send("1002", "Bob", "queued, not sent", 0);  // no queue: nothing happens
        rig.links.state = 4;
        rig.center.OnUserMessage("Bob", "1002", user_message::kForumInvitation, 0,
                                 "/forum\tcome in\tHM");
        rig.center.OnUserMessage("Bob", "1002", user_message::kWebsiteInvitation, 0,
                                 "http://x\tlook");
        rig.center.OnUserMessage("Bob", "1002", user_message::kWebTourInvitation, 1, "tour text");
        rig.center.OnUserMessage("Bob", "1002", user_message::kInstantMessage, 0, "in");
        EXPECT_TRUE(rig.center.SendInvitation("1004", "Di", user_message::kForumInvitation, 0,
                                              "/mine\tjoin\t"));
        EXPECT_TRUE(rig.center.SendInvitation("1004", "Di", user_message::kWebTourInvitation, 1,
                                              "tour\there"));
        std::vector<std::string> got;
        if (c.open) {
            for (const EventRecord& r : log.Query({})) {
                got.push_back(std::to_string(r.type) + " " + r.id + " " + r.nickname + " " +
                              r.text);
                EXPECT_EQ(r.time, 1000u);
            }
        }
        EXPECT_EQ(got, c.expected);
    }
}

}  // namespace
}  // namespace qv
