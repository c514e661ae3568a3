#include "ui/QtProgramKeys.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdlib>
#include <cstring>

#include "calls/CallManager.h"
#include "calls/GlobalPushToTalk.h"
#include "platform/GlobalHotKey.h"
#include "settings/Options.h"
#include "ui/CActiveCallPane.h"
#include "ui/PortalGlobalHotKey.h"

namespace qv {

std::uint32_t KeySymOf(const QKeyEvent& event) {
    if (event.nativeVirtualKey() != 0) {
        return event.nativeVirtualKey();
    }
    const int key = event.key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return static_cast<std::uint32_t>('a' + (key - Qt::Key_A));
    }
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde) {
        return static_cast<std::uint32_t>(key);
    }
    switch (key) {
        case Qt::Key_Control:
            return 0xffe3;
        case Qt::Key_Shift:
            return 0xffe1;
        case Qt::Key_Alt:
            return 0xffe9;
        case Qt::Key_Escape:
            return 0xff1b;
        case Qt::Key_F4:
            return 0xffc1;
        default:
            return 0;
    }
}

std::unique_ptr<GlobalHotKey> ChooseGlobalHotKey() {
    const char* forced = std::getenv("QUORVANE_GLOBAL_KEY");
    const std::string want = forced != nullptr ? forced : "";
    if (want == "none") {
        return MakeNoGlobalHotKey("it was turned off with QUORVANE_GLOBAL_KEY=none.");
    }
    const QString platform = QGuiApplication::platformName();
    if (want == "x11" || platform == "xcb") {
        const char* display = std::getenv("DISPLAY");
        if (auto x11 = MakeX11GlobalHotKey(display != nullptr ? display : "")) {
            return x11;
        }
        return MakeNoGlobalHotKey("the X11 display could not be opened.");
    }
    if (want == "portal" || platform.startsWith("wayland")) {
        if (auto portal = MakePortalGlobalHotKey(QDBusConnection::sessionBus())) {
            return portal;
        }
        return MakeNoGlobalHotKey(
            "no key grab reaches other programs on this display, and the desktop offers no "
            "portal for global shortcuts.");
    }
    return MakeNoGlobalHotKey(("the display (" + platform.toStdString() +
                               ") offers no way to see keys meant for other programs.")
                                  .c_str());
}

QtProgramKeys::QtProgramKeys(ProgramKeyParts parts, std::unique_ptr<GlobalHotKey> globalKey)
    : parts_(std::move(parts)),
      keys_(*this),
      globalKey_(globalKey ? std::move(globalKey) : MakeNoGlobalHotKey("none was chosen.")) {
    if (parts_.scheduler != nullptr) {
        global_ = std::make_unique<GlobalPushToTalk>(
            *globalKey_, *parts_.scheduler, [this] { TalkStart(); }, [this] { TalkStop(); });
    }
    if (auto* x11 = dynamic_cast<X11GlobalHotKey*>(globalKey_.get())) {
        notifier_ = std::make_unique<QSocketNotifier>(x11->Fd(), QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [x11] { x11->Pump(); });
    }
    qApp->installEventFilter(this);
    RefreshGlobalKey();
}

QtProgramKeys::~QtProgramKeys() {
    qApp->removeEventFilter(this);
    notifier_.reset();
    global_.reset();
}

void QtProgramKeys::RefreshGlobalKey() {
    if (!global_) {
        return;
    }
    const Options* o = parts_.options;
    global_->Refresh(o != nullptr && o->PushToTalk() != 0,
                     o != nullptr && o->GlobalPushToTalk() != 0,
                     o != nullptr ? static_cast<std::uint32_t>(o->GlobalPushToTalkMap()) : 0);
    // Registering waits for the server's answer; events read meanwhile sit in Xlib's queue,
    // where the socket's notifier would not see them.
    if (auto* x11 = dynamic_cast<X11GlobalHotKey*>(globalKey_.get())) {
        x11->Pump();
    }
}

std::string QtProgramKeys::GlobalKeyStatus() const {
    return global_ ? global_->StatusText() : globalKey_->StatusText();
}

bool QtProgramKeys::HandleKey(const QKeyEvent& event) {
    LocalKeyEvent e;
    e.keysym = KeySymOf(event);
    e.down = event.type() == QEvent::KeyPress;
    e.autoRepeat = event.isAutoRepeat();
    e.ctrl = (event.modifiers() & Qt::ControlModifier) != 0;
    e.alt = (event.modifiers() & Qt::AltModifier) != 0;
    return keys_.OnKey(e);
}

bool QtProgramKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) {
        return false;
    }
    // Each key event reaches the window and then its widgets: the widgets count, and only while
    // a window of this program has the focus.
    if (!watched->isWidgetType() || QApplication::activeWindow() == nullptr) {
        return false;
    }
    return HandleKey(*static_cast<QKeyEvent*>(event));
}

void QtProgramKeys::PickUp() {
    if (CallManager* calls = parts_.calls ? parts_.calls() : nullptr) {
        calls->PickUp();
    }
}

void QtProgramKeys::TogglePushToTalk() {
    if (parts_.options == nullptr) {
        return;
    }
    parts_.options->SetPushToTalk(parts_.options->PushToTalk() != 0 ? 0 : 1);
    // The button follows; a talk in progress ends when the setting went off.
    if (CActiveCallPane* pane = parts_.activePane ? parts_.activePane() : nullptr) {
        pane->UpdateTalkButton();
    }
    RefreshGlobalKey();
    if (parts_.pushToTalkChanged) {
        parts_.pushToTalkChanged();
    }
}

void QtProgramKeys::SendInstantMessage() {
    if (parts_.sendInstantMessage) {
        parts_.sendInstantMessage();
    }
}

void QtProgramKeys::HangUp() {
    if (CallManager* calls = parts_.calls ? parts_.calls() : nullptr) {
        calls->HangUp();
    }
}

void QtProgramKeys::HoldOrSwitch() {
    if (CallManager* calls = parts_.calls ? parts_.calls() : nullptr) {
        calls->HoldOrSwitch();
    }
}

bool QtProgramKeys::IsRinging() const {
    CallManager* calls = parts_.calls ? parts_.calls() : nullptr;
    return calls != nullptr && calls->IsRinging();
}

void QtProgramKeys::TalkStart() {
    if (CActiveCallPane* pane = parts_.activePane ? parts_.activePane() : nullptr) {
        pane->PostTalkStart();
    }
}

void QtProgramKeys::TalkStop() {
    if (CActiveCallPane* pane = parts_.activePane ? parts_.activePane() : nullptr) {
        pane->PostTalkStop();
    }
}

}  // namespace qv
