#include "calls/ForumNames.h"

namespace qv {

bool IsForumNameByte(unsigned char b) {
    return b == 0x20 || b == 0x2C || b == 0x2D || b == 0x2F || (b >= 0x30 && b <= 0x39) ||
           (b >= 0x41 && b <= 0x5B) || b == 0x5D || (b >= 0x5F && b <= 0x7B) || b == 0x7D;
}

bool CheckForumName(std::string& name, std::size_t maxLength, bool digitsOnlyAllowed) {
    const std::size_t first = name.find_first_not_of(' ');
    if (first == std::string::npos) {
        name.clear();
        return false;
    }
    name.erase(name.find_last_not_of(' ') + 1);
    name.erase(0, first);
    if (name.size() < 2 || name.size() > maxLength) {
        return false;
    }
    bool onlyDigits = true;
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (!IsForumNameByte(b)) {
            return false;
        }
        if (b != ' ' && (b < '0' || b > '9')) {
            onlyDigits = false;
        }
    }
    return digitsOnlyAllowed || !onlyDigits;
}

CreateCheck CheckCreate(ForumTree& tree, const ForumTree::Lock& held, CreateRequest& request) {
    CreateCheck result;
    std::string& path = request.path;
    if (!CheckForumName(path, path.size(), true)) {
        result.message = forum_text::kInvalidName;
        return result;
    }
    if (path.find('/') == std::string::npos) {
        result.message = forum_text::kTopLevel;
        return result;
    }
    if (path.back() == '/') {
        result.message = forum_text::kNoFolders;
        return result;
    }
    const std::string category = CategoryPart(path);
    const ForumNode* folder = tree.Find(held, category);
    if (folder == nullptr || !folder->IsCategory() || StripLeadingSlashes(category).empty()) {
        result.message = forum_text::kNoCategory;
        return result;
    }
    if (!request.hidden && tree.Find(held, path) == nullptr) {
        const std::uint32_t flags =
            (request.moderated ? ForumNode::kModerated : 0) |
            (request.passwordGiven ? ForumNode::kPassword : 0) |
            (request.controlledMicrophones ? ForumNode::kControlledMicrophones : 0);
        if (tree.AddForum(held, path, 1, flags) == nullptr) {
            result.message = forum_text::kInternalError;
            return result;
        }
        result.added = true;
    }
    return result;
}

std::string FormatForumText(const char* format, const std::string& value) {
    std::string out(format);
    const std::size_t at = out.find("%s");
    if (at != std::string::npos) {
        out.replace(at, 2, value);
    }
    return out;
}

std::string CreateDialogTitle(const std::string& categoryPath) {
    return categoryPath.empty() ? std::string(forum_text::kCreateTitle)
                                : FormatForumText(forum_text::kCreateTitleFormat, categoryPath);
}

}  // namespace qv
