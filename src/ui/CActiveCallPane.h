#pragma once

// The pane of the active slot: the call or forum the user talks in, its participants and time in
// call, and the Talk/Mute, Hang Up and Text Chat buttons; it drives the Pickup pane. Every second
// it shows the time and hangs up a call in which the user has been alone for over a second.

#include <QFrame>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "calls/ActiveCallPane.h"
#include "calls/CallPaneButtons.h"
#include "calls/CallPaneTiming.h"
#include "calls/TalkMuteButton.h"
#include "ui/CallPaneParts.h"

class QLabel;
class QPushButton;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace qv {

class ButtonBlinker;
class CIncomingCallPane;
class CPickupPane;
struct CallRecord;

class CActiveCallPane : public QFrame, public ActiveCallPane {
    Q_OBJECT
  public:
    CActiveCallPane(const CallPaneParts& parts, QWidget* parent = nullptr);
    ~CActiveCallPane() override;

    void SetIncomingPane(CIncomingCallPane* incoming) { incoming_ = incoming; }
    CPickupPane* Pickup() const { return pickup_; }

    // ActiveCallPane
    void ShowActive(CallRecord* record) override;
    // The participants' right-click menu for an item (null: none under the pointer).
    QMenu* MakeParticipantMenu(QTreeWidgetItem* item);
    void UpdateButtons() override;
    void Refresh() override;
    void StopTextChatBlink() override;
    void StopPickupBlink() override;
    void ForcedPushToTalkChanged(bool on) override { SetForcedPushToTalk(on); }

    const CallRecord* Shown() const { return record_; }

    // Talk-start and talk-stop, as the keys post them: in push-to-talk mode the microphone opens
    // and closes; ignored with no record shown, outside push-to-talk, and (start) while the
    // button is disabled.
    void TalkStart();
    void TalkStop();
    // The same, run from the event loop (the keys' handlers must not reach the engine inside
    // the key event).
    void PostTalkStart();
    void PostTalkStop();
    // The mode may have changed: the engine hears it, the button's caption, tooltip, colour and
    // pushed state follow, a talk in progress ends when push-to-talk went off.
    void UpdateTalkButton();
    // A forum switches the user to push-to-talk (and back) by its size.
    void SetForcedPushToTalk(bool on);
    bool ForcedPushToTalk() const { return forcedPushToTalk_; }
    bool PushToTalkMode() const;
    const TalkMuteButton& Talk() const { return talkButton_; }
    ActiveSlotKind Kind() const;

    // The engine's events, as the subscriptions hand them on.
    void OnUserList(const std::string& text);
    void OnUserTalking(const std::string& name, bool start);
    void OnJoinedConference(std::int32_t id, bool joined, bool deleted);
    void OnJoinedGroup(const std::string& name);
    void OnConnectionState(std::int32_t state);
    // The microphone is open (state 1) or closed: the user's own row talks while the user may.
    void OnMikeActive(std::int16_t state);
    // Speaking privileges in a forum.
    void OnCanTalk(bool on);
    // The one-second tick (the scheduler runs it).
    void OnSecondTick();

    // The Text Chat button blinks when a line arrives while its window is hidden.
    void StartTextChatBlink();
    // The text chat window: the Text Chat button opens it, and its input follows whether the
    // pane shows a record.
    void SetTextChat(std::function<void()> open, std::function<void(bool shown)> conversation);

    QString StatusText() const;
    QString TimeText() const;
    StatusLight Light() const { return light_; }
    QTreeWidget* Participants() const { return list_; }
    QPushButton* TalkButton() const { return talk_; }
    QPushButton* HangUpButton() const { return hangUp_; }
    QPushButton* TextChatButton() const { return textChat_; }
    bool TextChatBlinking() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    // The forum items of the participant menu and what they run.
    void AddForumItems(QMenu* menu, const std::string& id, const std::string& nickname);
    void RunForumAction(int action, const std::string& id, const std::string& nickname);
    // The forum shown still is the one the menu was opened in (a modal question ran between).
    bool StillIn(const std::string& forum) const;
    std::vector<std::string> SelectedIds() const;
    void SetStatus(const QString& text);
    void ElideStatus();
    void SetLight(StatusLight light);
    void FillList();
    void ShowTime();
    QTreeWidgetItem* ItemOf(const std::string& userId) const;
    void Decorate(QTreeWidgetItem* item, std::uint32_t flags);
    void DrawTalkButton();
    static void UserListThunk(const std::string& text, void* self);
    static void UserTalkingThunk(const std::string& name, const std::string& second, bool start,
                                 void* self);
    static void JoinedConferenceThunk(std::int32_t id, bool joined, bool deleted, void* self);
    static void JoinedGroupThunk(const std::string& name, void* self);
    static void ConnectionStateThunk(std::int32_t state, void* self);
    static void MikeActiveThunk(std::int16_t state, void* self);
    static void CanTalkThunk(bool on, void* self);

    CallPaneParts parts_;
    CIncomingCallPane* incoming_ = nullptr;
    CallRecord* record_ = nullptr;
    AloneWatch alone_;
    StatusLight light_ = StatusLight::kIdle;
    TalkMuteButton talkButton_;
    bool forcedPushToTalk_ = false;
    bool canTalk_ = true;
    std::uint32_t secondEntry_ = 0;
    int reportedCount_ = -1;
    QString statusText_;

    QLabel* lightLabel_;
    QLabel* status_;
    QTreeWidget* list_;
    QLabel* time_;
    QPushButton* talk_;
    QPushButton* hangUp_;
    QPushButton* textChat_;
    CPickupPane* pickup_;
    std::unique_ptr<ButtonBlinker> textChatBlinker_;
    std::function<void()> openTextChat_;
    std::function<void(bool)> textChatConversation_;
};

}  // namespace qv
