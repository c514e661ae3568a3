#pragma once

// Asks for the name of a new contact-list group.

#include <QDialog>

class QLineEdit;

namespace qv {

class ContactStore;
class Screen;

class CAddGroupDialog : public QDialog {
    Q_OBJECT
  public:
    CAddGroupDialog(ContactStore& contacts, Screen& screen, QWidget* parent = nullptr);

    // Checks the name and adds the group; false (the dialog stays open) when the name is not
    // allowed or the group exists.
    bool Apply();

  private:
    ContactStore& contacts_;
    Screen& screen_;
    QLineEdit* name_;
};

}  // namespace qv
