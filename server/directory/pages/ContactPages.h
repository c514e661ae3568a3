#pragma once

// GetContacts, AddContact, DeleteContact, AddGroup and DeleteGroup: the server copy of each
// account's contact list, whose version the client compares at login.

#include "http/Reply.h"
#include "pages/PageServices.h"

namespace qv::dirsvc {

class PageRouter;
struct PageRequest;

class ContactPages {
  public:
    explicit ContactPages(PageServices services) : services_(services) {}

    void Register(PageRouter& router);

    Reply GetContacts(const PageRequest& request);
    Reply AddContact(const PageRequest& request);
    Reply DeleteContact(const PageRequest& request);
    Reply AddGroup(const PageRequest& request);
    Reply DeleteGroup(const PageRequest& request);

  private:
    PageServices services_;
};

}  // namespace qv::dirsvc
