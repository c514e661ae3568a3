#include "login/QtSessionUi.h"

#include <QApplication>
#include <QLineEdit>
#include <QWidget>

#include "directory/CNewAccountDialog.h"
#include "login/CCustomMessageDialog.h"
#include "login/CLoginDialog.h"
#include "login/CNewUserWelcomeWindow.h"
#include "login/CSelectVoiceServerDialog.h"
#include "login/CUpdateWindow.h"
#include "login/CWelcomeDialog.h"
#include "login/LoginForm.h"
#include "platform/Screen.h"
#include "settings/LoginKey.h"
#include "settings/RegistryKey.h"

namespace qv {

namespace {
QString Q(const std::string& s) {
    return QString::fromUtf8(s.c_str());
}
}  // namespace

QtSessionUi::QtSessionUi(Parts parts) : parts_(std::move(parts)) {}

QtSessionUi::~QtSessionUi() {
    delete update_.data();
    delete welcome_.data();
}

bool QtSessionUi::WelcomeDialog(const std::string& text) {
    CWelcomeDialog dialog(Q(text), parts_.frame);
    return dialog.exec() == QDialog::Accepted;
}

bool QtSessionUi::NewAccountDialog() {
    if (parts_.directory == nullptr || parts_.screen == nullptr) {
        return false;
    }
    CNewAccountDialog dialog(*parts_.directory, *parts_.screen, parts_.frame);
    return dialog.exec() == QDialog::Accepted;
}

bool QtSessionUi::LoginDialog() {
    if (!parts_.makeLoginForm) {
        return false;
    }
    QString number;
    std::uint32_t id = 0;
    if (parts_.loginKey != nullptr && parts_.loginKey->GetDword(login_key::kQuorvaneId, id) &&
        id != 0) {
        number = QString::number(id);
    }
    CLoginDialog::Actions actions;
    actions.createAccount = [this] { NewAccountDialog(); };
    actions.help = [this] {
        if (parts_.screen != nullptr) {
            parts_.screen->OpenUrl(parts_.helpUrl);
        }
    };
    CLoginDialog dialog(parts_.makeLoginForm(), std::move(actions), number, parts_.frame);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<CustomMessageAnswer> QtSessionUi::CustomMessageDialog(const std::string& caption,
                                                                    const std::string& message) {
    CCustomMessageDialog dialog(Q(caption), Q(message), parts_.frame);
    customMessage_ = &dialog;
    customMessageKey_ = caption;
    const bool accepted = dialog.exec() == QDialog::Accepted;
    customMessage_ = nullptr;
    if (!accepted) {
        return std::nullopt;
    }
    CustomMessageAnswer answer{dialog.Message().toUtf8().toStdString(), dialog.DoNotShowAgain()};
    if (onCustomMessageChosen) {
        onCustomMessageChosen(caption, answer.message, answer.doNotShowAgain);
    }
    return answer;
}

void QtSessionUi::UpdateOpenCustomMessage(const std::string& key, const std::string& message) {
    if (customMessage_ && customMessageKey_ == key) {
        customMessage_->MessageField()->setText(Q(message));
    }
}

std::optional<std::size_t> QtSessionUi::SelectVoiceServer(const std::vector<VoiceServerEntry>& list,
                                                          std::size_t current) {
    QStringList entries;
    for (const auto& e : list) {
        entries << Q(e.shown);
    }
    CSelectVoiceServerDialog dialog(entries, static_cast<int>(current), parts_.frame);
    if (dialog.exec() != QDialog::Accepted || dialog.Chosen() < 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(dialog.Chosen());
}

void QtSessionUi::ShowUpdateWindow(std::uint32_t flags, const std::string& patchFile) {
    if (!update_) {
        update_ = new CUpdateWindow(parts_.frame);
        QObject::connect(update_.data(), &QDialog::finished, [this] {
            if (onUpdateWindowClosed) {
                onUpdateWindowClosed();
            }
        });
    }
    update_->Show(flags, Q(patchFile));
}

bool QtSessionUi::UpdateWindowOpen() const {
    return update_ && update_->isVisible();
}

void QtSessionUi::ShowNewUserWelcome(bool hidden) {
    if (parts_.userSettings == nullptr) {
        return;
    }
    if (!welcome_) {
        welcome_ = new CNewUserWelcomeWindow(*parts_.userSettings, parts_.frame);
    }
    if (!hidden) {
        welcome_->show();
        welcome_->raise();
    }
}

bool QtSessionUi::MainWindowVisible() const {
    return parts_.frame != nullptr && parts_.frame->isVisible() && !parts_.frame->isMinimized();
}

bool QtSessionUi::MainWindowMinimized() const {
    return parts_.frame != nullptr && parts_.frame->isMinimized();
}

void QtSessionUi::SetStatusMenuText(const std::string& text) {
    if (onStatusMenuText) {
        onStatusMenuText(text);
    }
}

void QtSessionUi::SetWaitCursor(bool on) {
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void QtSessionUi::RefreshMainWindow() {
    if (parts_.frame != nullptr && parts_.frame->isVisible()) {
        parts_.frame->update();
        parts_.frame->raise();
    }
}

}  // namespace qv
