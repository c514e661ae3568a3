#pragma once

// "Unban User From Forum": the Quorvane ID of a user to let back into the forum.

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace qv {

class CUnbanDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Unban User From Forum";
    static constexpr int kMaxId = 31;

    explicit CUnbanDialog(QWidget* parent = nullptr);

    // The typed ID without blanks around it; the button stays disabled while it is empty.
    std::string UserId() const;
    QLineEdit* IdField() const { return id_; }
    QPushButton* UnbanButton() const { return unban_; }

  private:
    QLineEdit* id_;
    QPushButton* unban_;
};

}  // namespace qv
