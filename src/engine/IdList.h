#pragma once

// Lists of user ids as the engine takes them: each entry a whole line ended by a line feed, so
// "12\n" and "312\n" are different entries.

#include <cstddef>
#include <string>

namespace qv {

// id with a line feed at its end.
std::string AsListEntry(const std::string& id);
// Whether a whole line of list equals entry (entry ends in a line feed).
bool HasListEntry(const std::string& list, const std::string& entry);
// Cuts the first whole line equal to entry out of list; false when there is none.
bool RemoveListEntry(std::string& list, const std::string& entry);
// The non-empty lines of list that differ from skip (an id without line feed; empty: none).
std::size_t CountListEntries(const std::string& list, const std::string& skip);

}  // namespace qv
