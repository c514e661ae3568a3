#include "SessionRig.h"

#include "settings/LoginKey.h"

namespace qv::test {

SessionRig::SessionRig(DirectoryClient* directory, TimerScheduler* scheduler,
                       const TickClock* clock)
    : ownScheduler(scheduler == nullptr ? std::make_unique<TimerScheduler>(h.clock) : nullptr),
      scheduler(scheduler == nullptr ? *ownScheduler : *scheduler),
      dialUp(clock == nullptr ? static_cast<const TickClock&>(h.clock) : *clock) {
    loginKey.OpenProduct(login_key::kSubkey);
    h.factory->beforeUse = [this](sim::SonaroSimulation& sim) {
        sim.SetDefaultResult(sonaro_id::kRequiredVersions, requiredVersions);
        sim.SetDefaultResult(sonaro_id::kIsCurrentVersion, isCurrentVersion);
    };
    notices.SetListener(
        [this](const SystemNoticeList::Notice&, bool showNow) { shownNow.push_back(showNow); });
    h.folder.Write("quorvane-program", "binary QUORVANE-BUILD:5 end");
    serverSettings.WriteString("Server", "VoiceServer", "voice.example");
    serverSettings.WriteInt("Server", "VoicePort", 12011);
    session = std::make_unique<Session>(
        SessionServices{*h.manager,
                        directory,
                        loginKey,
                        h.machine,
                        h.user,
                        serverSettings,
                        h.options,
                        h.customization,
                        this->scheduler,
                        uiQueue,
                        folders,
                        pending,
                        notices,
                        dialUp,
                        ui,
                        h.screen,
                        subsystems,
                        clock == nullptr ? static_cast<const TickClock&>(h.clock) : *clock,
                        "tester",
                        programFile});
    session->Start();
}

SessionRig::~SessionRig() {
    session.reset();
}

void SessionRig::StoreAccount(std::uint32_t id, const std::string& nick,
                              const std::string& password) {
    loginKey.SetString(login_key::kLoginName, "tester");
    loginKey.SetDword(login_key::kQuorvaneId, id);
    loginKey.SetString(login_key::kNickName, nick);
    loginKey.SetString(login_key::kPassword, login_key::EncodePassword(password));
    loginKey.SetDword(login_key::kGlobalFlags, login_key::kUserSetUp);
}

std::vector<std::string> SessionRig::EngineCalls(const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& call : h.Calls()) {
        if (call.rfind(prefix, 0) == 0) {
            out.push_back(call);
        }
    }
    return out;
}

int SessionRig::Connects() const {
    int n = 0;
    for (int state : h.events.states) {
        n += state == CSonaroManager::kConnecting ? 1 : 0;
    }
    return n;
}

void SessionRig::Run(std::uint32_t ms) {
    for (std::uint32_t done = 0; done < ms; done += 50) {
        h.clock.Advance(50);
        scheduler.Tick();
        uiQueue.Drain();
    }
}

std::vector<std::string> SessionRig::NoticeTexts() const {
    std::vector<std::string> out;
    for (const auto& n : notices.Notices()) {
        out.push_back(n.text);
    }
    return out;
}

std::string SessionRig::LoginString(const char* name) const {
    std::string value;
    loginKey.GetString(name, value);
    return value;
}

std::uint32_t SessionRig::LoginDword(const char* name) const {
    std::uint32_t value = 0;
    loginKey.GetDword(name, value);
    return value;
}

}  // namespace qv::test
