#include "store/BlockListStore.h"

#include <optional>

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

// Blocks one user inside the caller's transaction, without the version step. count is the
// number blocked so far, counted on first use and kept up to date (an import stays linear).
ListChange BlockOne(SqliteConnection& connection, std::int64_t owner, std::int64_t blocked,
                    std::optional<std::int64_t>& count) {
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
    if (!count) {
        auto select = connection.Prepare("SELECT COUNT(*) FROM blocks WHERE owner = ?1");
        select.Bind(1, owner);
        if (select.Next() != Step::kRow) {
            return ListChange::kError;
        }
        count = select.Int(0);
    }
    if (*count >= BlockListStore::kMaxBlocked) {
        return ListChange::kTooManyBlocked;
    }
    auto insert = connection.Prepare("INSERT INTO blocks(owner, blocked) VALUES (?1, ?2)");
    if (!insert.Bind(1, owner).Bind(2, blocked).Run()) {
        return ListChange::kError;
    }
    ++*count;
    return ListChange::kDone;
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
    std::optional<std::int64_t> count;
    return Finish(*connection, transaction, owner, BlockOne(*connection, owner, blocked, count));
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
    std::optional<std::int64_t> count;
    for (const std::int64_t id : blocked) {
        const ListChange outcome = BlockOne(*connection, owner, id, count);
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
