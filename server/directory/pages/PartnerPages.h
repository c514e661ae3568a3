#pragma once

// GetPartnerParams (the complete parameter set of a partner number, Version first),
// GetPartnersList (every partner with its sites' rule versions) and GetPartnerForums (one site's
// forum rules). The data comes from the operator's partner file.

#include "http/Reply.h"
#include "pages/PageServices.h"

namespace qv::dirsvc {

class PageRouter;
struct PageRequest;

class PartnerPages {
  public:
    explicit PartnerPages(PageServices services) : services_(services) {}

    void Register(PageRouter& router);

    Reply GetPartnerParams(const PageRequest& request);
    Reply GetPartnersList(const PageRequest& request);
    Reply GetPartnerForums(const PageRequest& request);

  private:
    PageServices services_;
};

}  // namespace qv::dirsvc
