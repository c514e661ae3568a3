#pragma once

// quorvane-directory on 127.0.0.1, on a port the system chooses, mailing into a folder and
// signing voice tickets with a key it makes in that folder; stopped with SIGTERM when the object
// goes.

#include <string>
#include <vector>

#include "support/ListeningProcess.h"
#include "support/TempFolder.h"

namespace qv::test {

class DirectoryServiceProcess : public ListeningProcess {
  public:
    // program: the quorvane-directory executable.
    DirectoryServiceProcess(const std::string& program, const TempFolder& folder);

    // The mail sent so far, oldest first.
    std::vector<std::string> Mail() const;
    // The secret key that signs the voice tickets, and the public key for the voice servers.
    const std::string& TicketKey() const { return ticketKey_; }
    std::string TicketPublicKey() const { return ticketKey_ + ".pub"; }

  private:
    std::string mailDir_;
    std::string ticketKey_;
};

// The text after label up to the end of its line, without a trailing full stop.
std::string MailValue(const std::string& mail, const std::string& label);

}  // namespace qv::test
