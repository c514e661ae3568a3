#include "directory/FieldChecks.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

struct NameCase {
    std::string text;
    int nickCode;
    int nameCode;
    std::string trimmed;
};

TEST(FieldChecksTest, NamesAndNicknames) {
    const std::vector<NameCase> cases = {
        {"12", kNameInvalid, kNameInvalid, "12"},  // digits only (and no letter)
        {"A1", kNameValid, kNameValid, "A1"},
        {"John.Doe", kNameInvalid, kNameInvalid, "John.Doe"},
        {std::string(33, 'a'), kNameTooLong, kNameTooLong, std::string(33, 'a')},
        {std::string(32, 'a'), kNameValid, kNameValid, std::string(32, 'a')},
        {"  Al  ", kNameValid, kNameValid, "Al"},
        {"\tAl\r\n", kNameValid, kNameValid, "Al"},
        {"", kNameEmpty, kNameEmpty, ""},
        {"   ", kNameEmpty, kNameEmpty, ""},
        {"A", kNameTooShort, kNameTooShort, "A"},
        {"1 2", kNameInvalid, kNameInvalid, "1 2"},  // digits and spaces only
        {"[_]", kNameInvalid, kNameValid, "[_]"},    // allowed, but no letter for a nickname
        {"{a}`-_[]", kNameValid, kNameValid, "{a}`-_[]"},
        {"a^b", kNameInvalid, kNameInvalid, "a^b"},
        {"a|b", kNameInvalid, kNameInvalid, "a|b"},
        {"a~b", kNameInvalid, kNameInvalid, "a~b"},
        {"a\\b", kNameInvalid, kNameInvalid, "a\\b"},
        {"a/b", kNameInvalid, kNameInvalid, "a/b"},
        {"Jos\xC3\xA9", kNameInvalid, kNameInvalid, "Jos\xC3\xA9"},
        {"a\x01"
         "b",
         kNameInvalid, kNameInvalid,
         "a\x01"
         "b"},
        {"Mary Ann", kNameValid, kNameValid, "Mary Ann"},
    };
    for (const NameCase& c : cases) {
        std::string nick = c.text;
        std::string name = c.text;
        EXPECT_EQ(CheckNickName(nick), c.nickCode) << c.text;
        EXPECT_EQ(CheckName(name), c.nameCode) << c.text;
        EXPECT_EQ(nick, c.trimmed);
        EXPECT_EQ(name, c.trimmed);
    }
    std::string digits = "1234";
    EXPECT_EQ(CheckName(digits, 32, true), kNameValid);
    EXPECT_EQ(CheckNickName(digits, 32, true), kNameInvalid);  // still needs a letter
    std::string longer = "abcdef";
    EXPECT_EQ(CheckName(longer, 5), kNameTooLong);
}

TEST(FieldChecksTest, EmailAddresses) {
    struct Case {
        std::string text;
        bool valid;
    };
    const std::vector<Case> cases = {
        {"a@b.c", true},
        {"@b.c", false},    // nothing before the at sign
        {"a@.c", false},    // nothing between the at sign and the full stop
        {"a@b", false},     // no full stop after the at sign
        {"a@b.c.", false},  // ends with a full stop
        {"a @b.c", false},  // a space before the at sign
        {"", false},
        {"ab.c", false},
        {"a@b@c.d", false},
        {"a@b c.d", false},
        {"a@b.c@d", true},  // what follows the first full stop is not looked at
        {"  john.doe@example.com  ", true},
        {"first.last@sub.example.org", true},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(CheckEmail(text), c.valid) << c.text;
    }
    std::string padded = " a@b.c ";
    CheckEmail(padded);
    EXPECT_EQ(padded, "a@b.c");
}

}  // namespace
}  // namespace qv
