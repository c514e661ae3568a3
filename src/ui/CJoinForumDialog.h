#pragma once

// "Join Forum": a forum's full path and its password. OK hands both to the forum list window,
// which checks and joins; the dialog stays open when that refuses.

#include <QDialog>
#include <functional>
#include <string>

class QLineEdit;
class QPushButton;

namespace qv {

class CJoinForumDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Join Forum";
    // The name is read into a 254-byte buffer.
    static constexpr int kMaxName = 253;

    // join: true when the forum was joined (the dialog closes).
    using Join = std::function<bool(const std::string& name, const std::string& password)>;

    CJoinForumDialog(Join join, const std::string& name, QWidget* parent = nullptr);

    // Focuses the password field when a name is given, else the name field.
    void FocusField();
    // The OK button.
    bool Apply();

    QLineEdit* NameField() const { return name_; }
    QLineEdit* PasswordField() const { return password_; }
    QPushButton* OkButton() const { return ok_; }

  private:
    Join join_;
    QLineEdit* name_;
    QLineEdit* password_;
    QPushButton* ok_;
};

}  // namespace qv
