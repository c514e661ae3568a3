#include "CallRig.h"

#include <algorithm>

namespace qv::test {

namespace {

constexpr const char* kSounds[] = {"OutgoingCall", "PlaceOnHold",  "IncomingCall",
                                   "CallWaiting",  "HoldReminder", "RemovedFromCall"};

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

}  // namespace

std::string Describe(const CallRecord* record) {
    if (record == nullptr) {
        return "none";
    }
    if (record->IsForum()) {
        return "forum " + record->forumName + (record->connected ? " on" : " joining");
    }
    return "call " + record->userId + " " + record->nickname +
           " c=" + std::to_string(record->conferenceId) + (record->connected ? " on" : " ringing");
}

void RecordingPanes::ShowActive(CallRecord* record) {
    active = record;
    log.push_back("active " + Describe(record));
}

void RecordingPanes::ShowSecond(CallRecord* record) {
    second = record;
    log.push_back("second " + Describe(record));
}

Lines RecordingPanes::Shown() const {
    Lines out;
    std::copy_if(log.begin(), log.end(), std::back_inserter(out), [](const std::string& line) {
        return StartsWith(line, "active ") || StartsWith(line, "second ");
    });
    return out;
}

CallRig::CallRig() {
    h.factory->mode = sim::Mode::Automatic;
    h.options.SetPlaySounds(1);
    for (const char* sound : kSounds) {
        h.sounds.WriteString("General", std::string(sound) + "Wav", std::string(sound) + ".wav");
    }
    calls = std::make_unique<CallManager>(*h.manager, h.options, notices, h.screen, h.clock);
    calls->SetActivePane(&panes);
    calls->SetIncomingPane(&panes);
    calls->SetChatLines(&chat);
    calls->SetEventLog(&eventLog);
    calls->SetSurroundings(&surroundings);
    calls->SetWallClock([] { return kWallTime; });
}

CallRig::~CallRig() {
    calls.reset();
}

void CallRig::Pump() {
    for (int i = 0; i < 10; ++i) {
        if (sim::SonaroSimulation* s = h.Sim()) {
            s->WaitIdle();
        }
        if (h.manager->DrainEvents() == 0) {
            return;
        }
    }
}

void CallRig::LogIn() {
    if (!h.manager->Connect("127.0.0.1", 12011, "nick", "42")) {
        throw std::runtime_error("connect failed");
    }
    Pump();
    if (h.manager->State() != CSonaroManager::kLoggedIn) {
        throw std::runtime_error("not logged in");
    }
    TakeCalls();
}

Lines CallRig::TakeCalls() {
    Pump();
    Lines out;
    for (const std::string& call : h.Calls()) {
        for (const char* name :
             {"InviteUser(", "AcceptConference(", "DeclineConference(", "LeaveConference(",
              "HoldConference(", "CancelInvitations(", "SendUserMessage(", "JoinGroup(",
              "BanMember(", "SetMemberRole(", "SetMemberMicrophone(", "MuteMember(",
              "DisbandGroup(", "RenameGroup("}) {
            if (StartsWith(call, name)) {
                out.push_back(call);
            }
        }
        if (StartsWith(call, "PlayWave(")) {
            for (const char* sound : kSounds) {
                if (call.find(std::string("\"") + sound + ".wav\"") != std::string::npos) {
                    out.push_back(std::string("sound ") + sound);
                }
            }
        }
    }
    h.ClearCalls();
    return out;
}

Lines CallRig::NoticeTexts() const {
    Lines out;
    for (const auto& n : notices.Notices()) {
        if (n.kind == notice_kind::kSystem) {
            out.push_back(n.text);
        }
    }
    return out;
}

std::size_t CallRig::OpenCallNotices() const {
    std::size_t open = 0;
    for (const auto& n : notices.OpenNotices()) {
        open += n.kind == notice_kind::kIncomingCall ? 1 : 0;
    }
    return open;
}

std::int32_t CallRig::RingIn(const std::string& id, const std::string& nick) {
    const std::int32_t c = Sim().RingIn(id, nick);
    Pump();
    return c;
}

std::int32_t CallRig::CallAnswered(const std::string& id, const std::string& nick) {
    Sim().ScriptCallee(id, sim::SimCallee{nick, sim::CalleeAnswer::Answering, 0, ""});
    if (!calls->PlaceCall(id, nick)) {
        throw std::runtime_error("not placed");
    }
    Pump();
    TakeCalls();
    return calls->Active() != nullptr ? calls->Active()->conferenceId : 0;
}

void CallRig::EnterForum(const std::string& name, bool connected, bool webTour) {
    auto forum = std::make_unique<CallRecord>();
    forum->forumName = name;
    forum->webTourForum = webTour;
    if (!calls->FillActiveForum(std::move(forum))) {
        throw std::runtime_error("forum not filled");
    }
    if (connected) {
        // The engine really joins, so that leaving reaches it.
        h.manager->JoinForum(name, "", 0);
        Pump();
    }
}

}  // namespace qv::test
