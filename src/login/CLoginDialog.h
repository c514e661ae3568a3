#pragma once

// "Login": Quorvane Number and password, with Login, Cancel, Help, Create New Account,
// Look Up Quorvane Number and Forgot Password.

#include <QDialog>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {

class LoginForm;

class CLoginDialog : public QDialog {
    Q_OBJECT
  public:
    struct Actions {
        std::function<void()> createAccount;  // opens the new-account dialog
        std::function<void()> lookUpNumber;   // opens the user search; empty: not offered
        std::function<void()> help;
    };

    CLoginDialog(std::unique_ptr<LoginForm> form, Actions actions, const QString& number,
                 QWidget* parent = nullptr);
    ~CLoginDialog() override;

    QLineEdit* NumberField() const { return number_; }
    QLineEdit* PasswordField() const { return password_; }
    QPushButton* LoginButton() const { return login_; }
    QString StatusText() const;

  private:
    void OnLogin();
    void OnForgot();
    void SetBusy(bool busy);

    std::unique_ptr<LoginForm> form_;
    Actions actions_;
    QLineEdit* number_;
    QLineEdit* password_;
    QLabel* status_;
    QPushButton* login_;
    QPushButton* cancel_;
    QPushButton* help_;
    QPushButton* create_;
    QPushButton* lookUp_;
    QPushButton* forgot_;
};

}  // namespace qv
