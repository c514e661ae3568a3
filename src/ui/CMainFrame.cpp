#include "ui/CMainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>

#include "app/CQuorvaneApp.h"
#include "app/CommandIds.h"
#include "platform/Screen.h"
#include "settings/Customization.h"
#include "settings/IniFile.h"
#include "ui/CQuorvaneView.h"

namespace qv {

namespace {

constexpr const char* kWindowRect = "WindowRect";

QString Q(const std::string& s) {
    return QString::fromUtf8(s.c_str());
}

}  // namespace

CMainFrame::CMainFrame(CQuorvaneApp& app, Screen& screen)
    : app_(app), screen_(screen), view_(new CQuorvaneView(app, this)) {
    setObjectName("QuorvaneMainFrame");
    setWindowTitle("Quorvane");
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    setCentralWidget(view_);
    BuildCommands();
    BuildMenus();
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
    // The session commands join this map with the connection and login logic.
    commands_.On(cmd::kExit, [this] { close(); })
        .On(cmd::kHelpWhatsItDo, help(&V::whatsItDoUrl))
        .On(cmd::kHelpUpdates, help(&V::updatesUrl))
        .On(cmd::kHelpFaq, help(&V::faqUrl))
        .On(cmd::kHelpServiceStatus, help(&V::serviceStatusUrl))
        .On(cmd::kHelpWebPage, help(&V::webPageUrl))
        .On(cmd::kHelpUserGuide, help(&V::userGuideUrl))
        .On(cmd::kHelpNewUserPage, help(&V::newUserPageUrl))
        .On(cmd::kHelpBugReport, help(&V::bugReportUrl));
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
    file->addSeparator();
    AddCommand(file, cmd::kExit, "E&xit");
    connect(file, &QMenu::aboutToShow, this, &CMainFrame::RefreshEnabledStates);

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
    // Wide enough for the menu bar; tall enough for the panes.
    const int width = std::max(180, menuBar()->sizeHint().width() + 8);
    const int minHeight = menu + 380;
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
