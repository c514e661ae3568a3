// Opening a large contact list: Addressbook.dat of 10,000 contacts in 100 groups read by the
// store, and the contact-list window's tree filled from it (offscreen).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeWidget>
#include <cstdlib>
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

std::string TempFolder() {
    char pattern[] = "/tmp/qv_contact_bench_XXXXXX";
    const char* made = ::mkdtemp(pattern);
    return made != nullptr ? std::string(made) + "/" : std::string("/tmp/");
}

void LoadAndFill(benchmark::State& state) {
    const int contacts = static_cast<int>(state.range(0));
    const int groups = static_cast<int>(state.range(1));
    const std::string folder = TempFolder();
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
    if (std::getenv("QV_BENCH_NO_WINDOW") != nullptr) {
        store.SetUi(nullptr);
    }
    for (auto _ : state) {
        store.Load("");  // empty again, as before a login
        store.Load(path);
        benchmark::DoNotOptimize(window.Tree()->topLevelItemCount());
    }
    if (store.Contacts().size() != static_cast<std::size_t>(contacts) ||
        window.Tree()->topLevelItemCount() != groups) {
        state.SkipWithError("the list did not load");
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * contacts);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(LoadAndFill)->Args({10000, 100})->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
