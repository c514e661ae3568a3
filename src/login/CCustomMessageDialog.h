#pragma once

// "User Message": the automatic reply sent while away, not to be disturbed or occupied.

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace qv {

class CCustomMessageDialog : public QDialog {
    Q_OBJECT
  public:
    // caption: the settings key of the message ("Away Message", ...).
    CCustomMessageDialog(const QString& caption, const QString& message, QWidget* parent = nullptr);
    QString Message() const;
    bool DoNotShowAgain() const;
    QLineEdit* MessageField() const { return edit_; }
    QCheckBox* DoNotShowBox() const { return dontShow_; }

  private:
    QLineEdit* edit_;
    QCheckBox* dontShow_;
};

}  // namespace qv
