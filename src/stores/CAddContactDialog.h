#pragma once

// Adds a contact by Quorvane ID with a nickname and a group. When the directory knows the ID,
// the nickname and the rest of the profile are taken from it.

#include <QDialog>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {

class ContactStore;
class DirectoryClient;
class ProfileLookup;
class Screen;
struct UserProfile;

class CAddContactDialog : public QDialog {
    Q_OBJECT
  public:
    // group: the group chosen at first (empty: "General").
    CAddContactDialog(ContactStore& contacts, DirectoryClient* directory, Screen& screen,
                      const std::string& group, QWidget* parent = nullptr);
    ~CAddContactDialog() override;

    void SetLoginId(const std::string& id);
    // Checks the fields and adds the contact; false (the dialog stays open) when a field is
    // not right.
    bool Apply();

  private:
    void LookUp();
    void OnLookedUp(const std::string& loginId, const UserProfile* profile);

    ContactStore& contacts_;
    Screen& screen_;
    std::unique_ptr<ProfileLookup> lookup_;
    QLineEdit* loginId_;
    QLineEdit* nickName_;
    QComboBox* group_;
    QLabel* status_;
    QPushButton* ok_;
    // The nickname shown came from the directory, not from the user.
    bool nickFromDirectory_ = false;
};

}  // namespace qv
