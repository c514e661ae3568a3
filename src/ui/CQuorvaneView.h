#pragma once

// The main view: the frame's client area. It owns the session (login, connection, presence)
// and drives the program's clock: its window timer (id 500, every 50 ms) runs the posted work,
// the engine's events and the scheduler.

#include <QTimer>
#include <QWidget>
#include <memory>

namespace qv {

class CActiveCallPane;
class CAlertWindowHost;
class CIncomingCallPane;
class CallManager;
class CContactListWindow;
class CForumListWindow;
class ForumTree;
class CStatusLine;
class CTextChatWindow;
class CQuorvaneApp;
class DialUp;
class QtSessionUi;
class Screen;
class Session;
class SessionSubsystems;

class CQuorvaneView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kTimerId = 500;
    static constexpr int kTimerPeriodMs = 50;

    CQuorvaneView(CQuorvaneApp& app, Screen& screen, QWidget* frame);
    ~CQuorvaneView() override;

    QString StatusText() const;
    CStatusLine* StatusLine() const { return status_; }
    // Null when the program has no engine manager.
    Session* GetSession() const { return session_.get(); }
    QtSessionUi* GetSessionUi() const { return ui_.get(); }
    // Null when the program has no contact store or user settings.
    CContactListWindow* ContactList() const { return contactList_; }
    // The forum list, made once at start-up (null when forums are switched off).
    CForumListWindow* ForumList() const { return forumList_.get(); }
    // The forums the engine listed (null when forums are switched off).
    ForumTree* Forums() const { return forumTree_.get(); }
    // Shows the forum list and brings it to the front.
    void ShowForumList();
    // The call panes, there for the whole run.
    CActiveCallPane* ActivePane() const { return activePane_; }
    CIncomingCallPane* IncomingPane() const { return incomingPane_; }
    // The text chat window, there for the whole run (hidden until opened).
    CTextChatWindow* TextChat() const { return textChat_.get(); }
    // The panes show the slots of this call manager and their buttons run its operations; the
    // contact list's Call command places its calls. Null detaches them.
    void UseCallManager(CallManager* calls);

    // The connection state changed: the status text follows it.
    void ShowState(int state);

    // Opens "Send Instant Message" to one user (contact list, call panes, replies).
    void SendMessageTo(const std::string& id, const std::string& nickname);
    // The message windows' History: the event log with that user's records.
    void ShowHistory(const std::string& id);

  private:
    void OnTimer();
    void MakeCallPanes();
    void MakeTextChat();
    void MakeForumList();
    void PlaceCallTo(const std::string& loginId);
    // The status line was clicked: connect, answer, hang up or leave, as its text offers.
    void OnStatusClick();
    // The message windows and the contact list's marks of waiting alerts.
    void UseMessageCenter(bool use);

    CQuorvaneApp& app_;
    Screen& screen_;
    CStatusLine* status_;
    CContactListWindow* contactList_ = nullptr;
    std::unique_ptr<CAlertWindowHost> alertWindows_;
    CallManager* calls_ = nullptr;
    CActiveCallPane* activePane_ = nullptr;
    CIncomingCallPane* incomingPane_ = nullptr;
    std::unique_ptr<CTextChatWindow> textChat_;
    // The forums the engine lists, for the whole run; the forum list shows them.
    std::unique_ptr<ForumTree> forumTree_;
    std::unique_ptr<CForumListWindow> forumList_;
    QTimer timer_;
    std::unique_ptr<DialUp> dialUp_;
    std::unique_ptr<SessionSubsystems> subsystems_;
    std::unique_ptr<QtSessionUi> ui_;
    std::unique_ptr<Session> session_;
    bool inTimer_ = false;
};

}  // namespace qv
