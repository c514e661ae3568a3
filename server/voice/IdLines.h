#pragma once

// The entries of a watch or block list: whole lines that are user ids, in order, duplicates kept.

#include <string>
#include <string_view>
#include <vector>

namespace qv::voicesvc {

std::vector<std::string> IdLines(std::string_view list);

}  // namespace qv::voicesvc
