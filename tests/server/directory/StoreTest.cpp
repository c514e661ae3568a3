// The SQLite stores over a real database file.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "security/Secrets.h"
#include "store/AccountStore.h"
#include "store/Database.h"
#include "store/PartnerStore.h"
#include "store/Schema.h"
#include "store/SessionStore.h"
#include "store/SqliteStatement.h"
#include "support/TempFolder.h"

namespace qv::dirsvc {
namespace {

class AccountStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(secrets::Initialize());
        std::string error;
        database_ = Database::Open(folder_.File("d.db"), error);
        ASSERT_NE(database_, nullptr) << error;
        accounts_ = std::make_unique<AccountStore>(*database_);
    }

    std::int64_t Create(const std::string& nick, StoreStatus expected = StoreStatus::kOk) {
        NewAccount account;
        account.profile.nickName = nick;
        account.profile.email1 = nick + "@example.com";
        account.passwordHash = "hash-" + nick;
        std::int64_t id = 0;
        EXPECT_EQ(accounts_->Create(account, 100, nullptr, id), expected) << nick;
        return id;
    }

    qv::test::TempFolder folder_;
    std::unique_ptr<Database> database_;
    std::unique_ptr<AccountStore> accounts_;
};

TEST_F(AccountStoreTest, NumbersStartAtTheFirstNumberAndCountUp) {
    EXPECT_EQ(Create("Ann"), Schema::kFirstNumber);
    EXPECT_EQ(Create("Bob"), Schema::kFirstNumber + 1);
    Account account;
    ASSERT_EQ(accounts_->Find(Schema::kFirstNumber + 1, account), StoreStatus::kOk);
    EXPECT_EQ(account.profile.nickName, "Bob");
    EXPECT_EQ(account.passwordHash, "hash-Bob");
    EXPECT_EQ(accounts_->Find(Schema::kFirstNumber + 2, account), StoreStatus::kNotFound);
}

TEST_F(AccountStoreTest, NicknamesAreUniqueWithoutRegardToCase) {
    Create("Ann");
    Create("ANN", StoreStatus::kConflict);
    // A refused account uses up no number.
    EXPECT_EQ(Create("Bob"), Schema::kFirstNumber + 1);
}

TEST_F(AccountStoreTest, ARefusedStepBeforeCommitLeavesNothing) {
    NewAccount account;
    account.profile.nickName = "Ann";
    account.passwordHash = "h";
    std::int64_t id = 0;
    std::int64_t offered = 0;
    EXPECT_EQ(accounts_->Create(
                  account, 1, [&](std::int64_t n) { return offered = n, false; }, id),
              StoreStatus::kAborted);
    EXPECT_EQ(offered, Schema::kFirstNumber);
    Account found;
    EXPECT_EQ(accounts_->Find(Schema::kFirstNumber, found), StoreStatus::kNotFound);
    EXPECT_EQ(Create("Ann"), Schema::kFirstNumber);
}

TEST_F(AccountStoreTest, TextIsKeptByteForByte) {
    NewAccount account;
    account.profile.nickName = "Ann";
    account.profile.comment = "x'); DROP TABLE accounts; -- \xE9\x80";
    account.passwordHash = "h";
    std::int64_t id = 0;
    ASSERT_EQ(accounts_->Create(account, 1, nullptr, id), StoreStatus::kOk);
    Account found;
    ASSERT_EQ(accounts_->Find(id, found), StoreStatus::kOk);
    EXPECT_EQ(found.profile.comment, account.profile.comment);
}

TEST_F(AccountStoreTest, UpdateChangesOnlyTheGivenFields) {
    const std::int64_t ann = Create("Ann");
    Create("Bob");
    ProfileChange change;
    change.company = "Acme";
    change.hideEmail = true;
    ASSERT_EQ(accounts_->Update(ann, change), StoreStatus::kOk);
    Account found;
    ASSERT_EQ(accounts_->Find(ann, found), StoreStatus::kOk);
    EXPECT_EQ(found.profile.company, "Acme");
    EXPECT_TRUE(found.profile.hideEmail);
    EXPECT_EQ(found.profile.nickName, "Ann");
    EXPECT_EQ(found.profile.email1, "Ann@example.com");

    ProfileChange taken;
    taken.nickName = "bob";
    EXPECT_EQ(accounts_->Update(ann, taken), StoreStatus::kConflict);
    ProfileChange ownCase;
    ownCase.nickName = "ANN";
    EXPECT_EQ(accounts_->Update(ann, ownCase), StoreStatus::kOk);
    EXPECT_EQ(accounts_->Update(ann + 99, ownCase), StoreStatus::kNotFound);
}

TEST_F(AccountStoreTest, AMailedPasswordSitsBesideTheOldOneUntilPromoted) {
    const std::int64_t ann = Create("Ann");
    ASSERT_EQ(accounts_->SetResetPassword(ann, "reset", 500, 100, 600), StoreStatus::kOk);
    Account found;
    ASSERT_EQ(accounts_->Find(ann, found), StoreStatus::kOk);
    EXPECT_EQ(found.passwordHash, "hash-Ann");
    EXPECT_EQ(found.resetHash, "reset");
    EXPECT_EQ(found.resetExpires, 500);
    EXPECT_EQ(found.resetMailed, 100);
    EXPECT_EQ(accounts_->PromoteResetPassword(ann, "other"), StoreStatus::kNotFound);
    ASSERT_EQ(accounts_->PromoteResetPassword(ann, "reset"), StoreStatus::kOk);
    ASSERT_EQ(accounts_->Find(ann, found), StoreStatus::kOk);
    EXPECT_EQ(found.passwordHash, "reset");
    EXPECT_EQ(found.resetHash, "");
    EXPECT_EQ(accounts_->SetResetPassword(ann + 5, "r", 1, 1, 600), StoreStatus::kNotFound);
}

TEST_F(AccountStoreTest, OneResetPerIntervalAndAWithdrawnOneFreesTheNext) {
    const std::int64_t ann = Create("Ann");
    ASSERT_EQ(accounts_->SetResetPassword(ann, "r1", 5000, 1000, 600), StoreStatus::kOk);
    EXPECT_EQ(accounts_->SetResetPassword(ann, "r2", 5000, 1599, 600), StoreStatus::kConflict);
    Account found;
    ASSERT_EQ(accounts_->Find(ann, found), StoreStatus::kOk);
    EXPECT_EQ(found.resetHash, "r1");
    ASSERT_EQ(accounts_->SetResetPassword(ann, "r3", 5000, 1600, 600), StoreStatus::kOk);
    // A mail that did not go out takes its reset back, so the user may ask again.
    EXPECT_EQ(accounts_->WithdrawResetPassword(ann, "r1"), StoreStatus::kNotFound);
    ASSERT_EQ(accounts_->WithdrawResetPassword(ann, "r3"), StoreStatus::kOk);
    ASSERT_EQ(accounts_->Find(ann, found), StoreStatus::kOk);
    EXPECT_EQ(found.resetHash, "");
    EXPECT_EQ(accounts_->SetResetPassword(ann, "r4", 5000, 1601, 600), StoreStatus::kOk);
}

TEST_F(AccountStoreTest, ADiscardedAccountsNumberIsNotGivenAgain) {
    const std::int64_t ann = Create("Ann");
    ASSERT_EQ(accounts_->Discard(ann), StoreStatus::kOk);
    Account found;
    EXPECT_EQ(accounts_->Find(ann, found), StoreStatus::kNotFound);
    EXPECT_EQ(Create("Ann"), ann + 1);
}

TEST_F(AccountStoreTest, CommitsAreDurableAndTheFilesPrivate) {
    {
        auto lease = database_->Acquire();
        ASSERT_TRUE(lease);
        auto query = lease->Prepare("PRAGMA synchronous");
        ASSERT_EQ(query.Next(), SqliteStatement::Step::kRow);
        EXPECT_EQ(query.Int(0), 2) << "synchronous=FULL";
    }
    Create("Ann");
    for (const char* name : {"d.db", "d.db-wal", "d.db-shm"}) {
        struct stat info {};
        ASSERT_EQ(::stat(folder_.File(name).c_str(), &info), 0) << name;
        EXPECT_EQ(info.st_mode & 0777, 0600u) << name;
    }
}

TEST_F(AccountStoreTest, ANewPasswordWithdrawsAMailedOne) {
    const std::int64_t ann = Create("Ann");
    ASSERT_EQ(accounts_->SetResetPassword(ann, "reset", 500, 100, 600), StoreStatus::kOk);
    ProfileChange change;
    change.passwordHash = "new";
    ASSERT_EQ(accounts_->Update(ann, change), StoreStatus::kOk);
    Account found;
    ASSERT_EQ(accounts_->Find(ann, found), StoreStatus::kOk);
    EXPECT_EQ(found.passwordHash, "new");
    EXPECT_EQ(found.resetHash, "");
    EXPECT_EQ(accounts_->ReplacePasswordHash(ann, "stale", "x"), StoreStatus::kNotFound);
    EXPECT_EQ(accounts_->ReplacePasswordHash(ann, "new", "newer"), StoreStatus::kOk);
}

TEST_F(AccountStoreTest, ImportAddsManyInOneGo) {
    std::vector<NewAccount> many(500);
    for (size_t i = 0; i < many.size(); ++i) {
        many[i].profile.nickName = "user" + std::to_string(i);
        many[i].passwordHash = "h";
    }
    ASSERT_EQ(accounts_->Import(many, 1), StoreStatus::kOk);
    Account found;
    ASSERT_EQ(accounts_->Find(Schema::kFirstNumber + 499, found), StoreStatus::kOk);
    EXPECT_EQ(found.profile.nickName, "user499");
    many.resize(2);  // duplicates: the whole import is refused
    EXPECT_EQ(accounts_->Import(many, 1), StoreStatus::kConflict);
    EXPECT_EQ(accounts_->Find(Schema::kFirstNumber + 500, found), StoreStatus::kNotFound);
}

TEST_F(AccountStoreTest, TheSchemaSurvivesReopening) {
    Create("Ann");
    accounts_.reset();
    database_.reset();
    std::string error;
    database_ = Database::Open(folder_.File("d.db"), error);
    ASSERT_NE(database_, nullptr) << error;
    accounts_ = std::make_unique<AccountStore>(*database_);
    EXPECT_EQ(Create("Bob"), Schema::kFirstNumber + 1);
}

TEST(DatabaseTest, AFileThatIsNoDatabaseIsRefused) {
    qv::test::TempFolder folder;
    const std::string path = folder.Write("junk.db", std::string(4096, 'x'));
    std::string error;
    EXPECT_EQ(Database::Open(path, error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Database::Open(folder.File("no/such/folder/d.db"), error), nullptr);
}

class SessionStoreTest : public AccountStoreTest {
  protected:
    void SetUp() override {
        AccountStoreTest::SetUp();
        sessions_ = std::make_unique<SessionStore>(*database_);
        ann_ = Create("Ann");
    }
    std::unique_ptr<SessionStore> sessions_;
    std::int64_t ann_ = 0;
};

TEST_F(SessionStoreTest, IdsFindTheirUserInAnyLetterCase) {
    std::string id;
    ASSERT_EQ(sessions_->Create(ann_, 1000, id), StoreStatus::kOk);
    std::int64_t user = 0;
    ASSERT_EQ(sessions_->Find(id, 1000, user), StoreStatus::kOk);
    EXPECT_EQ(user, ann_);
    std::string upper = id;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(sessions_->Find(upper, 1000, user), StoreStatus::kOk);
    for (const std::string& bad : {std::string(), std::string(32, 'g'), id + "0", id.substr(1),
                                   std::string("' OR 1=1 --")}) {
        EXPECT_EQ(sessions_->Find(bad, 1000, user), StoreStatus::kNotFound) << bad;
    }
}

TEST_F(SessionStoreTest, EarlierIdsStayValidUpToTheKeptNumber) {
    std::vector<std::string> ids(SessionStore::kKeptPerUser + 2);
    for (std::string& id : ids) {
        ASSERT_EQ(sessions_->Create(ann_, 1000, id), StoreStatus::kOk);
    }
    std::int64_t user = 0;
    EXPECT_EQ(sessions_->Find(ids[0], 1000, user), StoreStatus::kNotFound);
    EXPECT_EQ(sessions_->Find(ids[1], 1000, user), StoreStatus::kNotFound);
    for (size_t i = 2; i < ids.size(); ++i) {
        EXPECT_EQ(sessions_->Find(ids[i], 1000, user), StoreStatus::kOk) << i;
    }
}

TEST_F(SessionStoreTest, IdsExpireOnlyAfterLongIdleness) {
    std::string id;
    ASSERT_EQ(sessions_->Create(ann_, 1000, id), StoreStatus::kOk);
    std::int64_t user = 0;
    // Use keeps it alive.
    const std::int64_t later = 1000 + SessionStore::kIdleLifetime - 10;
    ASSERT_EQ(sessions_->Find(id, later, user), StoreStatus::kOk);
    ASSERT_EQ(sessions_->Find(id, later + SessionStore::kIdleLifetime - 10, user),
              StoreStatus::kOk);
    const std::int64_t idle = later + 3 * SessionStore::kIdleLifetime;
    EXPECT_EQ(sessions_->Find(id, idle, user), StoreStatus::kNotFound);
}

TEST_F(SessionStoreTest, RevokingKeepsOnlyTheIdInUse) {
    const std::int64_t bob = Create("Bob");
    std::string old1;
    std::string old2;
    std::string current;
    std::string bobs;
    ASSERT_EQ(sessions_->Create(ann_, 1000, old1), StoreStatus::kOk);
    ASSERT_EQ(sessions_->Create(ann_, 1000, current), StoreStatus::kOk);
    ASSERT_EQ(sessions_->Create(ann_, 1000, old2), StoreStatus::kOk);
    ASSERT_EQ(sessions_->Create(bob, 1000, bobs), StoreStatus::kOk);
    std::string upper = current;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    ASSERT_EQ(sessions_->RevokeOthers(ann_, upper), StoreStatus::kOk);
    std::int64_t user = 0;
    EXPECT_EQ(sessions_->Find(old1, 1000, user), StoreStatus::kNotFound);
    EXPECT_EQ(sessions_->Find(old2, 1000, user), StoreStatus::kNotFound);
    EXPECT_EQ(sessions_->Find(current, 1000, user), StoreStatus::kOk);
    EXPECT_EQ(sessions_->Find(bobs, 1000, user), StoreStatus::kOk);
    EXPECT_EQ(user, bob);
}

TEST_F(SessionStoreTest, TheIdItselfIsNotStored) {
    std::string id;
    ASSERT_EQ(sessions_->Create(ann_, 1000, id), StoreStatus::kOk);
    sessions_.reset();
    accounts_.reset();
    database_.reset();
    const std::string bytes = folder_.Read("d.db") + folder_.Read("d.db-wal");
    EXPECT_EQ(bytes.find(id), std::string::npos);
}

TEST(PartnerStoreTest, PartnerOneHasTheCompleteDefaultSet) {
    ASSERT_TRUE(secrets::Initialize());
    qv::test::TempFolder folder;
    std::string error;
    auto database = Database::Open(folder.File("d.db"), error);
    ASSERT_NE(database, nullptr);
    PartnerStore partners(*database);
    PartnerParams params;
    ASSERT_EQ(partners.Params(1, params), StoreStatus::kOk);
    EXPECT_EQ(params.version, 1);
    EXPECT_EQ(params.values.size(), 44u);
    EXPECT_EQ(params.values.front().first, "DisableNewUserDlg");
    std::int64_t version = 0;
    EXPECT_EQ(partners.ParamsVersion(1, version), StoreStatus::kOk);
    EXPECT_EQ(version, 1);
    EXPECT_EQ(partners.ParamsVersion(2, version), StoreStatus::kNotFound);
    EXPECT_EQ(partners.Params(2, params), StoreStatus::kNotFound);
    EXPECT_EQ(partners.PartnerListVersion(version), StoreStatus::kOk);
    EXPECT_EQ(version, 0);
}

}  // namespace
}  // namespace qv::dirsvc
