#include "VoiceRig.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <thread>

#include "directory/ReplyGrammar.h"

namespace qv::test {

namespace {

std::string Encode(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            out.push_back(static_cast<char>(c));
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::string Get(const std::string& host, const std::string& target) {
    const auto colon = host.rfind(':');
    httplib::Client client(host.substr(0, colon), std::stoi(host.substr(colon + 1)));
    client.set_read_timeout(10, 0);
    auto result = client.Get(target);
    return result ? result->body : std::string();
}

}  // namespace

VoiceUser::VoiceUser(const std::shared_ptr<SonaroLibrary>& engine) {
    h.Ship(engine->Path());
    h.factory->replacement = [engine](SonaroEventSink& sink) {
        return SonaroLibrary::CreateInstance(engine, sink);
    };
}

VoiceUser::~VoiceUser() {
    h.manager->DestroyControl();
}

bool VoiceUser::DriveUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        h.manager->DrainEvents();
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void VoiceUser::DriveFor(int ms) {
    DriveUntil([] { return false; }, ms);
}

std::vector<std::string> VoiceUser::Events(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& line : h.events.log) {
        if (line.rfind(prefix, 0) == 0) {
            out.push_back(line);
        }
    }
    return out;
}

bool VoiceUser::Saw(const std::string& line) const {
    for (const std::string& seen : h.events.log) {
        if (seen == line) {
            return true;
        }
    }
    return false;
}

VoiceRig::VoiceRig(std::vector<std::string> serverOptions)
    : directory(QUORVANE_DIRECTORY_SERVICE, folder),
      voice(SONARO_SERVER_PROGRAM, folder, directory.TicketPublicKey(), std::move(serverOptions)),
      engine(SonaroLibrary::Load(SONARO_NET_PATH)) {}

Account VoiceRig::Register(const std::string& nick) {
    const std::string reply =
        Get(directory.Host(),
            "/Quorvane/RegisterEx.asp?NickName=" + Encode(nick) +
                "&Password=&FirstName=Ann&LastName=Lee&Email1=" + Encode(nick + "@example.org") +
                "&Company=&Comment=&HideEmail=0&PartnerId=1&SendMailsOK=0");
    Account account;
    if (!reply::IsSuccess(reply)) {
        ADD_FAILURE() << "RegisterEx: " << reply;
        return account;
    }
    account.nick = nick;
    account.id = reply::Field(reply, "LoginId");
    const std::vector<std::string> mail = directory.Mail();
    if (!mail.empty()) {
        account.password = MailValue(mail.back(), "Your password is ");
    }
    EXPECT_FALSE(account.password.empty()) << "no password mailed";
    return account;
}

std::string VoiceRig::LogInToDirectory(const Account& account) {
    const std::string reply =
        Get(directory.Host(), "/Quorvane/LoginEx2.asp?LoginId=" + account.id +
                                  "&Password=" + Encode(account.password) + "&PartnerId=1");
    return reply::IsSuccess(reply) ? reply::Field(reply, "VoiceTicket") : std::string();
}

std::unique_ptr<VoiceUser> VoiceRig::NewUser() {
    auto user = std::make_unique<VoiceUser>(engine);
    // The server's certificate is of the rig's own authority.
    user->h.manager->SetVoiceAuthorities(voice.CaFile());
    return user;
}

int VoiceRig::VoicePort() const {
    const std::string& host = voice.Host();
    return std::stoi(host.substr(host.rfind(':') + 1));
}

bool VoiceRig::LogIn(VoiceUser& user, const Account& account, const std::string& ticket,
                     const std::string& watch, const std::string& block) {
    CSonaroManager& m = *user.h.manager;
    m.SetWatchList(watch);
    m.SetBlockList(block);
    m.SetVoiceTicket(ticket);
    if (!m.Connect("127.0.0.1", VoicePort(), account.nick, account.id)) {
        return false;
    }
    return user.DriveUntil([&] { return m.State() == CSonaroManager::kLoggedIn; });
}

}  // namespace qv::test
