#pragma once

// The users from whom the user wants nothing: kept in Blocked.dat in the user's folder with a
// ".mod" journal of unconfirmed changes, synchronised with the directory service by version, and
// handed whole to the engine after every change (it then delivers nothing from them).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stores/BlockedUser.h"

namespace qv {

class BlockListUi;
class ContactStore;
class DirectoryClient;
class EngineLists;
class Screen;
class SystemNotices;
struct UserProfile;

class BlockStore {
  public:
    static constexpr std::int32_t kFormatVersion = 2;
    static constexpr const char* kFileName = "Blocked.dat";
    static constexpr std::size_t kMaxIdOrNick = 31;
    static constexpr std::size_t kMaxText = 255;

    static constexpr const char* kCustomerServiceNotice =
        "Quorvane Customer Service representatives may not be blocked.";
    static constexpr const char* kSelfNotice = "You can't add yourself to the blocked users list.";
    static constexpr const char* kDuplicateNotice = "User already exists in the blocked user list.";
    static constexpr const char* kBlockedContactFormat =
        "User %s (%s) has been blocked and removed from your contact list.";
    static constexpr const char* kBlockedFormat = "%s (%s) has been added to your block list.";
    static constexpr const char* kUnblockAllCaption = "Warning";
    static constexpr const char* kUnblockAllText =
        "Warning: Are you sure you want to unblock all users?";

    struct JournalEntry {
        static constexpr std::int32_t kBlock = 0;
        static constexpr std::int32_t kUnblock = 1;
        std::int32_t operation = kBlock;
        BlockedUser user;
        bool operator==(const JournalEntry&) const = default;
    };

    enum class BlockResult { Blocked, CustomerService, Self, Duplicate, Invalid };

    // client and engine may be null (nothing is sent then).
    BlockStore(DirectoryClient* client, EngineLists* engine, Screen& screen,
               SystemNotices& notices);
    ~BlockStore();
    BlockStore(const BlockStore&) = delete;
    BlockStore& operator=(const BlockStore&) = delete;

    void SetUi(BlockListUi* ui) { ui_ = ui; }
    void SetContactStore(ContactStore* contacts) { contacts_ = contacts; }
    void SetDirectoryClient(DirectoryClient* client) { client_ = client; }
    void SetEngine(EngineLists* engine) { engine_ = engine; }
    // The logged-in user's own ID (may not be blocked).
    void SetOwnId(std::string id) { ownId_ = std::move(id); }

    // Saves the current list, reads path, replays the journal and hands the list to the engine.
    // False when the file was not read (the list is empty then); an empty path just clears.
    bool Load(const std::string& path);
    bool Save();
    void ReplaceFromServer(std::uint32_t serverVersion, const std::vector<UserProfile>& serverList);
    // The login reply's BlockListVer: when it differs, GetBlockList replaces the list; when equal,
    // the changes that could not be sent before this login are sent.
    void SynchronizeWithServer(std::uint32_t serverVersion);

    // Commands: each refusal is a system notice shown at once.
    BlockResult Block(const std::string& loginId, const std::string& nickName,
                      const std::string& text);
    bool Unblock(const std::string& loginId);
    // Asks first ("Warning", Yes/No); false when the user said No.
    bool UnblockAll();

    bool IsBlocked(const std::string& loginId) const;
    static bool IsCustomerServiceName(const std::string& nickName);
    const std::vector<BlockedUser>& Records() const { return records_; }
    const std::vector<JournalEntry>& Pending() const { return pending_; }
    const std::string& Path() const { return path_; }
    std::string JournalPath() const;
    std::uint32_t ListVersion() const { return listVersion_; }
    // The IDs each followed by a line feed.
    std::string EngineList() const;
    // Hands the whole list to the engine again (at registration).
    void SendToEngine() const;

    // Server confirmations.
    void OnAddBlockReply(const std::string& loginId, const std::string& error, int status);
    void OnRemoveBlockReply(const std::string& loginId, const std::string& error, int status);

  private:
    struct Impl;

    DirectoryClient* client_;
    EngineLists* engine_;
    Screen& screen_;
    SystemNotices& notices_;
    BlockListUi* ui_ = nullptr;
    ContactStore* contacts_ = nullptr;
    std::string ownId_;

    std::vector<BlockedUser> records_;
    std::vector<JournalEntry> pending_;
    std::string path_;
    std::uint32_t listVersion_ = 0;
    std::uint32_t syncVersion_ = 0;
    // A change could not be sent (not logged in): send the journal again at the next login.
    bool resendAtLogin_ = false;
};

}  // namespace qv
