#include "DirectoryService.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "TicketKeys.h"
#include "http/HttpFront.h"
#include "http/PageRouter.h"
#include "mail/FileMailer.h"
#include "pages/AccountPages.h"
#include "pages/LoginPages.h"
#include "pages/PartnerPages.h"
#include "pages/ProfilePages.h"
#include "pages/ReplayCache.h"
#include "security/Secrets.h"
#include "security/TicketIssuer.h"
#include "store/AccountStore.h"
#include "store/Database.h"
#include "store/PartnerStore.h"
#include "store/SessionStore.h"
#include "util/Clock.h"

namespace qv::dirsvc {

struct DirectoryService::Parts {
    Parts(const ServiceOptions& options, Seams seams, std::unique_ptr<Database> db,
          const ticket::SecretKey& ticketKey)
        : ownClock(seams.clock == nullptr ? std::make_unique<SystemClock>() : nullptr),
          clock(seams.clock != nullptr ? *seams.clock : *ownClock),
          ownMailer(seams.mailer == nullptr
                        ? std::make_unique<FileMailer>(options.mailFolder, clock)
                        : nullptr),
          mailer(seams.mailer != nullptr ? *seams.mailer : *ownMailer),
          database(std::move(db)),
          accounts(*database),
          sessions(*database),
          partners(*database),
          hasher(options.hashCost, options.hashSlots),
          throttle(clock, options.throttle),
          replays(clock),
          tickets(ticketKey, options.tickets, clock),
          services{accounts, sessions, partners, hasher, throttle, mailer, replays, clock, tickets},
          accountPages(services),
          loginPages(services),
          profilePages(services),
          partnerPages(services),
          log(std::move(seams.logSink)),
          front(router, log, clock, options.http) {
        accountPages.Register(router);
        loginPages.Register(router);
        profilePages.Register(router);
        partnerPages.Register(router);
    }

    std::unique_ptr<Clock> ownClock;
    const Clock& clock;
    std::unique_ptr<Mailer> ownMailer;
    Mailer& mailer;
    std::unique_ptr<Database> database;
    AccountStore accounts;
    SessionStore sessions;
    PartnerStore partners;
    PasswordHasher hasher;
    LoginThrottle throttle;
    ReplayCache replays;
    TicketIssuer tickets;
    PageServices services;
    AccountPages accountPages;
    LoginPages loginPages;
    ProfilePages profilePages;
    PartnerPages partnerPages;
    PageRouter router;
    RequestLog log;
    HttpFront front;
};

std::unique_ptr<DirectoryService> DirectoryService::Create(const ServiceOptions& options,
                                                           Seams seams, std::string& error) {
    if (!secrets::Initialize()) {
        error = "libsodium cannot be initialised";
        return nullptr;
    }
    if (options.filesFolder.empty() || options.mailFolder.empty()) {
        error = "the files and mail folders must be given";
        return nullptr;
    }
    std::vector<std::string> folders = {options.filesFolder, options.mailFolder};
    const std::filesystem::path databaseFolder =
        std::filesystem::path(options.databasePath).parent_path();
    if (!databaseFolder.empty()) {
        folders.push_back(databaseFolder.string());
    }
    for (const std::string& folder : folders) {
        std::error_code failure;
        if (!std::filesystem::create_directories(folder, failure) &&
            !std::filesystem::is_directory(folder, failure)) {
            error = "cannot create the folder '" + folder + "'";
            return nullptr;
        }
    }
    ticket::SecretKey ticketKey{};
    if (options.tickets.keyPath.empty()) {
        ticket::NewSigningKey(ticketKey);
    } else if (!ticket::LoadOrCreateSigningKey(options.tickets.keyPath, ticketKey, error)) {
        error = "voice ticket key: " + error;
        return nullptr;
    }
    auto database = Database::Open(options.databasePath, error);
    if (database == nullptr) {
        error = "cannot open the database '" + options.databasePath + "': " + error;
        return nullptr;
    }
    return std::make_unique<DirectoryService>(
        std::make_unique<Parts>(options, std::move(seams), std::move(database), ticketKey));
}

DirectoryService::DirectoryService(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

DirectoryService::~DirectoryService() {
    Stop();
}

int DirectoryService::Start(const std::string& host, int port) {
    return parts_->front.Start(host, port);
}

void DirectoryService::Stop() {
    parts_->front.Stop();
}

AccountStore& DirectoryService::Accounts() {
    return parts_->accounts;
}

}  // namespace qv::dirsvc
