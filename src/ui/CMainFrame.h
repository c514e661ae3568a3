#pragma once

// The program's top-level window: a narrow, tall frame holding the main view, widened
// ("expanded") to show a second column, with the menus and the notification-area icon. Closing
// and minimizing hide it to the tray; only Exit (or Close with MinimizeOnClose off) ends the
// program.

#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "ui/CommandMap.h"
#include "ui/MainFramePlacement.h"

class QAction;
class QMenu;

namespace qv {

class AlertQueue;
class CBlockListWindow;
class CEventLogWindow;
class CQuorvaneApp;
class CSystemNoticeWindow;
class CQuorvaneView;
class CTipDialog;
class CTrayIcon;
class PlacementSaver;
class ProgramOptions;
class RegistryKey;
class Screen;
class TipOfTheDay;
class TraySurface;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    // Commands of our own (no menu of the classic program had them).
    static constexpr int kExpandCommand = 32960;
    static constexpr int kTipOfTheDayCommand = 32961;
    static constexpr int kEventLogCommand = 32962;

    static constexpr const char* kWarningText =
        "Warning: Continuing will terminate all active conversations. Continue?";
    static constexpr const char* kWarningCaption = "Warning...";

    CMainFrame(CQuorvaneApp& app, Screen& screen);
    ~CMainFrame() override;

    CQuorvaneView* View() const { return view_; }
    const CommandMap& Commands() const { return commands_; }
    // Runs a command as its menu item would; false when no handler takes it or it is disabled.
    bool OnCommand(int id);
    // Moves the window to its stored place, collapsed or expanded as it was left.
    void Place();
    // Expands (two columns) or collapses the window, keeping it on the work area.
    void SetExpanded(bool expanded);
    bool Expanded() const { return expanded_; }
    void SetKeepOnTop(bool on);
    bool KeepOnTop() const { return onTop_; }
    QAction* ActionFor(int id) const;
    // Opens the list of system notices.
    void ShowNotices();
    // Opens the block list (View menu, "Block List"); null when the program has no block store.
    CBlockListWindow* ShowBlockList();
    // Opens the event log (View menu, "Event Log"); with a user ID, only that user's records (the
    // message windows' History). Null when the program has no event log.
    CEventLogWindow* ShowEventLog(const std::string& userId = {});
    // Opens the Tip of the Day window; afterLogin: only when tips are wanted at start-up.
    CTipDialog* ShowTipOfTheDay(bool afterLogin);

    // The options dialog's opener (Tools menu).
    ProgramOptions* OptionsOpener() const { return programOptions_.get(); }

    // The notification-area icon (there even when the desktop has none to show it in).
    CTrayIcon* Tray() const { return tray_.get(); }
    // The alerts the tray follows; the surface the alerts blink. Null detaches.
    TraySurface* UseAlerts(AlertQueue* alerts);
    // Whether hiding the window leaves a way back to it: a notification area to click.
    bool CanHideToTray() const;
    // Stores the window's place now instead of when it has been still for a moment.
    void FlushPlacement();
    // The program stopped being the active application.
    void ApplicationDeactivated();

  signals:
    // The window closed for good: the program ends.
    void Closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void BuildCommands();
    void BuildMenus();
    void MakeTray();
    QAction* AddCommand(QMenu* menu, int id, const QString& text);
    void OpenHelpPage(const std::string& url);
    void RefreshEnabledStates();
    void BuildContactListCommands();
    void OnConnectionState(int state);
    static void ConnectionStateThunk(std::int32_t state, void* self);
    // Asks before ending a call or forum; true when there is none or the user chose OK.
    bool ConfirmEndConversations();
    // Ends the active call and declines the second slot.
    void EndConversations();
    void ExitCommand();
    void HideToTray();
    void ToggleShown();
    void HandleOldestAlert();
    void RunWizard(int argument);
    bool CallActive() const;
    FrameMetrics Metrics() const;
    void Apply(bool expanded, const StoredPlacement& stored);
    void Minimized();

    CQuorvaneApp& app_;
    Screen& screen_;
    CQuorvaneView* view_;
    QWidget* secondColumn_ = nullptr;
    CommandMap commands_;
    std::map<int, QAction*> actions_;
    QMenu* statusMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QAction* tipAction_ = nullptr;
    QPointer<CSystemNoticeWindow> noticeWindow_;
    QPointer<CBlockListWindow> blockListWindow_;
    QPointer<CEventLogWindow> eventLogWindow_;
    QPointer<CTipDialog> tipDialog_;
    std::unique_ptr<RegistryKey> tipKey_;
    std::unique_ptr<TipOfTheDay> tips_;
    std::unique_ptr<PlacementSaver> saver_;
    std::unique_ptr<CTrayIcon> tray_;
    std::unique_ptr<ProgramOptions> programOptions_;
    AlertQueue* alerts_ = nullptr;
    StoredPlacement usedStored_;
    StoredPlacement firstStored_;
    FrameMetrics usedMetrics_;
    bool placeAgainOnShow_ = false;
    int collapsedMinimum_ = 0;  // the least width of one column, measured at creation
    bool placed_ = false;
    bool applying_ = false;  // the window is being moved by its own placement
    bool expanded_ = false;
    bool onTop_ = false;
    bool closing_ = false;
    bool minimizing_ = false;
};

}  // namespace qv
