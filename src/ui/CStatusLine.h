#pragma once

// The status line at the bottom of the main view: the icon and text the connection status line
// gives it; a click does what the text offers.

#include <QLabel>
#include <QWidget>
#include <functional>

#include "ui/ConnectionStatusLine.h"

namespace qv {

class CStatusLine final : public QWidget, public StatusLineView {
    Q_OBJECT
  public:
    explicit CStatusLine(QWidget* parent = nullptr);

    void ShowStatus(int state, int icon, const std::string& text) override;
    QString Text() const { return text_->text(); }
    int Icon() const { return icon_; }
    int State() const { return state_; }
    // Runs on a click with the left button.
    std::function<void()> onClick;

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QLabel* picture_;
    QLabel* text_;
    int icon_ = 0;
    int state_ = 0;
};

}  // namespace qv
