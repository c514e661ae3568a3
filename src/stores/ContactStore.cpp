#include "stores/ContactStore.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>

#include "directory/ContactRequests.h"
#include "directory/DirectoryClient.h"
#include "directory/DirectoryStatus.h"
#include "directory/ReplyGrammar.h"
#include "messaging/SystemNotices.h"
#include "platform/FileIo.h"
#include "platform/Screen.h"
#include "platform/Trace.h"
#include "stores/AddressBookFile.h"
#include "stores/ContactListUi.h"
#include "stores/EngineLists.h"
#include "stores/FixedRecords.h"
#include "stores/GroupName.h"
#include "stores/PresenceBurstHooks.h"

namespace qv {

namespace {

constexpr const char* kMessageCaption = "Quorvane";
constexpr std::size_t kWarningMembers = 10;

// What the service answers when it will never take the change: resending it cannot help.
bool RefusedForGood(const std::string& error) {
    return error == "Invalid group name" || error == "Too many contacts" ||
           error == "Too many groups";
}

std::string Format(const char* format, const std::string& a) {
    std::string out;
    const std::string_view f(format);
    const std::size_t at = f.find("%s");
    out.append(f.substr(0, at));
    if (at != std::string_view::npos) {
        out.append(a);
        out.append(f.substr(at + 2));
    }
    return out;
}

bool IsDecimalId(const std::string& id) {
    if (id.empty() || id.size() > 10) {
        return false;
    }
    unsigned long long value = 0;
    for (const char c : id) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    // The file keeps the ID as a 32-bit number, written back as its decimal text.
    return value <= 0xFFFFFFFFull && std::to_string(value) == id;
}

void CutProfile(UserProfile& p) {
    for (std::string* field : {&p.LoginId,  &p.NickName, &p.FirstName, &p.LastName,   &p.Company,
                               &p.Address1, &p.Address2, &p.City,      &p.State,      &p.Zip,
                               &p.Country,  &p.Email1,   &p.TeleHome,  &p.TeleOffice, &p.Fax,
                               &p.Cell,     &p.Pager,    &p.HomePage,  &p.Comment,    &p.group}) {
        if (field->size() > ContactStore::kMaxText) {
            field->resize(ContactStore::kMaxText);
        }
    }
}

std::string Describe(const PendingChange& change) {
    const bool add = change.operation == PendingChange::kAdd;
    if (change.kind == PendingChange::kGroup) {
        return std::string(add ? "Adding" : "Removing") + " the group \"" + change.group + "\"";
    }
    return std::string(add ? "Adding " : "Removing ") + change.nickName + " (" + change.loginId +
           ")" + (add ? " to" : " from") + " the group \"" + change.group + "\"";
}

}  // namespace

struct ContactStore::Impl {
    static void OnItemReply(const std::string& item, const std::string& error, int status,
                            RequestContext context, RequestKind kind) {
        auto* store = static_cast<ContactStore*>(context);
        // Never reached the service (no login, a refused one, the network): the next login sends
        // it.
        if (status == kStatusFailure &&
            (error == kNotConnectedMessage || error == reply::kDatabaseConnectionMessage)) {
            store->resendAtLogin_ = true;
        }
        switch (kind) {
            case RequestKind::AddContact:
                store->OnAddContactReply(item, error, status);
                break;
            case RequestKind::DeleteContact:
                store->OnDeleteContactReply(item, error, status);
                break;
            case RequestKind::AddGroup:
                store->OnAddGroupReply(item, error, status);
                break;
            case RequestKind::DeleteGroup:
                store->OnDeleteGroupReply(item, error, status);
                break;
            default:
                break;
        }
    }

    static ItemChangeCallback Callback(RequestKind kind) {
        return [kind](const std::string& item, const std::string& error, int status,
                      RequestContext context) { OnItemReply(item, error, status, context, kind); };
    }

    static void Send(ContactStore& store, const PendingChange& change) {
        if (store.client_ == nullptr) {
            return;
        }
        DirectoryClient& client = *store.client_;
        const bool add = change.operation == PendingChange::kAdd;
        if (change.kind == PendingChange::kContact) {
            if (add) {
                qv::AddContact(client, change.loginId, change.group,
                               Callback(RequestKind::AddContact), &store);
            } else {
                qv::DeleteContact(client, change.loginId, change.group,
                                  Callback(RequestKind::DeleteContact), &store);
            }
        } else if (add) {
            qv::AddGroup(client, change.group, Callback(RequestKind::AddGroup), &store);
        } else {
            qv::DeleteGroup(client, change.group, Callback(RequestKind::DeleteGroup), &store);
        }
    }

    static void WriteJournal(const ContactStore& store) {
        if (store.path_.empty()) {
            return;
        }
        MakeFolders(stores_detail::FolderOf(store.path_));
        if (!WriteFileAtomically(store.JournalPath(), WriteContactJournal(store.pending_))) {
            Trace("ContactStore", "WriteJournal failed");
        }
    }

    static void Journal(ContactStore& store, PendingChange change) {
        store.pending_.push_back(change);
        WriteJournal(store);
        Send(store, change);
    }

    // Removes the oldest pending change of that kind and operation for the item.
    static bool RemovePending(ContactStore& store, std::int32_t kind, std::int32_t operation,
                              const std::string& item) {
        auto it =
            std::find_if(store.pending_.begin(), store.pending_.end(), [&](const PendingChange& c) {
                return c.kind == kind && c.operation == operation &&
                       (kind == PendingChange::kGroup ? c.group == item : c.loginId == item);
            });
        if (it == store.pending_.end()) {
            return false;
        }
        store.pending_.erase(it);
        WriteJournal(store);
        return true;
    }

    static void Notice(ContactStore& store, const std::string& text) {
        store.notices_.AddSystemNotice(text, true, static_cast<std::uint32_t>(std::time(nullptr)));
    }

    // A refusal for good drops the change with a notice; other failures keep it for the next
    // load.
    static void DropRefused(ContactStore& store, std::int32_t kind, std::int32_t operation,
                            const std::string& item, const std::string& error) {
        for (const PendingChange& change : store.pending_) {
            if (change.kind == kind && change.operation == operation &&
                (kind == PendingChange::kGroup ? change.group == item : change.loginId == item)) {
                const std::string text = Describe(change) + " was refused by the server: " + error;
                RemovePending(store, kind, operation, item);
                Notice(store, text);
                return;
            }
        }
    }

    static ContactGroup& EnsureGroup(ContactStore& store, const std::string& name, bool notify) {
        auto [it, inserted] = store.groups_.try_emplace(name);
        if (inserted) {
            it->second.name = name;
            if (notify && store.ui_ != nullptr) {
                store.ui_->GroupAdded(it->second);
            }
        }
        return it->second;
    }

    // Adds a copy (cut, group defaulted) without journalling.
    static UserProfile* Insert(ContactStore& store, UserProfile profile, bool notify) {
        CutProfile(profile);
        if (profile.group.empty()) {
            profile.group = kDefaultGroup;
        }
        if (profile.LoginId.empty() || store.Find(profile.LoginId) != nullptr) {
            return nullptr;
        }
        profile.treeItem = nullptr;
        ContactGroup& group = EnsureGroup(store, profile.group, notify);
        store.contacts_.push_back(std::make_unique<UserProfile>(std::move(profile)));
        UserProfile* added = store.contacts_.back().get();
        store.byId_[added->LoginId] = added;
        group.members.push_back(added);
        if (notify) {
            if (store.engine_ != nullptr) {
                store.engine_->AddWatch(added->LoginId);
            }
            if (store.ui_ != nullptr) {
                store.ui_->ContactAdded(*added);
            }
        }
        return added;
    }

    static void Erase(ContactStore& store, const std::string& loginId, bool notify) {
        auto it = std::find_if(store.contacts_.begin(), store.contacts_.end(),
                               [&](const auto& c) { return c->LoginId == loginId; });
        if (it == store.contacts_.end()) {
            return;
        }
        UserProfile* contact = it->get();
        if (notify) {
            if (store.ui_ != nullptr) {
                store.ui_->ContactRemoved(*contact);
            }
            if (store.engine_ != nullptr) {
                store.engine_->RemoveWatch(contact->LoginId);
            }
        }
        if (ContactGroup* group = store.FindGroup(contact->group)) {
            std::erase(group->members, contact);
        }
        store.byId_.erase(contact->LoginId);
        store.contacts_.erase(it);
    }

    static void EraseGroup(ContactStore& store, const std::string& name, bool notify) {
        ContactGroup* group = store.FindGroup(name);
        if (group == nullptr) {
            return;
        }
        // One pass over the contacts, whatever the size of the group.
        for (UserProfile* member : group->members) {
            if (notify) {
                if (store.ui_ != nullptr) {
                    store.ui_->ContactRemoved(*member);
                }
                if (store.engine_ != nullptr) {
                    store.engine_->RemoveWatch(member->LoginId);
                }
            }
            store.byId_.erase(member->LoginId);
        }
        std::erase_if(store.contacts_, [&](const std::unique_ptr<UserProfile>& contact) {
            return contact->group == name;
        });
        group->members.clear();
        if (notify && store.ui_ != nullptr) {
            store.ui_->GroupRemoved(*group);
        }
        store.groups_.erase(name);
    }

    static void ClearList(ContactStore& store) {
        store.groups_.clear();
        store.byId_.clear();
        store.contacts_.clear();
    }

    // Applies the journal to the list and sends every change again; names that cannot travel
    // are dropped with a notice.
    static void Replay(ContactStore& store) {
        std::vector<PendingChange> changes = store.pending_;
        bool dropped = false;
        for (const PendingChange& change : changes) {
            if (!IsAllowedGroupName(change.group) ||
                (change.kind == PendingChange::kContact && !IsDecimalId(change.loginId))) {
                std::erase(store.pending_, change);
                Notice(store, Describe(change) + " cannot be sent to the server and was dropped.");
                dropped = true;
                continue;
            }
            const bool add = change.operation == PendingChange::kAdd;
            if (change.kind == PendingChange::kContact) {
                if (add) {
                    UserProfile profile;
                    profile.state = 1;
                    profile.LoginId = change.loginId;
                    profile.NickName = change.nickName;
                    profile.group = change.group;
                    Insert(store, std::move(profile), false);
                } else {
                    Erase(store, change.loginId, false);
                }
            } else if (add) {
                EnsureGroup(store, change.group, false);
            } else {
                EraseGroup(store, change.group, false);
            }
            Send(store, change);
        }
        if (dropped) {
            WriteJournal(store);
        }
    }

    static void ReadFile(ContactStore& store, bool& read) {
        read = false;
        const std::optional<std::string> bytes = ReadWholeFile(store.path_);
        if (!bytes) {
            return;
        }
        AddressBookData data;
        const AddressBookRead result = ReadAddressBook(*bytes, data);
        if (result == AddressBookRead::Refused) {
            // Kept aside: the next save would replace what we cannot read.
            CopyFileOver(store.path_, store.path_ + ".unreadable");
            Trace("ContactStore", "Load refused the file");
            return;
        }
        store.listVersion_ = data.listVersion;
        for (const auto& group : data.groups) {
            EnsureGroup(store, group.name, false).onServer = group.onServer;
        }
        for (auto& contact : data.contacts) {
            Insert(store, std::move(contact), false);
        }
        read = result != AddressBookRead::Empty;
    }

    static void ReadJournal(ContactStore& store) {
        store.pending_.clear();
        if (const auto bytes = ReadWholeFile(store.JournalPath(), 16u * 1024u * 1024u)) {
            store.pending_ = ReadContactJournal(*bytes);
        }
    }

    static void Rebuilt(ContactStore& store) {
        if (store.engine_ != nullptr) {
            store.engine_->SetWatchList(store.WatchList());
        }
        if (store.ui_ != nullptr) {
            store.ui_->ListRebuilt();
        }
    }

    static void EndSynchronizing(ContactStore& store) {
        if (!store.synchronizing_) {
            return;
        }
        store.synchronizing_ = false;
        if (store.ui_ != nullptr) {
            store.ui_->SynchronizingChanged(false);
        }
    }
};

ContactStore::ContactStore(DirectoryClient* client, EngineLists* engine, Screen& screen,
                           SystemNotices& notices)
    : client_(client), engine_(engine), screen_(screen), notices_(notices) {}

ContactStore::~ContactStore() {
    if (client_ != nullptr) {
        client_->Cancel(this);
    }
    Save();
}

bool ContactStore::Load(const std::string& path) {
    Trace("ContactStore", "Load");
    if (!path_.empty()) {
        Save();
    }
    if (client_ != nullptr) {
        client_->Cancel(this);
    }
    Impl::EndSynchronizing(*this);
    listVersion_ = 0;
    Impl::ClearList(*this);
    pending_.clear();
    resendAtLogin_ = false;
    path_ = path;
    if (path_.empty()) {
        Impl::Rebuilt(*this);
        return false;
    }
    bool read = false;
    Impl::ReadFile(*this, read);
    Impl::ReadJournal(*this);
    Impl::Replay(*this);
    Save();
    Impl::Rebuilt(*this);
    return read;
}

bool ContactStore::Save() {
    if (path_.empty()) {
        return false;
    }
    AddressBookData data;
    data.listVersion = listVersion_;
    for (const auto& [name, group] : groups_) {
        data.groups.push_back({name, group.onServer});
    }
    for (const auto& contact : contacts_) {
        data.contacts.push_back(*contact);
    }
    MakeFolders(stores_detail::FolderOf(path_));
    return WriteFileAtomically(path_, WriteAddressBook(data));
}

void ContactStore::ReplaceFromServer(const std::string& path, std::uint32_t serverVersion,
                                     const std::vector<std::string>& serverGroups,
                                     const std::vector<UserProfile>& serverContacts) {
    Trace("ContactStore", "ReplaceFromServer");
    // Presence is the engine's, not the server's: keep what we know.
    std::map<std::string, std::uint32_t> presence;
    for (const auto& contact : contacts_) {
        presence[contact->LoginId] = contact->presenceFlags;
    }
    if (path != path_ && !path_.empty()) {
        Save();
    }
    listVersion_ = serverVersion;
    Impl::ClearList(*this);
    for (const std::string& name : serverGroups) {
        Impl::EnsureGroup(*this, stores_detail::Cut(name, kMaxText), false).onServer = 1;
    }
    for (const UserProfile& server : serverContacts) {
        UserProfile contact;
        contact.state = 1;
        contact.LoginId = server.LoginId;
        contact.NickName = server.NickName;
        contact.group = server.group;
        contact.onServer = 1;
        if (!IsDecimalId(contact.LoginId)) {
            continue;
        }
        if (UserProfile* added = Impl::Insert(*this, std::move(contact), false)) {
            Impl::EnsureGroup(*this, added->group, false).onServer = 1;
            auto it = presence.find(added->LoginId);
            if (it != presence.end()) {
                added->presenceFlags = it->second;
            }
        }
    }
    path_ = path;
    Impl::Replay(*this);
    Save();
    Impl::Rebuilt(*this);
}

bool ContactStore::ImportOld(const std::string& oldPath, const std::string& newPath) {
    Trace("ContactStore", "ImportOld");
    Save();
    path_ = newPath;
    listVersion_ = 0;
    Impl::ClearList(*this);
    pending_.clear();
    const std::optional<std::string> bytes = ReadWholeFile(oldPath);
    AddressBookData data;
    if (!bytes || ReadAddressBook(*bytes, data) == AddressBookRead::Refused) {
        Save();
        return false;
    }
    for (const auto& group : data.groups) {
        Impl::EnsureGroup(*this, group.name, false);
    }
    for (auto& contact : data.contacts) {
        contact.onServer = 0;
        Impl::Insert(*this, std::move(contact), false);
    }
    for (const auto& [name, group] : groups_) {
        pending_.push_back({PendingChange::kGroup, PendingChange::kAdd, {}, {}, name});
    }
    for (const auto& contact : contacts_) {
        pending_.push_back({PendingChange::kContact, PendingChange::kAdd, contact->LoginId,
                            contact->NickName, contact->group});
    }
    Impl::WriteJournal(*this);
    Save();
    return true;
}

bool ContactStore::OpenForUser(const std::string& userFolder, const std::string& programFolder) {
    const std::string path = userFolder + kFileName;
    const std::string old = programFolder + kFileName;
    if (!FileExists(path) && !programFolder.empty() && old != path && FileExists(old)) {
        ImportOld(old, path);
    }
    return Load(path);
}

void ContactStore::Clear() {
    Load({});
}

void ContactStore::SynchronizeWithServer(std::uint32_t serverVersion) {
    Trace("ContactStore", "SynchronizeWithServer");
    if (client_ == nullptr || path_.empty()) {
        return;
    }
    if (serverVersion == listVersion_) {
        if (resendAtLogin_) {
            resendAtLogin_ = false;
            for (const PendingChange& change : std::vector<PendingChange>(pending_)) {
                Impl::Send(*this, change);
            }
        }
        return;
    }
    // The replacement replays the journal, which sends every pending change.
    resendAtLogin_ = false;
    syncVersion_ = serverVersion;
    if (!synchronizing_) {
        synchronizing_ = true;
        if (ui_ != nullptr) {
            ui_->SynchronizingChanged(true);
        }
    }
    GetContacts(
        *client_,
        [](const std::vector<UserProfile>* contacts, const std::vector<std::string>* groups,
           const std::string&, int status, RequestContext context) {
            auto* store = static_cast<ContactStore*>(context);
            if (status == kStatusSuccess && contacts != nullptr && groups != nullptr) {
                store->ReplaceFromServer(store->path_, store->syncVersion_, *groups, *contacts);
            }
            Impl::EndSynchronizing(*store);
        },
        this);
}

bool ContactStore::AddContact(const UserProfile& profile) {
    UserProfile copy = profile;
    if (copy.group.empty()) {
        copy.group = kDefaultGroup;
    }
    // Checked before the cut: a shortened name would be another group.
    const bool groupAllowed = IsAllowedGroupName(copy.group);
    CutProfile(copy);
    if (const UserProfile* existing = Find(copy.LoginId)) {
        screen_.MessageBox(
            Format(kAlreadyInListFormat,
                   existing->NickName.empty() ? existing->LoginId : existing->NickName),
            kMessageCaption, mb::kOk | mb::kIconExclamation);
        return false;
    }
    if (!IsDecimalId(copy.LoginId)) {
        return false;
    }
    if (!groupAllowed) {
        screen_.MessageBox(kGroupNameRuleMessage, kMessageCaption, mb::kOk | mb::kIconExclamation);
        return false;
    }
    copy.onServer = 0;
    UserProfile* added = Impl::Insert(*this, std::move(copy), true);
    if (added == nullptr) {
        return false;
    }
    Impl::Journal(*this, {PendingChange::kContact, PendingChange::kAdd, added->LoginId,
                          added->NickName, added->group});
    return true;
}

bool ContactStore::DeleteContact(const std::string& loginId) {
    const UserProfile* contact = Find(loginId);
    if (contact == nullptr) {
        return false;
    }
    const PendingChange change{PendingChange::kContact, PendingChange::kDelete, contact->LoginId,
                               contact->NickName, contact->group};
    Impl::Erase(*this, loginId, true);
    if (IsAllowedGroupName(change.group)) {
        Impl::Journal(*this, change);
    }
    return true;
}

bool ContactStore::AddGroup(const std::string& name) {
    if (!IsAllowedGroupName(name)) {
        screen_.MessageBox(kGroupNameRuleMessage, kMessageCaption, mb::kOk | mb::kIconExclamation);
        return false;
    }
    if (FindGroup(name) != nullptr) {
        return false;
    }
    Impl::EnsureGroup(*this, name, true);
    Impl::Journal(*this, {PendingChange::kGroup, PendingChange::kAdd, {}, {}, name});
    return true;
}

bool ContactStore::DeleteGroup(const std::string& name) {
    if (FindGroup(name) == nullptr) {
        return false;
    }
    Impl::EraseGroup(*this, name, true);
    // A name the service cannot hold was never on it.
    if (IsAllowedGroupName(name)) {
        Impl::Journal(*this, {PendingChange::kGroup, PendingChange::kDelete, {}, {}, name});
    }
    return true;
}

std::string ContactStore::GroupRemovalWarning(const std::string& name) const {
    const ContactGroup* group = FindGroup(name);
    std::string text = "You are about to remove a group and the following contacts:\r\n\n";
    if (group != nullptr) {
        std::size_t shown = 0;
        for (const UserProfile* member : group->members) {
            if (shown == kWarningMembers) {
                text += "\t...\r\n";
                break;
            }
            text += "\t" + member->NickName + " (" + member->LoginId + ")\r\n";
            ++shown;
        }
    }
    text += "\r\nAre you sure you want to continue?";
    return text;
}

bool ContactStore::RemoveGroupAsking(const std::string& name) {
    const ContactGroup* group = FindGroup(name);
    if (group == nullptr) {
        return false;
    }
    if (!group->members.empty() &&
        screen_.MessageBox(GroupRemovalWarning(name), kWarningCaption, mb::kYesNo) != mb::kIdYes) {
        return false;
    }
    return DeleteGroup(name);
}

void ContactStore::UpdateProfile(const UserProfile& profile) {
    UserProfile* contact = Find(profile.LoginId);
    if (contact == nullptr) {
        return;
    }
    UserProfile fresh = profile;
    CutProfile(fresh);
    fresh.group = contact->group;
    fresh.presenceFlags = contact->presenceFlags;
    fresh.waitingAlertTime = contact->waitingAlertTime;
    fresh.storedValue = contact->storedValue;
    fresh.onServer = contact->onServer;
    fresh.treeItem = contact->treeItem;
    fresh.state = 1;
    *contact = std::move(fresh);
    if (ui_ != nullptr) {
        ui_->ContactUpdated(*contact);
    }
}

UserProfile* ContactStore::Find(const std::string& loginId) {
    auto it = byId_.find(loginId);
    return it == byId_.end() ? nullptr : it->second;
}

const UserProfile* ContactStore::Find(const std::string& loginId) const {
    return const_cast<ContactStore*>(this)->Find(loginId);
}

const ContactGroup* ContactStore::FindGroup(const std::string& name) const {
    auto it = groups_.find(name);
    return it == groups_.end() ? nullptr : &it->second;
}

ContactGroup* ContactStore::FindGroup(const std::string& name) {
    auto it = groups_.find(name);
    return it == groups_.end() ? nullptr : &it->second;
}

std::string ContactStore::JournalPath() const {
    return path_.empty() ? std::string{} : stores_detail::JournalPathFor(path_);
}

bool ContactStore::IsOnline(const UserProfile& contact) {
    return (contact.presenceFlags & kOnline) != 0 && (contact.presenceFlags & kHidesOnline) == 0;
}

std::string ContactStore::WatchList() const {
    std::string list;
    for (const auto& contact : contacts_) {
        list += contact->LoginId;
        list += '\n';
    }
    return list;
}

void ContactStore::OnWatch(const std::string& loginId, std::int16_t status, bool initial,
                           bool last) {
    if (UserProfile* contact = Find(loginId)) {
        const std::uint32_t before = contact->presenceFlags;
        const bool wasOnline = IsOnline(*contact);
        contact->presenceFlags = static_cast<std::uint16_t>(status);
        if (!initial && !wasOnline && IsOnline(*contact) && before == 0 && engine_ != nullptr) {
            engine_->PlaySoundEvent(kOnlineSound);
        }
        if (ui_ != nullptr && before != contact->presenceFlags) {
            ui_->ContactUpdated(*contact);
        }
    }
    if (last && engine_ != nullptr && engine_->ConnectionState() == 4) {
        if (ui_ != nullptr) {
            ui_->InitialPresenceDone();
        }
        if (hooks_ != nullptr) {
            hooks_->FlushOfflineQueue();
            hooks_->SendPendingVoiceMail();
        }
    }
}

void ContactStore::OnConnectionState(int state) {
    // Without the engine's session nobody's presence is known.
    if (state == 3 || state == 4) {
        return;
    }
    for (const auto& contact : contacts_) {
        if (contact->presenceFlags != 0) {
            contact->presenceFlags = 0;
            if (ui_ != nullptr) {
                ui_->ContactUpdated(*contact);
            }
        }
    }
}

void ContactStore::SetWaitingAlertTime(const std::string& loginId, std::int32_t time) {
    if (UserProfile* contact = Find(loginId)) {
        contact->waitingAlertTime = time;
        if (ui_ != nullptr) {
            ui_->ContactUpdated(*contact);
        }
    }
}

bool ContactStore::AddUnknownSender(const std::string& loginId, const std::string& nickName,
                                    bool autoAdd) {
    if (!autoAdd || loginId.empty() || Find(loginId) != nullptr) {
        return false;
    }
    UserProfile profile;
    profile.state = 1;
    profile.LoginId = loginId;
    profile.NickName = nickName;
    profile.group = kDefaultGroup;
    return AddContact(profile);
}

void ContactStore::OnAddContactReply(const std::string& loginId, const std::string& error,
                                     int status) {
    if (status == kStatusSuccess || status == kStatusAlreadyPresent ||
        status == kStatusNotPresent) {
        Impl::RemovePending(*this, PendingChange::kContact, PendingChange::kAdd, loginId);
        if (status == kStatusSuccess) {
            ++listVersion_;
        }
        if (UserProfile* contact = Find(loginId)) {
            contact->onServer = 1;
            // The service creates the group with its first contact.
            if (status == kStatusSuccess) {
                if (ContactGroup* group = FindGroup(contact->group)) {
                    group->onServer = 1;
                }
            }
        }
        return;
    }
    if (RefusedForGood(error)) {
        Impl::DropRefused(*this, PendingChange::kContact, PendingChange::kAdd, loginId, error);
    }
}

void ContactStore::OnDeleteContactReply(const std::string& loginId, const std::string& error,
                                        int status) {
    if (status == kStatusSuccess || status == kStatusNotPresent) {
        Impl::RemovePending(*this, PendingChange::kContact, PendingChange::kDelete, loginId);
        if (status == kStatusSuccess) {
            ++listVersion_;
        }
        return;
    }
    if (RefusedForGood(error)) {
        Impl::DropRefused(*this, PendingChange::kContact, PendingChange::kDelete, loginId, error);
    }
}

void ContactStore::OnAddGroupReply(const std::string& name, const std::string& error, int status) {
    if (status == kStatusSuccess || status == kStatusAlreadyPresent) {
        Impl::RemovePending(*this, PendingChange::kGroup, PendingChange::kAdd, name);
        if (status == kStatusSuccess) {
            ++listVersion_;
        }
        Impl::EnsureGroup(*this, name, true).onServer = 1;
        return;
    }
    if (RefusedForGood(error)) {
        Impl::DropRefused(*this, PendingChange::kGroup, PendingChange::kAdd, name, error);
    }
}

void ContactStore::OnDeleteGroupReply(const std::string& name, const std::string& error,
                                      int status) {
    if (status == kStatusSuccess || status == kStatusNotPresent) {
        Impl::RemovePending(*this, PendingChange::kGroup, PendingChange::kDelete, name);
        if (status == kStatusSuccess) {
            ++listVersion_;
        }
        return;
    }
    if (RefusedForGood(error)) {
        Impl::DropRefused(*this, PendingChange::kGroup, PendingChange::kDelete, name, error);
    }
}

}  // namespace qv
