#pragma once

// GetBlockList, AddBlock and RemoveBlock: the server copy of each account's block list. The
// voice server enforces blocking; the directory only keeps the list and its version.

#include <cstdint>
#include <optional>
#include <string>

#include "http/Reply.h"
#include "pages/PageServices.h"

namespace qv::dirsvc {

class PageRouter;
struct PageRequest;

class BlockPages {
  public:
    explicit BlockPages(PageServices services) : services_(services) {}

    void Register(PageRouter& router);

    Reply GetBlockList(const PageRequest& request);
    Reply AddBlock(const PageRequest& request);
    Reply RemoveBlock(const PageRequest& request);

  private:
    // The caller's number and the Block parameter, or the failure to report.
    std::optional<Reply> ReadChange(const PageRequest& request, std::int64_t& user,
                                    std::string& block);

    PageServices services_;
};

}  // namespace qv::dirsvc
