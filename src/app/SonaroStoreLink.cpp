#include "app/SonaroStoreLink.h"

#include "engine/CSonaroManager.h"
#include "engine/SonaroSubscriptions.h"
#include "stores/BlockStore.h"
#include "stores/ContactStore.h"

namespace qv {

SonaroStoreLink::SonaroStoreLink(CSonaroManager& manager, ContactStore* contacts,
                                 BlockStore* blocks)
    : manager_(manager), contacts_(contacts), blocks_(blocks) {
    manager_.Subscribe<engine_event::Watch>(&SonaroStoreLink::OnWatch, this);
    manager_.Subscribe<engine_event::ConnectionState>(&SonaroStoreLink::OnConnectionState, this);
    if (contacts_ != nullptr) {
        contacts_->SetEngine(this);
        manager_.SetWatchList(contacts_->WatchList());
    }
    if (blocks_ != nullptr) {
        blocks_->SetEngine(this);
        blocks_->SendToEngine();
    }
}

SonaroStoreLink::~SonaroStoreLink() {
    manager_.Unsubscribe<engine_event::Watch>(&SonaroStoreLink::OnWatch, this);
    manager_.Unsubscribe<engine_event::ConnectionState>(&SonaroStoreLink::OnConnectionState, this);
    if (contacts_ != nullptr) {
        contacts_->SetEngine(nullptr);
    }
    if (blocks_ != nullptr) {
        blocks_->SetEngine(nullptr);
    }
}

void SonaroStoreLink::SetWatchList(const std::string& list) {
    manager_.SetWatchList(list);
}
void SonaroStoreLink::AddWatch(const std::string& id) {
    manager_.AddWatch(id);
}
void SonaroStoreLink::RemoveWatch(const std::string& id) {
    manager_.RemoveWatch(id);
}
void SonaroStoreLink::SetBlockList(const std::string& list) {
    manager_.SetBlockList(list);
}
void SonaroStoreLink::PlaySoundEvent(const std::string& name) {
    manager_.PlaySoundEvent(name);
}
int SonaroStoreLink::ConnectionState() const {
    return manager_.State();
}

void SonaroStoreLink::OnWatch(const std::string& id, std::int16_t status, bool initial, bool last,
                              void* context) {
    auto* link = static_cast<SonaroStoreLink*>(context);
    if (link->contacts_ != nullptr) {
        link->contacts_->OnWatch(id, status, initial, last);
    }
}

void SonaroStoreLink::OnConnectionState(std::int32_t state, void* context) {
    auto* link = static_cast<SonaroStoreLink*>(context);
    if (link->contacts_ != nullptr) {
        link->contacts_->OnConnectionState(state);
    }
}

}  // namespace qv
