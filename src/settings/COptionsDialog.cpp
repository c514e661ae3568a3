#include "settings/COptionsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "directory/PersonalInfoForm.h"

namespace qv {

namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.c_str());
}

std::string S(const QString& s) {
    return s.toUtf8().toStdString();
}

constexpr int kButtonWidth = 70;
constexpr int kButtonHeight = 20;

const char* const kMessageTitles[3] = {"Away", "Do Not Disturb", "Occupied"};

}  // namespace

COptionsDialog::COptionsDialog(OptionsSheet& sheet, OptionsDialogParts parts, QWidget* parent)
    : QDialog(parent), sheet_(sheet), parts_(std::move(parts)) {
    setObjectName("OptionsDialog");
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    layout->addWidget(tabs_, 1);
    for (OptionsPage page : sheet_.Pages()) {
        switch (page) {
            case OptionsPage::General:
                tabs_->addTab(MakeGeneral(), "General");
                break;
            case OptionsPage::Internet:
                tabs_->addTab(MakeInternet(), "Internet");
                break;
            case OptionsPage::PersonalInfo:
                if (parts_.personalInfo != nullptr) {
                    tabs_->addTab(MakePersonalInfo(), "Personal Info");
                }
                break;
            case OptionsPage::Messages:
                tabs_->addTab(MakeMessages(), "Messages");
                break;
            case OptionsPage::Fonts:
                tabs_->addTab(MakeFonts(), "Fonts");
                break;
            case OptionsPage::Internal:
                tabs_->addTab(MakeInternal(), "Internal");
                break;
        }
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    ok_ = new QPushButton("OK", this);
    cancel_ = new QPushButton("Cancel", this);
    apply_ = new QPushButton("&Apply", this);
    for (QPushButton* b : {ok_, cancel_, apply_}) {
        b->setMinimumSize(kButtonWidth, kButtonHeight);
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    ok_->setDefault(true);
    apply_->setEnabled(false);
    layout->addLayout(buttons);
    connect(ok_, &QPushButton::clicked, this, &COptionsDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &COptionsDialog::reject);
    connect(apply_, &QPushButton::clicked, this, [this] { Apply(); });
    if (parts_.personalInfo != nullptr) {
        parts_.personalInfo->onStatus = [this](const std::string& text) {
            if (personalStatus_ != nullptr) {
                personalStatus_->setText(Q(text));
            }
        };
        parts_.personalInfo->onValuesChanged = [this] { ShowValues(); };
        sheet_.UsePersonalInfo([form = parts_.personalInfo] { return form->Apply(); });
    }
    ShowValues();
}

COptionsDialog::~COptionsDialog() {
    if (parts_.personalInfo != nullptr) {
        // The form may outlive the window (a reply still on its way).
        parts_.personalInfo->onStatus = nullptr;
        parts_.personalInfo->onValuesChanged = nullptr;
        sheet_.UsePersonalInfo(nullptr);
    }
}

QWidget* COptionsDialog::Control(const QString& text) const {
    auto it = controls_.find(text);
    return it == controls_.end() ? nullptr : it->second;
}

QLineEdit* COptionsDialog::PersonalField(int index) const {
    return index >= 0 && index < 8 ? personal_[index] : nullptr;
}

QCheckBox* COptionsDialog::Check(QWidget* page, const QString& text, OptionsPage which) {
    auto* box = new QCheckBox(text, page);
    controls_[text] = box;
    connect(box, &QCheckBox::toggled, this, [this, which] { Changed(which); });
    return box;
}

QPushButton* COptionsDialog::Button(QWidget* page, const QString& text) {
    auto* button = new QPushButton(text, page);
    button->setAutoDefault(false);
    controls_[text] = button;
    return button;
}

// ---- Pages --------------------------------------------------------------------------------

QWidget* COptionsDialog::MakeGeneral() {
    auto* page = new QWidget(tabs_);
    page->setObjectName("GeneralPage");
    auto* layout = new QVBoxLayout(page);
    for (const char* text :
         {"Automatically add new contacts to Contact List",
          "Automatically activate Quorvane when you receive a call",
          "Minimize to Windows System Tray upon closing Quorvane", "Use Push To Talk",
          "Use sounds for Quorvane events", "Show alert when disconnected from Quorvane server",
          "Automatically reconnect to Quorvane server when connected to the Internet",
          "Close Forum List after joining forum",
          "Show Text Chat messages when users leave and join forums or conversations",
          "Use Global Push To Talk", "Log Quorvane Events"}) {
        layout->addWidget(Check(page, text, OptionsPage::General));
    }
    auto* keyRow = new QHBoxLayout;
    QPushButton* setKey = Button(page, "&Set Key");
    setKey->setEnabled(static_cast<bool>(parts_.openRemap));
    keyRow->addWidget(setKey);
    keyRow->addWidget(new QLabel("Current Key:", page));
    currentKey_ = new QLineEdit(page);
    currentKey_->setReadOnly(true);
    keyRow->addWidget(currentKey_, 1);
    layout->addLayout(keyRow);
    globalStatus_ = new QLabel(page);
    globalStatus_->setWordWrap(true);
    globalStatus_->setObjectName("GlobalKeyStatus");
    layout->addWidget(globalStatus_);
    layout->addStretch(1);
    connect(setKey, &QPushButton::clicked, this, [this] {
        if (!parts_.openRemap) {
            return;
        }
        parts_.openRemap(shownKey_, [this](std::uint32_t map) {
            shownKey_ = map;
            ShowKey();
            Changed(OptionsPage::General);
        });
    });
    return page;
}

QWidget* COptionsDialog::MakeInternet() {
    auto* page = new QWidget(tabs_);
    page->setObjectName("InternetPage");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(Check(page, "Behind firewall (Enable TCP)", OptionsPage::Internet));
    QCheckBox* run = Check(page, "Run Quorvane at Windows Startup", OptionsPage::Internet);
    layout->addWidget(run);
    modem_ = new QRadioButton("I connect to the Internet using a modem", page);
    lan_ = new QRadioButton("I connect to the Internet using a LAN (Local Area Network)", page);
    connection_ = new QButtonGroup(page);
    for (QRadioButton* r : {modem_, lan_}) {
        controls_[r->text()] = r;
        connection_->addButton(r);
        layout->addWidget(r);
        connect(r, &QRadioButton::toggled, this, [this] { Changed(OptionsPage::Internet); });
    }
    connect(run, &QCheckBox::toggled, this, &COptionsDialog::RunAtStartupToggled);
    layout->addSpacing(8);
    layout->addWidget(new QLabel("URL to load on Launch:", page));
    homeUrl_ = new QLineEdit(page);
    layout->addWidget(homeUrl_);
    connect(homeUrl_, &QLineEdit::textEdited, this, [this] { Changed(OptionsPage::Internet); });
    auto* urlRow = new QHBoxLayout;
    QPushButton* restore = Button(page, "&Restore Default URL");
    QPushButton* current = Button(page, "&Set to current URL");
    current->setEnabled(static_cast<bool>(parts_.currentUrl));
    urlRow->addWidget(restore);
    urlRow->addWidget(current);
    urlRow->addStretch(1);
    layout->addLayout(urlRow);
    layout->addStretch(1);
    // The start page belongs to the user: without an account it is not offered.
    const bool account = sheet_.Shows(OptionsPage::General);
    homeUrl_->setEnabled(account);
    restore->setEnabled(account);
    current->setEnabled(account && current->isEnabled());
    connect(restore, &QPushButton::clicked, this, [this] {
        homeUrl_->setText(Q(parts_.defaultHomeUrl));
        Changed(OptionsPage::Internet);
    });
    connect(current, &QPushButton::clicked, this, [this] {
        if (parts_.currentUrl) {
            homeUrl_->setText(Q(parts_.currentUrl()));
            Changed(OptionsPage::Internet);
        }
    });
    return page;
}

QWidget* COptionsDialog::MakePersonalInfo() {
    auto* page = new QWidget(tabs_);
    page->setObjectName("PersonalInfoPage");
    auto* form = new QFormLayout(page);
    using F = PersonalInfoForm::Field;
    struct Row {
        const char* label;
        std::optional<F> field;
        bool password;
    };
    const Row rows[8] = {
        {"Nickname: *", F::NickName, false},   {"First Name: *", F::FirstName, false},
        {"Last Name: *", F::LastName, false},  {"E-mail: *", F::Email, false},
        {"Company:", F::Company, false},       {"Comment:", F::Comment, false},
        {"New Password:", std::nullopt, true}, {"Confirm Password:", std::nullopt, true}};
    for (int i = 0; i < 8; ++i) {
        personal_[i] = new QLineEdit(page);
        if (rows[i].password) {
            personal_[i]->setEchoMode(QLineEdit::Password);
        }
        if (rows[i].field) {
            personal_[i]->setEnabled(parts_.personalInfo->IsEditable(*rows[i].field));
        }
        personal_[i]->setMaxLength(rows[i].field == F::Comment ? 255 : 64);
        form->addRow(rows[i].label, personal_[i]);
        connect(personal_[i], &QLineEdit::textEdited, this,
                [this] { Changed(OptionsPage::PersonalInfo); });
    }
    hideEmail_ = Check(page, "Hide my e-mail address from other users", OptionsPage::PersonalInfo);
    allowSpam_ = Check(page, "Send me news and offers by e-mail", OptionsPage::PersonalInfo);
    hideEmail_->setEnabled(parts_.personalInfo->IsEditable(F::HideEmail));
    allowSpam_->setEnabled(parts_.personalInfo->IsEditable(F::AllowSpam));
    form->addRow(hideEmail_);
    form->addRow(allowSpam_);
    form->addRow(new QLabel("Fields marked '*' are required.", page));
    personalStatus_ = new QLabel(page);
    personalStatus_->setObjectName("PersonalInfoStatus");
    form->addRow(personalStatus_);
    return page;
}

QWidget* COptionsDialog::MakeMessages() {
    auto* page = new QWidget(tabs_);
    page->setObjectName("MessagesPage");
    auto* layout = new QVBoxLayout(page);
    for (int i = 0; i < 3; ++i) {
        auto* group = new QGroupBox(kMessageTitles[i], page);
        auto* inner = new QVBoxLayout(group);
        inner->addWidget(
            new QLabel("Custom Message: ( message can contain up to 100 characters. )", group));
        messageFields_[i] = new QLineEdit(group);
        // 100 bytes with the terminating zero.
        messageFields_[i]->setMaxLength(99);
        inner->addWidget(messageFields_[i]);
        noPrompt_[i] = new QCheckBox("Do not prompt me to change this message", group);
        inner->addWidget(noPrompt_[i]);
        connect(messageFields_[i], &QLineEdit::textEdited, this,
                [this] { Changed(OptionsPage::Messages); });
        connect(noPrompt_[i], &QCheckBox::toggled, this,
                [this] { Changed(OptionsPage::Messages); });
        layout->addWidget(group);
    }
    layout->addStretch(1);
    return page;
}

QWidget* COptionsDialog::MakeFonts() {
    auto* page = new QWidget(tabs_);
    page->setObjectName("FontsPage");
    auto* grid = new QGridLayout(page);
    QPushButton* list = Button(page, "Change &List Font");
    QPushButton* chat = Button(page, "Change &Chat Font");
    QPushButton* restore = Button(page, "&Restore Defaults");
    list->setEnabled(static_cast<bool>(parts_.chooseFont));
    chat->setEnabled(static_cast<bool>(parts_.chooseFont));
    listSample_ = new QLabel("Contact List and other lists", page);
    chatSample_ = new QLabel("Text chat and messages", page);
    buttonSample_ = new QPushButton("Button", page);
    buttonSample_->setEnabled(false);
    imSample_ = new QLabel("Instant message text", page);
    for (QLabel* sample : {listSample_, chatSample_, imSample_}) {
        sample->setFrameShape(QFrame::StyledPanel);
        sample->setMinimumHeight(32);
    }
    grid->addWidget(list, 0, 0);
    grid->addWidget(listSample_, 0, 1);
    grid->addWidget(chat, 1, 0);
    grid->addWidget(chatSample_, 1, 1);
    grid->addWidget(new QLabel("Buttons:", page), 2, 0);
    grid->addWidget(buttonSample_, 2, 1);
    grid->addWidget(new QLabel("Instant messages:", page), 3, 0);
    grid->addWidget(imSample_, 3, 1);
    grid->addWidget(restore, 4, 0);
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(1, 1);
    connect(list, &QPushButton::clicked, this, [this] { ChooseFont(true); });
    connect(chat, &QPushButton::clicked, this, [this] { ChooseFont(false); });
    connect(restore, &QPushButton::clicked, this, [this] {
        sheet_.RestoreDefaultFonts(parts_.comicSansInstalled);
        ShowFonts();
        Changed(OptionsPage::Fonts);
    });
    return page;
}

QWidget* COptionsDialog::MakeInternal() {
    auto* page = new QWidget(tabs_);
    page->setObjectName("InternalPage");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(Check(page, "Enable Auto Answer", OptionsPage::Internal));
    layout->addWidget(Check(page, "Enable Local Echo", OptionsPage::Internal));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Codec to use (0-6):", page));
    codec_ = new QSpinBox(page);
    codec_->setRange(0, OptionsSheet::kHighestCodec);
    row->addWidget(codec_);
    row->addStretch(1);
    layout->addLayout(row);
    layout->addStretch(1);
    connect(codec_, &QSpinBox::valueChanged, this, [this] { Changed(OptionsPage::Internal); });
    return page;
}

// ---- Values -------------------------------------------------------------------------------

namespace {

void SetChecked(QWidget* w, bool on) {
    if (auto* box = qobject_cast<QCheckBox*>(w)) {
        box->setChecked(on);
    }
}

bool IsChecked(QWidget* w) {
    auto* box = qobject_cast<QCheckBox*>(w);
    return box != nullptr && box->isChecked();
}

}  // namespace

void COptionsDialog::ShowValues() {
    showing_ = true;
    const GeneralPageValues& g = sheet_.general;
    SetChecked(Control("Automatically add new contacts to Contact List"), g.autoAddToContactList);
    SetChecked(Control("Automatically activate Quorvane when you receive a call"),
               g.autoActivateAppOnCall);
    SetChecked(Control("Minimize to Windows System Tray upon closing Quorvane"), g.minimizeOnClose);
    SetChecked(Control("Use Push To Talk"), g.pushToTalk);
    SetChecked(Control("Use sounds for Quorvane events"), g.playSounds);
    SetChecked(Control("Show alert when disconnected from Quorvane server"), g.showDisconnectMsg);
    SetChecked(Control("Automatically reconnect to Quorvane server when connected to the Internet"),
               g.autoReconnect);
    SetChecked(Control("Close Forum List after joining forum"), g.closeForumList);
    SetChecked(Control("Show Text Chat messages when users leave and join forums or conversations"),
               g.showTrafficMessages);
    SetChecked(Control("Use Global Push To Talk"), g.globalPushToTalk);
    SetChecked(Control("Log Quorvane Events"), g.logEvents);
    shownKey_ = g.globalPushToTalkMap;
    ShowKey();

    const InternetPageValues& n = sheet_.internet;
    SetChecked(Control("Behind firewall (Enable TCP)"), n.behindFirewall);
    SetChecked(Control("Run Quorvane at Windows Startup"), n.runAtStartup);
    if (connection_ != nullptr) {
        connection_->setExclusive(false);
        modem_->setChecked(n.usingModem);
        lan_->setChecked(n.usingLan);
        connection_->setExclusive(true);
        modem_->setEnabled(n.runAtStartup);
        lan_->setEnabled(n.runAtStartup);
    }
    if (homeUrl_ != nullptr) {
        homeUrl_->setText(Q(n.homeUrl));
    }

    if (PersonalInfoForm* form = parts_.personalInfo; form != nullptr && personal_[0] != nullptr) {
        const PersonalInfoForm::Values& v = form->page;
        const std::string* texts[8] = {
            &v.nickName, &v.firstName, &v.lastName, &v.email,
            &v.company,  &v.comment,   &v.password, &form->confirmPassword};
        for (int i = 0; i < 8; ++i) {
            personal_[i]->setText(Q(*texts[i]));
        }
        hideEmail_->setChecked(!v.emailPublic);
        allowSpam_->setChecked(v.allowSpam);
    }

    const MessagesPageValues& m = sheet_.messages;
    if (messageFields_[0] != nullptr) {
        const std::string* texts[3] = {&m.away, &m.dnd, &m.occupied};
        const bool flags[3] = {m.awayNoPrompt, m.dndNoPrompt, m.occupiedNoPrompt};
        for (int i = 0; i < 3; ++i) {
            messageFields_[i]->setText(Q(*texts[i]));
            noPrompt_[i]->setChecked(flags[i]);
        }
    }
    ShowFonts();

    const InternalPageValues& in = sheet_.internal;
    SetChecked(Control("Enable Auto Answer"), in.autoAnswer);
    SetChecked(Control("Enable Local Echo"), in.localEcho);
    if (codec_ != nullptr) {
        codec_->setValue(in.codec);
    }
    showing_ = false;
}

void COptionsDialog::ShowKey() {
    if (currentKey_ == nullptr) {
        return;
    }
    currentKey_->setText(parts_.keyName ? Q(parts_.keyName(shownKey_))
                                        : QString::number(shownKey_));
    if (parts_.globalKeyStatus) {
        globalStatus_->setText(Q(parts_.globalKeyStatus()));
    }
}

void COptionsDialog::ShowFonts() {
    if (listSample_ == nullptr || !parts_.toQFont) {
        return;
    }
    listSample_->setFont(parts_.toQFont(sheet_.fonts.list));
    chatSample_->setFont(parts_.toQFont(sheet_.fonts.chat));
    imSample_->setFont(parts_.toQFont(sheet_.fonts.chat));
}

void COptionsDialog::StoreValues() {
    GeneralPageValues& g = sheet_.general;
    if (Control("Use Push To Talk") != nullptr) {
        g.autoAddToContactList =
            IsChecked(Control("Automatically add new contacts to Contact List"));
        g.autoActivateAppOnCall =
            IsChecked(Control("Automatically activate Quorvane when you receive a call"));
        g.minimizeOnClose =
            IsChecked(Control("Minimize to Windows System Tray upon closing Quorvane"));
        g.pushToTalk = IsChecked(Control("Use Push To Talk"));
        g.playSounds = IsChecked(Control("Use sounds for Quorvane events"));
        g.showDisconnectMsg =
            IsChecked(Control("Show alert when disconnected from Quorvane server"));
        g.autoReconnect = IsChecked(
            Control("Automatically reconnect to Quorvane server when connected to the Internet"));
        g.closeForumList = IsChecked(Control("Close Forum List after joining forum"));
        g.showTrafficMessages = IsChecked(
            Control("Show Text Chat messages when users leave and join forums or conversations"));
        g.globalPushToTalk = IsChecked(Control("Use Global Push To Talk"));
        g.logEvents = IsChecked(Control("Log Quorvane Events"));
        g.globalPushToTalkMap = shownKey_;
    }

    InternetPageValues& n = sheet_.internet;
    n.behindFirewall = IsChecked(Control("Behind firewall (Enable TCP)"));
    n.runAtStartup = IsChecked(Control("Run Quorvane at Windows Startup"));
    n.usingModem = modem_->isChecked();
    n.usingLan = lan_->isChecked();
    n.homeUrl = S(homeUrl_->text());

    if (PersonalInfoForm* form = parts_.personalInfo; form != nullptr && personal_[0] != nullptr) {
        PersonalInfoForm::Values& v = form->page;
        std::string* texts[8] = {&v.nickName, &v.firstName, &v.lastName, &v.email,
                                 &v.company,  &v.comment,   &v.password, &form->confirmPassword};
        for (int i = 0; i < 8; ++i) {
            *texts[i] = S(personal_[i]->text());
        }
        v.emailPublic = !hideEmail_->isChecked();
        v.allowSpam = allowSpam_->isChecked();
    }

    MessagesPageValues& m = sheet_.messages;
    if (messageFields_[0] != nullptr) {
        std::string* texts[3] = {&m.away, &m.dnd, &m.occupied};
        bool* flags[3] = {&m.awayNoPrompt, &m.dndNoPrompt, &m.occupiedNoPrompt};
        for (int i = 0; i < 3; ++i) {
            *texts[i] = S(messageFields_[i]->text());
            *flags[i] = noPrompt_[i]->isChecked();
        }
    }

    InternalPageValues& in = sheet_.internal;
    if (codec_ != nullptr) {
        in.autoAnswer = IsChecked(Control("Enable Auto Answer"));
        in.localEcho = IsChecked(Control("Enable Local Echo"));
        in.codec = codec_->value();
    }
}

void COptionsDialog::Changed(OptionsPage page) {
    if (showing_) {
        return;
    }
    sheet_.Changed(page);
    apply_->setEnabled(true);
}

void COptionsDialog::RunAtStartupToggled(bool on) {
    if (showing_) {
        return;
    }
    connection_->setExclusive(false);
    if (!on) {
        modem_->setChecked(false);
        lan_->setChecked(false);
    } else if (!modem_->isChecked() && !lan_->isChecked()) {
        // Start-up needs a connection type: the one in use until the user picks another.
        (sheet_.internet.usingLan ? lan_ : modem_)->setChecked(true);
    }
    connection_->setExclusive(true);
    modem_->setEnabled(on);
    lan_->setEnabled(on);
}

void COptionsDialog::ChooseFont(bool list) {
    if (!parts_.chooseFont) {
        return;
    }
    LogFont& font = list ? sheet_.fonts.list : sheet_.fonts.chat;
    if (auto chosen = parts_.chooseFont(font, list ? "List Font" : "Chat Font")) {
        font = *chosen;
        ShowFonts();
        Changed(OptionsPage::Fonts);
    }
}

void COptionsDialog::ShowCustomMessage(const std::string& key, const std::string& message,
                                       bool noPrompt) {
    MessagesPageValues& m = sheet_.messages;
    std::string* texts[3] = {&m.away, &m.dnd, &m.occupied};
    bool* flags[3] = {&m.awayNoPrompt, &m.dndNoPrompt, &m.occupiedNoPrompt};
    const char* keys[3] = {"Away Message", "DND Message", "Occupied Message"};
    for (int i = 0; i < 3; ++i) {
        if (key != keys[i]) {
            continue;
        }
        *texts[i] = message;
        *flags[i] = noPrompt;
        if (messageFields_[i] != nullptr) {
            showing_ = true;
            messageFields_[i]->setText(Q(message));
            noPrompt_[i]->setChecked(noPrompt);
            showing_ = false;
        }
    }
}

void COptionsDialog::PushToTalkChanged(bool on) {
    showing_ = true;
    sheet_.general.pushToTalk = on;
    SetChecked(Control("Use Push To Talk"), on);
    showing_ = false;
}

bool COptionsDialog::Apply() {
    if (!apply_->isEnabled()) {
        return true;
    }
    StoreValues();
    if (!sheet_.Apply()) {
        return false;
    }
    ShowValues();
    apply_->setEnabled(false);
    ok_->setFocus();
    return true;
}

void COptionsDialog::accept() {
    if (Apply()) {
        QDialog::accept();
    }
}

}  // namespace qv
