#include "engine/IdList.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(IdListTest, EntriesAreWholeLines) {
    EXPECT_EQ(AsListEntry("12"), "12\n");
    EXPECT_EQ(AsListEntry("12\n"), "12\n");
    EXPECT_FALSE(HasListEntry("312\n", "12\n"));
    EXPECT_FALSE(HasListEntry("123\n", "12\n"));
    EXPECT_TRUE(HasListEntry("312\n12\n", "12\n"));
    EXPECT_TRUE(HasListEntry("12\n312\n", "12\n"));
    EXPECT_FALSE(HasListEntry("", "12\n"));
}

TEST(IdListTest, RemovingCutsTheFirstWholeLineOnly) {
    std::string list = "312\n12\n5\n12\n";
    EXPECT_TRUE(RemoveListEntry(list, "12\n"));
    EXPECT_EQ(list, "312\n5\n12\n");
    std::string other = "312\n";
    EXPECT_FALSE(RemoveListEntry(other, "12\n"));
    EXPECT_EQ(other, "312\n");
}

TEST(IdListTest, CountsNonEmptyLinesOtherThanSkip) {
    EXPECT_EQ(CountListEntries("", "42"), 0u);
    EXPECT_EQ(CountListEntries("1\n2\n3\n", ""), 3u);
    EXPECT_EQ(CountListEntries("1\n42\n3\n", "42"), 2u);
    EXPECT_EQ(CountListEntries("1\n\n3", ""), 2u);  // empty lines are no entries
    EXPECT_EQ(CountListEntries("142\n42\n", "42"), 1u);
}

}  // namespace
}  // namespace qv
