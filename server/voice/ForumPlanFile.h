#pragma once

// The forum file: the categories users may create visible forums in and the forums that always
// exist. Read once at start; a fault names its line and the server does not start.

#include <cstddef>
#include <string>
#include <string_view>

#include "ConversationRegistry.h"

namespace qv::voicesvc {

struct ForumPlanFile {
    // A file is read whole before it is parsed: a forum file of this size holds thousands of
    // forums, far more than a forum list anybody browses.
    static constexpr std::size_t kMaxFileBytes = 256 * 1024;
    // Each permanent forum is a row of every forum list the server sends, and each category a
    // place users may fill with forums: both far above a useful tree, bounded so the list stays
    // small.
    static constexpr std::size_t kMaxCategories = 1000;
    static constexpr std::size_t kMaxForums = 1000;

    // The plan the text describes; false with error naming the line on any fault.
    static bool Parse(std::string_view text, ConversationRegistry::ForumPlan& plan,
                      std::string& error);
    static bool Load(const std::string& path, ConversationRegistry::ForumPlan& plan,
                     std::string& error);
};

}  // namespace qv::voicesvc
