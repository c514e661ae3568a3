#include "app/ProgramMessageLinks.h"

#include <ctime>

#include "directory/DirectoryClient.h"
#include "directory/StoredMessages.h"
#include "directory/UserProfile.h"
#include "engine/CSonaroManager.h"
#include "platform/Screen.h"
#include "platform/TickClock.h"
#include "settings/Options.h"
#include "stores/ContactStore.h"

namespace qv {

ProgramMessageLinks::ProgramMessageLinks(MessageCenter& center, CSonaroManager& engine,
                                         ContactStore* contacts, DirectoryClient* directory,
                                         const Options& options, Screen& screen,
                                         const TickClock& clock,
                                         std::unique_ptr<OfflineQueue> queue)
    : center_(center),
      engine_(engine),
      contacts_(contacts),
      directory_(directory),
      options_(options),
      screen_(screen),
      clock_(clock),
      queue_(std::move(queue)),
      alive_(std::make_shared<ProgramMessageLinks*>(this)) {
    center_.SetLinks(this);
    center_.SetOfflineQueue(queue_.get());
    engine_.Subscribe<engine_event::UserMessage>(&ProgramMessageLinks::OnUserMessage, this);
    engine_.Subscribe<engine_event::serverMessage>(&ProgramMessageLinks::OnServerMessage, this);
    engine_.Subscribe<engine_event::ConnectionState>(&ProgramMessageLinks::OnConnectionState, this);
    if (contacts_ != nullptr) {
        contacts_->SetPresenceBurstHooks(this);
    }
}

ProgramMessageLinks::~ProgramMessageLinks() {
    *alive_ = nullptr;
    engine_.Unsubscribe<engine_event::UserMessage>(&ProgramMessageLinks::OnUserMessage, this);
    engine_.Unsubscribe<engine_event::serverMessage>(&ProgramMessageLinks::OnServerMessage, this);
    engine_.Unsubscribe<engine_event::ConnectionState>(&ProgramMessageLinks::OnConnectionState,
                                                       this);
    if (contacts_ != nullptr) {
        contacts_->SetPresenceBurstHooks(nullptr);
    }
    center_.SetOfflineQueue(nullptr);
    center_.SetLinks(nullptr);
}

void ProgramMessageLinks::OnUserMessage(const std::string& alias, const std::string& uid,
                                        std::int16_t number, std::int16_t parameter,
                                        const std::string& text, void* self) {
    static_cast<ProgramMessageLinks*>(self)->center_.OnUserMessage(alias, uid, number, parameter,
                                                                   text);
}

void ProgramMessageLinks::OnServerMessage(std::int16_t type, std::int16_t number,
                                          const std::string& text, void* self) {
    static_cast<ProgramMessageLinks*>(self)->center_.OnServerMessage(type, number, text);
}

void ProgramMessageLinks::OnConnectionState(std::int32_t state, void* self) {
    auto* links = static_cast<ProgramMessageLinks*>(self);
    links->center_.OnConnectionState(state);
    if (state == 4) {
        // Without contacts no presence burst comes to flush the queue: flush at login then.
        if (links->contacts_ == nullptr || links->contacts_->Contacts().empty()) {
            links->FlushOfflineQueue();
        }
        links->PollStoredMessages();
    }
}

int ProgramMessageLinks::ConnectionState() const {
    return engine_.State();
}

std::int16_t ProgramMessageLinks::PresenceMode() const {
    return engine_.PresenceMode();
}

std::string ProgramMessageLinks::OwnNickname() const {
    return engine_.NickName();
}

std::string ProgramMessageLinks::OwnId() const {
    return engine_.UserId();
}

bool ProgramMessageLinks::SendUserMessage(const std::string& id, const std::string& nickname,
                                          std::int16_t number, std::int16_t parameter,
                                          const std::string& text) {
    return engine_.SendUserMessage(id, nickname, number, parameter, text);
}

void ProgramMessageLinks::PlaySoundEvent(const std::string& name) {
    engine_.PlaySoundEvent(name);
}

std::optional<std::uint32_t> ProgramMessageLinks::ContactPresence(const std::string& id) const {
    if (contacts_ == nullptr) {
        return std::nullopt;
    }
    const UserProfile* contact = contacts_->Find(id);
    if (contact == nullptr) {
        return std::nullopt;
    }
    return contact->presenceFlags;
}

std::string ProgramMessageLinks::CustomMessage(const std::string& key) const {
    if (key == "Away Message") {
        return options_.AwayMessage();
    }
    if (key == "Occupied Message") {
        return options_.OccupiedMessage();
    }
    if (key == "DND Message") {
        return options_.DndMessage();
    }
    return {};
}

bool ProgramMessageLinks::InForum(const std::string& forum) const {
    return !forum.empty() && engine_.CurrentGroup() == forum;
}

void ProgramMessageLinks::SendStoredMessage(const std::string& to, const std::string& text,
                                            std::int32_t priority,
                                            std::function<void(int, const std::string&)> done) {
    if (directory_ == nullptr) {
        if (done) {
            done(-1, "Not connected");
        }
        return;
    }
    std::weak_ptr<ProgramMessageLinks*> alive = alive_;
    SendStoredText(
        *directory_, to, priority, text,
        [alive, done](const std::string&, const std::string& error, int status, RequestContext) {
            const auto links = alive.lock();
            if (links && *links != nullptr && done) {
                done(status, error);
            }
        },
        nullptr);
}

void ProgramMessageLinks::ShowMessageBox(const std::string& text) {
    screen_.MessageBox(text, "", mb::kOk);
}

std::uint32_t ProgramMessageLinks::Now() const {
    return static_cast<std::uint32_t>(std::time(nullptr));
}

std::uint32_t ProgramMessageLinks::Ticks() const {
    return clock_.Now();
}

void ProgramMessageLinks::ShowWaitingAlert(const std::string& id, std::int32_t kind,
                                           std::uint16_t flags, std::uint32_t time) {
    if (contacts_ != nullptr) {
        contacts_->SetWaitingAlertTime(id, static_cast<std::int32_t>(kind == 0 ? 0 : time));
    }
    if (onWaitingAlert) {
        onWaitingAlert(id, kind, flags);
    }
}

void ProgramMessageLinks::PollStoredMessages() {
    if (directory_ == nullptr) {
        return;
    }
    std::weak_ptr<ProgramMessageLinks*> alive = alive_;
    GetMessagesEx(
        *directory_,
        [alive](const std::vector<StoredMessage>* records, const std::string&, int status,
                RequestContext) {
            const auto links = alive.lock();
            if (!links || *links == nullptr || status != 1 || records == nullptr) {
                return;
            }
            // A text read but still kept was not deleted: the program may have stopped before
            // it was shown or saved, so it is fetched again (a repeat is recognised).
            for (const StoredMessage& record : *records) {
                if (record.MessageType == "Voice" || record.MessageType == "Text" || !record.read) {
                    (*links)->ReadStored(record);
                }
            }
        },
        nullptr);
}

void ProgramMessageLinks::ReadStored(const StoredMessage& record) {
    std::weak_ptr<ProgramMessageLinks*> alive = alive_;
    ReadMessage(
        *directory_, record.MessageId,
        [alive, record](const std::string&, const std::string&, int status, RequestContext) {
            const auto links = alive.lock();
            if (!links || *links == nullptr || status != 1) {
                return;
            }
            ProgramMessageLinks& self = **links;
            if (record.MessageType == "Text") {
                self.center_.ReceiveStoredMessage(
                    record.senderId, record.senderNickname, record.text,
                    static_cast<std::uint16_t>(record.flags), record.time);
                if (self.directory_ != nullptr) {
                    DeleteMessage(*self.directory_, record.MessageId, nullptr, nullptr);
                }
            } else if (record.MessageType == "Voice") {
                if (self.onVoiceMail) {
                    self.onVoiceMail(record);
                }
            }
        },
        nullptr);
}

void ProgramMessageLinks::FlushOfflineQueue() {
    center_.FlushOfflineQueue();
}

bool ProgramMessageLinks::LogEvents() const {
    return options_.LogEvents() != 0;
}

}  // namespace qv
