// The operator's partner file: what it reads, and every kind of line it refuses.

#include "PartnerSeedFile.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace qv::dirsvc {
namespace {

using namespace std::string_literals;

TEST(PartnerSeedFileTest, ReadsPartnersSitesRulesAndRemovals) {
    const std::string text =
        "# Partner data\n"
        "\n"
        "partner 2 Acme Travel\n"
        "site example.com\n"
        "rule ^http://www\\.example\\.com/chat/.*\tJoinAsForum=1&ForumName=Example Chat\n"
        "rule .*/private/.*\tDisable=1\r\n"
        "site Shop.Example.org\n"
        "partner 7  Other \n"
        "remove 9\n"
        "site acme.net\n"  // a site after a removal is refused: see below
        ;
    PartnerSeed seed;
    std::string error;
    EXPECT_FALSE(PartnerSeedFile::Parse(text, seed, error));
    EXPECT_EQ(error, "line 10: a site belongs to a partner line before it");

    const std::string good = text.substr(0, text.find("site acme.net"));
    ASSERT_TRUE(PartnerSeedFile::Parse(good, seed, error)) << error;
    ASSERT_EQ(seed.partners.size(), 2u);
    const Partner& acme = seed.partners[0];
    EXPECT_EQ(acme.id, 2);
    EXPECT_EQ(acme.name, "Acme Travel");
    ASSERT_EQ(acme.sites.size(), 2u);
    EXPECT_EQ(acme.sites[0].baseDomain, "example.com");
    ASSERT_EQ(acme.sites[0].rules.size(), 2u);
    EXPECT_EQ(acme.sites[0].rules[0].pattern, "^http://www\\.example\\.com/chat/.*");
    EXPECT_EQ(acme.sites[0].rules[0].parameters, "JoinAsForum=1&ForumName=Example Chat");
    EXPECT_EQ(acme.sites[0].rules[1].parameters, "Disable=1");
    EXPECT_EQ(acme.sites[1].baseDomain, "Shop.Example.org");
    EXPECT_TRUE(acme.sites[1].rules.empty());
    EXPECT_EQ(seed.partners[1].name, "Other");
    EXPECT_TRUE(seed.partners[1].sites.empty());
    EXPECT_EQ(seed.removed, std::vector<std::int64_t>{9});
}

TEST(PartnerSeedFileTest, RefusesEveryBrokenLineWithItsNumber) {
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"site example.com\n", "line 1: a site belongs to a partner line before it"},
        {"partner 2 A\nrule x\ty\n", "line 2: a rule belongs to a site line before it"},
        {"partner 2 A\nsite a.com\nrule no tab\n",
         "line 3: a rule is a pattern, a tab and the parameters"},
        {"partner 2 A\nsite a.com\nrule \tx\n",
         "line 3: a rule's pattern (1 to 255 bytes) and parameters (at most 255) may not hold "
         "control characters"},
        {"partner 2 A\nsite a.com\nrule " + std::string(256, 'p') + "\tx\n",
         "line 3: a rule's pattern (1 to 255 bytes) and parameters (at most 255) may not hold "
         "control characters"},
        {"partner 2 A\nsite a.com\nrule p\t" + std::string(256, 'x') + "\n",
         "line 3: a rule's pattern (1 to 255 bytes) and parameters (at most 255) may not hold "
         "control characters"},
        {"partner 2 A\nsite a.com\nrule p\tx\xFFy\n",
         "line 3: a rule's pattern (1 to 255 bytes) and parameters (at most 255) may not hold "
         "control characters"},
        {"partner 2 A\nsite a.com\nrule p\tx\ty\n",
         "line 3: a rule's pattern (1 to 255 bytes) and parameters (at most 255) may not hold "
         "control characters"},
        {"partner x A\n", "line 1: a partner number is 0 to 65535"},
        {"partner 65536 A\n", "line 1: a partner number is 0 to 65535"},
        {"partner -1 A\n", "line 1: a partner number is 0 to 65535"},
        {"partner 2\n", "line 1: a partner name is 1 to 31 bytes without control characters"},
        {"partner 2 " + std::string(32, 'n') + "\n",
         "line 1: a partner name is 1 to 31 bytes without control characters"},
        {"partner 2 A\x01\n", "line 1: a partner name is 1 to 31 bytes without control characters"},
        {"partner 2 A\npartner 2 B\n", "line 2: partner 2 is named twice"},
        {"partner 2 A\nremove 2\n", "line 2: partner 2 is named twice"},
        {"remove 2 now\n", "line 1: remove takes only a partner number"},
        {"partner 2 A\nsite a.com\nsite A.COM\n", "line 3: site A.COM is named twice"},
        {"partner 2 A\nsite a.com/x\n",
         "line 2: a site is a domain of letters, digits, '-' and '.' (at most 255)"},
        {"partner 2 A\nsite a&b.com\n",
         "line 2: a site is a domain of letters, digits, '-' and '.' (at most 255)"},
        {"partner 2 A\nsite \n",
         "line 2: a site is a domain of letters, digits, '-' and '.' (at most 255)"},
        {"partner 2 A\nsite " + std::string(256, 'd') + "\n",
         "line 2: a site is a domain of letters, digits, '-' and '.' (at most 255)"},
        {"partner 2 A\nSite a.com\n",
         "line 2: unknown line 'Site' (partner, site, rule, remove or # comment)"},
        {"\n\n  # indented is no comment\n",
         "line 3: unknown line '' (partner, site, rule, remove or # comment)"},
        {"partner 2 A\0B\n"s, "line 1: a partner name is 1 to 31 bytes without control characters"},
    };
    for (const Case& c : cases) {
        PartnerSeed seed;
        seed.removed.push_back(77);
        std::string error;
        EXPECT_FALSE(PartnerSeedFile::Parse(c.text, seed, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        // A refused file leaves the result as it was.
        EXPECT_EQ(seed.removed, std::vector<std::int64_t>{77});
        EXPECT_TRUE(seed.partners.empty());
    }
}

TEST(PartnerSeedFileTest, BoundsTheFile) {
    std::string tooManyRules = "partner 2 A\nsite a.com\n";
    for (size_t i = 0; i <= PartnerSeedFile::kMaxRulesPerSite; ++i) {
        tooManyRules += "rule p" + std::to_string(i) + "\tx\n";
    }
    PartnerSeed seed;
    std::string error;
    EXPECT_FALSE(PartnerSeedFile::Parse(tooManyRules, seed, error));
    EXPECT_EQ(error, "line 259: more than 256 rules for a site");
    std::string tooManyPartners;
    for (size_t i = 0; i <= PartnerSeedFile::kMaxPartners; ++i) {
        tooManyPartners += "remove " + std::to_string(i) + "\n";
    }
    EXPECT_FALSE(PartnerSeedFile::Parse(tooManyPartners, seed, error));
    EXPECT_EQ(error, "line 1001: more than 1000 partners");

    qv::test::TempFolder folder;
    EXPECT_FALSE(PartnerSeedFile::Load(folder.File("missing.txt"), seed, error));
    EXPECT_EQ(error, "cannot open the partner file '" + folder.File("missing.txt") + "'");
    const std::string big =
        folder.Write("big.txt", std::string(PartnerSeedFile::kMaxFileBytes + 1, '#'));
    EXPECT_FALSE(PartnerSeedFile::Load(big, seed, error));
    EXPECT_EQ(error, "the partner file '" + big + "' is larger than 4 MiB");
    const std::string bad = folder.Write("bad.txt", "partner 2 A\nnonsense\n");
    EXPECT_FALSE(PartnerSeedFile::Load(bad, seed, error));
    EXPECT_EQ(error, "partner file '" + bad +
                         "', line 2: unknown line 'nonsense' (partner, site, rule, remove or # "
                         "comment)");
    const std::string good = folder.Write("good.txt", "partner 2 A\nsite a.com\n");
    ASSERT_TRUE(PartnerSeedFile::Load(good, seed, error)) << error;
    EXPECT_EQ(seed.partners.size(), 1u);
}

}  // namespace
}  // namespace qv::dirsvc
