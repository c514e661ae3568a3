// The forum rules without the engine: the group-list text and the tree, the name check byte by
// byte, the create checks with their messages, the adult warning, forced push-to-talk and the
// participant menu's items by role.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "calls/AdultWarning.h"
#include "calls/ForcedPushToTalk.h"
#include "calls/ForumNames.h"
#include "calls/ForumTree.h"
#include "calls/ParticipantMenu.h"

namespace qv {
namespace {

using Lines = std::vector<ForumListLine>;

// ---- the group-list text ----------------------------------------------------------------------

struct ParseCase {
    const char* name;
    std::string text;
    Lines lines;
};

TEST(GroupListTest, LinesAreReadAsTheListWritesThem) {
    const std::vector<ParseCase> cases = {
        {"one forum", "General/Friends\t12\tPM\n", {{"General/Friends", 12, 3}}},
        {"last line without line feed ignored",
         "General/Friends\t12\tPM\nLobby\t3\t",
         {{"General/Friends", 12, 3}}},
        {"no line feed at all", "Lobby\t3\t", {}},
        {"empty text", "", {}},
        {"leading slashes stripped", "//General/Friends\t1\t\n", {{"General/Friends", 1, 0}}},
        {"no TAB: empty name, count 0", "General/Friends\n", {{"", 0, 0}}},
        {"no second TAB: count 0, letters still read", "Lobby\tPTM\n", {{"Lobby", 0, 7}}},
        {"letters anywhere after the first TAB", "Lobby\t5\txTyPz\n", {{"Lobby", 5, 6}}},
        {"letters before the count count too", "Lobby\tM\t5\n", {{"Lobby", 0, 1}}},
        {"lower-case letters are no flags", "Lobby\t5\tpmt\n", {{"Lobby", 5, 0}}},
        {"a count with junk reads its digits", "Lobby\t12x\t\n", {{"Lobby", 12, 0}}},
        {"a huge count is clamped", "Lobby\t99999999999\t\n", {{"Lobby", 4294967295u, 0}}},
        {"empty lines are lines", "\n\n", {{"", 0, 0}, {"", 0, 0}}},
        {"a carriage return stays in the letters", "Lobby\t2\tM\r\n", {{"Lobby", 2, 1}}},
        {"two lines", "A/B\t1\tT\nC/D/E\t2\tP\n", {{"A/B", 1, 4}, {"C/D/E", 2, 2}}},
    };
    for (const ParseCase& c : cases) {
        EXPECT_EQ(ParseGroupList(c.text), c.lines) << c.name;
    }
}

TEST(ForumTreeTest, TheDescribedLineMakesACategoryHoldingTheForum) {
    ForumTree tree;
    tree.SetPending("General/Friends\t12\tPM\nGeneral/Other\t1\t");
    auto lock = tree.Hold();
    ASSERT_TRUE(tree.HasPending(lock));
    tree.Rebuild(lock);
    EXPECT_FALSE(tree.HasPending(lock));
    const ForumNode& root = tree.Root(lock);
    ASSERT_EQ(root.children.size(), 1u);
    const ForumNode& general = *root.children[0];
    EXPECT_EQ(general.name, "General/");
    EXPECT_EQ(general.flags, ForumNode::kCategory);
    ASSERT_EQ(general.children.size(), 1u);
    const ForumNode& friends = *general.children[0];
    EXPECT_EQ(friends.name, "Friends");
    EXPECT_EQ(friends.userCount, 12u);
    EXPECT_EQ(friends.flags, ForumNode::kPassword | ForumNode::kModerated);
    EXPECT_EQ(friends.parent, &general);
    EXPECT_EQ(PathOf(friends), "General/Friends");
    EXPECT_EQ(PathOf(general), "General/");
    EXPECT_EQ(tree.Find(lock, "General/Friends"), &friends);
    EXPECT_EQ(tree.Find(lock, "/General/Friends"), &friends);
    EXPECT_EQ(tree.Find(lock, "General/"), &general);
    EXPECT_EQ(tree.Find(lock, ""), &root);
    // Exact and case-sensitive, piece by piece.
    EXPECT_EQ(tree.Find(lock, "general/Friends"), nullptr);
    EXPECT_EQ(tree.Find(lock, "General/friends"), nullptr);
    EXPECT_EQ(tree.Find(lock, "General"), nullptr);
    EXPECT_EQ(tree.Find(lock, "General/Friends/"), nullptr);
    EXPECT_EQ(tree.Find(lock, "General/Other"), nullptr);
}

TEST(ForumTreeTest, DeepPathsMakeEveryCategoryAndRebuildsStartOver) {
    ForumTree tree;
    auto lock = tree.Hold();
    tree.Fill(lock, "A/B/C\t2\tT\nA/D\t3\t\nLobby\t4\t\nA/B/\t0\t\n\n");
    const ForumNode* b = tree.Find(lock, "A/B/");
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->IsCategory());
    EXPECT_EQ(ForumsBelow(*tree.Find(lock, "A/")), 2u);
    EXPECT_EQ(ForumsBelow(tree.Root(lock)), 4u);  // C, D, Lobby and the empty-named one
    EXPECT_EQ(tree.Find(lock, "A/B/C")->flags, ForumNode::kControlledMicrophones);
    ASSERT_NE(tree.Find(lock, ""), nullptr);
    // A line without TABs: a node with an empty name.
    bool emptyNamed = false;
    for (const auto& child : tree.Root(lock).children) {
        emptyNamed = emptyNamed || (child->name.empty() && child->userCount == 0);
    }
    EXPECT_TRUE(emptyNamed);
    tree.Fill(lock, "X/Y\t1\t\n");
    EXPECT_EQ(tree.Find(lock, "A/"), nullptr);
    EXPECT_NE(tree.Find(lock, "X/Y"), nullptr);
    // The level shown before: kept when it is still there, else the root.
    EXPECT_EQ(&tree.LevelAfterRefresh(lock, "X/"), tree.Find(lock, "X/"));
    EXPECT_EQ(&tree.LevelAfterRefresh(lock, "A/B/"), &tree.Root(lock));
    EXPECT_EQ(&tree.LevelAfterRefresh(lock, "X/Y"), &tree.Root(lock));
    EXPECT_EQ(&tree.LevelAfterRefresh(lock, ""), &tree.Root(lock));
}

TEST(ForumTreeTest, AddingAndRemovingForums) {
    ForumTree tree;
    auto lock = tree.Hold();
    EXPECT_EQ(tree.AddForum(lock, "", 1, 0), nullptr);
    EXPECT_EQ(tree.AddForum(lock, "General/", 1, 0), nullptr);
    ForumNode* made = tree.AddForum(lock, "General/New", 1, ForumNode::kCategory | 1);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->flags, ForumNode::kModerated);  // a forum is never marked a category
    EXPECT_TRUE(tree.Find(lock, "General/")->IsCategory());
    EXPECT_FALSE(tree.RemoveForum(lock, "General/"));
    EXPECT_TRUE(tree.RemoveForum(lock, "General/New"));
    EXPECT_EQ(tree.Find(lock, "General/New"), nullptr);
    EXPECT_FALSE(tree.RemoveForum(lock, "General/New"));
}

TEST(ForumTreeTest, AdultCategoriesAtTheTopComeLast) {
    ForumTree tree;
    auto lock = tree.Hold();
    tree.Fill(lock,
              "ADULT Talk/a\t1\t\nGeneral/b\t1\t\nLobby\t1\t\nGeneral/Adult/c\t1\t\n"
              "Sport/d\t1\t\n");
    std::vector<std::string> names;
    for (const ForumNode* node : ShownChildren(tree.Root(lock))) {
        names.push_back(node->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"General/", "Lobby", "Sport/", "ADULT Talk/"}));
    // Below the top level nothing moves.
    names.clear();
    for (const ForumNode* node : ShownChildren(*tree.Find(lock, "General/"))) {
        names.push_back(node->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"b", "Adult/"}));
    EXPECT_EQ(CategoryPart("General/Adult/c"), "General/Adult/");
    EXPECT_EQ(CategoryPart("Lobby"), "");
}

TEST(ForumTreeTest, AHugeListStopsAtTheBound) {
    std::string text;
    for (std::size_t i = 0; i < ForumTree::kMaxNodes + 10; ++i) {
        text += "F" + std::to_string(i) + "\t1\t\n";
    }
    ForumTree tree;
    auto lock = tree.Hold();
    tree.Fill(lock, text);
    EXPECT_EQ(tree.Root(lock).children.size(), ForumTree::kMaxNodes);
}

TEST(ForumTreeTest, ADeepPathIsSkipped) {
    std::string deep;
    for (std::size_t i = 0; i < 100000; ++i) {
        deep += "a/";
    }
    std::string fits;
    for (std::size_t i = 1; i < ForumTree::kMaxDepth; ++i) {
        fits += "a/";
    }
    ForumTree tree;
    auto lock = tree.Hold();
    tree.Fill(lock, deep + "x\t1\t\n" + fits + "y\t2\t\n");
    EXPECT_EQ(tree.Find(lock, deep + "x"), nullptr);
    ASSERT_NE(tree.Find(lock, fits + "y"), nullptr);
    EXPECT_EQ(ForumsBelow(tree.Root(lock)), 1u);
}

TEST(ForumTreeTest, TextStoredFromAnotherThreadIsParsedWhole) {
    ForumTree tree;
    constexpr int kRounds = 2000;
    std::thread writer([&tree] {
        for (int i = 1; i <= kRounds; ++i) {
            tree.SetPending("General/F" + std::to_string(i) + "\t" + std::to_string(i) +
                            "\t\nGeneral/G\t" + std::to_string(i) + "\t\n");
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        auto lock = tree.Hold();
        if (tree.HasPending(lock)) {
            tree.Rebuild(lock);
            // Each stored text is one whole list: the two forums always share the count.
            const ForumNode* general = tree.Find(lock, "General/");
            ASSERT_NE(general, nullptr);
            ASSERT_EQ(general->children.size(), 2u);
            EXPECT_EQ(general->children[0]->userCount, general->children[1]->userCount);
        }
    }
    writer.join();
    auto lock = tree.Hold();
    // The loop may have taken the last text already, as the window does only when text waits.
    if (tree.HasPending(lock)) {
        tree.Rebuild(lock);
    }
    EXPECT_NE(tree.Find(lock, "General/F" + std::to_string(kRounds)), nullptr);
}

TEST(ForumTreeTest, ListRowsShowImagesRoomsAndUsers) {
    ForumTree tree;
    auto lock = tree.Hold();
    tree.Fill(lock, "General/A\t4\tPM\nGeneral/B\t2\tMT\nGeneral/Sub/C\t1\t\nLobby\t9\t\n");
    using M = ForumListRow::ModerationImage;
    using K = ForumListRow::KindImage;
    EXPECT_EQ(MakeForumListRow(*tree.Find(lock, "General/")),
              (ForumListRow{false, M::kNone, K::kFolder, "General/", "3", "0"}));
    EXPECT_EQ(MakeForumListRow(*tree.Find(lock, "General/A")),
              (ForumListRow{true, M::kModerated, K::kNone, "A", "", "4"}));
    EXPECT_EQ(MakeForumListRow(*tree.Find(lock, "General/B")),
              (ForumListRow{false, M::kMicrophone, K::kNone, "B", "", "2"}));
    EXPECT_EQ(MakeForumListRow(*tree.Find(lock, "General/Sub/")).kind, K::kFolder);
    EXPECT_EQ(MakeForumListRow(*tree.Find(lock, "Lobby")),
              (ForumListRow{false, M::kNone, K::kTopLevelForum, "Lobby", "", "9"}));
    int below = 0;
    int top = 0;
    for (const ForumListColumn& column : kForumListColumns) {
        below += column.percent;
        top += column.topLevelPercent;
    }
    EXPECT_EQ(below, 100);
    EXPECT_EQ(top, 100);
}

// ---- the name check ---------------------------------------------------------------------------

TEST(ForumNameTest, EveryByteAsTheTableSays) {
    std::string allowed;
    for (int b = 0; b < 256; ++b) {
        const bool expected = b == 0x20 || b == 0x2C || b == 0x2D || b == 0x2F ||
                              (b >= 0x30 && b <= 0x39) || (b >= 0x41 && b <= 0x5B) || b == 0x5D ||
                              (b >= 0x5F && b <= 0x7B) || b == 0x7D;
        EXPECT_EQ(IsForumNameByte(static_cast<unsigned char>(b)), expected) << b;
        // The same byte inside a name.
        std::string name = std::string("ab") + static_cast<char>(b) + "cd";
        EXPECT_EQ(CheckForumName(name, 254, true), expected) << b;
        if (expected) {
            allowed += static_cast<char>(b);
        }
    }
    // Spot checks of the refused ones the rule names.
    for (char c : {'.', '\\', '^', '|', '~', '\t', '\0', '\x7f'}) {
        EXPECT_EQ(allowed.find(c), std::string::npos) << static_cast<int>(c);
    }
}

struct NameCase {
    std::string in;
    std::size_t max;
    bool digitsOnly;
    bool ok;
    std::string trimmed;
};

TEST(ForumNameTest, LengthsBlanksAndDigits) {
    const std::vector<NameCase> cases = {
        {"", 254, true, false, ""},
        {"    ", 254, true, false, ""},
        {"a", 254, true, false, "a"},
        {"  a  ", 254, true, false, "a"},
        {"ab", 254, true, true, "ab"},
        {"  General/Friends  ", 254, true, true, "General/Friends"},
        {"abc", 2, true, false, "abc"},
        {"abc", 3, true, true, "abc"},
        {"123", 254, true, true, "123"},
        {"123", 254, false, false, "123"},
        {"1 2 3", 254, false, false, "1 2 3"},
        {"12a", 254, false, true, "12a"},
        {"a.b", 254, true, false, "a.b"},
        {"`_[]{}", 254, true, true, "`_[]{}"},
        {std::string(254, 'x'), 254, true, true, std::string(254, 'x')},
        {std::string(255, 'x'), 254, true, false, std::string(255, 'x')},
    };
    for (const NameCase& c : cases) {
        std::string name = c.in;
        EXPECT_EQ(CheckForumName(name, c.max, c.digitsOnly), c.ok) << "[" << c.in << "]";
        EXPECT_EQ(name, c.trimmed) << "[" << c.in << "]";
    }
}

// ---- the create checks ------------------------------------------------------------------------

struct CreateCase {
    std::string path;
    bool hidden;
    const char* message;  // null: may be created
    bool added;
};

TEST(CreateCheckTest, TheChecksInOrderWithTheirMessages) {
    const std::vector<CreateCase> cases = {
        {"", false, forum_text::kInvalidName, false},
        {"x", false, forum_text::kInvalidName, false},
        {"General/Bad.Name", false, forum_text::kInvalidName, false},
        {"Friends", false, forum_text::kTopLevel, false},
        {"General/", false, forum_text::kNoFolders, false},
        {"General/New/", false, forum_text::kNoFolders, false},
        {"Missing/Friends", false, forum_text::kNoCategory, false},
        {"general/Friends", false, forum_text::kNoCategory, false},
        {"/Friends", false, forum_text::kNoCategory, false},
        {"General/Sub/Friends", false, forum_text::kNoCategory, false},
        {"General/New", false, nullptr, true},
        {"  General/Spaced  ", false, nullptr, true},
        {"General/Hidden", true, nullptr, false},
        {"General/Friends", false, nullptr, false},  // already listed: joined, not added
        {"Hidden/Anywhere", true, forum_text::kNoCategory, false},
    };
    for (const CreateCase& c : cases) {
        ForumTree tree;
        auto lock = tree.Hold();
        tree.Fill(lock, "General/Friends\t3\t\n");
        CreateRequest request{c.path, true, c.hidden, true, true};
        const CreateCheck check = CheckCreate(tree, lock, request);
        if (c.message == nullptr) {
            EXPECT_FALSE(check.message.has_value()) << c.path << ": " << *check.message;
        } else {
            EXPECT_EQ(check.message.value_or("none"), c.message) << c.path;
        }
        EXPECT_EQ(check.added, c.added) << c.path;
        if (c.added) {
            const ForumNode* node = tree.Find(lock, request.path);
            ASSERT_NE(node, nullptr) << c.path;
            EXPECT_EQ(node->userCount, 1u);
            EXPECT_EQ(node->flags, 7u);
        }
    }
}

TEST(CreateCheckTest, TheFlagsOfANewForumFollowTheOptions) {
    ForumTree tree;
    auto lock = tree.Hold();
    tree.Fill(lock, "General/Friends\t3\t\n");
    CreateRequest request{"General/Plain", false, false, false, false};
    EXPECT_TRUE(CheckCreate(tree, lock, request).added);
    EXPECT_EQ(tree.Find(lock, "General/Plain")->flags, 0u);
    request = {"General/Locked", true, false, false, false};
    EXPECT_TRUE(CheckCreate(tree, lock, request).added);
    EXPECT_EQ(tree.Find(lock, "General/Locked")->flags, ForumNode::kPassword);
}

TEST(CreateCheckTest, DialogTitlesAndFormats) {
    EXPECT_EQ(CreateDialogTitle(""), "Create Forum");
    EXPECT_EQ(CreateDialogTitle("General/"), "Create Forum in General/");
    EXPECT_EQ(FormatForumText(forum_text::kUnbannedFormat, "77"),
              "User 77 has been unbanned from this forum.");
    EXPECT_EQ(FormatForumText(forum_text::kJoinErrorFormat, "A/B")
                  .rfind("Error joining forum "
                         "\"A/B\". Possible",
                         0),
              0u);
}

// ---- the adult warning ------------------------------------------------------------------------

TEST(AdultWarningTest, OnlyTheFirstComponentCounts) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"Adult/Chat", true},       {"ADULT TALK/x", true},
        {"Young Adults/x", true},   {"General/Adult", false},
        {"General/adult/x", false}, {"Adult", true},
        {"/Adult/x", true},         {"", false},
        {"Adul/t", false},
    };
    for (const auto& [path, needs] : cases) {
        EXPECT_EQ(NeedsAdultWarning(path), needs) << path;
    }
    AdultWarningState state;
    EXPECT_TRUE(state.MustAsk("Adult/Chat"));
    EXPECT_FALSE(state.MustAsk("General/Adult"));
    state.Accept();
    EXPECT_FALSE(state.MustAsk("Adult/Chat"));
    state.Forget();
    EXPECT_TRUE(state.MustAsk("adult/Chat"));
    EXPECT_EQ(std::string(adult_text::kWarning)
                  .rfind("WARNING:  THIS FORUM MAY CONTAIN AUDIO, TEXTUAL, OR VISUAL "
                         "COMMUNICATIONS OR MATERIAL THAT IS INAPPROPRIATE AND NOT INTENDED FOR "
                         "ANYONE UNDER THE AGE OF 18.",
                         0),
              0u);
}

// ---- forced push-to-talk ----------------------------------------------------------------------

TEST(ForcedPushToTalkTest, GrowingAndShrinkingWithHysteresis) {
    using C = ForcedPushToTalkStep::Change;
    struct Step {
        int count;
        C change;
    };
    // 7 -> 8 switches on; 7, 6, 5 keep it; 4 switches off; 5..7 while off do nothing.
    const std::vector<Step> steps = {{7, C::kNone}, {8, C::kOn},  {9, C::kNone}, {7, C::kNone},
                                     {5, C::kNone}, {4, C::kOff}, {5, C::kNone}, {7, C::kNone},
                                     {8, C::kOn},   {3, C::kOff}, {2, C::kNone}};
    bool forced = false;
    for (const Step& s : steps) {
        ForcedPushToTalkInput in;
        in.participants = s.count;
        in.forum = true;
        in.forced = forced;
        const ForcedPushToTalkStep step = NextForcedPushToTalk(in);
        EXPECT_EQ(step.change, s.change) << s.count;
        if (step.change == C::kOn) {
            EXPECT_EQ(step.message, forced_push_to_talk_text::kOn);
            forced = true;
        } else if (step.change == C::kOff) {
            EXPECT_EQ(step.message, forced_push_to_talk_text::kOff);
            forced = false;
        } else {
            EXPECT_TRUE(step.message.empty());
        }
    }
}

TEST(ForcedPushToTalkTest, OnlyInPlainForumsAndMessagesOnlyWithoutTheSetting) {
    using C = ForcedPushToTalkStep::Change;
    ForcedPushToTalkInput in;
    in.participants = 8;
    EXPECT_EQ(NextForcedPushToTalk(in).change, C::kNone);  // a call
    in.forum = true;
    in.webTour = true;
    EXPECT_EQ(NextForcedPushToTalk(in).change, C::kNone);
    in.webTour = false;
    in.controlledMicrophones = true;
    EXPECT_EQ(NextForcedPushToTalk(in).change, C::kNone);
    in.controlledMicrophones = false;
    in.pushToTalkSetting = true;
    EXPECT_EQ(NextForcedPushToTalk(in), (ForcedPushToTalkStep{C::kOn, ""}));
    in.forced = true;
    in.participants = 4;
    EXPECT_EQ(NextForcedPushToTalk(in), (ForcedPushToTalkStep{C::kOff, ""}));
    EXPECT_EQ(std::string(forced_push_to_talk_text::kOn),
              "Because this forum has greater than 7 users,  you have been placed in \"Push To "
              "Talk\" mode.  Click and hold the talk button and speak into your microphone.  "
              "Release the Talk button when finished.");
    EXPECT_EQ(std::string(forced_push_to_talk_text::kOff),
              "Because this forum has fewer than 5 users,  you have been placed in \"Voice "
              "Activated\" mode.");
}

// ---- the participant menu ---------------------------------------------------------------------

std::vector<std::string> Texts(const ParticipantMenuContext& c) {
    std::vector<std::string> out;
    for (const ParticipantMenuItem& item : ForumMenuItems(c)) {
        out.push_back(item.text);
    }
    return out;
}

using T = std::vector<std::string>;
constexpr std::uint32_t kPlain = participant_flag::kPresent;
constexpr std::uint32_t kMod = participant_flag::kPresent | participant_flag::kModerator;
constexpr std::uint32_t kOwn = participant_flag::kPresent | participant_flag::kOwner;
constexpr std::uint32_t kMic = participant_flag::kPresent | participant_flag::kMicrophone;

struct MenuCase {
    const char* name;
    bool moderation;
    bool controlled;
    std::uint32_t me;
    std::uint32_t target;
    std::size_t selection;
    T texts;
};

TEST(ParticipantMenuTest, ItemsByRole) {
    const std::vector<MenuCase> cases = {
        {"plain user sees mute only", true, true, kPlain, kPlain, 1, {"Mu&te Participant"}},
        {"owner on a plain user",
         true,
         false,
         kOwn,
         kPlain,
         1,
         {"Mak&e Moderator", "Make &Owner", "&Kick User", "Ban Use&r", "&UnBan User",
          "&Disband Forum", "Mu&te Participant"}},
        {"owner on a moderator",
         true,
         false,
         kOwn,
         kMod,
         1,
         {"Make &Owner", "&Revoke Moderator Status", "&UnBan User", "&Disband Forum",
          "Mu&te Participant"}},
        {"owner on an owner",
         true,
         false,
         kOwn,
         kOwn,
         1,
         {"&UnBan User", "&Disband Forum", "Mu&te Participant"}},
        {"owner without EnableModeration",
         false,
         true,
         kOwn,
         kPlain,
         1,
         {"&Kick User", "Ban Use&r", "&UnBan User", "Mu&te Participant"}},
        {"moderator on a plain user, controlled",
         true,
         true,
         kMod,
         kPlain,
         1,
         {"&Kick User", "Ban Use&r", "&UnBan User", "&Give Microphone", "Mu&te Participant"}},
        {"moderator on a microphone holder",
         true,
         true,
         kMod,
         kMic,
         1,
         {"&Kick User", "Ban Use&r", "&UnBan User", "Take A&way Microphone", "Mu&te Participant"}},
        {"moderator on a moderator",
         true,
         true,
         kMod,
         kMod,
         1,
         {"&UnBan User", "Mu&te Participant"}},
        {"moderator with a selection",
         true,
         true,
         kMod,
         kMod,
         3,
         {"&UnBan User", "&Give Microphone", "T&ake Away Microphone", "Mu&te Participant"}},
    };
    for (const MenuCase& c : cases) {
        ParticipantMenuContext context;
        context.enableModeration = c.moderation;
        context.inForum = true;
        context.controlledMicrophones = c.controlled;
        context.myFlags = c.me;
        context.targetFlags = c.target;
        context.selectionCount = c.selection;
        EXPECT_EQ(Texts(context), c.texts) << c.name;
    }
}

TEST(ParticipantMenuTest, WebTourItemsAndCalls) {
    ParticipantMenuContext context;
    context.webTourRunning = true;
    context.myFlags = kOwn;
    EXPECT_EQ(Texts(context), (T{"Invite to &Web Tour", "Mu&te Participant"}));
    context.targetInWebTour = true;
    EXPECT_EQ(Texts(context), (T{"&Remove from Web Tour", "Mu&te Participant"}));
    context.webTourRunning = false;
    EXPECT_EQ(Texts(context), (T{"Mu&te Participant"}));  // a call: no forum items
    const auto items = ForumMenuItems(context);
    EXPECT_EQ(items.back().action, ParticipantAction::kMute);
}

}  // namespace
}  // namespace qv
