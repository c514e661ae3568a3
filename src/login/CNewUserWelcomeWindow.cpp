#include "login/CNewUserWelcomeWindow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "settings/IniFile.h"

namespace qv {

CNewUserWelcomeWindow::CNewUserWelcomeWindow(IniFile& userSettings, QWidget* parent)
    : QDialog(parent), userSettings_(userSettings), show_(new QCheckBox("&Show at StartUp", this)) {
    setObjectName("NewUserWelcomeWindow");
    setWindowTitle("Welcome to Quorvane");
    auto* text = new QLabel(
        "<b>You are online.</b><p>Here is how to get started:</p><ul>"
        "<li>Add your friends to the contact list with their Quorvane Number.</li>"
        "<li>Double-click a contact to call, or send an Instant Message.</li>"
        "<li>Join a forum to talk with many people at once.</li>"
        "<li>Set your status from the File menu so friends know when you are away.</li></ul>",
        this);
    text->setWordWrap(true);
    text->setMinimumWidth(360);
    show_->setChecked(userSettings_.GetInt("New User Welcome", "Show at StartUp", 1) != 0);
    connect(show_, &QCheckBox::toggled, this, [this](bool on) {
        userSettings_.WriteInt("New User Welcome", "Show at StartUp", on ? 1 : 0);
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(show_);
    layout->addWidget(buttons);
}

}  // namespace qv
