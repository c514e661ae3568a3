#include "ui/CTrayIcon.h"

#include "app/CommandIds.h"
#include "ui/StatusIcons.h"

namespace qv {

namespace {
QString Q(const std::string& s) {
    return QString::fromUtf8(s.c_str());
}
}  // namespace

CTrayIcon::CTrayIcon(Parts parts, QObject* parent)
    : QObject(parent), parts_(std::move(parts)), normal_(ProgramIcon()) {
    setObjectName("TrayIcon");
    icon_.setIcon(normal_);
    icon_.setToolTip("Quorvane");
    menu_.setObjectName("TrayMenu");
    // The menu follows the oldest alert: built when it opens.
    connect(&menu_, &QMenu::aboutToShow, this, &CTrayIcon::BuildMenu);
    BuildMenu();
    icon_.setContextMenu(&menu_);
    connect(&icon_, &QSystemTrayIcon::activated, this, &CTrayIcon::Activate);
    SetAlerts(parts_.alerts);
}

void CTrayIcon::SetAlerts(AlertQueue* alerts) {
    parts_.alerts = alerts;
    if (alerts != nullptr) {
        std::weak_ptr<bool> alive = alive_;
        alerts->AddObserver([this, alive] {
            if (alive.lock()) {
                RefreshTip();
            }
        });
    }
    RefreshTip();
}

CTrayIcon::~CTrayIcon() {
    alive_.reset();
    icon_.setContextMenu(nullptr);
}

bool CTrayIcon::Available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CTrayIcon::Show() {
    icon_.show();
}

TrayMenu CTrayIcon::CurrentMenu() const {
    std::optional<PendingAlert> oldest;
    if (parts_.alerts != nullptr) {
        oldest = parts_.alerts->OldestPending();
    }
    return BuildTrayMenu(oldest, parts_.imLabel, parts_.frameVisible && parts_.frameVisible(),
                         parts_.managerState ? parts_.managerState() : -1,
                         parts_.statusText ? parts_.statusText() : std::string("&Status"));
}

QMenu* CTrayIcon::Menu() {
    BuildMenu();
    return &menu_;
}

void CTrayIcon::BuildMenu() {
    menu_.clear();
    const TrayMenu model = CurrentMenu();
    menu_.setProperty("resource", model.resource);
    for (const TrayMenuItem& item : model.items) {
        switch (item.type) {
            case TrayMenuItem::Type::Separator:
                menu_.addSeparator();
                break;
            case TrayMenuItem::Type::StatusMenu: {
                QMenu* status = menu_.addMenu(Q(item.text));
                status->setObjectName("TrayStatusMenu");
                if (parts_.fillStatusMenu) {
                    parts_.fillStatusMenu(status);
                }
                break;
            }
            case TrayMenuItem::Type::Command: {
                QAction* action = menu_.addAction(Q(item.text));
                action->setData(item.id);
                action->setEnabled(item.enabled);
                const int id = item.id;
                connect(action, &QAction::triggered, this, [this, id] {
                    if (parts_.command) {
                        parts_.command(id);
                    }
                });
                break;
            }
        }
    }
}

void CTrayIcon::RefreshTip() {
    std::optional<PendingAlert> oldest;
    if (parts_.alerts != nullptr) {
        oldest = parts_.alerts->OldestPending();
    }
    icon_.setToolTip(Q(TrayTip(oldest)));
    if (!oldest && alertShown_) {
        ShowAlertIcon(alertIcon_, false);
    }
}

void CTrayIcon::Activate(QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::DoubleClick && reason != QSystemTrayIcon::Trigger) {
        return;
    }
    if (!parts_.command) {
        return;
    }
    const bool waiting = parts_.alerts != nullptr && parts_.alerts->OldestPending().has_value();
    if (waiting) {
        parts_.command(kTrayHandleAlert);
    } else if (!(parts_.frameVisible && parts_.frameVisible())) {
        parts_.command(cmd::kTrayShow);
    }
}

void CTrayIcon::ShowAlertIcon(std::int32_t icon, bool on) {
    if (on == alertShown_ && icon == alertIcon_) {
        return;
    }
    alertShown_ = on;
    alertIcon_ = icon;
    icon_.setIcon(on ? AlertIcon(icon) : normal_);
}

void CTrayIcon::SetTip(const std::string& tip) {
    icon_.setToolTip(Q(tip.empty() ? std::string("Quorvane") : tip));
}

}  // namespace qv
