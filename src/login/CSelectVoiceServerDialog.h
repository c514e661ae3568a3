#pragma once

// Lists the voice servers of the server settings; the chosen one becomes the session's.

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace qv {

class CSelectVoiceServerDialog : public QDialog {
    Q_OBJECT
  public:
    CSelectVoiceServerDialog(const QStringList& entries, int current, QWidget* parent = nullptr);
    int Chosen() const;
    QListWidget* List() const { return list_; }

  private:
    QListWidget* list_;
};

}  // namespace qv
