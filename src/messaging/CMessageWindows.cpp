#include "messaging/CMessageWindows.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <ctime>
#include <optional>

#include "messaging/ForumInvitation.h"
#include "settings/IniFile.h"

namespace qv {

namespace {

QString Q(const std::string& text) {
    return QString::fromUtf8(text.c_str());
}

constexpr const char* kWindowRect = "WindowRect";

struct UserButtonSpec {
    const char* name;
    const char* text;
    const char* tip;
};
constexpr UserButtonSpec kUserButtons[] = {
    {"Add", "&Add", "Add user to contact list"},
    {"Block", "&Block", "Block this user"},
    {"Call", "&Call", "Place a call to this user"},
    {"Info", "&Info", "View user's personal info"},
    {"History", "&History", "View message history with this user"},
    {"Help", "He&lp", "Help with this dialog"},
};

// The row of user buttons for one user (the first recipient). Info has no window yet: disabled.
QHBoxLayout* UserButtons(QDialog* dialog, const UserButtonActions& actions, const std::string& id,
                         const std::string& nickname) {
    auto* row = new QHBoxLayout;
    for (const UserButtonSpec& spec : kUserButtons) {
        auto* button = new QPushButton(spec.text, dialog);
        button->setObjectName(QString("user") + spec.name);
        button->setToolTip(spec.tip);
        button->setAutoDefault(false);
        std::function<void()> action;
        const std::string name = spec.name;
        if (name == "Add" && actions.add) {
            action = [f = actions.add, id, nickname] { f(id, nickname); };
        } else if (name == "Block" && actions.block) {
            action = [f = actions.block, id, nickname] { f(id, nickname); };
        } else if (name == "Call" && actions.call) {
            action = [f = actions.call, id, nickname] { f(id, nickname); };
        } else if (name == "History" && actions.history) {
            action = [f = actions.history, id, nickname] { f(id, nickname); };
        } else if (name == "Help" && actions.help) {
            action = actions.help;
        }
        button->setEnabled(static_cast<bool>(action) && (name == "Help" || !id.empty()));
        if (action) {
            QObject::connect(button, &QPushButton::clicked, dialog, action);
        }
        row->addWidget(button);
    }
    row->addStretch(1);
    return row;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

}  // namespace

// ---- Send Instant Message

CSendMessageDialog::CSendMessageDialog(MessageCenter& center, std::string ids,
                                       std::string nicknames, UserButtonActions actions,
                                       IniFile* settings, QWidget* parent)
    : QDialog(parent),
      center_(center),
      ids_(std::move(ids)),
      nicknames_(std::move(nicknames)),
      settings_(settings),
      text_(new QPlainTextEdit(this)),
      highPriority_(new QCheckBox("High priority", this)),
      notify_(new QCheckBox("Notify when message received", this)),
      send_(new QPushButton("&Send", this)) {
    setObjectName("SendInstantMessage");
    setAttribute(Qt::WA_DeleteOnClose);
    const std::string firstId = FirstLine(ids_);
    const std::string firstNick = FirstLine(nicknames_);
    setWindowTitle(Q("Send " + firstNick));

    // "Nick (ID)", one recipient a line.
    QString recipients;
    std::size_t idAt = 0;
    std::size_t nickAt = 0;
    while (idAt < ids_.size()) {
        std::size_t idEnd = ids_.find('\n', idAt);
        std::size_t nickEnd = nicknames_.find('\n', nickAt);
        idEnd = idEnd == std::string::npos ? ids_.size() : idEnd;
        const std::string nick =
            nickAt < nicknames_.size()
                ? nicknames_.substr(
                      nickAt, (nickEnd == std::string::npos ? nicknames_.size() : nickEnd) - nickAt)
                : std::string{};
        if (!recipients.isEmpty()) {
            recipients += "\n";
        }
        recipients += Q(nick + " (" + ids_.substr(idAt, idEnd - idAt) + ")");
        idAt = idEnd + 1;
        nickAt = nickEnd == std::string::npos ? nicknames_.size() : nickEnd + 1;
    }
    auto* to = new QLabel(recipients, this);
    to->setObjectName("recipients");

    auto* cancel = new QPushButton("Cancel", this);
    send_->setDefault(true);
    send_->setEnabled(false);
    connect(text_, &QPlainTextEdit::textChanged, this,
            [this] { send_->setEnabled(!text_->toPlainText().trimmed().isEmpty()); });
    connect(send_, &QPushButton::clicked, this, &CSendMessageDialog::Send);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(UserButtons(this, actions, firstId, firstNick));
    layout->addWidget(new QLabel("To:", this));
    layout->addWidget(to);
    layout->addWidget(new QLabel("Message:", this));
    layout->addWidget(text_, 1);
    layout->addWidget(highPriority_);
    layout->addWidget(notify_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(send_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    resize(380, 300);
    if (settings_ != nullptr) {
        const int w = settings_->GetInt(kWindowRect, "SendInstantMessageWidth", 0);
        const int h = settings_->GetInt(kWindowRect, "SendInstantMessageHeight", 0);
        if (w > 100 && h > 100) {
            resize(w, h);
        }
        const int left = settings_->GetInt(kWindowRect, "SendInstantMessageLeft", -1);
        const int top = settings_->GetInt(kWindowRect, "SendInstantMessageTop", -1);
        if (left >= 0 && top >= 0) {
            move(left, top);
        }
    }
}

QPushButton* CSendMessageDialog::UserButton(const char* name) const {
    return findChild<QPushButton*>(QString("user") + name);
}

void CSendMessageDialog::Send() {
    // Leading white space does not count as text.
    const QString text = text_->toPlainText();
    if (text.trimmed().isEmpty()) {
        return;
    }
    std::uint16_t flags = 0;
    if (highPriority_->isChecked()) {
        flags |= message_flag::kHighPriority;
    }
    if (notify_->isChecked()) {
        flags |= message_flag::kReceiptRequested;
    }
    center_.SendToRecipients(ids_, nicknames_, text.toStdString(), flags);
    accept();
}

void CSendMessageDialog::done(int result) {
    if (settings_ != nullptr) {
        settings_->WriteInt(kWindowRect, "SendInstantMessageLeft", x());
        settings_->WriteInt(kWindowRect, "SendInstantMessageTop", y());
        settings_->WriteInt(kWindowRect, "SendInstantMessageWidth", width());
        settings_->WriteInt(kWindowRect, "SendInstantMessageHeight", height());
    }
    QDialog::done(result);
}

// ---- Incoming message

std::string CIncomingMessageWindow::FormatTime(std::uint32_t time) {
    const std::time_t when = time;
    std::tm local{};
    localtime_r(&when, &local);
    char date[32];
    char clock[32];
    std::strftime(date, sizeof date, "%m/%d/%Y", &local);
    std::strftime(clock, sizeof clock, "%I:%M %p", &local);
    return std::string(date) + " - " + clock;
}

CIncomingMessageWindow::CIncomingMessageWindow(
    MessageCenter& center, const MessageCenter::Notice& alert, const std::string& imLabel,
    UserButtonActions actions, std::function<void(const std::string&, const std::string&)> reply,
    IniFile* settings, QWidget* parent)
    : QDialog(parent),
      center_(center),
      alertId_(alert.id),
      settings_(settings),
      sender_(new QLabel(Q(alert.senderNickname + " (" + alert.senderId + ")"), this)),
      time_(new QLabel(Q(FormatTime(alert.time)), this)),
      reply_(new QPushButton("&Reply", this)) {
    setObjectName("IncomingInstantMessage");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Q("Incoming " + imLabel));
    sender_->setObjectName("sender");
    time_->setObjectName("time");
    QFont bold = sender_->font();
    bold.setBold(true);
    sender_->setFont(bold);
    auto* text = new QPlainTextEdit(Q(alert.text), this);
    text->setObjectName("message");
    text->setReadOnly(true);
    if ((alert.flags & message_flag::kHighPriority) != 0) {
        text->setStyleSheet("QPlainTextEdit { border: 2px solid #c0392b; }");
    }
    // A receipt is not answered.
    reply_->setEnabled(reply && (alert.flags & message_flag::kAutomatic) == 0);
    if (reply) {
        connect(reply_, &QPushButton::clicked, this,
                [this, reply, id = alert.senderId, nick = alert.senderNickname] {
                    reply(id, nick);
                    close();
                });
    }
    auto* closeButton = new QPushButton("&Close", this);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(UserButtons(this, actions, alert.senderId, alert.senderNickname));
    layout->addWidget(sender_);
    layout->addWidget(time_);
    layout->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(reply_);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    resize(360, 260);
    if (settings_ != nullptr) {
        const int left = settings_->GetInt(kWindowRect, "IncomingInstantMessageLeft", -1);
        const int top = settings_->GetInt(kWindowRect, "IncomingInstantMessageTop", -1);
        if (left >= 0 && top >= 0) {
            move(left, top);
        }
    }
}

QString CIncomingMessageWindow::SenderLine() const {
    return sender_->text();
}

QString CIncomingMessageWindow::TimeLine() const {
    return time_->text();
}

QPushButton* CIncomingMessageWindow::UserButton(const char* name) const {
    return findChild<QPushButton*>(QString("user") + name);
}

void CIncomingMessageWindow::done(int result) {
    if (settings_ != nullptr) {
        settings_->WriteInt(kWindowRect, "IncomingInstantMessageLeft", x());
        settings_->WriteInt(kWindowRect, "IncomingInstantMessageTop", y());
    }
    center_.AlertWindowClosed(alertId_);
    QDialog::done(result);
}

// ---- Invitations

std::string CInvitationWindow::ForumOptionsText(const std::string& text) {
    const std::optional<ForumInvitation> forum = ParseForumInvitation(text);
    if (!forum) {
        return {};
    }
    std::string words;
    const auto add = [&words](const char* word) {
        words += words.empty() ? word : std::string(", ") + word;
    };
    if (forum->hidden) {
        add("Hidden");
    }
    if (forum->moderated) {
        add("Moderated");
    }
    if (forum->controlledMicrophones) {
        add("Controlled Microphones");
    }
    if (!forum->password.empty()) {
        add("Password given with the invitation");
    }
    return words;
}

CInvitationWindow::CInvitationWindow(MessageCenter& center, const MessageCenter::Notice& alert,
                                     std::function<void(const MessageCenter::Notice&)> accept,
                                     QWidget* parent)
    : QDialog(parent),
      center_(center),
      alertId_(alert.id),
      text_(new QLabel(Q(MessageCenter::TipOf(alert)), this)),
      accept_(new QPushButton("&Accept", this)) {
    setObjectName("Invitation");
    setAttribute(Qt::WA_DeleteOnClose);
    switch (alert.kind) {
        case notice_kind::kForumInvitation:
            setWindowTitle("Forum Invitation");
            break;
        case notice_kind::kWebTourInvitation:
            setWindowTitle("Web Tour Invitation");
            break;
        default:
            setWindowTitle("Web Page Invitation");
            break;
    }
    text_->setWordWrap(true);
    text_->setObjectName("invitation");
    // The second part of the text: the page's own words; for a forum its options (its second
    // text is the password, which is not shown).
    std::string words;
    if (alert.kind == notice_kind::kForumInvitation) {
        words = ForumOptionsText(alert.text);
    } else {
        const std::size_t tab = alert.text.find('\t');
        words = tab == std::string::npos ? std::string{} : alert.text.substr(tab + 1);
        words = words.substr(0, words.find('\t'));
    }
    auto* more = new QLabel(Q(words), this);
    more->setWordWrap(true);
    auto* when = new QLabel(Q(CIncomingMessageWindow::FormatTime(alert.time)), this);
    if (accept) {
        SetAccept([accept](const MessageCenter::Notice& invitation) {
            accept(invitation);
            return true;
        });
    } else {
        accept_->setEnabled(false);
    }
    connect(accept_, &QPushButton::clicked, this, [this] {
        const std::optional<MessageCenter::Notice> alert = center_.Find(alertId_);
        // A join that could not start keeps the invitation, to be accepted again later.
        if (acceptAction_ && alert && acceptAction_(*alert)) {
            close();
        }
    });
    auto* decline = new QPushButton("&Decline", this);
    connect(decline, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(more);
    layout->addWidget(when);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(accept_);
    buttons->addWidget(decline);
    layout->addLayout(buttons);
    resize(340, 160);
}

void CInvitationWindow::SetAccept(std::function<bool(const MessageCenter::Notice&)> accept) {
    acceptAction_ = std::move(accept);
    accept_->setEnabled(static_cast<bool>(acceptAction_));
}

QString CInvitationWindow::Text() const {
    return text_->text();
}

void CInvitationWindow::done(int result) {
    center_.AlertWindowClosed(alertId_);
    QDialog::done(result);
}

// ---- The host

CAlertWindowHost::~CAlertWindowHost() {
    std::map<std::uint64_t, Open> open;
    open.swap(open_);
    for (auto& [id, each] : open) {
        QObject::disconnect(each.window, &QObject::destroyed, nullptr, nullptr);
        delete each.window;
    }
}

void CAlertWindowHost::OpenAlertWindow(MessageCenter& center, std::uint64_t alertId) {
    const std::optional<MessageCenter::Notice> alert = center.Find(alertId);
    if (!alert) {
        return;
    }
    QDialog* window = nullptr;
    if (alert->kind == notice_kind::kIncomingMessage) {
        window = new CIncomingMessageWindow(center, *alert, parts_.imLabel, parts_.actions,
                                            parts_.reply, parts_.settings, parts_.parent);
    } else {
        const bool forum = alert->kind == notice_kind::kForumInvitation;
        auto* invitation = new CInvitationWindow(
            center, *alert, forum ? nullptr : parts_.acceptInvitation, parts_.parent);
        // A forum invitation is accepted through the center's forums.
        if (forum && center.CanAcceptForumInvitations()) {
            invitation->SetAccept([&center](const MessageCenter::Notice& accepted) {
                return center.AcceptForumInvitation(accepted.id);
            });
        }
        window = invitation;
    }
    window->setModal(false);
    open_[alertId] = Open{window, alert->kind, alert->senderId};
    QObject::connect(window, &QObject::destroyed, [this, alertId] { open_.erase(alertId); });
    window->show();
    window->raise();
}

bool CAlertWindowHost::RaiseAlertWindow(std::int32_t kind, const std::string& senderId) {
    for (auto& [id, open] : open_) {
        if (open.kind == kind && open.senderId == senderId && open.window != nullptr) {
            open.window->showNormal();
            open.window->raise();
            open.window->activateWindow();
            return true;
        }
    }
    return false;
}

void CAlertWindowHost::CloseAlertWindow(std::uint64_t alertId) {
    auto it = open_.find(alertId);
    if (it == open_.end()) {
        return;
    }
    QDialog* window = it->second.window;
    open_.erase(it);
    QObject::disconnect(window, &QObject::destroyed, nullptr, nullptr);
    delete window;
}

QDialog* CAlertWindowHost::Window(std::uint64_t alertId) const {
    auto it = open_.find(alertId);
    return it == open_.end() ? nullptr : it->second.window;
}

}  // namespace qv
