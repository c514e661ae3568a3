#include <gtest/gtest.h>
#include <sys/stat.h>

#include "stores/MessageFiles.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

SavedAlert Message(const std::string& id, const std::string& text, std::uint16_t flags = 0) {
    SavedAlert alert;
    alert.time = 0x38A2B7C0;
    alert.senderId = id;
    alert.senderNickname = "Nick" + id;
    alert.text = text;
    alert.flags = flags;
    return alert;
}

TEST(AlertsFileTest, TwoRecordsGiveHeaderAndTwoFixedRecords) {
    const std::string data = alerts_file::Encode({Message("1001", "hi"), Message("1002", "yo", 3)});
    ASSERT_EQ(data.size(), 32u + 2u * 1100u);
    EXPECT_EQ(data.substr(0, 4), "ALRT");
    EXPECT_EQ(data[4], 2);
    EXPECT_EQ(data[8], 2);  // the count
    EXPECT_EQ(data.substr(12, 20), std::string(20, '\0'));
    EXPECT_EQ(data[32], static_cast<char>(174));
    const std::vector<SavedAlert> back = alerts_file::Decode(data);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].senderId, "1002");
    EXPECT_EQ(back[1].senderNickname, "Nick1002");
    EXPECT_EQ(back[1].text, "yo");
    EXPECT_EQ(back[1].flags, 3);
    EXPECT_EQ(back[0].time, 0x38A2B7C0u);
}

TEST(AlertsFileTest, LongTextsAreCutToTheirFields) {
    SavedAlert alert = Message(std::string(40, '7'), std::string(2000, 'x'));
    alert.senderNickname = std::string(50, 'n');
    const std::vector<SavedAlert> back = alerts_file::Decode(alerts_file::Encode({alert}));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].senderId.size(), 32u);
    EXPECT_EQ(back[0].senderNickname.size(), 32u);
    EXPECT_EQ(back[0].text.size(), 1023u);
}

TEST(AlertsFileTest, OtherFilesLoadNothing) {
    std::string data = alerts_file::Encode({Message("1", "a")});
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string version1 = data;
    version1[4] = 1;
    std::string wrongMagic = data;
    wrongMagic[0] = 'X';
    std::string cut = data.substr(0, 32 + 500);  // count 1, half a record
    const Case cases[] = {{"version 1", version1},
                          {"magic", wrongMagic},
                          {"cut", cut},
                          {"empty", ""},
                          {"header only", data.substr(0, 20)}};
    for (const Case& c : cases) {
        EXPECT_TRUE(alerts_file::Decode(c.bytes).empty()) << c.what;
    }
}

TEST(AlertsFileTest, SavedFileIsPrivateAndEmptyPathWritesNothing) {
    test::TempFolder folder;
    ASSERT_TRUE(alerts_file::Save(folder.File("Alerts.dat"), {Message("1", "a")}));
    struct stat info {};
    ASSERT_EQ(::stat(folder.File("Alerts.dat").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(alerts_file::Load(folder.File("Alerts.dat")).size(), 1u);
    EXPECT_FALSE(alerts_file::Save("", {Message("1", "a")}));
    EXPECT_TRUE(alerts_file::Load(folder.File("missing")).empty());
}

TEST(OfflineQueueTest, TwoMessagesInOneSecondDifferOnlyInTheCounter) {
    test::TempFolder folder;
    OfflineQueue queue(folder.File("Outgoing/"), [] { return 0x38a2b7c0u; });
    const std::string first = queue.Enqueue({"1002", "Bob", "one", 0});
    const std::string second = queue.Enqueue({"1002", "Bob", "two", 0});
    EXPECT_EQ(first, folder.File("Outgoing/38a2b7c000000000.msg"));
    EXPECT_EQ(second, folder.File("Outgoing/38a2b7c000000001.msg"));
    struct stat info {};
    ASSERT_EQ(::stat(folder.File("Outgoing").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(first.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(OfflineQueueTest, LayoutAndCutNickname) {
    const std::string data = OfflineQueue::Encode({"1002", std::string(40, 'N'), "hello", 3});
    ASSERT_EQ(data.size(), 73u + 6u + 2u);
    EXPECT_EQ(data.substr(0, 5), std::string("OFFL\0", 5));
    EXPECT_EQ(data[5], 6);  // text length with its NUL
    EXPECT_EQ(data.substr(9, 4), "1002");
    EXPECT_EQ(data.substr(41, 32), std::string(31, 'N') + '\0');
    EXPECT_EQ(data.substr(73, 6), std::string("hello\0", 6));
    EXPECT_EQ(data[79], 3);
    QueuedMessage back;
    ASSERT_TRUE(OfflineQueue::Decode(data, back));
    EXPECT_EQ(back.recipientNickname, std::string(31, 'N'));
    EXPECT_EQ(back.text, "hello");
    EXPECT_EQ(back.flags, 3);
}

TEST(OfflineQueueTest, FlushSendsInNameOrderAndLeavesWrongMagicAlone) {
    test::TempFolder folder;
    std::uint32_t now = 0x20;
    OfflineQueue queue(folder.File("Outgoing/"), [&] { return now; });
    queue.Enqueue({"1", "A", "first", 0});
    now = 0x10;  // the clock went back: names still sort by time, then counter
    queue.Enqueue({"2", "B", "earlier", 0});
    now = 0x20;
    queue.Enqueue({"3", "C", "third", 0});
    folder.Write("Outgoing/0000000000000000.msg", "JUNK! not a queued message at all.....");
    folder.Write("Outgoing/0000000000000001.msg",
                 std::string("OFFL\0", 5) + std::string(4, '\xff'));  // a length beyond reason
    std::vector<std::string> sent;
    EXPECT_EQ(queue.Flush([&](const QueuedMessage& m) { sent.push_back(m.text); }), 3);
    EXPECT_EQ(sent, (std::vector<std::string>{"earlier", "first", "third"}));
    EXPECT_EQ(queue.Files(),
              (std::vector<std::string>{"0000000000000000.msg", "0000000000000001.msg"}));
    EXPECT_EQ(queue.Flush([&](const QueuedMessage&) { FAIL(); }), 0);
}

}  // namespace
}  // namespace qv
