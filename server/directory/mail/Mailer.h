#pragma once

// Where the service's mail goes. The pages only need to know whether a message was accepted.

#include "mail/MailMessage.h"

namespace qv::dirsvc {

class Mailer {
  public:
    virtual ~Mailer() = default;
    // True once the message is safely handed over; false when it could not be.
    virtual bool Send(const MailMessage& message) = 0;
};

}  // namespace qv::dirsvc
