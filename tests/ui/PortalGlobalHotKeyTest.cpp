// The desktop portal's global shortcuts against a small fake portal on a private session bus
// (a dbus-daemon of the test's own): the session, the binding with our preferred trigger, press
// and release reaching talk-start and talk-stop, and the session closed when the key goes.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/TimerScheduler.h"
#include "calls/GlobalPushToTalk.h"
#include "calls/KeyNames.h"
#include "platform/TickClock.h"
#include "ui/PortalGlobalHotKey.h"

extern char** environ;

namespace qv {
namespace {

// dbus-daemon on a private address, for the test's run.
class PrivateBus {
  public:
    PrivateBus() {
        int out[2];
        if (pipe(out) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        char program[] = "dbus-daemon";
        char session[] = "--session";
        char print[] = "--print-address=1";
        char nofork[] = "--nofork";
        char* argv[] = {program, session, print, nofork, nullptr};
        if (posix_spawnp(&pid_, "dbus-daemon", &actions, nullptr, argv, environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (pid_ > 0) {
            FILE* f = fdopen(out[0], "r");
            char line[512] = {};
            if (f != nullptr && std::fgets(line, sizeof line, f) != nullptr) {
                address = line;
                while (!address.empty() && (address.back() == '\n' || address.back() == '\r')) {
                    address.pop_back();
                }
            }
            if (f != nullptr) {
                std::fclose(f);
            }
        } else {
            close(out[0]);
        }
    }
    ~PrivateBus() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    std::string address;

  private:
    pid_t pid_ = -1;
};

// What a desktop does: hands out sessions, binds the shortcut and reports its presses.
class FakePortal final : public QDBusVirtualObject {
  public:
    explicit FakePortal(QDBusConnection bus) : bus_(std::move(bus)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QString sender = message.service().mid(1);
        sender.replace('.', '_');
        const QString member = message.member();
        log.push_back(member.toStdString());
        if (member == "CreateSession") {
            const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().at(0));
            const QString request = "/org/freedesktop/portal/desktop/request/" + sender + "/" +
                                    options.value("handle_token").toString();
            session = "/org/freedesktop/portal/desktop/session/" + sender + "/" +
                      options.value("session_handle_token").toString();
            connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
            Respond(connection, request, {{"session_handle", session}});
            return true;
        }
        if (member == "BindShortcuts") {
            const auto args = message.arguments();
            const QString s = qdbus_cast<QDBusObjectPath>(args.at(0)).path();
            const auto shortcuts = qdbus_cast<PortalShortcutList>(args.at(1));
            const QVariantMap options = qdbus_cast<QVariantMap>(args.at(3));
            const QString request = "/org/freedesktop/portal/desktop/request/" + sender + "/" +
                                    options.value("handle_token").toString();
            connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
            PortalShortcutList bound;
            for (PortalShortcut sc : shortcuts) {
                boundId = sc.id.toStdString();
                preferred = sc.options.value("preferred_trigger").toString().toStdString();
                description = sc.options.value("description").toString().toStdString();
                sc.options.clear();
                sc.options["description"] = QString::fromStdString(description);
                sc.options["trigger_description"] = QString("Shift+\\");
                bound.push_back(sc);
            }
            boundSession = s.toStdString();
            Respond(connection, request, {{"shortcuts", QVariant::fromValue(bound)}});
            return true;
        }
        if (member == "Close") {
            closed.push_back(message.path().toStdString());
            connection.send(message.createReply());
            return true;
        }
        connection.send(message.createErrorReply(QDBusError::UnknownMethod, member));
        return true;
    }

    void Emit(const char* which, const std::string& id) {
        QDBusMessage signal = QDBusMessage::createSignal(
            "/org/freedesktop/portal/desktop", "org.freedesktop.portal.GlobalShortcuts", which);
        signal << QVariant::fromValue(QDBusObjectPath(session)) << QString::fromStdString(id)
               << qulonglong{1234} << QVariantMap{};
        bus_.send(signal);
    }

    std::vector<std::string> log;
    QString session;
    std::string boundSession, boundId, preferred, description;
    std::vector<std::string> closed;

  private:
    static void Respond(const QDBusConnection& connection, const QString& request,
                        const QVariantMap& results) {
        QDBusMessage signal =
            QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response");
        signal << uint{0} << results;
        QDBusConnection(connection).send(signal);
    }
    QDBusConnection bus_;
};

template <typename Done>
void SpinUntil(Done done) {
    // Bounded: the answers come over a local socket.
    for (int i = 0; i < 400 && !done(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        usleep(5000);
    }
}

TEST(PortalGlobalHotKey, BindsOurKeyAndReportsPressAndRelease) {
    static int argc = 1;
    static char name[] = "qv_portal_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
        static QCoreApplication application(argc, argv);
    }
    if (access("/usr/bin/dbus-daemon", X_OK) != 0) {
        GTEST_SKIP() << "dbus-daemon is needed";
    }
    PrivateBus bus;
    ASSERT_FALSE(bus.address.empty());
    RegisterPortalTypes();
    {
        QDBusConnection desktop =
            QDBusConnection::connectToBus(QString::fromStdString(bus.address), "desktop");
        QDBusConnection program =
            QDBusConnection::connectToBus(QString::fromStdString(bus.address), "program");
        ASSERT_TRUE(desktop.isConnected());
        ASSERT_TRUE(program.isConnected());

        // Without a portal on the bus there is none to use.
        EXPECT_EQ(MakePortalGlobalHotKey(program), nullptr);

        FakePortal portal(desktop);
        ASSERT_TRUE(desktop.registerVirtualObject("/org/freedesktop/portal/desktop", &portal,
                                                  QDBusConnection::SubPath));
        ASSERT_TRUE(desktop.registerService(PortalGlobalHotKey::kService));

        auto key = MakePortalGlobalHotKey(program);
        ASSERT_NE(key, nullptr);
        EXPECT_TRUE(key->DesktopBindsKey());
        ManualTickClock clock;
        TimerScheduler scheduler(clock);
        std::vector<std::string> talk;
        GlobalPushToTalk global(
            *key, scheduler, [&] { talk.push_back("start"); }, [&] { talk.push_back("stop"); });
        global.Refresh(true, true, key_combo::kDefault);
        SpinUntil([&] { return global.Registered(); });
        ASSERT_TRUE(global.Registered()) << global.StatusText();
        EXPECT_EQ(portal.log, (std::vector<std::string>{"CreateSession", "BindShortcuts"}));
        EXPECT_EQ(portal.boundId, "push-to-talk");
        EXPECT_EQ(portal.preferred, "SHIFT+backslash");
        EXPECT_EQ(portal.description, "Push To Talk");
        EXPECT_EQ(portal.boundSession, portal.session.toStdString());
        EXPECT_EQ(key->Binding(), "Shift+\\");
        EXPECT_EQ(global.StatusText(),
                  "Desktop portal global shortcuts: the desktop binds Push To Talk to Shift+\\.");

        // Press and release come straight through: no repeat timing.
        portal.Emit("Activated", "push-to-talk");
        SpinUntil([&] { return talk.size() == 1; });
        portal.Emit("Activated", "another-program's-shortcut");
        portal.Emit("Deactivated", "push-to-talk");
        SpinUntil([&] { return talk.size() == 2; });
        EXPECT_EQ(talk, (std::vector<std::string>{"start", "stop"}));

        // Turned off: the session is closed, later presses do nothing.
        const std::string session = portal.session.toStdString();
        global.Refresh(false, true, key_combo::kDefault);
        EXPECT_FALSE(global.Registered());
        SpinUntil([&] { return !portal.closed.empty(); });
        EXPECT_EQ(portal.closed, (std::vector<std::string>{session}));
        portal.Emit("Activated", "push-to-talk");
        int rounds = 0;
        SpinUntil([&] { return ++rounds > 20; });
        EXPECT_EQ(talk.size(), 2u);
        EXPECT_EQ(global.StatusText(),
                  "Global Push To Talk is off (Desktop portal global shortcuts).");
        desktop.unregisterObject("/org/freedesktop/portal/desktop",
                                 QDBusConnection::UnregisterTree);
    }
    QDBusConnection::disconnectFromBus("desktop");
    QDBusConnection::disconnectFromBus("program");
}

}  // namespace
}  // namespace qv
