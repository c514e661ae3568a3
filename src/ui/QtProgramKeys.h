#pragma once

// The program's keys: its own keys while one of its windows has the focus (an event filter on
// the whole application), and the global push-to-talk key that works from any program. Both
// reach the active-call pane as talk-start and talk-stop. Installed when the main window is
// created and removed with it.

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "calls/LocalKeys.h"

class QKeyEvent;
class QSocketNotifier;

namespace qv {

class CActiveCallPane;
class CallManager;
class GlobalHotKey;
class GlobalPushToTalk;
class Options;
class TimerScheduler;

struct ProgramKeyParts {
    std::function<CallManager*()> calls;
    std::function<CActiveCallPane*()> activePane;
    Options* options = nullptr;
    TimerScheduler* scheduler = nullptr;
    // The contact list's "Send Instant Message" command.
    std::function<void()> sendInstantMessage;
    // The options page refreshes while it is visible.
    std::function<void()> pushToTalkChanged;
};

// The one place the global key's mechanism is chosen: QUORVANE_GLOBAL_KEY (x11, portal, none)
// forces one; else the X11 grab on an X11 display, the desktop portal on Wayland, else none with
// the reason.
std::unique_ptr<GlobalHotKey> ChooseGlobalHotKey();

class QtProgramKeys final : public QObject, private LocalKeyTarget {
    Q_OBJECT
  public:
    QtProgramKeys(ProgramKeyParts parts, std::unique_ptr<GlobalHotKey> globalKey);
    ~QtProgramKeys() override;

    // PushToTalk, GlobalPushToTalk or GlobalPushToTalkMap changed.
    void RefreshGlobalKey();
    // The options page shows it.
    std::string GlobalKeyStatus() const;
    const GlobalHotKey& GlobalKey() const { return *globalKey_; }

    // The key handling itself, for a key event that reaches the program.
    bool HandleKey(const QKeyEvent& event);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void PickUp() override;
    void TogglePushToTalk() override;
    void SendInstantMessage() override;
    void HangUp() override;
    void HoldOrSwitch() override;
    bool IsRinging() const override;
    void TalkStart() override;
    void TalkStop() override;

    ProgramKeyParts parts_;
    LocalKeys keys_;
    std::unique_ptr<GlobalHotKey> globalKey_;
    std::unique_ptr<GlobalPushToTalk> global_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

// The key symbol of a Qt key event: the platform's own where it gives one, else from Qt's key.
std::uint32_t KeySymOf(const QKeyEvent& event);

}  // namespace qv
