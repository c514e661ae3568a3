#pragma once

// The directory web service in one object: database, stores, mailer, page handlers and the HTTP
// front. The executable and the tests both run it; tests put their own clock, mailer or log sink
// in through Seams.

#include <memory>
#include <string>

#include "ServiceOptions.h"
#include "http/RequestLog.h"

namespace qv::dirsvc {

class AccountStore;
class BlockListStore;
class MessageStore;
class ContactListStore;
class PartnerStore;
class Clock;
class Mailer;

class DirectoryService {
  public:
    struct Seams {
        const Clock* clock = nullptr;  // default: the system clock
        Mailer* mailer = nullptr;      // default: files in options.mailFolder
        RequestLog::Sink logSink;      // default: stderr
    };

    // Opens the database and creates the folders; null with a message in error on failure.
    static std::unique_ptr<DirectoryService> Create(const ServiceOptions& options, Seams seams,
                                                    std::string& error);
    ~DirectoryService();
    DirectoryService(const DirectoryService&) = delete;
    DirectoryService& operator=(const DirectoryService&) = delete;

    // Serves on host:port (0: any free port); the bound port, or -1.
    int Start(const std::string& host, int port);
    void Stop();

    // For loading test and benchmark data directly, and the operator's partner file.
    AccountStore& Accounts();
    ContactListStore& Contacts();
    BlockListStore& Blocks();
    MessageStore& Messages();
    PartnerStore& Partners();

    struct Parts;
    explicit DirectoryService(std::unique_ptr<Parts> parts);

  private:
    std::unique_ptr<Parts> parts_;
};

}  // namespace qv::dirsvc
