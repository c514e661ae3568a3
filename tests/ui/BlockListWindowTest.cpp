#include "stores/CBlockListWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QInputDevice>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "directory/ReplyGrammar.h"
#include "messaging/SystemNoticeList.h"
#include "settings/IniFile.h"
#include "stores/BlockStore.h"
#include "stores/CBlockUserDialog.h"
#include "stores/ContactStore.h"
#include "support/ClientRig.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "support/TestHttpServer.h"

namespace qv {
namespace {

class BlockListWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qv_block_list_window_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            // Qt's list of input devices is made when the event loop first meets one; made
            // after the application it would be gone before the application's exit deletes
            // the devices.
            QInputDevice::devices();
            static QApplication application(argc, argv);
        }
    }
    void SetUp() override {
        blocks.SetOwnId("500");
        blocks.SetContactStore(&contacts);
        blocks.Load(folder.File("Blocked.dat"));
    }

    CBlockListWindow& Open(DirectoryClient* directory = nullptr) {
        window = std::make_unique<CBlockListWindow>(blocks, &contacts, directory, settings, screen);
        return *window;
    }
    std::vector<std::string> Rows() {
        std::vector<std::string> out;
        QTreeWidget* list = window->List();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            out.push_back(list->topLevelItem(i)->text(0).toStdString() + " | " +
                          list->topLevelItem(i)->text(1).toStdString());
        }
        return out;
    }
    void SelectRows(std::initializer_list<int> rows) {
        window->List()->clearSelection();
        for (int row : rows) {
            window->List()->topLevelItem(row)->setSelected(true);
        }
    }
    QPushButton* Button(const char* name) { return window->findChild<QPushButton*>(name); }

    test::TempFolder folder;
    IniFile settings{folder.File("Options.ini")};
    test::RecordingScreen screen;
    SystemNoticeList notices;
    ContactStore contacts{nullptr, nullptr, screen, notices};
    BlockStore blocks{nullptr, nullptr, screen, notices};
    // Made by the tests that talk to a directory; they outlive the window and its dialogs.
    std::unique_ptr<test::TestHttpServer> server;
    std::unique_ptr<test::ClientRig> rig;
    std::unique_ptr<CBlockListWindow> window;
};

TEST_F(BlockListWindowTest, ListsNicknameAndIdAndFollowsTheStore) {
    blocks.Block("1001", "Ann", "");
    blocks.Block("1002", "Bob", "");
    Open();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Ann | 1001", "Bob | 1002"}));
    EXPECT_FALSE(Button("unblock")->isEnabled());
    EXPECT_TRUE(Button("unblockAll")->isEnabled());
    blocks.Block("1003", "Cy", "");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Ann | 1001", "Bob | 1002", "Cy | 1003"}));
}

TEST_F(BlockListWindowTest, UnblockTheSelectedUsers) {
    for (const char* id : {"1001", "1002", "1003", "1004"}) {
        blocks.Block(id, std::string("Nick") + id, "");
    }
    Open();
    SelectRows({1, 3});
    EXPECT_TRUE(Button("unblock")->isEnabled());
    Button("unblock")->click();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Nick1001 | 1001", "Nick1003 | 1003"}));
    EXPECT_FALSE(blocks.IsBlocked("1002"));
    EXPECT_FALSE(blocks.IsBlocked("1004"));
    EXPECT_TRUE(blocks.IsBlocked("1001"));
}

TEST_F(BlockListWindowTest, UnblockAllAsksFirst) {
    blocks.Block("1001", "Ann", "");
    blocks.Block("1002", "Bob", "");
    Open();
    screen.ScriptAnswers({mb::kIdNo});
    Button("unblockAll")->click();
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].caption, "Warning");
    EXPECT_EQ(screen.boxes[0].text, "Warning: Are you sure you want to unblock all users?");
    EXPECT_EQ(Rows().size(), 2u);
    screen.ScriptAnswers({mb::kIdYes});
    Button("unblockAll")->click();
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(blocks.Records().empty());
    EXPECT_FALSE(Button("unblockAll")->isEnabled());
}

struct BlockCase {
    const char* id;
    const char* typedNick;
    bool blocked;
    const char* nickAfter;
};

TEST_F(BlockListWindowTest, BlockById) {
    UserProfile carol;
    carol.LoginId = "1003";
    carol.NickName = "Carol";
    contacts.AddContact(carol);
    Open();
    const std::vector<BlockCase> cases = {
        {"1001", "Ann", true, "Ann"},
        {"1003", "typed", true, "Carol"},  // a contact: the list's nickname
        {"500", "me", false, nullptr},     // the user's own ID
        {"12x", "Bad", false, nullptr},
        {"1001", "Ann", false, nullptr},  // already blocked
        {"1005", "cs Helper", false, nullptr},
    };
    for (const BlockCase& c : cases) {
        const std::size_t before = blocks.Records().size();
        CBlockUserDialog dialog(blocks, &contacts, nullptr, screen);
        dialog.findChild<QLineEdit*>("loginId")->setText(c.id);
        dialog.findChild<QLineEdit*>("nickName")->setText(c.typedNick);
        dialog.Apply();
        EXPECT_EQ(blocks.Records().size(), before + (c.blocked ? 1 : 0)) << c.id;
        if (c.blocked) {
            EXPECT_EQ(blocks.Records().back().LoginId, c.id);
            EXPECT_EQ(blocks.Records().back().NickName, c.nickAfter);
        }
    }
    EXPECT_EQ(contacts.Find("1003"), nullptr);  // blocking a contact removes it from the list
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Ann | 1001", "Carol | 1003"}));
}

TEST_F(BlockListWindowTest, BlockByIdTakesTheNicknameFromTheDirectory) {
    server = std::make_unique<test::TestHttpServer>();
    rig = std::make_unique<test::ClientRig>();
    ASSERT_TRUE(rig->Start(server->Host()));
    rig->client.SetConnectionId("c1");
    const std::string S(1, reply::kItemSeparator);
    std::string reply = "Success" + S + "NickName=CS Mary" + S;
    for (const char* key : {"FirstName", "LastName", "Email1", "Company", "Comment", "Address1",
                            "Address2", "City", "State", "Zip", "Country", "TeleHome", "TeleOffice",
                            "Fax", "Cell", "Pager", "HomePage"}) {
        reply += std::string(key) + "=" + S;
    }
    server->Answer("GetUserProfile", reply);
    Open(&rig->client);
    Button("block")->click();
    CBlockUserDialog* dialog = window->BlockDialog();
    ASSERT_NE(dialog, nullptr);
    QLineEdit* id = dialog->findChild<QLineEdit*>("loginId");
    id->setText("1009");
    emit id->editingFinished();
    ASSERT_TRUE(rig->DriveUntil(
        [&] { return dialog->findChild<QLineEdit*>("nickName")->text() == "CS Mary"; }));
    // A nickname typed over the directory's does not get past the customer-service check.
    dialog->findChild<QLineEdit*>("nickName")->setText("Mary");
    dialog->findChild<QPushButton*>("ok")->click();
    EXPECT_FALSE(blocks.IsBlocked("1009"));
    const auto shown = notices.Notices();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().text, "Quorvane Customer Service representatives may not be blocked.");
}

TEST_F(BlockListWindowTest, PlacementAndKeepOnTopAreKept) {
    Open();
    window->show();
    window->setGeometry(120, 90, 400, 300);
    QApplication::processEvents();
    EXPECT_EQ(settings.GetInt("WindowRect", "BlockListDialogLeft", -1), 120);
    EXPECT_EQ(settings.GetInt("WindowRect", "BlockListDialogTop", -1), 90);
    EXPECT_EQ(settings.GetInt("WindowRect", "BlockListDialogWidth", -1), 400);
    EXPECT_EQ(settings.GetInt("WindowRect", "BlockListDialogHeight", -1), 300);
    EXPECT_EQ(settings.GetInt("WindowRect", "BlockListOnTop", -1), -1);
    window->findChild<QCheckBox*>("onTop")->setChecked(true);
    EXPECT_EQ(settings.GetInt("WindowRect", "BlockListOnTop", -1), 1);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window->isVisible());

    window.reset();
    settings.WriteInt("WindowRect", "BlockListDialogLeft", 150);
    Open();
    EXPECT_EQ(window->geometry(), QRect(150, 90, 400, 300));
    EXPECT_TRUE(window->OnTop());
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window->findChild<QCheckBox*>("onTop")->isChecked());
    window->SetOnTop(false);
    EXPECT_EQ(settings.GetInt("WindowRect", "BlockListOnTop", -1), 0);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(BlockListWindowTest, APlaceOffTheScreenComesBackOntoIt) {
    settings.WriteInt("WindowRect", "BlockListDialogLeft", 90000);
    settings.WriteInt("WindowRect", "BlockListDialogTop", -5000);
    settings.WriteInt("WindowRect", "BlockListDialogWidth", 300);
    settings.WriteInt("WindowRect", "BlockListDialogHeight", 250);
    Open();
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(work.contains(window->geometry())) << window->geometry().x();
    EXPECT_EQ(window->geometry().size(), QSize(300, 250));
    // Opening moved nothing the user moved: the keys are as they were.
    EXPECT_EQ(settings.GetInt("WindowRect", "BlockListDialogLeft", -1), 90000);
}

}  // namespace
}  // namespace qv
