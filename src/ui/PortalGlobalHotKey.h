#pragma once

// The global push-to-talk key through the desktop portal's global shortcuts
// (org.freedesktop.portal.GlobalShortcuts over D-Bus): where no X11 grab reaches other programs
// (Wayland), the desktop binds the key itself, with our combination as its preferred trigger, and
// reports press and release. The portal's requests answer later through Response signals, so
// registration completes from the event loop.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <string>

#include "platform/GlobalHotKey.h"

namespace qv {

// One shortcut of the portal's a(sa{sv}) lists.
struct PortalShortcut {
    QString id;
    QVariantMap options;
};
using PortalShortcutList = QList<PortalShortcut>;

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);
// Registers the types with Qt's D-Bus marshalling (once is enough; more is harmless).
void RegisterPortalTypes();

// The portal's trigger text of a combination: "SHIFT+backslash".
QString PortalTrigger(const HotKeyCombination& combination);

class PortalGlobalHotKey final : public QObject, public GlobalHotKey {
    Q_OBJECT
  public:
    static constexpr const char* kService = "org.freedesktop.portal.Desktop";
    static constexpr const char* kPath = "/org/freedesktop/portal/desktop";
    static constexpr const char* kInterface = "org.freedesktop.portal.GlobalShortcuts";
    static constexpr const char* kShortcutId = "push-to-talk";

    explicit PortalGlobalHotKey(QDBusConnection bus);
    ~PortalGlobalHotKey() override;

    bool Register(const HotKeyCombination& combination) override;
    void Unregister() override;
    bool Registered() const override { return bound_; }
    std::string Mechanism() const override { return "Desktop portal global shortcuts"; }
    std::string StatusText() const override { return status_; }
    bool DesktopBindsKey() const override { return true; }
    // The desktop's own description of the key it bound ("" until bound).
    std::string Binding() const { return binding_.toStdString(); }

  private slots:
    void OnSessionResponse(uint response, const QVariantMap& results);
    void OnBindResponse(uint response, const QVariantMap& results);
    void OnActivated(const QDBusMessage& message);
    void OnDeactivated(const QDBusMessage& message);

  private:
    QString RequestPath(const QString& token) const;
    bool IsOurs(const QDBusMessage& message) const;
    bool WatchRequest(const QString& path, const char* slot);
    void Bind();
    void CallAsync(const QDBusMessage& call, const char* failure);
    void Fail(const QString& why);

    QDBusConnection bus_;
    QString session_;
    QString pendingRequest_;
    HotKeyCombination wanted_;
    bool wantBound_ = false;
    bool bound_ = false;
    QString binding_;
    std::string status_;
    int counter_ = 0;
};

// Null when the bus has no portal.
std::unique_ptr<PortalGlobalHotKey> MakePortalGlobalHotKey(QDBusConnection bus);

}  // namespace qv

Q_DECLARE_METATYPE(qv::PortalShortcut)
Q_DECLARE_METATYPE(qv::PortalShortcutList)
