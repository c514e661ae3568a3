#include "stores/CEventLogWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QInputDevice>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "settings/IniFile.h"
#include "stores/EventLog.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

class EventLogWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qv_event_log_window_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            QInputDevice::devices();
            static QApplication application(argc, argv);
        }
    }
    void SetUp() override {
        ASSERT_TRUE(log.Open(folder.File("Quorvane.log")));
        now = static_cast<std::uint32_t>(std::time(nullptr));
        log.LogIncomingMessage(now - 40 * 86400, "1002", "Bob", "Old news\r\nsecond line");
        log.LogOutgoingMessage(now - 3 * 86400, "1003", "Carol", "Lunch on Friday?");
        log.LogIncomingCall(now - 60, "1002", "Bob");
        log.LogOutgoingCall(now - 30, "1004", "Dave");
        log.LogIncomingInvitation(now - 20, "1003", "Carol", "/Friends/Chat");
        log.Append({event_type::kSystemMessage, now - 10, "", "", "The server restarts", {}});
    }
    CEventLogWindow& Open(std::string nickname = "Ann") {
        window = std::make_unique<CEventLogWindow>(log, &settings, screen, nickname);
        return *window;
    }
    std::vector<std::string> Rows() const {
        std::vector<std::string> out;
        EventLogModel* model = window->Model();
        for (int r = 0; r < model->rowCount(); ++r) {
            std::string row;
            for (int c = 0; c < model->columnCount(); ++c) {
                row += (c ? " | " : "") + model->index(r, c).data().toString().toStdString();
            }
            out.push_back(row);
        }
        return out;
    }
    std::string Date(std::uint32_t t) const { return EventLogModel::DateText(t); }

    test::TempFolder folder;
    IniFile settings{folder.File("Options.ini")};
    test::RecordingScreen screen;
    EventLog log;
    std::uint32_t now = 0;
    std::unique_ptr<CEventLogWindow> window;
};

TEST_F(EventLogWindowTest, RowsShowTheDateEventPartyAndFirstLine) {
    Open();
    EXPECT_EQ(window->windowTitle().toStdString(), "Event Log  [Ann]");
    EXPECT_EQ(Rows(), (std::vector<std::string>{
                          Date(now - 40 * 86400) + " | FROM | Bob | Old news",
                          Date(now - 3 * 86400) + " | TO | Carol | Lunch on Friday?",
                          Date(now - 60) + " | INCOMING CALL | Bob | ",
                          Date(now - 30) + " | OUTGOING CALL | Dave | ",
                          Date(now - 20) + " | INVITED BY | Carol | /Friends/Chat",
                          Date(now - 10) + " | SYSTEM | SYSTEM | The server restarts",
                      }));
    // An icon on every row's first column.
    for (int r = 0; r < window->Model()->rowCount(); ++r) {
        EXPECT_FALSE(window->Model()->index(r, 0).data(Qt::DecorationRole).isNull());
    }
    Open("");
    EXPECT_EQ(window->windowTitle().toStdString(), "Event Log  [All Users]");
}

TEST_F(EventLogWindowTest, TheDateFormats) {
    // 2004-02-29 13:05 local time.
    std::tm t{};
    t.tm_year = 104;
    t.tm_mon = 1;
    t.tm_mday = 29;
    t.tm_hour = 13;
    t.tm_min = 5;
    t.tm_isdst = -1;
    const auto when = static_cast<std::uint32_t>(std::mktime(&t));
    EXPECT_EQ(EventLogModel::DateText(when), "02/29/04");
    EXPECT_EQ(CEventLogWindow::TimeText(when), "Sun, February 29, 2004 01:05 PM");
}

TEST_F(EventLogWindowTest, TheDetailPaneShowsThePartyTimeAndText) {
    Open();
    window->Table()->setCurrentIndex(window->Model()->index(0, 0));
    EXPECT_EQ(window->DetailParty()->text().toStdString(), "Bob  (1002)");
    EXPECT_EQ(window->DetailTime()->text().toStdString(),
              CEventLogWindow::TimeText(now - 40 * 86400));
    EXPECT_EQ(window->DetailText()->toPlainText().toStdString(), "Old news\nsecond line");
    window->Table()->setCurrentIndex(window->Model()->index(5, 0));
    EXPECT_EQ(window->DetailParty()->text().toStdString(), "SYSTEM");
}

TEST_F(EventLogWindowTest, FiltersByTypeTimePartyAndText) {
    Open();
    struct Case {
        const char* what;
        void (*set)(CEventLogWindow&);
        std::size_t rows;
    };
    const Case cases[] = {
        {"all", [](CEventLogWindow&) {}, 6},
        {"no calls", [](CEventLogWindow& w) { w.TypeBox(1)->setChecked(false); }, 4},
        {"messages only",
         [](CEventLogWindow& w) {
             for (int i : {1, 2, 3}) {
                 w.TypeBox(i)->setChecked(false);
             }
         },
         2},
        {"nothing ticked",
         [](CEventLogWindow& w) {
             for (int i : {0, 1, 2, 3}) {
                 w.TypeBox(i)->setChecked(false);
             }
         },
         0},
        {"last 7 days", [](CEventLogWindow& w) { w.TimeRange()->setCurrentIndex(2); }, 5},
        {"last 30 days", [](CEventLogWindow& w) { w.TimeRange()->setCurrentIndex(3); }, 5},
        {"party carol",
         [](CEventLogWindow& w) {
             w.PartyEdit()->setText("CAROL");
             w.Refresh();
         },
         2},
        {"text friday",
         [](CEventLogWindow& w) {
             w.TextEdit()->setText("friday");
             w.Refresh();
         },
         1},
        {"history of 1002", [](CEventLogWindow& w) { w.ShowUser("1002"); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Open();
        c.set(*window);
        EXPECT_EQ(window->Model()->rowCount(), static_cast<int>(c.rows));
    }
}

TEST_F(EventLogWindowTest, ANewRecordShowsWhileTheWindowIsOpen) {
    Open();
    window->show();
    log.LogIncomingMessage(now, "1005", "Eve", "fresh");
    EXPECT_EQ(window->Model()->rowCount(), 7);
    EXPECT_EQ(Rows().back(), Date(now) + " | FROM | Eve | fresh");
    window->close();
}

TEST_F(EventLogWindowTest, ArchiveEmptiesTheListAfterTheQuestion) {
    Open();
    window->show();
    screen.ScriptAnswers({mb::kIdNo, mb::kIdYes});
    window->ArchiveButton()->click();
    EXPECT_EQ(window->Model()->rowCount(), 6);
    window->Table()->setCurrentIndex(window->Model()->index(0, 0));
    window->ArchiveButton()->click();
    EXPECT_EQ(window->Model()->rowCount(), 0);
    EXPECT_TRUE(window->DetailParty()->text().isEmpty());
    EXPECT_TRUE(window->DetailText()->toPlainText().isEmpty());
    ASSERT_EQ(screen.boxes.size(), 2u);
    EXPECT_EQ(screen.boxes[1].caption, "WARNING");
    EXPECT_NE(folder.Read("LogArchive.txt").find("CONTACT: Carol ( 1003 )"), std::string::npos);
    window->close();
}

TEST_F(EventLogWindowTest, PlacementOnTopAndShownAreKept) {
    settings.WriteInt("WindowRect", "LogDialogLeft", 40);
    settings.WriteInt("WindowRect", "LogDialogTop", 50);
    settings.WriteInt("WindowRect", "LogDialogWidth", 600);
    settings.WriteInt("WindowRect", "LogDialogHeight", 450);
    settings.WriteInt("WindowRect", "LogDialogOnTop", 1);
    Open();
    EXPECT_TRUE(window->OnTopBox()->isChecked());
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    window->show();
    EXPECT_EQ(window->geometry().size(), QSize(600, 450));
    EXPECT_EQ(settings.GetInt("WindowRect", "ShowLogDialog", 0), 1);
    window->OnTopBox()->setChecked(false);
    EXPECT_EQ(settings.GetInt("WindowRect", "LogDialogOnTop", 1), 0);
    window->resize(640, 480);
    window->close();
    EXPECT_EQ(settings.GetInt("WindowRect", "ShowLogDialog", 1), 0);
    EXPECT_EQ(settings.GetInt("WindowRect", "LogDialogWidth", 0), 640);
    EXPECT_EQ(settings.GetInt("WindowRect", "LogDialogHeight", 0), 480);
}

// QUORVANE_SHOT=file.png: a picture of the window for a person to look at.
TEST_F(EventLogWindowTest, Picture) {
    const char* shot = std::getenv("QUORVANE_SHOT");
    if (shot == nullptr) {
        GTEST_SKIP() << "no QUORVANE_SHOT";
    }
    Open();
    window->show();
    window->Table()->setCurrentIndex(window->Model()->index(1, 0));
    QApplication::processEvents();
    EXPECT_TRUE(window->grab().save(shot));
}

}  // namespace
}  // namespace qv
