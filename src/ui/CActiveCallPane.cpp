#include "ui/CActiveCallPane.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPalette>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <unordered_map>

#include "app/TimerScheduler.h"
#include "calls/ButtonBlinker.h"
#include "calls/CallRecord.h"
#include "calls/UserListText.h"
#include "engine/CSonaroManager.h"
#include "platform/TickClock.h"
#include "ui/CIncomingCallPane.h"
#include "ui/CPickupPane.h"
#include "ui/CallPaneImages.h"

namespace qv {

namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kFlagsRole = Qt::UserRole + 1;

QString Q(const std::string& s) {
    return QString::fromUtf8(s.c_str());
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, const char* tip) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setToolTip(tip);
    button->setAutoDefault(false);
    button->setMinimumWidth(20);
    return button;
}

}  // namespace

CActiveCallPane::CActiveCallPane(const CallPaneParts& parts, QWidget* parent)
    : QFrame(parent),
      parts_(parts),
      talkButton_(TalkMuteButton::Engine{parts.setTalk, parts.setPushToTalk}),
      lightLabel_(new QLabel(this)),
      status_(new QLabel("Active Call", this)),
      list_(new QTreeWidget(this)),
      time_(new QLabel("Time In Call:", this)),
      talk_(MakeButton(this, "talk", "Mute", "Mute your microphone")),
      hangUp_(MakeButton(this, "hangUp", "Hang Up", "Hang up this call")),
      textChat_(MakeButton(this, "textChat", "Text Chat", "Open text chat window")),
      pickup_(new CPickupPane(parts, this)) {
    setObjectName("ActiveCallPane");
    setFrameShape(QFrame::StyledPanel);
    lightLabel_->setObjectName("light");
    lightLabel_->setToolTip("Status Indicator Light");
    lightLabel_->setFixedSize(CallPaneImages::kLightSize, CallPaneImages::kLightSize);
    status_->setObjectName("status");
    status_->setToolTip("Active Call Status");
    status_->setMinimumWidth(10);
    QFont bold = status_->font();
    bold.setBold(true);
    status_->setFont(bold);

    list_->setObjectName("participants");
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu* menu = MakeParticipantMenu(list_->itemAt(at));
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(list_->viewport()->mapToGlobal(at));
    });
    list_->setColumnCount(2);
    list_->setHeaderLabels({"S", "Participant"});
    list_->headerItem()->setToolTip(0, "Participant's Status ( Talking, On Hold, Muted, etc. )");
    list_->headerItem()->setToolTip(1, "Participant's Nickname");
    list_->setRootIsDecorated(false);
    list_->setIndentation(0);
    list_->setUniformRowHeights(true);
    // Several participants can be handed (or lose) a microphone at once.
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setIconSize(QSize(CallPaneImages::kMarkSize, CallPaneImages::kMarkSize));
    list_->header()->setStretchLastSection(true);
    list_->header()->setSectionResizeMode(0, QHeaderView::Fixed);
    list_->header()->resizeSection(0, CallPaneImages::kMarkSize + 10);
    list_->header()->setSectionsMovable(false);
    // A header and three rows at least.
    list_->setMinimumHeight(list_->fontMetrics().height() * 4 + 12);
    time_->setObjectName("timeInCall");
    talk_->setCheckable(true);

    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    top->addWidget(lightLabel_, 0, Qt::AlignTop);
    top->addWidget(status_, 1);
    auto* buttons = new QGridLayout;
    buttons->setSpacing(2);
    buttons->addWidget(hangUp_, 0, 0);
    buttons->addWidget(pickup_, 0, 1);
    buttons->addWidget(talk_, 1, 0);
    buttons->addWidget(textChat_, 1, 1);
    buttons->setColumnStretch(0, 1);
    buttons->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    layout->addLayout(top);
    layout->addWidget(list_, 1);
    layout->addWidget(time_);
    layout->addLayout(buttons);

    connect(hangUp_, &QPushButton::clicked, this, [this] {
        if (parts_.hangUp) {
            parts_.hangUp();
        }
    });
    // Voice-activated the button toggles; push-to-talk it talks while it is held.
    connect(talk_, &QPushButton::clicked, this, [this] {
        talkButton_.Click();
        DrawTalkButton();
    });
    connect(talk_, &QPushButton::pressed, this, [this] {
        if (talkButton_.PushToTalkMode()) {
            TalkStart();
        }
    });
    connect(talk_, &QPushButton::released, this, [this] {
        if (talkButton_.PushToTalkMode()) {
            TalkStop();
        }
    });
    connect(textChat_, &QPushButton::clicked, this, [this] {
        if (openTextChat_) {
            openTextChat_();
        }
    });

    textChatBlinker_ = std::make_unique<ButtonBlinker>(
        parts_.scheduler, [this](bool lit) { CallPaneImages::PaintBlink(*textChat_, lit); },
        call_pane::kBlinkPeriodMs);
    if (parts_.scheduler != nullptr) {
        secondEntry_ =
            parts_.scheduler->Add([this](const std::string&, std::uintptr_t) { OnSecondTick(); }, 0,
                                  call_pane::kTimeInCallPeriodMs, TimerScheduler::kRepeat);
    }
    if (CSonaroManager* m = parts_.manager) {
        m->Subscribe<engine_event::userListUpdate>(&CActiveCallPane::UserListThunk, this);
        m->Subscribe<engine_event::userTalking>(&CActiveCallPane::UserTalkingThunk, this);
        m->Subscribe<engine_event::JoinedConference>(&CActiveCallPane::JoinedConferenceThunk, this);
        m->Subscribe<engine_event::JoinedGroup>(&CActiveCallPane::JoinedGroupThunk, this);
        m->Subscribe<engine_event::ConnectionState>(&CActiveCallPane::ConnectionStateThunk, this);
        m->Subscribe<engine_event::mikeActive>(&CActiveCallPane::MikeActiveThunk, this);
        m->Subscribe<engine_event::canTalkEvent>(&CActiveCallPane::CanTalkThunk, this);
    }
    ShowActive(nullptr);
}

CActiveCallPane::~CActiveCallPane() {
    if (CSonaroManager* m = parts_.manager) {
        m->Unsubscribe<engine_event::userListUpdate>(&CActiveCallPane::UserListThunk, this);
        m->Unsubscribe<engine_event::userTalking>(&CActiveCallPane::UserTalkingThunk, this);
        m->Unsubscribe<engine_event::JoinedConference>(&CActiveCallPane::JoinedConferenceThunk,
                                                       this);
        m->Unsubscribe<engine_event::JoinedGroup>(&CActiveCallPane::JoinedGroupThunk, this);
        m->Unsubscribe<engine_event::ConnectionState>(&CActiveCallPane::ConnectionStateThunk, this);
        m->Unsubscribe<engine_event::mikeActive>(&CActiveCallPane::MikeActiveThunk, this);
        m->Unsubscribe<engine_event::canTalkEvent>(&CActiveCallPane::CanTalkThunk, this);
    }
    if (parts_.scheduler != nullptr) {
        parts_.scheduler->Remove(secondEntry_);
    }
}

ActiveSlotKind CActiveCallPane::Kind() const {
    if (record_ == nullptr) {
        return ActiveSlotKind::kEmpty;
    }
    return record_->IsForum() ? ActiveSlotKind::kForum : ActiveSlotKind::kCall;
}

void CActiveCallPane::ShowActive(CallRecord* record) {
    record_ = record;
    if (textChatConversation_) {
        textChatConversation_(record != nullptr);
    }
    reportedCount_ = -1;
    list_->clear();
    FillList();
    alone_.Reset();
    // A new conversation starts with the microphone as the mode leaves it; a forum tells its
    // speaking privileges after the join.
    talkButton_.Release();
    canTalk_ = true;
    const ActivePaneButtons b =
        ActiveButtonsFor(Kind(), incoming_ ? incoming_->Kind() : SecondSlotKind::kEmpty);
    SetStatus(Q(b.statusWhenShown));
    UpdateButtons();
    UpdateTalkButton();
    ShowTime();
}

bool CActiveCallPane::PushToTalkMode() const {
    return forcedPushToTalk_ || (parts_.pushToTalk && parts_.pushToTalk());
}

void CActiveCallPane::UpdateTalkButton() {
    talkButton_.Update(PushToTalkMode());
    DrawTalkButton();
}

void CActiveCallPane::SetForcedPushToTalk(bool on) {
    forcedPushToTalk_ = on;
    UpdateTalkButton();
}

void CActiveCallPane::TalkStart() {
    talkButton_.TalkStart(record_ != nullptr, talk_->isEnabled());
    DrawTalkButton();
}

void CActiveCallPane::TalkStop() {
    talkButton_.TalkStop(record_ != nullptr);
    DrawTalkButton();
}

void CActiveCallPane::PostTalkStart() {
    QMetaObject::invokeMethod(
        this, [this] { TalkStart(); }, Qt::QueuedConnection);
}

void CActiveCallPane::PostTalkStop() {
    QMetaObject::invokeMethod(
        this, [this] { TalkStop(); }, Qt::QueuedConnection);
}

void CActiveCallPane::DrawTalkButton() {
    const TalkMuteLook look = talkButton_.Look();
    talk_->setText(Q(look.caption));
    talk_->setToolTip(Q(look.tooltip));
    QPalette palette = talk_->palette();
    if (look.redCaption) {
        const std::uint32_t c = look.captionColour;
        palette.setColor(QPalette::ButtonText, QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    } else {
        palette.setColor(QPalette::ButtonText, QPalette().color(QPalette::ButtonText));
    }
    talk_->setPalette(palette);
    talk_->setChecked(look.pushed);
}

void CActiveCallPane::UpdateButtons() {
    const ActivePaneButtons b =
        ActiveButtonsFor(Kind(), incoming_ ? incoming_->Kind() : SecondSlotKind::kEmpty);
    QPushButton* pickup = pickup_->Button();
    pickup->setText(Q(b.pickupCaption));
    pickup->setToolTip(Q(b.pickupTooltip));
    pickup->setEnabled(b.pickupEnabled);
    hangUp_->setText(Q(b.hangUpCaption));
    hangUp_->setToolTip(Q(b.hangUpTooltip));
    hangUp_->setEnabled(b.hangUpEnabled);
    talk_->setEnabled(b.talkEnabled);
    textChat_->setEnabled(b.textChatEnabled);
    SetLight(b.light);
    if (b.pickupBlinks) {
        pickup_->StartBlink();
    } else {
        pickup_->StopBlink();
    }
}

void CActiveCallPane::Refresh() {
    list_->clear();
    FillList();
    UpdateButtons();
    ShowTime();
}

void CActiveCallPane::StopTextChatBlink() {
    textChatBlinker_->Stop();
}

void CActiveCallPane::StartTextChatBlink() {
    textChatBlinker_->Start();
}

void CActiveCallPane::SetTextChat(std::function<void()> open,
                                  std::function<void(bool shown)> conversation) {
    openTextChat_ = std::move(open);
    textChatConversation_ = std::move(conversation);
    if (textChatConversation_) {
        textChatConversation_(record_ != nullptr);
    }
}

bool CActiveCallPane::TextChatBlinking() const {
    return textChatBlinker_->Blinking();
}

void CActiveCallPane::StopPickupBlink() {
    pickup_->StopBlink();
}

QString CActiveCallPane::StatusText() const {
    return statusText_;
}

QString CActiveCallPane::TimeText() const {
    return time_->text();
}

void CActiveCallPane::SetStatus(const QString& text) {
    statusText_ = text;
    ElideStatus();
}

void CActiveCallPane::ElideStatus() {
    // A long forum name is cut at the pane's width rather than pushing the buttons down; the
    // whole of it is in the participant list's tooltip.
    const int width = std::max(20, status_->width());
    status_->setText(status_->fontMetrics().elidedText(statusText_, Qt::ElideRight, width));
    list_->setToolTip(statusText_ != status_->text() ? statusText_ : QString());
}

void CActiveCallPane::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    ElideStatus();
}

void CActiveCallPane::SetLight(StatusLight light) {
    light_ = light;
    lightLabel_->setPixmap(CallPaneImages::Light(light));
}

void CActiveCallPane::Decorate(QTreeWidgetItem* item, std::uint32_t flags) {
    item->setData(0, kFlagsRole, static_cast<qulonglong>(flags));
    item->setIcon(0, QIcon(CallPaneImages::Mark(StatusOf(flags))));
    const char* tip = "Talking";
    switch (StatusOf(flags)) {
        case ParticipantStatus::kPresent:
            tip = "In the call";
            break;
        case ParticipantStatus::kTalking:
            tip = "Talking";
            break;
        case ParticipantStatus::kOnHold:
            tip = "On Hold";
            break;
        case ParticipantStatus::kMuted:
            tip = "Muted";
            break;
        case ParticipantStatus::kInvited:
            tip = "Ringing";
            break;
    }
    item->setToolTip(0, tip);
}

void CActiveCallPane::FillList() {
    if (record_ == nullptr) {
        return;
    }
    for (const CallParticipant& p : record_->participants) {
        auto* item = new QTreeWidgetItem(list_);
        item->setData(0, kIdRole, Q(p.userId));
        item->setText(1, Q(p.nickname));
        item->setToolTip(1, Q(p.nickname + " (" + p.userId + ")"));
        Decorate(item, p.flags);
    }
}

QTreeWidgetItem* CActiveCallPane::ItemOf(const std::string& userId) const {
    const QString id = Q(userId);
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        if (list_->topLevelItem(i)->data(0, kIdRole).toString() == id) {
            return list_->topLevelItem(i);
        }
    }
    return nullptr;
}

void CActiveCallPane::OnUserList(const std::string& text) {
    if (record_ == nullptr) {
        return;
    }
    const std::vector<UserListRow> rows = ParseUserList(text, parts_.moderationEnabled);
    // Talking comes from its own event: a row that stays keeps it while it may talk.
    std::unordered_map<std::string, std::uint32_t> talking;
    for (const CallParticipant& p : record_->participants) {
        if ((p.flags & participant_flag::kTalking) != 0) {
            talking[p.userId] = participant_flag::kTalking;
        }
    }
    std::vector<CallParticipant> merged;
    merged.reserve(rows.size());
    for (const UserListRow& row : rows) {
        std::uint32_t flags = row.flags;
        if (auto it = talking.find(row.userId);
            it != talking.end() && (flags & participant_flag::kPresent) != 0) {
            flags |= it->second;
        }
        merged.push_back(CallParticipant{row.userId, row.nickname, flags});
    }
    record_->participants = std::move(merged);

    // Rows that went are removed, new ones added at their place, changed ones redrawn.
    std::unordered_map<std::string, const CallParticipant*> byId;
    for (const CallParticipant& p : record_->participants) {
        byId[p.userId] = &p;
    }
    for (int i = list_->topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (byId.count(item->data(0, kIdRole).toString().toStdString()) == 0) {
            delete list_->takeTopLevelItem(i);
        }
    }
    int index = 0;
    for (const CallParticipant& p : record_->participants) {
        QTreeWidgetItem* item = ItemOf(p.userId);
        if (item == nullptr) {
            item = new QTreeWidgetItem;
            item->setData(0, kIdRole, Q(p.userId));
            list_->insertTopLevelItem(index, item);
        } else if (list_->indexOfTopLevelItem(item) != index) {
            list_->takeTopLevelItem(list_->indexOfTopLevelItem(item));
            list_->insertTopLevelItem(index, item);
        }
        if (item->text(1) != Q(p.nickname)) {
            item->setText(1, Q(p.nickname));
            item->setToolTip(1, Q(p.nickname + " (" + p.userId + ")"));
        }
        if (item->data(0, kFlagsRole).toULongLong() != p.flags || item->icon(0).isNull()) {
            Decorate(item, p.flags);
        }
        ++index;
    }
    const int count = static_cast<int>(record_->participants.size());
    if (count != reportedCount_) {
        reportedCount_ = count;
        if (parts_.participantCountChanged) {
            parts_.participantCountChanged(count);
        }
    }
}

void CActiveCallPane::OnUserTalking(const std::string& name, bool start) {
    if (record_ == nullptr) {
        return;
    }
    for (CallParticipant& p : record_->participants) {
        if (p.userId != name && p.nickname != name) {
            continue;
        }
        p.flags =
            start ? p.flags | participant_flag::kTalking : p.flags & ~participant_flag::kTalking;
        if (QTreeWidgetItem* item = ItemOf(p.userId)) {
            Decorate(item, p.flags);
        }
        return;
    }
}

void CActiveCallPane::OnJoinedConference(std::int32_t, bool joined, bool) {
    if (joined && record_ != nullptr && record_->IsCall()) {
        SetStatus("Active Call");
    }
}

void CActiveCallPane::OnJoinedGroup(const std::string& name) {
    if (!name.empty() && record_ != nullptr && record_->IsForum()) {
        SetStatus(QString("In %1 Forum").arg(Q(name)));
    }
}

void CActiveCallPane::OnConnectionState(std::int32_t state) {
    if (state != 0) {
        return;
    }
    list_->clear();
    if (record_ != nullptr) {
        record_->participants.clear();
    }
    talk_->setEnabled(false);
}

void CActiveCallPane::OnMikeActive(std::int16_t state) {
    if (record_ == nullptr || parts_.manager == nullptr) {
        return;
    }
    OnUserTalking(parts_.manager->UserId(), state == 1 && canTalk_);
}

void CActiveCallPane::OnCanTalk(bool on) {
    canTalk_ = on;
}

void CActiveCallPane::ShowTime() {
    if (record_ == nullptr || !record_->connected || parts_.clock == nullptr) {
        time_->setText("Time In Call:");
        return;
    }
    const std::uint32_t elapsed = parts_.clock->Now() - record_->startTime;
    time_->setText(QString("Time In Call: %1").arg(Q(FormatTimeInCall(elapsed / 1000))));
}

void CActiveCallPane::OnSecondTick() {
    ShowTime();
    const bool connectedCall = record_ != nullptr && record_->connected && record_->IsCall();
    const std::uint32_t now = parts_.clock != nullptr ? parts_.clock->Now() : 0;
    if (alone_.Tick(now, connectedCall, static_cast<std::size_t>(list_->topLevelItemCount()))) {
        if (parts_.hangUp) {
            parts_.hangUp();
        }
        if (parts_.playSound) {
            parts_.playSound("RemovedFromCall");
        }
    }
}

void CActiveCallPane::MikeActiveThunk(std::int16_t state, void* self) {
    static_cast<CActiveCallPane*>(self)->OnMikeActive(state);
}

void CActiveCallPane::CanTalkThunk(bool on, void* self) {
    static_cast<CActiveCallPane*>(self)->OnCanTalk(on);
}

void CActiveCallPane::UserListThunk(const std::string& text, void* self) {
    static_cast<CActiveCallPane*>(self)->OnUserList(text);
}

void CActiveCallPane::UserTalkingThunk(const std::string& name, const std::string&, bool start,
                                       void* self) {
    static_cast<CActiveCallPane*>(self)->OnUserTalking(name, start);
}

void CActiveCallPane::JoinedConferenceThunk(std::int32_t id, bool joined, bool deleted,
                                            void* self) {
    static_cast<CActiveCallPane*>(self)->OnJoinedConference(id, joined, deleted);
}

void CActiveCallPane::JoinedGroupThunk(const std::string& name, void* self) {
    static_cast<CActiveCallPane*>(self)->OnJoinedGroup(name);
}

void CActiveCallPane::ConnectionStateThunk(std::int32_t state, void* self) {
    static_cast<CActiveCallPane*>(self)->OnConnectionState(state);
}

}  // namespace qv
