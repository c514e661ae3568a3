#pragma once

// Lists the system notices of this run, newest last.

#include <QDialog>

class QListWidget;

namespace qv {

class MessageCenter;
using SystemNoticeList = MessageCenter;

class CSystemNoticeWindow : public QDialog {
    Q_OBJECT
  public:
    CSystemNoticeWindow(SystemNoticeList& notices, QWidget* parent = nullptr);

    // Fills the list again and marks every notice as shown.
    void Refresh();
    int Rows() const;
    QString RowText(int row) const;

  private:
    SystemNoticeList& notices_;
    QListWidget* list_;
};

}  // namespace qv
