#pragma once

// The new-account dialog: nickname, e-mail address, names, company and comment, whether the
// address is shown to others and whether mailings are welcome. OK registers the account.

#include <QDialog>
#include <string>

#include "directory/NewAccountForm.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {

class DirectoryClient;
class Screen;

class CNewAccountDialog final : public QDialog, private NewAccountForm::View {
    Q_OBJECT

  public:
    CNewAccountDialog(DirectoryClient& client, Screen& screen, QWidget* parent = nullptr,
                      std::string serviceStatusUrl = NewAccountForm::kDefaultServiceStatusUrl);
    ~CNewAccountDialog() override;

    // Closing the dialog, however it happens, drops a reply still on its way.
    void done(int result) override;

  private:
    void OnOk();
    NewAccountForm::Fields ReadFields() const;

    void SetStatusText(const std::string& text) override;
    void SetOkEnabled(bool enabled) override;
    void ShowFields(const NewAccountForm::Fields& fields) override;
    void Close(int result) override;

    QLineEdit* nickName_ = nullptr;
    QLineEdit* email_ = nullptr;
    QLineEdit* firstName_ = nullptr;
    QLineEdit* lastName_ = nullptr;
    QLineEdit* company_ = nullptr;
    QLineEdit* comment_ = nullptr;
    QCheckBox* hideEmail_ = nullptr;
    QCheckBox* mailings_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* ok_ = nullptr;
    NewAccountForm form_;
};

}  // namespace qv
