#pragma once

// GetMessagesEx, ReadMessage, DeleteMessage and SendMessage: messages kept for users who were
// offline. A sender the recipient blocks is answered as if the message had been kept, so that
// blocking is not revealed.

#include "http/Reply.h"
#include "pages/PageServices.h"

namespace qv::dirsvc {

class MessageStore;
class PageRouter;
struct PageRequest;

class MessagePages {
  public:
    MessagePages(PageServices services, MessageStore& messages)
        : services_(services), messages_(messages) {}

    void Register(PageRouter& router);

    Reply GetMessagesEx(const PageRequest& request);
    Reply ReadMessage(const PageRequest& request);
    Reply DeleteMessage(const PageRequest& request);
    Reply SendMessage(const PageRequest& request);

  private:
    PageServices services_;
    MessageStore& messages_;
};

}  // namespace qv::dirsvc
