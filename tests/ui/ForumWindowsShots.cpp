// Pictures of the forum list with a busy list, its dialogs, the adult warning and the
// participant menu open in a forum, for a person to look at: qv_forum_windows_shots
// OUTPUT_FOLDER (run under a real X server or offscreen).

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>
#include <cstdio>
#include <memory>
#include <string>

#include "CallRig.h"
#include "calls/ForumTree.h"
#include "engine/SonaroControl.h"
#include "ui/CActiveCallPane.h"
#include "ui/CAdultWarningDialog.h"
#include "ui/CCreateForumDialog.h"
#include "ui/CForumListWindow.h"
#include "ui/CForumReasonDialog.h"
#include "ui/CJoinForumDialog.h"
#include "ui/CRenameForumDialog.h"
#include "ui/CUnbanDialog.h"

namespace {

using namespace qv;

bool Save(const QPixmap& pixmap, const std::string& folder, const std::string& name) {
    const std::string path = folder + "/" + name;
    const bool ok = pixmap.save(QString::fromStdString(path));
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", path.c_str(),
                static_cast<int>(pixmap.width() / pixmap.devicePixelRatio()),
                static_cast<int>(pixmap.height() / pixmap.devicePixelRatio()));
    return ok;
}

bool Save(QWidget& widget, const std::string& folder, const std::string& name) {
    widget.show();
    QApplication::processEvents();
    return Save(widget.grab(), folder, name);
}

constexpr const char* kBusyList =
    "General/Friends\t12\tPM\n"
    "General/Chat\t31\t\n"
    "General/Quiet Room\t4\tT\n"
    "General/Newcomers\t8\tM\n"
    "General/Late Talk\t2\tP\n"
    "Adult Lounge/Late Night\t5\t\n"
    "Adult Lounge/After Hours\t3\tP\n"
    "Music/Jazz/Evening\t4\tM\n"
    "Music/Rock\t17\t\n"
    "Music/Classical\t6\tT\n"
    "Sports/Football\t9\t\n"
    "Sports/Tennis\t1\t\n"
    "Technology/Linux\t14\t\n"
    "Technology/Gadgets\t5\tM\n"
    "Help/Ask a Moderator\t2\tMT\n"
    "Lobby\t21\t\n";

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const std::string out = argc > 1 ? argv[1] : ".";
    bool ok = true;

    test::CallRig rig;
    rig.LogIn();
    ForumTree tree;
    CForumListWindow::Parts parts;
    parts.tree = &tree;
    parts.manager = rig.h.manager.get();
    parts.notices = &rig.notices;
    parts.moderationEnabled = true;
    CForumListWindow list(std::move(parts));
    list.resize(360, 430);
    list.move(40, 40);
    list.show();
    rig.Sim().ScriptResults(sonaro_id::kGetGroupList, {std::string(kBusyList)});
    rig.h.RaiseAndDrain([](SonaroEventSink& e) { e.groupListUpdate(); });
    QApplication::processEvents();
    ok &= Save(list, out, "forum_list_top.png");
    list.ShowLevel("General/");
    if (QTreeWidgetItem* item = list.List()->topLevelItem(1)) {
        list.List()->setCurrentItem(item);
    }
    ok &= Save(list, out, "forum_list_general.png");

    CJoinForumDialog join([](const std::string&, const std::string&) { return false; },
                          "General/Friends");
    join.PasswordField()->setText("secret");
    ok &= Save(join, out, "join_forum.png");

    CCreateForumDialog create([](const NewForum&) { return false; }, "General/");
    create.NameField()->setText("Book Club");
    create.Moderated()->setChecked(true);
    create.BanBlockList()->setChecked(true);
    ok &= Save(create, out, "create_forum.png");

    CRenameForumDialog rename("General/Book Club");
    rename.NewNameField()->setText("General/Reading Circle");
    ok &= Save(rename, out, "rename_forum.png");

    CForumReasonDialog kick(CForumReasonDialog::Kind::kKick, "bob");
    kick.ReasonField()->setText("Shouting over everyone");
    ok &= Save(kick, out, "kick_reason.png");
    CForumReasonDialog ban(CForumReasonDialog::Kind::kBan, "bob");
    ok &= Save(ban, out, "ban_reason.png");

    CUnbanDialog unban;
    unban.IdField()->setText("31337");
    ok &= Save(unban, out, "unban.png");

    CAdultWarningDialog warning;
    ok &= Save(warning, out, "adult_warning.png");

    // The participant menu of an owner, over the pane of a forum.
    CallPaneParts paneParts;
    paneParts.manager = rig.h.manager.get();
    paneParts.moderationEnabled = true;
    paneParts.moderation = [&rig] { return &rig.calls->Moderation(); };
    paneParts.screen = &rig.h.screen;
    CActiveCallPane pane(paneParts);
    rig.calls->SetActivePane(&pane);
    rig.EnterForum("General/Book Club", true);
    pane.ShowActive(rig.calls->Active());
    pane.OnJoinedGroup("General/Book Club");
    pane.OnUserList("nick\t42\tOM\nbob\t7\t\ncarl\t8\tM\ndana\t9\tT\nolga\t10\tOM\n");
    pane.resize(230, 300);
    pane.show();
    QApplication::processEvents();
    QTreeWidgetItem* bob = pane.Participants()->topLevelItem(1);
    pane.Participants()->setCurrentItem(bob);
    std::unique_ptr<QMenu> menu(pane.MakeParticipantMenu(bob));
    menu->adjustSize();
    const QRect row = pane.Participants()->visualItemRect(bob);
    const QPoint at = pane.Participants()->viewport()->mapTo(&pane, row.center());
    const QPixmap paneShot = pane.grab();
    const QPixmap menuShot = menu->grab();
    QPixmap sheet(at.x() + menuShot.width() / menuShot.devicePixelRatio() + 10,
                  std::max<int>(paneShot.height() / paneShot.devicePixelRatio(),
                                at.y() + menuShot.height() / menuShot.devicePixelRatio() + 10));
    sheet.fill(Qt::white);
    {
        QPainter p(&sheet);
        p.drawPixmap(0, 0, paneShot);
        p.drawPixmap(at, menuShot);
    }
    ok &= Save(sheet, out, "participant_menu.png");
    rig.calls->SetActivePane(nullptr);
    return ok ? 0 : 1;
}
