// The contact and block lists of real programs' parts: for each data root a directory client,
// an engine manager over the networked engine and the two stores joined to it, against the real
// directory service and voice server.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "VoiceRig.h"
#include "app/SonaroStoreLink.h"
#include "directory/AccountRequests.h"
#include "directory/DirectoryClient.h"
#include "engine/CSonaroManager.h"
#include "messaging/SystemNotices.h"
#include "stores/BlockStore.h"
#include "stores/ContactStore.h"
#include "support/ClientRig.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;

class Notices final : public SystemNotices {
  public:
    void AddSystemNotice(const std::string& text, bool, std::uint32_t) override {
        texts.push_back(text);
    }
    Lines texts;
};

// One data root of one account: what the program holds for the lists.
class ListsProgram {
  public:
    ListsProgram(test::VoiceRig& rig, test::Account account, const test::TempFolder& root)
        : rig_(rig), account_(std::move(account)), root_(root), user_(rig.NewUser()) {
        started_ = directory_.Start(rig.directory.Host());
        link_ = std::make_unique<SonaroStoreLink>(*user_->h.manager, &contacts, &blocks);
        blocks.SetContactStore(&contacts);
        // The per-user setup: the stores point at this user's folder.
        const std::string folder = root_.Path() + account_.id + "/";
        contacts.OpenForUser(folder, root_.Path());
        blocks.SetOwnId(account_.id);
        blocks.Load(folder + "Blocked.dat");
    }
    ~ListsProgram() {
        link_.reset();
        blocks.SetContactStore(nullptr);
    }

    bool Started() const { return started_; }

    // The directory login: its list versions reach the stores.
    bool LogInToDirectory() {
        int status = 0;
        LoginEx2(
            directory_.client, account_.id, account_.password,
            [&](const std::string&, const std::string&, long c, long b, long, long, int s,
                RequestContext) {
                status = s;
                if (s == 1) {
                    contacts.SynchronizeWithServer(static_cast<std::uint32_t>(c));
                    blocks.SynchronizeWithServer(static_cast<std::uint32_t>(b));
                }
            },
            this);
        return directory_.DriveUntil([&] { return status != 0; }) && status == 1;
    }

    // Then the engine, with the lists the stores gave the manager.
    bool LogInToVoiceServer() {
        CSonaroManager& m = *user_->h.manager;
        return rig_.LogIn(*user_, account_, directory_.client.VoiceTicket(), m.WatchList(),
                          m.BlockList());
    }

    // Until nothing of the directory is left to do.
    bool SettleDirectory() {
        return directory_.DriveUntil([&] {
            const auto s = directory_.client.Sizes();
            return s.held == 0 && s.ready == 0 && s.inFlight == 0 && s.completed == 0;
        });
    }

    test::VoiceUser& Engine() { return *user_; }
    const test::Account& Account() const { return account_; }

    test::RecordingScreen screen;
    Notices notices;
    test::ClientRig directory_;
    ContactStore contacts{&directory_.client, nullptr, screen, notices};
    BlockStore blocks{&directory_.client, nullptr, screen, notices};

  private:
    test::VoiceRig& rig_;
    test::Account account_;
    const test::TempFolder& root_;
    std::unique_ptr<test::VoiceUser> user_;
    std::unique_ptr<SonaroStoreLink> link_;
    bool started_ = false;
};

UserProfile Profile(const test::Account& account) {
    UserProfile p;
    p.LoginId = account.id;
    p.NickName = account.nick;
    return p;
}

bool Online(const ContactStore& store, const std::string& id) {
    const UserProfile* contact = store.Find(id);
    return contact != nullptr && ContactStore::IsOnline(*contact);
}

TEST(ContactListsTest, ListsFollowTheUserAcrossPresenceBlockingAndComputers) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready()) << "a server did not start";
    ASSERT_NE(rig.engine, nullptr);
    const test::Account ann = rig.Register("Ann");
    const test::Account bob = rig.Register("Bob");
    const test::Account cat = rig.Register("Cat");
    test::TempFolder annRoot;
    test::TempFolder bobRoot;

    {
        ListsProgram a(rig, ann, annRoot);
        ASSERT_TRUE(a.Started());
        ASSERT_TRUE(a.LogInToDirectory());
        ASSERT_TRUE(a.contacts.AddContact(Profile(bob)));
        ASSERT_TRUE(a.SettleDirectory());
        EXPECT_TRUE(a.contacts.Pending().empty());
        EXPECT_EQ(a.contacts.ListVersion(), 1u);
        EXPECT_EQ(a.contacts.Find(bob.id)->onServer, 1);
        ASSERT_TRUE(a.LogInToVoiceServer());
        ASSERT_TRUE(a.Engine().DriveUntil(
            [&] { return a.Engine().h.manager->PendingWatchReplies() == 0; }));
        EXPECT_FALSE(Online(a.contacts, bob.id));

        // Bob comes online: Ann's list shows it within a second.
        ListsProgram b(rig, bob, bobRoot);
        ASSERT_TRUE(b.LogInToDirectory());
        ASSERT_TRUE(b.LogInToVoiceServer());
        EXPECT_TRUE(a.Engine().DriveUntil([&] { return Online(a.contacts, bob.id); }, 1000))
            << "Bob's presence did not reach Ann's contact list within a second";

        // Before the block Bob's messages reach Ann.
        ASSERT_TRUE(b.Engine().h.manager->SendUserMessage(ann.id, "", 8, 0, "before"));
        ASSERT_TRUE(a.Engine().DriveUntil(
            [&] { return a.Engine().Saw("UserMessage Bob " + bob.id + " 8 0 before"); }));

        // Ann blocks Bob: he leaves her contact list, the engine has him on its block list.
        EXPECT_EQ(a.blocks.Block(bob.id, bob.nick, {}), BlockStore::BlockResult::Blocked);
        EXPECT_EQ(a.notices.texts.back(), "User Bob (" + bob.id +
                                              ") has been blocked and removed from your contact "
                                              "list.");
        EXPECT_EQ(a.contacts.Find(bob.id), nullptr);
        EXPECT_EQ(a.Engine().h.manager->BlockList(), bob.id + "\n");
        ASSERT_TRUE(a.SettleDirectory());
        EXPECT_TRUE(a.blocks.Pending().empty());
        EXPECT_TRUE(a.contacts.Pending().empty());
        EXPECT_EQ(a.blocks.ListVersion(), 1u);
        EXPECT_EQ(a.contacts.ListVersion(), 2u);
        // Ann's own round trip: the server has taken her block list by its answer.
        ASSERT_TRUE(a.Engine().h.manager->SendUserMessage("4000000000", "", 8, 0, "x"));
        ASSERT_TRUE(
            a.Engine().DriveUntil([&] { return !a.Engine().Events("serverMessage").empty(); }));
        ASSERT_TRUE(b.Engine().h.manager->SendUserMessage(ann.id, "", 8, 0, "after"));
        // And Bob's: what he sent before it has been handled.
        ASSERT_TRUE(b.Engine().h.manager->SendUserMessage("4000000001", "", 8, 0, "y"));
        ASSERT_TRUE(
            b.Engine().DriveUntil([&] { return !b.Engine().Events("serverMessage").empty(); }));
        a.Engine().DriveFor(300);
        EXPECT_FALSE(a.Engine().Saw("UserMessage Bob " + bob.id + " 8 0 after"));
    }

    {
        // Offline: a change made before any login is journalled...
        ListsProgram a(rig, ann, annRoot);
        ASSERT_EQ(a.contacts.ListVersion(), 2u);
        ASSERT_TRUE(a.contacts.AddContact(Profile(cat)));
        ASSERT_EQ(a.contacts.Pending().size(), 1u);
    }
    {
        // ...and reaches the server at the next login.
        ListsProgram a(rig, ann, annRoot);
        ASSERT_EQ(a.contacts.Pending().size(), 1u);
        ASSERT_TRUE(a.LogInToDirectory());
        ASSERT_TRUE(a.SettleDirectory());
        EXPECT_TRUE(a.contacts.Pending().empty());
        EXPECT_EQ(a.contacts.ListVersion(), 3u);
        EXPECT_TRUE(a.blocks.IsBlocked(bob.id));
    }
    {
        // A second computer of Ann gets both lists by version.
        test::TempFolder otherRoot;
        ListsProgram a(rig, ann, otherRoot);
        EXPECT_EQ(a.contacts.ListVersion(), 0u);
        ASSERT_TRUE(a.LogInToDirectory());
        ASSERT_TRUE(a.SettleDirectory());
        EXPECT_EQ(a.contacts.ListVersion(), 3u);
        ASSERT_NE(a.contacts.Find(cat.id), nullptr);
        EXPECT_EQ(a.contacts.Find(cat.id)->group, "General");
        EXPECT_EQ(a.contacts.Find(cat.id)->NickName, "Cat");
        EXPECT_EQ(a.contacts.Find(bob.id), nullptr);
        EXPECT_EQ(a.contacts.Contacts().size(), 1u);
        EXPECT_EQ(a.blocks.ListVersion(), 1u);
        EXPECT_TRUE(a.blocks.IsBlocked(bob.id));
        EXPECT_EQ(a.blocks.Records().size(), 1u);
    }
}

}  // namespace
}  // namespace qv
