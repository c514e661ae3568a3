#pragma once

// The one reader and writer of Blocked.dat (written in version 2, version 1 read) and of its
// ".mod" journal, whose records are the operation followed by a whole blocked-user record.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "stores/BlockStore.h"
#include "stores/BlockedUser.h"

namespace qv {

struct BlockListData {
    std::uint32_t listVersion = 0;
    std::vector<BlockedUser> users;
};

// False for another magic or version (data empty then); a short record ends the list.
bool ReadBlockList(std::string_view bytes, BlockListData& data);
std::string WriteBlockList(const BlockListData& data);

std::vector<BlockStore::JournalEntry> ReadBlockJournal(std::string_view bytes);
std::string WriteBlockJournal(const std::vector<BlockStore::JournalEntry>& entries);

inline constexpr std::size_t kBlockedRecordSize = 324;
inline constexpr std::size_t kBlockedRecordSizeV1 = 320;
inline constexpr std::size_t kBlockJournalRecordSize = 328;

}  // namespace qv
