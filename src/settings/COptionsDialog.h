#pragma once

// "Options": the tabbed sheet over OptionsSheet. Each page shows the sheet's values; OK and
// Apply hand the controls' values to the sheet and run its Apply.

#include <QDialog>
#include <QFont>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "settings/LogFont.h"
#include "settings/OptionsSheet.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace qv {

class PersonalInfoForm;

struct OptionsDialogParts {
    // The personal information page's form; null when the page is not shown.
    PersonalInfoForm* personalInfo = nullptr;
    // "&Set Key": the remap dialog with the current combination; each new one comes back.
    // Null: the button is disabled.
    std::function<void(std::uint32_t current, std::function<void(std::uint32_t)> onNew)> openRemap;
    // The name of a key combination ("NONE" for 0).
    std::function<std::string(std::uint32_t)> keyName;
    // Which mechanism can grab the global key here, or why none can.
    std::function<std::string()> globalKeyStatus;
    // The font dialog; nothing when cancelled.
    std::function<std::optional<LogFont>(const LogFont& current, const QString& title)> chooseFont;
    // How a stored font shows.
    std::function<QFont(const LogFont&)> toQFont;
    // "&Restore Default URL" puts this back; "&Set to current URL" asks the web tour (null:
    // disabled).
    std::string defaultHomeUrl;
    std::function<std::string()> currentUrl;
    bool comicSansInstalled = false;
};

class COptionsDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kTitle = "Options";

    COptionsDialog(OptionsSheet& sheet, OptionsDialogParts parts, QWidget* parent = nullptr);
    ~COptionsDialog() override;

    QTabWidget* Tabs() const { return tabs_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QPushButton* ApplyButton() const { return apply_; }
    // A page's control by its text (check boxes, radio and push buttons); null when none.
    QWidget* Control(const QString& text) const;
    QLineEdit* HomeUrlField() const { return homeUrl_; }
    QLineEdit* MessageField(int index) const { return messageFields_[index]; }
    QSpinBox* CodecField() const { return codec_; }
    QLineEdit* CurrentKeyField() const { return currentKey_; }
    QLabel* GlobalKeyStatusLabel() const { return globalStatus_; }
    QLabel* ListFontSample() const { return listSample_; }
    QLabel* ChatFontSample() const { return chatSample_; }
    // The personal information fields in the order of the page (null without the page).
    QLineEdit* PersonalField(int index) const;

    // The controls' values to the sheet, then its Apply; false when the personal information
    // stopped it.
    bool Apply();
    // The sheet's values to the controls.
    void ShowValues();
    // The custom message dialog chose a message for that key ("Away Message", ...): the
    // Messages page shows it.
    void ShowCustomMessage(const std::string& key, const std::string& message, bool noPrompt);
    // The General page refreshes while visible (the push-to-talk key toggled the setting).
    void PushToTalkChanged(bool on);

  public slots:
    void accept() override;

  private:
    QWidget* MakeGeneral();
    QWidget* MakeInternet();
    QWidget* MakePersonalInfo();
    QWidget* MakeMessages();
    QWidget* MakeFonts();
    QWidget* MakeInternal();
    QCheckBox* Check(QWidget* page, const QString& text, OptionsPage which);
    QPushButton* Button(QWidget* page, const QString& text);
    void Changed(OptionsPage page);
    void StoreValues();
    void ShowFonts();
    void ShowKey();
    void ChooseFont(bool list);
    void RunAtStartupToggled(bool on);

    OptionsSheet& sheet_;
    OptionsDialogParts parts_;
    bool showing_ = false;
    QTabWidget* tabs_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QPushButton* apply_;
    std::map<QString, QWidget*> controls_;

    // General
    QLineEdit* currentKey_ = nullptr;
    QLabel* globalStatus_ = nullptr;
    std::uint32_t shownKey_ = 0;
    // Internet
    QRadioButton* modem_ = nullptr;
    QRadioButton* lan_ = nullptr;
    QButtonGroup* connection_ = nullptr;
    QLineEdit* homeUrl_ = nullptr;
    // Personal Info
    QLineEdit* personal_[8] = {};
    QCheckBox* hideEmail_ = nullptr;
    QCheckBox* allowSpam_ = nullptr;
    QLabel* personalStatus_ = nullptr;
    // Messages
    QLineEdit* messageFields_[3] = {};
    QCheckBox* noPrompt_[3] = {};
    // Fonts
    QLabel* listSample_ = nullptr;
    QLabel* chatSample_ = nullptr;
    QLabel* imSample_ = nullptr;
    QPushButton* buttonSample_ = nullptr;
    // Internal
    QSpinBox* codec_ = nullptr;
};

}  // namespace qv
