// Target parsing, query decoding and the reply builder.

#include <gtest/gtest.h>

#include "directory/ReplyGrammar.h"
#include "http/Query.h"
#include "http/Reply.h"
#include "http/RequestFraming.h"
#include "http/RequestTarget.h"
#include "http/UrlDecoding.h"

namespace qv::dirsvc {
namespace {

using namespace std::string_literals;

TEST(PercentDecodeTest, DecodesEscapesToRawBytesAndKeepsEverythingElse) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"John%20Doe%5F1", "John Doe_1"},
        {"a+b", "a+b"},  // '+' is a literal plus
        {"%00%FF%ff", "\0\xFF\xFF"s},
        {"100%", "100%"},
        {"%4", "%4"},
        {"%G1x", "%G1x"},
        {"%%41", "%A"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PercentDecode(c.in), c.out) << c.in;
    }
}

TEST(QueryTest, SplitsAtRawAmpersandsAndMatchesKeysWithoutCase) {
    const Query query = Query::Parse("ConnectionID=abc&Group=A+B&Text=a%26b&flag&&Empty=");
    std::string value;
    ASSERT_EQ(query.Find("connectionid", value), Query::Lookup::kFound);
    EXPECT_EQ(value, "abc");
    ASSERT_EQ(query.Find("CONNECTIONID", value), Query::Lookup::kFound);
    ASSERT_EQ(query.Find("group", value), Query::Lookup::kFound);
    EXPECT_EQ(value, "A+B");
    ASSERT_EQ(query.Find("Text", value), Query::Lookup::kFound);
    EXPECT_EQ(value, "a&b");
    ASSERT_EQ(query.Find("Flag", value), Query::Lookup::kFound);
    EXPECT_EQ(value, "");
    ASSERT_EQ(query.Find("Empty", value), Query::Lookup::kFound);
    EXPECT_EQ(value, "");
    EXPECT_EQ(query.Find("Missing", value), Query::Lookup::kMissing);
    EXPECT_EQ(query.Size(), 5u);
}

TEST(QueryTest, RepeatedKeysInAnyCaseAreReported) {
    const Query query = Query::Parse("LoginId=1&LOGINID=2&%4Cogin%49d=3");
    std::string value;
    EXPECT_EQ(query.Find("LoginId", value), Query::Lookup::kRepeated);
}

TEST(QueryTest, EncodedKeysAreDecoded) {
    const Query query = Query::Parse("%50assword=x%00y");
    std::string value;
    ASSERT_EQ(query.Find("password", value), Query::Lookup::kFound);
    EXPECT_EQ(value, "x\0y"s);
}

TEST(RequestTargetTest, RecognisesPagesWithEverySeparatorAndAnyCase) {
    struct Case {
        std::string target;
        RequestTarget::Kind kind;
        std::string page;
        std::string query;
    };
    using K = RequestTarget::Kind;
    const Case cases[] = {
        {"\\Quorvane\\LoginEx2.asp?LoginId=1", K::kPage, "loginex2", "LoginId=1"},
        {"/Quorvane/loginex2.asp?a=b?c", K::kPage, "loginex2", "a=b?c"},
        {"%5CQuorvane%5CLoginEx2.asp?x", K::kPage, "loginex2", "x"},
        {"%5cquorvane%5cLOGINEX2.ASP", K::kPage, "loginex2", ""},
        {"//Quorvane\\/GetUserProfile.asp", K::kPage, "getuserprofile", ""},
        {"/Quorvane/FindEx3_Next.asp?FindHandle=1", K::kPage, "findex3_next", "FindHandle=1"},
        {"/", K::kRoot, "", ""},
        {"", K::kRoot, "", ""},
        {"/it.html", K::kProbe, "", ""},
        {"\\IT.HTML", K::kProbe, "", ""},
        {"/Quorvane/.asp", K::kUnknown, "", ""},
        {"/Quorvane/Login Ex2.asp", K::kUnknown, "", ""},
        {"/Quorvane/../LoginEx2.asp", K::kUnknown, "", ""},
        {"/Other/LoginEx2.asp", K::kUnknown, "", ""},
        {"/Quorvane/LoginEx2.aspx", K::kUnknown, "", ""},
        {"/Quorvane/LoginEx2.asp%00.txt", K::kUnknown, "", ""},
        {"/x/Quorvane/LoginEx2.asp", K::kUnknown, "", ""},
    };
    for (const Case& c : cases) {
        const RequestTarget target = RequestTarget::Parse(c.target);
        EXPECT_EQ(target.kind, c.kind) << c.target;
        EXPECT_EQ(target.page, c.page) << c.target;
        EXPECT_EQ(target.rawQuery, c.query) << c.target;
    }
}

TEST(ReplyTest, SuccessEndsEveryItemWithTheSeparator) {
    const Reply reply = Reply::Success().Field("ConnectId", "77").Field("Ver", 3).Item("x");
    EXPECT_EQ(reply.Body(),
              "Success\xFF"
              "ConnectId=77\xFF"
              "Ver=3\xFFx\xFF");
    EXPECT_TRUE(reply::IsSuccess(reply.Body()));
    EXPECT_EQ(reply::Field(reply.Body(), "ConnectId"), "77");
    EXPECT_EQ(reply.Status(), 200);
}

TEST(ReplyTest, FailureCarriesTheMessageAndNothingAfterIt) {
    Reply reply = Reply::Fail("Not Blocked");
    reply.Field("Ignored", "x").Item("y");
    EXPECT_EQ(reply.Body(), "Fail\xFFNot Blocked");
    EXPECT_FALSE(reply.Succeeded());
    EXPECT_EQ(reply::ErrorText(reply.Body()), "Not Blocked");
}

TEST(ReplyTest, SeparatorAndNulInsideValuesBecomeSpaces) {
    const Reply reply = Reply::Success().Field("Comment",
                                               "a\xFF"
                                               "b\0c"s);
    EXPECT_EQ(reply.Body(),
              "Success\xFF"
              "Comment=a b c\xFF");
    EXPECT_EQ(Reply::Fail("x\xFFy").Body(), "Fail\xFFx y");
}

TEST(ReplyTest, ReplayedBodyKeepsItsOutcome) {
    EXPECT_TRUE(Reply::Replayed("Success\xFF"
                                "a=1\xFF")
                    .Succeeded());
    EXPECT_FALSE(Reply::Replayed("Fail\xFFno").Succeeded());
}

TEST(RequestFramingTest, FindsWhereEachRequestEnds) {
    using State = RequestFrame::State;
    const std::string get = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
    const std::string post = "POST /p HTTP/1.1\r\ncontent-length: 5\r\n\r\n";
    const struct {
        std::string received;
        State state;
        size_t length;
        bool closeAfter;
    } cases[] = {
        {"", State::kNeedMore, 0, false},
        {"GET / HTTP/1.1\r\nHost", State::kNeedMore, 0, false},
        {get, State::kComplete, get.size(), false},
        {get + "GET /", State::kComplete, get.size(), false},
        {post + "abc", State::kNeedMore, 0, false},
        {post + "abcdeGET", State::kComplete, post.size() + 5, false},
        // Too large, not a length, two lengths, chunked: the head alone, then the end.
        {"POST /p HTTP/1.1\r\nContent-Length: 101\r\n\r\n", State::kComplete, 41, true},
        {"POST /p HTTP/1.1\r\nContent-Length: -1\r\n\r\n", State::kComplete, 40, true},
        {"POST /p HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", State::kComplete, 58,
         true},
        {"POST /p HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", State::kComplete, 48, true},
        // A head that does not end within the bound.
        {std::string(300, 'x'), State::kComplete, 256, true},
        {std::string(255, 'x'), State::kNeedMore, 0, false},
    };
    for (const auto& c : cases) {
        const RequestFrame frame = FrameRequest(c.received, 256, 100);
        EXPECT_EQ(frame.state, c.state) << c.received;
        if (c.state == State::kComplete) {
            EXPECT_EQ(frame.length, c.length) << c.received;
            EXPECT_EQ(frame.closeAfter, c.closeAfter) << c.received;
        }
    }
    const RequestFrame waiting = FrameRequest(
        "POST /p HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 9\r\n\r\n", 256, 100);
    EXPECT_EQ(waiting.state, State::kNeedMore);
    EXPECT_TRUE(waiting.headComplete);
    EXPECT_TRUE(waiting.expectContinue);
    EXPECT_EQ(waiting.bodyLength, 9u);
}

}  // namespace
}  // namespace qv::dirsvc
