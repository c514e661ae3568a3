#pragma once

// The event-log window: the records of the log with an icon by type, filters by type, time,
// party and text, the detail of the chosen record, and Archive. The rows come from the log's
// Query; the model formats a row only when it is drawn, so a long log opens at once.

#include <QAbstractTableModel>
#include <QDialog>
#include <QIcon>
#include <cstdint>
#include <string>
#include <vector>

#include "stores/EventLog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace qv {

class IniFile;
class Screen;

class EventLogModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kDate, kEvent, kParty, kText, kColumns };

    explicit EventLogModel(QObject* parent = nullptr);
    void SetRecords(std::vector<EventRecord> records);
    const EventRecord* At(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // "FROM", "INCOMING CALL", ... for the row's event column.
    static std::string EventText(std::uint8_t type);
    // "%m/%d/%y", local time.
    static std::string DateText(std::uint32_t time);

  private:
    std::vector<EventRecord> records_;
    QIcon icons_[5];
};

class CEventLogWindow : public QDialog {
    Q_OBJECT
  public:
    // settings: the user's settings with the placement keys (may be null). nickname: the user's,
    // empty before anyone logged in.
    CEventLogWindow(EventLog& log, IniFile* settings, Screen& screen, std::string nickname,
                    QWidget* parent = nullptr);
    ~CEventLogWindow() override;

    static QString Caption(const std::string& nickname);
    // The detail pane's party ("%s  (%s)", or "SYSTEM") and time.
    static std::string PartyText(const EventRecord& record);
    static std::string TimeText(std::uint32_t time);

    void SetNickname(const std::string& nickname);
    // Shows the records of that user only (the message windows' History).
    void ShowUser(const std::string& id);
    // Reads the log again with the filters as set.
    void Refresh();
    void Archive();
    EventFilter Filter() const;

    EventLogModel* Model() const { return model_; }
    QTableView* Table() const { return table_; }
    QCheckBox* TypeBox(int group) const;
    QComboBox* TimeRange() const { return timeRange_; }
    QLineEdit* PartyEdit() const { return party_; }
    QLineEdit* TextEdit() const { return text_; }
    QLabel* DetailParty() const { return detailParty_; }
    QLabel* DetailTime() const { return detailTime_; }
    QPlainTextEdit* DetailText() const { return detailText_; }
    QPushButton* ArchiveButton() const { return archive_; }
    QCheckBox* OnTopBox() const { return onTop_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ShowDetail();
    void SetOnTop(bool on);
    void Place();
    void SavePlace();

    EventLog& log_;
    IniFile* settings_;
    Screen& screen_;
    std::string userId_;
    EventLogModel* model_;
    QTableView* table_;
    QCheckBox* types_[4] = {};
    QComboBox* timeRange_;
    QLineEdit* party_;
    QLineEdit* text_;
    QLabel* detailParty_;
    QLabel* detailTime_;
    QPlainTextEdit* detailText_;
    QPushButton* archive_;
    QCheckBox* onTop_;
    bool placed_ = false;
};

}  // namespace qv
