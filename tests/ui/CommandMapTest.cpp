#include "ui/CommandMap.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(CommandMapTest, DispatchesKnownEnabledCommandsOnly) {
    CommandMap map;
    int runs = 0;
    bool enabled = false;
    map.On(1, [&] { ++runs; })
        .On(
            2, [&] { runs += 10; }, [&] { return enabled; });
    EXPECT_TRUE(map.Dispatch(1));
    EXPECT_FALSE(map.Dispatch(2));  // disabled
    EXPECT_FALSE(map.Dispatch(3));  // not ours: passed on
    enabled = true;
    EXPECT_TRUE(map.Dispatch(2));
    EXPECT_EQ(runs, 11);
    EXPECT_TRUE(map.Handles(2));
    EXPECT_FALSE(map.IsEnabled(3));
    map.On(1, [&] { runs = -1; });  // a later entry replaces the earlier one
    map.Dispatch(1);
    EXPECT_EQ(runs, -1);
}

}  // namespace
}  // namespace qv
