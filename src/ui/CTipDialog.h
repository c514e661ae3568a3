#pragma once

// "Tip of the Day": one tip of tips.txt at a time, the next on "&Next Tip", and whether tips
// show after login.

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

namespace qv {

class TipOfTheDay;

class CTipDialog final : public QDialog {
    Q_OBJECT
  public:
    CTipDialog(TipOfTheDay& tips, QWidget* parent = nullptr);

    QString TipText() const;
    QCheckBox* ShowAtStartUp() const { return startUp_; }
    QPushButton* NextButton() const { return next_; }
    QPushButton* CloseButton() const { return close_; }
    void NextTip();

  private:
    TipOfTheDay& tips_;
    QLabel* tip_;
    QCheckBox* startUp_;
    QPushButton* next_;
    QPushButton* close_;
};

}  // namespace qv
