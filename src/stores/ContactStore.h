#pragma once

// The user's address book: contacts in named groups, kept in Addressbook.dat in the user's
// folder, with a ".mod" journal of the changes the directory service has not confirmed, and
// replaced by the server's copy when the versions differ at login. The contact-list window
// shows it through ContactListUi; every call is made on the user-interface thread.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "directory/UserProfile.h"
#include "stores/ContactGroup.h"
#include "stores/PendingChange.h"

namespace qv {

class ContactListUi;
class DirectoryClient;
class EngineLists;
class PresenceBurstHooks;
class Screen;
class SystemNotices;

class ContactStore {
  public:
    static constexpr std::int32_t kFormatVersion = 5;
    static constexpr const char* kDefaultGroup = "General";
    static constexpr const char* kFileName = "Addressbook.dat";
    static constexpr const char* kAlreadyInListFormat = "%s is already in your contact list.";
    static constexpr const char* kWarningCaption = "Warning!";
    static constexpr const char* kOnlineSound = "ContactOnline";
    // Text fields hold at most this many characters.
    static constexpr std::size_t kMaxText = 63;

    // Presence flag bits.
    static constexpr std::uint32_t kOnline = 0x01;
    static constexpr std::uint32_t kHidesOnline = 0x20;

    // client and engine may be null (nothing is sent then).
    ContactStore(DirectoryClient* client, EngineLists* engine, Screen& screen,
                 SystemNotices& notices);
    ~ContactStore();
    ContactStore(const ContactStore&) = delete;
    ContactStore& operator=(const ContactStore&) = delete;

    void SetUi(ContactListUi* ui) { ui_ = ui; }
    void SetPresenceBurstHooks(PresenceBurstHooks* hooks) { hooks_ = hooks; }
    void SetDirectoryClient(DirectoryClient* client) { client_ = client; }
    void SetEngine(EngineLists* engine) { engine_ = engine; }

    // Saves the current list to its old path, clears everything, reads path and replays the
    // journal. False when the file was not read; an empty path just clears.
    bool Load(const std::string& path);
    // Writes Addressbook.dat (version 5) to the stored path; false when that failed or no path.
    bool Save();
    // The server's copy replaces the list (everything on server), then the journal is replayed
    // and the list saved.
    void ReplaceFromServer(const std::string& path, std::uint32_t serverVersion,
                           const std::vector<std::string>& serverGroups,
                           const std::vector<UserProfile>& serverContacts);
    // Takes over an older installation's file: every group and contact becomes a journalled
    // change that reaches the server.
    bool ImportOld(const std::string& oldPath, const std::string& newPath);
    // Opens the user's list: userFolder + Addressbook.dat, importing programFolder's old file
    // when the user has none yet.
    bool OpenForUser(const std::string& userFolder, const std::string& programFolder);
    // Saves, then forgets the list and its path (no user logged in).
    void Clear();

    // The login reply's ContactListVer: equal versions send nothing (but the changes that could
    // not be sent before this login), others fetch GetContacts.
    void SynchronizeWithServer(std::uint32_t serverVersion);
    bool Synchronizing() const { return synchronizing_; }

    // Commands of the contact-list window. AddContact: an empty group means "General"; a
    // contact already in the list is refused with a message box. False when nothing changed.
    bool AddContact(const UserProfile& profile);
    bool DeleteContact(const std::string& loginId);
    // A group name against the rule of the service; the refusal is shown as a message box.
    bool AddGroup(const std::string& name);
    // Removes the group and its members without asking.
    bool DeleteGroup(const std::string& name);
    // The remove command on a group item: asks with the "Warning!" box when the group has
    // members. False when the user said No or there is no such group.
    bool RemoveGroupAsking(const std::string& name);
    // The warning text for a group (what RemoveGroupAsking shows).
    std::string GroupRemovalWarning(const std::string& name) const;

    // Copies a fresh profile into the contact with the same ID (keeps group and run-time state).
    void UpdateProfile(const UserProfile& profile);

    // Read access for the window.
    UserProfile* Find(const std::string& loginId);
    const UserProfile* Find(const std::string& loginId) const;
    const ContactGroup* FindGroup(const std::string& name) const;
    ContactGroup* FindGroup(const std::string& name);
    // Insertion order.
    const std::vector<std::unique_ptr<UserProfile>>& Contacts() const { return contacts_; }
    // By name (byte order; the window sorts as it shows them).
    const std::map<std::string, ContactGroup>& Groups() const { return groups_; }
    const std::vector<PendingChange>& Pending() const { return pending_; }
    const std::string& Path() const { return path_; }
    std::string JournalPath() const;
    std::uint32_t ListVersion() const { return listVersion_; }
    // Online and not hidden (bit 5 counts as offline).
    static bool IsOnline(const UserProfile& contact);
    // The IDs each followed by a line feed, as the engine's watch list.
    std::string WatchList() const;

    // The engine's Watch event: presence of one contact; initial marks the burst after login,
    // last its final reply.
    void OnWatch(const std::string& loginId, std::int16_t status, bool initial, bool last);
    // The engine's connection state changed: below 4 every contact is offline again.
    void OnConnectionState(int state);

    // Hooks for the alerts and messages: the time of the contact's waiting alert (0: none).
    void SetWaitingAlertTime(const std::string& loginId, std::int32_t time);
    // A sender who is not in the list joins "General" when autoAdd (AutoAddToContactList) is on.
    // True when the sender was added.
    bool AddUnknownSender(const std::string& loginId, const std::string& nickName, bool autoAdd);

    // Server confirmations (the directory callbacks of the store's requests).
    void OnAddContactReply(const std::string& loginId, const std::string& error, int status);
    void OnDeleteContactReply(const std::string& loginId, const std::string& error, int status);
    void OnAddGroupReply(const std::string& name, const std::string& error, int status);
    void OnDeleteGroupReply(const std::string& name, const std::string& error, int status);

  private:
    struct Impl;

    DirectoryClient* client_;
    EngineLists* engine_;
    Screen& screen_;
    SystemNotices& notices_;
    ContactListUi* ui_ = nullptr;
    PresenceBurstHooks* hooks_ = nullptr;

    std::vector<std::unique_ptr<UserProfile>> contacts_;
    // LoginId -> contact, for Find.
    std::unordered_map<std::string, UserProfile*> byId_;
    std::map<std::string, ContactGroup> groups_;
    std::vector<PendingChange> pending_;
    std::string path_;
    std::uint32_t listVersion_ = 0;
    bool synchronizing_ = false;
    std::uint32_t syncVersion_ = 0;
    // A change could not be sent (not logged in): send the journal again at the next login.
    bool resendAtLogin_ = false;
};

}  // namespace qv
