#pragma once

// LoginEx2, which checks a password and mints a connection id and a voice ticket.

#include "http/Reply.h"
#include "pages/PageServices.h"

namespace qv::dirsvc {

class PageRouter;
struct PageRequest;

class LoginPages {
  public:
    explicit LoginPages(PageServices services) : services_(services) {}

    void Register(PageRouter& router);

    Reply LoginEx2(const PageRequest& request);

  private:
    PageServices services_;
};

}  // namespace qv::dirsvc
