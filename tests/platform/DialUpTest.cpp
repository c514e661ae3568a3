#include <gtest/gtest.h>

#include "platform/DialUp.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

TEST(DialUpTest, ListsPppLinksFirstOneFirstConnectedWhenUpAndRunning) {
    test::TempFolder net;
    net.Write("eth0/flags", "0x1043\n");
    net.Write("ppp1/flags", "0x10d1\n");  // up, running
    net.Write("ppp0/flags", "0x1090\n");  // not up
    net.Write("ppp2/flags", "garbage");
    auto dialUp = MakePppDialUp(net.Path());
    ASSERT_TRUE(dialUp->Available());
    auto links = dialUp->Connections();
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(links[0].name, "ppp0");
    EXPECT_EQ(links[0].status, 0u);
    EXPECT_EQ(links[1].status, DialUpConnection::kConnected);
    EXPECT_EQ(links[2].status, 0u);
}

TEST(DialUpTest, NoNetworkFolderMeansNoDialUp) {
    test::TempFolder root;
    auto dialUp = MakePppDialUp(root.File("missing/"));
    EXPECT_FALSE(dialUp->Available());
    EXPECT_TRUE(dialUp->Connections().empty());
}

}  // namespace
}  // namespace qv
