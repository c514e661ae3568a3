#pragma once

// Users of a real voice server: a real directory service that holds their accounts and signs
// their voice tickets, a real sonaro-server that checks the tickets with its public key, and for
// each user a program folder with the networked engine behind an engine manager, as the program
// has them.

#include <memory>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/SonaroLibrary.h"
#include "support/DirectoryServiceProcess.h"
#include "support/TempFolder.h"
#include "support/VoiceServerProcess.h"

namespace qv::test {

struct Account {
    std::string id;
    std::string nick;
    std::string password;
};

// One user's program: an engine manager over the networked engine.
class VoiceUser {
  public:
    explicit VoiceUser(const std::shared_ptr<SonaroLibrary>& engine);
    ~VoiceUser();

    // Delivers the engine's events until done() or the deadline; false on the deadline.
    bool DriveUntil(const std::function<bool()>& done, int timeoutMs = 10000);
    // Delivers whatever arrives for that long (for "nothing more happens").
    void DriveFor(int ms);
    // The recorded events that start with prefix.
    std::vector<std::string> Events(const std::string& prefix) const;
    bool Saw(const std::string& line) const;

    EngineHarness h;
};

class VoiceRig {
  public:
    // serverOptions: more options for the voice server.
    explicit VoiceRig(std::vector<std::string> serverOptions = {});

    bool Ready() const { return !directory.Host().empty() && !voice.Host().empty(); }
    // A new account with its mailed password.
    Account Register(const std::string& nick);
    // A directory login: its voice ticket, empty when it failed.
    std::string LogInToDirectory(const Account& account);
    std::unique_ptr<VoiceUser> NewUser();
    // Connects a user's engine as that account with the ticket; true once logged in.
    bool LogIn(VoiceUser& user, const Account& account, const std::string& ticket,
               const std::string& watch = {}, const std::string& block = {});
    int VoicePort() const;

    TempFolder folder;
    DirectoryServiceProcess directory;
    VoiceServerProcess voice;
    std::shared_ptr<SonaroLibrary> engine;
};

}  // namespace qv::test
