// The text chat window on Qt's offscreen platform against the engine simulation: what the user's
// lines send, what arrives and how it shows, the conversation's lines, the window's settings.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QInputDevice>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "app/CQuorvaneApp.h"
#include "calls/CallManager.h"
#include "calls/CallRecord.h"
#include "calls/TextChatLines.h"
#include "support/FrameShell.h"
#include "ui/CActiveCallPane.h"
#include "ui/CMainFrame.h"
#include "ui/CQuorvaneView.h"
#include "ui/CTextChatWindow.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;

struct Piece {
    std::string text;
    int colour;
    bool operator==(const Piece&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Piece& p) {
    return out << "{\"" << p.text << "\", " << p.colour << "}";
}

// The palette index of a colour of the display; -1 when none matches.
int IndexOf(const QColor& c) {
    for (std::size_t i = 0; i < kTextChatPalette.size(); ++i) {
        const std::uint32_t ref = kTextChatPalette[i];
        if (c.red() == RedOf(ref) && c.green() == GreenOf(ref) && c.blue() == BlueOf(ref)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

class TextChatWindowTest : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qv_text_chat_window_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            QInputDevice::devices();
            static QApplication application(argc, argv);
        }
    }

  protected:
    TextChatWindowTest() {
        h.LogIn();  // the user is "nick" (42)
        window = Make();
    }

    std::unique_ptr<CTextChatWindow> Make() {
        CTextChatWindow::Parts parts;
        parts.manager = h.manager.get();
        parts.settings = &h.user;
        parts.options = &h.options;
        parts.clock = &h.clock;
        parts.selectedNames = [this] { return selected; };
        parts.startBlink = [this] { log.push_back("blink"); };
        parts.playSound = [this](const std::string& s) { log.push_back("sound " + s); };
        parts.voiceLinkOn = [this] { return voiceLink; };
        parts.timeText = [] { return std::string("9:05 AM"); };
        return std::make_unique<CTextChatWindow>(std::move(parts));
    }

    // Types the text into the input and presses Enter.
    void Type(const std::string& text) {
        window->Input()->setText(QString::fromStdString(text));
        Key(Qt::Key_Return);
    }
    void Key(int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(window->Input(), &press);
    }
    // What the engine was asked to send.
    Lines Sent() {
        Lines out;
        for (const std::string& call : h.Calls()) {
            if (call.rfind("SendUserMessage", 0) == 0) {
                out.push_back(call);
            }
        }
        h.ClearCalls();
        return out;
    }
    Lines Take() {
        Lines out;
        out.swap(log);
        return out;
    }
    std::string Shown() const { return window->Display()->toPlainText().toStdString(); }
    // The display's text in pieces of one colour each.
    std::vector<Piece> Pieces() const {
        std::vector<Piece> out;
        QTextDocument* doc = window->Display()->document();
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
            if (b != doc->begin()) {
                out.push_back({"\n", -2});
            }
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment f = it.fragment();
                const int colour =
                    f.charFormat().intProperty(CTextChatWindow::kPaletteIndexProperty);
                // The colour shown is the palette's.
                EXPECT_EQ(IndexOf(f.charFormat().foreground().color()),
                          IndexOf(QColor(RedOf(kTextChatPalette[colour]),
                                         GreenOf(kTextChatPalette[colour]),
                                         BlueOf(kTextChatPalette[colour]))));
                const std::string text = f.text().toStdString();
                if (!out.empty() && out.back().colour == colour) {
                    out.back().text += text;
                } else {
                    out.push_back({text, colour});
                }
            }
        }
        // Line breaks belong to the piece after them.
        std::vector<Piece> joined;
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (out[i].colour == -2 && i + 1 < out.size()) {
                out[i + 1].text = "\n" + out[i + 1].text;
            } else if (out[i].colour != -2) {
                joined.push_back(out[i]);
            }
        }
        return joined;
    }
    void Live() {
        window->JoinedForum("General/Test");
        window->Clear();
    }

    test::EngineHarness h;
    Lines selected;
    Lines log;
    bool voiceLink = false;
    std::unique_ptr<CTextChatWindow> window;
};

TEST_F(TextChatWindowTest, SpokenLinesGoOutAsMessageFourAfterTheOwnLine) {
    Live();
    Type("   hello all");
    EXPECT_EQ(Sent(), (Lines{"SendUserMessage(\"\", 4, 0, \"hello all\")"}));
    EXPECT_EQ(Pieces(), (std::vector<Piece>{{"<nick> ", 12}, {"hello all", 0}}));
    EXPECT_TRUE(window->Input()->text().isEmpty());
}

TEST_F(TextChatWindowTest, EmotesWhispersAndCommands) {
    Live();
    selected = {"ann"};
    Type("/ME waves");
    Type("/w psst");
    Type("/msg bob hi");
    EXPECT_EQ(Sent(), (Lines{"SendUserMessage(\"\", 6, 0, \"waves\")",
                             "SendUserMessage(\"ann\", 5, 0, \"psst\")"}));
    h.clock.Advance(5000);
    Type("/w ");
    Type("/me");
    EXPECT_EQ(Sent(), Lines{});
    EXPECT_EQ(Pieces(), (std::vector<Piece>{
                            {"nick waves", 2},
                            {"\nWhisper to ann>> psst", 1},
                            {"\nWarning: Invalid command - /msg bob hi", 6},
                            {"\nWarning: You cannot send an empty message.", 6},
                            {"\nWarning: Invalid command - /me", 6},
                        }));
    h.clock.Advance(5000);
    Type("/CLR");
    EXPECT_EQ(Shown(), "");
    Type("/?");
    EXPECT_EQ(Shown(),
              "Command Summary:\n/w <Msg>\tWhisper Msg to selected aliases\n/Clear or /Clr"
              "\tClear chat display\n/Me <Msg>\tEmote\n/? or /Help\tCommand Summary"
              "\nNOTE: Commands are NOT case sensitive.");
}

TEST_F(TextChatWindowTest, AWhisperToThreeSelectedSendsThreeAndShowsOneLine) {
    Live();
    selected = {"ann", "bob", std::string(40, 'c')};
    Type("/w meet at noon");
    EXPECT_EQ(Sent(),
              (Lines{"SendUserMessage(\"ann\", 5, 0, \"meet at noon\")",
                     "SendUserMessage(\"bob\", 5, 0, \"meet at noon\")",
                     "SendUserMessage(\"" + std::string(32, 'c') + "\", 5, 0, \"meet at noon\")"}));
    EXPECT_EQ(Pieces(), (std::vector<Piece>{{"Whisper to Multiple>> meet at noon", 1}}));
    selected.clear();
    Type("/w anyone?");
    EXPECT_EQ(Sent(), Lines{});
    EXPECT_EQ(Pieces().back(), (Piece{"\nSYSTEM>> Message not sent: No user selected.", 6}));
}

TEST_F(TextChatWindowTest, AFourthLineWithinTwoSecondsStaysInTheInput) {
    Live();
    for (const char* line : {"one", "two", "three"}) {
        Type(line);
        h.clock.Advance(500);
    }
    EXPECT_EQ(Sent().size(), 3u);
    Type("four");
    EXPECT_EQ(Sent(), Lines{});
    EXPECT_EQ(window->Input()->text(), "four");
    // Two seconds after "one" was sent.
    h.clock.Advance(499);
    Key(Qt::Key_Return);
    EXPECT_EQ(Sent(), Lines{});
    h.clock.Advance(1);
    Key(Qt::Key_Return);
    EXPECT_EQ(Sent(), (Lines{"SendUserMessage(\"\", 4, 0, \"four\")"}));
}

TEST_F(TextChatWindowTest, HistoryWithUpAndDownKeepsTheLastNine) {
    Live();
    for (int i = 1; i <= 11; ++i) {
        Type("line " + std::to_string(i));
        h.clock.Advance(1000);
    }
    std::vector<std::string> up;
    for (int i = 0; i < 10; ++i) {
        Key(Qt::Key_Up);
        up.push_back(window->Input()->text().toStdString());
        EXPECT_EQ(window->Input()->cursorPosition(), window->Input()->text().size());
    }
    EXPECT_EQ(up.front(), "line 11");
    EXPECT_EQ(up[8], "line 3");
    EXPECT_EQ(up[9], "line 3");
    Key(Qt::Key_Down);
    EXPECT_EQ(window->Input()->text(), "line 4");
}

TEST_F(TextChatWindowTest, EnterDoesNothingWithoutAConversation) {
    window->Input()->setEnabled(true);
    Type("hello");
    EXPECT_EQ(Sent(), Lines{});
    EXPECT_EQ(Shown(), "");
    Live();
    EXPECT_TRUE(window->Input()->isEnabled());
    window->Input()->setText("half typed");
    window->NoConversation();
    EXPECT_FALSE(window->Input()->isEnabled());
    EXPECT_TRUE(window->Input()->text().isEmpty());
}

TEST_F(TextChatWindowTest, ReceivedLinesAndWhileHiddenTheButtonBlinks) {
    Live();
    h.RaiseAndDrain([](SonaroEventSink& e) { e.UserMessage("ann", "7", 4, 0, "hi nick"); });
    h.RaiseAndDrain([](SonaroEventSink& e) { e.UserMessage("CS Joe", "8", 4, 0, "welcome"); });
    h.RaiseAndDrain([](SonaroEventSink& e) { e.UserMessage("bob", "9", 5, 0, "psst"); });
    h.RaiseAndDrain([](SonaroEventSink& e) { e.UserMessage("ann", "7", 6, 0, "laughs"); });
    h.RaiseAndDrain([](SonaroEventSink& e) { e.UserMessage("ann", "7", 8, 0, "an IM"); });
    EXPECT_EQ(Pieces(), (std::vector<Piece>{{"<ann> ", 12},
                                            {"hi nick", 0},
                                            {"\n<CS Joe> ", 13},
                                            {"welcome", 0},
                                            {"\nbob Whispers>> psst", 4},
                                            {"\nann laughs", 5}}));
    EXPECT_EQ(Take(), (Lines{"blink", "sound TextNotification", "blink", "sound TextNotification",
                             "blink", "sound TextNotification", "sound ReceiveWhisper", "blink",
                             "sound TextNotification"}));
    h.user.WriteInt("WindowRect", "ShowTextChat", 0);
    window->Open();
    EXPECT_EQ(h.user.GetInt("WindowRect", "ShowTextChat", 0), 1);
    h.RaiseAndDrain([](SonaroEventSink& e) { e.UserMessage("ann", "7", 4, 0, "again"); });
    h.RaiseAndDrain([](SonaroEventSink& e) { e.UserMessage("bob", "9", 5, 0, "again"); });
    EXPECT_EQ(Take(), (Lines{"sound ReceiveWhisper"}));
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(h.user.GetInt("WindowRect", "ShowTextChat", 1), 0);
}

TEST_F(TextChatWindowTest, TitleFollowsTheGroupAndDisconnectingClearsAndHides) {
    h.RaiseAndDrain([](SonaroEventSink& e) { e.JoinedGroup("General/Test"); });
    EXPECT_EQ(window->windowTitle(), "Text Chat: Active");
    h.RaiseAndDrain([](SonaroEventSink& e) { e.JoinedGroup(""); });
    EXPECT_EQ(window->windowTitle(), "Text Chat: Idle");
    Live();
    Type("hello");
    window->Open();
    h.manager->Disconnect(true);
    h.manager->DrainEvents();
    EXPECT_EQ(Shown(), "");
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Input()->isEnabled());
    EXPECT_FALSE(window->ConversationLive());
    // Connected again with the conversation still there: the input takes lines again.
    window->OnConnectionState(CSonaroManager::kLoggedIn);
    EXPECT_TRUE(window->Input()->isEnabled());
}

TEST_F(TextChatWindowTest, ParticipantsComingAndGoing) {
    h.RaiseAndDrain([](SonaroEventSink& e) {
        e.UserChange("ann", "7", 1, 0);
        e.UserChange("old", "5", 1, 1);
        e.UserChange("ann", "7", 0, 0);
    });
    EXPECT_EQ(Pieces(), (std::vector<Piece>{{"*** ann has joined the conversation.", 7},
                                            {"\n*** ann has left the conversation.", 7}}));
    window->Clear();
    h.options.SetShowTrafficMessages(0);
    h.RaiseAndDrain([](SonaroEventSink& e) { e.UserChange("bob", "8", 1, 0); });
    EXPECT_EQ(Shown(), "");
    h.options.SetShowTrafficMessages(1);
    voiceLink = true;
    h.RaiseAndDrain([](SonaroEventSink& e) { e.UserChange("bob", "8", 1, 0); });
    EXPECT_EQ(Shown(), "");
}

TEST_F(TextChatWindowTest, TheLinesOfCallsAndForums) {
    window->JoinedCall("bob", "1001");
    window->PlacedOnHold("bob", "1001");
    window->EndedCall("bob", "1001");
    window->JoinedForum("General/Test");
    window->NoticeLine("You have been granted speaking privileges in this forum.");
    window->LeftForum("General/Test");
    window->JoinedForum("General/Next");
    EXPECT_EQ(Shown(),
              "*** [9:05 AM] Joined call with bob (1001)\n"
              "*** [9:05 AM] Placed bob (1001) on hold\n"
              "*** [9:05 AM] Ended call with bob (1001)\n"
              "*** [9:05 AM] Joined forum General/Test\n"
              "SYSTEM>> You have been granted speaking privileges in this forum.\n"
              "*** [9:05 AM] Left forum General/Test\n\n\n"
              "*** [9:05 AM] Joined forum General/Next");
    // The notice blinks the button while the window is hidden.
    EXPECT_EQ(Take(), Lines{"blink"});
}

TEST_F(TextChatWindowTest, TheInputsColoursAndLength) {
    Live();
    QLineEdit* in = window->Input();
    EXPECT_EQ(in->maxLength(), 256);
    const auto colour = [in] { return IndexOf(in->palette().color(QPalette::Text)); };
    in->setText("/w bob");
    EXPECT_EQ(colour(), 1);
    in->setText("/msg bob hi");
    EXPECT_EQ(colour(), 1);
    in->setText("/Me smiles");
    EXPECT_EQ(colour(), 2);
    in->setText("plain");
    EXPECT_EQ(in->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(in->palette().color(QPalette::Base), QColor(Qt::white));
    in->setText(QString(300, 'x'));
    EXPECT_EQ(in->text().size(), 256);
}

TEST_F(TextChatWindowTest, LayoutMinimumSizeAndPlacement) {
    window->show();
    window->resize(400, 300);
    QApplication::processEvents();
    EXPECT_EQ(window->Display()->geometry(), QRect(4, 4, 392, 264));
    EXPECT_EQ(window->Input()->geometry(), QRect(4, 272, 392, 24));
    window->resize(100, 50);
    EXPECT_GE(window->width(), 200);
    EXPECT_GE(window->height(), 110);
    window->setGeometry(60, 70, 420, 260);
    QApplication::processEvents();
    EXPECT_EQ(h.user.GetInt("WindowRect", "TextChatWidth", 0), 420);
    EXPECT_EQ(h.user.GetInt("WindowRect", "TextChatHeight", 0), 260);
    const int left = h.user.GetInt("WindowRect", "TextChatLeft", -1);
    const int top = h.user.GetInt("WindowRect", "TextChatTop", -1);
    window->SetOnTop(true);
    EXPECT_EQ(h.user.GetInt("WindowRect", "TextChatOnTop", 0), 1);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    window.reset();
    // A window made again comes where the last one was, on top.
    window = Make();
    EXPECT_EQ(window->geometry().size(), QSize(420, 260));
    EXPECT_EQ(window->geometry().topLeft(), QPoint(left, top));
    EXPECT_TRUE(window->OnTop());
    EXPECT_TRUE(window->OnTopAction()->isChecked());
    window->OnTopAction()->trigger();
    EXPECT_EQ(h.user.GetInt("WindowRect", "TextChatOnTop", 1), 0);
}

TEST_F(TextChatWindowTest, WhisperOnlyWhispersPlainLines) {
    Live();
    EXPECT_FALSE(window->WhisperOnly());
    window->SetWhisperOnly(true);
    selected = {"ann"};
    Type("just for you");
    Type("/me winks");
    EXPECT_EQ(Sent(), (Lines{"SendUserMessage(\"ann\", 5, 0, \"just for you\")"}));
    EXPECT_EQ(Shown(), "Whisper to ann>> just for you\nWarning: Invalid command - /me winks");
}

TEST_F(TextChatWindowTest, PageDownScrollsTheDisplayToItsEnd) {
    Live();
    window->resize(300, 150);
    window->show();
    for (int i = 0; i < 60; ++i) {
        window->NoticeLine("line " + std::to_string(i));
    }
    QApplication::processEvents();
    QScrollBar* bar = window->Display()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(0);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(TextChatWindowTest, TheInputTypesInTheChatFontAndOldLinesGo) {
    QFont chat("DejaVu Serif", 15);
    window->Display()->setFont(chat);
    EXPECT_EQ(window->Input()->font(), window->Display()->font());
    for (int i = 0; i < 5100; ++i) {
        window->NoticeLine("line " + std::to_string(i));
    }
    EXPECT_EQ(window->Display()->document()->blockCount(), 5000);
    EXPECT_EQ(window->Display()->document()->lastBlock().text().toStdString(),
              "SYSTEM>> line 5099");
}

// In the program: the view makes the window at start-up, the call manager writes into it and the
// pane's Text Chat button opens it.
TEST(TextChatInTheProgram, TheViewsWindowFollowsTheCallManager) {
    TextChatWindowTest::SetUpTestSuite();
    const std::string cwd = std::filesystem::current_path().string();
    test::TempFolder root;
    root.Write("Quorvane.ini", "[Internal]\r\nDisableAutoConnect=1\r\n");
    SteadyTickClock clock;
    test::FrameShell shell;
    AppEnvironment env;
    env.homeOption = root.Path();
    env.executable = "/usr/bin/quorvane";
    CQuorvaneApp app(env, shell, nullptr, clock);
    shell.app = &app;
    ASSERT_TRUE(app.InitInstance());
    CQuorvaneView* view = shell.frame->View();
    CTextChatWindow* chat = view->TextChat();
    ASSERT_NE(chat, nullptr);
    EXPECT_FALSE(chat->isVisible());
    CallManager* calls = app.GetCallManager();
    ASSERT_NE(calls, nullptr);
    auto forum = std::make_unique<CallRecord>();
    forum->forumName = "General/Test";
    ASSERT_TRUE(calls->FillActiveForum(std::move(forum)));
    calls->OnJoinedGroup("General/Test");
    EXPECT_NE(chat->Display()->toPlainText().toStdString().find("] Joined forum General/Test"),
              std::string::npos);
    QPushButton* button = view->ActivePane()->TextChatButton();
    ASSERT_TRUE(button->isEnabled());
    button->click();
    EXPECT_TRUE(chat->isVisible());
    calls->EndActive(false);
    EXPECT_NE(chat->Display()->toPlainText().toStdString().find("] Left forum General/Test"),
              std::string::npos);
    EXPECT_FALSE(chat->Input()->isEnabled());
    app.ExitInstance();
    std::filesystem::current_path(cwd);
}

// A busy forum for a person to look at: with QUORVANE_SHOT_DIR set, the window's picture is
// written there as text-chat.png (run it under Xvfb for a real window system).
TEST_F(TextChatWindowTest, PictureOfABusyForum) {
    const char* folder = std::getenv("QUORVANE_SHOT_DIR");
    h.RaiseAndDrain([](SonaroEventSink& e) { e.JoinedGroup("General/Friends"); });
    window->JoinedForum("General/Friends");
    h.RaiseAndDrain([](SonaroEventSink& e) {
        e.UserChange("ann", "7", 1, 0);
        e.UserChange("CS Mira", "3", 1, 0);
        e.UserMessage("ann", "7", 4, 0, "hi everyone!");
        e.UserMessage("CS Mira", "3", 4, 0, "Welcome to General/Friends. Please be nice.");
        e.UserMessage("bob", "9", 4, 0, "anyone here from Lisbon?");
        e.UserMessage("ann", "7", 6, 0, "waves at bob");
        e.UserMessage("bob", "9", 5, 0, "are you coming tonight?");
        e.UserChange("carl", "11", 0, 0);
    });
    window->NoticeLine("You have been granted speaking privileges in this forum.");
    selected = {"bob"};
    Type("/w yes, at eight");
    h.clock.Advance(3000);
    Type("hello ann and Mira");
    Type("/me grins");
    h.clock.Advance(3000);
    Type("/msg bob hi");
    h.RaiseAndDrain(
        [](SonaroEventSink& e) { e.UserMessage("Quorvane Help", "1", 4, 0, "Type /? for help."); });
    window->Input()->setText("/w bob see you");
    window->resize(460, 300);
    window->show();
    QApplication::processEvents();
    if (folder != nullptr) {
        const std::string path = std::string(folder) + "/text-chat.png";
        EXPECT_TRUE(window->grab().save(QString::fromStdString(path)));
        std::printf("wrote %s\n", path.c_str());
    }
    EXPECT_NE(Shown().find("Whisper to bob>> yes, at eight"), std::string::npos);
}

}  // namespace
}  // namespace qv
