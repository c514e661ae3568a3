#pragma once

// "Remap Global Push To Talk Key": while it is open, the first press of any key (with the Shift,
// Ctrl and Alt keys held at that moment) becomes the new combination, is shown and handed on.
// Escape and Alt+F4 close the window as usual.

#include <QDialog>
#include <cstdint>
#include <functional>

class QKeyEvent;
class QLineEdit;

namespace qv {

class CRemapKeyDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kTitle = "Remap Global Push To Talk Key";
    static constexpr const char* kText =
        "Press the key combination you wish to use for Global Push to Talk.  When finished, press "
        "Escape or close the window.";

    // onNewCombination receives each captured combination (the options page's new
    // GlobalPushToTalkMap).
    CRemapKeyDialog(std::uint32_t current, std::function<void(std::uint32_t)> onNewCombination,
                    QWidget* parent = nullptr);
    ~CRemapKeyDialog() override;

    QLineEdit* CurrentKey() const { return current_; }
    std::uint32_t Combination() const { return combination_; }
    // The hook's work for one key event; true when it was taken.
    bool Capture(const QKeyEvent& event);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<void(std::uint32_t)> onNew_;
    QLineEdit* current_;
    std::uint32_t combination_;
};

}  // namespace qv
