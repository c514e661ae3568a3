#include "directory/CNewAccountDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

namespace {

QLineEdit* Edit(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMinimumWidth(240);
    return edit;
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string S(const QString& text) {
    return text.toStdString();
}

}  // namespace

CNewAccountDialog::CNewAccountDialog(DirectoryClient& client, Screen& screen, QWidget* parent,
                                     std::string serviceStatusUrl)
    : QDialog(parent), form_(client, screen, *this, std::move(serviceStatusUrl)) {
    setWindowTitle(tr("Create New Quorvane Account"));

    auto* intro = new QLabel(tr("Fill in the fields below. Your new Quorvane Number and a "
                                "password will be sent to the e-mail address you enter."),
                             this);
    intro->setWordWrap(true);

    nickName_ = Edit("nickName", this);
    email_ = Edit("email", this);
    firstName_ = Edit("firstName", this);
    lastName_ = Edit("lastName", this);
    company_ = Edit("company", this);
    comment_ = Edit("comment", this);

    auto* fields = new QFormLayout;
    fields->addRow(tr("&Nickname: *"), nickName_);
    fields->addRow(tr("&E-mail address: *"), email_);
    fields->addRow(tr("&First name: *"), firstName_);
    fields->addRow(tr("&Last name: *"), lastName_);
    fields->addRow(tr("C&ompany:"), company_);
    fields->addRow(tr("Co&mment:"), comment_);

    hideEmail_ = new QCheckBox(tr("&Hide my e-mail address from other users"), this);
    hideEmail_->setObjectName("hideEmail");
    mailings_ = new QCheckBox(tr("&Send me news about Quorvane by e-mail"), this);
    mailings_->setObjectName("mailings");

    auto* required = new QLabel(tr("* required"), this);
    status_ = new QLabel(this);
    status_->setObjectName("status");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName("ok");
    connect(ok_, &QPushButton::clicked, this, &CNewAccountDialog::OnOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(fields);
    layout->addWidget(hideEmail_);
    layout->addWidget(mailings_);
    layout->addWidget(required);
    layout->addWidget(status_);
    layout->addWidget(buttons);
}

CNewAccountDialog::~CNewAccountDialog() = default;

void CNewAccountDialog::done(int result) {
    form_.Detach();
    QDialog::done(result);
}

NewAccountForm::Fields CNewAccountDialog::ReadFields() const {
    NewAccountForm::Fields f;
    f.nickName = S(nickName_->text());
    f.email = S(email_->text());
    f.firstName = S(firstName_->text());
    f.lastName = S(lastName_->text());
    f.company = S(company_->text());
    f.comment = S(comment_->text());
    f.hideEmail = hideEmail_->isChecked();
    f.mailingsAccepted = mailings_->isChecked();
    return f;
}

void CNewAccountDialog::OnOk() {
    NewAccountForm::Fields f = ReadFields();
    form_.Submit(f);
}

void CNewAccountDialog::SetStatusText(const std::string& text) {
    status_->setText(Q(text));
}

void CNewAccountDialog::SetOkEnabled(bool enabled) {
    ok_->setEnabled(enabled);
}

void CNewAccountDialog::ShowFields(const NewAccountForm::Fields& f) {
    nickName_->setText(Q(f.nickName));
    email_->setText(Q(f.email));
    firstName_->setText(Q(f.firstName));
    lastName_->setText(Q(f.lastName));
}

void CNewAccountDialog::Close(int result) {
    done(result);
}

}  // namespace qv
