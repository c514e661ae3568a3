#pragma once

// The program's top-level window: a narrow, tall frame holding the main view, with the menus.

#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <map>

#include "ui/CommandMap.h"

class QAction;
class QMenu;

namespace qv {

class CBlockListWindow;
class CQuorvaneApp;
class CSystemNoticeWindow;
class CQuorvaneView;
class Screen;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    CMainFrame(CQuorvaneApp& app, Screen& screen);
    ~CMainFrame() override;

    CQuorvaneView* View() const { return view_; }
    const CommandMap& Commands() const { return commands_; }
    // Runs a command as its menu item would; false when no handler takes it or it is disabled.
    bool OnCommand(int id);
    // Moves the window to its stored place (or the default: the right edge of the work area).
    void Place();
    QAction* ActionFor(int id) const;
    // Opens the list of system notices.
    void ShowNotices();
    // Opens the block list (View menu, "Block List"); null when the program has no block store.
    CBlockListWindow* ShowBlockList();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void BuildCommands();
    void BuildMenus();
    QAction* AddCommand(QMenu* menu, int id, const QString& text);
    void OpenHelpPage(const std::string& url);
    void RefreshEnabledStates();
    void BuildContactListCommands();
    void OnConnectionState(int state);
    static void ConnectionStateThunk(std::int32_t state, void* self);

    CQuorvaneApp& app_;
    Screen& screen_;
    CQuorvaneView* view_;
    CommandMap commands_;
    std::map<int, QAction*> actions_;
    QMenu* statusMenu_ = nullptr;
    QPointer<CSystemNoticeWindow> noticeWindow_;
    QPointer<CBlockListWindow> blockListWindow_;
    bool placed_ = false;
};

}  // namespace qv
