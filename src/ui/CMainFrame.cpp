#include "ui/CMainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>

#include "app/CQuorvaneApp.h"
#include "app/CommandIds.h"
#include "engine/CSonaroManager.h"
#include "login/QtSessionUi.h"
#include "login/Session.h"
#include "messaging/CSystemNoticeWindow.h"
#include "messaging/SystemNoticeList.h"
#include "platform/Screen.h"
#include "settings/Customization.h"
#include "settings/IniFile.h"
#include "stores/BlockStore.h"
#include "stores/CBlockListWindow.h"
#include "stores/CContactListWindow.h"
#include "stores/ContactListCommands.h"
#include "ui/CQuorvaneView.h"

namespace qv {

namespace {

constexpr const char* kWindowRect = "WindowRect";

QString Q(const std::string& s) {
    return QString::fromUtf8(s.c_str());
}

}  // namespace

CMainFrame::CMainFrame(CQuorvaneApp& app, Screen& screen)
    : app_(app), screen_(screen), view_(new CQuorvaneView(app, screen, this)) {
    setObjectName("QuorvaneMainFrame");
    setWindowTitle("Quorvane");
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    setCentralWidget(view_);
    BuildCommands();
    BuildMenus();
    if (CSonaroManager* manager = app_.SonaroManager()) {
        manager->Subscribe<engine_event::ConnectionState>(&CMainFrame::ConnectionStateThunk, this);
    }
    if (QtSessionUi* ui = view_->GetSessionUi()) {
        ui->onStatusMenuText = [this](const std::string& text) {
            if (statusMenu_ != nullptr) {
                statusMenu_->setTitle(Q(text));
            }
            // The presence mode changed: what waiting alerts show may change with it.
            if (CContactListWindow* list = view_->ContactList()) {
                list->OwnModeChanged();
            }
        };
    }
    if (SystemNoticeList* notices = app_.Notices()) {
        notices->SetListener([this](const SystemNoticeList::Notice&, bool showNow) {
            if (showNow) {
                ShowNotices();
            }
        });
    }
    if (Session* session = view_->GetSession()) {
        statusMenu_->setTitle(Q(Session::StatusMenuText(session->PresenceMode())));
    }
}

void CMainFrame::ShowNotices() {
    SystemNoticeList* notices = app_.Notices();
    if (notices == nullptr) {
        return;
    }
    if (!noticeWindow_) {
        noticeWindow_ = new CSystemNoticeWindow(*notices, this);
    }
    noticeWindow_->Refresh();
    noticeWindow_->show();
    noticeWindow_->raise();
}

CBlockListWindow* CMainFrame::ShowBlockList() {
    BlockStore* blocks = app_.GetBlockStore();
    IniFile* settings = app_.UserSettings();
    if (blocks == nullptr || settings == nullptr) {
        return nullptr;
    }
    if (!blockListWindow_) {
        blockListWindow_ = new CBlockListWindow(*blocks, app_.GetContactStore(), app_.Directory(),
                                                *settings, screen_, this);
    }
    blockListWindow_->show();
    blockListWindow_->raise();
    blockListWindow_->activateWindow();
    return blockListWindow_;
}

CMainFrame::~CMainFrame() {
    if (SystemNoticeList* notices = app_.Notices()) {
        notices->SetListener({});
    }
    if (CSonaroManager* manager = app_.SonaroManager()) {
        manager->Unsubscribe<engine_event::ConnectionState>(&CMainFrame::ConnectionStateThunk,
                                                            this);
    }
}

void CMainFrame::ConnectionStateThunk(std::int32_t state, void* self) {
    static_cast<CMainFrame*>(self)->OnConnectionState(state);
}

void CMainFrame::OnConnectionState(int state) {
    CSonaroManager* manager = app_.SonaroManager();
    if ((state == 3 || state == 4) && manager != nullptr) {
        setWindowTitle(Q("Quorvane - " + manager->NickName() + " (" + manager->UserId() + ")"));
    } else if (state == 0 || state == 2) {
        setWindowTitle("Quorvane");
    }
    if (manager != nullptr && isVisible()) {
        if (state == 0) {
            manager->PlaySoundEvent("Disconnected");
        } else if (state == 4) {
            manager->PlaySoundEvent("Connected");
        }
    }
    view_->ShowState(state);
    RefreshEnabledStates();
}

void CMainFrame::BuildCommands() {
    const Customization* custom = app_.GetCustomization();
    auto help = [this, custom](std::string Customization::Values::*url) {
        return [this, custom, url] {
            if (custom != nullptr) {
                OpenHelpPage(custom->Get().*url);
            }
        };
    };
    using V = Customization::Values;
    Session* session = view_->GetSession();
    auto connected = [this] {
        CSonaroManager* m = app_.SonaroManager();
        return m != nullptr && m->State() != CSonaroManager::kIdle;
    };
    auto idle = [this, connected] { return view_->GetSession() != nullptr && !connected(); };
    if (session != nullptr) {
        commands_
            .On(
                cmd::kConnect, [session] { session->Connect(false); }, idle)
            .On(
                cmd::kTrayConnect, [session] { session->Connect(false); }, idle)
            .On(cmd::kLoginAsNewUser, [session] { session->Connect(true); })
            .On(
                cmd::kDisconnect, [session] { session->DisconnectCommand(); }, connected)
            .On(
                cmd::kTrayDisconnect, [session] { session->DisconnectCommand(); }, connected)
            .On(cmd::kLogoff, [session] { session->LogoffCommand(); })
            .On(cmd::kSelectVoiceServer, [session] { session->SelectVoiceServerCommand(); });
        for (int id : {cmd::kStatusNormal, cmd::kStatusAway, cmd::kStatusDoNotDisturb,
                       cmd::kStatusOccupied, cmd::kStatusAvailableForChat, cmd::kStatusInvisible}) {
            commands_.On(id, [session, id] { session->StatusCommand(id); });
        }
    }
    commands_.On(cmd::kExit, [this] { close(); })
        .On(cmd::kHelpWhatsItDo, help(&V::whatsItDoUrl))
        .On(cmd::kHelpUpdates, help(&V::updatesUrl))
        .On(cmd::kHelpFaq, help(&V::faqUrl))
        .On(cmd::kHelpServiceStatus, help(&V::serviceStatusUrl))
        .On(cmd::kHelpWebPage, help(&V::webPageUrl))
        .On(cmd::kHelpUserGuide, help(&V::userGuideUrl))
        .On(cmd::kHelpNewUserPage, help(&V::newUserPageUrl))
        .On(cmd::kHelpBugReport, help(&V::bugReportUrl));
    BuildContactListCommands();
}

void CMainFrame::BuildContactListCommands() {
    commands_.On(
        cmd::kViewBlockList, [this] { ShowBlockList(); },
        [this] { return app_.GetBlockStore() != nullptr && app_.UserSettings() != nullptr; });
    CContactListWindow* list = view_->ContactList();
    if (list == nullptr) {
        return;
    }
    commands_.On(cmd::kViewGroups, [list] { list->SetGroupsEnabled(!list->GroupsEnabled()); })
        .On(cmd::kViewOnlineOnly, [list] { list->SetOnlineOnly(!list->OnlineOnly()); });
    // The contact list's own commands reach it from the menus too.
    for (int id : {cmd::kAddContact, cmd::kAddGroup, cmd::kRemoveFromList, cmd::kBlockContact,
                   cmd::kCallContact}) {
        commands_.On(
            id, [list, id] { list->OnCommand(id); },
            [list, id] { return list->Commands().IsEnabled(id); });
    }
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setData(id);
    action->setEnabled(commands_.IsEnabled(id));
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    actions_[id] = action;
    return action;
}

void CMainFrame::BuildMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    AddCommand(file, cmd::kConnect, "&Connect");
    AddCommand(file, cmd::kLoginAsNewUser, "Login as &New User");
    AddCommand(file, cmd::kDisconnect, "&Disconnect");
    AddCommand(file, cmd::kLogoff, "&Logoff");
    if (view_->GetSession() != nullptr && view_->GetSession()->VoiceServerSelectable()) {
        // The fourth item of the File menu.
        QAction* select = new QAction("&Select Voice Server", file);
        file->insertAction(file->actions().value(3), select);
        connect(select, &QAction::triggered, this, [this] { OnCommand(cmd::kSelectVoiceServer); });
        actions_[cmd::kSelectVoiceServer] = select;
    }
    file->addSeparator();
    statusMenu_ = file->addMenu("&Status: Normal");
    AddCommand(statusMenu_, cmd::kStatusNormal, "Normal");
    AddCommand(statusMenu_, cmd::kStatusAway, "Away");
    AddCommand(statusMenu_, cmd::kStatusDoNotDisturb, "Do Not Disturb");
    AddCommand(statusMenu_, cmd::kStatusOccupied, "Occupied");
    AddCommand(statusMenu_, cmd::kStatusAvailableForChat, "Available For Chat");
    AddCommand(statusMenu_, cmd::kStatusInvisible, "Invisible");
    file->addSeparator();
    AddCommand(file, cmd::kExit, "E&xit");
    connect(file, &QMenu::aboutToShow, this, &CMainFrame::RefreshEnabledStates);

    QMenu* view = menuBar()->addMenu("&View");
    QAction* messages = view->addAction("System &Messages");
    connect(messages, &QAction::triggered, this, &CMainFrame::ShowNotices);
    AddCommand(view, cmd::kViewBlockList, "Block List");
    if (CContactListWindow* list = view_->ContactList()) {
        view->addSeparator();
        QAction* groups = AddCommand(view, cmd::kViewGroups, "Show &Groups");
        QAction* online = AddCommand(view, cmd::kViewOnlineOnly, "Show &Online Contacts Only");
        groups->setCheckable(true);
        online->setCheckable(true);
        connect(view, &QMenu::aboutToShow, this, [this, list, groups, online] {
            groups->setChecked(list->GroupsEnabled());
            online->setChecked(list->OnlineOnly());
            RefreshEnabledStates();
        });
    }

    QMenu* helpMenu = menuBar()->addMenu("&Help");
    if (const Customization* custom = app_.GetCustomization()) {
        const Customization::Values& v = custom->Get();
        AddCommand(helpMenu, cmd::kHelpWhatsItDo, Q(v.whatsItDoAlias));
        AddCommand(helpMenu, cmd::kHelpUpdates, Q(v.updatesAlias));
        AddCommand(helpMenu, cmd::kHelpFaq, Q(v.faqAlias));
        AddCommand(helpMenu, cmd::kHelpServiceStatus, Q(v.serviceStatusAlias));
        helpMenu->addSeparator();
        AddCommand(helpMenu, cmd::kHelpWebPage, Q(v.webPageAlias));
        AddCommand(helpMenu, cmd::kHelpUserGuide, Q(v.userGuideAlias));
        AddCommand(helpMenu, cmd::kHelpNewUserPage, Q(v.newUserPageAlias));
        AddCommand(helpMenu, cmd::kHelpBugReport, Q(v.bugReportAlias));
    }
}

void CMainFrame::RefreshEnabledStates() {
    for (auto& [id, action] : actions_) {
        action->setEnabled(commands_.IsEnabled(id));
    }
}

QAction* CMainFrame::ActionFor(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

bool CMainFrame::OnCommand(int id) {
    return commands_.Dispatch(id);
}

void CMainFrame::OpenHelpPage(const std::string& url) {
    screen_.OpenUrl(url);
}

void CMainFrame::Place() {
    IniFile* machine = app_.MachineSettings();
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect work = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int menu = menuBar()->sizeHint().height();
    // Wide enough for the menu bar.
    const int width = std::max(180, menuBar()->sizeHint().width() + 8);
    // Tall enough for the panes: never less than what the view's controls need, or the window
    // would grow past the bottom of the work area when it is first shown.
    layout()->activate();
    const int minHeight = std::max(menu + 380, minimumSizeHint().height());
    int left = machine ? machine->GetInt(kWindowRect, "Left", work.right() - width) : 0;
    int top = machine ? machine->GetInt(kWindowRect, "Top", work.bottom() - minHeight) : 0;
    int height = machine ? machine->GetInt(kWindowRect, "Height", minHeight) : minHeight;
    if (left > work.right()) {
        left = work.right() - width;
    } else if (left < work.left()) {
        left = work.left();
    }
    if (top >= work.bottom()) {
        top = work.bottom() - minHeight;
    } else if (top < work.top()) {
        top = work.top();
    }
    height = std::clamp(height, minHeight, std::max(minHeight, work.bottom() - top));
    setGeometry(left, top, width, height);
    if (machine != nullptr) {
        machine->WriteInt(kWindowRect, "Expanded", 0);
        machine->WriteInt(kWindowRect, "ExpandOffset", 0);
    }
    placed_ = true;
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    IniFile* machine = app_.MachineSettings();
    if (!placed_ || machine == nullptr || isMinimized() || isMaximized() || !isVisible()) {
        return;
    }
    machine->WriteInt(kWindowRect, "Top", geometry().top());
    machine->WriteInt(kWindowRect, "Left", geometry().left());
    machine->WriteInt(kWindowRect, "ExpandOffset", 0);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    IniFile* machine = app_.MachineSettings();
    if (placed_ && machine != nullptr && !isMinimized() && isVisible()) {
        machine->WriteInt(kWindowRect, "Height", geometry().height());
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // Without the notification-area icon there is nowhere to hide to: closing ends the program.
    event->accept();
}

}  // namespace qv
