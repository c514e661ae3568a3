// The contact-list, block-list and partner stores over a real database file, and the upgrade of
// a version 1 database.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "security/Secrets.h"
#include "store/AccountStore.h"
#include "store/BlockListStore.h"
#include "store/ContactListStore.h"
#include "store/Database.h"
#include "store/PartnerStore.h"
#include "store/Schema.h"
#include "store/SqliteConnection.h"
#include "support/TempFolder.h"

namespace qv::dirsvc {
namespace {

class ListStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(secrets::Initialize());
        std::string error;
        database_ = Database::Open(folder_.File("d.db"), error);
        ASSERT_NE(database_, nullptr) << error;
        accounts_ = std::make_unique<AccountStore>(*database_);
        contacts_ = std::make_unique<ContactListStore>(*database_);
        blocks_ = std::make_unique<BlockListStore>(*database_);
        partners_ = std::make_unique<PartnerStore>(*database_);
        std::vector<NewAccount> users(4);
        const char* names[] = {"Ann", "Bob", "Cy", "Dee"};
        for (size_t i = 0; i < users.size(); ++i) {
            users[i].profile.nickName = names[i];
            users[i].passwordHash = "h";
        }
        ASSERT_EQ(accounts_->Import(users, 1), StoreStatus::kOk);
    }

    std::int64_t ContactVersion(std::int64_t id) {
        Account account;
        EXPECT_EQ(accounts_->Find(id, account), StoreStatus::kOk);
        return account.contactListVer;
    }

    // The listing as (group, nickname, number) rows.
    std::vector<std::string> Listing(std::int64_t owner) {
        std::vector<std::string> rows;
        EXPECT_EQ(
            contacts_->Visit(owner,
                             [&](std::string_view group, std::string_view nick, std::int64_t id) {
                                 rows.push_back(std::string(group) + "/" + std::string(nick) + "/" +
                                                std::to_string(id - kAnn));
                             }),
            StoreStatus::kOk);
        return rows;
    }

    static constexpr std::int64_t kAnn = Schema::kFirstNumber;
    static constexpr std::int64_t kBob = kAnn + 1;
    static constexpr std::int64_t kCy = kAnn + 2;
    static constexpr std::int64_t kDee = kAnn + 3;

    qv::test::TempFolder folder_;
    std::unique_ptr<Database> database_;
    std::unique_ptr<AccountStore> accounts_;
    std::unique_ptr<ContactListStore> contacts_;
    std::unique_ptr<BlockListStore> blocks_;
    std::unique_ptr<PartnerStore> partners_;
};

TEST_F(ListStoreTest, GroupsComeByNameAndContactsInTheOrderTheyCame) {
    ASSERT_EQ(contacts_->AddContact(kAnn, kDee, "b"), ListChange::kDone);
    ASSERT_EQ(contacts_->AddContact(kAnn, kBob, "a"), ListChange::kDone);
    ASSERT_EQ(contacts_->AddContact(kAnn, kCy, "b"), ListChange::kDone);
    ASSERT_EQ(contacts_->AddGroup(kAnn, "0 empty"), ListChange::kDone);
    // Byte order: upper case before lower case.
    ASSERT_EQ(contacts_->AddContact(kAnn, kAnn, "B"), ListChange::kDone);
    EXPECT_EQ(Listing(kAnn), (std::vector<std::string>{"B/Ann/0", "a/Bob/1", "b/Dee/3", "b/Cy/2"}));
    // A moved contact comes last in its new group and leaves its old group behind, empty.
    ASSERT_EQ(contacts_->AddContact(kAnn, kBob, "b"), ListChange::kDone);
    EXPECT_EQ(Listing(kAnn), (std::vector<std::string>{"B/Ann/0", "b/Dee/3", "b/Cy/2", "b/Bob/1"}));
    EXPECT_EQ(contacts_->AddGroup(kAnn, "a"), ListChange::kGroupExists);
    EXPECT_EQ(contacts_->AddGroup(kAnn, "A"), ListChange::kDone);  // names are exact
    EXPECT_EQ(ContactVersion(kAnn), 7);
    EXPECT_EQ(ContactVersion(kBob), 0);
    EXPECT_TRUE(Listing(kBob).empty());
}

TEST_F(ListStoreTest, ARemovedAccountLeavesEveryList) {
    ASSERT_EQ(contacts_->AddContact(kAnn, kBob, "a"), ListChange::kDone);
    ASSERT_EQ(blocks_->AddBlock(kAnn, kBob), ListChange::kDone);
    ASSERT_EQ(accounts_->Discard(kBob), StoreStatus::kOk);
    EXPECT_TRUE(Listing(kAnn).empty());
    size_t blocked = 0;
    EXPECT_EQ(blocks_->Visit(kAnn, [&](std::string_view, std::int64_t) { ++blocked; }),
              StoreStatus::kOk);
    EXPECT_EQ(blocked, 0u);
    EXPECT_EQ(contacts_->AddContact(kAnn, kBob, "a"), ListChange::kUserNotFound);
}

TEST_F(ListStoreTest, AnImportBeyondALimitIsRefusedWhole) {
    std::vector<NewAccount> many(ContactListStore::kMaxContacts);
    for (size_t i = 0; i < many.size(); ++i) {
        many[i].profile.nickName = "user" + std::to_string(i);
        many[i].passwordHash = "h";
    }
    ASSERT_EQ(accounts_->Import(many, 1), StoreStatus::kOk);
    std::vector<std::pair<std::int64_t, std::string>> contacts;
    for (std::int64_t i = 0; i <= ContactListStore::kMaxGroups; ++i) {
        contacts.emplace_back(kDee + 1 + i, "g" + std::to_string(i));
    }
    EXPECT_EQ(contacts_->Import(kAnn, contacts), ListChange::kTooManyGroups);
    EXPECT_TRUE(Listing(kAnn).empty());
    EXPECT_EQ(ContactVersion(kAnn), 0);
    std::vector<std::int64_t> blocked;
    for (std::int64_t i = 0; i <= BlockListStore::kMaxBlocked; ++i) {
        blocked.push_back(kAnn + 1 + i);
    }
    EXPECT_EQ(blocks_->Import(kAnn, blocked), ListChange::kTooManyBlocked);
    blocked.pop_back();
    EXPECT_EQ(blocks_->Import(kAnn, blocked), ListChange::kDone);
    EXPECT_EQ(blocks_->AddBlock(kAnn, kAnn + 1 + BlockListStore::kMaxBlocked),
              ListChange::kTooManyBlocked);
    EXPECT_EQ(blocks_->RemoveBlock(kAnn, kBob), ListChange::kDone);
    EXPECT_EQ(blocks_->AddBlock(kAnn, kAnn + 1 + BlockListStore::kMaxBlocked), ListChange::kDone);
    Account account;
    ASSERT_EQ(accounts_->Find(kAnn, account), StoreStatus::kOk);
    EXPECT_EQ(account.blockListVer, 3);  // the import counts as one change
}

TEST(SchemaTest, AVersionOneDatabaseIsUpgradedWithItsAccounts) {
    ASSERT_TRUE(secrets::Initialize());
    qv::test::TempFolder folder;
    const std::string path = folder.File("old.db");
    {
        std::string error;
        auto connection = SqliteConnection::Open(path, error);
        ASSERT_NE(connection, nullptr) << error;
        ASSERT_TRUE(Schema::Upgrade(*connection, 1, error)) << error;
        ASSERT_TRUE(connection->Exec(
            "INSERT INTO accounts(nickname, password_hash, created, contact_list_ver, "
            "block_list_ver) VALUES ('Ann', 'h', 1, 5, 2), ('Bob', 'h', 1, 0, 0);"
            "UPDATE service_state SET value = 4 WHERE key = 'partner_list_ver'"));
        auto tables =
            connection->Prepare("SELECT COUNT(*) FROM sqlite_master WHERE name = 'contacts'");
        ASSERT_EQ(tables.Next(), SqliteStatement::Step::kRow);
        EXPECT_EQ(tables.Int(0), 0);
    }
    std::string error;
    auto database = Database::Open(path, error);
    ASSERT_NE(database, nullptr) << error;
    {
        auto lease = database->Acquire();
        auto version = lease->Prepare("PRAGMA user_version");
        ASSERT_EQ(version.Next(), SqliteStatement::Step::kRow);
        EXPECT_EQ(version.Int(0), Schema::kCurrentVersion);
    }
    AccountStore accounts(*database);
    Account ann;
    ASSERT_EQ(accounts.Find(Schema::kFirstNumber, ann), StoreStatus::kOk);
    EXPECT_EQ(ann.profile.nickName, "Ann");
    EXPECT_EQ(ann.contactListVer, 5);
    EXPECT_EQ(ann.blockListVer, 2);
    // The lists go on from the versions the accounts had.
    ContactListStore contacts(*database);
    ASSERT_EQ(contacts.AddContact(Schema::kFirstNumber, Schema::kFirstNumber + 1, "Friends"),
              ListChange::kDone);
    ASSERT_EQ(accounts.Find(Schema::kFirstNumber, ann), StoreStatus::kOk);
    EXPECT_EQ(ann.contactListVer, 6);
    PartnerStore partners(*database);
    std::int64_t listVersion = 0;
    ASSERT_EQ(partners.PartnerListVersion(listVersion), StoreStatus::kOk);
    EXPECT_EQ(listVersion, 4);
    PartnerParams params;
    EXPECT_EQ(partners.Params(1, params), StoreStatus::kOk);
    // Opening again changes nothing.
    database.reset();
    database = Database::Open(path, error);
    ASSERT_NE(database, nullptr) << error;
    AccountStore again(*database);
    ASSERT_EQ(again.Find(Schema::kFirstNumber, ann), StoreStatus::kOk);
    EXPECT_EQ(ann.contactListVer, 6);
}

TEST(SchemaTest, ANewerDatabaseIsRefused) {
    qv::test::TempFolder folder;
    const std::string path = folder.File("new.db");
    {
        std::string error;
        auto connection = SqliteConnection::Open(path, error);
        ASSERT_NE(connection, nullptr) << error;
        ASSERT_TRUE(connection->Exec("PRAGMA user_version = 99"));
    }
    std::string error;
    EXPECT_EQ(Database::Open(path, error), nullptr);
    EXPECT_EQ(error, "the database was written by a newer version of the service");
}

// The partner store's version arithmetic: the partner-list version moves by 1 for every
// replacement that changes what a client sees, a site's rule version when its rules change.
class PartnerReplaceTest : public ListStoreTest {
  protected:
    std::int64_t ListVersion() {
        std::int64_t version = -1;
        EXPECT_EQ(partners_->PartnerListVersion(version), StoreStatus::kOk);
        return version;
    }
    // "partner:site=version,site=version;..."
    std::string Listing() {
        std::vector<Partner> partners;
        EXPECT_EQ(partners_->List(partners), StoreStatus::kOk);
        std::string text;
        for (const Partner& partner : partners) {
            text += std::to_string(partner.id) + " " + partner.name + ":";
            for (const PartnerSite& site : partner.sites) {
                text += site.baseDomain + "=" + std::to_string(site.ruleVersion) + ",";
            }
            text += ";";
        }
        return text;
    }
};

TEST_F(PartnerReplaceTest, VersionsMoveOnlyWithChanges) {
    const ForumRule chat{"^http://chat\\.a\\.com/.*", "JoinAsForum=1"};
    const ForumRule shop{".*/shop/.*", "Disable=1"};
    const Partner acme{2, "Acme", {{"a.com", 0, {chat}}, {"b.com", 0, {}}}};
    const Partner other{5, "Other", {{"c.org", 0, {shop}}}};
    struct Step {
        PartnerSeed seed;
        bool changed;
        std::int64_t listVersion;
        std::string listing;
    };
    const Step steps[] = {
        {{{acme, other}, {}}, true, 1, "2 Acme:a.com=1,b.com=1,;5 Other:c.org=1,;"},
        // The same file again changes nothing.
        {{{acme, other}, {}}, false, 1, "2 Acme:a.com=1,b.com=1,;5 Other:c.org=1,;"},
        // Another rule for a.com: only that site's version moves.
        {{{{2, "Acme", {{"a.com", 0, {chat, shop}}, {"b.com", 0, {}}}}}, {}},
         true,
         2,
         "2 Acme:a.com=2,b.com=1,;5 Other:c.org=1,;"},
        // A new name moves the list, not the sites.
        {{{{2, "Acme Travel", {{"a.com", 0, {chat, shop}}, {"b.com", 0, {}}}}}, {}},
         true,
         3,
         "2 Acme Travel:a.com=2,b.com=1,;5 Other:c.org=1,;"},
        // a.com goes, and comes back later one version on (a client may still hold 2).
        {{{{2, "Acme Travel", {{"b.com", 0, {}}}}}, {}},
         true,
         4,
         "2 Acme Travel:b.com=1,;5 Other:c.org=1,;"},
        {{{{2, "Acme Travel", {{"b.com", 0, {}}, {"A.com", 0, {chat, shop}}}}}, {}},
         true,
         5,
         "2 Acme Travel:b.com=1,A.com=3,;5 Other:c.org=1,;"},
        // Removing a partner, and removing one that is not there.
        {{{}, {5, 9}}, true, 6, "2 Acme Travel:b.com=1,A.com=3,;"},
        {{{}, {9}}, false, 6, "2 Acme Travel:b.com=1,A.com=3,;"},
        {{{other}, {}}, true, 7, "2 Acme Travel:b.com=1,A.com=3,;5 Other:c.org=2,;"},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        bool changed = !steps[i].changed;
        ASSERT_EQ(partners_->Replace(steps[i].seed, changed), StoreStatus::kOk) << i;
        EXPECT_EQ(changed, steps[i].changed) << i;
        EXPECT_EQ(ListVersion(), steps[i].listVersion) << i;
        EXPECT_EQ(Listing(), steps[i].listing) << i;
    }
    std::vector<ForumRule> rules;
    ASSERT_EQ(partners_->ForumRules(2, "a.COM", rules), StoreStatus::kOk);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].pattern, chat.pattern);
    EXPECT_EQ(rules[1].parameters, shop.parameters);
    ASSERT_EQ(partners_->ForumRules(2, "b.com", rules), StoreStatus::kOk);
    EXPECT_TRUE(rules.empty());
    EXPECT_EQ(partners_->ForumRules(2, "c.org", rules), StoreStatus::kNotFound);
    EXPECT_EQ(partners_->ForumRules(3, "a.com", rules), StoreStatus::kNotFound);
}

TEST_F(PartnerReplaceTest, AListBeyondItsBoundChangesNothing) {
    Partner big{3, "Big", {}};
    for (size_t i = 0; i < PartnerStore::kMaxSites; ++i) {
        big.sites.push_back({"s" + std::to_string(i) + ".com", 0, {}});
    }
    bool changed = false;
    ASSERT_EQ(partners_->Replace({{big}, {}}, changed), StoreStatus::kOk);
    const std::string before = Listing();
    const Partner one{4, "One", {{"one.com", 0, {}}}};
    EXPECT_EQ(partners_->Replace({{one}, {}}, changed), StoreStatus::kFull);
    EXPECT_FALSE(changed);
    EXPECT_EQ(Listing(), before);
    EXPECT_EQ(ListVersion(), 1);
}

}  // namespace
}  // namespace qv::dirsvc
