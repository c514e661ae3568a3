#pragma once

// The entries of a watch or block list: whole lines, in order, duplicates kept. Lines may end
// with CR LF.

#include <string>
#include <string_view>
#include <vector>

namespace qv::voicesvc {

// The lines that are user ids.
std::vector<std::string> IdLines(std::string_view list);
// Every non-empty line, without a final CR (a line of only CR is kept, as an empty entry).
std::vector<std::string_view> ListLines(std::string_view list);
// How many lines the list has, empty ones included: what reading it costs.
std::size_t LineCount(std::string_view list);

}  // namespace qv::voicesvc
