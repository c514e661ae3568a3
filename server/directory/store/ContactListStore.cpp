#include "store/ContactListStore.h"

#include <optional>

#include "store/Database.h"
#include "store/SqliteTransaction.h"

namespace qv::dirsvc {

namespace {

using Step = SqliteStatement::Step;

// One integer of a one-row query: the value, nullopt for no row; error is set on failure.
std::optional<std::int64_t> OneInt(SqliteStatement& statement, bool& error) {
    switch (statement.Next()) {
        case Step::kRow:
            return statement.Int(0);
        case Step::kDone:
            return std::nullopt;
        case Step::kError:
            break;
    }
    error = true;
    return std::nullopt;
}

// The steps of a change, inside the caller's transaction.
class ContactEdit {
  public:
    ContactEdit(SqliteConnection& connection, std::int64_t owner)
        : connection_(connection), owner_(owner) {}

    bool Failed() const { return error_; }

    bool AccountExists(std::int64_t id) {
        auto select = connection_.Prepare("SELECT 1 FROM accounts WHERE id = ?1");
        select.Bind(1, id);
        return OneInt(select, error_).has_value();
    }
    std::optional<std::int64_t> GroupId(std::string_view name) {
        auto select =
            connection_.Prepare("SELECT id FROM contact_groups WHERE owner = ?1 AND name = ?2");
        select.Bind(1, owner_).Bind(2, name);
        return OneInt(select, error_);
    }
    // The group the contact is in.
    std::optional<std::int64_t> GroupOf(std::int64_t contact) {
        auto select =
            connection_.Prepare("SELECT group_id FROM contacts WHERE owner = ?1 AND contact = ?2");
        select.Bind(1, owner_).Bind(2, contact);
        return OneInt(select, error_);
    }
    // Counted once a transaction and then kept up to date, so an import stays linear.
    std::int64_t GroupCount() {
        if (!groups_) {
            auto select =
                connection_.Prepare("SELECT COUNT(*) FROM contact_groups WHERE owner = ?1");
            select.Bind(1, owner_);
            groups_ = OneInt(select, error_).value_or(0);
        }
        return *groups_;
    }
    std::int64_t ContactCount() {
        if (!contacts_) {
            auto select = connection_.Prepare("SELECT COUNT(*) FROM contacts WHERE owner = ?1");
            select.Bind(1, owner_);
            contacts_ = OneInt(select, error_).value_or(0);
        }
        return *contacts_;
    }
    std::optional<std::int64_t> CreateGroup(std::string_view name) {
        auto insert =
            connection_.Prepare("INSERT INTO contact_groups(owner, name) VALUES (?1, ?2)");
        if (!insert.Bind(1, owner_).Bind(2, name).Run()) {
            error_ = true;
            return std::nullopt;
        }
        if (groups_) {
            ++*groups_;
        }
        return connection_.LastInsertRowId();
    }
    // Removes the contact from whatever group holds it; true when it was in one.
    bool RemoveContact(std::int64_t contact) {
        auto remove = connection_.Prepare("DELETE FROM contacts WHERE owner = ?1 AND contact = ?2");
        if (!remove.Bind(1, owner_).Bind(2, contact).Run()) {
            error_ = true;
            return false;
        }
        const bool removed = connection_.Changes() == 1;
        if (removed && contacts_) {
            --*contacts_;
        }
        return removed;
    }
    void InsertContact(std::int64_t contact, std::int64_t group) {
        auto insert = connection_.Prepare(
            "INSERT INTO contacts(owner, contact, group_id) VALUES (?1, ?2, ?3)");
        if (!insert.Bind(1, owner_).Bind(2, contact).Bind(3, group).Run()) {
            error_ = true;
        } else if (contacts_) {
            ++*contacts_;
        }
    }
    void DeleteGroup(std::int64_t group) {
        auto members = connection_.Prepare("DELETE FROM contacts WHERE group_id = ?1");
        auto remove = connection_.Prepare("DELETE FROM contact_groups WHERE id = ?1");
        if (!members.Bind(1, group).Run() || !remove.Bind(1, group).Run()) {
            error_ = true;
        }
        contacts_.reset();
        groups_.reset();
    }
    void BumpVersion() {
        auto update = connection_.Prepare(
            "UPDATE accounts SET contact_list_ver = contact_list_ver + 1 WHERE id = ?1");
        if (!update.Bind(1, owner_).Run() || connection_.Changes() != 1) {
            error_ = true;
        }
    }

    // The work of AddContact without the version step.
    ListChange Add(std::int64_t contact, std::string_view group) {
        if (!AccountExists(contact)) {
            return error_ ? ListChange::kError : ListChange::kUserNotFound;
        }
        std::optional<std::int64_t> groupId = GroupId(group);
        const std::optional<std::int64_t> current = GroupOf(contact);
        if (error_) {
            return ListChange::kError;
        }
        if (current && current == groupId) {
            return ListChange::kAlreadyPresent;
        }
        if (!current && ContactCount() >= ContactListStore::kMaxContacts) {
            return error_ ? ListChange::kError : ListChange::kTooManyContacts;
        }
        if (!groupId) {
            if (GroupCount() >= ContactListStore::kMaxGroups) {
                return error_ ? ListChange::kError : ListChange::kTooManyGroups;
            }
            groupId = CreateGroup(group);
        }
        // A move is a removal and a new insertion: the contact comes last in its new group.
        if (current) {
            RemoveContact(contact);
        }
        if (groupId) {
            InsertContact(contact, *groupId);
        }
        return error_ ? ListChange::kError : ListChange::kDone;
    }

  private:
    SqliteConnection& connection_;
    std::int64_t owner_;
    bool error_ = false;
    std::optional<std::int64_t> contacts_;
    std::optional<std::int64_t> groups_;
};

// Runs change in a transaction; commits with the version step when it is kDone.
template <typename Change>
ListChange InTransaction(Database& database, std::int64_t owner, Change change) {
    auto connection = database.Acquire();
    if (!connection) {
        return ListChange::kError;
    }
    SqliteTransaction transaction(*connection);
    if (!transaction.Started()) {
        return ListChange::kError;
    }
    ContactEdit edit(*connection, owner);
    const ListChange outcome = change(edit);
    if (outcome != ListChange::kDone) {
        return outcome;
    }
    edit.BumpVersion();
    if (edit.Failed() || !transaction.Commit()) {
        return ListChange::kError;
    }
    return ListChange::kDone;
}

}  // namespace

ListChange ContactListStore::AddContact(std::int64_t owner, std::int64_t contact,
                                        std::string_view group) {
    return InTransaction(database_, owner,
                         [&](ContactEdit& edit) { return edit.Add(contact, group); });
}

ListChange ContactListStore::DeleteContact(std::int64_t owner, std::int64_t contact,
                                           std::string_view group) {
    return InTransaction(database_, owner, [&](ContactEdit& edit) {
        const std::optional<std::int64_t> groupId = edit.GroupId(group);
        const std::optional<std::int64_t> current = edit.GroupOf(contact);
        if (edit.Failed()) {
            return ListChange::kError;
        }
        if (!groupId || current != groupId) {
            return ListChange::kNotPresent;
        }
        edit.RemoveContact(contact);
        return edit.Failed() ? ListChange::kError : ListChange::kDone;
    });
}

ListChange ContactListStore::AddGroup(std::int64_t owner, std::string_view group) {
    return InTransaction(database_, owner, [&](ContactEdit& edit) {
        if (edit.GroupId(group)) {
            return ListChange::kGroupExists;
        }
        if (edit.GroupCount() >= kMaxGroups) {
            return edit.Failed() ? ListChange::kError : ListChange::kTooManyGroups;
        }
        edit.CreateGroup(group);
        return edit.Failed() ? ListChange::kError : ListChange::kDone;
    });
}

ListChange ContactListStore::DeleteGroup(std::int64_t owner, std::string_view group) {
    return InTransaction(database_, owner, [&](ContactEdit& edit) {
        const std::optional<std::int64_t> groupId = edit.GroupId(group);
        if (edit.Failed()) {
            return ListChange::kError;
        }
        if (!groupId) {
            return ListChange::kGroupNotFound;
        }
        edit.DeleteGroup(*groupId);
        return edit.Failed() ? ListChange::kError : ListChange::kDone;
    });
}

ListChange ContactListStore::Import(
    std::int64_t owner, const std::vector<std::pair<std::int64_t, std::string>>& contacts) {
    return InTransaction(database_, owner, [&](ContactEdit& edit) {
        for (const auto& [contact, group] : contacts) {
            const ListChange outcome = edit.Add(contact, group);
            if (outcome != ListChange::kDone) {
                return outcome;
            }
        }
        return ListChange::kDone;
    });
}

StoreStatus ContactListStore::Visit(std::int64_t owner, const Visitor& visitor) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    // One statement for the whole list, so its rows are one consistent snapshot.
    auto select = connection->Prepare(
        "SELECT g.name, a.nickname, c.contact FROM contacts c "
        "JOIN contact_groups g ON g.id = c.group_id JOIN accounts a ON a.id = c.contact "
        "WHERE c.owner = ?1 ORDER BY g.name, c.seq");
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
        visitor(select.Text(0), select.Text(1), select.Int(2));
    }
}

}  // namespace qv::dirsvc
