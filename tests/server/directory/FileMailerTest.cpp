#include "mail/FileMailer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "support/TempFolder.h"
#include "util/Clock.h"

namespace qv::dirsvc {
namespace {

std::vector<std::string> MailFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileMailerTest, WritesOneFilePerMessageNewestLast) {
    qv::test::TempFolder folder;
    ManualClock clock(1700000000);  // 2023-11-14T22:13:20Z
    FileMailer mailer(folder.Path(), clock);
    ASSERT_TRUE(mailer.Send({"ann@example.com", "First", "one\ntwo"}));
    ASSERT_TRUE(mailer.Send({"ann@example.com", "Second", "three"}));
    clock.Advance(1);
    ASSERT_TRUE(mailer.Send({"bob@example.com", "Third", "four"}));

    const auto names = MailFiles(folder.Path());
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], "20231114T221320Z-000000-ann@example.com.eml");
    EXPECT_EQ(names[1], "20231114T221320Z-000001-ann@example.com.eml");
    EXPECT_EQ(names[2], "20231114T221321Z-000002-bob@example.com.eml");

    const std::string text = folder.Read(names[0]);
    EXPECT_NE(text.find("To: ann@example.com\r\n"), std::string::npos);
    EXPECT_NE(text.find("Subject: First\r\n"), std::string::npos);
    EXPECT_NE(text.find("Date: Tue, 14 Nov 2023 22:13:20 +0000\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n\r\none\r\ntwo\r\n"), std::string::npos);
    // They carry passwords: readable by the service alone.
    for (const std::string& name : names) {
        struct stat info {};
        ASSERT_EQ(::stat(folder.File(name).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << name;
    }
}

TEST(FileMailerTest, AddressesBecomeSafeFileNames) {
    qv::test::TempFolder folder;
    ManualClock clock;
    FileMailer mailer(folder.Path(), clock);
    ASSERT_TRUE(mailer.Send({"../../etc/x y@z", "s", "b"}));
    const auto names = MailFiles(folder.Path());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].find('/'), std::string::npos);
    EXPECT_NE(names[0].find("-_.._.._etc_x_y@z.eml"), std::string::npos);
}

TEST(FileMailerTest, ANameTakenMovesOnInsteadOfOverwriting) {
    qv::test::TempFolder folder;
    ManualClock clock(1700000000);
    folder.Write("20231114T221320Z-000000-a@b.cd.eml", "older");
    FileMailer mailer(folder.Path(), clock);
    ASSERT_TRUE(mailer.Send({"a@b.cd", "s", "new"}));
    EXPECT_EQ(folder.Read("20231114T221320Z-000000-a@b.cd.eml"), "older");
    EXPECT_NE(folder.Read("20231114T221320Z-000001-a@b.cd.eml").find("new"), std::string::npos);
}

TEST(FileMailerTest, AFolderThatCannotBeWrittenFailsTheSend) {
    qv::test::TempFolder folder;
    ManualClock clock;
    const std::string notAFolder = folder.Write("plain-file", "x");
    FileMailer mailer(notAFolder, clock);
    EXPECT_FALSE(mailer.Send({"a@b.cd", "s", "b"}));
}

}  // namespace
}  // namespace qv::dirsvc
