#include "ForumPlanFile.h"

#include <algorithm>
#include <fstream>
#include <map>

#include "SettingLines.h"
#include "VoiceProtocol.h"

namespace qv::voicesvc {

namespace {

// Why a name cannot be a category or a permanent forum's path (empty: it can). The forum list
// is read by its slashes, so empty steps would make folders nobody can name.
std::string NameFault(std::string_view name, std::size_t limit) {
    if (name.empty()) {
        return "is empty";
    }
    if (name.size() > limit) {
        return "is longer than " + std::to_string(limit) + " bytes";
    }
    if (std::any_of(name.begin(), name.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
        return "holds a control character";
    }
    if (name.front() == '/' || name.back() == '/' || name.find("//") != std::string_view::npos) {
        return "has an empty step (a slash at its start or end, or two together)";
    }
    return "";
}

}  // namespace

bool ForumPlanFile::Parse(std::string_view text, ConversationRegistry::ForumPlan& plan,
                          std::string& error) {
    ConversationRegistry::ForumPlan result;
    // Category -> the line that named it, and whether a listed forum lies in it.
    std::map<std::string, std::pair<int, bool>> categories;
    std::map<std::string, int> paths;
    ConversationRegistry::PermanentForum* last = nullptr;
    servers::SettingLines lines(text);
    while (lines.Next()) {
        const int lineNumber = lines.Number();
        const std::string where = lines.Where();
        const std::string key(lines.Key());
        const std::string value(lines.Value());
        if (key == "Category") {
            // One byte short of a path: a forum in it needs a slash and a name.
            const std::string fault = NameFault(value, voice::kMaxForumPath - 2);
            if (!fault.empty()) {
                error = where + "the category '" + value + "' " + fault;
                return false;
            }
            if (categories.count(value) != 0) {
                error = where + "the category '" + value + "' is listed twice";
                return false;
            }
            if (categories.size() >= kMaxCategories) {
                error = where + "more than " + std::to_string(kMaxCategories) + " categories";
                return false;
            }
            categories[value] = {lineNumber, false};
            last = nullptr;
        } else if (key == "Forum") {
            const std::string fault = NameFault(value, voice::kMaxForumPath);
            if (!fault.empty()) {
                error = where + "the forum '" + value + "' " + fault;
                return false;
            }
            if (const auto before = paths.find(value); before != paths.end()) {
                error = where + "the forum '" + value + "' is listed twice (first on line " +
                        std::to_string(before->second) + ")";
                return false;
            }
            if (result.forums.size() >= kMaxForums) {
                error = where + "more than " + std::to_string(kMaxForums) + " forums";
                return false;
            }
            paths[value] = lineNumber;
            result.forums.push_back({value, 0, ""});
            last = &result.forums.back();
        } else if (key == "Options" || key == "Password") {
            if (last == nullptr) {
                error = where + key + " belongs under the Forum line it is for";
                return false;
            }
            if (key == "Password") {
                if (value.size() > voice::kMaxForumPassword) {
                    error = where + "the password is longer than " +
                            std::to_string(voice::kMaxForumPassword) + " bytes";
                    return false;
                }
                last->password = value;
                continue;
            }
            std::int32_t flags = 0;
            for (const char letter : value) {
                if (letter == 'H') {
                    flags |= ConversationRegistry::kHidden;
                } else if (letter == 'M') {
                    flags |= ConversationRegistry::kModerated;
                } else if (letter == 'T') {
                    flags |= ConversationRegistry::kControlledMicrophones;
                } else if (letter != ' ' && letter != ',') {
                    error = where + "unknown option '" + std::string(1, letter) +
                            "' (H hidden, M moderated, T controlled microphones)";
                    return false;
                }
            }
            last->flags = flags;
        } else {
            error = where + "unknown key '" + key + "' (Category, Forum, Options, Password)";
            return false;
        }
    }
    if (!lines.Error().empty()) {
        error = lines.Error();
        return false;
    }
    // Options may come after the Forum line, so the categories are checked at the end.
    for (const ConversationRegistry::PermanentForum& forum : result.forums) {
        const std::size_t slash = forum.path.rfind('/');
        const std::string category =
            slash == std::string::npos ? std::string() : forum.path.substr(0, slash);
        const auto found = categories.find(category);
        if ((forum.flags & ConversationRegistry::kHidden) != 0) {
            continue;
        }
        if (found == categories.end()) {
            error = "line " + std::to_string(paths.at(forum.path)) + ": the forum '" + forum.path +
                    "' lies in no listed category (list its category with a Category line, or "
                    "make it hidden with Options = H)";
            return false;
        }
        found->second.second = true;
    }
    for (const auto& [name, seen] : categories) {
        if (!seen.second) {
            error = "line " + std::to_string(seen.first) + ": the category '" + name +
                    "' holds no visible permanent forum (a category shows in the forum list "
                    "only while a forum lies in it, so each needs one)";
            return false;
        }
        result.categories.insert(name);
    }
    plan = std::move(result);
    return true;
}

bool ForumPlanFile::Load(const std::string& path, ConversationRegistry::ForumPlan& plan,
                         std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the forum file " + path;
        return false;
    }
    std::string text(kMaxFileBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxFileBytes) {
        error = "the forum file " + path + " is larger than " +
                std::to_string(kMaxFileBytes / 1024) + " KiB";
        return false;
    }
    if (!Parse(text, plan, error)) {
        error = "the forum file " + path + ", " + error;
        return false;
    }
    return true;
}

}  // namespace qv::voicesvc
