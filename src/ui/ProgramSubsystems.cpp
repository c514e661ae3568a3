#include "ui/ProgramSubsystems.h"

#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "app/ProgramForumAccess.h"
#include "app/ProgramMessageLinks.h"
#include "calls/CallManager.h"
#include "directory/UserProfile.h"
#include "engine/CSonaroManager.h"
#include "platform/Screen.h"
#include "settings/LoginKey.h"
#include "settings/RegistryKey.h"
#include "stores/BlockStore.h"
#include "stores/ContactStore.h"
#include "stores/EventLog.h"

namespace qv {

void ProgramSubsystems::RequestPartnerParameters() {
    app_.RequestPartnerParameters();
}

bool ProgramSubsystems::CallOrForumInProgress() const {
    if (CallManager* calls = app_.GetCallManager()) {
        return !calls->IsIdle();
    }
    CSonaroManager* manager = app_.SonaroManager();
    return manager != nullptr && manager->IsInGroupOrConference();
}

void ProgramSubsystems::HangUp() {
    if (CallManager* calls = app_.GetCallManager()) {
        calls->HangUp();
    }
}

void ProgramSubsystems::DeclineRingingCall(std::int16_t reason, const std::string& text) {
    if (CallManager* calls = app_.GetCallManager()) {
        calls->DeclineRingingCall(reason, text);
    }
}

void ProgramSubsystems::CallUser(const UserProfile& user) {
    if (CallManager* calls = app_.GetCallManager()) {
        calls->PlaceCall(user.LoginId, user.NickName);
    }
}

void ProgramSubsystems::JoinForum(const CommandRecord& record) {
    if (ProgramForumAccess* forums = app_.GetForumAccess()) {
        forums->JoinForumOfCommand(record);
    }
}

std::uint32_t ProgramSubsystems::LoggedInId() const {
    std::uint32_t id = 0;
    if (RegistryKey* key = app_.LoginKey()) {
        key->GetDword(login_key::kQuorvaneId, id);
    }
    return id;
}

void ProgramSubsystems::OpenEventLog(const std::string& path) {
    if (EventLog* log = app_.GetEventLog()) {
        log->OpenOrRepair(path, app_.Shell().GetScreen());
    }
}

void ProgramSubsystems::OpenBlockList(const std::string& path) {
    BlockStore* blocks = app_.GetBlockStore();
    if (blocks == nullptr) {
        return;
    }
    const std::uint32_t id = LoggedInId();
    blocks->SetOwnId(id == 0 ? std::string() : std::to_string(id));
    // Without a user the program folder's name would be used: no list then.
    blocks->Load(id == 0 ? std::string() : path);
}

void ProgramSubsystems::ReloadContactList() {
    ContactStore* contacts = app_.GetContactStore();
    if (contacts == nullptr) {
        return;
    }
    const std::uint32_t id = LoggedInId();
    if (id == 0) {
        contacts->Clear();
        return;
    }
    contacts->OpenForUser(app_.Folders().UserFolder(std::to_string(id)), app_.ProgramFolder());
}

void ProgramSubsystems::ClearContactList() {
    if (ContactStore* contacts = app_.GetContactStore()) {
        contacts->Clear();
    }
}

void ProgramSubsystems::ContactListVersion(long version) {
    if (ContactStore* contacts = app_.GetContactStore()) {
        contacts->SynchronizeWithServer(static_cast<std::uint32_t>(version));
    }
}

void ProgramSubsystems::BlockListVersion(long version) {
    if (BlockStore* blocks = app_.GetBlockStore()) {
        blocks->SynchronizeWithServer(static_cast<std::uint32_t>(version));
    }
}

void ProgramSubsystems::RestartAlerts(std::uint32_t userId) {
    MessageCenter* center = app_.Notices();
    if (center == nullptr) {
        return;
    }
    // Saves the previous user's unseen messages, then loads this user's.
    center->Attach(userId == 0 ? std::string() : app_.Folders().UserFolder(std::to_string(userId)),
                   app_.Scheduler());
}

void ProgramSubsystems::SetOfflineQueueFolder(const std::string& folder) {
    if (ProgramMessageLinks* links = app_.MessageLinks()) {
        links->Queue().SetFolder(folder.empty() || folder.back() == '/' ? folder : folder + "/");
    }
}

}  // namespace qv
