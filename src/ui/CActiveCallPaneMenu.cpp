// The participants' right-click menu of the active-call pane and the forum commands it runs.
// Apart from the pane's other code: the menu's flag names come from the forum core, the list's
// from the user-list reader.

#include <QMenu>
#include <QTreeWidget>
#include <algorithm>

#include "calls/CallRecord.h"
#include "calls/ForumModeration.h"
#include "calls/ForumNames.h"
#include "calls/ParticipantMenu.h"
#include "engine/CSonaroManager.h"
#include "platform/Screen.h"
#include "ui/CActiveCallPane.h"
#include "ui/CForumReasonDialog.h"
#include "ui/CRenameForumDialog.h"
#include "ui/CUnbanDialog.h"

namespace qv {

namespace {
// As the pane stores it.
constexpr int kIdRole = Qt::UserRole;
}  // namespace

QMenu* CActiveCallPane::MakeParticipantMenu(QTreeWidgetItem* item) {
    auto* menu = new QMenu(this);
    menu->setObjectName("participantMenu");
    const std::string id = item != nullptr ? item->data(0, kIdRole).toString().toStdString() : "";
    const std::string nickname = item != nullptr ? item->text(1).toStdString() : "";
    const bool me = parts_.manager != nullptr && !id.empty() && id == parts_.manager->UserId();
    QAction* message = menu->addAction("&Send Instant Message");
    message->setEnabled(!id.empty() && !me && parts_.sendMessage != nullptr);
    connect(message, &QAction::triggered, this, [this, id, nickname] {
        if (parts_.sendMessage) {
            parts_.sendMessage(id, nickname);
        }
    });
    // Nothing in the program adds, shows or blocks from here yet.
    menu->addAction("&Add Participant To Contact List")->setEnabled(false);
    menu->addAction("View I&nfo")->setEnabled(false);
    QAction* mute = menu->addAction("Mu&te Participant");
    mute->setObjectName("mute");
    mute->setCheckable(true);
    ForumModeration* moderation = parts_.moderation ? parts_.moderation() : nullptr;
    const CallParticipant* target =
        record_ != nullptr && !id.empty() ? FindParticipant(*record_, id) : nullptr;
    mute->setChecked(target != nullptr && (target->flags & participant_flag::kMuted) != 0);
    mute->setEnabled(target != nullptr && !me && moderation != nullptr);
    connect(mute, &QAction::triggered, this, [this, id, nickname] {
        RunForumAction(static_cast<int>(ParticipantAction::kMute), id, nickname);
    });
    menu->addAction("&Block Participant")->setEnabled(false);
    if (target != nullptr && moderation != nullptr && record_->IsForum()) {
        AddForumItems(menu, id, nickname);
    }
    return menu;
}

void CActiveCallPane::AddForumItems(QMenu* menu, const std::string& id,
                                    const std::string& nickname) {
    ForumModeration* moderation = parts_.moderation();
    const CallParticipant* target = FindParticipant(*record_, id);
    ParticipantMenuContext context;
    context.enableModeration = parts_.moderationEnabled;
    context.inForum = true;
    context.controlledMicrophones = record_->controlledMicrophones;
    context.myFlags = moderation->MyFlags(*record_);
    context.targetFlags = target->flags;
    const std::vector<std::string> selected = SelectedIds();
    context.selectionCount = std::max<std::size_t>(1, selected.size());
    bool separated = false;
    for (const ParticipantMenuItem& item : ForumMenuItems(context)) {
        if (item.action == ParticipantAction::kMute) {
            continue;  // it is among the base items
        }
        if (item.action == ParticipantAction::kDisband && parts_.screen == nullptr) {
            continue;
        }
        if (!separated) {
            menu->addSeparator();
            separated = true;
        }
        QAction* action = menu->addAction(item.text);
        const int which = static_cast<int>(item.action);
        action->setData(which);
        connect(action, &QAction::triggered, this,
                [this, which, id, nickname] { RunForumAction(which, id, nickname); });
        if (item.action == ParticipantAction::kDisband) {
            // Renaming is the owner's too; no other menu offers it.
            QAction* rename = menu->addAction("Re&name Forum...");
            rename->setData(-1);
            connect(rename, &QAction::triggered, this,
                    [this, id, nickname] { RunForumAction(-1, id, nickname); });
        }
    }
}

std::vector<std::string> CActiveCallPane::SelectedIds() const {
    std::vector<std::string> ids;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        if (QTreeWidgetItem* item = list_->topLevelItem(i); item->isSelected()) {
            ids.push_back(item->data(0, kIdRole).toString().toStdString());
        }
    }
    return ids;
}

bool CActiveCallPane::StillIn(const std::string& forum) const {
    return record_ != nullptr && record_->IsForum() && record_->forumName == forum;
}

void CActiveCallPane::RunForumAction(int which, const std::string& id,
                                     const std::string& nickname) {
    ForumModeration* moderation = parts_.moderation ? parts_.moderation() : nullptr;
    if (moderation == nullptr || record_ == nullptr) {
        return;
    }
    CallRecord& forum = *record_;
    const std::string path = forum.forumName;
    if (which == -1) {
        CRenameForumDialog dialog(path, this);
        if (dialog.exec() == QDialog::Accepted && StillIn(path)) {
            moderation->Rename(dialog.NewName());
        }
        return;
    }
    switch (static_cast<ParticipantAction>(which)) {
        case ParticipantAction::kMute:
            moderation->ToggleMute(forum, id);
            break;
        case ParticipantAction::kMakeModerator:
            moderation->MakeModerator(forum, id);
            break;
        case ParticipantAction::kMakeOwner:
            moderation->MakeOwner(forum, id);
            break;
        case ParticipantAction::kRevokeModerator:
            moderation->RevokeModerator(forum, id);
            break;
        case ParticipantAction::kKick:
        case ParticipantAction::kBan: {
            const bool kick = static_cast<ParticipantAction>(which) == ParticipantAction::kKick;
            CForumReasonDialog dialog(
                kick ? CForumReasonDialog::Kind::kKick : CForumReasonDialog::Kind::kBan, nickname,
                this);
            if (dialog.exec() != QDialog::Accepted || !StillIn(path)) {
                return;
            }
            if (kick) {
                moderation->Kick(*record_, id, dialog.Reason());
            } else {
                moderation->Ban(*record_, id, dialog.Reason());
            }
            break;
        }
        case ParticipantAction::kUnban: {
            CUnbanDialog dialog(this);
            if (dialog.exec() == QDialog::Accepted && StillIn(path)) {
                moderation->Unban(dialog.UserId());
            }
            return;
        }
        case ParticipantAction::kGiveMicrophone:
            moderation->GiveMicrophone(forum, id);
            break;
        case ParticipantAction::kTakeMicrophone:
            moderation->TakeMicrophone(forum, id);
            break;
        case ParticipantAction::kGiveMicrophoneToSelection:
            moderation->GiveMicrophoneToSelection(forum, SelectedIds());
            break;
        case ParticipantAction::kTakeMicrophoneFromSelection:
            moderation->TakeMicrophoneFromSelection(forum, SelectedIds());
            break;
        case ParticipantAction::kDisband: {
            if (parts_.screen == nullptr ||
                parts_.screen->MessageBox(
                    forum_text::kDisbandQuestion, forum_text::kDisbandTitle,
                    mb::kYesNo | mb::kIconExclamation | mb::kDefaultButton2) != mb::kIdYes) {
                return;
            }
            if (StillIn(path)) {
                moderation->Disband(*record_);
            }
            return;
        }
        case ParticipantAction::kInviteToWebTour:
        case ParticipantAction::kRemoveFromWebTour:
            return;
    }
    // The marks follow the flags the command changed at once.
    if (record_ != nullptr) {
        for (const CallParticipant& p : record_->participants) {
            if (QTreeWidgetItem* item = ItemOf(p.userId)) {
                Decorate(item, p.flags);
            }
        }
    }
}

}  // namespace qv
