#include "pages/FieldRules.h"

#include <gtest/gtest.h>

#include <string>

namespace qv::dirsvc::fields {
namespace {

TEST(FieldRulesTest, NicknameCodesFollowTheClientsRule) {
    struct Case {
        std::string nick;
        int code;
    };
    const Case cases[] = {
        {"", 1},
        {"A", 2},
        {"A1", 0},
        {"Al", 0},
        {"12", 4},
        {"1 2", 4},
        {"John.Doe", 4},
        {"John Doe_1", 0},
        {"[x]`{y}-", 0},
        {"a/b", 4},
        {"a\\b", 4},
        {"a^b", 4},
        {"a|b", 4},
        {"a~b", 4},
        {"a'b", 4},
        {"a\xE9", 4},
        {"a\xFF", 4},
        {std::string("a\0b", 3), 4},
        {std::string(32, 'a'), 0},
        {std::string(33, 'a'), 3},
        {"__", 4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckNickName(c.nick), c.code) << c.nick;
    }
}

TEST(FieldRulesTest, StaffPrefixesAreReserved) {
    EXPECT_TRUE(IsReservedNickName("CS Mary"));
    EXPECT_TRUE(IsReservedNickName("cs mary"));
    EXPECT_TRUE(IsReservedNickName("velmoraAdmin"));
    EXPECT_TRUE(IsReservedNickName("QUORVANE"));
    EXPECT_FALSE(IsReservedNickName("CSMary"));
    EXPECT_FALSE(IsReservedNickName("Bob"));
}

TEST(FieldRulesTest, EmailRuleAndTheStricterMailRule) {
    struct Case {
        std::string email;
        bool valid;
        bool mailable;
    };
    const Case cases[] = {
        {"a@b.c", true, true},
        {"@b.c", false, false},
        {"a@.c", false, false},
        {"a@b", false, false},
        {"a@b.c.", false, false},
        {"a @b.c", false, false},
        {"a@b c.d", false, false},
        {"a@b@c.d", false, false},
        {"", false, false},
        {"first.last+tag@mail.example.com", true, true},
        {"a@b.c,victim@d.e", true, false},
        {"a@b.c;x", true, false},
        {"<a@b.c>", true, false},
        {"a@b.c\r\nBcc: x@y.z", true, false},
        {"a\xE9@b.c", true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsValidEmail(c.email), c.valid) << c.email;
        EXPECT_EQ(IsMailableEmail(c.email), c.mailable) << c.email;
    }
    EXPECT_FALSE(IsMailableEmail("a@b." + std::string(60, 'c')));
}

TEST(FieldRulesTest, PlainTextRefusesControlBytesAndTheSeparator) {
    EXPECT_TRUE(IsPlainText("Acme & Sons \xE9", 63));
    EXPECT_TRUE(IsPlainText("", 63));
    EXPECT_FALSE(IsPlainText("a\nb", 63));
    EXPECT_FALSE(IsPlainText(std::string("a\0b", 3), 63));
    EXPECT_FALSE(IsPlainText("a\xFF", 63));
    EXPECT_FALSE(IsPlainText("a\x7F", 63));
    EXPECT_FALSE(IsPlainText(std::string(64, 'x'), 63));
    EXPECT_TRUE(IsAcceptablePassword("s3cret w/ spaces"));
    EXPECT_FALSE(IsAcceptablePassword(""));
    EXPECT_FALSE(IsAcceptablePassword(std::string(65, 'x')));
}

}  // namespace
}  // namespace qv::dirsvc::fields
