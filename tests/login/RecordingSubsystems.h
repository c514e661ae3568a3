#pragma once

// The subsystems around the session as a log of what it asked of them.

#include <string>
#include <vector>

#include "login/SessionSubsystems.h"

namespace qv::test {

class RecordingSubsystems final : public SessionSubsystems {
  public:
    bool CallOrForumInProgress() const override { return inCall; }
    void HangUp() override { log.push_back("hang up"); }
    void DeclineRingingCall(std::int16_t reason, const std::string& text) override {
        log.push_back("decline " + std::to_string(reason) + " " + text);
    }
    void CloseForumList() override { log.push_back("close forum list"); }
    void StopVoiceMailPlaybackAndRecording() override { log.push_back("stop voice mail"); }
    void LoadVoiceMailStore(const std::string& path) override { log.push_back("vm " + path); }
    void OpenEventLog(const std::string& path) override { log.push_back("event log " + path); }
    void OpenBlockList(const std::string& path) override { log.push_back("block list " + path); }
    void ReloadContactList() override { log.push_back("reload contacts"); }
    void ClearContactList() override { log.push_back("clear contacts"); }
    void SetOfflineQueueFolder(const std::string& folder) override {
        log.push_back("outgoing " + folder);
    }
    void ContactListVersion(long v) override { log.push_back("contacts v" + std::to_string(v)); }
    void BlockListVersion(long v) override { log.push_back("blocks v" + std::to_string(v)); }
    void PartnerListVersion(long v) override { log.push_back("partners v" + std::to_string(v)); }
    void UpdateOwnPresence(std::int16_t flags) override {
        log.push_back("own presence " + std::to_string(flags));
    }
    void RequestPartnerParameters() override { log.push_back("partner params"); }

    int Count(const std::string& line) const {
        int n = 0;
        for (const std::string& l : log) {
            n += l == line ? 1 : 0;
        }
        return n;
    }

    bool inCall = false;
    std::vector<std::string> log;
};

}  // namespace qv::test
