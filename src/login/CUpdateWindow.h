#pragma once

// "Quorvane Update Utility": what has to be updated before the program may connect again.
// The download and the patcher come with the updater; until then it says what is needed.

#include <QDialog>
#include <cstdint>

class QLabel;

namespace qv {

class CUpdateWindow : public QDialog {
    Q_OBJECT
  public:
    explicit CUpdateWindow(QWidget* parent = nullptr);
    void Show(std::uint32_t flags, const QString& patchFile);
    QString Text() const;

  private:
    QLabel* text_;
};

}  // namespace qv
