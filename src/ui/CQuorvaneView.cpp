#include "ui/CQuorvaneView.h"

#include <pwd.h>
#include <unistd.h>

#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/CQuorvaneApp.h"
#include "app/ProgramForumAccess.h"
#include "app/ProgramMessageLinks.h"
#include "app/TimerScheduler.h"
#include "calls/CallManager.h"
#include "calls/ForumTree.h"
#include "engine/CSonaroManager.h"
#include "login/LoginForm.h"
#include "login/QtSessionUi.h"
#include "login/Session.h"
#include "login/SessionSubsystems.h"
#include "messaging/CMessageWindows.h"
#include "messaging/SystemNoticeList.h"
#include "platform/DialUp.h"
#include "settings/Customization.h"
#include "settings/IniFile.h"
#include "settings/Options.h"
#include "stores/CContactListWindow.h"
#include "stores/ContactStore.h"
#include "ui/CActiveCallPane.h"
#include "ui/CCreateForumDialog.h"
#include "ui/CForumListWindow.h"
#include "ui/CIncomingCallPane.h"
#include "ui/CMainFrame.h"
#include "ui/CPickupPane.h"
#include "ui/CStatusLine.h"
#include "ui/CTextChatWindow.h"
#include "ui/CallPaneParts.h"
#include "ui/ConnectionStatusLine.h"
#include "ui/ProgramSubsystems.h"

namespace qv {

namespace {

std::string SystemUserName() {
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_name != nullptr) {
        return pw->pw_name;
    }
    return {};
}

}  // namespace

CQuorvaneView::CQuorvaneView(CQuorvaneApp& app, Screen& screen, QWidget* frame)
    : QWidget(frame), app_(app), screen_(screen), status_(new CStatusLine(this)) {
    setObjectName("QuorvaneView");
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);

    status_->ShowStatus(0, ConnectionStatusLine::IconFor(0),
                        ConnectionStatusLine::TextFor(0, false, 0, 0.0f));
    status_->onClick = [this] { OnStatusClick(); };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    // The contact list fills the view above the status line; it is there before the session
    // can log anyone in.
    if (ContactStore* contacts = app_.GetContactStore(); contacts && app_.UserSettings()) {
        contactList_ = new CContactListWindow(
            CContactListWindow::Parts{
                *contacts, app_.GetBlockStore(), app_.Directory(), *app_.UserSettings(), screen,
                [this]() -> std::uint16_t {
                    return session_ ? static_cast<std::uint16_t>(session_->PresenceMode()) : 0;
                }},
            this);
        layout->addWidget(contactList_, 3);
    } else {
        layout->addStretch(1);
    }
    MakeCallPanes();
    MakeTextChat();
    layout->addWidget(activePane_, 2);
    layout->addWidget(incomingPane_, 0);
    layout->addWidget(status_);

    dialUp_ = MakePppDialUp();
    subsystems_ = std::make_unique<ProgramSubsystems>(app_);
    CSonaroManager* manager = app_.SonaroManager();
    if (manager != nullptr && app_.LoginKey() != nullptr) {
        QtSessionUi::Parts parts;
        parts.frame = frame;
        parts.directory = app_.Directory();
        parts.loginKey = app_.LoginKey();
        parts.userSettings = app_.UserSettings();
        parts.screen = &screen;
        parts.helpUrl = app_.GetCustomization() != nullptr
                            ? app_.GetCustomization()->Get().faqUrl
                            : std::string("http://www.quorvane.com/faq.html");
        parts.makeLoginForm = [this, &screen] {
            return std::make_unique<LoginForm>(app_.Directory(), *app_.LoginKey(), *session_,
                                               *subsystems_, *app_.Notices(), screen);
        };
        ui_ = std::make_unique<QtSessionUi>(std::move(parts));
        session_ = std::make_unique<Session>(SessionServices{*manager,
                                                             app_.Directory(),
                                                             *app_.LoginKey(),
                                                             *app_.MachineSettings(),
                                                             *app_.UserSettings(),
                                                             *app_.ServerSettings(),
                                                             *app_.GetOptions(),
                                                             *app_.GetCustomization(),
                                                             *app_.Scheduler(),
                                                             app_.GetUiQueue(),
                                                             app_.Folders(),
                                                             app_.Pending(),
                                                             *app_.Notices(),
                                                             *dialUp_,
                                                             *ui_,
                                                             screen,
                                                             *subsystems_,
                                                             app_.Clock(),
                                                             SystemUserName(),
                                                             app_.Executable()});
        session_->Start();
        ui_->onUpdateWindowClosed = [this] {
            if (session_) {
                session_->UpdateWindowClosed();
            }
        };
    }

    UseCallManager(app_.GetCallManager());
    UseMessageCenter(true);
    MakeForumList();

    if (TimerScheduler* scheduler = app_.Scheduler()) {
        scheduler->Start(false);
    }
    if (ConnectionStatusLine* line = app_.StatusLine()) {
        line->SetView(status_);
        line->Start();
    }
    timer_.setInterval(kTimerPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &CQuorvaneView::OnTimer);
    timer_.start();
}

CQuorvaneView::~CQuorvaneView() {
    timer_.stop();
    if (ConnectionStatusLine* line = app_.StatusLine()) {
        line->SetView(nullptr);
    }
    UseMessageCenter(false);
    if (CSonaroManager* manager = app_.SonaroManager()) {
        manager->SetPushToTalkSwitch(nullptr);
    }
    UseCallManager(nullptr);
    activePane_->SetTextChat(nullptr, nullptr);
    textChat_.reset();
    // The forum list unsubscribes and keeps its place before the tree it shows goes.
    if (ProgramForumAccess* access = app_.GetForumAccess()) {
        access->SetAdultCheck(nullptr);
        access->SetFlagsLookup(nullptr);
    }
    forumList_.reset();
    session_.reset();
}

void CQuorvaneView::MakeCallPanes() {
    CallPaneParts p;
    p.manager = app_.SonaroManager();
    p.scheduler = app_.Scheduler();
    p.clock = &app_.Clock();
    p.sendMessage = [this](const std::string& id, const std::string& nickname) {
        SendMessageTo(id, nickname);
    };
    p.playSound = [this](const std::string& name) {
        if (CSonaroManager* manager = app_.SonaroManager()) {
            manager->PlaySoundEvent(name);
        }
    };
    p.ownMode = [this]() -> std::uint16_t {
        return session_ ? static_cast<std::uint16_t>(session_->PresenceMode()) : 0;
    };
    p.moderationEnabled =
        app_.GetCustomization() != nullptr && app_.GetCustomization()->Get().enableModeration != 0;
    p.hangUp = [this] {
        if (calls_ != nullptr) {
            calls_->HangUp();
        }
    };
    p.holdOrSwitch = [this] {
        if (calls_ != nullptr) {
            calls_->HoldOrSwitch();
        }
    };
    p.pickUp = [this] {
        if (calls_ != nullptr) {
            calls_->PickUp();
        }
    };
    p.endSecond = [this](std::int16_t reason, const std::string& text) {
        if (calls_ != nullptr) {
            calls_->EndSecond(reason, text);
        }
    };
    p.setTalk = [this](bool muted) {
        if (CSonaroManager* manager = app_.SonaroManager()) {
            manager->SetTalk(muted);
        }
    };
    p.pushToTalk = [this] {
        const Options* options = app_.GetOptions();
        return options != nullptr && options->PushToTalk() != 0;
    };
    p.setPushToTalk = [this](bool on) {
        if (CSonaroManager* manager = app_.SonaroManager()) {
            manager->SetPushToTalk(on);
        }
    };
    p.moderation = [this]() -> ForumModeration* {
        return calls_ != nullptr ? &calls_->Moderation() : nullptr;
    };
    p.screen = &screen_;
    p.participantCountChanged = [this](int participants) {
        if (calls_ != nullptr) {
            calls_->ParticipantCountChanged(participants);
        }
    };
    activePane_ = new CActiveCallPane(p, this);
    if (CSonaroManager* manager = app_.SonaroManager()) {
        // A forum's forced push-to-talk counts for the joins as the setting does.
        manager->SetPushToTalkSwitch([pane = activePane_] { return pane->ForcedPushToTalk(); });
    }
    incomingPane_ = new CIncomingCallPane(p, this);
    activePane_->SetIncomingPane(incomingPane_);
    incomingPane_->SetPanes(activePane_, activePane_->Pickup());
}

void CQuorvaneView::MakeTextChat() {
    CTextChatWindow::Parts p;
    p.manager = app_.SonaroManager();
    p.settings = app_.UserSettings();
    p.options = app_.GetOptions();
    p.clock = &app_.Clock();
    // The shown names of the selected participants, in list order.
    p.selectedNames = [this] {
        std::vector<std::string> names;
        QTreeWidget* list = activePane_->Participants();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            if (QTreeWidgetItem* item = list->topLevelItem(i); item->isSelected()) {
                names.push_back(item->text(1).toStdString());
            }
        }
        return names;
    };
    p.startBlink = [this] { activePane_->StartTextChatBlink(); };
    p.playSound = [this](const std::string& name) {
        if (CSonaroManager* manager = app_.SonaroManager()) {
            manager->PlaySoundEvent(name);
        }
    };
    textChat_ = std::make_unique<CTextChatWindow>(std::move(p));
    const bool disabled =
        app_.GetCustomization() != nullptr && app_.GetCustomization()->Get().disableTextChat != 0;
    activePane_->SetTextChat(
        [this, disabled] {
            if (disabled) {
                return;
            }
            textChat_->Open();
            activePane_->StopTextChatBlink();
        },
        [this](bool shown) { textChat_->SetConversation(shown); });
}

void CQuorvaneView::MakeForumList() {
    const Customization* custom = app_.GetCustomization();
    if (custom != nullptr && custom->Get().disableForums != 0) {
        return;
    }
    forumTree_ = std::make_unique<ForumTree>();
    CForumListWindow::Parts parts;
    parts.tree = forumTree_.get();
    parts.manager = app_.SonaroManager();
    parts.userSettings = app_.UserSettings();
    parts.options = app_.GetOptions();
    parts.notices = app_.Notices();
    parts.moderationEnabled = custom != nullptr && custom->Get().enableModeration != 0;
    parts.joinExisting = [this](const std::string& path, const std::string& password,
                                bool moderated, bool microphones) {
        return calls_ != nullptr && calls_->JoinExistingForum(path, password, 0, moderated, false,
                                                              false, microphones, false);
    };
    parts.createOrJoin = [this](const NewForum& f) {
        return calls_ != nullptr &&
               calls_->CreateOrJoinForum(f.path, f.password, f.hidden, f.moderated, false, false,
                                         f.controlMicrophones, f.banBlockList);
    };
    forumList_ = std::make_unique<CForumListWindow>(std::move(parts), this);
    // Invitations and command files join through the same warning and take a listed forum's
    // flags from the list.
    if (ProgramForumAccess* access = app_.GetForumAccess()) {
        access->SetAdultCheck(forumList_.get());
        access->SetFlagsLookup([tree = forumTree_.get()](const std::string& path) {
            const auto lock = tree->Hold();
            const ForumNode* node = tree->Find(lock, path);
            return node != nullptr ? std::optional<std::uint32_t>(node->flags) : std::nullopt;
        });
    }
    const IniFile* settings = app_.UserSettings();
    if (settings != nullptr &&
        settings->GetInt(CForumListWindow::kSection, "ShowForumList", 0) != 0) {
        forumList_->show();
    }
}

void CQuorvaneView::ShowForumList() {
    if (forumList_ == nullptr) {
        return;
    }
    forumList_->show();
    forumList_->raise();
    forumList_->activateWindow();
}

void CQuorvaneView::UseCallManager(CallManager* calls) {
    if (calls_ != nullptr) {
        calls_->SetActivePane(nullptr);
        calls_->SetIncomingPane(nullptr);
        calls_->SetChatLines(nullptr);
    }
    calls_ = calls;
    if (calls_ != nullptr) {
        calls_->SetActivePane(activePane_);
        calls_->SetIncomingPane(incomingPane_);
        calls_->SetChatLines(textChat_.get());
        activePane_->ShowActive(calls_->Active());
        incomingPane_->ShowSecond(calls_->Second());
    } else {
        activePane_->ShowActive(nullptr);
        incomingPane_->ShowSecond(nullptr);
    }
    if (contactList_ != nullptr) {
        if (calls_ != nullptr) {
            contactList_->SetCallHandler([this](const std::string& id) { PlaceCallTo(id); });
        } else {
            contactList_->SetCallHandler(nullptr);
        }
    }
}

void CQuorvaneView::PlaceCallTo(const std::string& loginId) {
    if (calls_ == nullptr) {
        return;
    }
    std::string nickname = loginId;
    if (ContactStore* contacts = app_.GetContactStore()) {
        if (const UserProfile* contact = contacts->Find(loginId)) {
            nickname = contact->NickName;
        }
    }
    calls_->PlaceCall(loginId, nickname);
}

void CQuorvaneView::ShowState(int state) {
    if (ConnectionStatusLine* line = app_.StatusLine()) {
        line->Update();
    } else {
        status_->ShowStatus(state, ConnectionStatusLine::IconFor(state),
                            ConnectionStatusLine::TextFor(state, false, 0, 0.0f));
    }
}

QString CQuorvaneView::StatusText() const {
    return status_->Text();
}

void CQuorvaneView::OnStatusClick() {
    ConnectionStatusLine* line = app_.StatusLine();
    if (line == nullptr) {
        return;
    }
    // The line may be behind the last change: act on what it shows now.
    line->Update();
    switch (line->ClickAction()) {
        case ConnectionStatusLine::Click::Connect:
            if (session_) {
                session_->Connect(false);
            }
            break;
        case ConnectionStatusLine::Click::Answer:
            if (calls_ != nullptr) {
                calls_->PickUp();
            }
            break;
        case ConnectionStatusLine::Click::HangUp:
        case ConnectionStatusLine::Click::Leave:
            if (calls_ != nullptr) {
                calls_->HangUp();
            }
            break;
        case ConnectionStatusLine::Click::None:
            break;
    }
}

void CQuorvaneView::OnTimer() {
    // A window opened by the timer's work runs its own event loop, which fires this timer
    // again: the work in progress would be overtaken by the work queued after it.
    if (inTimer_) {
        return;
    }
    inTimer_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{inTimer_};
    app_.OnViewTimer();
}

// ---- Messages

void CQuorvaneView::SendMessageTo(const std::string& id, const std::string& nickname) {
    MessageCenter* center = app_.Notices();
    if (center == nullptr || id.empty()) {
        return;
    }
    UserButtonActions actions;
    actions.call = [this](const std::string& userId, const std::string&) { PlaceCallTo(userId); };
    actions.history = [this](const std::string& userId, const std::string&) {
        ShowHistory(userId);
    };
    auto* dialog = new CSendMessageDialog(*center, id, nickname, std::move(actions),
                                          app_.UserSettings(), this);
    dialog->setWindowFlag(Qt::Window);
    dialog->show();
    dialog->raise();
}

void CQuorvaneView::UseMessageCenter(bool use) {
    MessageCenter* center = app_.Notices();
    ProgramMessageLinks* links = app_.MessageLinks();
    if (center == nullptr) {
        return;
    }
    if (!use) {
        center->SetWindows(nullptr);
        if (links != nullptr) {
            links->onWaitingAlert = nullptr;
        }
        if (contactList_ != nullptr) {
            contactList_->SetMessageHandler(nullptr);
            contactList_->SetOpenAlertHandler(nullptr);
            contactList_->SetForumInviteHandler(nullptr, nullptr);
        }
        alertWindows_.reset();
        return;
    }
    CAlertWindowHost::Parts parts;
    parts.settings = app_.UserSettings();
    if (Customization* custom = app_.GetCustomization()) {
        parts.imLabel = custom->Get().imLabel;
    }
    parts.actions.call = [this](const std::string& id, const std::string&) { PlaceCallTo(id); };
    parts.actions.history = [this](const std::string& id, const std::string&) { ShowHistory(id); };
    parts.reply = [this](const std::string& id, const std::string& nickname) {
        SendMessageTo(id, nickname);
    };
    parts.parent = this;
    alertWindows_ = std::make_unique<CAlertWindowHost>(std::move(parts));
    center->SetWindows(alertWindows_.get());
    if (contactList_ != nullptr) {
        contactList_->SetMessageHandler(
            [this](const std::string& id, const std::string& nick) { SendMessageTo(id, nick); });
        contactList_->SetOpenAlertHandler(
            [center](const std::string& id) { return center->OpenFromSender(id); });
        contactList_->SetForumInviteHandler(
            [center] { return center->CanInviteToForum(); },
            [center](const std::string& id, const std::string& nick) {
                center->InviteToForum(id, nick);
            });
        if (links != nullptr) {
            links->onWaitingAlert = [this](const std::string& id, std::int32_t kind,
                                           std::uint16_t flags) {
                if (contactList_ != nullptr) {
                    contactList_->ShowWaitingAlert(id, kind, flags);
                }
            };
        }
    }
}

void CQuorvaneView::ShowHistory(const std::string& id) {
    if (auto* frame = qobject_cast<CMainFrame*>(window())) {
        frame->ShowEventLog(id);
    }
}

}  // namespace qv
