#pragma once

// Greets a user after the first login: what to do first. Shown once per user and run while
// "Show at StartUp" (section "New User Welcome" of the user settings) is on.

#include <QDialog>

class QCheckBox;

namespace qv {

class IniFile;

class CNewUserWelcomeWindow : public QDialog {
    Q_OBJECT
  public:
    CNewUserWelcomeWindow(IniFile& userSettings, QWidget* parent = nullptr);
    QCheckBox* ShowAtStartUp() const { return show_; }

  private:
    IniFile& userSettings_;
    QCheckBox* show_;
};

}  // namespace qv
