#include "stores/BlockStore.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <optional>

#include "directory/BlockRequests.h"
#include "directory/DirectoryClient.h"
#include "directory/DirectoryStatus.h"
#include "directory/ReplyGrammar.h"
#include "directory/UserProfile.h"
#include "messaging/SystemNotices.h"
#include "platform/FileIo.h"
#include "platform/Screen.h"
#include "platform/Trace.h"
#include "stores/BlockListFile.h"
#include "stores/BlockListUi.h"
#include "stores/ContactStore.h"
#include "stores/EngineLists.h"
#include "stores/FixedRecords.h"

namespace qv {

namespace {

std::string Format2(std::string_view format, const std::string& a, const std::string& b) {
    std::string out;
    const std::size_t first = format.find("%s");
    const std::size_t second = format.find("%s", first + 2);
    out.append(format.substr(0, first));
    out.append(a);
    out.append(format.substr(first + 2, second - first - 2));
    out.append(b);
    out.append(format.substr(second + 2));
    return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// The word itself, not the start of a longer one.
bool StartsWithWord(std::string_view text, std::string_view word) {
    return StartsWithNoCase(text, word) &&
           (text.size() == word.size() ||
            !std::isalnum(static_cast<unsigned char>(text[word.size()])));
}

// What the service answers when it will never take the block: resending it cannot help.
bool RefusedForGood(const std::string& error, bool block) {
    return error == "Too many blocked users" || error == "You can't block yourself" ||
           (block && error == "User not found");
}

BlockedUser MakeUser(const std::string& id, const std::string& nick, const std::string& text) {
    BlockedUser user;
    user.LoginId = stores_detail::Cut(id, BlockStore::kMaxIdOrNick);
    user.NickName = stores_detail::Cut(nick, BlockStore::kMaxIdOrNick);
    user.text = stores_detail::Cut(text, BlockStore::kMaxText);
    return user;
}

}  // namespace

struct BlockStore::Impl {
    static void Notice(BlockStore& store, const std::string& text) {
        store.notices_.AddSystemNotice(text, true, static_cast<std::uint32_t>(std::time(nullptr)));
    }

    static void Changed(BlockStore& store) {
        store.SendToEngine();
        if (store.ui_ != nullptr) {
            store.ui_->BlockListChanged();
        }
    }

    static void WriteJournal(const BlockStore& store) {
        if (store.path_.empty()) {
            return;
        }
        MakeFolders(stores_detail::FolderOf(store.path_));
        if (!WriteFileAtomically(store.JournalPath(), WriteBlockJournal(store.pending_))) {
            Trace("BlockStore", "WriteJournal failed");
        }
    }

    // Never reached the service (no login, a refused one, the network): the next login sends it.
    static void NoteUnsent(RequestContext context, const std::string& error, int status) {
        if (status == kStatusFailure &&
            (error == kNotConnectedMessage || error == reply::kDatabaseConnectionMessage)) {
            static_cast<BlockStore*>(context)->resendAtLogin_ = true;
        }
    }

    static void Send(BlockStore& store, const JournalEntry& entry) {
        if (store.client_ == nullptr) {
            return;
        }
        if (entry.operation == JournalEntry::kBlock) {
            AddBlock(
                *store.client_, entry.user.LoginId,
                [](const std::string& item, const std::string& error, int status,
                   RequestContext context) {
                    NoteUnsent(context, error, status);
                    static_cast<BlockStore*>(context)->OnAddBlockReply(item, error, status);
                },
                &store);
        } else {
            RemoveBlock(
                *store.client_, entry.user.LoginId,
                [](const std::string& item, const std::string& error, int status,
                   RequestContext context) {
                    NoteUnsent(context, error, status);
                    static_cast<BlockStore*>(context)->OnRemoveBlockReply(item, error, status);
                },
                &store);
        }
    }

    static void Journal(BlockStore& store, const JournalEntry& entry) {
        store.pending_.push_back(entry);
        WriteJournal(store);
        Send(store, entry);
    }

    static bool RemovePending(BlockStore& store, std::int32_t operation, const std::string& id,
                              std::string* nick = nullptr) {
        auto it =
            std::find_if(store.pending_.begin(), store.pending_.end(), [&](const JournalEntry& e) {
                return e.operation == operation && e.user.LoginId == id;
            });
        if (it == store.pending_.end()) {
            return false;
        }
        if (nick != nullptr) {
            *nick = it->user.NickName;
        }
        store.pending_.erase(it);
        WriteJournal(store);
        return true;
    }

    static BlockedUser* Record(BlockStore& store, const std::string& id) {
        for (auto& user : store.records_) {
            if (user.LoginId == id) {
                return &user;
            }
        }
        return nullptr;
    }

    // Each change again; records stay pending until the service confirms them.
    static void Replay(BlockStore& store) {
        const std::vector<JournalEntry> entries = store.pending_;
        for (const JournalEntry& entry : entries) {
            if (entry.user.LoginId.empty()) {
                std::erase(store.pending_, entry);
                WriteJournal(store);
                continue;
            }
            if (entry.operation == JournalEntry::kUnblock) {
                std::erase_if(store.records_, [&](const BlockedUser& u) {
                    return u.LoginId == entry.user.LoginId;
                });
            } else if (Record(store, entry.user.LoginId) == nullptr) {
                BlockedUser user = entry.user;
                user.onServer = 0;
                store.records_.push_back(std::move(user));
            }
            Send(store, entry);
        }
    }

    static void ReadJournal(BlockStore& store) {
        store.pending_.clear();
        if (const auto bytes = ReadWholeFile(store.JournalPath(), 16u * 1024u * 1024u)) {
            store.pending_ = ReadBlockJournal(*bytes);
        }
    }
};

BlockStore::BlockStore(DirectoryClient* client, EngineLists* engine, Screen& screen,
                       SystemNotices& notices)
    : client_(client), engine_(engine), screen_(screen), notices_(notices) {}

BlockStore::~BlockStore() {
    if (client_ != nullptr) {
        client_->Cancel(this);
    }
    Save();
}

bool BlockStore::Load(const std::string& path) {
    Trace("BlockStore", "Load");
    if (!path_.empty()) {
        Save();
    }
    if (client_ != nullptr) {
        client_->Cancel(this);
    }
    records_.clear();
    pending_.clear();
    listVersion_ = 0;
    resendAtLogin_ = false;
    path_ = path;
    bool read = false;
    if (!path_.empty()) {
        if (const auto bytes = ReadWholeFile(path_)) {
            BlockListData data;
            read = ReadBlockList(*bytes, data);
            if (read) {
                listVersion_ = data.listVersion;
                for (auto& user : data.users) {
                    if (!user.LoginId.empty() && Impl::Record(*this, user.LoginId) == nullptr) {
                        records_.push_back(std::move(user));
                    }
                }
            } else {
                // Kept aside: the next save would replace what we cannot read.
                CopyFileOver(path_, path_ + ".unreadable");
            }
        }
        Impl::ReadJournal(*this);
        Impl::Replay(*this);
        Save();
    }
    Impl::Changed(*this);
    return read;
}

bool BlockStore::Save() {
    if (path_.empty()) {
        return false;
    }
    BlockListData data;
    data.listVersion = listVersion_;
    data.users = records_;
    MakeFolders(stores_detail::FolderOf(path_));
    return ReplaceFileAtomically(path_, WriteBlockList(data), kPrivateFileMode);
}

void BlockStore::ReplaceFromServer(std::uint32_t serverVersion,
                                   const std::vector<UserProfile>& serverList) {
    Trace("BlockStore", "ReplaceFromServer");
    listVersion_ = serverVersion;
    records_.clear();
    for (const UserProfile& server : serverList) {
        BlockedUser user = MakeUser(server.LoginId, server.NickName, {});
        user.onServer = 1;
        if (!user.LoginId.empty() && Impl::Record(*this, user.LoginId) == nullptr) {
            records_.push_back(std::move(user));
        }
    }
    Impl::Replay(*this);
    Save();
    Impl::Changed(*this);
}

void BlockStore::SynchronizeWithServer(std::uint32_t serverVersion) {
    Trace("BlockStore", "SynchronizeWithServer");
    if (client_ == nullptr || path_.empty()) {
        return;
    }
    if (serverVersion == listVersion_) {
        if (resendAtLogin_) {
            resendAtLogin_ = false;
            for (const JournalEntry& entry : std::vector<JournalEntry>(pending_)) {
                Impl::Send(*this, entry);
            }
        }
        return;
    }
    // The replacement replays the journal, which sends every pending change.
    resendAtLogin_ = false;
    syncVersion_ = serverVersion;
    GetBlockList(
        *client_,
        [](const std::vector<UserProfile>* users, const std::string&, int status,
           RequestContext context) {
            auto* store = static_cast<BlockStore*>(context);
            if (status == kStatusSuccess && users != nullptr) {
                store->ReplaceFromServer(store->syncVersion_, *users);
            }
        },
        this);
}

BlockStore::BlockResult BlockStore::Block(const std::string& loginId, const std::string& nickName,
                                          const std::string& text) {
    if (IsCustomerServiceName(nickName)) {
        Impl::Notice(*this, kCustomerServiceNotice);
        return BlockResult::CustomerService;
    }
    if (!ownId_.empty() && loginId == ownId_) {
        Impl::Notice(*this, kSelfNotice);
        return BlockResult::Self;
    }
    const BlockedUser user = MakeUser(loginId, nickName, text);
    if (user.LoginId.empty()) {
        return BlockResult::Invalid;
    }
    if (IsBlocked(user.LoginId)) {
        Impl::Notice(*this, kDuplicateNotice);
        return BlockResult::Duplicate;
    }
    records_.push_back(user);
    Impl::Journal(*this, {JournalEntry::kBlock, user});
    Impl::Changed(*this);
    if (contacts_ != nullptr && contacts_->Find(loginId) != nullptr) {
        contacts_->DeleteContact(loginId);
        Impl::Notice(*this, Format2(kBlockedContactFormat, user.NickName, user.LoginId));
    } else {
        Impl::Notice(*this, Format2(kBlockedFormat, user.NickName, user.LoginId));
    }
    return BlockResult::Blocked;
}

bool BlockStore::Unblock(const std::string& loginId) {
    auto it = std::find_if(records_.begin(), records_.end(),
                           [&](const BlockedUser& u) { return u.LoginId == loginId; });
    if (it == records_.end()) {
        return false;
    }
    const BlockedUser user = *it;
    records_.erase(it);
    Impl::Journal(*this, {JournalEntry::kUnblock, user});
    Impl::Changed(*this);
    return true;
}

bool BlockStore::UnblockAll() {
    if (records_.empty()) {
        return false;
    }
    if (screen_.MessageBox(kUnblockAllText, kUnblockAllCaption,
                           mb::kYesNo | mb::kIconExclamation) != mb::kIdYes) {
        return false;
    }
    const std::vector<BlockedUser> all = records_;
    records_.clear();
    for (const BlockedUser& user : all) {
        pending_.push_back({JournalEntry::kUnblock, user});
    }
    Impl::WriteJournal(*this);
    for (const BlockedUser& user : all) {
        Impl::Send(*this, {JournalEntry::kUnblock, user});
    }
    Impl::Changed(*this);
    return true;
}

bool BlockStore::IsBlocked(const std::string& loginId) const {
    return std::any_of(records_.begin(), records_.end(),
                       [&](const BlockedUser& u) { return u.LoginId == loginId; });
}

bool BlockStore::IsCustomerServiceName(const std::string& nickName) {
    return StartsWithNoCase(nickName, "CS ") || StartsWithWord(nickName, "Velmora") ||
           StartsWithWord(nickName, "Quorvane");
}

std::string BlockStore::JournalPath() const {
    return path_.empty() ? std::string{} : stores_detail::JournalPathFor(path_);
}

std::string BlockStore::EngineList() const {
    std::string list;
    for (const auto& user : records_) {
        list += user.LoginId;
        list += '\n';
    }
    return list;
}

void BlockStore::SendToEngine() const {
    if (engine_ != nullptr) {
        engine_->SetBlockList(EngineList());
    }
}

void BlockStore::OnAddBlockReply(const std::string& loginId, const std::string& error, int status) {
    if (status == kStatusSuccess || status == kStatusAlreadyPresent) {
        Impl::RemovePending(*this, JournalEntry::kBlock, loginId);
        if (status == kStatusSuccess) {
            ++listVersion_;
        }
        if (BlockedUser* user = Impl::Record(*this, loginId)) {
            user->onServer = 1;
        }
        return;
    }
    std::string nick;
    if (RefusedForGood(error, true) &&
        Impl::RemovePending(*this, JournalEntry::kBlock, loginId, &nick)) {
        Impl::Notice(*this,
                     "Blocking " + nick + " (" + loginId + ") was refused by the server: " + error);
    }
}

void BlockStore::OnRemoveBlockReply(const std::string& loginId, const std::string& error,
                                    int status) {
    if (status == kStatusSuccess || status == kStatusNotPresent) {
        Impl::RemovePending(*this, JournalEntry::kUnblock, loginId);
        if (status == kStatusSuccess) {
            ++listVersion_;
        }
        return;
    }
    std::string nick;
    if (RefusedForGood(error, false) &&
        Impl::RemovePending(*this, JournalEntry::kUnblock, loginId, &nick)) {
        Impl::Notice(
            *this, "Unblocking " + nick + " (" + loginId + ") was refused by the server: " + error);
    }
}

}  // namespace qv
