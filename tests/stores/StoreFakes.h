#pragma once

// Recording stand-ins for what the stores talk to: the engine, the windows, the notices.

#include <string>
#include <vector>

#include "directory/UserProfile.h"
#include "messaging/SystemNotices.h"
#include "stores/BlockListUi.h"
#include "stores/ContactGroup.h"
#include "stores/ContactListUi.h"
#include "stores/EngineLists.h"
#include "stores/PresenceBurstHooks.h"

namespace qv::test {

class RecordingEngineLists final : public EngineLists {
  public:
    void SetWatchList(const std::string& list) override { calls.push_back("watch:" + list); }
    void AddWatch(const std::string& id) override { calls.push_back("add:" + id); }
    void RemoveWatch(const std::string& id) override { calls.push_back("remove:" + id); }
    void SetBlockList(const std::string& list) override {
        blockList = list;
        calls.push_back("block:" + list);
    }
    void PlaySoundEvent(const std::string& name) override { sounds.push_back(name); }
    int ConnectionState() const override { return state; }

    std::vector<std::string> calls;
    std::vector<std::string> sounds;
    std::string blockList;
    int state = 4;
};

class RecordingNotices final : public SystemNotices {
  public:
    void AddSystemNotice(const std::string& text, bool showNow, std::uint32_t) override {
        texts.push_back(text);
        shownNow.push_back(showNow);
    }
    std::vector<std::string> texts;
    std::vector<bool> shownNow;
};

class RecordingContactUi final : public ContactListUi {
  public:
    void ListRebuilt() override { calls.push_back("rebuilt"); }
    void GroupAdded(const ContactGroup& g) override { calls.push_back("group+" + g.name); }
    void GroupRemoved(const ContactGroup& g) override { calls.push_back("group-" + g.name); }
    void ContactAdded(const UserProfile& c) override { calls.push_back("contact+" + c.LoginId); }
    void ContactRemoved(const UserProfile& c) override { calls.push_back("contact-" + c.LoginId); }
    void ContactUpdated(const UserProfile& c) override { calls.push_back("updated" + c.LoginId); }
    void SynchronizingChanged(bool on) override { calls.push_back(on ? "sync on" : "sync off"); }
    void InitialPresenceDone() override { calls.push_back("presence done"); }
    std::vector<std::string> calls;
};

class RecordingBlockUi final : public BlockListUi {
  public:
    void BlockListChanged() override { ++changes; }
    int changes = 0;
};

class RecordingBurstHooks final : public PresenceBurstHooks {
  public:
    void FlushOfflineQueue() override { calls.push_back("flush"); }
    void SendPendingVoiceMail() override { calls.push_back("voicemail"); }
    std::vector<std::string> calls;
};

}  // namespace qv::test
