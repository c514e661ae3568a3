#pragma once

// Page name -> handler. Filled once at start-up, read by every server thread afterwards.

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "http/PageRequest.h"
#include "http/Reply.h"

namespace qv::dirsvc {

class PageRouter {
  public:
    using Handler = std::function<Reply(const PageRequest&)>;

    // name is the page without ".asp", in any letter case.
    void Add(std::string_view name, Handler handler);
    // A "Fail" reply with status 404 for a page nobody serves.
    Reply Dispatch(const PageRequest& request) const;
    bool Has(std::string_view name) const;

  private:
    std::unordered_map<std::string, Handler> handlers_;
};

}  // namespace qv::dirsvc
