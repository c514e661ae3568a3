// Pictures of the contact list and the block list as a user sees them, for a person to look at:
// qv_contact_list_shots OUTPUT_FOLDER (run under a real X server or offscreen).

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPixmap>
#include <QTreeWidget>
#include <cstdio>
#include <string>
#include <vector>

#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "messaging/SystemNoticeList.h"
#include "platform/Mixer.h"
#include "platform/TickClock.h"
#include "settings/IniFile.h"
#include "stores/BlockStore.h"
#include "stores/CAddContactDialog.h"
#include "stores/CBlockListWindow.h"
#include "stores/CContactListWindow.h"
#include "stores/ContactIconSet.h"
#include "stores/ContactStore.h"
#include "support/FrameShell.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "ui/CMainFrame.h"
#include "ui/CQuorvaneView.h"

#include <QLabel>
#include <QPainter>

namespace {

using namespace qv;

struct Person {
    const char* nick;
    const char* group;
    std::uint16_t flags;
    int alertKind;
    std::uint16_t alertFlags;
};

bool Save(QWidget& widget, const std::string& folder, const char* name) {
    QApplication::processEvents();
    const std::string path = folder + "/" + name;
    const bool ok = widget.grab().save(QString::fromStdString(path));
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.c_str());
    return ok;
}

// The real frame and view, with a screen that records instead of showing.
using test::FrameShell;

// Every icon at its size and four times enlarged, with its name.
void IconSheet(const std::string& out) {
    const char* names[kContactIconCount] = {"offline",          "online",
                                            "away (bit 1)",     "do not disturb (bit 2)",
                                            "occupied (bit 3)", "available for chat (bit 4)",
                                            "instant message",  "instant message, high priority",
                                            "forum invitation", "website / web tour invitation",
                                            "voice mail",       "voice mail, high priority"};
    ContactIconSet icons;
    QPixmap sheet(420, 24 + kContactIconCount * 72);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    for (int i = 0; i < kContactIconCount; ++i) {
        const QPixmap small = icons.Icon(static_cast<ContactIcon>(i)).pixmap(16, 16);
        const int y = 12 + i * 72;
        p.drawPixmap(12, y + 24, small);
        p.drawPixmap(44, y, small.scaled(64, 64, Qt::KeepAspectRatio, Qt::FastTransformation));
        p.drawText(124, y + 36, names[i]);
    }
    p.end();
    const std::string path = out + "/contact-icons.png";
    std::printf("%s %s\n", sheet.save(QString::fromStdString(path)) ? "wrote" : "FAILED",
                path.c_str());
}

// The main window as it starts, its contact list filled.
void MainWindow(const std::string& out, const std::vector<UserProfile>& list,
                const std::vector<Person>& people) {
    test::TempFolder root;
    root.Write("Quorvane.ini", "[Internal]\r\nDisableAutoConnect=1\r\n");
    SteadyTickClock clock;
    FrameShell shell;
    AppEnvironment env;
    env.homeOption = root.Path();
    env.executable = "/usr/bin/quorvane";
    CQuorvaneApp app(env, shell, nullptr, clock);
    shell.app = &app;
    if (!app.InitInstance() || shell.frame == nullptr) {
        std::printf("FAILED to start the program\n");
        return;
    }
    app.UserSettings()->SetPath(root.File("Options.ini"));
    app.UserSettings()->WriteInt("ContactList", "EnableGroups", 1);
    app.UserSettings()->WriteInt("ContactList", "NumExpanded", 2);
    app.UserSettings()->WriteString("ContactList", "Expanded00", "Family");
    app.UserSettings()->WriteString("ContactList", "Expanded01", "Work");
    ContactStore& contacts = *app.GetContactStore();
    contacts.ReplaceFromServer(root.File("Addressbook.dat"), 3,
                               {"Family", "Work", "Chess Club", "Neighbours", "General"}, list);
    for (std::size_t i = 0; i < people.size(); ++i) {
        contacts.OnWatch(list[i].LoginId, static_cast<std::int16_t>(people[i].flags), false, false);
    }
    Save(*shell.frame, out, "main-window.png");
    shell.frame->ShowBlockList();
    app.ExitInstance();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const std::string out = argc > 1 ? argv[1] : ".";
    test::TempFolder folder;
    IniFile settings(folder.File("Options.ini"));
    test::RecordingScreen screen;
    SystemNoticeList notices;
    ContactStore contacts(nullptr, nullptr, screen, notices);
    BlockStore blocks(nullptr, nullptr, screen, notices);
    blocks.SetContactStore(&contacts);

    const std::vector<Person> people = {
        {"Alice Moreau", "Family", 0x01, 0, 0},
        {"Bob", "Family", 0x03, 0, 0},
        {"grandma", "Family", 0x00, 0, 0},
        {"Uncle Theo", "Family", 0x00, 174, 0},
        {"Carla", "Family", 0x11, 0, 0},
        {"Dmitri K.", "Work", 0x05, 0, 0},
        {"Evelyn (HR)", "Work", 0x09, 0, 0},
        {"frank_ops", "Work", 0x01, 174, 1},
        {"Gustavo", "Work", 0x21, 0, 0},
        {"Hana", "Work", 0x01, 0, 0},
        {"Ines", "Work", 0x00, 0, 0},
        {"Jonas", "Work", 0x0B, 0, 0},
        {"Kemal", "Work", 0x00, 0, 0},
        {"Lena", "Work", 0x01, 383, 0},
        {"Marek", "Chess Club", 0x01, 189, 0},
        {"Nadia", "Chess Club", 0x00, 0, 0},
        {"Oskar the Rook", "Chess Club", 0x13, 0, 0},
        {"Pia", "Chess Club", 0x00, 0, 0},
        {"Quentin", "Chess Club", 0x01, 347, 0},
        {"Rosa", "Chess Club", 0x00, 383, 1},
        {"Sami", "Neighbours", 0x00, 0, 0},
        {"Tove", "Neighbours", 0x01, 0, 0},
        {"Ulrich", "Neighbours", 0x00, 0, 0},
        {"Vera with a really long nickname", "Neighbours", 0x01, 0, 0},
        {"Wim", "General", 0x00, 0, 0},
        {"Xia", "General", 0x05, 0, 0},
        {"Yusuf", "General", 0x00, 366, 0},
        {"Zoe", "General", 0x01, 0, 0},
        {"Ada", "General", 0x00, 0, 0},
        {"Bram", "General", 0x11, 0, 0},
    };
    std::vector<UserProfile> list;
    int id = 1001;
    for (const Person& p : people) {
        UserProfile u;
        u.LoginId = std::to_string(id++);
        u.NickName = p.nick;
        u.group = p.group;
        list.push_back(u);
    }
    contacts.ReplaceFromServer(folder.File("Addressbook.dat"), 3,
                               {"Family", "Work", "Chess Club", "Neighbours", "General"}, list);
    settings.WriteInt("ContactList", "EnableGroups", 1);
    settings.WriteInt("ContactList", "NumExpanded", 3);
    settings.WriteString("ContactList", "Expanded00", "Chess Club");
    settings.WriteString("ContactList", "Expanded01", "Family");
    settings.WriteString("ContactList", "Expanded02", "Work");

    CContactListWindow window(CContactListWindow::Parts{contacts, &blocks, nullptr, settings,
                                                        screen, [] { return std::uint16_t{0}; }});
    window.SetCallHandler([](const std::string&) {});
    for (std::size_t i = 0; i < people.size(); ++i) {
        const std::string loginId = list[i].LoginId;
        contacts.OnWatch(loginId, static_cast<std::int16_t>(people[i].flags), true,
                         i + 1 == people.size());
        if (people[i].alertKind != 0) {
            contacts.SetWaitingAlertTime(loginId, static_cast<std::int32_t>(1700000000 + i));
            window.ShowWaitingAlert(loginId, people[i].alertKind, people[i].alertFlags);
        }
    }
    // As wide as the main window's collapsed column.
    window.resize(190, 640);
    window.show();
    window.Tree()->setCurrentItem(window.ItemOf("1008"));
    Save(window, out, "contact-list-groups.png");

    window.SetOnlineOnly(true);
    Save(window, out, "contact-list-online-only.png");
    window.SetOnlineOnly(false);
    window.SetGroupsEnabled(false);
    Save(window, out, "contact-list-flat.png");
    window.SetGroupsEnabled(true);
    window.SynchronizingChanged(true);
    Save(window, out, "contact-list-synchronizing.png");
    window.SynchronizingChanged(false);

    CAddContactDialog add(contacts, nullptr, screen, "Work");
    add.findChild<QLineEdit*>("loginId")->setText("2001");
    add.findChild<QLineEdit*>("nickName")->setText("New Friend");
    add.show();
    Save(add, out, "add-contact.png");

    blocks.SetOwnId("999");
    blocks.Load(folder.File("Blocked.dat"));
    const std::vector<std::pair<const char*, const char*>> blocked = {
        {"3001", "spammer42"},
        {"3002", "Annoying Caller"},
        {"3003", "x"},
        {"3004", "Someone With A Long Nickname"},
        {"1009", "Gustavo"},
        {"3005", "noreply"},
        {"3006", "Telemarketing Inc"},
    };
    for (const auto& [blockId, nick] : blocked) {
        blocks.Block(blockId, nick, "");
    }
    CBlockListWindow blockList(blocks, &contacts, nullptr, settings, screen);
    blockList.show();
    blockList.List()->topLevelItem(1)->setSelected(true);
    Save(blockList, out, "block-list.png");
    Save(window, out, "contact-list-after-block.png");
    IconSheet(out);
    MainWindow(out, list, people);
    return 0;
}
