// GetContacts of a full contact list: the service in-process on a loopback port, one account
// with 10,000 contacts in 100 groups, the reply fetched over one keep-alive connection and read
// with the client's reply reader the way the client reads it. Prints one line: reply size and
// the time per request (service and reading), median and worst of --rounds.
//
//   qv_contacts_bench [--contacts N] [--groups N] [--rounds N]

#include <httplib.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "DirectoryService.h"
#include "directory/ReplyGrammar.h"
#include "security/PasswordHasher.h"
#include "security/Secrets.h"
#include "store/AccountStore.h"
#include "store/ContactListStore.h"
#include "store/Schema.h"
#include "util/Text.h"

namespace {

using Steady = std::chrono::steady_clock;
using namespace qv::dirsvc;

struct Settings {
    std::int64_t contacts = ContactListStore::kMaxContacts;
    std::int64_t groups = 100;
    std::int64_t rounds = 20;
};

bool ParseSettings(int argc, char** argv, Settings& settings) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const auto value = text::Number(argv[i + 1], 1, ContactListStore::kMaxContacts);
        if (!value) {
            return false;
        }
        if (name == "--contacts") {
            settings.contacts = *value;
        } else if (name == "--groups") {
            settings.groups = *value;
        } else if (name == "--rounds") {
            settings.rounds = *value;
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && settings.groups <= ContactListStore::kMaxGroups;
}

class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qv-contactbench-XXXXXX");
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// The owner (the first account) and its contacts (the others), each in group i % groups.
bool LoadList(DirectoryService& service, const Settings& settings) {
    PasswordHasher hasher(HashCost::Minimal(), 1);
    const std::string hash = hasher.Hash("bench-password");
    std::vector<NewAccount> accounts(static_cast<size_t>(settings.contacts + 1));
    for (size_t i = 0; i < accounts.size(); ++i) {
        accounts[i].profile.nickName = "Contact number " + std::to_string(i);
        accounts[i].passwordHash = hash;
    }
    if (service.Accounts().Import(accounts, 1700000000) != StoreStatus::kOk) {
        return false;
    }
    std::vector<std::pair<std::int64_t, std::string>> contacts;
    for (std::int64_t i = 0; i < settings.contacts; ++i) {
        contacts.emplace_back(Schema::kFirstNumber + 1 + i,
                              "Group " + std::to_string(i % settings.groups));
    }
    return service.Contacts().Import(Schema::kFirstNumber, contacts) == ListChange::kDone;
}

// Reads the reply as the client does: per section the group, then (nickname, number) pairs.
size_t ReadContacts(const std::string& body, size_t& groups) {
    using namespace qv;
    size_t contacts = 0;
    groups = 0;
    reply::ItemReader reader(body);
    std::string_view item;
    reader.Next(item);
    for (;;) {
        if (!reply::FindField(reader.Rest(), "Group")) {
            break;
        }
        std::string section;
        if (!reader.Section("Contacts", "\xFFGroup=", section)) {
            break;
        }
        ++groups;
        reply::ItemReader pairs(section);
        std::string_view nick;
        std::string_view id;
        while (pairs.Next(nick) && pairs.Next(id)) {
            ++contacts;
        }
    }
    return contacts;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!ParseSettings(argc, argv, settings)) {
        std::fprintf(stderr, "usage: qv_contacts_bench [--contacts N] [--groups N] [--rounds N]\n");
        return 2;
    }
    if (!secrets::Initialize()) {
        return 1;
    }
    ScratchFolder folder;
    if (folder.Path().empty()) {
        std::fprintf(stderr, "cannot create a scratch folder\n");
        return 1;
    }
    ServiceOptions options;
    options.databasePath = folder.Path() + "/directory.db";
    options.filesFolder = folder.Path() + "/files";
    options.mailFolder = folder.Path() + "/mail";
    options.hashCost = HashCost::Minimal();
    DirectoryService::Seams seams;
    seams.logSink = [](const std::string&) {};
    std::string error;
    auto service = DirectoryService::Create(options, std::move(seams), error);
    if (service == nullptr) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!LoadList(*service, settings)) {
        std::fprintf(stderr, "cannot load the contact list\n");
        return 1;
    }
    const int port = service->Start("127.0.0.1", 0);
    if (port <= 0) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    const auto login =
        client.Get("/Quorvane/LoginEx2.asp?LoginId=" + std::to_string(Schema::kFirstNumber) +
                   "&Password=bench-password");
    const std::string id = login ? qv::reply::Field(login->body, "ConnectId") : std::string();
    if (id.empty()) {
        std::fprintf(stderr, "cannot log in\n");
        return 1;
    }
    std::vector<double> times;
    size_t bytes = 0;
    size_t read = 0;
    size_t groups = 0;
    for (std::int64_t round = 0; round < settings.rounds; ++round) {
        const auto before = Steady::now();
        const auto response = client.Get("/Quorvane/GetContacts.asp?ConnectionId=" + id);
        if (!response) {
            std::fprintf(stderr, "GetContacts failed\n");
            return 1;
        }
        read = ReadContacts(response->body, groups);
        times.push_back(std::chrono::duration<double, std::milli>(Steady::now() - before).count());
        bytes = response->body.size();
    }
    service->Stop();
    std::sort(times.begin(), times.end());
    std::printf(
        "GetContacts: %lld contacts in %lld groups, reply %zu bytes, %zu contacts in %zu groups "
        "read back; %lld rounds: median %.2f ms, worst %.2f ms\n",
        static_cast<long long>(settings.contacts), static_cast<long long>(settings.groups), bytes,
        read, groups, static_cast<long long>(settings.rounds), times[times.size() / 2],
        times.back());
    return read == static_cast<size_t>(settings.contacts) ? 0 : 1;
}
