#include "store/BlockListStore.h"

#include "store/Database.h"
#include "store/SqliteTransaction.h"

namespace qv::dirsvc {

namespace {

using Step = SqliteStatement::Step;

// 1 for a row, 0 for none, -1 on failure.
int HasRow(SqliteStatement& statement) {
    switch (statement.Next()) {
        case Step::kRow:
            return 1;
        case Step::kDone:
            return 0;
        case Step::kError:
            break;
    }
    return -1;
}

// Blocks one user inside the caller's transaction, without the version step.
ListChange BlockOne(SqliteConnection& connection, std::int64_t owner, std::int64_t blocked) {
    if (blocked == owner) {
        return ListChange::kSelf;
    }
    {
        auto exists = connection.Prepare("SELECT 1 FROM accounts WHERE id = ?1");
        exists.Bind(1, blocked);
        const int found = HasRow(exists);
        if (found <= 0) {
            return found < 0 ? ListChange::kError : ListChange::kUserNotFound;
        }
    }
    {
        auto already = connection.Prepare("SELECT 1 FROM blocks WHERE owner = ?1 AND blocked = ?2");
        already.Bind(1, owner).Bind(2, blocked);
        const int found = HasRow(already);
        if (found != 0) {
            return found < 0 ? ListChange::kError : ListChange::kAlreadyPresent;
        }
    }
    {
        auto count = connection.Prepare("SELECT COUNT(*) FROM blocks WHERE owner = ?1");
        count.Bind(1, owner);
        if (count.Next() != Step::kRow) {
            return ListChange::kError;
        }
        if (count.Int(0) >= BlockListStore::kMaxBlocked) {
            return ListChange::kTooManyBlocked;
        }
    }
    auto insert = connection.Prepare("INSERT INTO blocks(owner, blocked) VALUES (?1, ?2)");
    return insert.Bind(1, owner).Bind(2, blocked).Run() ? ListChange::kDone : ListChange::kError;
}

// Commits a change that is kDone together with the version step.
ListChange Finish(SqliteConnection& connection, SqliteTransaction& transaction, std::int64_t owner,
                  ListChange outcome) {
    if (outcome != ListChange::kDone) {
        return outcome;
    }
    auto update =
        connection.Prepare("UPDATE accounts SET block_list_ver = block_list_ver + 1 WHERE id = ?1");
    if (!update.Bind(1, owner).Run() || connection.Changes() != 1 || !transaction.Commit()) {
        return ListChange::kError;
    }
    return ListChange::kDone;
}

}  // namespace

ListChange BlockListStore::AddBlock(std::int64_t owner, std::int64_t blocked) {
    auto connection = database_.Acquire();
    if (!connection) {
        return ListChange::kError;
    }
    SqliteTransaction transaction(*connection);
    if (!transaction.Started()) {
        return ListChange::kError;
    }
    return Finish(*connection, transaction, owner, BlockOne(*connection, owner, blocked));
}

ListChange BlockListStore::RemoveBlock(std::int64_t owner, std::int64_t blocked) {
    auto connection = database_.Acquire();
    if (!connection) {
        return ListChange::kError;
    }
    SqliteTransaction transaction(*connection);
    if (!transaction.Started()) {
        return ListChange::kError;
    }
    auto remove = connection->Prepare("DELETE FROM blocks WHERE owner = ?1 AND blocked = ?2");
    if (!remove.Bind(1, owner).Bind(2, blocked).Run()) {
        return ListChange::kError;
    }
    const ListChange outcome =
        connection->Changes() == 1 ? ListChange::kDone : ListChange::kNotPresent;
    return Finish(*connection, transaction, owner, outcome);
}

ListChange BlockListStore::Import(std::int64_t owner, const std::vector<std::int64_t>& blocked) {
    auto connection = database_.Acquire();
    if (!connection) {
        return ListChange::kError;
    }
    SqliteTransaction transaction(*connection);
    if (!transaction.Started()) {
        return ListChange::kError;
    }
    for (const std::int64_t id : blocked) {
        const ListChange outcome = BlockOne(*connection, owner, id);
        if (outcome != ListChange::kDone) {
            return outcome;
        }
    }
    return Finish(*connection, transaction, owner, ListChange::kDone);
}

StoreStatus BlockListStore::Visit(std::int64_t owner, const Visitor& visitor) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    auto select = connection->Prepare(
        "SELECT a.nickname, b.blocked FROM blocks b JOIN accounts a ON a.id = b.blocked "
        "WHERE b.owner = ?1 ORDER BY b.seq");
    select.Bind(1, owner);
    for (;;) {
        switch (select.Next()) {
            case Step::kDone:
                return StoreStatus::kOk;
            case Step::kError:
                return StoreStatus::kError;
            case Step::kRow:
                break;
        }
        visitor(select.Text(0), select.Int(1));
    }
}

}  // namespace qv::dirsvc
