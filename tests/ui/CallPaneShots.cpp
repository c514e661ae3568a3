// Pictures of the main window with its call panes in every state of their buttons, at the
// window's default width, for a person to look at: qv_call_pane_shots OUTPUT_FOLDER (run under a
// real X server or offscreen).

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "calls/CallRecord.h"
#include "platform/Mixer.h"
#include "platform/TickClock.h"
#include "settings/IniFile.h"
#include "stores/ContactStore.h"
#include "support/FrameShell.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "ui/CActiveCallPane.h"
#include "ui/CIncomingCallPane.h"
#include "ui/CMainFrame.h"
#include "ui/CQuorvaneView.h"
#include "ui/CallPaneImages.h"

namespace {

using namespace qv;

bool Save(QWidget& widget, const std::string& folder, const std::string& name) {
    QApplication::processEvents();
    const std::string path = folder + "/" + name;
    const bool ok = widget.grab().save(QString::fromStdString(path));
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", path.c_str(), widget.width(),
                widget.height());
    return ok;
}

using test::FrameShell;

std::unique_ptr<CallRecord> Call(const std::string& id, const std::string& nick, bool connected,
                                 std::uint32_t start) {
    auto r = std::make_unique<CallRecord>();
    r->userId = id;
    r->nickname = nick;
    r->connected = connected;
    r->startTime = start;
    return r;
}

void LightSheet(const std::string& out) {
    const std::pair<StatusLight, const char*> lights[] = {
        {StatusLight::kIdle, "idle"},
        {StatusLight::kInCall, "in a call or forum"},
        {StatusLight::kWaiting, "ringing / held (phase 1)"},
        {StatusLight::kWaitingB, "ringing / held (phase 2)"}};
    const std::pair<ParticipantStatus, const char*> marks[] = {
        {ParticipantStatus::kPresent, "in the call"},
        {ParticipantStatus::kTalking, "talking"},
        {ParticipantStatus::kOnHold, "on hold"},
        {ParticipantStatus::kMuted, "muted"},
        {ParticipantStatus::kInvited, "ringing (invited)"}};
    QPixmap sheet(360, 24 + 9 * 56);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    int y = 12;
    for (const auto& [light, name] : lights) {
        const QPixmap px = CallPaneImages::Light(light);
        p.drawPixmap(12, y + 14, px);
        p.drawPixmap(44, y, px.scaled(48, 48, Qt::KeepAspectRatio, Qt::FastTransformation));
        p.drawText(110, y + 28, name);
        y += 56;
    }
    for (const auto& [mark, name] : marks) {
        const QPixmap px = CallPaneImages::Mark(mark);
        p.drawPixmap(14, y + 16, px);
        p.drawPixmap(44, y, px.scaled(48, 48, Qt::KeepAspectRatio, Qt::FastTransformation));
        p.drawText(110, y + 28, name);
        y += 56;
    }
    p.end();
    const std::string path = out + "/call-pane-images.png";
    std::printf("%s %s\n", sheet.save(QString::fromStdString(path)) ? "wrote" : "FAILED",
                path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const std::string out = argc > 1 ? argv[1] : ".";
    LightSheet(out);

    test::TempFolder root;
    root.Write("Quorvane.ini", "[Internal]\r\nDisableAutoConnect=1\r\n");
    SteadyTickClock clock;
    FrameShell shell;
    AppEnvironment env;
    env.homeOption = root.Path();
    env.executable = "/usr/bin/quorvane";
    CQuorvaneApp app(env, shell, nullptr, clock);
    shell.app = &app;
    if (!app.InitInstance() || shell.frame == nullptr) {
        std::printf("FAILED to start the program\n");
        return 1;
    }
    app.UserSettings()->SetPath(root.File("Options.ini"));
    std::vector<UserProfile> list;
    const char* nicks[] = {"Alice Moreau", "Bob", "Carla", "Dmitri K.", "Evelyn (HR)", "frank_ops"};
    int id = 1001;
    for (const char* nick : nicks) {
        UserProfile u;
        u.LoginId = std::to_string(id++);
        u.NickName = nick;
        u.group = "General";
        list.push_back(u);
    }
    ContactStore& contacts = *app.GetContactStore();
    contacts.ReplaceFromServer(root.File("Addressbook.dat"), 3, {"General"}, list);
    for (std::size_t i = 0; i < list.size(); ++i) {
        contacts.OnWatch(list[i].LoginId, static_cast<std::int16_t>(i % 2 == 0 ? 1 : 0), false,
                         false);
    }
    shell.frame->show();
    CQuorvaneView* view = shell.frame->View();
    CActiveCallPane* active = view->ActivePane();
    CIncomingCallPane* incoming = view->IncomingPane();

    const std::uint32_t now = clock.Now();
    struct State {
        const char* name;
        const char* active;
        const char* second;
    } states[] = {
        {"call-panes-1-forum-empty.png", "forum", ""},
        {"call-panes-2-forum-ringing.png", "forum", "ringing"},
        {"call-panes-3-forum-held.png", "forum", "held"},
        {"call-panes-4-call-empty.png", "call", ""},
        {"call-panes-5-call-ringing.png", "call", "ringing"},
        {"call-panes-6-call-held.png", "call", "held"},
        {"call-panes-7-empty-empty.png", "", ""},
        {"call-panes-8-empty-ringing.png", "", "ringing"},
        {"call-panes-9-empty-held.png", "", "held"},
    };
    for (const State& s : states) {
        std::unique_ptr<CallRecord> a;
        if (std::string(s.active) == "call") {
            a = Call("1002", "Bob", true, now - 754 * 1000);
            a->participants = {{"999", "Me Myself", 1}, {"1002", "Bob", 3}};
        } else if (std::string(s.active) == "forum") {
            a = std::make_unique<CallRecord>();
            a->forumName = "Games/Chess Club";
            a->connected = true;
            a->startTime = now - 3725 * 1000;
            a->participants = {{"999", "Me Myself", 1},
                               {"1005", "Evelyn (HR)", 0x40001},
                               {"1006", "frank_ops", 8},
                               {"1007", "Vera with a really long nickname", 3}};
        }
        std::unique_ptr<CallRecord> second;
        if (std::string(s.second) == "ringing") {
            second = Call("1003", "Carla", false, now);
        } else if (std::string(s.second) == "held") {
            second = Call("1004", "Dmitri K.", true, now);
        }
        active->ShowActive(a.get());
        if (a && a->IsCall()) {
            active->OnJoinedConference(5, true, false);
        } else if (a) {
            active->OnJoinedGroup(a->forumName);
        }
        incoming->ShowSecond(second.get());
        active->OnSecondTick();
        Save(*shell.frame, out, s.name);
        incoming->ShowSecond(nullptr);
        active->ShowActive(nullptr);
    }

    // A call being placed: the callee still rings (its row marked), no time yet.
    auto placing = Call("1002", "Bob", false, now);
    active->ShowActive(placing.get());
    active->OnUserList("Me Myself\t999\t\nBob\t1002\tI\n");
    Save(*shell.frame, out, "call-panes-placing.png");
    active->ShowActive(nullptr);

    // A three-party call with one on hold, and the other blink phase of a ringing call.
    auto three = Call("1002", "Bob", true, now - 4000 * 1000);
    active->ShowActive(three.get());
    active->OnJoinedConference(6, true, false);
    active->OnUserList("Me Myself\t999\t\nBob\t1002\tH\nAlice Moreau\t1001\t\n");
    active->OnUserTalking("1001", true);
    auto ringing = Call("1003", "Carla", false, now);
    incoming->ShowSecond(ringing.get());
    incoming->OnRingTick();
    incoming->OnRingTick();  // an odd tick of the blink window: the other phase
    active->OnSecondTick();
    Save(*shell.frame, out, "call-panes-three-party-blink.png");
    incoming->ShowSecond(nullptr);
    active->ShowActive(nullptr);
    app.ExitInstance();
    return 0;
}
