#pragma once

// quorvane-directory on 127.0.0.1, on a port the system chooses, mailing into a folder; stopped
// with SIGTERM when the object goes.

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

  private:
    std::string mailDir_;
};

// The text after label up to the end of its line, without a trailing full stop.
std::string MailValue(const std::string& mail, const std::string& label);

}  // namespace qv::test
