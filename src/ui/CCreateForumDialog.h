#pragma once

// "Create Forum in <category>" ("Create Forum" at the top level): the new forum's name,
// password and options. OK hands them to the forum list window, which checks, creates and
// joins; the dialog stays open when that refuses.

#include <QDialog>
#include <functional>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace qv {

struct NewForum {
    // The full path: the typed name when it holds a slash, else the shown category followed by
    // the typed name.
    std::string path;
    std::string password;
    bool hidden = false;
    bool moderated = false;
    bool controlMicrophones = false;
    bool banBlockList = false;
};

class CCreateForumDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kMaxName = 255;

    // create: true when the forum was made (the dialog closes).
    using Create = std::function<bool(const NewForum& forum)>;

    // category: the shown level's path ending in a slash, empty at the top level.
    CCreateForumDialog(Create create, const std::string& category, QWidget* parent = nullptr);

    NewForum Fields() const;
    // The OK button.
    bool Apply();

    QLineEdit* NameField() const { return name_; }
    QLineEdit* PasswordField() const { return password_; }
    QCheckBox* Hidden() const { return hidden_; }
    QCheckBox* Moderated() const { return moderated_; }
    QCheckBox* ControlMicrophones() const { return microphones_; }
    QCheckBox* BanBlockList() const { return banBlockList_; }
    QPushButton* OkButton() const { return ok_; }

  private:
    Create create_;
    std::string category_;
    QLineEdit* name_;
    QLineEdit* password_;
    QCheckBox* hidden_;
    QCheckBox* moderated_;
    QCheckBox* microphones_;
    QCheckBox* banBlockList_;
    QPushButton* ok_;
};

}  // namespace qv
