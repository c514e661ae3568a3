// GetContacts of a full contact list as the client takes it in: the service in-process on a
// loopback port (one account, 10,000 contacts in 100 groups), the reply fetched over one
// keep-alive connection, read by the client's GetContacts reader and put into a ContactStore
// (ReplaceFromServer, which also writes Addressbook.dat), then that file loaded again as at the
// next login. Prints one line: the median and worst of --rounds for the whole and each step.
//
//   qv_contact_list_bench [--contacts N] [--groups N] [--rounds N]

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
#include "directory/ListReplies.h"
#include "directory/ReplyGrammar.h"
#include "messaging/SystemNotices.h"
#include "platform/Screen.h"
#include "security/PasswordHasher.h"
#include "security/Secrets.h"
#include "store/AccountStore.h"
#include "store/ContactListStore.h"
#include "store/Schema.h"
#include "stores/ContactStore.h"
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
        std::string pattern = (std::filesystem::temp_directory_path() / "qv-listbench-XXXXXX");
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

class QuietScreen final : public qv::Screen {
  public:
    int MessageBox(const std::string&, const std::string&, std::uint32_t) override { return 1; }
    void FlashMainWindow(bool) override {}
    bool OpenUrl(const std::string&) override { return false; }
    bool StartProgram(const std::string&, const std::vector<std::string>&) override {
        return false;
    }
};

class QuietNotices final : public qv::SystemNotices {
  public:
    void AddSystemNotice(const std::string&, bool, std::uint32_t) override {}
};

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

double Ms(Steady::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Times {
    std::vector<double> values;
    double Median() {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    double Worst() { return *std::max_element(values.begin(), values.end()); }
};

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!ParseSettings(argc, argv, settings)) {
        std::fprintf(stderr,
                     "usage: qv_contact_list_bench [--contacts N] [--groups N] [--rounds N]\n");
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
    QuietScreen screen;
    QuietNotices notices;
    qv::ContactStore store(nullptr, nullptr, screen, notices);
    const std::string book = folder.Path() + "/user/Addressbook.dat";
    Times total, fetch, parse, fill;
    size_t contacts = 0;
    size_t groups = 0;
    for (std::int64_t round = 0; round < settings.rounds; ++round) {
        const auto t0 = Steady::now();
        const auto response = client.Get("/Quorvane/GetContacts.asp?ConnectionId=" + id);
        if (!response) {
            std::fprintf(stderr, "GetContacts failed\n");
            return 1;
        }
        const auto t1 = Steady::now();
        const qv::ContactsReply reply = qv::ParseContactsReply(response->body);
        const auto t2 = Steady::now();
        store.ReplaceFromServer(book, static_cast<std::uint32_t>(round + 1), reply.groups,
                                reply.contacts);
        const auto t3 = Steady::now();
        total.values.push_back(Ms(t3 - t0));
        fetch.values.push_back(Ms(t1 - t0));
        parse.values.push_back(Ms(t2 - t1));
        fill.values.push_back(Ms(t3 - t2));
        contacts = store.Contacts().size();
        groups = store.Groups().size();
    }
    service->Stop();
    // The saved list read back as at the next login.
    Times load;
    for (std::int64_t round = 0; round < settings.rounds; ++round) {
        qv::ContactStore other(nullptr, nullptr, screen, notices);
        const auto t0 = Steady::now();
        other.Load(book);
        load.values.push_back(Ms(Steady::now() - t0));
    }
    std::printf(
        "GetContacts into ContactStore: %zu contacts in %zu groups; %lld rounds, median (worst) "
        "ms: total %.2f (%.2f), fetch %.2f (%.2f), parse %.2f (%.2f), replace+save %.2f "
        "(%.2f); Addressbook.dat load+save %.2f (%.2f)\n",
        contacts, groups, static_cast<long long>(settings.rounds), total.Median(), total.Worst(),
        fetch.Median(), fetch.Worst(), parse.Median(), parse.Worst(), fill.Median(), fill.Worst(),
        load.Median(), load.Worst());
    return contacts == static_cast<size_t>(settings.contacts) ? 0 : 1;
}
