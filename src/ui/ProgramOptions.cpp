#include "ui/ProgramOptions.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QFontDialog>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <ctime>

#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "calls/KeyNames.h"
#include "directory/PersonalInfoForm.h"
#include "engine/CSonaroManager.h"
#include "login/QtSessionUi.h"
#include "messaging/SystemNoticeList.h"
#include "settings/COptionsDialog.h"
#include "settings/Customization.h"
#include "settings/IniFile.h"
#include "settings/LoginKey.h"
#include "settings/Options.h"
#include "settings/OptionsSheet.h"
#include "settings/RegistryKey.h"
#include "stores/CContactListWindow.h"
#include "ui/CActiveCallPane.h"
#include "ui/CMainFrame.h"
#include "ui/CQuorvaneView.h"
#include "ui/CRemapKeyDialog.h"
#include "ui/FontConversion.h"
#include "ui/QtAppShell.h"
#include "ui/QtProgramKeys.h"

namespace qv {

ProgramOptions::ProgramOptions(CQuorvaneApp& app, CMainFrame& frame, Screen& screen)
    : app_(app), frame_(frame), screen_(screen) {
    if (app_.Directory() != nullptr && app_.LoginKey() != nullptr) {
        form_ = std::make_unique<PersonalInfoForm>(*app_.Directory(), *app_.LoginKey(), screen_);
    }
}

ProgramOptions::~ProgramOptions() {
    delete dialog_.data();
}

COptionsDialog* ProgramOptions::Dialog() const {
    return dialog_.data();
}

namespace {

// The list and chat fonts of every item view and text edit, those made later too (they get them
// when they are polished, before they first show). A widget that chose a font of its own keeps
// it. Owned by the application object, found again by its name.
class ProgramFonts final : public QObject {
  public:
    static constexpr const char* kName = "QuorvaneProgramFonts";
    static constexpr const char* kMark = "quorvaneProgramFont";

    explicit ProgramFonts(QObject* app) : QObject(app) {
        setObjectName(kName);
        app->installEventFilter(this);
    }

    static ProgramFonts& Of(QApplication& app) {
        if (auto* fonts = app.findChild<ProgramFonts*>(kName, Qt::FindDirectChildrenOnly)) {
            return *fonts;
        }
        return *new ProgramFonts(&app);
    }

    void Use(const QFont& list, const QFont& chat) {
        list_ = list;
        chat_ = chat;
        set_ = true;
        for (QWidget* w : QApplication::allWidgets()) {
            Apply(w);
        }
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (set_ && event->type() == QEvent::Polish && watched->isWidgetType()) {
            Apply(static_cast<QWidget*>(watched));
        }
        return false;
    }

  private:
    void Apply(QWidget* w) const {
        const QFont* font = nullptr;
        if (qobject_cast<QAbstractItemView*>(w) != nullptr) {
            font = &list_;
        } else if (qobject_cast<QTextEdit*>(w) != nullptr ||
                   qobject_cast<QPlainTextEdit*>(w) != nullptr) {
            font = &chat_;
        }
        if (font == nullptr || (w->testAttribute(Qt::WA_SetFont) && !w->property(kMark).toBool())) {
            return;
        }
        w->setFont(*font);
        w->setProperty(kMark, true);
    }

    QFont list_;
    QFont chat_;
    bool set_ = false;
};

}  // namespace

void ProgramOptions::ApplyFonts(const LogFont& list, const LogFont& chat) {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        ProgramFonts::Of(*app).Use(ToQFont(list), ToQFont(chat));
    }
}

OptionsEffects ProgramOptions::Effects() {
    OptionsEffects e;
    CSonaroManager* manager = app_.SonaroManager();
    if (manager != nullptr) {
        e.sendBehindFirewall = [manager](int v) { manager->SetBehindFirewall(v); };
        e.sendLocalEcho = [manager](int v) { manager->SetLocalEcho(v); };
        e.sendCodec = [manager](int v) { manager->SetCodec(static_cast<std::int16_t>(v)); };
    }
    e.engineIdle = [this] {
        CSonaroManager* m = app_.SonaroManager();
        return m == nullptr || m->State() == CSonaroManager::kIdle;
    };
    e.refreshPushToTalk = [this] {
        if (CActiveCallPane* pane = frame_.View()->ActivePane()) {
            pane->UpdateTalkButton();
        }
        if (auto* shell = dynamic_cast<QtAppShell*>(&app_.Shell()); shell && shell->Keys()) {
            shell->Keys()->RefreshGlobalKey();
        }
    };
    e.applyFonts = [this](const LogFont& list, const LogFont& chat) {
        ApplyFonts(list, chat);
        if (CContactListWindow* contacts = frame_.View()->ContactList()) {
            contacts->ListRebuilt();
        }
    };
    e.updateCustomMessage = [this](const std::string& key, const std::string& text) {
        if (QtSessionUi* ui = frame_.View()->GetSessionUi()) {
            ui->UpdateOpenCustomMessage(key, text);
        }
    };
    e.addAlert = [this](const std::string& text) {
        if (SystemNoticeList* notices = app_.Notices()) {
            notices->AddSystemNotice(text, true, static_cast<std::uint32_t>(std::time(nullptr)));
        }
    };
    return e;
}

COptionsDialog* ProgramOptions::Open() {
    if (dialog_) {
        dialog_->show();
        dialog_->raise();
        dialog_->activateWindow();
        return dialog_;
    }
    Options* options = app_.GetOptions();
    RunKey* runKey = app_.GetRunKey();
    IniFile* user = app_.UserSettings();
    IniFile* machine = app_.MachineSettings();
    if (options == nullptr || runKey == nullptr || user == nullptr || machine == nullptr) {
        return nullptr;
    }
    const Customization* custom = app_.GetCustomization();
    OptionsConditions c;
    std::uint32_t id = 0;
    if (RegistryKey* login = app_.LoginKey();
        login != nullptr && login->GetDword(login_key::kQuorvaneId, id)) {
        c.accountStored = id > 0;
    }
    c.disablePersonalInfo = custom != nullptr && custom->Get().disablePersonalInfo != 0;
    c.showInternalOptions = machine->GetInt("Internal", "ShowInternalOptions", 0) != 0;
    if (form_ == nullptr) {
        c.disablePersonalInfo = true;
    }
    sheet_ = std::make_unique<OptionsSheet>(*options, *runKey, *user, app_.ProgramFolder(), c,
                                            Effects());

    OptionsDialogParts parts;
    if (sheet_->Shows(OptionsPage::PersonalInfo)) {
        if (!form_->Waiting()) {
            form_->Load();
        }
        if (custom != nullptr) {
            form_->SetPartnerRules(custom->Get(), false);
        }
        parts.personalInfo = form_.get();
    }
    auto* shell = dynamic_cast<QtAppShell*>(&app_.Shell());
    parts.openRemap = [this](std::uint32_t current, std::function<void(std::uint32_t)> onNew) {
        CRemapKeyDialog remap(current, std::move(onNew), dialog_.data());
        remap.exec();
    };
    parts.keyName = [](std::uint32_t map) {
        return map == 0 ? std::string("NONE") : CombinationName(map);
    };
    if (shell != nullptr) {
        parts.globalKeyStatus = [shell] {
            return shell->Keys() != nullptr ? shell->Keys()->GlobalKeyStatus() : std::string();
        };
    }
    parts.chooseFont = [this](const LogFont& current,
                              const QString& title) -> std::optional<LogFont> {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, ToQFont(current), dialog_.data(), title);
        if (!ok) {
            return std::nullopt;
        }
        return ToLogFont(chosen, current);
    };
    parts.toQFont = [](const LogFont& f) { return ToQFont(f); };
    parts.defaultHomeUrl = custom != nullptr ? custom->Get().lxMainUrl : std::string();
    parts.comicSansInstalled = app_.ComicSansInstalled();

    dialog_ = new COptionsDialog(*sheet_, std::move(parts), &frame_);
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    dialog_->setWindowModality(Qt::NonModal);
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
    return dialog_;
}

void ProgramOptions::CustomMessageChosen(const std::string& key, const std::string& message,
                                         bool noPrompt) {
    if (dialog_) {
        dialog_->ShowCustomMessage(key, message, noPrompt);
    }
}

void ProgramOptions::PushToTalkChanged() {
    const Options* options = app_.GetOptions();
    if (dialog_ && dialog_->isVisible() && options != nullptr) {
        dialog_->PushToTalkChanged(options->PushToTalk() != 0);
    }
}

}  // namespace qv
