#pragma once

// Asks why a participant is kicked ("Reason for kicking...") or banned ("Reason for
// banning..."); the reason travels with the notice the participant gets.

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace qv {

class CForumReasonDialog : public QDialog {
    Q_OBJECT
  public:
    enum class Kind { kKick, kBan };
    static constexpr const char* kKickCaption = "Reason for kicking...";
    static constexpr const char* kBanCaption = "Reason for banning...";
    // The reason rides in a user message after the forum path and a TAB.
    static constexpr int kMaxReason = 255;

    CForumReasonDialog(Kind kind, const std::string& nickname, QWidget* parent = nullptr);

    Kind GetKind() const { return kind_; }
    // Without TABs, CRs and LFs, which would break the message's layout.
    std::string Reason() const;
    QLineEdit* ReasonField() const { return reason_; }
    QPushButton* ActionButton() const { return action_; }

  private:
    Kind kind_;
    QLineEdit* reason_;
    QPushButton* action_;
};

}  // namespace qv
