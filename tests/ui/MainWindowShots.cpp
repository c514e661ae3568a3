// Pictures of the main window for a person to look at: collapsed and expanded, the status line
// in each state, the tray menu of a waiting message and the tip of the day.
// qv_main_window_shots OUTPUT_FOLDER (run under a real X server, e.g. xvfb-run, or offscreen).

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <cstdio>
#include <string>

#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "calls/CallManager.h"
#include "messaging/AlertQueue.h"
#include "messaging/SystemNotices.h"
#include "platform/Mixer.h"
#include "platform/TickClock.h"
#include "support/FrameShell.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "ui/CMainFrame.h"
#include "ui/CQuorvaneView.h"
#include "ui/CStatusLine.h"
#include "ui/CTipDialog.h"
#include "ui/CTrayIcon.h"
#include "ui/ConnectionStatusLine.h"
#include "ui/StatusIcons.h"

namespace {

using namespace qv;

bool Save(const QPixmap& pixmap, const std::string& folder, const char* name) {
    const std::string path = folder + "/" + name;
    const bool ok = pixmap.save(QString::fromStdString(path));
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.c_str());
    return ok;
}

bool Save(QWidget& widget, const std::string& folder, const char* name) {
    QApplication::processEvents();
    return Save(widget.grab(), folder, name);
}

using test::FrameShell;

class OneAlert final : public AlertQueue {
  public:
    std::optional<PendingAlert> OldestPending() const override {
        return PendingAlert{notice_kind::kIncomingMessage, "Instant Message from bob (1002)",
                            "bob"};
    }
    void OpenOldest() override {}
    void AddObserver(std::function<void()>) override {}
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const std::string out = argc > 1 ? argv[1] : ".";
    test::TempFolder root;
    root.Write("tips.txt",
               "The line at the bottom of the main window shows your connection. Click it to "
               "connect, to answer a ringing call, to hang up or to leave a forum.\n");
    root.Write("Quorvane.ini", "[Internal]\r\nDisableAutoConnect=1\r\n");
    SteadyTickClock clock;
    FrameShell shell;
    AppEnvironment env;
    env.homeOption = root.Path();
    env.executable = "/usr/bin/quorvane";
    CQuorvaneApp app(env, shell, nullptr, clock);
    shell.app = &app;
    if (!app.InitInstance()) {
        return 1;
    }
    CMainFrame& frame = *shell.frame;
    std::printf("tray available: %d\n", QSystemTrayIcon::isSystemTrayAvailable() ? 1 : 0);
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
    }
    Save(frame, out, "main-collapsed.png");
    frame.SetExpanded(true);
    Save(frame, out, "main-expanded.png");
    frame.SetExpanded(false);

    // A ringing call, with the status line as it would be while logged in.
    app.GetCallManager()->OfferIncoming(7, "1002", "bob");
    CStatusLine* line = frame.View()->StatusLine();
    line->ShowStatus(3, 442, ConnectionStatusLine::TextFor(3, false, 48, 1.0f));
    Save(frame, out, "main-ringing.png");
    app.GetCallManager()->EndSecond(CallManager::kDeclined, "");

    // The status line in every state, one under the other.
    QWidget sheet;
    auto* layout = new QVBoxLayout(&sheet);
    struct State {
        int state;
        bool forum;
    };
    for (State s : {State{0, false}, State{1, false}, State{2, false}, State{3, false},
                    State{5, false}, State{5, true}}) {
        auto* row = new CStatusLine(&sheet);
        row->setFixedWidth(frame.View()->width());
        row->ShowStatus(s.state, ConnectionStatusLine::IconFor(s.state),
                        ConnectionStatusLine::TextFor(s.state, s.forum, 48, 1.0f));
        layout->addWidget(row);
    }
    sheet.adjustSize();
    Save(sheet, out, "status-lines.png");

    // The five icons enlarged.
    QPixmap icons(5 * 72, 72);
    icons.fill(Qt::white);
    {
        QPainter p(&icons);
        int x = 4;
        for (int icon : {439, 438, 437, 442, 443}) {
            p.drawPixmap(x, 4, StatusIcon(icon, 64));
            x += 72;
        }
    }
    Save(icons, out, "status-icons.png");

    OneAlert alerts;
    frame.UseAlerts(&alerts);
    QMenu* menu = frame.Tray()->Menu();
    menu->adjustSize();
    Save(*menu, out, "tray-menu-message.png");
    std::printf("tray tip: %s\n", frame.Tray()->Tip().toStdString().c_str());
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        // With a notification area: the whole screen, the icon normal and blinking.
        QScreen* screen = QGuiApplication::primaryScreen();
        for (bool on : {false, true}) {
            frame.Tray()->ShowAlertIcon(175, on);
            QElapsedTimer wait;
            wait.start();
            while (wait.elapsed() < 700) {
                QApplication::processEvents(QEventLoop::AllEvents, 50);
            }
            Save(screen->grabWindow(0), out, on ? "screen-tray-alert.png" : "screen-tray.png");
        }
        frame.Tray()->ShowAlertIcon(175, false);
    }
    frame.UseAlerts(nullptr);

    if (CTipDialog* tip = frame.ShowTipOfTheDay(false)) {
        tip->adjustSize();
        Save(*tip, out, "tip-of-the-day.png");
        tip->close();
    }

    // Closing with MinimizeOnClose on: where the window goes.
    frame.close();
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
    }
    std::printf("after close: visible %d minimized %d\n", frame.isVisible() ? 1 : 0,
                frame.isMinimized() ? 1 : 0);
    app.ExitInstance();
    return 0;
}
