#include "directory/ReplyGrammar.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv::reply {
namespace {

const std::string S(1, kItemSeparator);

TEST(ReplyGrammarTest, SuccessAndErrorText) {
    struct Case {
        std::string reply;
        bool success;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"Success" + S + "a=1" + S, true, kDatabaseConnectionMessage},
        {"Success", true, kDatabaseConnectionMessage},
        {"success" + S, false, kDatabaseConnectionMessage},  // case-sensitive
        {" Success", false, kDatabaseConnectionMessage},     // at the very first character
        {"Fail" + S + "Invalid password", false, "Invalid password"},
        {"Fail:two" + S + "parts", false, "two" + S + "parts"},  // message runs to the end
        {"Fail", false, ""},
        {"Fail" + S, false, ""},
        {"", false, kDatabaseConnectionMessage},
        {"<html>500 Internal Server Error</html>", false, kDatabaseConnectionMessage},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSuccess(c.reply), c.success) << c.reply;
        if (!c.success) {
            EXPECT_EQ(ErrorText(c.reply), c.error) << c.reply;
        }
    }
}

TEST(ReplyGrammarTest, KeyedFields) {
    const std::string reply = "Success" + S + "UserID=42" + S + "NickName=bob=the=builder" + S +
                              "Version=7" + S + "MyVersion=9" + S + "Last=end";
    struct Case {
        std::string key;
        std::string value;
    };
    const std::vector<Case> cases = {
        {"UserID", "42"},
        {"UserID=", "42"},                // key already ends in '='
        {"NickName", "bob=the=builder"},  // value runs to the separator, not the next '='
        {"Version", "7"},                 // first occurrence wins
        {"MyVersion", "9"},
        {"Last", "end"},  // no terminator: to the end of the text
        {"userid", ""},   // case-sensitive
        {"Missing", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Field(reply, c.key), c.value) << c.key;
    }
    // Substring search: a key can match inside a longer key.
    EXPECT_EQ(Field("Success" + S + "PartnerParamsVer=3" + S, "ParamsVer"), "3");
}

TEST(ReplyGrammarTest, UrlParametersEndAtAmpersand) {
    const std::string url = "\\Quorvane\\AddContact.asp?ConnID=ab12&ContactName=Jo%20Doe&Id=5";
    EXPECT_EQ(UrlParameter(url, "ContactName"), "Jo%20Doe");
    EXPECT_EQ(UrlParameter(url, "Id"), "5");
    EXPECT_EQ(UrlParameter(url, "Nope"), "");
}

TEST(ReplyGrammarTest, ItemsAreConsumedFromTheFront) {
    ItemReader r("Success" + S + "a" + S + S + "last");
    std::vector<std::string> items;
    std::string item;
    while (r.Next(item)) {
        items.push_back(item);
    }
    EXPECT_EQ(items, (std::vector<std::string>{"Success", "a", "", "last"}));
    EXPECT_FALSE(r.Next(item));

    ItemReader trailing("x" + S);
    EXPECT_TRUE(trailing.Next(item));
    EXPECT_EQ(item, "x");
    EXPECT_FALSE(trailing.Next(item));  // an empty rest is the end, not an empty item
}

TEST(ReplyGrammarTest, SectionsCutAtTheirTerminator) {
    ItemReader r("Success" + S + "Groups:g1" + S + "g2" + S + "EndGroups" + S + "tail");
    std::string section;
    ASSERT_TRUE(r.Section("Groups", "EndGroups", section));
    EXPECT_EQ(section, "g1" + S + "g2" + S);
    EXPECT_EQ(r.Rest(), "EndGroups" + S + "tail");

    ItemReader open("Groups:a" + S + "b");
    ASSERT_TRUE(open.Section("Groups", "End", section));
    EXPECT_EQ(section, "a" + S + "b");
    EXPECT_TRUE(open.Empty());

    ItemReader none("abc");
    EXPECT_FALSE(none.Section("Groups", "End", section));
    EXPECT_EQ(none.Rest(), "abc");

    ItemReader keyAtEnd("Groups");  // nothing after the key: an empty section
    ASSERT_TRUE(keyAtEnd.Section("Groups", "End", section));
    EXPECT_EQ(section, "");
}

TEST(ReplyGrammarTest, Numbers) {
    EXPECT_EQ(Number("42"), 42);
    EXPECT_EQ(Number("  -17x"), -17);
    EXPECT_EQ(Number("abc"), 0);
    EXPECT_EQ(Number(""), 0);
    EXPECT_EQ(Number("99999999999999999999999"), std::numeric_limits<long>::max());
    EXPECT_EQ(HexNumber("1F"), 0x1Fu);
    EXPECT_EQ(HexNumber("0x00ff"), 0xFFu);
    EXPECT_EQ(HexNumber("zz"), 0u);
}

}  // namespace
}  // namespace qv::reply

namespace qv::reply {
namespace {

TEST(ReplyGrammarTest, ItemFieldMatchesWholeItemsOnly) {
    const std::string S(1, kItemSeparator);
    const std::string reply = "Success" + S + "LoginDLLVersion=3" + S + "Version=8" + S +
                              "URL=http://x/?IMLabel=y" + S + "Empty=" + S;
    EXPECT_EQ(ItemField(reply, "Version"), "8");
    EXPECT_EQ(ItemField(reply, "LoginDLLVersion"), "3");
    EXPECT_EQ(ItemField(reply, "IMLabel"), std::nullopt);
    EXPECT_EQ(ItemField(reply, "Empty"), "");
    EXPECT_EQ(ItemField(reply, "Missing"), std::nullopt);
    // The keyed-field reader finds the first occurrence wherever it is.
    EXPECT_EQ(Field(reply, "Version"), "3");
}

}  // namespace
}  // namespace qv::reply

namespace qv::reply {
namespace {

TEST(ReplyGrammarTest, FailureRuleEdgeCases) {
    const std::string S(1, kItemSeparator);
    EXPECT_EQ(ErrorText("Fail" + S + "User not found"), "User not found");
    EXPECT_EQ(ErrorText("Failure"), "re");
    EXPECT_EQ(ErrorText("FAIL" + S + "x"), kDatabaseConnectionMessage);  // case-sensitive
    EXPECT_FALSE(IsSuccess("success"));
    EXPECT_FALSE(IsSuccess("\r\nSuccess"));
    EXPECT_TRUE(IsSuccess("Successful"));  // only the beginning is looked at
}

TEST(ReplyGrammarTest, RequiredFieldsTellAbsentFromEmpty) {
    const std::string S(1, kItemSeparator);
    const std::string reply = "Success" + S + "Company=" + S + "Zip=1" + S;
    EXPECT_EQ(FindField(reply, "Company"), "");
    EXPECT_EQ(FindField(reply, "Zip"), "1");
    EXPECT_EQ(FindField(reply, "City"), std::nullopt);
    EXPECT_EQ(FindKeyedField("a=1&b=2", "b", '&'), "2");
    EXPECT_EQ(FindKeyedField("a=1&b=2", "c", '&'), std::nullopt);
}

TEST(ReplyGrammarTest, TextAfterKeyRunsToTheEnd) {
    EXPECT_EQ(TextAfterKey("\\Q\\P.asp?ConnectionID=c&LoginId=12", "LoginId"), "12");
    EXPECT_EQ(TextAfterKey("\\Q\\P.asp?LoginId=12&x=y", "LoginId"), "12&x=y");
    EXPECT_EQ(TextAfterKey("\\Q\\P.asp?x=y", "LoginId"), "");
}

TEST(ReplyGrammarTest, CaseInsensitiveComparison) {
    EXPECT_TRUE(EqualsNoCase("Invalid userid or password", "invalid USERID or password"));
    EXPECT_FALSE(EqualsNoCase("Invalid userid or password", "Invalid userid or password "));
    EXPECT_TRUE(EqualsNoCase("", ""));
}

}  // namespace
}  // namespace qv::reply

namespace qv::reply {
namespace {

TEST(ReplyGrammarTest, ReaderMovesACursorOverTheReplyWithoutCopyingIt) {
    const std::string S(1, kItemSeparator);
    const std::string reply = "Success" + S + "a" + S + "Groups:g" + S + "End" + S + "tail";
    ItemReader r{std::string_view(reply)};
    std::string item;
    ASSERT_TRUE(r.Next(item));
    // The rest is the caller's own text, not a copy made (and shortened) for every item.
    EXPECT_EQ(r.Rest().data(), reply.data() + 8);
    ASSERT_TRUE(r.Next(item));
    EXPECT_EQ(r.Rest().data(), reply.data() + 10);
    std::string section;
    ASSERT_TRUE(r.Section("Groups", "End", section));
    EXPECT_EQ(section, "g" + S);
    EXPECT_EQ(r.Rest().data(), reply.data() + reply.find("End"));
    std::string_view view;
    ASSERT_TRUE(r.Next(view));
    EXPECT_EQ(view, "End");
    EXPECT_EQ(view.data(), reply.data() + reply.find("End"));
    ASSERT_TRUE(r.Next(view));
    EXPECT_EQ(view, "tail");
    EXPECT_TRUE(r.Empty());
    EXPECT_FALSE(r.Next(view));
}

TEST(ReplyGrammarTest, ItemFieldsReadsEveryKeyedItemInOnePass) {
    const std::string S(1, kItemSeparator);
    const std::string reply = "Success" + S + "LoginDLLVersion=3" + S + "Version=8" + S +
                              "URL=http://x/?IMLabel=y" + S + "Empty=" + S + "=nokey" + S +
                              "Version=9" + S + "plain";
    const auto fields = ItemFields(reply);
    EXPECT_EQ(fields.size(), 4u);
    for (const char* key : {"Version", "LoginDLLVersion", "IMLabel", "Empty", "Missing", "URL"}) {
        const auto one = ItemField(reply, key);
        const auto it = fields.find(key);
        ASSERT_EQ(one.has_value(), it != fields.end()) << key;
        if (one) {
            EXPECT_EQ(*one, it->second) << key;
        }
    }
    EXPECT_EQ(fields.at("Version"), "8");  // the first one wins
    EXPECT_EQ(fields.at("URL"), "http://x/?IMLabel=y");
}

}  // namespace
}  // namespace qv::reply
