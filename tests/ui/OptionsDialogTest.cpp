#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "app/CommandIds.h"
#include "calls/TalkMuteButton.h"
#include "login/CCustomMessageDialog.h"
#include "platform/Mixer.h"
#include "platform/Screen.h"
#include "platform/TickClock.h"
#include "settings/COptionsDialog.h"
#include "settings/IniFile.h"
#include "settings/LoginKey.h"
#include "settings/Options.h"
#include "settings/RegistryKey.h"
#include "settings/RunKey.h"
#include "stores/CContactListWindow.h"
#include "support/FrameShell.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "ui/CActiveCallPane.h"
#include "ui/CMainFrame.h"
#include "ui/CQuorvaneView.h"
#include "ui/ProgramOptions.h"

namespace qv {
namespace {

// The program's frame and view, with a screen that records instead of showing.
// The program's fonts reach the windows, as the real shell does.
class FrameShell final : public test::FrameShell {
  public:
    void SetFonts(const LogFont&, const LogFont& list, const LogFont& chat) override {
        ProgramOptions::ApplyFonts(list, chat);
    }
};

// Runs f once the next modal window is open (a dialog's own event loop runs it).
void WhenModal(std::function<void(QWidget*)> f) {
    QTimer::singleShot(0, [f = std::move(f)] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        f(modal);
    });
}

class OptionsDialogTest : public ::testing::Test {
  protected:
    void Start(bool account = true, bool internal = true) {
        root.Write("Quorvane.ini", std::string("[Internal]\r\nShowInternalOptions=") +
                                       (internal ? "1" : "0") + "\r\n");
        AppEnvironment env;
        env.homeOption = root.Path();
        env.executable = "/usr/bin/quorvane";
        env.xdgConfigHome = root.File("config/");
        app = std::make_unique<CQuorvaneApp>(env, shell, nullptr, clock);
        shell.app = app.get();
        ASSERT_TRUE(app->InitInstance());
        if (account) {
            RegistryKey* login = app->LoginKey();
            login->SetDword(login_key::kQuorvaneId, 1002);
            login->SetString("NickName", "Bob");
            login->SetString(login_key::kFirstName, "Robert");
            login->SetString(login_key::kLastName, "Smith");
            login->SetString(login_key::kEmail, "bob@x.org");
            login->SetString(login_key::kPassword, login_key::EncodePassword("secret"));
        }
    }
    void TearDown() override {
        if (app) {
            app->ExitInstance();
        }
        std::filesystem::current_path(cwd);
    }

    COptionsDialog* Open() {
        EXPECT_TRUE(shell.frame->OnCommand(ProgramOptions::kCommand));
        return shell.frame->OptionsOpener()->Dialog();
    }
    static void Click(COptionsDialog* d, const char* text) {
        auto* button = qobject_cast<QAbstractButton*>(d->Control(text));
        ASSERT_NE(button, nullptr) << text;
        button->click();
    }
    static QStringList Tabs(COptionsDialog* d) {
        QStringList tabs;
        for (int i = 0; i < d->Tabs()->count(); ++i) {
            tabs << d->Tabs()->tabText(i);
        }
        return tabs;
    }

    test::TempFolder root;
    SteadyTickClock clock;
    FrameShell shell;
    std::unique_ptr<CQuorvaneApp> app;
    std::string cwd = std::filesystem::current_path().string();
};

TEST_F(OptionsDialogTest, ToolsMenuOpensEveryPageWithItsTexts) {
    Start();
    QMenu* tools = nullptr;
    for (QAction* a : shell.frame->menuBar()->actions()) {
        if (a->text() == "&Tools") {
            tools = a->menu();
        }
    }
    ASSERT_NE(tools, nullptr);
    QAction* item = shell.frame->ActionFor(ProgramOptions::kCommand);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "&Options...");
    EXPECT_TRUE(tools->actions().contains(item));
    item->trigger();
    COptionsDialog* d = shell.frame->OptionsOpener()->Dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(Tabs(d), (QStringList{"General", "Internet", "Personal Info", "Messages", "Fonts",
                                    "Internal"}));
    for (const char* text :
         {"Automatically add new contacts to Contact List",
          "Automatically activate Quorvane when you receive a call",
          "Minimize to Windows System Tray upon closing Quorvane",
          "Use Push To Talk",
          "Use sounds for Quorvane events",
          "Show alert when disconnected from Quorvane server",
          "Automatically reconnect to Quorvane server when connected to the Internet",
          "Close Forum List after joining forum",
          "Show Text Chat messages when users leave and join forums or conversations",
          "Use Global Push To Talk",
          "Log Quorvane Events",
          "&Set Key",
          "Behind firewall (Enable TCP)",
          "Run Quorvane at Windows Startup",
          "I connect to the Internet using a modem",
          "I connect to the Internet using a LAN (Local Area Network)",
          "&Restore Default URL",
          "&Set to current URL",
          "Change &List Font",
          "Change &Chat Font",
          "&Restore Defaults",
          "Enable Auto Answer",
          "Enable Local Echo"}) {
        EXPECT_NE(d->Control(text), nullptr) << text;
    }
    // The stored key by its name, and the Remap button is there to change it.
    EXPECT_EQ(d->CurrentKeyField()->text(), "SHIFT +  \\");
    EXPECT_TRUE(d->Control("&Set Key")->isEnabled());
    EXPECT_EQ(d->CodecField()->maximum(), 6);
    EXPECT_FALSE(d->ApplyButton()->isEnabled());
    EXPECT_EQ(d->OkButton()->text(), "OK");
    EXPECT_EQ(d->CancelButton()->text(), "Cancel");
}

TEST_F(OptionsDialogTest, WithoutAnAccountOnlyTheInternetPage) {
    Start(false, false);
    COptionsDialog* d = Open();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(Tabs(d), QStringList{"Internet"});
    EXPECT_FALSE(d->HomeUrlField()->isEnabled());
}

TEST_F(OptionsDialogTest, PushToTalkTakesEffectAtOnce) {
    Start();
    CActiveCallPane* pane = shell.frame->View()->ActivePane();
    EXPECT_FALSE(pane->Talk().PushToTalkMode());
    COptionsDialog* d = Open();
    Click(d, "Use Push To Talk");
    EXPECT_TRUE(d->ApplyButton()->isEnabled());
    d->ApplyButton()->click();
    EXPECT_FALSE(d->ApplyButton()->isEnabled());
    EXPECT_EQ(app->GetOptions()->PushToTalk(), 1);
    EXPECT_TRUE(pane->Talk().PushToTalkMode());
    // Cancel after Apply keeps what was applied.
    d->CancelButton()->click();
    EXPECT_EQ(app->GetOptions()->PushToTalk(), 1);
}

TEST_F(OptionsDialogTest, TheRemapDialogSetsTheGlobalKey) {
    Start();
    COptionsDialog* d = Open();
    WhenModal([](QWidget* remap) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_T, Qt::ControlModifier, "t");
        QApplication::sendEvent(remap, &press);
        remap->close();
    });
    Click(d, "&Set Key");
    EXPECT_EQ(d->CurrentKeyField()->text(), "CTRL +  T");
    EXPECT_TRUE(d->ApplyButton()->isEnabled());
    d->OkButton()->click();
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(app->GetOptions()->GlobalPushToTalkMap(), 0x10000000 | 'T');
}

TEST_F(OptionsDialogTest, FontsReachTheListsAndTheChatAtOnce) {
    Start();
    QTreeWidget* contacts = shell.frame->View()->ContactList()->Tree();
    // From the start: the stored (here the built-in) list font.
    EXPECT_EQ(contacts->font().pixelSize(), 11);
    QPlainTextEdit chat;  // a chat window open before the change
    chat.ensurePolished();
    EXPECT_EQ(chat.font().pixelSize(), 13);
    COptionsDialog* d = Open();
    QFont big("Sans Serif");
    big.setPointSize(18);
    WhenModal([big](QWidget* w) {
        auto* fonts = qobject_cast<QFontDialog*>(w);
        ASSERT_NE(fonts, nullptr);
        fonts->setCurrentFont(big);
        fonts->accept();
    });
    Click(d, "Change &List Font");
    QFont small("Sans Serif");
    small.setPointSize(9);
    small.setItalic(true);
    WhenModal([small](QWidget* w) {
        auto* fonts = qobject_cast<QFontDialog*>(w);
        ASSERT_NE(fonts, nullptr);
        fonts->setCurrentFont(small);
        fonts->accept();
    });
    Click(d, "Change &Chat Font");
    EXPECT_EQ(d->ListFontSample()->font().pixelSize(), 24);
    EXPECT_NE(contacts->font().pixelSize(), 24);
    d->ApplyButton()->click();
    // 18 points are 24 pixels at 96 dots per inch.
    EXPECT_EQ(app->GetOptions()->ListFont().height, -24);
    EXPECT_EQ(contacts->font().pixelSize(), 24);
    EXPECT_EQ(app->GetOptions()->ChatFont().height, -12) << app->GetOptions()->ChatFont().faceName;
    EXPECT_TRUE(chat.font().italic());
    EXPECT_EQ(chat.font().pixelSize(), 12);
    QPlainTextEdit later;
    later.ensurePolished();  // as before it first shows
    EXPECT_TRUE(later.font().italic());

    // And back: the built-in fonts.
    Click(d, "&Restore Defaults");
    d->ApplyButton()->click();
    EXPECT_EQ(app->GetOptions()->ChatFont(), LogFont::DefaultChatFont());
    EXPECT_FALSE(chat.font().italic());
    EXPECT_EQ(contacts->font().pixelSize(), 11);
}

TEST_F(OptionsDialogTest, ACustomMessageTakesEffectAtOnceAndInTheOpenDialog) {
    Start();
    COptionsDialog* d = Open();
    d->MessageField(0)->setText("Gone fishing");
    emit d->MessageField(0)->textEdited("Gone fishing");
    d->ApplyButton()->click();
    EXPECT_EQ(app->GetOptions()->AwayMessage(), "Gone fishing");

    // Away: the custom message dialog offers the new text; changed in the options while it is
    // open, it shows the newer one.
    QString shown;
    QString updated;
    WhenModal([&](QWidget* w) {
        auto* custom = qobject_cast<CCustomMessageDialog*>(w);
        ASSERT_NE(custom, nullptr);
        shown = custom->MessageField()->text();
        d->MessageField(0)->setText("Back at five");
        emit d->MessageField(0)->textEdited("Back at five");
        d->ApplyButton()->click();
        updated = custom->MessageField()->text();
        custom->reject();
    });
    shell.frame->OnCommand(cmd::kStatusAway);
    EXPECT_EQ(shown, "Gone fishing");
    EXPECT_EQ(updated, "Back at five");
    EXPECT_EQ(app->GetOptions()->AwayMessage(), "Back at five");

    // The other way: the dialog's OK shows its choice on the open Messages page.
    WhenModal([](QWidget* w) {
        auto* custom = qobject_cast<CCustomMessageDialog*>(w);
        ASSERT_NE(custom, nullptr);
        custom->MessageField()->setText("Out till Monday");
        custom->DoNotShowBox()->setChecked(true);
        custom->accept();
    });
    shell.frame->OnCommand(cmd::kStatusAway);
    EXPECT_EQ(d->MessageField(0)->text(), "Out till Monday");
    EXPECT_EQ(app->GetOptions()->AwayMessage(), "Out till Monday");
    // Showing it is no change of the user's on the page.
    EXPECT_FALSE(d->ApplyButton()->isEnabled());
}

TEST_F(OptionsDialogTest, StartUpWithALanWritesOneRunValueAndItsAutostartEntry) {
    Start();
    COptionsDialog* d = Open();
    Click(d, "Run Quorvane at Windows Startup");
    Click(d, "I connect to the Internet using a LAN (Local Area Network)");
    d->OkButton()->click();
    RunKey* run = app->GetRunKey();
    EXPECT_EQ(run->Get(RunKey::kQuorvane), app->ProgramFolder() + "Quorvane.exe -minimized");
    EXPECT_FALSE(run->Has(RunKey::kInternetDetector));
    EXPECT_TRUE(std::filesystem::exists(root.File("config/autostart/quorvane.desktop")));
    EXPECT_FALSE(
        std::filesystem::exists(root.File("config/autostart/quorvane-internet-detector.desktop")));
}

TEST_F(OptionsDialogTest, PersonalInfoThatFailsItsCheckKeepsTheDialogOpen) {
    Start();
    COptionsDialog* d = Open();
    d->PersonalField(6)->setText("newpass");
    emit d->PersonalField(6)->textEdited("newpass");
    d->PersonalField(7)->setText("other");
    d->OkButton()->click();
    EXPECT_TRUE(d->isVisible());
    EXPECT_TRUE(d->ApplyButton()->isEnabled());
    ASSERT_FALSE(shell.screen.boxes.empty());
    EXPECT_EQ(shell.screen.boxes.back().text, "Passwords do not match.");
}

}  // namespace
}  // namespace qv

// The application goes before the program's statics: the input devices the dialogs' key and
// font handling made are unregistered while their registry still exists.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
