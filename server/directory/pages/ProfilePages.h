#pragma once

// GetUserProfile (anyone's public profile) and GetProfileEx (one's own, with its settings).

#include "http/Reply.h"
#include "pages/PageServices.h"

namespace qv::dirsvc {

class PageRouter;
struct PageRequest;

class ProfilePages {
  public:
    explicit ProfilePages(PageServices services) : services_(services) {}

    void Register(PageRouter& router);

    Reply GetUserProfile(const PageRequest& request);
    Reply GetProfileEx(const PageRequest& request);

  private:
    PageServices services_;
};

}  // namespace qv::dirsvc
