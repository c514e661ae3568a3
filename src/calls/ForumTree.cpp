#include "calls/ForumTree.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <limits>

namespace qv {

namespace {

std::uint32_t ReadCount(std::string_view text) {
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::numeric_limits<std::uint32_t>::max();
        }
    }
    return static_cast<std::uint32_t>(value);
}

// Splits a path into its pieces, each category piece keeping its slash: "General/Friends" ->
// "General/", "Friends"; "General/" -> "General/".
std::vector<std::string_view> Pieces(std::string_view path) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start < path.size()) {
        const std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) {
            out.push_back(path.substr(start));
            break;
        }
        out.push_back(path.substr(start, slash + 1 - start));
        start = slash + 1;
    }
    return out;
}

ForumNode* Child(ForumNode& node, std::string_view name) {
    auto it = node.byName.find(name);
    return it == node.byName.end() ? nullptr : it->second;
}

ForumNode* Adopt(ForumNode& parent, std::unique_ptr<ForumNode> child) {
    child->parent = &parent;
    ForumNode* adopted = child.get();
    parent.byName[adopted->name] = adopted;
    parent.children.push_back(std::move(child));
    return adopted;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

}  // namespace

std::vector<ForumListLine> ParseGroupList(std::string_view text) {
    std::vector<ForumListLine> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            break;  // a last line without its line feed is not complete
        }
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ForumListLine entry;
        const std::size_t tab1 = line.find('\t');
        if (tab1 != std::string_view::npos) {
            entry.path = StripLeadingSlashes(line.substr(0, tab1));
            const std::string_view rest = line.substr(tab1 + 1);
            const std::size_t tab2 = rest.find('\t');
            if (tab2 != std::string_view::npos) {
                entry.userCount = ReadCount(rest.substr(0, tab2));
            }
            if (rest.find('M') != std::string_view::npos) {
                entry.flags |= ForumNode::kModerated;
            }
            if (rest.find('P') != std::string_view::npos) {
                entry.flags |= ForumNode::kPassword;
            }
            if (rest.find('T') != std::string_view::npos) {
                entry.flags |= ForumNode::kControlledMicrophones;
            }
        }
        out.push_back(std::move(entry));
    }
    return out;
}

std::string StripLeadingSlashes(std::string_view path) {
    const std::size_t first = path.find_first_not_of('/');
    return first == std::string_view::npos ? std::string() : std::string(path.substr(first));
}

ForumTree::ForumTree() {
    root_.flags = ForumNode::kCategory;
}

ForumTree::Lock ForumTree::Hold() {
    return Lock(mutex_);
}

void ForumTree::Check(const Lock& held) const {
    assert(held.owns_lock() && held.mutex() == &mutex_);
    (void)held;
}

void ForumTree::SetPending(std::string text) {
    Lock held(mutex_);
    pending_ = std::move(text);
    hasPending_ = true;
}

bool ForumTree::HasPending(const Lock& held) const {
    Check(held);
    return hasPending_;
}

void ForumTree::Rebuild(const Lock& held) {
    Check(held);
    const std::string text = std::move(pending_);
    pending_.clear();
    hasPending_ = false;
    Fill(held, text);
}

void ForumTree::Fill(const Lock& held, std::string_view groupListText) {
    Check(held);
    Clear(held);
    for (const ForumListLine& line : ParseGroupList(groupListText)) {
        if (line.path.empty()) {
            // A line without TABs names a forum with an empty name at the top.
            ForumNode* node = Child(root_, "");
            if (node == nullptr && nodes_ < kMaxNodes) {
                node = Adopt(root_, std::make_unique<ForumNode>());
                ++nodes_;
            }
            if (node != nullptr) {
                node->userCount = line.userCount;
                node->flags = line.flags;
            }
        } else if (line.path.back() == '/') {
            Insert(held, line.path, true);  // a category listed by itself
        } else if (ForumNode* node = Insert(held, line.path, false)) {
            node->userCount = line.userCount;
            node->flags = line.flags;
        }
        // Other lines (a name taken by the other kind) are skipped.
    }
}

void ForumTree::Clear(const Lock& held) {
    Check(held);
    root_.children.clear();
    root_.byName.clear();
    nodes_ = 0;
}

const ForumNode& ForumTree::Root(const Lock& held) const {
    Check(held);
    return root_;
}

ForumNode* ForumTree::Find(const Lock& held, std::string_view path) {
    Check(held);
    const std::string stripped = StripLeadingSlashes(path);
    ForumNode* node = &root_;
    for (std::string_view piece : Pieces(stripped)) {
        node = Child(*node, piece);
        if (node == nullptr) {
            return nullptr;
        }
    }
    return node;
}

const ForumNode* ForumTree::Find(const Lock& held, std::string_view path) const {
    return const_cast<ForumTree*>(this)->Find(held, path);
}

ForumNode* ForumTree::AddForum(const Lock& held, std::string_view path, std::uint32_t userCount,
                               std::uint32_t flags) {
    Check(held);
    const std::string stripped = StripLeadingSlashes(path);
    if (stripped.empty() || stripped.back() == '/') {
        return nullptr;
    }
    ForumNode* node = Insert(held, stripped, false);
    if (node != nullptr) {
        node->userCount = userCount;
        node->flags = flags & (ForumNode::kModerated | ForumNode::kPassword |
                               ForumNode::kControlledMicrophones);
    }
    return node;
}

ForumNode* ForumTree::Insert(const Lock& held, std::string_view stripped, bool category) {
    Check(held);
    const std::vector<std::string_view> pieces = Pieces(stripped);
    if (pieces.empty() || pieces.size() > kMaxDepth) {
        return nullptr;
    }
    // Checked before anything is made, so a refused path leaves no empty categories behind.
    std::size_t missing = 0;
    ForumNode* node = &root_;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        ForumNode* next = node != nullptr ? Child(*node, pieces[i]) : nullptr;
        const bool wantCategory = category || i + 1 < pieces.size();
        if (next != nullptr && next->IsCategory() != wantCategory) {
            return nullptr;  // taken by the other kind
        }
        missing += next == nullptr ? 1 : 0;
        node = next;
    }
    if (nodes_ + missing > kMaxNodes) {
        return nullptr;
    }
    node = &root_;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        ForumNode* next = Child(*node, pieces[i]);
        if (next == nullptr) {
            auto made = std::make_unique<ForumNode>();
            made->name = std::string(pieces[i]);
            if (category || i + 1 < pieces.size()) {
                made->flags = ForumNode::kCategory;
            }
            next = Adopt(*node, std::move(made));
            ++nodes_;
        }
        node = next;
    }
    return node;
}

bool ForumTree::RemoveForum(const Lock& held, std::string_view path) {
    ForumNode* node = Find(held, path);
    if (node == nullptr || node->IsRoot() || node->IsCategory()) {
        return false;
    }
    node->parent->byName.erase(node->name);
    auto& siblings = node->parent->children;
    siblings.erase(std::find_if(siblings.begin(), siblings.end(),
                                [node](const auto& child) { return child.get() == node; }));
    --nodes_;
    return true;
}

const ForumNode& ForumTree::LevelAfterRefresh(const Lock& held, std::string_view shownPath) const {
    const ForumNode* node = Find(held, shownPath);
    return node != nullptr && node->IsCategory() ? *node : root_;
}

std::string PathOf(const ForumNode& node) {
    std::string path;
    for (const ForumNode* at = &node; at != nullptr && !at->IsRoot(); at = at->parent) {
        path.insert(0, at->name);
    }
    return path;
}

std::size_t ForumsBelow(const ForumNode& node) {
    std::size_t count = 0;
    for (const auto& child : node.children) {
        count += child->IsCategory() ? ForumsBelow(*child) : 1;
    }
    return count;
}

bool IsAdultCategory(const ForumNode& node) {
    return node.IsCategory() && node.parent != nullptr && node.parent->IsRoot() &&
           Lower(node.name).find("adult") != std::string::npos;
}

std::vector<const ForumNode*> ShownChildren(const ForumNode& level) {
    std::vector<const ForumNode*> out;
    for (const auto& child : level.children) {
        out.push_back(child.get());
    }
    std::stable_partition(out.begin(), out.end(),
                          [](const ForumNode* node) { return !IsAdultCategory(*node); });
    return out;
}

std::string CategoryPart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

ForumListRow MakeForumListRow(const ForumNode& node) {
    ForumListRow row;
    row.lockImage = (node.flags & ForumNode::kPassword) != 0;
    if ((node.flags & ForumNode::kControlledMicrophones) != 0) {
        row.moderation = ForumListRow::ModerationImage::kMicrophone;
    } else if ((node.flags & ForumNode::kModerated) != 0) {
        row.moderation = ForumListRow::ModerationImage::kModerated;
    }
    const bool topLevel = node.parent != nullptr && node.parent->IsRoot();
    if (node.IsCategory()) {
        row.kind = ForumListRow::KindImage::kFolder;
        row.rooms = std::to_string(ForumsBelow(node));
    } else if (topLevel) {
        row.kind = ForumListRow::KindImage::kTopLevelForum;
    }
    row.name = node.name;
    row.users = std::to_string(node.userCount);
    return row;
}

}  // namespace qv
