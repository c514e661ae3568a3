#include "ui/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include "app/CQuorvaneApp.h"
#include "app/CommandIds.h"
#include "calls/CallManager.h"
#include "engine/CSonaroManager.h"
#include "login/QtSessionUi.h"
#include "login/Session.h"
#include "messaging/AlertQueue.h"
#include "messaging/CSystemNoticeWindow.h"
#include "messaging/SystemNoticeList.h"
#include "messaging/SystemNotices.h"
#include "platform/Registry.h"
#include "platform/Screen.h"
#include "settings/Customization.h"
#include "settings/IniFile.h"
#include "settings/LoginKey.h"
#include "settings/Options.h"
#include "settings/RegistryKey.h"
#include "stores/BlockStore.h"
#include "stores/CBlockListWindow.h"
#include "stores/CContactListWindow.h"
#include "stores/CEventLogWindow.h"
#include "stores/ContactListCommands.h"
#include "stores/EventLog.h"
#include "ui/CActiveCallPane.h"
#include "ui/CQuorvaneView.h"
#include "ui/CTipDialog.h"
#include "ui/CTrayIcon.h"
#include "ui/PlacementSaver.h"
#include "ui/ProgramOptions.h"
#include "ui/SetupWizard.h"
#include "ui/StatusIcons.h"
#include "ui/TipOfTheDay.h"

namespace qv {

namespace {

constexpr const char* kWindowRect = "WindowRect";

QString Q(const std::string& s) {
    return QString::fromUtf8(s.c_str());
}

}  // namespace

CMainFrame::CMainFrame(CQuorvaneApp& app, Screen& screen)
    : app_(app), screen_(screen), view_(nullptr) {
    setObjectName("QuorvaneMainFrame");
    setWindowTitle("Quorvane");
    setWindowIcon(ProgramIcon());
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    // The view, and beside it the second column that expanding shows.
    auto* client = new QWidget(this);
    client->setObjectName("FrameClient");
    auto* columns = new QHBoxLayout(client);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    view_ = new CQuorvaneView(app, screen, client);
    columns->addWidget(view_, 1);
    secondColumn_ = new QWidget(client);
    secondColumn_->setObjectName("SecondColumn");
    secondColumn_->setAutoFillBackground(true);
    QPalette p = secondColumn_->palette();
    p.setColor(QPalette::Window, QColor(236, 242, 250));
    secondColumn_->setPalette(p);
    auto* second = new QVBoxLayout(secondColumn_);
    const Customization* custom = app_.GetCustomization();
    auto* heading = new QLabel(Q(custom != nullptr ? custom->Get().lxName : "Quorvane on the Web"),
                               secondColumn_);
    heading->setAlignment(Qt::AlignHCenter);
    heading->setStyleSheet("font-weight: bold; color: #1e5aaa;");
    second->addWidget(heading);
    second->addStretch(1);
    secondColumn_->hide();
    columns->addWidget(secondColumn_, 1);
    setCentralWidget(client);

    if (IniFile* machine = app_.MachineSettings()) {
        saver_ = std::make_unique<PlacementSaver>(*machine, app_.Scheduler());
    }
    if (Registry* registry = app_.GetRegistry()) {
        tipKey_ = std::make_unique<RegistryKey>(*registry);
        tipKey_->Create(Hive::CurrentUser, TipOfTheDay::kProfileKey);
        // tips.txt is looked for in the current folder, which is the program folder.
        tips_ = std::make_unique<TipOfTheDay>(*tipKey_, app_.ProgramFolder() + "tips.txt");
    }

    programOptions_ = std::make_unique<ProgramOptions>(app_, *this, screen_);
    BuildCommands();
    BuildMenus();
    MakeTray();
    // The tray follows the waiting alerts, and the alerts blink it.
    app_.SetTraySurface(UseAlerts(app_.GetAlertQueue()));
    layout()->activate();
    collapsedMinimum_ = minimumSizeHint().width();
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
        ui->onTipOfTheDay = [this] { ShowTipOfTheDay(true); };
        ui->onCustomMessageChosen = [this](const std::string& key, const std::string& message,
                                           bool noPrompt) {
            programOptions_->CustomMessageChosen(key, message, noPrompt);
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
    if (IniFile* machine = app_.MachineSettings()) {
        if (machine->GetInt(kWindowRect, "QuorvaneOnTop", 0) != 0) {
            SetKeepOnTop(true);
        }
    }
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive) {
                    ApplicationDeactivated();
                }
            });
}

CMainFrame::~CMainFrame() {
    FlushPlacement();
    app_.SetTraySurface(nullptr);
    if (SystemNoticeList* notices = app_.Notices()) {
        notices->SetListener({});
    }
    if (CSonaroManager* manager = app_.SonaroManager()) {
        manager->Unsubscribe<engine_event::ConnectionState>(&CMainFrame::ConnectionStateThunk,
                                                            this);
    }
    if (QtSessionUi* ui = view_->GetSessionUi()) {
        ui->onTipOfTheDay = nullptr;
        ui->onCustomMessageChosen = nullptr;
    }
    delete tipDialog_.data();
}

void CMainFrame::MakeTray() {
    CTrayIcon::Parts parts;
    if (const Customization* custom = app_.GetCustomization()) {
        parts.imLabel = custom->Get().imLabel;
    }
    parts.frameVisible = [this] { return isVisible() && !isMinimized(); };
    parts.managerState = [this] {
        CSonaroManager* manager = app_.SonaroManager();
        return manager != nullptr ? manager->State() : -1;
    };
    parts.statusText = [this] {
        return statusMenu_ != nullptr ? statusMenu_->title().toStdString() : std::string();
    };
    parts.fillStatusMenu = [this](QMenu* menu) {
        if (statusMenu_ == nullptr) {
            return;
        }
        for (QAction* item : statusMenu_->actions()) {
            const int id = item->data().toInt();
            QAction* copy = menu->addAction(item->text());
            copy->setEnabled(commands_.IsEnabled(id));
            connect(copy, &QAction::triggered, this, [this, id] { OnCommand(id); });
        }
    };
    parts.command = [this](int id) { OnCommand(id); };
    tray_ = std::make_unique<CTrayIcon>(std::move(parts));
    if (CTrayIcon::Available()) {
        tray_->Show();
    }
}

TraySurface* CMainFrame::UseAlerts(AlertQueue* alerts) {
    alerts_ = alerts;
    tray_->SetAlerts(alerts);
    return alerts != nullptr ? tray_.get() : nullptr;
}

bool CMainFrame::CanHideToTray() const {
    return CTrayIcon::Available();
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

CEventLogWindow* CMainFrame::ShowEventLog(const std::string& userId) {
    EventLog* log = app_.GetEventLog();
    if (log == nullptr) {
        return nullptr;
    }
    // The caption names the logged-in user; before anyone logged in the log is everyone's.
    std::string nickname;
    std::uint32_t id = 0;
    if (RegistryKey* key = app_.LoginKey();
        key != nullptr && key->GetDword(login_key::kQuorvaneId, id) && id != 0) {
        key->GetString(login_key::kNickName, nickname);
    }
    if (!eventLogWindow_) {
        eventLogWindow_ = new CEventLogWindow(*log, app_.UserSettings(), screen_, nickname, this);
    }
    eventLogWindow_->SetNickname(nickname);
    if (!userId.empty()) {
        eventLogWindow_->ShowUser(userId);
    }
    eventLogWindow_->show();
    eventLogWindow_->raise();
    eventLogWindow_->activateWindow();
    return eventLogWindow_;
}

CTipDialog* CMainFrame::ShowTipOfTheDay(bool afterLogin) {
    if (!tips_) {
        return nullptr;
    }
    if (afterLogin) {
        const Customization* custom = app_.GetCustomization();
        if ((custom != nullptr && custom->Get().disableTipOfTheDay != 0) || !isVisible() ||
            !tips_->ShowAtStartUp()) {
            return nullptr;
        }
    }
    if (!tipDialog_) {
        tipDialog_ = new CTipDialog(*tips_, this);
    }
    tipDialog_->show();
    tipDialog_->raise();
    return tipDialog_;
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

bool CMainFrame::CallActive() const {
    CallManager* calls = app_.GetCallManager();
    return calls != nullptr && calls->Active() != nullptr;
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
    auto noCall = [this] { return !CallActive(); };
    commands_.On(cmd::kExit, [this] { ExitCommand(); })
        .On(cmd::kTrayExit, [this] { ExitCommand(); })
        .On(cmd::kTrayShow, [this] { ToggleShown(); })
        .On(kTrayHandleAlert, [this] { HandleOldestAlert(); })
        .On(cmd::kKeepWindowOnTop, [this] { SetKeepOnTop(!onTop_); })
        .On(kExpandCommand, [this] { SetExpanded(!expanded_); })
        .On(kTipOfTheDayCommand, [this] { ShowTipOfTheDay(false); })
        .On(
            kEventLogCommand, [this] { ShowEventLog(); },
            [this] { return app_.GetEventLog() != nullptr; })
        .On(
            cmd::kViewForums, [this] { view_->ShowForumList(); },
            [this] { return view_->ForumList() != nullptr; })
        .On(
            cmd::kSoundSetupWizard, [this] { RunWizard(setup_wizard::kSoundSetup); }, noCall)
        .On(
            cmd::kMicTestWizard, [this] { RunWizard(setup_wizard::kMicTest); }, noCall)
        .On(cmd::kInternetTestWizard, [this] { RunWizard(setup_wizard::kInternetTest); })
        .On(ProgramOptions::kCommand, [this] { programOptions_->Open(); })
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
    AddCommand(view, kEventLogCommand, "Event &Log");
    AddCommand(view, cmd::kViewForums, "&Forums");
    QAction* groups = nullptr;
    QAction* online = nullptr;
    if (view_->ContactList() != nullptr) {
        view->addSeparator();
        groups = AddCommand(view, cmd::kViewGroups, "Show &Groups");
        online = AddCommand(view, cmd::kViewOnlineOnly, "Show &Online Contacts Only");
        groups->setCheckable(true);
        online->setCheckable(true);
    }
    view->addSeparator();
    // Qt offers no system menu to add to: these live in the View menu.
    QAction* expand = AddCommand(view, kExpandCommand, "&Expanded");
    expand->setCheckable(true);
    QAction* onTop = AddCommand(view, cmd::kKeepWindowOnTop, "Keep Window On Top");
    onTop->setCheckable(true);
    connect(view, &QMenu::aboutToShow, this, [this, groups, online, expand, onTop] {
        if (CContactListWindow* list = view_->ContactList(); list && groups && online) {
            groups->setChecked(list->GroupsEnabled());
            online->setChecked(list->OnlineOnly());
        }
        expand->setChecked(expanded_);
        onTop->setChecked(onTop_);
        RefreshEnabledStates();
    });

    QMenu* tools = menuBar()->addMenu("&Tools");
    AddCommand(tools, cmd::kSoundSetupWizard, "&Sound Setup Wizard");
    AddCommand(tools, cmd::kMicTestWizard, "&Mic Test Wizard");
    AddCommand(tools, cmd::kInternetTestWizard, "&Internet Test Wizard");
    tools->addSeparator();
    AddCommand(tools, ProgramOptions::kCommand, "&Options...");
    connect(tools, &QMenu::aboutToShow, this, &CMainFrame::RefreshEnabledStates);

    helpMenu_ = menuBar()->addMenu("&Help");
    if (const Customization* custom = app_.GetCustomization()) {
        const Customization::Values& v = custom->Get();
        AddCommand(helpMenu_, cmd::kHelpWhatsItDo, Q(v.whatsItDoAlias));
        AddCommand(helpMenu_, cmd::kHelpUpdates, Q(v.updatesAlias));
        AddCommand(helpMenu_, cmd::kHelpFaq, Q(v.faqAlias));
        AddCommand(helpMenu_, cmd::kHelpServiceStatus, Q(v.serviceStatusAlias));
        helpMenu_->addSeparator();
        AddCommand(helpMenu_, cmd::kHelpWebPage, Q(v.webPageAlias));
        AddCommand(helpMenu_, cmd::kHelpUserGuide, Q(v.userGuideAlias));
        AddCommand(helpMenu_, cmd::kHelpNewUserPage, Q(v.newUserPageAlias));
        AddCommand(helpMenu_, cmd::kHelpBugReport, Q(v.bugReportAlias));
    }
    // The tip of the day is offered unless the partner turned it off.
    auto ensureTip = [this] {
        const Customization* custom = app_.GetCustomization();
        const bool wanted = custom == nullptr || custom->Get().disableTipOfTheDay == 0;
        if (wanted && tipAction_ == nullptr) {
            helpMenu_->addSeparator();
            tipAction_ = AddCommand(helpMenu_, kTipOfTheDayCommand, "&Tip of the Day...");
        }
    };
    ensureTip();
    connect(helpMenu_, &QMenu::aboutToShow, this, ensureTip);
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

void CMainFrame::RunWizard(int argument) {
    CSonaroManager* manager = app_.SonaroManager();
    RunSetupWizard(
        argument, app_.ProgramFolder(),
        [manager] {
            if (manager != nullptr) {
                manager->SetStandby(true);
            }
        },
        screen_);
}

// ---- Placement ----------------------------------------------------------------------------

FrameMetrics CMainFrame::Metrics() const {
    FrameMetrics m;
    // The window manager's frame, once it has one; before that (and on the offscreen platform)
    // the frame is not known and counts as none.
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    m.fx = std::max(0, (outer.width() - inner.width()) / 2);
    m.fy = m.fx;
    m.caption = std::max(0, outer.height() - inner.height() - 2 * m.fy);
    m.menu = menuBar()->sizeHint().height();
    // The view's controls and the menu bar need more room than the classic sizes give.
    m.columnWidth =
        std::max({m.columnWidth, menuBar()->sizeHint().width() + 8, collapsedMinimum_, 180});
    m.expandedWidth = std::max(m.expandedWidth, 2 * m.columnWidth);
    if (secondColumn_->isVisibleTo(this)) {
        m.expandedWidth = std::max(m.expandedWidth, minimumSizeHint().width());
    }
    const int below = centralWidget()->minimumSizeHint().height();
    m.minClientHeight = std::max(m.minClientHeight, below);
    m.minTrackHeight = std::max(m.minTrackHeight, below);
    return m;
}

void CMainFrame::Place() {
    IniFile* machine = app_.MachineSettings();
    SetExpanded(machine != nullptr && machine->GetInt(kWindowRect, "Expanded", 0) != 0);
    firstStored_ = usedStored_;
    placeAgainOnShow_ = true;
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!placeAgainOnShow_) {
        return;
    }
    placeAgainOnShow_ = false;
    // The window system's frame is known only now: placed without it, the window would reach
    // past the edge by the frame's width.
    const FrameMetrics m = Metrics();
    if (m.fx != usedMetrics_.fx || m.caption != usedMetrics_.caption) {
        Apply(expanded_, firstStored_);
    }
}

void CMainFrame::SetExpanded(bool expanded) {
    IniFile* machine = app_.MachineSettings();
    FlushPlacement();
    StoredPlacement stored;
    if (machine != nullptr) {
        machine->WriteInt(kWindowRect, "Expanded", expanded ? 1 : 0);
        auto read = [machine](const char* key) -> std::optional<int> {
            if (machine->GetString(kWindowRect, key, "").empty()) {
                return std::nullopt;
            }
            return machine->GetInt(kWindowRect, key, 0);
        };
        stored.left = read("Left");
        stored.top = read("Top");
        stored.height = read("Height");
        stored.expandOffset = machine->GetInt(kWindowRect, "ExpandOffset", 0);
    }
    Apply(expanded, stored);
}

void CMainFrame::Apply(bool expanded, const StoredPlacement& stored) {
    IniFile* machine = app_.MachineSettings();
    expanded_ = expanded;
    usedStored_ = stored;
    secondColumn_->setVisible(expanded);
    layout()->activate();
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect work = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    FrameMetrics m = Metrics();
    usedMetrics_ = m;
    const WorkArea area{work.left(), work.top(), work.left() + work.width(),
                        work.top() + work.height()};
    FramePlacement p;
    applying_ = true;
    // Twice at most: when the controls turn out to need more room than asked for, the window
    // is placed again with that width, so its right edge still stays on the work area.
    for (int pass = 0; pass < 2; ++pass) {
        p = PlaceFrame(area, m, stored, expanded);
        const int clientWidth = p.width - 2 * m.fx;
        const int clientHeight = p.height - m.caption - 2 * m.fy;
        // The side edges stay where they are; the height may not go below what the panes need.
        setMinimumWidth(0);
        setMaximumWidth(QWIDGETSIZE_MAX);
        setMinimumHeight(MinimumTrackHeight(m) - m.caption - 2 * m.fy);
        resize(clientWidth, clientHeight);
        const int extra = width() - clientWidth;
        if (extra <= 0 || pass == 1) {
            setFixedWidth(width());
            move(p.x, p.y);
            break;
        }
        (expanded ? m.expandedWidth : m.columnWidth) += extra;
    }
    applying_ = false;
    if (machine != nullptr) {
        // Where the window is now, also on the first placement: collapsing later adds the
        // offset to this Left.
        machine->WriteInt(kWindowRect, "Left", p.x);
        machine->WriteInt(kWindowRect, "Top", p.y);
        machine->WriteInt(kWindowRect, "ExpandOffset", p.expandOffset);
    }
    placed_ = true;
}

void CMainFrame::FlushPlacement() {
    if (saver_) {
        saver_->Flush();
    }
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (!placed_ || applying_ || !saver_ || isMinimized() || isMaximized() || !isVisible()) {
        return;
    }
    saver_->Moved(pos().x(), pos().y());
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (placed_ && !applying_ && saver_ && !isMinimized() && isVisible()) {
        saver_->Sized(frameGeometry().height());
    }
}

// ---- Keep on top, minimize, close, exit ----------------------------------------------------

void CMainFrame::SetKeepOnTop(bool on) {
    onTop_ = on;
    if (QAction* action = ActionFor(cmd::kKeepWindowOnTop)) {
        action->setChecked(on);
    }
    const bool visible = isVisible();
    const QPoint where = pos();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    // Changing the flags hides the window: put it back where it was.
    if (visible) {
        applying_ = true;
        move(where);
        show();
        applying_ = false;
    }
    if (IniFile* machine = app_.MachineSettings()) {
        machine->WriteInt(kWindowRect, "QuorvaneOnTop", on ? 1 : 0);
    }
}

bool CMainFrame::ConfirmEndConversations() {
    CallManager* calls = app_.GetCallManager();
    if (calls == nullptr || calls->IsIdle()) {
        return true;
    }
    return screen_.MessageBox(kWarningText, kWarningCaption,
                              mb::kOkCancel | mb::kIconExclamation) == mb::kIdOk;
}

void CMainFrame::EndConversations() {
    if (CallManager* calls = app_.GetCallManager()) {
        calls->EndActive(false);
        calls->EndSecond(CallManager::kDeclined, "");
    }
}

void CMainFrame::ExitCommand() {
    if (!ConfirmEndConversations()) {
        return;
    }
    EndConversations();
    closing_ = true;
    close();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    FlushPlacement();
    if (!closing_) {
        if (!ConfirmEndConversations()) {
            event->ignore();
            return;
        }
        EndConversations();
        const Options* options = app_.GetOptions();
        if (options != nullptr && options->MinimizeOnClose() == 0) {
            closing_ = true;
        }
    }
    if (closing_) {
        event->accept();
        // The window may have been hidden to the tray: the program ends with it either way.
        emit Closed();
        return;
    }
    event->ignore();
    HideToTray();
}

void CMainFrame::HideToTray() {
    FlushPlacement();
    if (CanHideToTray()) {
        hide();
    } else {
        // Nowhere to come back from: keep it on the task bar instead.
        showMinimized();
    }
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        screen_.FlashMainWindow(false);
    } else if (event->type() == QEvent::WindowStateChange && isMinimized() && !minimizing_) {
        // After the state change has been handled: hiding from inside it confuses some window
        // managers.
        QTimer::singleShot(0, this, [this] { Minimized(); });
    }
}

void CMainFrame::Minimized() {
    if (!isMinimized()) {
        return;
    }
    const Options* options = app_.GetOptions();
    if (options != nullptr && options->CantTalkWhileMinimized() != 0) {
        if (!ConfirmEndConversations()) {
            showNormal();
            return;
        }
        EndConversations();
    }
    if (CanHideToTray()) {
        minimizing_ = true;
        hide();
        minimizing_ = false;
    }
}

void CMainFrame::ToggleShown() {
    if (isVisible() && !isMinimized()) {
        HideToTray();
        return;
    }
    showNormal();
    raise();
    activateWindow();
}

void CMainFrame::HandleOldestAlert() {
    if (alerts_ == nullptr) {
        return;
    }
    const std::optional<PendingAlert> oldest = alerts_->OldestPending();
    if (!oldest) {
        return;
    }
    if (oldest->kind == notice_kind::kIncomingCall) {
        // Answering is what the ringing call's pane offers.
        if (CallManager* calls = app_.GetCallManager(); calls != nullptr && calls->IsRinging()) {
            showNormal();
            raise();
            calls->PickUp();
            return;
        }
    }
    alerts_->OpenOldest();
}

void CMainFrame::ApplicationDeactivated() {
    if (CallActive()) {
        view_->ActivePane()->TalkStop();
    }
}

}  // namespace qv
