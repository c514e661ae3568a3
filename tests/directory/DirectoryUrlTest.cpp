#include "directory/DirectoryUrl.h"

#include <gtest/gtest.h>

#include <vector>

#include "directory/HttpSession.h"
#include "directory/RequestKind.h"

namespace qv {
namespace {

TEST(DirectoryUrlTest, EncodeParamKeepsOnlyLettersAndDigits) {
    struct Case {
        std::string value;
        std::string encoded;
    };
    const std::vector<Case> cases = {
        {"John Doe_1", "John%20Doe%5F1"},
        {"a&b", "a%26b"},
        {"AZaz09", "AZaz09"},
        {"a\xFF"
         "b",
         "a b"},  // the item separator becomes a plain space
        {"\xE9t\xE9", "%E9t%E9"},
        {"100%", "100%25"},
        {"x=y?z#", "x%3Dy%3Fz%23"},
        {std::string("\0\x7F", 2), "%00%7F"},
        {"__EMPTY__", "%5F%5FEMPTY%5F%5F"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeParam(c.value), c.encoded) << c.value;
    }
}

TEST(DirectoryUrlTest, CanonicalFormEncodesSpacesOnlyAndHasALimit) {
    EXPECT_EQ(CanonicalizeUrl("http://h/Q?a=b c&d=%41+\xE9"), "http://h/Q?a=b%20c&d=%41+\xE9");
    const std::string fits(kCanonicalUrlBuffer - 1, 'a');
    EXPECT_EQ(CanonicalizeUrl(fits), fits);
    EXPECT_EQ(CanonicalizeUrl(fits + "a"), std::nullopt);
    // The limit is on the encoded form.
    EXPECT_EQ(CanonicalizeUrl(std::string(kCanonicalUrlBuffer - 3, 'a') + " "), std::nullopt);
    EXPECT_TRUE(CanonicalizeUrl(std::string(kCanonicalUrlBuffer - 4, 'a') + " "));
}

TEST(DirectoryUrlTest, FullUrlTurnsBackslashesOfThePathOnly) {
    EXPECT_EQ(FullRequestUrl("dir.example:8080", "", "\\Quorvane\\LoginEx2.asp?LoginId=1"),
              "http://dir.example:8080/Quorvane/LoginEx2.asp?LoginId=1");
    EXPECT_EQ(FullRequestUrl("h", "\\web", "\\Quorvane\\AddGroup.asp?Group=a\\b c"),
              "http://h/web/Quorvane/AddGroup.asp?Group=a\\b%20c");
    EXPECT_EQ(FullRequestUrl("h", "", ""), "http://h");
}

TEST(DirectoryUrlTest, TheConnectionIdGoesAfterTheFirstKeyInAnyCase) {
    struct Case {
        std::string url;
        bool found;
        std::string patched;
    };
    const std::vector<Case> cases = {
        {"\\Q\\A.asp?ConnectionId=&x=1", true, "\\Q\\A.asp?ConnectionId=77&x=1"},
        {"\\Q\\A.asp?ConnectionID=&LoginId=5", true, "\\Q\\A.asp?ConnectionID=77&LoginId=5"},
        {"\\Q\\A.asp?connectionid=", true, "\\Q\\A.asp?connectionid=77"},
        {"\\Q\\A.asp?ConnectionId=&ConnectionId=", true,
         "\\Q\\A.asp?ConnectionId=77&ConnectionId="},
        {"\\Q\\A.asp?PartnerId=3", false, "\\Q\\A.asp?PartnerId=3"},
    };
    for (Case c : cases) {
        EXPECT_EQ(InsertConnectionId(c.url, "77"), c.found);
        EXPECT_EQ(c.url, c.patched);
    }
}

TEST(DirectoryUrlTest, ReplyTextIsReadInBlocksCutAtZeroBytes) {
    EXPECT_EQ(BodyToReplyText("Success"), "Success");
    EXPECT_EQ(BodyToReplyText(std::string("ab\0cd", 5)), "ab");
    std::string two(1023, 'x');
    two[1000] = '\0';
    two += std::string("yz\0w", 4);
    EXPECT_EQ(BodyToReplyText(two), std::string(1000, 'x') + "yz");
    EXPECT_EQ(BodyToReplyText(std::string(1, '\0')), "");
}

TEST(DirectoryUrlTest, KindsAreHeldAndRefusedAsListed) {
    struct Case {
        RequestKind kind;
        const char* page;
        bool held;
        bool refused;
    };
    const std::vector<Case> cases = {
        {RequestKind::RegisterEx, "RegisterEx", false, false},
        {RequestKind::ModifyProfileEx, "ModifyProfileEx", true, true},
        {RequestKind::LoginEx2, "LoginEx2", false, false},
        {RequestKind::FindEx3, "FindEx3", false, false},
        {RequestKind::FindEx3_Close, "FindEx3_Close", false, false},
        {RequestKind::GetUserProfile, "GetUserProfile", false, false},
        {RequestKind::GetProfileEx, "GetProfileEx", true, false},
        {RequestKind::ForgotPass, "ForgotPass", false, false},
        {RequestKind::Invite, "Invite", true, true},
        {RequestKind::GetMessagesEx, "GetMessagesEx", true, true},
        {RequestKind::GetContacts, "GetContacts", true, true},
        {RequestKind::GetPartnerForums, "GetPartnerForums", true, true},
        {RequestKind::GetPartnerParams, "GetPartnerParams", false, false},
        {RequestKind::SendVoiceMail, "SendVoiceMail", true, true},
        {RequestKind::ReadVoiceMail, "ReadVoiceMail", true, true},
        {static_cast<RequestKind>(9), "", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PageName(c.kind), c.page);
        EXPECT_EQ(IsHeldKind(c.kind), c.held) << c.page;
        EXPECT_EQ(IsRefusedKind(c.kind), c.refused) << c.page;
    }
}

}  // namespace
}  // namespace qv
