#include "EngineTestSupport.h"

#include <dirent.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "engine/SonaroLibrary.h"

namespace qv::test {

namespace ee = engine_event;

int ThreadCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                ++count;
            }
        }
        closedir(dir);
    }
    return count;
}

bool IsMapped(const std::string& path) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    const std::string canonical = std::filesystem::weakly_canonical(path).string();
    while (std::getline(maps, line)) {
        if (line.size() >= canonical.size() &&
            line.compare(line.size() - canonical.size(), canonical.size(), canonical) == 0) {
            return true;
        }
    }
    return false;
}

void CopyFile(const std::string& from, const std::string& to) {
    std::filesystem::create_directories(std::filesystem::path(to).parent_path());
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

namespace {

std::string Part(const std::string& s) {
    return s;
}
template <typename T>
std::string Part(T v) {
    return std::to_string(v);
}

template <typename... Args>
void Add(void* context, const char* name, const Args&... args) {
    std::string line = name;
    ((line += " " + Part(args)), ...);
    static_cast<EventRecorder*>(context)->log.push_back(line);
}

using T = const std::string&;

void OnUserListUpdate(T list, void* c) {
    Add(c, "userListUpdate", list);
}
void OnUserTalking(T name, T second, bool on, void* c) {
    Add(c, "userTalking", name, second, on);
}
void OnMikeActive(std::int16_t s, void* c) {
    Add(c, "mikeActive", s);
}
void OnCanTalk(bool on, void* c) {
    Add(c, "canTalkEvent", on);
}
void OnServerMessage(std::int16_t t, std::int16_t n, T text, void* c) {
    Add(c, "serverMessage", t, n, text);
}
void OnUserMessage(T alias, T uid, std::int16_t n, std::int16_t p, T text, void* c) {
    Add(c, "UserMessage", alias, uid, n, p, text);
}
void OnGroupListUpdate(T list, void* c) {
    Add(c, "groupListUpdate", list);
}
void OnConnectionEvent(std::int16_t s, T msg, void* c) {
    Add(c, "connectionEvent", s, msg);
}
void OnJoinedGroup(T name, void* c) {
    Add(c, "JoinedGroup", name);
}
void OnWatch(T name, std::int16_t status, bool initial, bool last, void* c) {
    Add(c, "Watch", name, status, initial, last);
}
void OnUserChange(T name, T second, std::int16_t type, bool existing, void* c) {
    Add(c, "UserChange", name, second, type, existing);
}
void OnConnectionState(std::int32_t s, void* c) {
    Add(c, "ConnectionState", s);
    static_cast<EventRecorder*>(c)->states.push_back(s);
}
void OnFound(T alias, bool online, T group, void* c) {
    Add(c, "Found", alias, online, group);
}
void OnJoinedConference(std::int32_t id, bool joined, bool deleted, void* c) {
    Add(c, "JoinedConference", id, joined, deleted);
}
void OnInvitation(std::int32_t id, T alias, T from, std::int16_t n, T text, void* c) {
    Add(c, "Invitation", id, alias, from, n, text);
}
void OnAccepted(bool flag, T alias, T from, std::int16_t n, T text, void* c) {
    Add(c, "AcceptedConference", flag, alias, from, n, text);
}
void OnConferenceMessage(T alias, T from, std::int16_t n, T text, void* c) {
    Add(c, "ConferenceMessage", alias, from, n, text);
}
void OnInvitationCancel(std::int32_t id, T alias, T from, std::int16_t n, T text, void* c) {
    Add(c, "InvitationCancel", id, alias, from, n, text);
}

}  // namespace

void EventRecorder::SubscribeAll(CSonaroManager& m) {
    m.Subscribe<ee::userListUpdate>(&OnUserListUpdate, this);
    m.Subscribe<ee::userTalking>(&OnUserTalking, this);
    m.Subscribe<ee::mikeActive>(&OnMikeActive, this);
    m.Subscribe<ee::canTalkEvent>(&OnCanTalk, this);
    m.Subscribe<ee::serverMessage>(&OnServerMessage, this);
    m.Subscribe<ee::UserMessage>(&OnUserMessage, this);
    m.Subscribe<ee::groupListUpdate>(&OnGroupListUpdate, this);
    m.Subscribe<ee::connectionEvent>(&OnConnectionEvent, this);
    m.Subscribe<ee::JoinedGroup>(&OnJoinedGroup, this);
    m.Subscribe<ee::Watch>(&OnWatch, this);
    m.Subscribe<ee::UserChange>(&OnUserChange, this);
    m.Subscribe<ee::ConnectionState>(&OnConnectionState, this);
    m.Subscribe<ee::Found>(&OnFound, this);
    m.Subscribe<ee::JoinedConference>(&OnJoinedConference, this);
    m.Subscribe<ee::Invitation>(&OnInvitation, this);
    m.Subscribe<ee::AcceptedConference>(&OnAccepted, this);
    m.Subscribe<ee::ConferenceMessage>(&OnConferenceMessage, this);
    m.Subscribe<ee::InvitationCancel>(&OnInvitationCancel, this);
}

void EventRecorder::UnsubscribeAll(CSonaroManager& m) {
    m.Unsubscribe<ee::userListUpdate>(&OnUserListUpdate, this);
    m.Unsubscribe<ee::userTalking>(&OnUserTalking, this);
    m.Unsubscribe<ee::mikeActive>(&OnMikeActive, this);
    m.Unsubscribe<ee::canTalkEvent>(&OnCanTalk, this);
    m.Unsubscribe<ee::serverMessage>(&OnServerMessage, this);
    m.Unsubscribe<ee::UserMessage>(&OnUserMessage, this);
    m.Unsubscribe<ee::groupListUpdate>(&OnGroupListUpdate, this);
    m.Unsubscribe<ee::connectionEvent>(&OnConnectionEvent, this);
    m.Unsubscribe<ee::JoinedGroup>(&OnJoinedGroup, this);
    m.Unsubscribe<ee::Watch>(&OnWatch, this);
    m.Unsubscribe<ee::UserChange>(&OnUserChange, this);
    m.Unsubscribe<ee::ConnectionState>(&OnConnectionState, this);
    m.Unsubscribe<ee::Found>(&OnFound, this);
    m.Unsubscribe<ee::JoinedConference>(&OnJoinedConference, this);
    m.Unsubscribe<ee::Invitation>(&OnInvitation, this);
    m.Unsubscribe<ee::AcceptedConference>(&OnAccepted, this);
    m.Unsubscribe<ee::ConferenceMessage>(&OnConferenceMessage, this);
    m.Unsubscribe<ee::InvitationCancel>(&OnInvitationCancel, this);
}

std::unique_ptr<SonaroInstance> ScriptedSimFactory::Create(SonaroEventSink& sink) {
    ++created;
    if (replacement) {
        return replacement(sink);
    }
    std::unique_ptr<SonaroInstance> instance = CreateRegisteredSonaro(registry_, sink);
    if (!instance) {
        return nullptr;
    }
    auto* sim = instance->Extension<sim::SonaroSimulation>(sim::kSonaroSimulationExtension);
    if (sim == nullptr) {
        throw std::runtime_error("the registered engine is not the simulation");
    }
    sim->SetMode(mode);
    if (beforeUse) {
        beforeUse(*sim);
    }
    return instance;
}

EngineHarness::EngineHarness()
    : registry(folder.Path() + "registry/"),
      machine(folder.File("Quorvane.ini")),
      user(folder.File("Options.ini")),
      sounds(folder.File("Sounds.ini")),
      runKey(registry, AutostartMirror{"", folder.Path(), ""}),
      mixer(MakeNullMixer()),
      customization(folder.File("Customize.ini"), folder.File("demo.ini")),
      options(machine, user, runKey, *mixer, customization, false) {
    Ship(kSimPath);
    options.Load();
    auto scripted = std::make_unique<ScriptedSimFactory>(registry);
    factory = scripted.get();
    manager =
        std::make_unique<CSonaroManager>(registry, screen, options, machine, sounds, clock,
                                         ProgramFolder(), SystemFolder(), std::move(scripted));
    manager->SetSystemNotices(&notices);
    manager->SetUi(&ui);
    manager->SetEventLog(&messageLog);
    manager->SetWavePlayer(std::make_unique<RecordingWavePlayer>(played));
    manager->SetWait([this](std::uint32_t ms) { waits.push_back(ms); });
    events.SubscribeAll(*manager);
}

EngineHarness::~EngineHarness() {
    events.UnsubscribeAll(*manager);
    manager.reset();
}

sim::SonaroSimulation* EngineHarness::Sim() {
    SonaroInstance* instance = manager->Instance();
    return instance != nullptr
               ? instance->Extension<sim::SonaroSimulation>(sim::kSonaroSimulationExtension)
               : nullptr;
}

std::vector<std::string> EngineHarness::Calls() {
    sim::SonaroSimulation* sim = Sim();
    return sim != nullptr ? sim->Calls() : std::vector<std::string>{};
}

void EngineHarness::ClearCalls() {
    if (sim::SonaroSimulation* sim = Sim()) {
        sim->ClearCalls();
    }
}

void EngineHarness::Raise(const std::function<void(SonaroEventSink&)>& raise) {
    sim::SonaroSimulation* sim = Sim();
    if (sim == nullptr) {
        throw std::runtime_error("no engine to raise events from");
    }
    raise(sim->Raise());
}

void EngineHarness::RaiseAndDrain(const std::function<void(SonaroEventSink&)>& raise) {
    Raise(raise);
    manager->DrainEvents();
}

void EngineHarness::LogIn(const std::string& watch, const std::string& block) {
    manager->SetWatchList(watch);
    manager->SetBlockList(block);
    if (!manager->Connect("voice.example", 12011, "nick", "42")) {
        throw std::runtime_error("connect failed");
    }
    RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(0, "ok"); });
    RaiseAndDrain([](SonaroEventSink& e) { e.Registered("nick"); });
    ClearCalls();
    events.log.clear();
    events.states.clear();
}

}  // namespace qv::test
