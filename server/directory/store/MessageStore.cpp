#include "store/MessageStore.h"

#include "store/Database.h"
#include "store/SqliteTransaction.h"

namespace qv::dirsvc {

namespace {

using Step = SqliteStatement::Step;

}  // namespace

MessageStore::Outcome MessageStore::Add(std::int64_t recipient, std::int64_t sender,
                                        std::int64_t now, std::string_view type,
                                        std::string_view subject, std::int64_t flags,
                                        std::string_view body) {
    auto connection = database_.Acquire();
    if (!connection) {
        return Outcome::kError;
    }
    SqliteTransaction transaction(*connection);
    if (!transaction.Started()) {
        return Outcome::kError;
    }
    {
        auto exists = connection->Prepare("SELECT 1 FROM accounts WHERE id = ?1");
        exists.Bind(1, recipient);
        switch (exists.Next()) {
            case Step::kRow:
                break;
            case Step::kDone:
                return Outcome::kUnknownRecipient;
            case Step::kError:
                return Outcome::kError;
        }
    }
    {
        auto blocked =
            connection->Prepare("SELECT 1 FROM blocks WHERE owner = ?1 AND blocked = ?2");
        blocked.Bind(1, recipient).Bind(2, sender);
        switch (blocked.Next()) {
            case Step::kRow:
                return Outcome::kBlocked;
            case Step::kDone:
                break;
            case Step::kError:
                return Outcome::kError;
        }
    }
    {
        auto count =
            connection->Prepare("SELECT COUNT(*) FROM stored_messages WHERE recipient = ?1");
        count.Bind(1, recipient);
        if (count.Next() != Step::kRow) {
            return Outcome::kError;
        }
        if (count.Int(0) >= kMaxWaiting) {
            return Outcome::kFull;
        }
    }
    auto insert = connection->Prepare(
        "INSERT INTO stored_messages(recipient, sender, sent_at, type, subject, flags, body) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    insert.Bind(1, recipient).Bind(2, sender).Bind(3, now).Bind(4, type).Bind(5, subject);
    insert.Bind(6, flags).Bind(7, body);
    if (!insert.Run() || !transaction.Commit()) {
        return Outcome::kError;
    }
    return Outcome::kStored;
}

StoreStatus MessageStore::Visit(std::int64_t recipient, const Visitor& visitor) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    auto select = connection->Prepare(
        "SELECT m.seq, m.sender, a.nickname, m.sent_at, m.type, m.subject, m.flags, m.body, m.read "
        "FROM stored_messages m JOIN accounts a ON a.id = m.sender "
        "WHERE m.recipient = ?1 ORDER BY m.seq");
    select.Bind(1, recipient);
    for (;;) {
        switch (select.Next()) {
            case Step::kRow: {
                KeptMessage message;
                message.id = select.Int(0);
                message.sender = select.Int(1);
                message.senderNickname = select.Text(2);
                message.sentAt = select.Int(3);
                message.type = select.Text(4);
                message.subject = select.Text(5);
                message.flags = select.Int(6);
                message.body = select.Text(7);
                message.read = select.Int(8) != 0;
                visitor(message);
                break;
            }
            case Step::kDone:
                return StoreStatus::kOk;
            case Step::kError:
                return StoreStatus::kError;
        }
    }
}

StoreStatus MessageStore::MarkRead(std::int64_t recipient, std::int64_t id) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    auto update = connection->Prepare(
        "UPDATE stored_messages SET read = 1 WHERE recipient = ?1 AND seq = ?2");
    if (!update.Bind(1, recipient).Bind(2, id).Run()) {
        return StoreStatus::kError;
    }
    return connection->Changes() == 1 ? StoreStatus::kOk : StoreStatus::kNotFound;
}

StoreStatus MessageStore::Delete(std::int64_t recipient, std::int64_t id) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    auto remove =
        connection->Prepare("DELETE FROM stored_messages WHERE recipient = ?1 AND seq = ?2");
    if (!remove.Bind(1, recipient).Bind(2, id).Run()) {
        return StoreStatus::kError;
    }
    return connection->Changes() == 1 ? StoreStatus::kOk : StoreStatus::kNotFound;
}

}  // namespace qv::dirsvc
