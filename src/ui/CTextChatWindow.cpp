#include "ui/CTextChatWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>

#include "calls/TextChatCommands.h"
#include "calls/TextChatFlood.h"
#include "calls/TextChatInputColour.h"
#include "engine/CSonaroManager.h"
#include "platform/TickClock.h"
#include "settings/IniFile.h"
#include "settings/Options.h"
#include "ui/ScreenFit.h"

namespace qv {

namespace {

constexpr int kMargin = 4;
constexpr int kBottom = 32;
constexpr int kInputFromBottom = 28;
constexpr int kInputHeight = 24;
constexpr int kDefaultWidth = 380;
constexpr int kDefaultHeight = 240;
constexpr int kMissing = -32768;
constexpr int kMaxDisplayLines = 5000;

// User-message numbers of the text chat.
constexpr std::int16_t kSpoken = 4;
constexpr std::int16_t kWhisper = 5;
constexpr std::int16_t kEmote = 6;

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QColor PaletteColour(int index) {
    const std::uint32_t ref = kTextChatPalette[static_cast<std::size_t>(std::clamp(index, 0, 14))];
    return QColor(RedOf(ref), GreenOf(ref), BlueOf(ref));
}

// The display has no carriage returns: a CR LF pair is one line break, a lone CR none.
std::string LineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\r') {
            out += c;
        }
    }
    return out;
}

std::string LeadingBlanksRemoved(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first);
}

}  // namespace

CTextChatWindow::CTextChatWindow(Parts parts, QWidget* parent)
    : QWidget(parent, Qt::Window),
      parts_(std::move(parts)),
      display_(new QTextEdit(this)),
      input_(new QLineEdit(this)),
      onTopAction_(new QAction("Always On Top", this)) {
    setObjectName("TextChatWindow");
    setWindowTitle("Text Chat: Idle");
    setMinimumSize(kMinWidth, kMinHeight);
    display_->setObjectName("display");
    display_->setReadOnly(true);
    display_->setAcceptRichText(false);
    display_->setUndoRedoEnabled(false);
    // A day in a busy forum must not grow without end: the oldest lines go.
    display_->document()->setMaximumBlockCount(kMaxDisplayLines);
    // The input types in the display's font (the chat font reaches the display).
    display_->installEventFilter(this);
    display_->setLineWrapMode(QTextEdit::WidgetWidth);
    display_->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette white = display_->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Text, Qt::black);
    display_->setPalette(white);
    connect(display_, &QTextEdit::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu* menu = display_->createStandardContextMenu(at);
        menu->addSeparator();
        menu->addAction(onTopAction_);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(display_->viewport()->mapToGlobal(at));
    });
    onTopAction_->setCheckable(true);
    connect(onTopAction_, &QAction::toggled, this, [this](bool on) { SetOnTop(on); });

    input_->setObjectName("input");
    input_->setMaxLength(kMaxInput);
    input_->installEventFilter(this);
    connect(input_, &QLineEdit::textChanged, this, [this] { ColourInput(); });
    ColourInput();

    connected_ = parts_.manager == nullptr || parts_.manager->State() >= CSonaroManager::kConnected;
    UpdateLive();
    RestorePlacement();
    Lay();

    if (CSonaroManager* m = parts_.manager) {
        m->Subscribe<engine_event::UserMessage>(&CTextChatWindow::UserMessageThunk, this);
        m->Subscribe<engine_event::JoinedGroup>(&CTextChatWindow::JoinedGroupThunk, this);
        m->Subscribe<engine_event::ConnectionState>(&CTextChatWindow::ConnectionStateThunk, this);
        m->Subscribe<engine_event::UserChange>(&CTextChatWindow::UserChangeThunk, this);
    }
}

CTextChatWindow::~CTextChatWindow() {
    if (CSonaroManager* m = parts_.manager) {
        m->Unsubscribe<engine_event::UserMessage>(&CTextChatWindow::UserMessageThunk, this);
        m->Unsubscribe<engine_event::JoinedGroup>(&CTextChatWindow::JoinedGroupThunk, this);
        m->Unsubscribe<engine_event::ConnectionState>(&CTextChatWindow::ConnectionStateThunk, this);
        m->Unsubscribe<engine_event::UserChange>(&CTextChatWindow::UserChangeThunk, this);
    }
}

// ---- the lines of calls and forums ------------------------------------------------------------

void CTextChatWindow::JoinedCall(const std::string& nickname, const std::string& userId) {
    Write(chat_line::JoinedCall(Now(), nickname, userId));
    SetConversation(true);
    // The user had the window open last time: it comes back with the conversation.
    if (parts_.settings != nullptr && parts_.settings->GetInt(kSection, "ShowTextChat", 0) != 0) {
        show();
    }
}

void CTextChatWindow::PlacedOnHold(const std::string& nickname, const std::string& userId) {
    Write(chat_line::PlacedOnHold(Now(), nickname, userId));
}

void CTextChatWindow::EndedCall(const std::string& nickname, const std::string& userId) {
    Write(chat_line::EndedCall(Now(), nickname, userId));
}

void CTextChatWindow::JoinedForum(const std::string& forumName) {
    Write(chat_line::JoinedForum(Now(), forumName));
    SetConversation(true);
    if (parts_.settings != nullptr && parts_.settings->GetInt(kSection, "ShowTextChat", 0) != 0) {
        show();
    }
}

void CTextChatWindow::LeftForum(const std::string& forumName) {
    Write(chat_line::LeftForum(Now(), forumName));
}

void CTextChatWindow::NoConversation() {
    SetConversation(false);
}

void CTextChatWindow::NoticeLine(const std::string& text) {
    Write(chat_line::System(text));
    ScrollToEnd();
    if (!isVisible() && parts_.startBlink) {
        parts_.startBlink();
    }
}

// ---- state ------------------------------------------------------------------------------------

void CTextChatWindow::Open() {
    WriteShowSetting(true);
    show();
    raise();
    activateWindow();
}

void CTextChatWindow::SetConversation(bool active) {
    conversation_ = active;
    UpdateLive();
}

void CTextChatWindow::UpdateLive() {
    const bool live = ConversationLive();
    if (!live) {
        input_->clear();
    }
    input_->setEnabled(live);
}

void CTextChatWindow::SetOnTop(bool on) {
    if (onTopAction_->isChecked() != on) {
        onTopAction_->setChecked(on);  // comes back here through toggled
        return;
    }
    if (parts_.settings != nullptr) {
        parts_.settings->WriteInt(kSection, "TextChatOnTop", on ? 1 : 0);
    }
    if (onTop_ == on) {
        return;
    }
    onTop_ = on;
    const bool visible = isVisible();
    const QRect place = geometry();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) {
        // Changing the flag hides the window; it comes back where it was.
        setGeometry(place);
        show();
    }
}

void CTextChatWindow::WriteShowSetting(bool shown) {
    if (parts_.settings != nullptr) {
        parts_.settings->WriteInt(kSection, "ShowTextChat", shown ? 1 : 0);
    }
}

std::string CTextChatWindow::Now() const {
    return parts_.timeText ? parts_.timeText() : ChatTimeNow();
}

std::string CTextChatWindow::OwnNickname() const {
    return parts_.manager != nullptr ? parts_.manager->NickName() : std::string();
}

// ---- the display ------------------------------------------------------------------------------

void CTextChatWindow::Write(const ChatLine& line) {
    // The user's cursor and selection stay where they are: the line goes in at the end.
    QTextCursor at(display_->document());
    at.movePosition(QTextCursor::End);
    bool first = display_->document()->isEmpty();
    for (const ChatPiece& piece : line) {
        std::string text = LineBreaks(piece.text);
        // The very first line of an empty display starts at its top.
        if (first && !text.empty() && text.front() == '\n') {
            text.erase(0, 1);
        }
        if (!text.empty()) {
            first = false;
        }
        QTextCharFormat format;
        format.setForeground(PaletteColour(piece.colour));
        // Two indexes share a colour; the index itself says which kind of line this is.
        format.setProperty(kPaletteIndexProperty, piece.colour);
        at.insertText(Q(text), format);
    }
    ScrollToEnd();
}

void CTextChatWindow::Clear() {
    display_->clear();
}

void CTextChatWindow::ScrollToEnd() {
    QScrollBar* bar = display_->verticalScrollBar();
    bar->setValue(bar->maximum());
}

// ---- the input --------------------------------------------------------------------------------

void CTextChatWindow::ColourInput() {
    QColor text = Qt::black;
    switch (InputColourFor(input_->text().toStdString())) {
        case InputColour::kWhisper:
            text = PaletteColour(chat_colour::kOutgoingWhisper);
            break;
        case InputColour::kEmote:
            text = PaletteColour(chat_colour::kOwnEmote);
            break;
        case InputColour::kNormal:
            break;
    }
    QPalette p = input_->palette();
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Base, Qt::white);
    input_->setPalette(p);
}

void CTextChatWindow::SetInput(const std::string& text) {
    input_->setText(Q(text));
    input_->end(false);
}

void CTextChatWindow::Enter() {
    if (!ConversationLive()) {
        return;
    }
    const std::uint32_t now = parts_.clock != nullptr ? parts_.clock->Now() : 0;
    if (parts_.clock != nullptr && TextChatFlooding(history_, now)) {
        return;
    }
    ScrollToEnd();
    const std::string text = LeadingBlanksRemoved(input_->text().toStdString());
    if (text.empty()) {
        return;
    }
    ChatContext context;
    context.ownNickname = OwnNickname();
    context.whisperOnly = whisperOnly_;
    if (parts_.selectedNames) {
        for (const std::string& name : parts_.selectedNames()) {
            context.selected.push_back(WhisperName(name));
        }
    }
    for (const ChatStep& step : ChatSteps(text, context)) {
        CSonaroManager* m = parts_.manager;
        switch (step.kind) {
            case ChatStep::Kind::kWrite:
                Write(step.line);
                break;
            case ChatStep::Kind::kClear:
                Clear();
                break;
            case ChatStep::Kind::kSay:
                if (m != nullptr) {
                    m->SendTextChatMessage(step.text);
                }
                break;
            case ChatStep::Kind::kWhisper:
                if (m != nullptr) {
                    m->SendWhisper(step.alias, step.text);
                }
                break;
            case ChatStep::Kind::kEmote:
                if (m != nullptr) {
                    m->SendTextChatCommand(step.text);
                }
                break;
        }
    }
    history_.Add(text, now);
    input_->clear();
}

void CTextChatWindow::HistoryUp() {
    if (std::optional<std::string> line = history_.Previous()) {
        SetInput(*line);
    }
}

void CTextChatWindow::HistoryDown() {
    if (std::optional<std::string> line = history_.Next()) {
        SetInput(*line);
    }
}

bool CTextChatWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == display_ && event->type() == QEvent::FontChange) {
        input_->setFont(display_->font());
    }
    if (watched == input_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                Enter();
                return true;
            case Qt::Key_Up:
                HistoryUp();
                return true;
            case Qt::Key_Down:
                HistoryDown();
                return true;
            case Qt::Key_PageDown:
                ScrollToEnd();
                return true;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- engine events ----------------------------------------------------------------------------

void CTextChatWindow::Attention() {
    if (isVisible()) {
        return;
    }
    if (parts_.startBlink) {
        parts_.startBlink();
    }
    if (parts_.playSound) {
        parts_.playSound(kTextNotificationSound);
    }
}

void CTextChatWindow::OnUserMessage(const std::string& alias, const std::string& /*uid*/,
                                    std::int16_t number, std::int16_t /*parameter*/,
                                    const std::string& text) {
    switch (number) {
        case kSpoken:
            Write(chat_line::Spoken(alias, text));
            break;
        case kWhisper:
            Write(chat_line::IncomingWhisper(alias, text));
            break;
        case kEmote:
            Write(chat_line::IncomingEmote(alias, text));
            break;
        default:
            return;
    }
    ScrollToEnd();
    Attention();
    if (number == kWhisper && parts_.playSound) {
        parts_.playSound(kReceiveWhisperSound);
    }
}

void CTextChatWindow::OnJoinedGroup(const std::string& name) {
    setWindowTitle(name.empty() ? "Text Chat: Idle" : "Text Chat: Active");
}

void CTextChatWindow::OnConnectionState(std::int32_t state) {
    if (state == CSonaroManager::kIdle || state == CSonaroManager::kDisconnecting ||
        state == CSonaroManager::kConnecting) {
        Clear();
        connected_ = false;
        UpdateLive();
        hide();
    } else if (state == CSonaroManager::kConnected || state == CSonaroManager::kLoggedIn) {
        connected_ = true;
        UpdateLive();
    }
}

void CTextChatWindow::OnUserChange(const std::string& name, const std::string& /*second*/,
                                   std::int16_t changeType, bool existing) {
    if (existing || (changeType != 0 && changeType != 1)) {
        return;
    }
    if (parts_.options == nullptr || parts_.options->ShowTrafficMessages() == 0) {
        return;
    }
    if (parts_.voiceLinkOn && parts_.voiceLinkOn()) {
        return;
    }
    Write(changeType == 1 ? chat_line::Joined(name) : chat_line::Left(name));
}

void CTextChatWindow::UserMessageThunk(const std::string& alias, const std::string& uid,
                                       std::int16_t number, std::int16_t parameter,
                                       const std::string& text, void* self) {
    static_cast<CTextChatWindow*>(self)->OnUserMessage(alias, uid, number, parameter, text);
}

void CTextChatWindow::JoinedGroupThunk(const std::string& name, void* self) {
    static_cast<CTextChatWindow*>(self)->OnJoinedGroup(name);
}

void CTextChatWindow::ConnectionStateThunk(std::int32_t state, void* self) {
    static_cast<CTextChatWindow*>(self)->OnConnectionState(state);
}

void CTextChatWindow::UserChangeThunk(const std::string& name, const std::string& second,
                                      std::int16_t changeType, bool existing, void* self) {
    static_cast<CTextChatWindow*>(self)->OnUserChange(name, second, changeType, existing);
}

// ---- placement --------------------------------------------------------------------------------

void CTextChatWindow::Lay() {
    const int w = width();
    const int h = height();
    display_->setGeometry(kMargin, kMargin, std::max(0, w - 2 * kMargin),
                          std::max(0, h - kBottom - kMargin));
    input_->setGeometry(kMargin, h - kInputFromBottom, std::max(0, w - 2 * kMargin), kInputHeight);
}

void CTextChatWindow::RestorePlacement() {
    int left = kMissing;
    int top = kMissing;
    int width = 0;
    int height = 0;
    if (IniFile* s = parts_.settings) {
        left = s->GetInt(kSection, "TextChatLeft", kMissing);
        top = s->GetInt(kSection, "TextChatTop", kMissing);
        width = s->GetInt(kSection, "TextChatWidth", 0);
        height = s->GetInt(kSection, "TextChatHeight", 0);
        onTop_ = s->GetInt(kSection, "TextChatOnTop", 0) != 0;
    }
    QRect place(0, 0, kDefaultWidth, kDefaultHeight);
    if (width > 0 && height > 0) {
        place.setSize(QSize(width, height).expandedTo(QSize(kMinWidth, kMinHeight)));
    }
    if (left != kMissing && top != kMissing) {
        place.moveTopLeft(QPoint(left, top));
        // A place saved on a screen that is gone: back onto the screen it is now on.
        setGeometry(FitOnScreen(place));
    } else {
        resize(place.size());
    }
    onTopAction_->blockSignals(true);
    onTopAction_->setChecked(onTop_);
    onTopAction_->blockSignals(false);
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop_);
}

void CTextChatWindow::SavePlacement() {
    if (!placed_ || !isVisible() || isMinimized() || parts_.settings == nullptr) {
        return;
    }
    const QRect place = geometry();
    parts_.settings->WriteInt(kSection, "TextChatLeft", place.left());
    parts_.settings->WriteInt(kSection, "TextChatTop", place.top());
    parts_.settings->WriteInt(kSection, "TextChatWidth", place.width());
    parts_.settings->WriteInt(kSection, "TextChatHeight", place.height());
}

void CTextChatWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Lay();
    SavePlacement();
}

void CTextChatWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    SavePlacement();
}

void CTextChatWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    placed_ = true;
    ScrollToEnd();
}

void CTextChatWindow::closeEvent(QCloseEvent* event) {
    // Closing only hides: the window lives for the whole run.
    WriteShowSetting(false);
    event->ignore();
    hide();
}

}  // namespace qv
