#include "http/RequestLog.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv::dirsvc {
namespace {

TEST(RequestLogTest, OneLineWithTimeCallerTargetStatusAndOutcome) {
    std::vector<std::string> lines;
    RequestLog log([&](const std::string& line) { lines.push_back(line); });
    log.Write(1700000000, "127.0.0.1", "GET", "\\Quorvane\\GetUserProfile.asp?LoginId=1000000", 200,
              "Success\xFF"
              "NickName=Ann\xFF");
    log.Write(1700000001, "127.0.0.1", "GET", "/Quorvane/X.asp", 404, "Fail\xFFUnknown page");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              "2023-11-14T22:13:20Z 127.0.0.1 GET \\Quorvane\\GetUserProfile.asp?LoginId=1000000 "
              "200 Success");
    EXPECT_EQ(lines[1],
              "2023-11-14T22:13:21Z 127.0.0.1 GET /Quorvane/X.asp 404 Fail: Unknown page");
}

TEST(RequestLogTest, SecretsAreNotLogged) {
    struct Case {
        std::string target;
        std::string logged;
    };
    const Case cases[] = {
        {"/Quorvane/LoginEx2.asp?LoginId=1&Password=s3cret&PartnerId=1",
         "/Quorvane/LoginEx2.asp?LoginId=1&Password=*&PartnerId=1"},
        {"/Quorvane/LoginEx2.asp?PASSWORD=s3cret", "/Quorvane/LoginEx2.asp?PASSWORD=*"},
        {"/Quorvane/LoginEx2.asp?%50assword=s3cret", "/Quorvane/LoginEx2.asp?%50assword=*"},
        {"/Quorvane/GetContacts.asp?ConnectionId=0123456789abcdef0123456789abcdef",
         "/Quorvane/GetContacts.asp?ConnectionId=012345..."},
        {"/Quorvane/GetProfileEx.asp?ConnectionID=abc&LoginId=1",
         "/Quorvane/GetProfileEx.asp?ConnectionID=abc&LoginId=1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RequestLog::Redacted(c.target), c.logged) << c.target;
    }
}

TEST(RequestLogTest, HostileBytesCannotForgeLines) {
    const std::string logged = RequestLog::Redacted("/a\r\nGET /b HTTP/1.1 \xFF");
    EXPECT_EQ(logged, "/a%0D%0AGET%20/b%20HTTP/1.1%20%FF");
    EXPECT_EQ(RequestLog::Outcome("Fail\xFFline\nbreak"), "Fail: line?break");
    EXPECT_LE(RequestLog::Redacted("/x?" + std::string(100000, 'a')).size(), 404u);
    EXPECT_EQ(RequestLog::Outcome("<html>"), "-");
}

}  // namespace
}  // namespace qv::dirsvc
