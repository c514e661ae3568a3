#pragma once

// "Welcome to Quorvane!": asks a user without an account to create one.

#include <QDialog>

class QPushButton;

namespace qv {

class CWelcomeDialog : public QDialog {
    Q_OBJECT
  public:
    CWelcomeDialog(const QString& text, QWidget* parent = nullptr);
    QPushButton* CreateButton() const { return create_; }
    QString Text() const;

  private:
    QPushButton* create_;
    QString text_;
};

}  // namespace qv
