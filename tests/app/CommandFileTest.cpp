#include "app/CommandFile.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/TempFolder.h"

namespace qv {
namespace {

TEST(CommandFileTest, ReadsTheLinesEachLetterNeeds) {
    struct Case {
        std::string bytes;
        CommandRecord expected;
    };
    const std::string longLine(300, 'x');
    const std::vector<Case> cases = {
        {"Fmusic/jazz\r\n", {'F', "", "music/jazz", ""}},
        {"Gmusic/jazz\r\nsecret\r\n", {'G', "", "music/jazz", "secret"}},
        {"Htours/start\n", {'H', "", "tours/start", ""}},
        {"Itours/start\npw", {'I', "", "tours/start", "pw"}},
        {"L12345\r\n", {'L', "12345", "", ""}},
        {"Shttp://example.com/tour\r", {'S', "", "http://example.com/tour", ""}},
        {"Thttp://example.com/page", {'T', "", "http://example.com/page", ""}},
        // Line ends before the first character are skipped, for every line.
        {"G\r\n\r\n\nforum\r\n\r\npass\r\n", {'G', "", "forum", "pass"}},
        // A 0 byte ends the line.
        {std::string("Fab\0cd\r\n", 8), {'F', "", "ab", ""}},
        // At most 255 characters are kept.
        {"F" + longLine + "\r\n", {'F', "", std::string(255, 'x'), ""}},
        // The second line of G may be missing.
        {"Gforum", {'G', "", "forum", ""}},
        // Lower case and unknown letters give an empty record.
        {"fforum\r\n", {}},
        {"Xwhatever\r\n", {}},
        {"", {}},
        {"\xFF\xFE garbage", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseCommandFile(c.bytes), c.expected) << c.bytes;
    }
}

TEST(CommandFileTest, ReadsFromFilesAndSurvivesBadOnes) {
    test::TempFolder dir;
    EXPECT_EQ(ReadCommandFile(dir.Write("a.qdx", "Gforum\r\npw\r\n")),
              (CommandRecord{'G', "", "forum", "pw"}));
    EXPECT_TRUE(ReadCommandFile(dir.File("missing.qdx")).Empty());
    EXPECT_TRUE(ReadCommandFile(dir.Path()).Empty());  // a folder
    // 10 MB on one line: read to the end, only the first 255 characters kept.
    std::string big = "F" + std::string(10 * 1024 * 1024, 'y');
    CommandRecord r = ReadCommandFile(dir.Write("big.qdx", big));
    EXPECT_EQ(r.letter, 'F');
    EXPECT_EQ(r.b.size(), 255u);
    // Devices and pipes are not read at all (they could block or never end).
    EXPECT_TRUE(ReadCommandFile("/dev/zero").Empty());
}

TEST(PendingCommandsTest, OldestRunsFirst) {
    PendingCommands pending;
    EXPECT_FALSE(pending.TakeOldest().has_value());
    pending.Append({'F', "", "one", ""});
    pending.Append({'L', "7", "", ""});
    EXPECT_EQ(pending.TakeOldest()->b, "one");
    EXPECT_EQ(pending.TakeOldest()->a, "7");
    EXPECT_TRUE(pending.Empty());
}

}  // namespace
}  // namespace qv
