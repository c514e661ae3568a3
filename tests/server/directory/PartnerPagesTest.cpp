// GetPartnersList and GetPartnerForums against the running service, with partner data loaded
// the way the --partners option loads it.

#include <gtest/gtest.h>

#include "PartnerSeedFile.h"
#include "ServiceFixture.h"
#include "directory/ReplyGrammar.h"
#include "store/PartnerStore.h"

namespace qv::dirsvc::test {
namespace {

constexpr const char* kFile =
    "# two partners\n"
    "partner 2 Acme Travel\n"
    "site example.com\n"
    "rule ^http://www\\.example\\.com/chat/.*\tJoinAsForum=1&ForumName=Example Chat\n"
    "rule .*/private/.*\tDisable=1\n"
    "site shop.example.org\n"
    "partner 7 Empty\n";

class PartnerPagesTest : public ServiceFixture {
  protected:
    // Loads partner text as main does; false (and nothing loaded) when it is refused.
    bool Load(const std::string& text) {
        PartnerSeed seed;
        std::string error;
        if (!PartnerSeedFile::Parse(text, seed, error)) {
            return false;
        }
        bool changed = false;
        return service_->Partners().Replace(seed, changed) == StoreStatus::kOk;
    }
};

TEST_F(PartnerPagesTest, TheListAndTheRulesAreWhatTheClientParses) {
    const NewUser ann = Register("Ann");
    const std::string id = Connect(ann);
    const std::string list = "\\Quorvane\\GetPartnersList.asp?ConnectionId=" + id;
    EXPECT_EQ(Body(list), "Success\xFF");
    ASSERT_TRUE(Load(kFile));
    EXPECT_EQ(Body(list),
              "Success\xFF"
              "2\xFF"
              "Acme Travel\xFF"
              "2\xFF"
              "example.com\xFF"
              "1\xFF"
              "shop.example.org\xFF"
              "1\xFF"
              "7\xFF"
              "Empty\xFF"
              "0\xFF");
    // Public, like GetPartnerParams: no connection id.
    EXPECT_EQ(Body("\\Quorvane\\GetPartnerForums.asp?PartnerId=2&BaseURL=example.com"),
              "Success\xFF"
              "^http://www\\.example\\.com/chat/.*\xFF"
              "JoinAsForum=1&ForumName=Example Chat\xFF"
              ".*/private/.*\xFF"
              "Disable=1\xFF");
    EXPECT_EQ(Body("/Quorvane/GetPartnerForums.asp?PartnerId=2&BaseURL=EXAMPLE.com"),
              Body("/Quorvane/GetPartnerForums.asp?PartnerId=2&BaseURL=example.com"));
    EXPECT_EQ(Body("/Quorvane/GetPartnerForums.asp?PartnerId=2&BaseURL=shop.example.org"),
              "Success\xFF");
    for (const std::string query :
         {"PartnerId=7&BaseURL=example.com", "PartnerId=3&BaseURL=example.com",
          "PartnerId=2&BaseURL=other.com", "PartnerId=2&BaseURL="}) {
        EXPECT_EQ(Body("/Quorvane/GetPartnerForums.asp?" + query), "Fail\xFFUnknown partner site")
            << query;
    }
    EXPECT_EQ(Body("/Quorvane/GetPartnerForums.asp?PartnerId=x&BaseURL=example.com"),
              "Fail\xFFInvalid PartnerId");
}

TEST_F(PartnerPagesTest, LoginReportsThePartnerListVersionAsItMoves) {
    const NewUser ann = Register("Ann");
    const auto listVersion = [&] {
        return reply::Field(Login(ann.number, ann.password), "PartnerListVer");
    };
    EXPECT_EQ(listVersion(), "0");
    ASSERT_TRUE(Load(kFile));
    EXPECT_EQ(listVersion(), "1");
    ASSERT_TRUE(Load(kFile));  // the same data again
    EXPECT_EQ(listVersion(), "1");
    EXPECT_FALSE(Load("partner 2 A\nrule x\ty\n"));
    EXPECT_EQ(listVersion(), "1");
    // One more rule for shop.example.org: the list and that site move by one.
    ASSERT_TRUE(Load(std::string(kFile).replace(std::string(kFile).find("partner 7"), 0,
                                                "rule .*\tDisable=1\n")));
    EXPECT_EQ(listVersion(), "2");
    const std::string id = Connect(ann);
    const std::string list = Body("\\Quorvane\\GetPartnersList.asp?ConnectionId=" + id);
    EXPECT_NE(list.find("example.com\xFF"
                        "1\xFF"
                        "shop.example.org\xFF"
                        "2\xFF"),
              std::string::npos)
        << list;
    EXPECT_EQ(Body("/Quorvane/GetPartnerForums.asp?PartnerId=2&BaseURL=shop.example.org"),
              "Success\xFF.*\xFF"
              "Disable=1\xFF");
    ASSERT_TRUE(Load("remove 7\n"));
    EXPECT_EQ(listVersion(), "3");
}

}  // namespace
}  // namespace qv::dirsvc::test
