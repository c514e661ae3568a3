#pragma once

// The warning shown before the user enters a forum of an adult category: "&I accept" lets the
// join or create go ahead, "&Leave" cancels it.

#include <QDialog>

namespace qv {

class CAdultWarningDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Warning!";
    static constexpr const char* kWarningText =
        "WARNING:  THIS FORUM MAY CONTAIN AUDIO, TEXTUAL, OR VISUAL COMMUNICATIONS OR MATERIAL "
        "THAT IS INAPPROPRIATE AND NOT INTENDED FOR ANYONE UNDER THE AGE OF 18.\n\n"
        "By entering you confirm that you are at least 18 years old and that such material does "
        "not offend you. You remain bound by the Quorvane terms of service: do not harass, "
        "threaten or impersonate other users, do not share material that is unlawful where you "
        "or they live, and respect the forum's owners and moderators. Users who break these terms "
        "may be kicked, banned or have their accounts closed.\n\n"
        "If you are under 18, or do not accept these terms, choose Leave.";

    explicit CAdultWarningDialog(QWidget* parent = nullptr);
};

}  // namespace qv
