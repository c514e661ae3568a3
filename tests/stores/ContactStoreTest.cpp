#include "stores/ContactStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "Bytes.h"
#include "StoreFakes.h"
#include "directory/DirectoryStatus.h"
#include "platform/FileIo.h"
#include "stores/AddressBookFile.h"
#include "stores/GroupName.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

using test::Text;
using test::U32;

std::string Fields(const std::vector<std::string>& values, std::size_t count) {
    std::string s;
    for (std::size_t i = 0; i < count; ++i) {
        s += Text(i < values.size() ? values[i] : std::string{}, 64);
    }
    return s;
}

// The version-5 order: First, Last, Nick, Company, ..., group (18th), Comment (19th).
std::vector<std::string> FieldValues(const std::string& nick, const std::string& group,
                                     const std::string& comment) {
    std::vector<std::string> v(19);
    v[0] = "First";
    v[1] = "Last";
    v[2] = nick;
    v[3] = "Co";
    v[10] = "a@b";
    v[17] = group;
    v[18] = comment;
    return v;
}

class ContactStoreTest : public ::testing::Test {
  protected:
    ContactStoreTest() {
        store.SetUi(&ui);
        store.SetPresenceBurstHooks(&hooks);
    }

    std::string Path() const { return folder.File("u.d/Addressbook.dat"); }
    void RemoveJournal() const { ::unlink(folder.File("u.d/Addressbook.mod").c_str()); }

    UserProfile Profile(const std::string& id, const std::string& nick,
                        const std::string& group = {}) {
        UserProfile p;
        p.LoginId = id;
        p.NickName = nick;
        p.group = group;
        return p;
    }

    test::TempFolder folder;
    test::RecordingScreen screen;
    test::RecordingNotices notices;
    test::RecordingEngineLists engine;
    test::RecordingContactUi ui;
    test::RecordingBurstHooks hooks;
    ContactStore store{nullptr, &engine, screen, notices};
};

struct FileCase {
    const char* name;
    std::string bytes;
    bool read;
    std::uint32_t listVersion;
    std::vector<std::string> groups;    // "name:onServer"
    std::vector<std::string> contacts;  // "id/nick/group/company/email/comment/onServer/stored"
};

TEST_F(ContactStoreTest, ReadsEveryKnownVersion) {
    const auto v5contact = [](std::uint32_t stored, std::uint32_t onServer, std::uint32_t id,
                              const std::vector<std::string>& f) {
        return U32(stored) + U32(onServer) + U32(id) + Fields(f, 19);
    };
    const std::vector<FileCase> cases = {
        {"version 5",
         U32(5) + U32(7) + U32(2) + U32(1) + Text("Friends", 64) + U32(0) + Text("Work", 64) +
             v5contact(9, 1, 1001, FieldValues("Ann", "Friends", "hi")) +
             v5contact(0, 0, 1002, FieldValues("Bob", "Work", "")),
         true,
         7,
         {"Friends:1", "Work:0"},
         {"1001/Ann/Friends/Co/a@b/hi/1/9", "1002/Bob/Work/Co/a@b//0/0"}},
        {"version 4: 19 fields, no list version, names-only groups",
         U32(4) + U32(1) + Text("Friends", 64) + U32(5) + U32(1001) +
             Fields(FieldValues("Ann", "Friends", "note"), 19),
         true,
         0,
         {"Friends:0"},
         {"1001/Ann/Friends/Co/a@b/note/0/5"}},
        {"version 3: 18 fields, no comment",
         U32(3) + U32(1) + Text("Friends", 64) + U32(0) + U32(1001) +
             Fields(FieldValues("Ann", "Friends", ""), 18) + U32(0) + U32(1002) +
             Fields(FieldValues("Bob", "Friends", ""), 18),
         true,
         0,
         {"Friends:0"},
         {"1001/Ann/Friends/Co/a@b//0/0", "1002/Bob/Friends/Co/a@b//0/0"}},
        {"version 2: four fields, the contact joins General",
         U32(2) + U32(1) + Text("Old", 64) + U32(3) + U32(1001) +
             Fields(FieldValues("Ann", "", ""), 4),
         true,
         0,
         {"General:0", "Old:0"},
         {"1001/Ann/General/Co///0/3"}},
        {"version 1 holds nothing", U32(1) + std::string(100, 'x'), false, 0, {}, {}},
        {"version 0 refused", U32(0) + U32(1), false, 0, {}, {}},
        {"version 6 refused", U32(6) + U32(1) + U32(0), false, 0, {}, {}},
        {"truncated in the second contact keeps the first",
         U32(5) + U32(3) + U32(1) + U32(1) + Text("G", 64) +
             v5contact(0, 1, 1, FieldValues("A", "G", "")) +
             v5contact(0, 1, 2, FieldValues("B", "G", "")).substr(0, 700),
         true,
         3,
         {"G:1"},
         {"1/A/G/Co/a@b//1/0"}},
        {"truncated in the groups keeps them",
         U32(5) + U32(3) + U32(1000) + U32(1) + Text("G", 64) + U32(1),
         true,
         3,
         {"G:1"},
         {}},
        {"empty file", "", false, 0, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        folder.Write("u.d/Addressbook.dat", c.bytes);
        RemoveJournal();
        EXPECT_EQ(store.Load(Path()), c.read);
        EXPECT_EQ(store.ListVersion(), c.listVersion);
        std::vector<std::string> groups;
        for (const auto& [name, g] : store.Groups()) {
            groups.push_back(name + ":" + std::to_string(g.onServer));
        }
        EXPECT_EQ(groups, c.groups);
        std::vector<std::string> contacts;
        for (const auto& p : store.Contacts()) {
            contacts.push_back(p->LoginId + "/" + p->NickName + "/" + p->group + "/" + p->Company +
                               "/" + p->Email1 + "/" + p->Comment + "/" +
                               std::to_string(p->onServer) + "/" + std::to_string(p->storedValue));
        }
        EXPECT_EQ(contacts, c.contacts);
        store.Load({});
    }
}

TEST_F(ContactStoreTest, RefusedFileIsKeptAside) {
    const std::string future = U32(9) + std::string(40, 'z');
    folder.Write("u.d/Addressbook.dat", future);
    EXPECT_FALSE(store.Load(Path()));
    EXPECT_EQ(folder.Read("u.d/Addressbook.dat.unreadable"), future);
}

TEST_F(ContactStoreTest, SavesVersionFiveByteForByte) {
    store.Load(Path());
    UserProfile p = Profile("1001", std::string(70, 'n'), "Friends");
    p.storedValue = 0x01020304;
    p.Comment = "c";
    ASSERT_TRUE(store.AddContact(p));
    ASSERT_TRUE(store.Save());
    std::vector<std::string> f(19);
    f[2] = std::string(63, 'n');
    f[17] = "Friends";
    f[18] = "c";
    const std::string expected = U32(5) + U32(0) + U32(1) + U32(0) + Text("Friends", 64) +
                                 U32(0x01020304) + U32(0) + U32(1001) + Fields(f, 19);
    EXPECT_EQ(folder.Read("u.d/Addressbook.dat"), expected);
    EXPECT_EQ(expected.size(), 12u + 68u + kContactRecordSize);
    struct stat st {};
    ASSERT_EQ(::stat(Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(store.Find("1001")->NickName.size(), 63u);
}

TEST_F(ContactStoreTest, JournalBesideTheBookEvenWhenTheFolderHasAFullStop) {
    store.Load(Path());
    EXPECT_EQ(store.JournalPath(), folder.File("u.d/Addressbook.mod"));
    ContactStore other(nullptr, nullptr, screen, notices);
    other.Load(folder.File("v.x/book"));
    EXPECT_EQ(other.JournalPath(), folder.File("v.x/book.mod"));
}

TEST_F(ContactStoreTest, JournalRecordsAreTwoHundredBytesAndReplayedOnLoad) {
    const std::string journal = U32(1) + U32(3) + U32(1) + U32(0) + Text("", 64) + Text("", 64) +
                                Text("Mates", 64) + U32(0) + U32(0) + Text("1001", 64) +
                                Text("Ann", 64) + Text("Mates", 64) + U32(0) + U32(1) +
                                Text("1002", 64) + Text("Bob", 64) + Text("Work", 64);
    ASSERT_EQ(journal.size(), 8u + 3 * kPendingChangeSize);
    // Bob is in the book; the journal adds Ann and removes Bob.
    std::vector<std::string> f(19);
    f[2] = "Bob";
    f[17] = "Work";
    folder.Write("u.d/Addressbook.dat", U32(5) + U32(4) + U32(1) + U32(1) + Text("Work", 64) +
                                            U32(0) + U32(1) + U32(1002) + Fields(f, 19));
    folder.Write("u.d/Addressbook.mod", journal);
    ASSERT_TRUE(store.Load(Path()));
    EXPECT_NE(store.Find("1001"), nullptr);
    EXPECT_EQ(store.Find("1001")->group, "Mates");
    EXPECT_EQ(store.Find("1002"), nullptr);
    ASSERT_EQ(store.Pending().size(), 3u);
    EXPECT_EQ(store.Pending()[1].nickName, "Ann");
    EXPECT_EQ(store.ListVersion(), 4u);
    // Unchanged until the server confirms.
    EXPECT_EQ(folder.Read("u.d/Addressbook.mod"), journal);
    EXPECT_EQ(WriteContactJournal(store.Pending()), journal);
}

TEST_F(ContactStoreTest, JournalOfAnotherVersionIsIgnored) {
    folder.Write("u.d/Addressbook.mod", U32(2) + U32(1) + std::string(200, '\0'));
    store.Load(Path());
    EXPECT_TRUE(store.Pending().empty());
}

struct ConfirmCase {
    const char* name;
    std::int32_t kind;
    std::int32_t operation;
    int status;
    std::string error;
    bool pendingRemoved;
    std::uint32_t versionDelta;
    bool noticed;
};

TEST_F(ContactStoreTest, ServerConfirmations) {
    const std::vector<ConfirmCase> cases = {
        {"add contact ok", PendingChange::kContact, PendingChange::kAdd, 1, "", true, 1, false},
        {"add contact present", PendingChange::kContact, PendingChange::kAdd, -9,
         "Contact already present in group", true, 0, false},
        {"add contact unknown user", PendingChange::kContact, PendingChange::kAdd, 10,
         "User not found", true, 0, false},
        {"add contact network", PendingChange::kContact, PendingChange::kAdd, -1,
         "INVALID Error accessing database.", false, 0, false},
        {"add contact too many", PendingChange::kContact, PendingChange::kAdd, -1,
         "Too many contacts", true, 0, true},
        {"delete contact ok", PendingChange::kContact, PendingChange::kDelete, 1, "", true, 1,
         false},
        {"delete contact absent", PendingChange::kContact, PendingChange::kDelete, 10,
         "Contact not present in group", true, 0, false},
        {"delete contact -9 is not known", PendingChange::kContact, PendingChange::kDelete, -9, "x",
         false, 0, false},
        {"add group ok", PendingChange::kGroup, PendingChange::kAdd, 1, "", true, 1, false},
        {"add group exists", PendingChange::kGroup, PendingChange::kAdd, -9, "Group already exists",
         true, 0, false},
        {"add group 10 is not known", PendingChange::kGroup, PendingChange::kAdd, 10, "x", false, 0,
         false},
        {"add group too many", PendingChange::kGroup, PendingChange::kAdd, -1, "Too many groups",
         true, 0, true},
        {"delete group ok", PendingChange::kGroup, PendingChange::kDelete, 1, "", true, 1, false},
        {"delete group absent", PendingChange::kGroup, PendingChange::kDelete, 10,
         "Group not found", true, 0, false},
        {"delete group invalid name", PendingChange::kGroup, PendingChange::kDelete, -1,
         "Invalid group name", true, 0, true},
        {"delete group other failure", PendingChange::kGroup, PendingChange::kDelete, -1,
         "Server busy", false, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store.Load(Path());
        notices.texts.clear();
        // Start from one pending change of the kind asked for.
        if (c.kind == PendingChange::kContact) {
            ASSERT_TRUE(store.AddContact(Profile("1001", "Ann", "G")));
            if (c.operation == PendingChange::kDelete) {
                store.OnAddContactReply("1001", {}, 1);
                ASSERT_TRUE(store.DeleteContact("1001"));
            }
        } else {
            ASSERT_TRUE(store.AddGroup("G"));
            if (c.operation == PendingChange::kDelete) {
                store.OnAddGroupReply("G", {}, 1);
                ASSERT_TRUE(store.DeleteGroup("G"));
            }
        }
        ASSERT_EQ(store.Pending().size(), 1u);
        const std::uint32_t before = store.ListVersion();
        if (c.kind == PendingChange::kContact && c.operation == PendingChange::kAdd) {
            store.OnAddContactReply("1001", c.error, c.status);
        } else if (c.kind == PendingChange::kContact) {
            store.OnDeleteContactReply("1001", c.error, c.status);
        } else if (c.operation == PendingChange::kAdd) {
            store.OnAddGroupReply("G", c.error, c.status);
        } else {
            store.OnDeleteGroupReply("G", c.error, c.status);
        }
        EXPECT_EQ(store.Pending().empty(), c.pendingRemoved);
        EXPECT_EQ(store.ListVersion() - before, c.versionDelta);
        EXPECT_EQ(!notices.texts.empty(), c.noticed);
        if (c.noticed) {
            EXPECT_NE(notices.texts[0].find(c.error), std::string::npos);
        }
        const std::string journal = folder.Read("u.d/Addressbook.mod");
        EXPECT_EQ(ReadContactJournal(journal).size(), store.Pending().size());
        if (c.kind == PendingChange::kContact && c.operation == PendingChange::kAdd &&
            c.pendingRemoved && !c.noticed) {
            EXPECT_EQ(store.Find("1001")->onServer, 1);
        }
        // Clean slate for the next row.
        store.Load({});
        ::unlink(Path().c_str());
        RemoveJournal();
    }
}

TEST_F(ContactStoreTest, AddingAContact) {
    store.Load(Path());
    ui.calls.clear();
    engine.calls.clear();
    ASSERT_TRUE(store.AddContact(Profile("1001", "Ann")));
    EXPECT_EQ(store.Find("1001")->group, "General");
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"group+General", "contact+1001"}));
    EXPECT_EQ(engine.calls, std::vector<std::string>{"add:1001"});
    ASSERT_EQ(store.Pending().size(), 1u);
    EXPECT_EQ(store.Pending()[0], (PendingChange{PendingChange::kContact, PendingChange::kAdd,
                                                 "1001", "Ann", "General"}));
    EXPECT_FALSE(store.AddContact(Profile("1001", "Other", "Work")));
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, "Ann is already in your contact list.");
    EXPECT_EQ(store.Pending().size(), 1u);
    EXPECT_EQ(store.Find("1001")->group, "General");
}

TEST_F(ContactStoreTest, GroupNamesThatCannotTravelAreRefusedBeforeJournalling) {
    store.Load(Path());
    const std::vector<std::string> bad = {
        "",
        "A&B",
        "A#",
        "50%",
        "Why?",
        " lead",
        "trail ",
        "Group=x",
        "My Contacts",
        std::string(64, 'g'),
        std::string("a\x01", 2),
        "\x7f",
        "\xff",
    };
    for (const auto& name : bad) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(IsAllowedGroupName(name));
        screen.boxes.clear();
        EXPECT_FALSE(store.AddGroup(name));
        ASSERT_EQ(screen.boxes.size(), 1u);
        EXPECT_EQ(screen.boxes[0].text, kGroupNameRuleMessage);
        if (!name.empty()) {
            screen.boxes.clear();
            EXPECT_FALSE(store.AddContact(Profile("1001", "Ann", name)));
            EXPECT_EQ(screen.boxes.size(), 1u);
        }
    }
    EXPECT_TRUE(store.Pending().empty());
    EXPECT_TRUE(ReadContactJournal(folder.Read("u.d/Addressbook.mod")).empty());
    for (const std::string& good : std::vector<std::string>{
             "Friends", "a b", "group", "contacts", std::string(63, 'g'), std::string("caf\xe9")}) {
        EXPECT_TRUE(IsAllowedGroupName(good)) << good;
    }
    EXPECT_EQ(std::string(kGroupNameRuleMessage),
              "Group names may be 1 to 63 characters long and may not contain & # % ? or "
              "control characters, the words \"Group=\" or \"Contacts\", or begin or end with a "
              "space.");
}

TEST_F(ContactStoreTest, GroupRemovalWarningLayout) {
    store.Load(Path());
    for (int i = 1; i <= 12; ++i) {
        store.AddContact(Profile(std::to_string(1000 + i), "N" + std::to_string(i), "Big"));
    }
    store.AddContact(Profile("2001", "Solo", "Small"));
    std::string big = "You are about to remove a group and the following contacts:\r\n\n";
    for (int i = 1; i <= 10; ++i) {
        big += "\tN" + std::to_string(i) + " (" + std::to_string(1000 + i) + ")\r\n";
    }
    big += "\t...\r\n\r\nAre you sure you want to continue?";
    EXPECT_EQ(store.GroupRemovalWarning("Big"), big);
    EXPECT_EQ(store.GroupRemovalWarning("Small"),
              "You are about to remove a group and the following contacts:\r\n\n\tSolo "
              "(2001)\r\n\r\nAre you sure you want to continue?");

    screen.ScriptAnswers({mb::kIdNo});
    EXPECT_FALSE(store.RemoveGroupAsking("Big"));
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].caption, "Warning!");
    EXPECT_EQ(screen.boxes[0].style & mb::kButtonsMask, mb::kYesNo);
    EXPECT_EQ(screen.boxes[0].text, big);
    EXPECT_EQ(store.FindGroup("Big")->members.size(), 12u);

    screen.ScriptAnswers({mb::kIdYes});
    EXPECT_TRUE(store.RemoveGroupAsking("Big"));
    EXPECT_EQ(store.FindGroup("Big"), nullptr);
    EXPECT_EQ(store.Find("1001"), nullptr);
    EXPECT_EQ(store.Contacts().size(), 1u);
    EXPECT_EQ(store.Pending().back(),
              (PendingChange{PendingChange::kGroup, PendingChange::kDelete, "", "", "Big"}));

    ASSERT_TRUE(store.AddGroup("Empty"));
    screen.boxes.clear();
    EXPECT_TRUE(store.RemoveGroupAsking("Empty"));
    EXPECT_TRUE(screen.boxes.empty());
}

TEST_F(ContactStoreTest, PresenceFromWatchEvents) {
    store.Load(Path());
    store.AddContact(Profile("1001", "Ann"));
    store.AddContact(Profile("1002", "Bob"));
    struct Case {
        const char* name;
        std::uint32_t before;
        std::int16_t status;
        bool initial;
        bool sound;
    };
    const std::vector<Case> cases = {
        {"comes online", 0, 1, false, true},
        {"comes online in the initial burst", 0, 1, true, false},
        {"online with a variant", 0, 1 | 4, false, true},
        {"hidden online counts as offline", 0, 1 | 32, false, false},
        {"had flags before", 32, 1, false, false},
        {"already online", 1, 1 | 2, false, false},
        {"goes offline", 1, 0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store.Find("1001")->presenceFlags = c.before;
        engine.sounds.clear();
        store.OnWatch("1001", c.status, c.initial, false);
        EXPECT_EQ(store.Find("1001")->presenceFlags, static_cast<std::uint16_t>(c.status));
        EXPECT_EQ(engine.sounds,
                  c.sound ? std::vector<std::string>{"ContactOnline"} : std::vector<std::string>{});
    }
    EXPECT_TRUE(ContactStore::IsOnline(*store.Find("1001")) == false);
    // The last initial reply, logged in: re-sort and the hooks.
    ui.calls.clear();
    engine.state = 3;
    store.OnWatch("1002", 1, true, true);
    EXPECT_TRUE(hooks.calls.empty());
    engine.state = 4;
    store.OnWatch("1002", 1, true, true);
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"flush", "voicemail"}));
    EXPECT_EQ(ui.calls.back(), "presence done");
    // Unknown ids change nothing.
    store.OnWatch("9999", 1, false, false);
    // The connection gone: everybody offline.
    store.OnConnectionState(0);
    EXPECT_EQ(store.Find("1002")->presenceFlags, 0u);
}

TEST_F(ContactStoreTest, WatchListFollowsTheList) {
    std::vector<std::string> f(19);
    f[2] = "Ann";
    f[17] = "G";
    folder.Write("u.d/Addressbook.dat", U32(5) + U32(1) + U32(1) + U32(1) + Text("G", 64) + U32(0) +
                                            U32(1) + U32(1001) + Fields(f, 19));
    store.Load(Path());
    EXPECT_EQ(engine.calls.back(), "watch:1001\n");
    store.AddContact(Profile("1002", "Bob"));
    store.DeleteContact("1001");
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"watch:1001\n", "add:1002", "remove:1001"}));
}

TEST_F(ContactStoreTest, ImportOldJournalsEverything) {
    const std::string old = folder.Write("prog/Addressbook.dat",
                                         U32(4) + U32(1) + Text("Old", 64) + U32(0) + U32(1001) +
                                             Fields(FieldValues("Ann", "Old", ""), 19));
    ASSERT_TRUE(store.OpenForUser(folder.File("prog/55/"), folder.File("prog/")));
    EXPECT_EQ(store.Path(), folder.File("prog/55/Addressbook.dat"));
    ASSERT_NE(store.Find("1001"), nullptr);
    ASSERT_EQ(store.Pending().size(), 2u);
    EXPECT_EQ(store.Pending()[0],
              (PendingChange{PendingChange::kGroup, PendingChange::kAdd, "", "", "Old"}));
    EXPECT_EQ(store.Pending()[1],
              (PendingChange{PendingChange::kContact, PendingChange::kAdd, "1001", "Ann", "Old"}));
    EXPECT_TRUE(FileExists(folder.File("prog/55/Addressbook.mod")));
    EXPECT_TRUE(FileExists(old));
}

TEST_F(ContactStoreTest, AutoAddAndWaitingAlertHooks) {
    store.Load(Path());
    EXPECT_FALSE(store.AddUnknownSender("1001", "Ann", false));
    EXPECT_TRUE(store.AddUnknownSender("1001", "Ann", true));
    EXPECT_EQ(store.Find("1001")->group, "General");
    EXPECT_FALSE(store.AddUnknownSender("1001", "Ann", true));
    EXPECT_TRUE(screen.boxes.empty());
    ui.calls.clear();
    store.SetWaitingAlertTime("1001", 1234);
    EXPECT_EQ(store.Find("1001")->waitingAlertTime, 1234);
    EXPECT_EQ(ui.calls, std::vector<std::string>{"updated1001"});
}

TEST_F(ContactStoreTest, UpdateProfileKeepsTheListState) {
    store.Load(Path());
    store.AddContact(Profile("1001", "Ann", "Work"));
    store.Find("1001")->presenceFlags = 1;
    UserProfile fresh = Profile("1001", "Annie", "");
    fresh.City = "Oslo";
    store.UpdateProfile(fresh);
    EXPECT_EQ(store.Find("1001")->NickName, "Annie");
    EXPECT_EQ(store.Find("1001")->City, "Oslo");
    EXPECT_EQ(store.Find("1001")->group, "Work");
    EXPECT_EQ(store.Find("1001")->presenceFlags, 1u);
}

}  // namespace
}  // namespace qv
