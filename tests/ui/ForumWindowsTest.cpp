// The forum list, its dialogs and the participant menu on Qt's offscreen platform, over the real
// forum core, call manager and engine manager with the simulated engine.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QInputDevice>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CallRig.h"
#include "calls/ForumNames.h"
#include "calls/ForumTree.h"
#include "engine/SonaroControl.h"
#include "ui/CActiveCallPane.h"
#include "ui/CAdultWarningDialog.h"
#include "ui/CCreateForumDialog.h"
#include "ui/CForumListWindow.h"
#include "ui/CForumReasonDialog.h"
#include "ui/CJoinForumDialog.h"
#include "ui/CUnbanDialog.h"

namespace qv {
namespace {

using test::Lines;

// Several categories, an adult one, password, moderated and microphone forums, a forum at the
// top, a forum two levels down, a leading slash and a last line without its line feed.
constexpr const char* kBusyList =
    "General/Friends\t12\tPM\n"
    "General/Chat\t3\t\n"
    "General/Quiet Room\t0\tT\n"
    "Adult Lounge/Late Night\t5\t\n"
    "Music/Jazz/Evening\t4\tM\n"
    "Music/Rock\t7\t\n"
    "/Sports/Football\t9\t\n"
    "Lobby\t2\t\n"
    "Games/Chess\t1\tP";

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "qv_forum_windows_test";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) {
        QInputDevice::devices();
        static QApplication application(argc, argv);
    }
}

// Runs then, from the event loop, once the next modal dialog is up.
void WhenModal(std::function<void(QWidget*)> then) {
    QTimer::singleShot(0, [then = std::move(then)] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        then(modal);
    });
}

class ForumWindowsTest : public ::testing::Test {
  public:
    static void SetUpTestSuite() { EnsureApplication(); }

  protected:
    ForumWindowsTest() {
        rig.LogIn();
        MakeWindow();
    }
    ~ForumWindowsTest() override { window.reset(); }

    void MakeWindow() {
        window.reset();
        CForumListWindow::Parts parts;
        parts.tree = &tree;
        parts.manager = rig.h.manager.get();
        parts.userSettings = &rig.h.user;
        parts.options = &rig.h.options;
        parts.notices = &rig.notices;
        parts.wallClock = [] { return test::CallRig::kWallTime; };
        parts.moderationEnabled = true;
        parts.joinExisting = [this](const std::string& path, const std::string& password,
                                    bool moderated, bool microphones) {
            return rig.calls->JoinExistingForum(path, password, 0, moderated, false, false,
                                                microphones, false);
        };
        parts.createOrJoin = [this](const NewForum& f) {
            return rig.calls->CreateOrJoinForum(f.path, f.password, f.hidden, f.moderated, false,
                                                false, f.controlMicrophones, f.banBlockList);
        };
        parts.askAdult = [this] {
            ++adultAsked;
            return adultAnswer;
        };
        window = std::make_unique<CForumListWindow>(std::move(parts));
        window->resize(400, 420);
        window->show();
    }

    // The engine lists the forums; the window reads them once its posted message is handled.
    void ListArrives(const std::string& text) {
        rig.Sim().ScriptResults(sonaro_id::kGetGroupList, {text});
        rig.h.RaiseAndDrain([](SonaroEventSink& e) { e.groupListUpdate(); });
        QCoreApplication::sendPostedEvents();
    }
    // Row texts: name, rooms, users, and the image columns as letters.
    Lines Rows() const {
        Lines out;
        QTreeWidget* list = window->List();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = list->topLevelItem(i);
            std::string row = item->text(CForumListWindow::kNameColumn).toStdString();
            row += "|" + item->text(CForumListWindow::kRoomsColumn).toStdString();
            row += "|" + item->text(CForumListWindow::kUsersColumn).toStdString() + "|";
            row += item->icon(CForumListWindow::kPasswordColumn).isNull() ? "-" : "P";
            row +=
                item->icon(CForumListWindow::kModeratedColumn).isNull()
                    ? "-"
                    : item->toolTip(CForumListWindow::kModeratedColumn).toStdString().substr(0, 1);
            row +=
                item->icon(CForumListWindow::kCategoryColumn).isNull()
                    ? "-"
                    : item->toolTip(CForumListWindow::kCategoryColumn).toStdString().substr(0, 1);
            out.push_back(row);
        }
        return out;
    }
    QTreeWidgetItem* Row(const std::string& name) const {
        QTreeWidget* list = window->List();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            if (list->topLevelItem(i)->text(CForumListWindow::kNameColumn).toStdString() == name) {
                return list->topLevelItem(i);
            }
        }
        return nullptr;
    }
    void DoubleClick(const std::string& name) {
        QTreeWidgetItem* item = Row(name);
        ASSERT_NE(item, nullptr) << name;
        window->List()->setCurrentItem(item);
        emit window->List()->itemDoubleClicked(item, CForumListWindow::kNameColumn);
    }
    void Select(const std::string& name) {
        QTreeWidgetItem* item = Row(name);
        ASSERT_NE(item, nullptr) << name;
        window->List()->setCurrentItem(item);
    }
    // The engine calls of forums since the last look.
    Lines ForumCalls() {
        rig.Pump();
        Lines out;
        for (const std::string& call : rig.h.Calls()) {
            for (const char* name :
                 {"JoinGroup(", "ModeFlags", "BanMember(", "SetMember", "SendUserMessage(",
                  "DisbandGroup(", "RenameGroup(", "MuteMember("}) {
                if (call.rfind(name, 0) == 0) {
                    out.push_back(call);
                }
            }
        }
        rig.h.ClearCalls();
        return out;
    }
    Lines Notices() {
        Lines out = rig.NoticeTexts();
        Lines fresh(out.begin() + static_cast<long>(std::min(seenNotices, out.size())), out.end());
        seenNotices = out.size();
        return fresh;
    }

    test::CallRig rig;
    ForumTree tree;
    std::unique_ptr<CForumListWindow> window;
    int adultAsked = 0;
    bool adultAnswer = true;
    std::size_t seenNotices = 0;
};

TEST_F(ForumWindowsTest, HeadersToolTipsAndTools) {
    QTreeWidgetItem* header = window->List()->headerItem();
    const Lines shortHeaders{"P", "M", "C", "Forum", "Rooms", "Users"};
    const Lines longHeaders{"Password required", "Moderated / Microphone Controlled",
                            "Category",          "Forum Name",
                            "Number of Rooms",   "Number of Users"};
    for (int c = 0; c < CForumListWindow::kColumnCount; ++c) {
        EXPECT_EQ(header->text(c).toStdString(), shortHeaders[c]);
        EXPECT_EQ(header->toolTip(c).toStdString(), longHeaders[c]);
    }
    Lines tools;
    for (QAction* a : window->ToolBar()->actions()) {
        tools.push_back(a->toolTip().toStdString());
    }
    EXPECT_EQ(tools, (Lines{"One level up", "Refresh forums", "Create forum", "Open/join"}));
    const std::vector<std::pair<const char*, const char*>> buttons{
        {"refreshButton", "&Refresh|Refresh forums"},
        {"createButton", "&Create|Create forum"},
        {"joinButton", "&Join|Join forum"}};
    for (const auto& [name, want] : buttons) {
        auto* b = window->findChild<QPushButton*>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ((b->text() + "|" + b->toolTip()).toStdString(), want);
    }
}

TEST_F(ForumWindowsTest, TheListArrivesThroughThePostedMessageAndFillsTheTopLevel) {
    rig.Sim().ScriptResults(sonaro_id::kGetGroupList, {std::string(kBusyList)});
    rig.h.RaiseAndDrain([](SonaroEventSink& e) { e.groupListUpdate(); });
    // Stored, not yet read: the window reads it when its message is handled.
    EXPECT_EQ(window->List()->topLevelItemCount(), 0);
    QCoreApplication::sendPostedEvents();
    // Sorted by name; the adult category after all others; the unterminated line is not there.
    EXPECT_EQ(Rows(), (Lines{"General|3||--C", "Lobby||2|--F", "Music|2||--C", "Sports|1||--C",
                             "Adult Lounge|1||--C"}));
    // The top level shows only the names.
    QHeaderView* h = window->List()->header();
    EXPECT_GT(h->sectionSize(CForumListWindow::kNameColumn), 200);
    EXPECT_EQ(h->sectionSize(CForumListWindow::kRoomsColumn), 0);
    EXPECT_EQ(h->sectionSize(CForumListWindow::kUsersColumn), 0);
}

TEST_F(ForumWindowsTest, AdultCategoriesStayLastWhicheverWayAColumnSorts) {
    ListArrives(kBusyList);
    window->List()->sortByColumn(CForumListWindow::kNameColumn, Qt::DescendingOrder);
    EXPECT_EQ(Rows().back(), "Adult Lounge|1||--C");
    EXPECT_EQ(Rows().front(), "Sports|1||--C");
    window->List()->sortByColumn(CForumListWindow::kRoomsColumn, Qt::DescendingOrder);
    EXPECT_EQ(Rows().front(), "General|3||--C");
    EXPECT_EQ(Rows().back(), "Adult Lounge|1||--C");
}

TEST_F(ForumWindowsTest, OpeningACategoryShowsItsForumsWithTheirImagesAndWidths) {
    ListArrives(kBusyList);
    DoubleClick("General");
    EXPECT_EQ(window->ShownPath(), "General/");
    EXPECT_EQ(Rows(), (Lines{"Chat||3|---", "Friends||12|PM-", "Quiet Room||0|-M-"}));
    EXPECT_EQ(Row("Quiet Room")->toolTip(CForumListWindow::kModeratedColumn).toStdString(),
              "Microphone Controlled");
    EXPECT_EQ(Row("Friends")->toolTip(CForumListWindow::kModeratedColumn).toStdString(),
              "Moderated");
    QHeaderView* h = window->List()->header();
    const int name = h->sectionSize(CForumListWindow::kNameColumn);
    const int rooms = h->sectionSize(CForumListWindow::kRoomsColumn);
    const int users = h->sectionSize(CForumListWindow::kUsersColumn);
    ASSERT_GT(name + rooms + users, 0);
    EXPECT_NEAR(100.0 * name / (name + rooms + users), 60.0, 1.0);
    EXPECT_NEAR(100.0 * rooms / (name + rooms + users), 22.0, 1.0);
    // The path box holds the way back.
    QComboBox* box = window->PathBox();
    ASSERT_EQ(box->count(), 2);
    EXPECT_EQ(box->itemText(1).toStdString(), "General/");
    // A new list keeps the level shown; a level that went shows the top.
    ListArrives(std::string(kBusyList) + "\nGeneral/New\t1\t\n");
    EXPECT_EQ(window->ShownPath(), "General/");
    EXPECT_EQ(Rows().size(), 4u);
    ListArrives("Music/Rock\t7\t\n");
    EXPECT_EQ(window->ShownPath(), "");
    EXPECT_EQ(Rows(), (Lines{"Music|1||--C"}));
}

TEST_F(ForumWindowsTest, PathBoxAndOneLevelUp) {
    ListArrives(kBusyList);
    DoubleClick("Music");
    DoubleClick("Jazz");
    EXPECT_EQ(window->ShownPath(), "Music/Jazz/");
    EXPECT_EQ(Rows(), (Lines{"Evening||4|-M-"}));
    ForumCalls();
    window->OneLevelUp();
    EXPECT_EQ(window->ShownPath(), "Music/");
    // Going up refreshes.
    EXPECT_EQ(ForumCalls(), (Lines{"ModeFlags=0"}));
    QComboBox* box = window->PathBox();
    ASSERT_EQ(box->count(), 2);
    emit box->activated(0);
    EXPECT_EQ(window->ShownPath(), "");
    window->OneLevelUp();  // nothing above the top
    EXPECT_EQ(window->ShownPath(), "");
    EXPECT_EQ(ForumCalls(), Lines{});
    window->findChild<QPushButton*>("refreshButton")->click();
    EXPECT_EQ(ForumCalls(), (Lines{"ModeFlags=0"}));
}

TEST_F(ForumWindowsTest, JoiningARowUsesItsFlagsAndALockedRowAsksForThePassword) {
    ListArrives(kBusyList);
    DoubleClick("General");
    ForumCalls();
    DoubleClick("Quiet Room");
    // The list's flags go with the join (the simulated server knows none of these forums and
    // refuses them afterwards).
    ASSERT_NE(rig.calls->Active(), nullptr);
    EXPECT_TRUE(rig.calls->Active()->controlledMicrophones);
    EXPECT_EQ(ForumCalls(), (Lines{"JoinGroup(\"General/Quiet Room\", \"\", 2)"}));
    EXPECT_EQ(window->JoinDialog(), nullptr);

    Select("Friends");
    window->findChild<QPushButton*>("joinButton")->click();
    EXPECT_EQ(ForumCalls(), Lines{});
    CJoinForumDialog* dialog = window->JoinDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->NameField()->text().toStdString(), "General/Friends");
    // Joining again while it is open only brings it forward.
    Select("Chat");
    window->JoinSelected();
    EXPECT_EQ(window->JoinDialog(), dialog);
    EXPECT_EQ(ForumCalls(), Lines{});
    dialog->PasswordField()->setText("secret");
    dialog->OkButton()->click();
    // The refused forum left nothing to leave.
    EXPECT_EQ(ForumCalls(), (Lines{"JoinGroup(\"General/Friends\", \"secret\", 2)"}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->JoinDialog(), nullptr);
}

TEST_F(ForumWindowsTest, CloseForumListHidesTheWindowAfterAJoin) {
    ListArrives(kBusyList);
    rig.h.options.SetCloseForumList(1);
    DoubleClick("Lobby");
    EXPECT_EQ(ForumCalls(), (Lines{"JoinGroup(\"Lobby\", \"\", 2)"}));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(ForumWindowsTest, DisconnectingClosesTheList) {
    ASSERT_TRUE(window->isVisible());
    rig.h.manager->Disconnect(true);
    rig.Pump();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(ForumWindowsTest, TheJoinDialogRefusesBadNamesAndStaysOpen) {
    ListArrives(kBusyList);
    CJoinForumDialog* dialog = window->OpenJoinDialog({});
    ASSERT_NE(dialog, nullptr);
    for (const char* bad : {"", " ", "a", "   b   ", "General.Chat", "Back\\slash", "tab\there",
                            "caret^", "pipe|", "tilde~", "\xE9t\xE9"}) {
        dialog->NameField()->setText(QString::fromLatin1(bad));
        dialog->OkButton()->click();
        EXPECT_TRUE(dialog->isVisible()) << bad;
        EXPECT_EQ(Notices(), Lines{forum_text::kInvalidName}) << bad;
    }
    EXPECT_EQ(ForumCalls(), Lines{});
    // Blanks around a good name go; its flags come from the list.
    dialog->NameField()->setText("  General/Friends  ");
    dialog->PasswordField()->setText("pw");
    dialog->OkButton()->click();
    EXPECT_EQ(ForumCalls(), (Lines{"JoinGroup(\"General/Friends\", \"pw\", 2)"}));
    EXPECT_EQ(Notices(), Lines{});
}

TEST_F(ForumWindowsTest, CreateRefusalsShowTheirMessagesAndKeepTheDialog) {
    ListArrives(kBusyList);
    struct Case {
        std::string level;
        std::string typed;
        const char* message;
    };
    const std::vector<Case> cases{
        {"", "Friends", forum_text::kTopLevel},
        {"", "x", forum_text::kInvalidName},
        {"General/", "Sub/", forum_text::kNoFolders},
        {"General/", "Nowhere/Room", forum_text::kNoCategory},
        {"General/", "Bad.Name", forum_text::kInvalidName},
    };
    for (const Case& c : cases) {
        window->ShowLevel(c.level);
        window->CreateForum();
        CCreateForumDialog* dialog = window->CreateDialog();
        ASSERT_NE(dialog, nullptr);
        dialog->NameField()->setText(QString::fromStdString(c.typed));
        dialog->OkButton()->click();
        EXPECT_TRUE(dialog->isVisible()) << c.typed;
        EXPECT_EQ(Notices(), Lines{c.message}) << c.typed;
        dialog->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_EQ(ForumCalls(), Lines{});
}

TEST_F(ForumWindowsTest, CreatingAddsTheForumAtOnceAndJoinsIt) {
    ListArrives(kBusyList);
    DoubleClick("General");
    window->CreateForum();
    CCreateForumDialog* dialog = window->CreateDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle().toStdString(), CreateDialogTitle("General/"));
    dialog->NameField()->setText("Test");
    dialog->PasswordField()->setText("pw");
    dialog->Moderated()->setChecked(true);
    dialog->ControlMicrophones()->setChecked(true);
    ForumCalls();
    dialog->OkButton()->click();
    {
        auto lock = tree.Hold();
        const ForumNode* node = tree.Find(lock, "General/Test");
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->userCount, 1u);
        EXPECT_EQ(node->flags,
                  ForumNode::kModerated | ForumNode::kPassword | ForumNode::kControlledMicrophones);
    }
    // Moderated 4 + controlled microphones 8; then the list is asked for again.
    EXPECT_EQ(ForumCalls(), (Lines{"JoinGroup(\"General/Test\", \"pw\", 12)", "ModeFlags=0"}));
    // Joined: the forum controls its microphones.
    EXPECT_EQ(Notices(), Lines{CallManager::kControlledMicrophonesNotice});
    EXPECT_EQ(window->ShownPath(), "General/");
    EXPECT_NE(Row("Test"), nullptr);
    EXPECT_EQ(window->windowTitle().toStdString(), CForumListWindow::kTitle);
}

TEST_F(ForumWindowsTest, TheAdultWarningIsAskedOnceUntilTheWindowIsMadeAgain) {
    ListArrives(kBusyList);
    adultAnswer = false;
    DoubleClick("Adult Lounge");
    EXPECT_EQ(adultAsked, 1);
    EXPECT_EQ(window->ShownPath(), "");  // Leave keeps the user out
    adultAnswer = true;
    DoubleClick("Adult Lounge");
    EXPECT_EQ(adultAsked, 2);
    EXPECT_EQ(window->ShownPath(), "Adult Lounge/");
    DoubleClick("Late Night");
    window->OneLevelUp();
    DoubleClick("Adult Lounge");
    EXPECT_EQ(adultAsked, 2);
    EXPECT_TRUE(window->AllowJoin("ADULT Lounge/Other"));
    EXPECT_EQ(adultAsked, 2);
    // A forum named adult inside another category needs none.
    MakeWindow();
    EXPECT_TRUE(window->AllowJoin("General/adult"));
    EXPECT_EQ(adultAsked, 2);
    EXPECT_TRUE(window->AllowJoin("AdUlT Lounge/Late Night"));
    EXPECT_EQ(adultAsked, 3);
}

TEST_F(ForumWindowsTest, TheRealWarningDialogAcceptsAndLeaves) {
    CForumListWindow::Parts parts;
    parts.tree = &tree;
    CForumListWindow plain(std::move(parts));
    WhenModal([](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle().toStdString(), "Warning!");
        auto* leave = modal->findChild<QPushButton*>("leave");
        ASSERT_NE(leave, nullptr);
        EXPECT_EQ(leave->text().toStdString(), "&Leave");
        leave->click();
    });
    EXPECT_FALSE(plain.AllowJoin("Adult/Room"));
    WhenModal([](QWidget* modal) {
        auto* accept = modal->findChild<QPushButton*>("accept");
        ASSERT_NE(accept, nullptr);
        EXPECT_EQ(accept->text().toStdString(), "&I accept");
        EXPECT_TRUE(modal->findChild<QLabel*>("warningText")
                        ->text()
                        .startsWith("WARNING:  THIS FORUM MAY CONTAIN AUDIO, TEXTUAL, OR VISUAL "
                                    "COMMUNICATIONS OR MATERIAL THAT IS INAPPROPRIATE AND NOT "
                                    "INTENDED FOR ANYONE UNDER THE AGE OF 18."));
        accept->click();
    });
    EXPECT_TRUE(plain.AllowJoin("Adult/Room"));
    EXPECT_TRUE(plain.AllowJoin("Adult/Other"));  // no dialog: it would block here
}

TEST_F(ForumWindowsTest, PlacementIsKeptInWindowRect) {
    window->setGeometry(120, 140, 420, 380);
    const QRect place = window->geometry();
    window.reset();
    EXPECT_EQ(rig.h.user.GetInt("WindowRect", "ForumListLeft", 0), place.left());
    EXPECT_EQ(rig.h.user.GetInt("WindowRect", "ForumListTop", 0), place.top());
    EXPECT_EQ(rig.h.user.GetInt("WindowRect", "ForumListWidth", 0), 420);
    EXPECT_EQ(rig.h.user.GetInt("WindowRect", "ForumListHeight", 0), 380);
    MakeWindow();
    EXPECT_EQ(window->width(), 400);  // MakeWindow resizes; the stored place is applied first
    window.reset();
    CForumListWindow::Parts parts;
    parts.tree = &tree;
    parts.userSettings = &rig.h.user;
    CForumListWindow again(std::move(parts));
    EXPECT_EQ(again.size(), QSize(400, 420));
}

// ---- the participant menu ----------------------------------------------------------------

class ParticipantMenuTest : public ::testing::Test {
  public:
    static void SetUpTestSuite() { EnsureApplication(); }

  protected:
    ParticipantMenuTest() {
        rig.LogIn();
        parts.manager = rig.h.manager.get();
        parts.moderationEnabled = true;
        parts.moderation = [this] { return &rig.calls->Moderation(); };
        parts.screen = &rig.h.screen;
        parts.participantCountChanged = [this](int n) { counts.push_back(n); };
        pane = std::make_unique<CActiveCallPane>(parts);
        rig.calls->SetActivePane(pane.get());
        pane->resize(220, 260);
        pane->show();
    }
    ~ParticipantMenuTest() override {
        rig.calls->SetActivePane(nullptr);
        pane.reset();
    }

    // A forum with me (42) and the others, as the engine lists them.
    void InForum(const std::string& users, bool controlled = false) {
        rig.EnterForum("General/Test", true);
        rig.calls->Active()->controlledMicrophones = controlled;
        pane->ShowActive(rig.calls->Active());
        pane->OnUserList(users);
        ForumCalls();
        counts.clear();
        // The pane tells the count of every new list.
        pane->ShowActive(rig.calls->Active());
        pane->OnUserList(users);
    }
    QTreeWidgetItem* Item(const std::string& nick) const {
        QTreeWidget* list = pane->Participants();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            if (list->topLevelItem(i)->text(1).toStdString() == nick) {
                return list->topLevelItem(i);
            }
        }
        return nullptr;
    }
    Lines MenuFor(const std::string& nick) {
        std::unique_ptr<QMenu> menu(pane->MakeParticipantMenu(Item(nick)));
        Lines out;
        for (QAction* a : menu->actions()) {
            out.push_back(a->isSeparator() ? "-" : a->text().toStdString());
        }
        return out;
    }
    void Choose(const std::string& nick, const std::string& text) {
        pane->Participants()->setCurrentItem(Item(nick));
        std::unique_ptr<QMenu> menu(pane->MakeParticipantMenu(Item(nick)));
        for (QAction* a : menu->actions()) {
            if (a->text().toStdString() == text) {
                a->trigger();
                return;
            }
        }
        ADD_FAILURE() << "no item " << text;
    }
    Lines ForumCalls() {
        rig.Pump();
        Lines out;
        for (const std::string& call : rig.h.Calls()) {
            for (const char* name : {"BanMember(", "SetMember", "SendUserMessage(", "DisbandGroup(",
                                     "RenameGroup(", "MuteMember("}) {
                if (call.rfind(name, 0) == 0) {
                    out.push_back(call);
                }
            }
        }
        rig.h.ClearCalls();
        return out;
    }

    test::CallRig rig;
    CallPaneParts parts;
    std::unique_ptr<CActiveCallPane> pane;
    std::vector<int> counts;
};

const Lines kBase{"&Send Instant Message", "&Add Participant To Contact List", "View I&nfo",
                  "Mu&te Participant", "&Block Participant"};

Lines With(Lines more) {
    Lines out = kBase;
    if (!more.empty()) {
        out.push_back("-");
    }
    out.insert(out.end(), more.begin(), more.end());
    return out;
}

TEST_F(ParticipantMenuTest, ItemsFollowTheRoles) {
    InForum("me\t42\tOM\nbob\t7\t\ncarl\t8\tM\nolga\t9\tOM\n");
    EXPECT_EQ(MenuFor("bob"), With({"Mak&e Moderator", "Make &Owner", "&Kick User", "Ban Use&r",
                                    "&UnBan User", "&Disband Forum", "Re&name Forum..."}));
    EXPECT_EQ(MenuFor("carl"), With({"Make &Owner", "&Revoke Moderator Status", "&UnBan User",
                                     "&Disband Forum", "Re&name Forum..."}));
    EXPECT_EQ(MenuFor("olga"), With({"&UnBan User", "&Disband Forum", "Re&name Forum..."}));
    EXPECT_EQ(counts, (std::vector<int>{4}));
}

TEST_F(ParticipantMenuTest, AModeratorKicksAndBansButOwnsNothing) {
    InForum("me\t42\tM\nbob\t7\t\ncarl\t8\tM\n");
    EXPECT_EQ(MenuFor("bob"), With({"&Kick User", "Ban Use&r", "&UnBan User"}));
    EXPECT_EQ(MenuFor("carl"), With({"&UnBan User"}));
}

TEST_F(ParticipantMenuTest, APlainMemberGetsTheBaseItemsOnly) {
    InForum("me\t42\t\nbob\t7\tM\n");
    EXPECT_EQ(MenuFor("bob"), kBase);
    std::unique_ptr<QMenu> menu(pane->MakeParticipantMenu(Item("me")));
    EXPECT_FALSE(menu->findChild<QAction*>("mute")->isEnabled());  // not oneself
}

TEST_F(ParticipantMenuTest, MicrophoneItemsInAControlledForum) {
    InForum("me\t42\tM\nbob\t7\t\ndan\t10\tT\n", true);
    const Lines bob = MenuFor("bob");
    EXPECT_NE(std::find(bob.begin(), bob.end(), "&Give Microphone"), bob.end());
    const Lines dan = MenuFor("dan");
    EXPECT_NE(std::find(dan.begin(), dan.end(), "Take A&way Microphone"), dan.end());
    Choose("bob", "&Give Microphone");
    EXPECT_EQ(ForumCalls(), (Lines{"SetMemberMicrophone(\"7\\n\", 1)"}));
}

TEST_F(ParticipantMenuTest, KickAsksTheReasonThenThrowsOutWithoutKeepingOut) {
    InForum("me\t42\tOM\nbob\t7\t\n");
    WhenModal([](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle().toStdString(), "Reason for kicking...");
        auto* dialog = qobject_cast<CForumReasonDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->ReasonField()->setText("too\tloud");
        EXPECT_EQ(dialog->ActionButton()->text().toStdString(), "&Kick User");
        dialog->ActionButton()->click();
    });
    Choose("bob", "&Kick User");
    EXPECT_EQ(ForumCalls(), (Lines{"SendUserMessage(\"7\", 14, 1, \"General/Test\\ttoo loud\")",
                                   "BanMember(\"7\\n\", 1)", "BanMember(\"7\\n\", 2)"}));
    // Cancel sends nothing.
    WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    Choose("bob", "Ban Use&r");
    EXPECT_EQ(ForumCalls(), Lines{});
}

TEST_F(ParticipantMenuTest, UnbanTakesTheTypedId) {
    InForum("me\t42\tOM\nbob\t7\t\n");
    WhenModal([](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle().toStdString(), "Unban User From Forum");
        auto* dialog = qobject_cast<CUnbanDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_FALSE(dialog->UnbanButton()->isEnabled());
        dialog->IdField()->setText(" 31337 ");
        EXPECT_EQ(dialog->UnbanButton()->text().toStdString(), "&Unban User");
        dialog->UnbanButton()->click();
    });
    Choose("bob", "&UnBan User");
    EXPECT_EQ(ForumCalls(), (Lines{"BanMember(\"31337\\n\", 2)"}));
    EXPECT_EQ(rig.NoticeTexts().back(), "User 31337 has been unbanned from this forum.");
}

TEST_F(ParticipantMenuTest, DisbandAsksWithNoAsTheDefault) {
    InForum("me\t42\tOM\nbob\t7\t\ncarl\t8\tM\nolga\t9\tOM\n");
    rig.h.screen.ScriptAnswers({mb::kIdNo, mb::kIdYes});
    Choose("bob", "&Disband Forum");
    ASSERT_EQ(rig.h.screen.boxes.size(), 1u);
    EXPECT_EQ(rig.h.screen.boxes[0].caption, "Warning");
    EXPECT_EQ(rig.h.screen.boxes[0].text,
              "All remaining participants will be kicked from forum. Proceed with disband?");
    EXPECT_EQ(rig.h.screen.boxes[0].style & mb::kButtonsMask, mb::kYesNo);
    EXPECT_EQ(rig.h.screen.boxes[0].style & mb::kDefaultMask, mb::kDefaultButton2);
    EXPECT_EQ(ForumCalls(), Lines{});
    Choose("bob", "&Disband Forum");
    // Every participant but the owners hears of it.
    EXPECT_EQ(ForumCalls(),
              (Lines{"DisbandGroup()", "SendUserMessage(\"7\", 18, 1, \"General/Test\\t\")",
                     "SendUserMessage(\"8\", 18, 1, \"General/Test\\t\")"}));
}

TEST_F(ParticipantMenuTest, MuteTogglesTheMarkAndTellsTheEngine) {
    InForum("me\t42\t\nbob\t7\t\n");
    Choose("bob", "Mu&te Participant");
    EXPECT_EQ(ForumCalls(), (Lines{"MuteMember(\"7\\n\", 1)"}));
    EXPECT_EQ(Item("bob")->toolTip(0).toStdString(), "Muted");
}

TEST_F(ParticipantMenuTest, ForcedPushToTalkReachesTheTalkButton) {
    InForum("me\t42\t\n");
    ActiveCallPane& seam = *pane;
    seam.ForcedPushToTalkChanged(true);
    EXPECT_TRUE(pane->ForcedPushToTalk());
    EXPECT_TRUE(pane->PushToTalkMode());
    seam.ForcedPushToTalkChanged(false);
    EXPECT_FALSE(pane->PushToTalkMode());
}

}  // namespace
}  // namespace qv
