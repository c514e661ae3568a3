#pragma once

// LoginEx2, which checks a password and mints a connection id, and CheckConnection, the
// server-to-server page with which the voice server asks whether a connection id belongs to a
// Quorvane Number (loopback callers only).

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
    Reply CheckConnection(const PageRequest& request);

    // 127.0.0.0/8 and ::1, also in their IPv4-mapped form.
    static bool IsLoopback(std::string_view address);

  private:
    PageServices services_;
};

}  // namespace qv::dirsvc
