#include "stores/EventLog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include "Bytes.h"
#include "platform/FileIo.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

using test::Text;
using test::U32;

std::string Separator() {
    return "\r\n" + std::string(58, '-') + "\r\n";
}

std::string TimeLine(std::uint32_t t) {
    char buf[128] = {};
    const auto time = static_cast<std::time_t>(t);
    std::tm local{};
    localtime_r(&time, &local);
    std::strftime(buf, sizeof buf, "%c", &local);
    return std::string("TIME: ") + buf + "\r\n";
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

TEST(EventLogTest, ANewLogIsExactlyNineBytes) {
    test::TempFolder dir;
    EventLog log;
    ASSERT_TRUE(log.Open(dir.File("user/Quorvane.log")));
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ(dir.Read("user/Quorvane.log"), std::string("CLOG\0", 5) + U32(1));
    EXPECT_EQ(ModeOf(dir.File("user/Quorvane.log")), 0600u);
    EXPECT_EQ(ModeOf(dir.File("user")), 0700u);
}

TEST(EventLogTest, HiFromBobIsARecordWithL71) {
    test::TempFolder dir;
    EventLog log;
    ASSERT_TRUE(log.Open(dir.File("Quorvane.log")));
    log.LogIncomingMessage(0x5F000000, "1002", "Bob", "Hi");
    const std::string bytes = dir.Read("Quorvane.log");
    ASSERT_EQ(bytes.size(), 9u + 1u + 4u + 71u);
    const std::string expected = std::string(1, '\x01') + U32(71) + U32(0x5F000000) +
                                 Text("1002", 32) + Text("Bob", 32) + std::string("Hi\0", 3);
    EXPECT_EQ(bytes.substr(9), expected);
}

TEST(EventLogTest, EveryAppendWritesItsTypeAndLength) {
    struct Case {
        const char* what;
        void (*append)(EventLog&);
        std::uint8_t type;
        std::uint32_t length;
        std::string text;
    };
    const Case cases[] = {
        {"incoming message", [](EventLog& l) { l.LogIncomingMessage(1, "7", "N", "abc"); }, 1, 72,
         "abc"},
        {"outgoing message", [](EventLog& l) { l.LogOutgoingMessage(1, "7", "N", ""); }, 2, 69, ""},
        {"incoming call", [](EventLog& l) { l.LogIncomingCall(1, "7", "N"); }, 4, 68, ""},
        {"outgoing call", [](EventLog& l) { l.LogOutgoingCall(1, "7", "N"); }, 8, 68, ""},
        {"incoming invitation", [](EventLog& l) { l.LogIncomingInvitation(1, "7", "N", "/a/b"); },
         32, 324, "/a/b"},
        {"outgoing invitation", [](EventLog& l) { l.LogOutgoingInvitation(1, "7", "N", "/c"); }, 64,
         324, "/c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder dir;
        EventLog log;
        ASSERT_TRUE(log.Open(dir.File("Quorvane.log")));
        c.append(log);
        const std::string bytes = dir.Read("Quorvane.log");
        ASSERT_EQ(bytes.size(), 9u + 5u + c.length);
        EXPECT_EQ(static_cast<std::uint8_t>(bytes[9]), c.type);
        EXPECT_EQ(bytes.substr(10, 4), U32(c.length));
        const std::vector<EventRecord> back = log.Query({});
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0].type, c.type);
        EXPECT_EQ(back[0].id, "7");
        EXPECT_EQ(back[0].nickname, "N");
        EXPECT_EQ(back[0].text, c.text);
    }
}

TEST(EventLogTest, IdsNicknamesAndInvitationTextsAreCut) {
    test::TempFolder dir;
    EventLog log;
    ASSERT_TRUE(log.Open(dir.File("Quorvane.log")));
    const std::string nick40(40, 'n');
    const std::string id40(40, '9');
    log.LogIncomingMessage(1, id40, nick40, "x");
    log.LogIncomingInvitation(1, "1", "B", std::string(300, 'f'));
    log.LogOutgoingInvitation(1, "1", "B", std::string(255, 'g'));
    const std::vector<EventRecord> back = log.Query({});
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].nickname, nick40.substr(0, 31));
    EXPECT_EQ(back[0].id, id40.substr(0, 31));
    EXPECT_EQ(back[1].text, std::string(255, 'f'));
    EXPECT_EQ(back[2].text, std::string(255, 'g'));
}

TEST(EventLogTest, UnknownTypesAreSkippedByTheirLength) {
    test::TempFolder dir;
    EventRecord known{event_type::kOutgoingCall, 5, "1", "A", {}, std::nullopt};
    const std::string unknown = std::string(1, '\x03') + U32(10) + std::string(10, 'z');
    const std::string unknownLong = std::string(1, '\x80') + U32(400) + std::string(400, 'q');
    const std::string shortKnown = std::string(1, '\x01') + U32(3) + "abc";  // L below 68
    const std::string data = EventLog::Header() + EventLog::EncodeRecord(known) + unknown +
                             unknownLong + shortKnown + EventLog::EncodeRecord(known) +
                             std::string(1, '\x01') + U32(500) + "cut off";
    dir.Write("Quorvane.log", data);
    EventLog log;
    ASSERT_TRUE(log.Open(dir.File("Quorvane.log")));
    const std::vector<EventRecord> back = log.Query({});
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].type, event_type::kOutgoingCall);
    EXPECT_EQ(back[1].id, "1");
}

TEST(EventLogTest, OpenRefusesAWrongMagicButNotAnotherVersion) {
    struct Case {
        const char* what;
        std::string bytes;
        bool opens;
    };
    const Case cases[] = {
        {"version 7", std::string("CLOG\0", 5) + U32(7), true},
        {"magic only", std::string("CLOG\0", 5), true},
        {"wrong magic", std::string("CBLK\0", 5) + U32(1), false},
        {"no NUL", std::string("CLOGX", 5) + U32(1), false},
        {"empty", "", false},
        {"short", "CL", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder dir;
        dir.Write("Quorvane.log", c.bytes);
        EventLog log;
        EXPECT_EQ(log.Open(dir.File("Quorvane.log")), c.opens);
        EXPECT_EQ(log.IsOpen(), c.opens);
        EXPECT_EQ(dir.Read("Quorvane.log"), c.bytes);  // opening never changes a file
    }
}

TEST(EventLogTest, ACorruptLogIsCopiedAndReplacedAfterTheMessage) {
    test::TempFolder dir;
    const std::string junk = "not a log at all";
    dir.Write("Quorvane.log", junk);
    dir.Write("Quorvane_Log.bak", "an older copy");
    test::RecordingScreen screen;
    EventLog log;
    ASSERT_TRUE(log.OpenOrRepair(dir.File("Quorvane.log"), screen));
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text,
              "Your Quorvane log file has become corrupt. The old file ( \"Quorvane.log\" ) will "
              "be copied to \"Quorvane_Log.bak\" and a new log will be generated.");
    EXPECT_EQ(screen.boxes[0].caption, "ERROR");
    EXPECT_EQ(screen.boxes[0].style, mb::kOk | mb::kIconExclamation);
    EXPECT_EQ(dir.Read("Quorvane_Log.bak"), junk);
    EXPECT_EQ(ModeOf(dir.File("Quorvane_Log.bak")), 0600u);
    EXPECT_EQ(dir.Read("Quorvane.log"), EventLog::Header());
    EXPECT_TRUE(log.IsOpen());
}

TEST(EventLogTest, AGoodOrMissingLogShowsNoMessage) {
    test::TempFolder dir;
    test::RecordingScreen screen;
    EventLog log;
    ASSERT_TRUE(log.OpenOrRepair(dir.File("Quorvane.log"), screen));
    log.LogIncomingCall(1, "5", "E");
    EventLog again;
    ASSERT_TRUE(again.OpenOrRepair(dir.File("Quorvane.log"), screen));
    EXPECT_TRUE(screen.boxes.empty());
    EXPECT_EQ(again.Query({}).size(), 1u);
}

TEST(EventLogTest, ArchiveTextForEveryType) {
    const std::uint32_t t = 1700000000;
    struct Case {
        std::uint8_t type;
        std::string text;
        std::optional<int> priority;
        std::string middle;  // between the contact line and the separator
    };
    const std::string contact = "CONTACT: Bob ( 1002 )\r\n";
    const Case cases[] = {
        {1, "first line\r\nsecond", std::nullopt,
         "TYPE: Incoming Instant Message\r\n" + TimeLine(t) + "MESSAGE: first line\r\n"},
        {2, "one\ntwo", std::nullopt,
         "TYPE: Outgoing Instant Message\r\n" + TimeLine(t) + "MESSAGE: one\r\n"},
        {4, "", std::nullopt, "TYPE: Incoming Call\r\n" + TimeLine(t)},
        {8, "", std::nullopt, "TYPE: Outgoing Call\r\n" + TimeLine(t)},
        {16, "sys", std::nullopt, "TYPE: System Message\r\n" + TimeLine(t)},
        {32, "/forum", std::nullopt,
         "TYPE: Incoming Forum Invitation\r\n" + TimeLine(t) + "FORUM NAME: /forum\r\n"},
        {36, "tour", std::nullopt, "TYPE: Incoming Web Tour Invitation\r\n" + TimeLine(t)},
        {64, "/out", std::nullopt,
         "TYPE: Outgoing Forum Invitation\r\n" + TimeLine(t) + "FORUM NAME: /out\r\n"},
        {72, "tour", std::nullopt, "TYPE: Outgoing Web Tour Invitation\r\n" + TimeLine(t)},
        {99, "x", std::nullopt, TimeLine(t)},
        {4, "", 0, "TYPE: Incoming Call\r\n" + TimeLine(t) + "PRIORITY: Normal\r\n"},
        {4, "", 1, "TYPE: Incoming Call\r\n" + TimeLine(t) + "PRIORITY: Low\r\n"},
        {4, "", 2, "TYPE: Incoming Call\r\n" + TimeLine(t) + "PRIORITY: Medium\r\n"},
        {4, "", 3, "TYPE: Incoming Call\r\n" + TimeLine(t) + "PRIORITY: High\r\n"},
        {4, "", 4, "TYPE: Incoming Call\r\n" + TimeLine(t)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        EventRecord r{c.type, t, "1002", "Bob", c.text, c.priority};
        EXPECT_EQ(EventLog::ArchiveText(r), contact + c.middle + Separator());
    }
}

TEST(EventLogTest, TheConfirmationHasItsLayout) {
    EXPECT_EQ(EventLog::ArchiveConfirmation("/home/u/1002/LogArchive.txt"),
              "WARNING: Your entire event log will be written to disk as:\r\n\r\n"
              "\"/home/u/1002/LogArchive.txt\".\r\n\r\n"
              "The archived events can later be viewed with any text editor, but cannot be read "
              "from within Quorvane.\r\n\r\nProceed with archive?");
}

TEST(EventLogTest, ArchivingTwiceAppendsAndEmptiesTheLogEachTime) {
    test::TempFolder dir;
    EventLog log;
    ASSERT_TRUE(log.Open(dir.File("1002/Quorvane.log")));
    EXPECT_EQ(log.ArchivePath(), dir.File("1002/LogArchive.txt"));
    log.LogIncomingMessage(100, "1002", "Bob", "Hi");
    ASSERT_TRUE(log.Archive(log.ArchivePath()));
    EXPECT_EQ(dir.Read("1002/Quorvane.log"), EventLog::Header());
    EXPECT_TRUE(log.Query({}).empty());
    const std::string first = dir.Read("1002/LogArchive.txt");
    EXPECT_EQ(first, EventLog::ArchiveText({1, 100, "1002", "Bob", "Hi", std::nullopt}));
    EXPECT_EQ(ModeOf(dir.File("1002/LogArchive.txt")), 0600u);
    log.LogOutgoingCall(200, "1003", "Cy");
    ASSERT_TRUE(log.Archive(log.ArchivePath()));
    EXPECT_EQ(dir.Read("1002/LogArchive.txt"),
              first + EventLog::ArchiveText({8, 200, "1003", "Cy", "", std::nullopt}));
    EXPECT_EQ(dir.Read("1002/Quorvane.log"), EventLog::Header());
    EXPECT_TRUE(log.IsOpen());
}

TEST(EventLogTest, AFailedArchiveWriteKeepsTheLog) {
    test::TempFolder dir;
    EventLog log;
    ASSERT_TRUE(log.Open(dir.File("Quorvane.log")));
    log.LogIncomingMessage(100, "1002", "Bob", "Hi");
    log.LogIncomingCall(101, "1002", "Bob");
    const std::string before = dir.Read("Quorvane.log");
    // /dev/full takes the open and refuses every write, as a full disk does.
    EXPECT_FALSE(log.Archive("/dev/full"));
    EXPECT_EQ(dir.Read("Quorvane.log"), before);
    // An archive that cannot be opened at all.
    EXPECT_FALSE(log.Archive(dir.File("no/such/folder/LogArchive.txt")));
    EXPECT_EQ(dir.Read("Quorvane.log"), before);
    EXPECT_EQ(log.Query({}).size(), 2u);
}

TEST(EventLogTest, TheArchiveCommandAsksFirst) {
    test::TempFolder dir;
    EventLog log;
    ASSERT_TRUE(log.Open(dir.File("Quorvane.log")));
    log.LogIncomingCall(1, "5", "E");
    test::RecordingScreen screen;
    screen.ScriptAnswers({mb::kIdNo, mb::kIdYes});
    EXPECT_EQ(log.ArchiveCommand(screen), 0);
    EXPECT_FALSE(FileExists(dir.File("LogArchive.txt")));
    EXPECT_EQ(log.Query({}).size(), 1u);
    EXPECT_EQ(log.ArchiveCommand(screen), 1);
    ASSERT_EQ(screen.boxes.size(), 2u);
    EXPECT_EQ(screen.boxes[0].caption, "WARNING");
    EXPECT_EQ(screen.boxes[0].style, mb::kYesNo | mb::kIconExclamation);
    EXPECT_EQ(screen.boxes[0].text, EventLog::ArchiveConfirmation(dir.File("LogArchive.txt")));
    EXPECT_TRUE(log.Query({}).empty());
}

TEST(EventLogTest, AFailedArchiveCommandSaysSo) {
    test::TempFolder dir;
    EventLog log;
    ASSERT_TRUE(log.Open(dir.File("Quorvane.log")));
    log.LogIncomingCall(1, "5", "E");
    dir.Write("LogArchive.txt/blocker", "");  // a folder where the archive would be
    test::RecordingScreen screen;
    screen.ScriptAnswers({mb::kIdYes});
    EXPECT_EQ(log.ArchiveCommand(screen), -1);
    ASSERT_EQ(screen.boxes.size(), 2u);
    EXPECT_EQ(screen.boxes[1].text, "The event log could not be written to \"" +
                                        dir.File("LogArchive.txt") +
                                        "\". Your event log is kept as it was.");
    EXPECT_EQ(log.Query({}).size(), 1u);
}

TEST(EventLogTest, QueryFiltersByGroupTimePartyAndText) {
    test::TempFolder dir;
    EventLog log;
    ASSERT_TRUE(log.Open(dir.File("Quorvane.log")));
    log.LogIncomingMessage(100, "1002", "Bob", "Hello There");
    log.LogOutgoingMessage(200, "1003", "Carol", "lunch?");
    log.LogIncomingCall(300, "1002", "Bob");
    log.LogOutgoingInvitation(400, "10021", "Bobby", "/chat/room");
    struct Case {
        const char* what;
        EventFilter filter;
        std::vector<std::uint32_t> times;
    };
    auto with = [](auto set) {
        EventFilter f;
        set(f);
        return f;
    };
    const Case cases[] = {
        {"all", {}, {100, 200, 300, 400}},
        {"messages", with([](EventFilter& f) { f.groups = event_group::kMessages; }), {100, 200}},
        {"calls and invitations",
         with([](EventFilter& f) { f.groups = event_group::kCalls | event_group::kInvitations; }),
         {300, 400}},
        {"from 200 to 300",
         with([](EventFilter& f) {
             f.from = 200;
             f.to = 300;
         }),
         {200, 300}},
        {"user 1002 exactly", with([](EventFilter& f) { f.userId = "1002"; }), {100, 300}},
        {"party bob any case", with([](EventFilter& f) { f.party = "BOB"; }), {100, 300, 400}},
        {"party by id part", with([](EventFilter& f) { f.party = "003"; }), {200}},
        {"text", with([](EventFilter& f) { f.text = "hello there"; }), {100}},
        {"nothing", with([](EventFilter& f) { f.text = "absent"; }), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint32_t> times;
        for (const EventRecord& r : log.Query(c.filter)) {
            times.push_back(r.time);
        }
        EXPECT_EQ(times, c.times);
        EXPECT_EQ(log.Records().size(), 4u);
    }
}

TEST(EventLogTest, AppendsTellTheWindowAndAClosedLogWritesNothing) {
    test::TempFolder dir;
    EventLog log;
    int changes = 0;
    log.SetChanged([&] { ++changes; });
    EXPECT_FALSE(log.Append({1, 1, "1", "a", "b", std::nullopt}));
    EXPECT_EQ(changes, 0);
    ASSERT_TRUE(log.Open(dir.File("Quorvane.log")));
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(log.Append({1, 1, "1", "a", "b", std::nullopt}));
    EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace qv
