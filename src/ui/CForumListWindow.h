#pragma once

// The forum list: one level of the forum tree at a time (categories and forums with their
// options, rooms and users), a path box to go back up, a tool bar and buttons to go one level
// up, refresh, create and join. It is made once at start-up and hidden rather than closed; its
// place is kept in section WindowRect of the user's settings. It asks the adult warning for
// every way into a forum (it is the program's AdultCheck).

#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>

#include "calls/AdultWarning.h"

class QAction;
class QComboBox;
class QPushButton;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace qv {

class CCreateForumDialog;
class CJoinForumDialog;
class CSonaroManager;
class ForumTree;
class IniFile;
class Options;
class SystemNotices;
struct ForumNode;
struct NewForum;

class CForumListWindow : public QDialog, public AdultCheck {
    Q_OBJECT
  public:
    static constexpr const char* kSection = "WindowRect";
    static constexpr const char* kTitle = "Forums";

    // Columns, in order.
    enum Column {
        kPasswordColumn,
        kModeratedColumn,
        kCategoryColumn,
        kNameColumn,
        kRoomsColumn,
        kUsersColumn,
        kColumnCount
    };

    struct Parts {
        // The program's forum tree; it outlives the window.
        ForumTree* tree = nullptr;
        // groupListUpdate and ClearModeFlags; may be null.
        CSonaroManager* manager = nullptr;
        // Placement and ShowForumList; may be null.
        IniFile* userSettings = nullptr;
        // CloseForumList and Enable Top Level Forums Info; may be null.
        const Options* options = nullptr;
        // Where the refusals go as system messages; may be null.
        SystemNotices* notices = nullptr;
        std::function<std::uint32_t()> wallClock;
        // The EnableModeration switch: the M column's long header.
        bool moderationEnabled = false;
        // The CallManager's joins (null: nothing is joined).
        std::function<bool(const std::string& path, const std::string& password, bool moderated,
                           bool controlledMicrophones)>
            joinExisting;
        std::function<bool(const NewForum& forum)> createOrJoin;
        // Asks the adult warning; true for "&I accept". Null: the modal warning dialog.
        std::function<bool()> askAdult;
    };

    explicit CForumListWindow(Parts parts, QWidget* parent = nullptr);
    ~CForumListWindow() override;

    // AdultCheck: asks the warning once until this window is made again.
    bool AllowJoin(const std::string& path) override;

    // The engine's list arrived (any thread may call it): stored under the tree lock, parsed
    // from the event loop.
    void OnGroupList(const std::string& text);
    // Parses the stored list and shows again the level shown before.
    void ParsePending();

    // The path of the shown level: "" at the top, "General/" below.
    const std::string& ShownPath() const { return shownPath_; }
    // Shows that level (the top when it is not a category in the tree).
    void ShowLevel(const std::string& path);

    // The commands.
    void OneLevelUp();
    void RefreshForums();
    void CreateForum();
    void OpenJoin();
    // The Join button (and double-click on a forum).
    void JoinSelected();
    // Opens the Join dialog, or focuses it when it is open.
    CJoinForumDialog* OpenJoinDialog(const std::string& name);
    // The Join dialog's OK and the Create dialog's OK: true when the dialog may close.
    bool JoinFromDialog(const std::string& name, const std::string& password);
    bool CreateFromDialog(const NewForum& forum);
    // Hides the window after a join or create when CloseForumList is set.
    void HideAfterJoin();

    QTreeWidget* List() const { return list_; }
    QComboBox* PathBox() const { return pathBox_; }
    QToolBar* ToolBar() const { return toolBar_; }
    CJoinForumDialog* JoinDialog() const;
    CCreateForumDialog* CreateDialog() const;
    const AdultWarningState& AdultState() const { return adult_; }

    // The user closed the window (its close box, Escape): remembered for the next start.
    void reject() override;
    // The user's settings now come from another file (a user logged in): the place and the
    // shown state stored there are applied.
    void UserChanged();
    // The engine's connection state: the window closes when the session goes idle; on login the
    // settings of the user are applied when their file changed.
    void OnConnectionState(std::int32_t state);

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Fill(const ForumNode& level);
    void FillPathBox();
    void SizeColumns();
    void Activated(QTreeWidgetItem* item);
    void Message(const std::string& text);
    void RestorePlacement();
    void SavePlacement();
    static void GroupListThunk(const std::string& text, void* self);
    static void ConnectionStateThunk(std::int32_t state, void* self);

    Parts parts_;
    AdultWarningState adult_;
    std::string shownPath_;
    QToolBar* toolBar_;
    QComboBox* pathBox_;
    QTreeWidget* list_;
    QPointer<CJoinForumDialog> joinDialog_;
    QPointer<CCreateForumDialog> createDialog_;
    bool placed_ = false;
    bool destroying_ = false;
    std::int32_t connectionState_ = 0;
    // The settings file the place was last read from.
    std::string settingsPath_;
};

}  // namespace qv
