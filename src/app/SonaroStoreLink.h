#pragma once

// Joins the contact and block stores to the engine manager: their watch list, block list and
// sounds go to the manager, and its Watch and connection-state events come back to the contact
// store. Made after the manager and the stores, destroyed before the manager.

#include <cstdint>
#include <string>

#include "stores/EngineLists.h"

namespace qv {

class BlockStore;
class CSonaroManager;
class ContactStore;

class SonaroStoreLink final : public EngineLists {
  public:
    SonaroStoreLink(CSonaroManager& manager, ContactStore* contacts, BlockStore* blocks);
    ~SonaroStoreLink() override;
    SonaroStoreLink(const SonaroStoreLink&) = delete;
    SonaroStoreLink& operator=(const SonaroStoreLink&) = delete;

    void SetWatchList(const std::string& list) override;
    void AddWatch(const std::string& id) override;
    void RemoveWatch(const std::string& id) override;
    void SetBlockList(const std::string& list) override;
    void PlaySoundEvent(const std::string& name) override;
    int ConnectionState() const override;

  private:
    static void OnWatch(const std::string& id, std::int16_t status, bool initial, bool last,
                        void* context);
    static void OnConnectionState(std::int32_t state, void* context);

    CSonaroManager& manager_;
    ContactStore* contacts_;
    BlockStore* blocks_;
};

}  // namespace qv
