// Opening a large contact list: Addressbook.dat of 10,000 contacts in 100 groups read by the
// store, and the contact-list window's tree filled from it (offscreen). Prints one line: the
// median and worst of --rounds for the whole and for each step.
//
//   qv_contact_tree_bench [--contacts N] [--groups N] [--rounds N]

#include <stdlib.h>

#include <QApplication>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "messaging/SystemNoticeList.h"
#include "platform/Screen.h"
#include "settings/IniFile.h"
#include "stores/CContactListWindow.h"
#include "stores/ContactStore.h"

namespace {

using namespace qv;
using Clock = std::chrono::steady_clock;

class NoScreen final : public Screen {
  public:
    int MessageBox(const std::string&, const std::string&, std::uint32_t) override {
        return mb::kIdOk;
    }
    void FlashMainWindow(bool) override {}
    bool OpenUrl(const std::string&) override { return false; }
    bool StartProgram(const std::string&, const std::vector<std::string>&) override {
        return false;
    }
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Times {
    std::vector<double> values;
    double Median() {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    double Worst() const { return *std::max_element(values.begin(), values.end()); }
};

int Arg(int argc, char** argv, const char* name, int def) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            return std::max(1, std::atoi(argv[i + 1]));
        }
    }
    return def;
}

}  // namespace

int main(int argc, char** argv) {
    if (::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    const int contacts = Arg(argc, argv, "--contacts", 10000);
    const int groups = Arg(argc, argv, "--groups", 100);
    const int rounds = Arg(argc, argv, "--rounds", 15);

    char pattern[] = "/tmp/qv_contact_tree_bench_XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::printf("contact tree: no temporary folder\n");
        return 1;
    }
    const std::string folder = std::string(pattern) + "/";
    const std::string path = folder + "Addressbook.dat";
    NoScreen screen;
    SystemNoticeList notices;
    {
        // The file as the store writes it after a replacement from the server.
        ContactStore writer(nullptr, nullptr, screen, notices);
        std::vector<std::string> names;
        for (int g = 0; g < groups; ++g) {
            names.push_back("Group " + std::to_string(g));
        }
        std::vector<UserProfile> list;
        for (int i = 0; i < contacts; ++i) {
            UserProfile p;
            p.LoginId = std::to_string(100000 + i);
            p.NickName = "Nick" + std::to_string((i * 7919) % contacts);
            p.FirstName = "First";
            p.LastName = "Last";
            p.group = names[static_cast<std::size_t>(i % groups)];
            list.push_back(std::move(p));
        }
        writer.ReplaceFromServer(path, 1, names, list);
    }
    IniFile settings(folder + "Options.ini");
    settings.WriteInt("ContactList", "EnableGroups", 1);
    settings.WriteInt("ContactList", "NumExpanded", 1);
    settings.WriteString("ContactList", "Expanded00", "Group 0");

    ContactStore store(nullptr, nullptr, screen, notices);
    CContactListWindow window(CContactListWindow::Parts{store, nullptr, nullptr, settings, screen,
                                                        [] { return std::uint16_t{0}; }});
    window.resize(200, 600);
    window.show();
    QApplication::processEvents();
    Times total, load, fill;
    bool complete = true;
    for (int r = 0; r < rounds; ++r) {
        store.Load("");  // empty again, as before a login
        store.SetUi(nullptr);
        const Clock::time_point start = Clock::now();
        store.Load(path);
        const Clock::time_point loaded = Clock::now();
        store.SetUi(&window);
        window.ListRebuilt();
        QApplication::processEvents();  // the first paint of the filled tree
        const Clock::time_point filled = Clock::now();
        load.values.push_back(Ms(loaded - start));
        fill.values.push_back(Ms(filled - loaded));
        total.values.push_back(Ms(filled - start));
        complete = complete && store.Contacts().size() == static_cast<std::size_t>(contacts) &&
                   window.Tree()->topLevelItemCount() == groups;
    }
    // The presence replies after a login: every other contact comes online, one reply each.
    Times burst;
    for (int r = 0; r < std::min(rounds, 5); ++r) {
        store.Load(path);
        QApplication::processEvents();
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < contacts; i += 2) {
            store.OnWatch(std::to_string(100000 + i), 0x01, true, false);
        }
        QApplication::processEvents();
        burst.values.push_back(Ms(Clock::now() - start));
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::printf(
        "contact tree: %d contacts in %d groups, load + fill median %.1f ms (worst %.1f) = "
        "Addressbook.dat %.1f ms + tree %.1f ms; %d presence replies %.1f ms; %d rounds%s\n",
        contacts, groups, total.Median(), total.Worst(), load.Median(), fill.Median(), contacts / 2,
        burst.Median(), rounds, complete ? "" : " (THE LIST DID NOT LOAD)");
    return complete ? 0 : 1;
}
