#pragma once

// The main view: the frame's client area. Drives the program's clock: its window timer (id 500,
// every 50 ms) runs the posted work and the scheduler.

#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace qv {

class CQuorvaneApp;

class CQuorvaneView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kTimerId = 500;
    static constexpr int kTimerPeriodMs = 50;

    CQuorvaneView(CQuorvaneApp& app, QWidget* parent = nullptr);

    QString StatusText() const { return status_->text(); }

  private:
    void OnTimer();

    CQuorvaneApp& app_;
    QLabel* status_;
    QTimer timer_;
};

}  // namespace qv
