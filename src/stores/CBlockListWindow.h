#pragma once

// The block list (View menu, "Block List"): who is blocked, by nickname and ID, with Block by
// ID, Unblock, Unblock All. Its place, size and keep-on-top are kept in section WindowRect of the
// user's settings.

#include <QDialog>
#include <QPointer>

#include "stores/BlockListUi.h"

class QCheckBox;
class QPushButton;
class QTreeWidget;

namespace qv {

class BlockStore;
class CBlockUserDialog;
class ContactStore;
class DirectoryClient;
class IniFile;
class Screen;

class CBlockListWindow : public QDialog, public BlockListUi {
    Q_OBJECT
  public:
    static constexpr const char* kSection = "WindowRect";

    CBlockListWindow(BlockStore& blocks, const ContactStore* contacts, DirectoryClient* directory,
                     IniFile& userSettings, Screen& screen, QWidget* parent = nullptr);
    ~CBlockListWindow() override;

    // BlockListUi
    void BlockListChanged() override;

    // Unblocks the selected users.
    void UnblockSelected();
    void UnblockAll();
    // Opens the dialog that blocks a user by ID.
    void BlockById();
    void SetOnTop(bool on);
    bool OnTop() const { return onTop_; }

    QTreeWidget* List() const { return list_; }
    CBlockUserDialog* BlockDialog() const;

  protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void RestorePlacement();
    void SavePlacement();
    void RefreshButtons();

    BlockStore& blocks_;
    const ContactStore* contacts_;
    DirectoryClient* directory_;
    IniFile& settings_;
    Screen& screen_;
    QTreeWidget* list_;
    QPushButton* unblock_;
    QPushButton* unblockAll_;
    QCheckBox* onTopBox_;
    QPointer<CBlockUserDialog> blockDialog_;
    bool onTop_ = false;
    // Moves and sizes before the stored placement is applied are not the user's.
    bool placed_ = false;
};

}  // namespace qv
