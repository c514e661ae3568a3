#pragma once

// "Rename Forum": shows the forum's current name and asks for the new one.

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace qv {

class CRenameForumDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Rename Forum";
    static constexpr int kMaxName = 255;

    explicit CRenameForumDialog(const std::string& currentName, QWidget* parent = nullptr);

    // Without blanks around it; OK stays disabled while it is empty or unchanged.
    std::string NewName() const;
    QLineEdit* NewNameField() const { return newName_; }
    QPushButton* OkButton() const { return ok_; }

  private:
    std::string current_;
    QLineEdit* newName_;
    QPushButton* ok_;
};

}  // namespace qv
