// The text chat's rules without its window: the command parser and the steps a sent line turns
// into, the input's colour, the history, the flood rule, the lines and their colours, staff
// aliases and the time of the bracketed lines.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calls/TextChatCommands.h"
#include "calls/TextChatFlood.h"
#include "calls/TextChatHistory.h"
#include "calls/TextChatInputColour.h"
#include "calls/TextChatLines.h"
#include "platform/TickClock.h"

namespace qv {
namespace {

using Kind = ChatCommand::Kind;

// ---- The parser --------------------------------------------------------------------------------

TEST(TextChatCommands, ParserTable) {
    struct Case {
        const char* line;
        bool whisperOnly;
        Kind kind;
        const char* text;
    };
    const Case cases[] = {
        {"/w hello there", false, Kind::kWhisper, "hello there"},
        {"/W text", false, Kind::kWhisper, "text"},
        {"/w", false, Kind::kInvalid, "/w"},
        {"/W", false, Kind::kInvalid, "/W"},
        {"/w ", false, Kind::kEmptyWhisper, ""},
        {"/wx", false, Kind::kInvalid, "/wx"},
        {"/clear", false, Kind::kClear, ""},
        {"/CLR", false, Kind::kClear, ""},
        {"/Clear", false, Kind::kClear, ""},
        {"/clr", false, Kind::kClear, ""},
        {"/clear more", false, Kind::kInvalid, "/clear more"},
        {"/ME x", false, Kind::kEmote, "x"},
        {"/me waves", false, Kind::kEmote, "waves"},
        {"/mE  two", false, Kind::kEmote, " two"},
        {"/me", false, Kind::kInvalid, "/me"},
        {"/me ", false, Kind::kInvalid, "/me "},
        {"/me waves", true, Kind::kInvalid, "/me waves"},
        {"/msg bob hi", false, Kind::kInvalid, "/msg bob hi"},
        {"/mgs bob hi", false, Kind::kInvalid, "/mgs bob hi"},
        {"/smg bob hi", false, Kind::kInvalid, "/smg bob hi"},
        {"/?", false, Kind::kSummary, ""},
        {"/Help", false, Kind::kSummary, ""},
        {"/HELP", false, Kind::kSummary, ""},
        {"/help me", false, Kind::kInvalid, "/help me"},
        {"/", false, Kind::kInvalid, "/"},
        {"hello", false, Kind::kSpeak, "hello"},
        {"hello", true, Kind::kWhisper, "hello"},
        {"/w psst", true, Kind::kWhisper, "psst"},
        {"", false, Kind::kEmpty, ""},
        // Line breaks inside become spaces; one at the very end stays.
        {"one\ntwo\rthree", false, Kind::kSpeak, "one two three"},
        {"end\n", false, Kind::kSpeak, "end\n"},
        {"/w a\nb", false, Kind::kWhisper, "a b"},
        {"/clr\n", false, Kind::kInvalid, "/clr\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const ChatCommand got = ParseChatCommand(c.line, c.whisperOnly);
        EXPECT_EQ(got.kind, c.kind);
        EXPECT_EQ(got.text, c.text);
    }
}

ChatStep Write(ChatLine line) {
    ChatStep s;
    s.line = std::move(line);
    return s;
}
ChatStep Sent(ChatStep::Kind kind, std::string alias, std::string text) {
    ChatStep s;
    s.kind = kind;
    s.alias = std::move(alias);
    s.text = std::move(text);
    return s;
}

TEST(TextChatCommands, StepsOfEachCommand) {
    using S = ChatStep::Kind;
    ChatContext one{"nick", {"ann"}, false};
    ChatContext none{"nick", {}, false};
    ChatContext three{"nick", {"ann", "bob", "cy"}, false};
    ChatStep clear;
    clear.kind = S::kClear;
    struct Case {
        const char* line;
        const ChatContext* context;
        std::vector<ChatStep> steps;
    };
    const std::vector<Case> cases = {
        {"hi all", &one, {Write(chat_line::Spoken("nick", "hi all")), Sent(S::kSay, "", "hi all")}},
        {"/me waves",
         &one,
         {Write(chat_line::OwnEmote("nick", "waves")), Sent(S::kEmote, "", "waves")}},
        {"/w psst",
         &one,
         {Sent(S::kWhisper, "ann", "psst"), Write(chat_line::OutgoingWhisper("ann", "psst"))}},
        {"/w psst",
         &three,
         {Sent(S::kWhisper, "ann", "psst"), Sent(S::kWhisper, "bob", "psst"),
          Sent(S::kWhisper, "cy", "psst"), Write(chat_line::OutgoingWhisper("Multiple", "psst"))}},
        {"/w psst", &none, {Write(chat_line::System("Message not sent: No user selected."))}},
        {"/w ", &one, {Write(chat_line::Warning("\nWarning: You cannot send an empty message."))}},
        {"", &one, {Write(chat_line::Warning("\nWarning: You cannot send an empty message."))}},
        {"/msg bob hi",
         &one,
         {Write(chat_line::Warning("\nWarning: Invalid command - /msg bob hi"))}},
        {"/CLR", &one, {clear}},
        {"/?", &one, {Write(chat_line::CommandSummary())}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(ChatSteps(c.line, *c.context), c.steps);
    }
}

TEST(TextChatCommands, WhisperOnlyWhispersPlainLines) {
    ChatContext c{"nick", {"ann", "bob"}, true};
    const std::vector<ChatStep> steps = ChatSteps("quiet please", c);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0], Sent(ChatStep::Kind::kWhisper, "ann", "quiet please"));
    EXPECT_EQ(steps[1], Sent(ChatStep::Kind::kWhisper, "bob", "quiet please"));
    EXPECT_EQ(TextOf(steps[2].line), "\nWhisper to Multiple>> quiet please");
}

TEST(TextChatCommands, CommandSummaryIsTenPartsInTheEventColour) {
    const ChatLine summary = chat_line::CommandSummary();
    ASSERT_EQ(summary.size(), 10u);
    for (const ChatPiece& p : summary) {
        EXPECT_EQ(p.colour, 7);
    }
    EXPECT_EQ(TextOf(summary),
              "\nCommand Summary:\n/w <Msg>\tWhisper Msg to selected aliases\n/Clear or /Clr"
              "\tClear chat display\n/Me <Msg>\tEmote\n/? or /Help\tCommand Summary"
              "\nNOTE: Commands are NOT case sensitive.");
}

TEST(TextChatCommands, WhisperNamesAreCutTo32Characters) {
    EXPECT_EQ(WhisperName("bob"), "bob");
    EXPECT_EQ(WhisperName(std::string(40, 'x')), std::string(32, 'x'));
    EXPECT_EQ(WhisperName(std::string(32, 'y')), std::string(32, 'y'));
    // Two-byte characters count once each and are never split.
    std::string umlauts;
    for (int i = 0; i < 33; ++i) {
        umlauts += "\xC3\xBC";
    }
    EXPECT_EQ(WhisperName(umlauts), umlauts.substr(0, 64));
    EXPECT_EQ(WhisperName(""), "");
}

// ---- The input's colour ------------------------------------------------------------------------

TEST(TextChatInputColour, Table) {
    struct Case {
        const char* text;
        InputColour colour;
    };
    const Case cases[] = {
        {"", InputColour::kNormal},
        {"hello", InputColour::kNormal},
        {"/w ", InputColour::kWhisper},
        {"/W bob", InputColour::kWhisper},
        {"/w", InputColour::kNormal},
        {"/msg ", InputColour::kNormal},
        {"/msg bob", InputColour::kNormal},
        {"/msg bob ", InputColour::kWhisper},
        {"/msg bob hi", InputColour::kWhisper},
        {"/MSG bob hi", InputColour::kWhisper},
        {"/mgs bob hi", InputColour::kWhisper},
        {"/smg bob hi", InputColour::kWhisper},
        {"/msg  bob", InputColour::kNormal},
        {"/sgm bob hi", InputColour::kNormal},
        {"/Me ", InputColour::kEmote},
        {"/ME waves", InputColour::kEmote},
        {"/me", InputColour::kNormal},
        {" /me waves", InputColour::kNormal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(InputColourFor(c.text), c.colour);
    }
}

// ---- History and flooding ----------------------------------------------------------------------

TEST(TextChatHistory, KeepsTheLastNineLines) {
    TextChatHistory h;
    for (int i = 1; i <= 12; ++i) {
        h.Add("line " + std::to_string(i), static_cast<std::uint32_t>(i));
    }
    EXPECT_EQ(h.Size(), 9u);
    std::vector<std::string> up;
    for (int i = 0; i < 11; ++i) {
        up.push_back(h.Previous().value_or("-"));
    }
    // Newest first, stopping at the oldest kept (line 4).
    EXPECT_EQ(
        up, (std::vector<std::string>{"line 12", "line 11", "line 10", "line 9", "line 8", "line 7",
                                      "line 6", "line 5", "line 4", "line 4", "line 4"}));
    std::vector<std::string> down;
    for (int i = 0; i < 10; ++i) {
        down.push_back(h.Next().value_or("-"));
    }
    EXPECT_EQ(down,
              (std::vector<std::string>{"line 5", "line 6", "line 7", "line 8", "line 9", "line 10",
                                        "line 11", "line 12", "line 12", "line 12"}));
}

TEST(TextChatHistory, BrowsingAnEmptyOrFreshHistory) {
    TextChatHistory h;
    EXPECT_FALSE(h.Previous());
    EXPECT_FALSE(h.Next());
    h.Add("only", 1);
    // Nothing newer than the head after a line was added.
    EXPECT_FALSE(h.Next());
    EXPECT_EQ(h.Previous(), "only");
    EXPECT_EQ(h.Previous(), "only");
    EXPECT_EQ(h.Next(), "only");
    // Adding puts the cursor back at the head.
    h.Add("second", 2);
    EXPECT_EQ(h.Previous(), "second");
    EXPECT_EQ(h.Previous(), "only");
    EXPECT_EQ(h.Recent(1)->text, "second");
    EXPECT_EQ(h.Recent(2)->text, "only");
    EXPECT_EQ(h.Recent(3), nullptr);
}

TEST(TextChatFlood, AFourthLineWaitsTwoSecondsAfterTheThirdLast) {
    ManualTickClock clock(10000);
    TextChatHistory h;
    std::vector<bool> refused;
    // Three lines at 10000, 10300 and 10600.
    for (int i = 0; i < 3; ++i) {
        refused.push_back(TextChatFlooding(h, clock.Now()));
        h.Add("x", clock.Now());
        clock.Advance(300);
    }
    EXPECT_EQ(refused, (std::vector<bool>{false, false, false}));
    clock.Set(10900);
    EXPECT_TRUE(TextChatFlooding(h, clock.Now()));
    clock.Set(11999);
    EXPECT_TRUE(TextChatFlooding(h, clock.Now()));
    clock.Set(12000);
    EXPECT_FALSE(TextChatFlooding(h, clock.Now()));
    h.Add("fourth", clock.Now());
    // Now the third-last is the one of 10300.
    clock.Set(12299);
    EXPECT_TRUE(TextChatFlooding(h, clock.Now()));
    clock.Set(12300);
    EXPECT_FALSE(TextChatFlooding(h, clock.Now()));
}

TEST(TextChatFlood, TheTickCountWrapping) {
    TextChatHistory h;
    h.Add("a", 0xFFFFFF00u);
    h.Add("b", 0xFFFFFF80u);
    h.Add("c", 0xFFFFFFF0u);
    EXPECT_TRUE(TextChatFlooding(h, 0x00000100u));
    EXPECT_FALSE(TextChatFlooding(h, 0xFFFFFF00u + 2000u));
}

// ---- Lines, colours, staff, time ---------------------------------------------------------------

TEST(TextChatLines, EveryKindWithItsTextAndColour) {
    struct Case {
        ChatLine line;
        std::vector<ChatPiece> pieces;
    };
    const std::vector<Case> cases = {
        {chat_line::System("hi"), {{"\nSYSTEM>> hi", 6}}},
        {chat_line::Spoken("ann", "hello"), {{"\n<ann> ", 12}, {"hello", 0}}},
        {chat_line::Spoken("CS Ann", "hello"), {{"\n<CS Ann> ", 13}, {"hello", 0}}},
        {chat_line::OutgoingWhisper("bob", "psst"), {{"\nWhisper to bob>> psst", 1}}},
        {chat_line::IncomingWhisper("bob", "psst"), {{"\nbob Whispers>> psst", 4}}},
        {chat_line::OwnEmote("nick", "waves"), {{"\nnick waves", 2}}},
        {chat_line::IncomingEmote("ann", "waves"), {{"\nann waves", 5}}},
        {chat_line::Joined("ann"), {{"\n*** ann has joined the conversation.", 7}}},
        {chat_line::Left("ann"), {{"\n*** ann has left the conversation.", 7}}},
        {chat_line::JoinedForum("9:05 AM", "General/Test"),
         {{"\n*** [9:05 AM] Joined forum General/Test", 7}}},
        {chat_line::LeftForum("9:05 AM", "General/Test"),
         {{"\n*** [9:05 AM] Left forum General/Test\r\n\r\n", 7}}},
        {chat_line::JoinedCall("1:00 PM", "bob", "1001"),
         {{"\n*** [1:00 PM] Joined call with bob (1001)", 7}}},
        {chat_line::PlacedOnHold("1:00 PM", "bob", "1001"),
         {{"\n*** [1:00 PM] Placed bob (1001) on hold", 7}}},
        {chat_line::EndedCall("1:00 PM", "bob", "1001"),
         {{"\n*** [1:00 PM] Ended call with bob (1001)", 7}}},
        {chat_line::Warning("\nWarning: x"), {{"\nWarning: x", 6}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(TextOf(c.line));
        EXPECT_EQ(c.line, c.pieces);
    }
}

TEST(TextChatLines, StaffAliases) {
    struct Case {
        const char* alias;
        bool staff;
    };
    const Case cases[] = {
        {"CS Ann", true},       {"cs ann", true},   {"Cs bob", true},  {"CS", false},
        {"CSAnn", false},       {"CS_Ann", false},  {"Velmora", true}, {"velmora", true},
        {"VELMORA Joe", true},  {"Velmorax", true}, {"Velmor", false}, {"Quorvane", true},
        {"quorvaneHelp", true}, {"Quorvan", false}, {"ann", false},    {"", false},
        {" CS Ann", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.alias);
        EXPECT_EQ(IsStaffAlias(c.alias), c.staff);
    }
}

TEST(TextChatLines, TimeWithoutLeadingZero) {
    struct Case {
        int hour;
        int minute;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "12:00 AM"},   {0, 5, "12:05 AM"},  {1, 9, "1:09 AM"},  {9, 30, "9:30 AM"},
        {11, 59, "11:59 AM"}, {12, 0, "12:00 PM"}, {13, 1, "1:01 PM"}, {23, 59, "11:59 PM"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChatTime(c.hour, c.minute), c.text);
        // It always fits a buffer of 9 bytes with its terminating zero.
        EXPECT_LE(ChatTime(c.hour, c.minute).size(), 8u);
    }
    EXPECT_FALSE(ChatTimeNow().empty());
}

TEST(TextChatLines, PaletteAsColourReferences) {
    ASSERT_EQ(kTextChatPalette.size(), 15u);
    // 0x00BBGGRR: index 6 is red, index 4 blue, index 1 a light blue.
    EXPECT_EQ(RedOf(kTextChatPalette[6]), 255);
    EXPECT_EQ(BlueOf(kTextChatPalette[6]), 0);
    EXPECT_EQ(BlueOf(kTextChatPalette[4]), 255);
    EXPECT_EQ(RedOf(kTextChatPalette[4]), 0);
    EXPECT_EQ(RedOf(kTextChatPalette[1]), 0x00);
    EXPECT_EQ(GreenOf(kTextChatPalette[1]), 0x80);
    EXPECT_EQ(BlueOf(kTextChatPalette[1]), 0xFF);
    EXPECT_EQ(GreenOf(kTextChatPalette[7]), 0x80);
    EXPECT_EQ(RedOf(kTextChatPalette[12]), 0x96);
    EXPECT_EQ(GreenOf(kTextChatPalette[12]), 0x55);
    EXPECT_EQ(BlueOf(kTextChatPalette[12]), 0x87);
    EXPECT_EQ(RedOf(kTextChatPalette[13]), 0x40);
    EXPECT_EQ(BlueOf(kTextChatPalette[13]), 0x96);
}

}  // namespace
}  // namespace qv
