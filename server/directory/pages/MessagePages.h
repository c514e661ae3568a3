#pragma once

// GetMessagesEx, ReadMessage, DeleteMessage and SendMessage: messages kept for users who were
// offline. A sender the recipient blocks is answered as if the message had been kept, so that
// blocking is not revealed.

#include <cstdint>
#include <functional>

#include "http/Reply.h"
#include "pages/PageServices.h"
#include "store/StoreStatus.h"

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
    // The caller's message named by MessageId, changed by `change`; the reply's Fail texts are
    // the same for reading and deleting.
    using MessageChange = std::function<StoreStatus(std::int64_t user, std::int64_t id)>;
    Reply ChangeMessage(const PageRequest& request, const MessageChange& change, Reply success);

    PageServices services_;
    MessageStore& messages_;
};

}  // namespace qv::dirsvc
