#pragma once

// Each account's blocked users; every change that succeeds adds 1 to the account's
// block_list_ver in the same transaction.

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "store/ListChange.h"
#include "store/StoreStatus.h"

namespace qv::dirsvc {

class Database;

class BlockListStore {
  public:
    static constexpr std::int64_t kMaxBlocked = 10000;

    using Visitor = std::function<void(std::string_view nickName, std::int64_t id)>;

    explicit BlockListStore(Database& database) : database_(database) {}

    ListChange AddBlock(std::int64_t owner, std::int64_t blocked);
    ListChange RemoveBlock(std::int64_t owner, std::int64_t blocked);
    // The blocked users with their current nicknames, in the order they were blocked.
    StoreStatus Visit(std::int64_t owner, const Visitor& visitor);

    // Blocks many in one transaction with one version step (test and benchmark data).
    ListChange Import(std::int64_t owner, const std::vector<std::int64_t>& blocked);

  private:
    Database& database_;
};

}  // namespace qv::dirsvc
