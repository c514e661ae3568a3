#pragma once

// The MessageCenter's way to the rest of the program: the engine (its events and user
// messages), the contact list, the settings and the directory service's stored messages. Also
// the contact list's presence-burst hook that flushes the offline queue, and the stored-message
// poll.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "messaging/MessageCenter.h"
#include "stores/MessageFiles.h"
#include "stores/PresenceBurstHooks.h"

namespace qv {

class ContactStore;
class CSonaroManager;
class DirectoryClient;
class Options;
class Screen;
class TickClock;
struct StoredMessage;

class ProgramMessageLinks final : public MessageLinks, public PresenceBurstHooks {
  public:
    ProgramMessageLinks(MessageCenter& center, CSonaroManager& engine, ContactStore* contacts,
                        DirectoryClient* directory, const Options& options, Screen& screen,
                        const TickClock& clock, std::unique_ptr<OfflineQueue> queue);
    ~ProgramMessageLinks() override;
    ProgramMessageLinks(const ProgramMessageLinks&) = delete;
    ProgramMessageLinks& operator=(const ProgramMessageLinks&) = delete;

    OfflineQueue& Queue() { return *queue_; }
    // The contact list window marks senders of waiting alerts (set by the main view).
    std::function<void(const std::string& id, std::int32_t kind, std::uint16_t flags)>
        onWaitingAlert;
    // Voice mail found among the stored messages goes to the voice-mail store when it exists.
    std::function<void(const StoredMessage& record)> onVoiceMail;

    // MessageLinks
    int ConnectionState() const override;
    std::int16_t PresenceMode() const override;
    std::string OwnNickname() const override;
    std::string OwnId() const override;
    bool SendUserMessage(const std::string& id, const std::string& nickname, std::int16_t number,
                         std::int16_t parameter, const std::string& text) override;
    void PlaySoundEvent(const std::string& name) override;
    std::optional<std::uint32_t> ContactPresence(const std::string& id) const override;
    std::string CustomMessage(const std::string& key) const override;
    bool InForum(const std::string& forum) const override;
    void SendStoredMessage(const std::string& to, const std::string& text, std::int32_t priority,
                           std::function<void(int, const std::string&)> done) override;
    void ShowMessageBox(const std::string& text) override;
    std::uint32_t Now() const override;
    std::uint32_t Ticks() const override;
    void ShowWaitingAlert(const std::string& id, std::int32_t kind, std::uint16_t flags,
                          std::uint32_t time) override;
    void PollStoredMessages() override;
    bool LogEvents() const override;

    // PresenceBurstHooks
    void FlushOfflineQueue() override;

  private:
    static void OnUserMessage(const std::string& alias, const std::string& uid, std::int16_t number,
                              std::int16_t parameter, const std::string& text, void* self);
    static void OnServerMessage(std::int16_t type, std::int16_t number, const std::string& text,
                                void* self);
    static void OnConnectionState(std::int32_t state, void* self);
    void ReadStored(const StoredMessage& record);

    MessageCenter& center_;
    CSonaroManager& engine_;
    ContactStore* contacts_;
    DirectoryClient* directory_;
    const Options& options_;
    Screen& screen_;
    const TickClock& clock_;
    std::unique_ptr<OfflineQueue> queue_;
    // Directory callbacks may arrive after this object is gone: they check this token.
    std::shared_ptr<ProgramMessageLinks*> alive_;
};

}  // namespace qv
