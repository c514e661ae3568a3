#include "stores/ContactTreeOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qv {
namespace {

using K = ContactTreeKey;

K Group(std::string_view name) {
    return K{K::kGroup, name, 0, 0};
}
K Contact(std::string_view nick, std::uint32_t flags, std::uint32_t alertTime = 0) {
    return K{K::kContact, nick, flags, alertTime};
}

struct PairCase {
    const char* why;
    K a;
    K b;
    bool aFirst;
    bool bFirst;
};

TEST(ContactTreeOrderTest, PairsOfSiblings) {
    const std::vector<PairCase> cases = {
        {"group before contact", Group("zz"), Contact("aa", 1), true, false},
        {"groups by name", Group("Family"), Group("Work"), true, false},
        {"group names ignore case", Group("family"), Group("FAMILY"), false, false},
        {"case does not decide", Group("alpha"), Group("Beta"), true, false},
        {"shorter prefix first", Group("Work"), Group("Workmates"), true, false},
        {"online before offline", Contact("zed", 1), Contact("abe", 0), true, false},
        {"hidden counts as offline", Contact("abe", 0x21), Contact("zed", 1), false, true},
        {"two hidden by name", Contact("abe", 0x21), Contact("zed", 0x20), true, false},
        {"variant bits are online", Contact("zed", 0x05), Contact("abe", 0), true, false},
        {"any online variant is equal", Contact("abe", 0x05), Contact("bob", 0x01), true, false},
        {"later alert first", Contact("abe", 1, 100), Contact("bob", 1, 200), false, true},
        {"alert before none", Contact("zed", 1, 5), Contact("abe", 1, 0), true, false},
        {"alert after online state", Contact("abe", 0, 900), Contact("zed", 1, 0), false, true},
        {"alert time after 2038 is later", Contact("a", 1, 0x80000001u),
         Contact("b", 1, 0x7FFFFFFF), true, false},
        {"same alert time by name", Contact("Bob", 1, 7), Contact("amy", 1, 7), false, true},
        {"nickname ignores case", Contact("bob", 1), Contact("BOB", 1), false, false},
        {"nickname order", Contact("Amy", 0), Contact("bob", 0), true, false},
        {"bytes above 127 compare unsigned", Contact("a\xE9", 0), Contact("az", 0), false, true},
        {"empty name first", Contact("", 0), Contact("a", 0), true, false},
    };
    for (const PairCase& c : cases) {
        EXPECT_EQ(ContactTreeLess(c.a, c.b), c.aFirst) << c.why;
        EXPECT_EQ(ContactTreeLess(c.b, c.a), c.bFirst) << c.why;
    }
}

TEST(ContactTreeOrderTest, SortsAMixedListOfSiblings) {
    std::vector<K> items = {
        Contact("dave", 0),   Contact("Carol", 1),     Group("work"),
        Contact("bob", 0x21), Contact("alice", 1, 50), Contact("Eve", 1, 90),
        Group("Family"),      Contact("frank", 0x09),  Contact("ALBERT", 0),
    };
    std::stable_sort(items.begin(), items.end(), ContactTreeLess);
    std::vector<std::string> names;
    for (const K& k : items) {
        names.emplace_back(k.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Family", "work", "Eve", "alice", "Carol", "frank",
                                               "ALBERT", "bob", "dave"}));
}

TEST(ContactTreeOrderTest, CompareNoCase) {
    EXPECT_EQ(CompareNoCase("abc", "ABC"), 0);
    EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
    EXPECT_GT(CompareNoCase("b", "A"), 0);
    EXPECT_LT(CompareNoCase("", "a"), 0);
    EXPECT_EQ(CompareNoCase("", ""), 0);
    // '_' lies between the upper and lower case letters: folding to lower puts it first.
    EXPECT_LT(CompareNoCase("_x", "a"), 0);
}

}  // namespace
}  // namespace qv
