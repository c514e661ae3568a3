#pragma once

// The warning shown before the user enters a forum of an adult category: "&I accept" lets the
// join or create go ahead, "&Leave" cancels it. The texts are the forum core's (AdultWarning.h).

#include <QDialog>

namespace qv {

class CAdultWarningDialog : public QDialog {
    Q_OBJECT
  public:
    explicit CAdultWarningDialog(QWidget* parent = nullptr);
};

}  // namespace qv
