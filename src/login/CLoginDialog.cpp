#include "login/CLoginDialog.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "login/LoginForm.h"

namespace qv {

namespace {
std::string Bytes(const QString& s) {
    return s.toUtf8().toStdString();
}
}  // namespace

CLoginDialog::CLoginDialog(std::unique_ptr<LoginForm> form, Actions actions, const QString& number,
                           QWidget* parent)
    : QDialog(parent),
      form_(std::move(form)),
      actions_(std::move(actions)),
      number_(new QLineEdit(number, this)),
      password_(new QLineEdit(this)),
      status_(new QLabel(this)),
      login_(new QPushButton("Login", this)),
      cancel_(new QPushButton("Cancel", this)),
      help_(new QPushButton("Help", this)),
      create_(new QPushButton("Create New Account", this)),
      lookUp_(new QPushButton("Look Up Quorvane Number", this)),
      forgot_(new QPushButton("Forgot Password", this)) {
    setObjectName("LoginDialog");
    setWindowTitle("Login");
    number_->setObjectName("QuorvaneNumber");
    number_->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]{0,10}"), number_));
    password_->setObjectName("Password");
    password_->setEchoMode(QLineEdit::Password);
    status_->setObjectName("Status");
    status_->setMinimumHeight(status_->fontMetrics().height() + 4);
    login_->setDefault(true);

    auto* fields = new QFormLayout;
    fields->addRow("Quorvane Number:", number_);
    fields->addRow("Password:", password_);
    auto* buttons = new QGridLayout;
    buttons->addWidget(login_, 0, 0);
    buttons->addWidget(cancel_, 0, 1);
    buttons->addWidget(help_, 0, 2);
    buttons->addWidget(create_, 1, 0);
    buttons->addWidget(lookUp_, 1, 1);
    buttons->addWidget(forgot_, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(status_);
    layout->addLayout(buttons);
    lookUp_->setEnabled(static_cast<bool>(actions_.lookUpNumber));

    connect(login_, &QPushButton::clicked, this, &CLoginDialog::OnLogin);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(forgot_, &QPushButton::clicked, this, &CLoginDialog::OnForgot);
    connect(help_, &QPushButton::clicked, this, [this] {
        if (actions_.help) {
            actions_.help();
        }
    });
    connect(create_, &QPushButton::clicked, this, [this] {
        if (actions_.createAccount) {
            actions_.createAccount();
        }
    });
    connect(lookUp_, &QPushButton::clicked, this, [this] {
        if (actions_.lookUpNumber) {
            actions_.lookUpNumber();
        }
    });

    form_->onStatus = [this](const std::string& text) {
        status_->setText(QString::fromUtf8(text.c_str()));
    };
    form_->onBusy = [this](bool busy) { SetBusy(busy); };
    form_->onLoggedIn = [this] { accept(); };
    if (!number.isEmpty()) {
        password_->setFocus();
    }
}

CLoginDialog::~CLoginDialog() = default;

QString CLoginDialog::StatusText() const {
    return status_->text();
}

void CLoginDialog::OnLogin() {
    form_->Login(Bytes(number_->text().trimmed()), Bytes(password_->text()));
}

void CLoginDialog::OnForgot() {
    form_->ForgotPassword(Bytes(number_->text().trimmed()));
}

void CLoginDialog::SetBusy(bool busy) {
    for (QPushButton* b : {login_, create_, forgot_}) {
        b->setEnabled(!busy);
    }
    number_->setEnabled(!busy);
    password_->setEnabled(!busy);
}

}  // namespace qv
