#pragma once

// The forums the engine lists, as a tree of categories and forums built from the group-list
// text. One tree lives for the whole run; every group-list update rebuilds it.
//
// Locking: the tree owns its mutex. The text handed over from the engine is stored with
// SetPending, which locks inside. Everything else that reads or changes nodes expects the lock
// held and takes the lock as proof: `auto lock = tree.Hold(); tree.Rebuild(lock); ...`. A node
// pointer stays valid only while the lock is held and until the next Rebuild or Clear.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct ForumNode {
    static constexpr std::uint32_t kModerated = 1;
    static constexpr std::uint32_t kPassword = 2;
    static constexpr std::uint32_t kControlledMicrophones = 4;
    static constexpr std::uint32_t kCategory = 8;

    // A category's name ends with a slash; the root's name is empty.
    std::string name;
    // Set for forums.
    std::uint32_t userCount = 0;
    std::uint32_t flags = 0;
    ForumNode* parent = nullptr;
    std::vector<std::unique_ptr<ForumNode>> children;
    // The children by name, kept by the tree so that big lists do not cost a search per line.
    std::map<std::string, ForumNode*, std::less<>> byName;

    bool IsCategory() const { return (flags & kCategory) != 0; }
    bool IsRoot() const { return parent == nullptr; }
};

// One line of the group-list text, as read.
struct ForumListLine {
    // Leading slashes stripped.
    std::string path;
    std::uint32_t userCount = 0;
    // ForumNode flag bits 1, 2 and 4 from the letters M, P and T.
    std::uint32_t flags = 0;
    bool operator==(const ForumListLine&) const = default;
};

// Every line ended by a line feed (a last line without one is ignored). A line is path TAB
// count TAB letters; without the first TAB the path is empty, without the second the count is
// 0; P, M and T count anywhere after the first TAB. A count that is not a number reads as its
// leading digits (none: 0), clamped to 32 bits.
std::vector<ForumListLine> ParseGroupList(std::string_view text);

// The path without its leading slashes.
std::string StripLeadingSlashes(std::string_view path);

class ForumTree {
  public:
    using Lock = std::unique_lock<std::mutex>;

    ForumTree();
    ForumTree(const ForumTree&) = delete;
    ForumTree& operator=(const ForumTree&) = delete;

    // Takes the tree lock for as long as the returned lock lives.
    [[nodiscard]] Lock Hold();

    // Stores the engine's group-list text to be parsed later (locks inside).
    void SetPending(std::string text);
    // Whether text was stored since the last Rebuild.
    bool HasPending(const Lock& held) const;

    // Clears the tree and fills it from the pending text (which is then forgotten).
    void Rebuild(const Lock& held);
    // Clears the tree and fills it from that text.
    void Fill(const Lock& held, std::string_view groupListText);
    // Only the root remains.
    void Clear(const Lock& held);

    const ForumNode& Root(const Lock& held) const;

    // Walks the path piece by piece ("General/" then "Friends"), exact and case-sensitive;
    // leading slashes are ignored. "" is the root, "General/" the category, "General/Friends"
    // the forum. Null when absent.
    const ForumNode* Find(const Lock& held, std::string_view path) const;
    ForumNode* Find(const Lock& held, std::string_view path);

    // Adds (or updates) a forum: missing categories are made with a trailing slash and flag 8;
    // the forum gets the count and flags (1, 2, 4). Null when the path cannot hold a forum: its
    // forum name is empty (it ends with a slash, or is empty), or a piece is taken by a node of
    // the other kind. At most kMaxNodes nodes and kMaxDepth pieces; beyond that null.
    ForumNode* AddForum(const Lock& held, std::string_view path, std::uint32_t userCount,
                        std::uint32_t flags);
    // Removes that forum (not a category); false when it is not there.
    bool RemoveForum(const Lock& held, std::string_view path);

    // The level to show again after a rebuild: the category (or root) at that path; the root
    // when it is gone or names a forum.
    const ForumNode& LevelAfterRefresh(const Lock& held, std::string_view shownPath) const;

    // Bound what a hostile list can cost: nodes in all, and pieces in one path (a path of 255
    // bytes has at most 128; deeper ones would make the recursive walks deep).
    static constexpr std::size_t kMaxNodes = 100000;
    static constexpr std::size_t kMaxDepth = 128;

  private:
    mutable std::mutex mutex_;
    std::string pending_;
    bool hasPending_ = false;
    ForumNode root_;
    std::size_t nodes_ = 0;

    void Check(const Lock& held) const;
    // Finds or makes the nodes of a path without leading slashes; the last piece is a category
    // when category is set. Null when a piece is taken by the other kind or the bound is hit.
    ForumNode* Insert(const Lock& held, std::string_view stripped, bool category);
};

// Helpers of the forum list window; they read nodes, so call them with the lock held.

// The node's full path: "General/Friends" for a forum, "General/" for a category, "" for the
// root.
std::string PathOf(const ForumNode& node);
// The number of forums anywhere below a category ("Rooms").
std::size_t ForumsBelow(const ForumNode& node);
// Whether a top-level category counts as adult: its lower-cased name contains "adult".
bool IsAdultCategory(const ForumNode& node);
// The children in shown order: as listed, except that top-level adult categories come after
// all others.
std::vector<const ForumNode*> ShownChildren(const ForumNode& level);
// The category of a path: up to and including the last slash ("" when there is none).
std::string CategoryPart(std::string_view path);

// What one row of the forum list shows for a node, apart from how it is drawn.
struct ForumListRow {
    enum class ModerationImage { kNone, kMicrophone, kModerated };
    enum class KindImage { kNone, kFolder, kTopLevelForum };
    // Column "P": the lock image.
    bool lockImage = false;
    // Column "M": the microphone image for flag 4, else the moderated image for flag 1.
    ModerationImage moderation = ModerationImage::kNone;
    // Column "C": the folder for a category, a distinct image for a forum at the top level.
    KindImage kind = KindImage::kNone;
    // Column "Forum": the node's name.
    std::string name;
    // Column "Rooms": the forums below a category; empty for a forum.
    std::string rooms;
    // Column "Users": the node's user count (a category's own count is 0).
    std::string users;
    bool operator==(const ForumListRow&) const = default;
};
ForumListRow MakeForumListRow(const ForumNode& node);

// The list's columns: short header, long header (the tooltip) and share of the width in
// percent, below the top level and at it.
struct ForumListColumn {
    const char* header;
    const char* longHeader;
    int percent;
    int topLevelPercent;
};
// P, M, C, Forum, Rooms, Users. The "M" column's long header is "Moderated / Microphone
// Controlled" when EnableModeration is on (kModeratedMicrophoneHeader).
inline constexpr ForumListColumn kForumListColumns[] = {
    {"P", "Password required", 0, 0},
    {"M", "Moderated", 0, 0},
    {"C", "Category", 0, 0},
    {"Forum", "Forum Name", 60, 100},
    {"Rooms", "Number of Rooms", 22, 0},
    {"Users", "Number of Users", 18, 0},
};
inline constexpr const char* kModeratedMicrophoneHeader = "Moderated / Microphone Controlled";

}  // namespace qv
