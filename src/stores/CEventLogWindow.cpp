#include "stores/CEventLogWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>
#include <ctime>

#include "settings/IniFile.h"

namespace qv {

namespace {

constexpr const char* kSection = "WindowRect";
constexpr int kMissing = -32768;
constexpr std::uint32_t kDay = 24u * 60u * 60u;

QString Q(const std::string& s) {
    return QString::fromUtf8(s.c_str());
}

std::string Local(std::uint32_t time, const char* format) {
    const auto t = static_cast<std::time_t>(time);
    std::tm local{};
    char out[128] = {};
    if (::localtime_r(&t, &local) != nullptr) {
        std::strftime(out, sizeof out, format, &local);
    }
    return out;
}

// Icon index by type: messages, calls, forum invitations, web tours, system.
int IconOf(std::uint8_t type) {
    switch (EventLog::GroupOf(type)) {
        case event_group::kMessages:
            return 0;
        case event_group::kCalls:
            return 1;
        case event_group::kInvitations:
            return 2;
        case event_group::kWebTours:
            return 3;
        default:
            return 4;
    }
}

QIcon MakeIcon(QColor color, const char* letter) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(color);
    p.setPen(color.darker(140));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, letter);
    return QIcon(pixmap);
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

// The time filter's choices, in days back from now (0: all times).
constexpr struct {
    const char* text;
    std::uint32_t days;
} kRanges[] = {{"All Times", 0}, {"Today", 1}, {"Last 7 Days", 7}, {"Last 30 Days", 30}};

constexpr struct {
    const char* text;
    std::uint32_t groups;
} kTypeBoxes[] = {
    {"&Messages", event_group::kMessages},
    {"&Calls", event_group::kCalls},
    {"&Invitations", event_group::kInvitations | event_group::kWebTours},
    {"&System", event_group::kSystem},
};

}  // namespace

// ---- the rows

EventLogModel::EventLogModel(QObject* parent) : QAbstractTableModel(parent) {
    icons_[0] = MakeIcon(QColor(40, 110, 200), "M");
    icons_[1] = MakeIcon(QColor(30, 150, 70), "C");
    icons_[2] = MakeIcon(QColor(210, 130, 20), "F");
    icons_[3] = MakeIcon(QColor(140, 70, 190), "W");
    icons_[4] = MakeIcon(QColor(120, 120, 120), "S");
}

void EventLogModel::SetRecords(std::vector<EventRecord> records) {
    beginResetModel();
    records_ = std::move(records);
    endResetModel();
}

const EventRecord* EventLogModel::At(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < records_.size()
               ? &records_[static_cast<std::size_t>(row)]
               : nullptr;
}

int EventLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(records_.size());
}

int EventLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

std::string EventLogModel::EventText(std::uint8_t type) {
    switch (type) {
        case event_type::kIncomingMessage:
            return "FROM";
        case event_type::kOutgoingMessage:
            return "TO";
        case event_type::kIncomingCall:
            return "INCOMING CALL";
        case event_type::kOutgoingCall:
            return "OUTGOING CALL";
        case event_type::kIncomingInvitation:
        case event_type::kIncomingWebTour:
            return "INVITED BY";
        case event_type::kOutgoingInvitation:
        case event_type::kOutgoingWebTour:
            return "INVITED";
        default:
            return "SYSTEM";
    }
}

std::string EventLogModel::DateText(std::uint32_t time) {
    return Local(time, "%m/%d/%y");
}

QVariant EventLogModel::data(const QModelIndex& index, int role) const {
    const EventRecord* record = At(index.row());
    if (record == nullptr) {
        return {};
    }
    if (role == Qt::DecorationRole && index.column() == kDate) {
        return icons_[IconOf(record->type)];
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (index.column()) {
        case kDate:
            return Q(DateText(record->time));
        case kEvent:
            return Q(EventText(record->type));
        case kParty:
            return record->type == event_type::kSystemMessage ? QString("SYSTEM")
                                                              : Q(record->nickname);
        case kText:
            return Q(FirstLine(record->text));
        default:
            return {};
    }
}

QVariant EventLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const kTitles[kColumns] = {"Date", "Event", "Party", "Text"};
    return section >= 0 && section < kColumns ? QString(kTitles[section]) : QVariant();
}

// ---- the window

CEventLogWindow::CEventLogWindow(EventLog& log, IniFile* settings, Screen& screen,
                                 std::string nickname, QWidget* parent)
    : QDialog(parent),
      log_(log),
      settings_(settings),
      screen_(screen),
      model_(new EventLogModel(this)),
      table_(new QTableView(this)),
      timeRange_(new QComboBox(this)),
      party_(new QLineEdit(this)),
      text_(new QLineEdit(this)),
      detailParty_(new QLabel(this)),
      detailTime_(new QLabel(this)),
      detailText_(new QPlainTextEdit(this)),
      archive_(new QPushButton("&Archive", this)),
      onTop_(new QCheckBox("Keep on &top", this)) {
    setObjectName("EventLog");
    setWindowFlag(Qt::Window);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    SetNickname(nickname);

    auto* layout = new QVBoxLayout(this);
    auto* filters = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        types_[i] = new QCheckBox(kTypeBoxes[i].text, this);
        types_[i]->setChecked(true);
        filters->addWidget(types_[i]);
        connect(types_[i], &QCheckBox::toggled, this, &CEventLogWindow::Refresh);
    }
    for (const auto& range : kRanges) {
        timeRange_->addItem(range.text);
    }
    filters->addWidget(timeRange_);
    filters->addStretch(1);
    layout->addLayout(filters);

    auto* search = new QHBoxLayout;
    auto* partyLabel = new QLabel("&Party:", this);
    partyLabel->setBuddy(party_);
    search->addWidget(partyLabel);
    party_->setPlaceholderText("ID or nickname");
    search->addWidget(party_, 1);
    auto* textLabel = new QLabel("Te&xt:", this);
    textLabel->setBuddy(text_);
    search->addWidget(textLabel);
    text_->setPlaceholderText("words in the message");
    search->addWidget(text_, 2);
    layout->addLayout(search);
    connect(timeRange_, &QComboBox::currentIndexChanged, this, &CEventLogWindow::Refresh);
    connect(party_, &QLineEdit::textEdited, this, [this] {
        userId_.clear();  // typing replaces History's exact user
        Refresh();
    });
    connect(text_, &QLineEdit::textEdited, this, &CEventLogWindow::Refresh);

    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(20);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(EventLogModel::kDate, 96);
    table_->setColumnWidth(EventLogModel::kEvent, 110);
    table_->setColumnWidth(EventLogModel::kParty, 120);
    table_->setShowGrid(false);
    layout->addWidget(table_, 3);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CEventLogWindow::ShowDetail);

    detailParty_->setObjectName("DetailParty");
    detailParty_->setStyleSheet("font-weight: bold;");
    detailTime_->setObjectName("DetailTime");
    detailText_->setReadOnly(true);
    auto* detailHead = new QHBoxLayout;
    detailHead->addWidget(detailParty_, 1);
    detailHead->addWidget(detailTime_);
    layout->addLayout(detailHead);
    layout->addWidget(detailText_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(onTop_);
    buttons->addStretch(1);
    buttons->addWidget(archive_);
    auto* close = new QPushButton("Close", this);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(archive_, &QPushButton::clicked, this, &CEventLogWindow::Archive);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    archive_->setAutoDefault(false);

    const bool onTop =
        settings_ != nullptr && settings_->GetInt(kSection, "LogDialogOnTop", 0) != 0;
    onTop_->setChecked(onTop);
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    connect(onTop_, &QCheckBox::toggled, this, &CEventLogWindow::SetOnTop);
    resize(560, 420);

    log_.SetChanged([this] {
        if (isVisible()) {
            Refresh();
        }
    });
    Refresh();
}

CEventLogWindow::~CEventLogWindow() {
    log_.SetChanged(nullptr);
}

QString CEventLogWindow::Caption(const std::string& nickname) {
    return nickname.empty() ? QString("Event Log  [All Users]")
                            : Q("Event Log  [" + nickname + "]");
}

std::string CEventLogWindow::PartyText(const EventRecord& record) {
    if (record.type == event_type::kSystemMessage) {
        return "SYSTEM";
    }
    return record.nickname + "  (" + record.id + ")";
}

std::string CEventLogWindow::TimeText(std::uint32_t time) {
    return Local(time, "%a, %B %d, %Y %I:%M %p");
}

void CEventLogWindow::SetNickname(const std::string& nickname) {
    setWindowTitle(Caption(nickname));
}

QCheckBox* CEventLogWindow::TypeBox(int index) const {
    return index >= 0 && index < 4 ? types_[index] : nullptr;
}

void CEventLogWindow::ShowUser(const std::string& id) {
    userId_ = id;
    party_->setText(Q(id));
    Refresh();
}

EventFilter CEventLogWindow::Filter() const {
    EventFilter filter;
    std::uint32_t groups = 0;
    for (int i = 0; i < 4; ++i) {
        if (types_[i]->isChecked()) {
            groups |= kTypeBoxes[i].groups;
        }
    }
    // None ticked shows none.
    filter.groups = groups == 0 ? 0x80000000u : groups;
    const int range = timeRange_->currentIndex();
    if (range > 0 && range < static_cast<int>(std::size(kRanges))) {
        const auto now = static_cast<std::uint32_t>(std::time(nullptr));
        if (kRanges[range].days == 1) {
            // Today: from local midnight.
            const auto t = static_cast<std::time_t>(now);
            std::tm local{};
            ::localtime_r(&t, &local);
            local.tm_hour = local.tm_min = local.tm_sec = 0;
            filter.from = static_cast<std::uint32_t>(std::mktime(&local));
        } else {
            filter.from = now - std::min(now, kRanges[range].days * kDay);
        }
    }
    if (!userId_.empty()) {
        filter.userId = userId_;
    } else {
        filter.party = party_->text().trimmed().toStdString();
    }
    filter.text = text_->text().toStdString();
    return filter;
}

void CEventLogWindow::Refresh() {
    model_->SetRecords(log_.Query(Filter()));
    ShowDetail();
}

void CEventLogWindow::ShowDetail() {
    const EventRecord* record = model_->At(table_->currentIndex().row());
    if (record == nullptr) {
        detailParty_->clear();
        detailTime_->clear();
        detailText_->clear();
        return;
    }
    detailParty_->setText(Q(PartyText(*record)));
    detailTime_->setText(Q(TimeText(record->time)));
    detailText_->setPlainText(Q(record->text));
}

void CEventLogWindow::Archive() {
    if (log_.ArchiveCommand(screen_) != 0) {
        Refresh();
    }
}

void CEventLogWindow::SetOnTop(bool on) {
    if (settings_ != nullptr) {
        settings_->WriteInt(kSection, "LogDialogOnTop", on ? 1 : 0);
    }
    const bool shown = isVisible();
    const QRect place = geometry();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown) {
        setGeometry(place);
        show();
    }
}

void CEventLogWindow::Place() {
    if (settings_ == nullptr) {
        return;
    }
    const int left = settings_->GetInt(kSection, "LogDialogLeft", kMissing);
    const int top = settings_->GetInt(kSection, "LogDialogTop", kMissing);
    const int width = settings_->GetInt(kSection, "LogDialogWidth", 0);
    const int height = settings_->GetInt(kSection, "LogDialogHeight", 0);
    QRect place = geometry();
    if (width >= minimumSizeHint().width() && height >= minimumSizeHint().height()) {
        place.setSize(QSize(width, height));
    }
    if (left != kMissing && top != kMissing) {
        place.moveTopLeft(QPoint(left, top));
    }
    // A place stored on a screen that is gone is brought back onto this one.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect work = screen->availableGeometry();
        if (!work.intersects(place)) {
            place.moveTopLeft(work.topLeft());
        }
    }
    setGeometry(place);
}

void CEventLogWindow::SavePlace() {
    if (settings_ == nullptr || !placed_ || !isVisible()) {
        return;
    }
    settings_->WriteInt(kSection, "LogDialogLeft", x());
    settings_->WriteInt(kSection, "LogDialogTop", y());
    settings_->WriteInt(kSection, "LogDialogWidth", width());
    settings_->WriteInt(kSection, "LogDialogHeight", height());
}

void CEventLogWindow::showEvent(QShowEvent* event) {
    if (!placed_) {
        Place();
        placed_ = true;
    }
    if (settings_ != nullptr) {
        settings_->WriteInt(kSection, "ShowLogDialog", 1);
    }
    Refresh();
    QDialog::showEvent(event);
}

void CEventLogWindow::done(int result) {
    SavePlace();
    if (settings_ != nullptr) {
        settings_->WriteInt(kSection, "ShowLogDialog", 0);
    }
    QDialog::done(result);
}

void CEventLogWindow::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    SavePlace();
}

void CEventLogWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    SavePlace();
}

}  // namespace qv
