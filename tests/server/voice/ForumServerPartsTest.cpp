// The forum file, the forum list feed and the text chat meter, without sockets.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "ChatMeter.h"
#include "ForumPlanFile.h"
#include "FrameText.h"
#include "GroupListFeed.h"
#include "VoiceProtocol.h"

namespace qv::voicesvc {
namespace {

using namespace std::chrono_literals;

TEST(ForumPlanFileTest, AcceptsCategoriesWithForumsAndTheirOptions) {
    const std::string text =
        "# a comment\n"
        "; another\n"
        "\n"
        "Category = General\n"
        "Forum = General/Lobby\n"
        "Forum=General/Quiet Room\n"
        "Options = M T\n"
        "Password = hush\n"
        "Category = Regional/Europe\n"
        "Forum = Regional/Europe/Berlin\r\n"
        "Forum = Staff Room\n"
        "Options = H\n";
    ConversationRegistry::ForumPlan plan;
    std::string error;
    ASSERT_TRUE(ForumPlanFile::Parse(text, plan, error)) << error;
    EXPECT_EQ(plan.categories, (std::set<std::string>{"General", "Regional/Europe"}));
    ASSERT_EQ(plan.forums.size(), 4u);
    EXPECT_EQ(plan.forums[0].path, "General/Lobby");
    EXPECT_EQ(plan.forums[0].flags, 0);
    EXPECT_EQ(plan.forums[1].path, "General/Quiet Room");
    EXPECT_EQ(plan.forums[1].flags,
              ConversationRegistry::kModerated | ConversationRegistry::kControlledMicrophones);
    EXPECT_EQ(plan.forums[1].password, "hush");
    EXPECT_EQ(plan.forums[2].path, "Regional/Europe/Berlin");
    // A hidden permanent forum needs no category.
    EXPECT_EQ(plan.forums[3].path, "Staff Room");
    EXPECT_EQ(plan.forums[3].flags, ConversationRegistry::kHidden);
}

TEST(ForumPlanFileTest, RefusesAFaultyFileNamingTheLine) {
    struct Case {
        std::string text;
        std::string error;
    };
    const std::string longName(254, 'a');
    const std::vector<Case> cases = {
        {"Category = General\n", "line 1: the category 'General' holds no visible permanent"},
        {"Category = General\nCategory = Music\nForum = General/Lobby\n",
         "line 2: the category 'Music' holds no visible permanent forum"},
        {"Category = General\nForum = General/Hidden\nOptions = H\n",
         "line 1: the category 'General' holds no visible permanent forum"},
        {"Forum = Music/Room\n", "line 1: the forum 'Music/Room' lies in no listed category"},
        {"Category = General\nForum = General/Lobby\nForum = Lobby\n",
         "line 3: the forum 'Lobby' lies in no listed category"},
        {"Category = General\nForum = General/Lobby\nForum = General/Lobby\n",
         "line 3: the forum 'General/Lobby' is listed twice (first on line 2)"},
        {"Category = General\nCategory = General\n",
         "line 2: the category 'General' is listed twice"},
        {"Options = M\n", "line 1: Options belongs under the Forum line it is for"},
        {"Category = G\nPassword = x\n", "line 2: Password belongs under the Forum line"},
        {"Category = G\nForum = G/a\nOptions = MX\n", "line 3: unknown option 'X'"},
        {"Category = G\nForum = G/a\nPassword = " + std::string(65, 'p') + "\n",
         "line 3: the password is longer than 64 bytes"},
        {"Colour = red\n", "line 1: unknown key 'Colour'"},
        {"just words\n", "line 1: expected Key=Value"},
        {"Category = \n", "line 1: the category '' is empty"},
        {"Category = /General\n", "line 1: the category '/General' has an empty step"},
        {"Category = General/\n", "line 1: the category 'General/' has an empty step"},
        {"Category = G\nForum = G//a\n", "line 2: the forum 'G//a' has an empty step"},
        {"Category = G\nForum = G/\n", "line 2: the forum 'G/' has an empty step"},
        {"Category = G\nForum = G/a\tb\n", "line 2: the forum 'G/a\tb' holds a control character"},
        {"Category = G\nForum = G/" + longName + "\n", "is longer than 255 bytes"},
        {"Category = " + longName + "\n", "is longer than 253 bytes"},
    };
    for (const Case& c : cases) {
        ConversationRegistry::ForumPlan plan;
        plan.categories = {"Kept"};
        std::string error;
        EXPECT_FALSE(ForumPlanFile::Parse(c.text, plan, error)) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " -> " << error;
        // Nothing of a refused file is taken.
        EXPECT_EQ(plan.categories, (std::set<std::string>{"Kept"}));
    }
}

TEST(ForumPlanFileTest, BoundsTheFileAndItsCounts) {
    std::string many;
    for (std::size_t i = 0; i <= ForumPlanFile::kMaxForums; ++i) {
        many += "Forum = Hidden " + std::to_string(i) + "\nOptions = H\n";
    }
    ConversationRegistry::ForumPlan plan;
    std::string error;
    EXPECT_FALSE(ForumPlanFile::Parse(many, plan, error));
    EXPECT_NE(error.find("more than 1000 forums"), std::string::npos) << error;

    const auto folder =
        std::filesystem::temp_directory_path() /
        ("qv-forum-file-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(folder);
    const std::string big = (folder / "big.conf").string();
    {
        std::ofstream out(big, std::ios::binary);
        out << std::string(ForumPlanFile::kMaxFileBytes + 1, '#');
    }
    EXPECT_FALSE(ForumPlanFile::Load(big, plan, error));
    EXPECT_NE(error.find("larger than 256 KiB"), std::string::npos) << error;
    EXPECT_FALSE(ForumPlanFile::Load((folder / "missing.conf").string(), plan, error));
    EXPECT_NE(error.find("cannot read the forum file"), std::string::npos) << error;
    std::filesystem::remove_all(folder);
}

TEST(ForumPlanFileTest, TheShippedDefaultSetIsValid) {
    ConversationRegistry::ForumPlan plan;
    std::string error;
    ASSERT_TRUE(ForumPlanFile::Load(QV_DEFAULT_FORUM_FILE, plan, error)) << error;
    EXPECT_TRUE(plan.categories.count("General") != 0);
    EXPECT_GE(plan.forums.size(), plan.categories.size());
}

// A fake server around the feed: what each session was sent, and which ones are backed up.
struct FeedRig {
    GroupListFeed feed{2000ms};
    std::string text = "General/Lobby\t0\t\n";
    std::map<SessionId, std::vector<std::string>> sent;
    std::set<SessionId> full;
    std::size_t perPump = 1000;  // frames a session takes per call
    std::map<SessionId, std::size_t> taken;
    GroupListFeed::Clock::time_point t0 = GroupListFeed::Clock::now();

    GroupListFeed::CanTake CanTake() {
        return [this](SessionId s) { return full.count(s) == 0 && taken[s] < perPump; };
    }
    GroupListFeed::Send Sender() {
        return [this](SessionId s, const std::string& frame) {
            ++taken[s];
            sent[s].push_back(test::FrameText(frame));
        };
    }
    void Pump(std::chrono::milliseconds at) {
        taken.clear();
        feed.Pump(
            t0 + at, [this] { return text; }, CanTake(), Sender());
    }
    void Ask(SessionId s, std::chrono::milliseconds at) {
        taken.clear();
        feed.Subscribe(s);
        feed.Serve(
            s, t0 + at, [this] { return text; }, CanTake(), Sender());
    }
};

TEST(GroupListFeedTest, AskingSendsTheListNowAndChangesAtMostOncePerInterval) {
    FeedRig rig;
    rig.Ask(1, 0ms);
    EXPECT_EQ(rig.sent[1], (std::vector<std::string>{"GroupList 1 General/Lobby\t0\t\n"}));
    // Nobody else asked, so nobody else gets lists.
    EXPECT_EQ(rig.sent.size(), 1u);
    EXPECT_FALSE(rig.feed.NextDue());

    // The first change goes out at once; a storm of joins after it makes one more list, an
    // interval later.
    rig.text = "General/Lobby\t1\t\n";
    rig.feed.Changed(2);
    ASSERT_TRUE(rig.feed.NextDue());
    rig.Pump(10ms);
    for (int join = 2; join < 50; ++join) {
        rig.text = "General/Lobby\t" + std::to_string(join) + "\t\n";
        rig.feed.Changed(static_cast<std::uint64_t>(join + 1));
        ASSERT_EQ(*rig.feed.NextDue(), rig.t0 + 2010ms);
        rig.Pump(std::chrono::milliseconds(10 + join));  // the server only pumps when due,
                                                         // but an early pump sends nothing
    }
    EXPECT_EQ(rig.sent[1].size(), 2u);
    rig.Pump(2010ms);
    EXPECT_EQ(rig.sent[1], (std::vector<std::string>{"GroupList 1 General/Lobby\t0\t\n",
                                                     "GroupList 1 General/Lobby\t1\t\n",
                                                     "GroupList 1 General/Lobby\t49\t\n"}));
    EXPECT_FALSE(rig.feed.NextDue());
    // Three lists, each built once.
    EXPECT_EQ(rig.feed.Builds(), 3u);

    // A second request is answered now, whatever the interval.
    rig.Ask(1, 2020ms);
    EXPECT_EQ(rig.sent[1].size(), 4u);
    EXPECT_EQ(rig.feed.Builds(), 3u);
}

TEST(GroupListFeedTest, OneListIsBuiltForAllSubscribersAndABackedUpOneWaits) {
    FeedRig rig;
    for (SessionId s = 1; s <= 100; ++s) {
        rig.Ask(s, 0ms);
    }
    EXPECT_EQ(rig.feed.Builds(), 1u);
    rig.full = {7};
    rig.text = "General/Lobby\t5\t\n";
    rig.feed.Changed(2);
    rig.Pump(5ms);
    EXPECT_EQ(rig.feed.Builds(), 2u);
    for (SessionId s = 1; s <= 100; ++s) {
        EXPECT_EQ(rig.sent[s].size(), s == 7 ? 1u : 2u) << s;
    }
    // The backed-up one gets the newest list with the next push, an interval on.
    ASSERT_TRUE(rig.feed.NextDue());
    EXPECT_EQ(*rig.feed.NextDue(), rig.t0 + 2005ms);
    rig.full.clear();
    rig.text = "General/Lobby\t6\t\n";
    rig.feed.Changed(3);
    rig.Pump(2005ms);
    EXPECT_EQ(rig.sent[7].back(), "GroupList 1 General/Lobby\t6\t\n");
    EXPECT_EQ(rig.sent[7].size(), 2u);
    EXPECT_EQ(rig.sent[8].size(), 3u);
    EXPECT_EQ(rig.feed.Builds(), 3u);

    rig.feed.Unsubscribe(8);
    rig.feed.Changed(4);
    rig.Pump(4005ms);
    EXPECT_EQ(rig.sent[8].size(), 3u);
    EXPECT_EQ(rig.sent[9].size(), 4u);
}

TEST(GroupListFeedTest, ALongListGoesInWholePiecesFinishedBeforeTheNextBegins) {
    FeedRig rig;
    rig.text.clear();
    for (int i = 0; i < 5000; ++i) {
        rig.text += "General/A forum with a long name number " + std::to_string(i) + "\t3\tPM\n";
    }
    rig.perPump = 1;  // the session takes one piece per call, as a slow reader
    rig.Ask(1, 0ms);
    ASSERT_EQ(rig.sent[1].size(), 1u);
    // The rest is tried again shortly, not an interval later.
    ASSERT_TRUE(rig.feed.NextDue());
    EXPECT_EQ(*rig.feed.NextDue(), rig.t0 + 100ms);
    // A change mid-list does not cut in: the engine joins pieces until the last.
    const std::string old = rig.text;
    rig.text = "General/Lobby\t0\t\n";
    rig.feed.Changed(2);
    // The new list follows an interval after the push it missed while the old one went out.
    for (int i = 1; i <= 25; ++i) {
        rig.Pump(std::chrono::milliseconds(100 * i));
    }
    std::string joined;
    std::size_t lasts = 0;
    std::size_t firstListPieces = 0;
    for (const std::string& frame : rig.sent[1]) {
        ++firstListPieces;
        joined += frame.substr(std::string("GroupList 0 ").size());
        if (frame.rfind("GroupList 1 ", 0) == 0) {
            ++lasts;
            break;
        }
    }
    EXPECT_EQ(lasts, 1u);
    EXPECT_EQ(joined, old);
    EXPECT_GT(firstListPieces, 3u);
    // The frame of each piece stays under the frame limit.
    EXPECT_EQ(rig.sent[1].back(), "GroupList 1 General/Lobby\t0\t\n");
}

TEST(ChatMeterTest, FiveLinesAtOnceThenOneEveryFourHundredMilliseconds) {
    ChatMeter meter(5, 2000ms, 5);
    const ChatMeter::Clock::time_point t0{};
    using V = ChatMeter::Verdict;
    struct Step {
        std::chrono::milliseconds at;
        V verdict;
    };
    const std::vector<Step> steps = {
        {0ms, V::kSend},
        {0ms, V::kSend},
        {0ms, V::kSend},
        {0ms, V::kSend},
        {0ms, V::kSend},
        {0ms, V::kDropAndTell},
        {100ms, V::kDrop},
        {399ms, V::kDrop},
        {400ms, V::kSend},
        {400ms, V::kDrop},
        {800ms, V::kSend},
        // Three lines came back from 800 ms to 1999 ms (one per 400 ms), less a hair.
        {1999ms, V::kSend},
        {1999ms, V::kSend},
        {1999ms, V::kDrop},
        {2000ms, V::kSend},
        {2000ms, V::kDropAndTell},  // told again once the window has passed
        {2000ms, V::kDrop},
        {10000ms, V::kSend},
        {10000ms, V::kSend},
        {10000ms, V::kSend},
        {10000ms, V::kSend},
        {10000ms, V::kSend},
        {10000ms, V::kDropAndTell},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(meter.Take(t0 + steps[i].at), steps[i].verdict) << "step " << i;
    }
}

}  // namespace
}  // namespace qv::voicesvc
