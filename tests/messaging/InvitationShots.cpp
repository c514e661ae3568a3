// Pictures of the forum invitation's window with its Accept enabled, for a person to look at:
// qv_invitation_shots OUTPUT_FOLDER (run under a real X server or offscreen).

#include <QApplication>
#include <QPushButton>
#include <cstdio>
#include <optional>
#include <string>

#include "messaging/CMessageWindows.h"
#include "messaging/ForumInvitation.h"
#include "messaging/MessageCenter.h"

namespace {

using namespace qv;

class Links final : public MessageLinks {
  public:
    int ConnectionState() const override { return 4; }
    std::int16_t PresenceMode() const override { return 0; }
    std::string OwnNickname() const override { return "Ann"; }
    std::string OwnId() const override { return "1001"; }
    bool SendUserMessage(const std::string&, const std::string&, std::int16_t, std::int16_t,
                         const std::string&) override {
        return true;
    }
    void PlaySoundEvent(const std::string&) override {}
    std::optional<std::uint32_t> ContactPresence(const std::string&) const override {
        return std::nullopt;
    }
    std::string CustomMessage(const std::string&) const override { return {}; }
    void SendStoredMessage(const std::string&, const std::string&, std::int32_t,
                           std::function<void(int, const std::string&)>) override {}
    std::uint32_t Now() const override { return 1700000000; }
    std::uint32_t Ticks() const override { return 0; }
};

class Forums final : public ForumAccess {
  public:
    std::optional<ForumInvitation> CurrentForum() const override { return std::nullopt; }
    bool JoinInvitedForum(const ForumInvitation&) override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::string folder = argc > 1 ? argv[1] : ".";
    Links links;
    Forums forums;
    MessageCenter center;
    center.SetLinks(&links);
    center.SetForumAccess(&forums);
    CAlertWindowHost host(CAlertWindowHost::Parts{});
    center.SetWindows(&host);
    center.OnUserMessage("Bob", "1002", user_message::kForumInvitation, 0,
                         "General/Friends\tsecret\tMT");
    center.OpenOldest();
    QDialog* window = host.Window(center.Notices()[0].id);
    int failures = 0;
    if (window == nullptr) {
        std::printf("FAILED: no window\n");
        return 1;
    }
    window->move(40, 40);
    QApplication::processEvents();
    const std::string path = folder + "/forum-invitation.png";
    const bool ok = window->grab().save(QString::fromStdString(path));
    std::printf("%s %s (%dx%d), Accept %s\n", ok ? "wrote" : "FAILED", path.c_str(),
                window->width(), window->height(),
                dynamic_cast<CInvitationWindow*>(window)->AcceptButton()->isEnabled() ? "enabled"
                                                                                      : "disabled");
    failures += ok ? 0 : 1;
    center.SetWindows(nullptr);
    return failures;
}
