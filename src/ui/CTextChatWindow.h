#pragma once

// The text chat window: the typed side of the conversation in the active slot. The display shows
// what everybody types, whispers and emotes and the lines calls and forums write; the input line
// sends the user's lines, whispers and emotes through the engine manager. One window for the whole
// run, created hidden at start-up; the active-call pane's Text Chat button opens it.

#include <QTextFormat>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "calls/CallChatLines.h"
#include "calls/TextChatHistory.h"
#include "calls/TextChatLines.h"

class QAction;
class QLineEdit;
class QTextEdit;

namespace qv {

class CSonaroManager;
class IniFile;
class Options;
class TickClock;

class CTextChatWindow : public QWidget, public CallChatLines {
    Q_OBJECT
  public:
    static constexpr int kMinWidth = 200;
    static constexpr int kMinHeight = 110;
    static constexpr int kMaxInput = 256;
    static constexpr const char* kSection = "WindowRect";
    static constexpr const char* kTextNotificationSound = "TextNotification";
    static constexpr const char* kReceiveWhisperSound = "ReceiveWhisper";
    // The text format property that holds a piece's palette index.
    static constexpr int kPaletteIndexProperty = QTextFormat::UserProperty + 1;

    // Everything may be absent; what it would do is skipped then.
    struct Parts {
        // Sending, the own nickname, and the events the window follows.
        CSonaroManager* manager = nullptr;
        // The user file: the placement, TextChatOnTop and ShowTextChat.
        IniFile* settings = nullptr;
        // ShowTrafficMessages.
        const Options* options = nullptr;
        const TickClock* clock = nullptr;
        // The shown names of the active-call pane's selected participants, in list order.
        std::function<std::vector<std::string>()> selectedNames;
        // The pane's Text Chat button blinks.
        std::function<void()> startBlink;
        // Sound events by name.
        std::function<void(const std::string&)> playSound;
        // While the web tour's voice link is on, participants come and go unannounced.
        std::function<bool()> voiceLinkOn;
        // The time of the bracketed lines; the local time by default.
        std::function<std::string()> timeText;
    };

    explicit CTextChatWindow(Parts parts, QWidget* parent = nullptr);
    ~CTextChatWindow() override;

    // CallChatLines
    void JoinedCall(const std::string& nickname, const std::string& userId) override;
    void PlacedOnHold(const std::string& nickname, const std::string& userId) override;
    void EndedCall(const std::string& nickname, const std::string& userId) override;
    void JoinedForum(const std::string& forumName) override;
    void LeftForum(const std::string& forumName) override;
    void NoConversation() override;
    void NoticeLine(const std::string& text) override;

    // The Text Chat button: ShowTextChat becomes 1, the window shows and comes to the front.
    void Open();
    // The active slot holds a record (or none): the input follows, emptied when it goes off.
    void SetConversation(bool active);
    // The input takes Enter: a conversation is active and the engine is connected.
    bool ConversationLive() const { return conversation_ && connected_; }
    // Plain lines are whispered and emotes refused while it is on; off by default.
    void SetWhisperOnly(bool on) { whisperOnly_ = on; }
    bool WhisperOnly() const { return whisperOnly_; }
    // TextChatOnTop: a topmost window, saved at once.
    void SetOnTop(bool on);
    bool OnTop() const { return onTop_; }

    void Write(const ChatLine& line);
    void Clear();
    void ScrollToEnd();
    // Enter in the input, as the key does it.
    void Enter();
    // Up and Down in the input.
    void HistoryUp();
    void HistoryDown();

    // The engine's events, as the subscriptions hand them on.
    void OnUserMessage(const std::string& alias, const std::string& uid, std::int16_t number,
                       std::int16_t parameter, const std::string& text);
    void OnJoinedGroup(const std::string& name);
    void OnConnectionState(std::int32_t state);
    void OnUserChange(const std::string& name, const std::string& second, std::int16_t changeType,
                      bool existing);

    QTextEdit* Display() const { return display_; }
    QLineEdit* Input() const { return input_; }
    QAction* OnTopAction() const { return onTopAction_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void UpdateLive();
    void ColourInput();
    void SetInput(const std::string& text);
    void Lay();
    void RestorePlacement();
    void SavePlacement();
    void WriteShowSetting(bool shown);
    std::string Now() const;
    std::string OwnNickname() const;
    // A line arrived for the user: the button blinks and a sound plays while the window is hidden.
    void Attention();
    static void UserMessageThunk(const std::string& alias, const std::string& uid,
                                 std::int16_t number, std::int16_t parameter,
                                 const std::string& text, void* self);
    static void JoinedGroupThunk(const std::string& name, void* self);
    static void ConnectionStateThunk(std::int32_t state, void* self);
    static void UserChangeThunk(const std::string& name, const std::string& second,
                                std::int16_t changeType, bool existing, void* self);

    Parts parts_;
    QTextEdit* display_;
    QLineEdit* input_;
    QAction* onTopAction_;
    TextChatHistory history_;
    bool conversation_ = false;
    bool connected_ = false;
    bool whisperOnly_ = false;
    bool onTop_ = false;
    bool placed_ = false;
};

}  // namespace qv
