#pragma once

// Blocks a user by Quorvane ID. The nickname the block list shows (and the customer-service
// check reads) comes from the contact list or the directory when they know the ID.

#include <QDialog>
#include <memory>
#include <string>

class QLabel;
class QLineEdit;

namespace qv {

class BlockStore;
class ContactStore;
class DirectoryClient;
class ProfileLookup;
class Screen;
struct UserProfile;

class CBlockUserDialog : public QDialog {
    Q_OBJECT
  public:
    CBlockUserDialog(BlockStore& blocks, const ContactStore* contacts, DirectoryClient* directory,
                     Screen& screen, QWidget* parent = nullptr);
    ~CBlockUserDialog() override;

    // Checks the ID and blocks; false (the dialog stays open) when the ID is not a number.
    bool Apply();

  private:
    void LookUp();
    void OnLookedUp(const std::string& loginId, const UserProfile* profile);

    BlockStore& blocks_;
    const ContactStore* contacts_;
    Screen& screen_;
    std::unique_ptr<ProfileLookup> lookup_;
    QLineEdit* loginId_;
    QLineEdit* nickName_;
    QLabel* status_;
};

}  // namespace qv
