// The presence and routing rules without sockets: what each call owes which session.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "PresenceRegistry.h"

namespace qv::voicesvc {
namespace {

using voice::MessageType;

// "<session> <Type> <fields...>" for each delivery, so expectations read as tables.
std::string Describe(const Delivery& d) {
    voice::FrameReader reader;
    reader.Append(d.frame.data(), d.frame.size());
    voice::Frame frame;
    if (reader.Next(frame) != voice::FrameReader::Result::kFrame) {
        return "bad frame";
    }
    const std::string to = std::to_string(d.to) + " ";
    switch (frame.type) {
        case MessageType::kWatch: {
            voice::Watch m;
            voice::Decode(frame.fields, m);
            return to + "Watch " + m.userId + " " + std::to_string(m.status);
        }
        case MessageType::kRegistered: {
            voice::Registered m;
            voice::Decode(frame.fields, m);
            return to + "Registered " + m.userId + " " + m.nickname;
        }
        case MessageType::kServerMessage: {
            voice::ServerMessage m;
            voice::Decode(frame.fields, m);
            return to + "ServerMessage " + std::to_string(m.type) + " " + std::to_string(m.number) +
                   " " + m.text;
        }
        case MessageType::kClose: {
            voice::Close m;
            voice::Decode(frame.fields, m);
            return to + "Close " + std::to_string(m.state) + " " + m.text;
        }
        case MessageType::kUserMessage: {
            voice::UserMessage m;
            voice::Decode(frame.fields, m);
            return to + "UserMessage " + m.alias + " " + m.userId + " " + std::to_string(m.number) +
                   " " + std::to_string(m.parameter) + " " + m.text;
        }
        default:
            return to + "type " + std::to_string(static_cast<int>(frame.type));
    }
}

std::vector<std::string> Describe(const Deliveries& deliveries) {
    std::vector<std::string> lines;
    for (const Delivery& d : deliveries) {
        lines.push_back(Describe(d));
    }
    return lines;
}

using Lines = std::vector<std::string>;

// Sessions 1, 2, 3 are users 100 (Ann), 200 (Bob) and 300 (Cid), all from one address.
class PresenceRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Deliveries ignored;
        registry.Admit(1, "100", "Ann", "10.0.0.1", ignored);
        registry.Admit(2, "200", "Bob", "10.0.0.2", ignored);
        registry.Admit(3, "300", "Cid", "10.0.0.3", ignored);
    }

    Lines Status(SessionId s, std::int16_t mode) {
        Deliveries out;
        EXPECT_TRUE(registry.SetStatus(s, mode, out));
        return Describe(out);
    }
    Lines Watch(SessionId s, std::uint8_t op, const std::string& list) {
        Deliveries out;
        registry.SetWatchList(s, {op, list}, out);
        return Describe(out);
    }
    Lines Block(SessionId s, std::uint8_t op, const std::string& list) {
        Deliveries out;
        registry.SetBlockList(s, {op, list}, out);
        return Describe(out);
    }
    Lines Message(SessionId s, const std::string& alias, const std::string& text = "hi") {
        Deliveries out;
        registry.SendUserMessage(s, {alias, 8, 3, text}, out);
        return Describe(out);
    }
    Lines Remove(SessionId s) {
        Deliveries out;
        registry.Remove(s, out);
        return Describe(out);
    }

    PresenceRegistry registry;
};

TEST_F(PresenceRegistryTest, ListsStopGrowingAtTheirLimit) {
    Status(2, 0);
    const std::size_t limit = PresenceRegistry::kMaxWatchEntries;
    std::string full;
    for (std::size_t i = 0; i < limit; ++i) {
        full += std::to_string(5000000 + i) + "\n";
    }
    // One replace fills the list (as the protocol's list size allows only part of it, in two).
    const std::size_t half = full.size() / 2;
    const std::size_t cut = full.find('\n', half) + 1;
    EXPECT_EQ(Watch(1, 0, full.substr(0, cut)).size() + Watch(1, 1, full.substr(cut)).size(),
              limit);
    // Further additions are answered as offline and not kept; a removal makes room again.
    EXPECT_EQ(Watch(1, 1, "200\n"), Lines{"1 Watch 200 0"});
    EXPECT_EQ(Watch(1, 2, "5000000\n"), Lines{});
    EXPECT_EQ(Watch(1, 1, "200\n"), Lines{"1 Watch 200 1"});

    Block(2, 0, full.substr(0, cut));
    Block(2, 1, full.substr(cut));
    Block(2, 1, "100\n");  // over the limit of 10000 ids: Ann is not blocked
    EXPECT_EQ(Message(1, "200"), Lines{"2 UserMessage Ann 100 8 3 hi"});
}

TEST_F(PresenceRegistryTest, AdmissionAnswersRegisteredOrRefusesTheSecondSession) {
    struct Case {
        std::string address;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {"10.0.0.1", {"9 ServerMessage 3 3 Alias in use - 100", "9 Close 13 Alias in use - 100"}},
        {"10.0.0.9",
         {"9 ServerMessage 3 4 Already logged in - 100", "9 Close 13 Already logged in - 100"}},
    };
    for (const Case& c : cases) {
        Deliveries out;
        const auto admission = registry.Admit(9, "100", "Other", c.address, out);
        EXPECT_NE(admission, PresenceRegistry::Admission::kAdmitted) << c.address;
        EXPECT_EQ(Describe(out), c.expected) << c.address;
        EXPECT_FALSE(registry.IsRegistered(9));
    }
    // The first session keeps the id.
    EXPECT_EQ(Message(2, "100"), Lines{"1 UserMessage Bob 200 8 3 hi"});

    Deliveries out;
    EXPECT_EQ(registry.Admit(4, "400", "Dee", "10.0.0.1", out),
              PresenceRegistry::Admission::kAdmitted);
    EXPECT_EQ(Describe(out), Lines{"4 Registered 400 Dee"});
}

TEST_F(PresenceRegistryTest, TheBurstHasOneWatchPerLineInOrder) {
    Status(2, 2);
    Status(3, 32);
    // Every non-empty line but the own id (100) is answered; lines that are no id without one.
    EXPECT_EQ(Watch(1, 0, "300\n200\n999\n100\n200\nBob\n0200\n\n12345678901\n\r\n200"),
              (Lines{"1 Watch 300 32", "1 Watch 200 3", "1 Watch 999 0", "1 Watch 200 3",
                     "1 Watch  0", "1 Watch  0", "1 Watch  0", "1 Watch  0", "1 Watch 200 3"}));
    // A replace forgets the old entries.
    EXPECT_EQ(Watch(1, 0, "999\n"), Lines{"1 Watch 999 0"});
    EXPECT_TRUE(Status(2, 0).empty());
    EXPECT_EQ(Watch(1, 0, ""), Lines{});
}

TEST_F(PresenceRegistryTest, AddAnswersOnceAndRemoveStopsTheReports) {
    Status(2, 16);
    EXPECT_EQ(Watch(1, 1, "200\n"), Lines{"1 Watch 200 17"});
    EXPECT_EQ(Watch(1, 1, "100\n"), Lines{});
    EXPECT_EQ(Watch(1, 2, "200\n"), Lines{});
    EXPECT_TRUE(Status(2, 2).empty());
}

TEST_F(PresenceRegistryTest, ASessionSeesEachChangeOnceAndOnlyRealChanges) {
    Watch(1, 0, "200\n200\n");
    Watch(3, 0, "200\n");
    // Offline until the first status.
    EXPECT_EQ(registry.Seen(1, "200"), 0);
    struct Step {
        std::int16_t mode;
        Lines expected;
    };
    const std::vector<Step> steps = {
        {0, {"1 Watch 200 1", "3 Watch 200 1"}},    {0, {}},
        {4, {"1 Watch 200 5", "3 Watch 200 5"}},    {8, {"1 Watch 200 9", "3 Watch 200 9"}},
        {32, {"1 Watch 200 32", "3 Watch 200 32"}}, {32, {}},
        {2, {"1 Watch 200 3", "3 Watch 200 3"}},
    };
    for (const Step& step : steps) {
        Lines got = Status(2, step.mode);
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, step.expected) << step.mode;
    }
    EXPECT_EQ(Remove(2).size(), 2u);
    EXPECT_EQ(registry.Seen(1, "200"), 0);
}

TEST_F(PresenceRegistryTest, UnknownModesAreRefused) {
    for (const std::int16_t mode : {1, 3, 5, 6, 33, 64, -1, 255}) {
        Deliveries out;
        EXPECT_FALSE(registry.SetStatus(2, mode, out)) << mode;
    }
    EXPECT_EQ(registry.Seen(1, "200"), 0);
}

TEST_F(PresenceRegistryTest, ABlockedWatcherSeesOfflineAndIsToldOfEveryChange) {
    Watch(1, 0, "200\n");
    Watch(3, 0, "200\n");
    Status(2, 16);
    EXPECT_EQ(Block(2, 1, "100\n"), Lines{"1 Watch 200 0"});
    EXPECT_EQ(registry.Seen(1, "200"), 0);
    EXPECT_EQ(registry.Seen(3, "200"), 17);
    // A status change reaches only the watcher that is not blocked.
    EXPECT_EQ(Status(2, 2), Lines{"3 Watch 200 3"});
    EXPECT_EQ(Watch(1, 1, "200\n"), Lines{"1 Watch 200 0"});
    EXPECT_EQ(Block(2, 1, "100\n"), Lines{});
    EXPECT_EQ(Block(2, 2, "100\n"), Lines{"1 Watch 200 3"});
    Lines both = Block(2, 0, "100\n300\n");
    std::sort(both.begin(), both.end());
    EXPECT_EQ(both, (Lines{"1 Watch 200 0", "3 Watch 200 0"}));
}

TEST_F(PresenceRegistryTest, AReplacedBlockListUnblocksWhatItLeavesOut) {
    Watch(1, 0, "200\n");
    Status(2, 0);
    EXPECT_EQ(Block(2, 0, "100\n"), Lines{"1 Watch 200 0"});
    EXPECT_EQ(Block(2, 0, "300\n"), Lines{"1 Watch 200 1"});
}

TEST_F(PresenceRegistryTest, LogoutIsOfflineAtOnceAndALaterLoginStartsHidden) {
    Watch(1, 0, "200\n");
    Status(2, 8);
    EXPECT_EQ(Remove(2), Lines{"1 Watch 200 0"});
    Deliveries out;
    registry.Admit(5, "200", "Bob", "10.0.0.2", out);
    EXPECT_TRUE(out.size() == 1 && Describe(out[0]) == "5 Registered 200 Bob");
    EXPECT_EQ(Status(5, 0), Lines{"1 Watch 200 1"});
    // The watcher leaving takes its subscriptions with it.
    EXPECT_TRUE(Remove(1).empty());
    EXPECT_TRUE(Status(5, 2).empty());
}

TEST_F(PresenceRegistryTest, MessagesGoToTheUserOrBackAsOffline) {
    struct Case {
        std::string alias;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {"200", {"2 UserMessage Ann 100 8 3 hi"}},
        {"100", {"1 UserMessage Ann 100 8 3 hi"}},
        {"999", {"1 ServerMessage 1 2 User is offline - 999"}},
        {"Bob", {"1 ServerMessage 1 2 User is offline - Bob"}},
        {"0200", {"1 ServerMessage 1 2 User is offline - 0200"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Message(1, c.alias), c.expected) << c.alias;
    }
    // Invisible and not yet online users still get their messages.
    Status(2, 32);
    EXPECT_EQ(Message(3, "200", "x"), Lines{"2 UserMessage Cid 300 8 3 x"});
}

TEST_F(PresenceRegistryTest, ABlockedSenderIsDroppedSilently) {
    Block(2, 0, "100\n");
    EXPECT_EQ(Message(1, "200"), Lines{});
    EXPECT_EQ(Message(3, "200"), Lines{"2 UserMessage Cid 300 8 3 hi"});
    Block(2, 2, "100\n");
    EXPECT_EQ(Message(1, "200"), Lines{"2 UserMessage Ann 100 8 3 hi"});
}

TEST_F(PresenceRegistryTest, UnregisteredSessionsGetNothing) {
    Deliveries out;
    EXPECT_TRUE(registry.SetStatus(7, 0, out));
    registry.SetWatchList(7, {0, "100\n"}, out);
    registry.SendUserMessage(7, {"100", 8, 0, "hi"}, out);
    registry.Remove(7, out);
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace qv::voicesvc
