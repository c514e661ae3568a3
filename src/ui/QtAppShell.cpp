#include "ui/QtAppShell.h"

#include <QApplication>
#include <QFontDatabase>
#include <QTimer>

#include "app/CQuorvaneApp.h"
#include "login/Session.h"
#include "platform/GlobalHotKey.h"
#include "ui/CMainFrame.h"
#include "ui/CQuorvaneView.h"
#include "ui/CRemapKeyDialog.h"
#include "ui/CVolumeControlDialog.h"
#include "ui/FontConversion.h"
#include "ui/ProgramOptions.h"
#include "ui/QtProgramKeys.h"

namespace qv {

QtAppShell::QtAppShell() = default;
QtAppShell::~QtAppShell() = default;

bool QtAppShell::HasFontFamily(const std::string& face) {
    const QString wanted = QString::fromUtf8(face.c_str());
    for (const QString& family : QFontDatabase::families()) {
        if (family.compare(wanted, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

void QtAppShell::SetFonts(const LogFont& dialog, const LogFont& list, const LogFont& chat) {
    dialogFont_ = ToQFont(dialog);
    listFont_ = ToQFont(list);
    chatFont_ = ToQFont(chat);
    ProgramOptions::ApplyFonts(list, chat);
}

bool QtAppShell::CreateMainWindow() {
    if (app_ == nullptr) {
        return false;
    }
    frame_ = std::make_unique<CMainFrame>(*app_, screen_);
    // Hidden to the tray, the frame is no visible window: its own close ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(
        frame_.get(), &CMainFrame::Closed, qApp, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);
    screen_.SetMainWindow(frame_.get());
    frame_->Place();
    ProgramKeyParts keys;
    keys.calls = [this] { return app_->GetCallManager(); };
    keys.activePane = [this] { return frame_ ? frame_->View()->ActivePane() : nullptr; };
    keys.options = app_->GetOptions();
    keys.scheduler = app_->Scheduler();
    keys.pushToTalkChanged = [this] {
        if (frame_ && frame_->OptionsOpener() != nullptr) {
            frame_->OptionsOpener()->PushToTalkChanged();
        }
    };
    keys_ = std::make_unique<QtProgramKeys>(std::move(keys), ChooseGlobalHotKey());
    return true;
}

void QtAppShell::ShowMainWindow(bool minimized) {
    if (!frame_) {
        return;
    }
    if (minimized) {
        frame_->hide();
        frame_->showMinimized();
    } else {
        frame_->showNormal();
    }
}

void QtAppShell::ActivateMainWindow() {
    if (!frame_) {
        return;
    }
    frame_->showNormal();
    frame_->raise();
    frame_->activateWindow();
}

bool QtAppShell::MainWindowInFront() const {
    return frame_ && frame_->isVisible() && !frame_->isMinimized() && frame_->isActiveWindow();
}

void QtAppShell::Connect() {
    if (frame_ && frame_->View()->GetSession() != nullptr) {
        // After start-up has finished: the login dialogs must not run inside it.
        QTimer::singleShot(0, frame_.get(), [this] {
            if (frame_ && frame_->View()->GetSession() != nullptr) {
                frame_->View()->GetSession()->Connect(false);
            }
        });
    }
}

void QtAppShell::RunCommand(const CommandRecord& record) {
    if (frame_ && frame_->View()->GetSession() != nullptr) {
        frame_->View()->GetSession()->RunCommand(record);
    }
}

void QtAppShell::OpenVolumeControl() {
    if (app_ == nullptr) {
        return;
    }
    qv::OpenVolumeControl(app_->GetMixer(), app_->GetOptions(), frame_.get());
}

void QtAppShell::OpenRemapKeyDialog(std::uint32_t current,
                                    std::function<void(std::uint32_t)> onNew) {
    CRemapKeyDialog dialog(current, std::move(onNew), frame_.get());
    dialog.exec();
}

void QtAppShell::DestroyMainWindow() {
    // The keys go with the window they were installed for.
    keys_.reset();
    screen_.SetMainWindow(nullptr);
    frame_.reset();
}

}  // namespace qv
