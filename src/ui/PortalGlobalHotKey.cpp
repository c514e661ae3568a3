#include "ui/PortalGlobalHotKey.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>

namespace qv {

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.options;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.options;
    argument.endStructure();
    return argument;
}

void RegisterPortalTypes() {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<PortalShortcutList>();
}

QString PortalTrigger(const HotKeyCombination& combination) {
    QString trigger;
    if (combination.ctrl) {
        trigger += "CTRL+";
    }
    if (combination.alt) {
        trigger += "ALT+";
    }
    if (combination.shift) {
        trigger += "SHIFT+";
    }
    return trigger + QString::fromStdString(KeySymName(combination.keysym));
}

PortalGlobalHotKey::PortalGlobalHotKey(QDBusConnection bus) : bus_(std::move(bus)) {
    RegisterPortalTypes();
    status_ = "Global Push To Talk is off.";
    bus_.connect(kService, kPath, kInterface, "Activated", this, SLOT(OnActivated(QDBusMessage)));
    bus_.connect(kService, kPath, kInterface, "Deactivated", this,
                 SLOT(OnDeactivated(QDBusMessage)));
}

PortalGlobalHotKey::~PortalGlobalHotKey() {
    Unregister();
}

QString PortalGlobalHotKey::RequestPath(const QString& token) const {
    // The portal names a request by the caller's unique name and the token it was given.
    QString sender = bus_.baseService().mid(1);
    sender.replace('.', '_');
    return QString("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

bool PortalGlobalHotKey::WatchRequest(const QString& path, const char* slot) {
    if (!pendingRequest_.isEmpty()) {
        bus_.disconnect(kService, pendingRequest_, "org.freedesktop.portal.Request", "Response",
                        this, nullptr);
    }
    pendingRequest_ = path;
    return bus_.connect(kService, path, "org.freedesktop.portal.Request", "Response", this, slot);
}

void PortalGlobalHotKey::Fail(const QString& why) {
    bound_ = false;
    status_ = "Desktop portal global shortcuts: " + why.toStdString();
}

bool PortalGlobalHotKey::Register(const HotKeyCombination& combination) {
    wanted_ = combination;
    wantBound_ = true;
    if (!session_.isEmpty()) {
        Bind();
        return true;
    }
    const QString token = QString("quorvane%1").arg(++counter_);
    // Watch the answer before asking: it may come right after the reply.
    WatchRequest(RequestPath(token), SLOT(OnSessionResponse(uint, QVariantMap)));
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, "CreateSession");
    QVariantMap options;
    options["handle_token"] = token;
    options["session_handle_token"] = QString("quorvane_session%1").arg(counter_);
    call << options;
    // Never blocking: the portal may answer only from the event loop.
    CallAsync(call, "the desktop refused a session");
    status_ = "Desktop portal global shortcuts: waiting for the desktop.";
    return true;
}

void PortalGlobalHotKey::OnSessionResponse(uint response, const QVariantMap& results) {
    if (response != 0) {
        Fail("the desktop declined the session.");
        return;
    }
    session_ = results.value("session_handle").toString();
    if (session_.isEmpty()) {
        session_ = results.value("session_handle").value<QDBusObjectPath>().path();
    }
    if (wantBound_) {
        Bind();
    }
}

void PortalGlobalHotKey::Bind() {
    const QString token = QString("quorvane%1").arg(++counter_);
    WatchRequest(RequestPath(token), SLOT(OnBindResponse(uint, QVariantMap)));
    PortalShortcut shortcut;
    shortcut.id = kShortcutId;
    shortcut.options["description"] = QString("Push To Talk");
    if (wanted_.keysym != 0) {
        shortcut.options["preferred_trigger"] = PortalTrigger(wanted_);
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, "BindShortcuts");
    QVariantMap options;
    options["handle_token"] = token;
    call << QVariant::fromValue(QDBusObjectPath(session_))
         << QVariant::fromValue(PortalShortcutList{shortcut}) << QString() << options;
    CallAsync(call, "the desktop refused the shortcut");
}

void PortalGlobalHotKey::CallAsync(const QDBusMessage& call, const char* failure) {
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    const QString what = failure;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, what](QDBusPendingCallWatcher* w) {
                if (w->isError()) {
                    Fail(what + " (" + w->error().message() + ").");
                }
                w->deleteLater();
            });
}

void PortalGlobalHotKey::OnBindResponse(uint response, const QVariantMap& results) {
    if (response != 0) {
        Fail("the shortcut was not bound.");
        return;
    }
    binding_.clear();
    const auto list = qdbus_cast<PortalShortcutList>(results.value("shortcuts"));
    for (const PortalShortcut& s : list) {
        if (s.id == kShortcutId) {
            binding_ = s.options.value("trigger_description").toString();
        }
    }
    bound_ = wantBound_;
    status_ = "Desktop portal global shortcuts: the desktop binds Push To Talk to " +
              (binding_.isEmpty() ? std::string("a key of its choice") : binding_.toStdString()) +
              ".";
}

bool PortalGlobalHotKey::IsOurs(const QDBusMessage& message) const {
    // (o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QList<QVariant> args = message.arguments();
    if (!bound_ || args.size() < 2) {
        return false;
    }
    return args.at(0).value<QDBusObjectPath>().path() == session_ &&
           args.at(1).toString() == kShortcutId;
}

void PortalGlobalHotKey::OnActivated(const QDBusMessage& message) {
    if (IsOurs(message)) {
        Pressed();
    }
}

void PortalGlobalHotKey::OnDeactivated(const QDBusMessage& message) {
    if (IsOurs(message)) {
        Released();
    }
}

void PortalGlobalHotKey::Unregister() {
    wantBound_ = false;
    const bool wasBound = bound_;
    bound_ = false;
    if (!session_.isEmpty()) {
        // Closing the session takes the desktop's binding away.
        bus_.asyncCall(QDBusMessage::createMethodCall(kService, session_,
                                                      "org.freedesktop.portal.Session", "Close"));
        session_.clear();
    }
    if (wasBound) {
        status_ = "Global Push To Talk is off.";
    }
}

std::unique_ptr<PortalGlobalHotKey> MakePortalGlobalHotKey(QDBusConnection bus) {
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered(PortalGlobalHotKey::kService)) {
        return nullptr;
    }
    return std::make_unique<PortalGlobalHotKey>(std::move(bus));
}

}  // namespace qv
