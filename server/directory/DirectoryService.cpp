#include "DirectoryService.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "TicketKeys.h"
#include "http/HttpFront.h"
#include "http/PageRouter.h"
#include "mail/FileMailer.h"
#include "pages/AccountPages.h"
#include "pages/BlockPages.h"
#include "pages/ContactPages.h"
#include "pages/LoginPages.h"
#include "pages/MessagePages.h"
#include "pages/PartnerPages.h"
#include "pages/ProfilePages.h"
#include "pages/ReplayCache.h"
#include "security/Secrets.h"
#include "security/TicketIssuer.h"
#include "store/AccountStore.h"
#include "store/BlockListStore.h"
#include "store/ContactListStore.h"
#include "store/Database.h"
#include "store/MessageStore.h"
#include "store/PartnerStore.h"
#include "store/SessionStore.h"
#include "util/Clock.h"

namespace qv::dirsvc {

namespace {

// Creates the folder (and missing parents) as 0700; an existing one is made 0700 when
// tighten is set. False when it cannot be created or is not a folder.
bool PrivateFolder(const std::string& folder, bool tighten) {
    std::error_code failure;
    const std::filesystem::path path(folder);
    std::vector<std::filesystem::path> missing;
    for (std::filesystem::path p = path; !p.empty() && !std::filesystem::exists(p, failure);
         p = p.parent_path()) {
        missing.push_back(p);
        if (p == p.parent_path()) {
            break;
        }
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        ::chmod(it->c_str(), 0700);
    }
    if (!std::filesystem::is_directory(path, failure)) {
        return false;
    }
    if (tighten && missing.empty()) {
        ::chmod(path.c_str(), 0700);
    }
    return true;
}

}  // namespace

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
          contacts(*database),
          blocks(*database),
          messages(*database),
          hasher(options.hashCost, options.hashSlots),
          throttle(clock, options.throttle),
          replays(clock),
          registrations(clock, options.registrations),
          resetMails(clock, options.resetMails),
          tickets(ticketKey, options.tickets, clock),
          services{accounts, sessions, partners, hasher,   throttle, mailer,
                   replays,  clock,    tickets,  contacts, blocks},
          accountPages(services, {registrations, resetMails}),
          loginPages(services),
          profilePages(services),
          partnerPages(services),
          contactPages(services),
          blockPages(services),
          messagePages(services, messages),
          log(std::move(seams.logSink)),
          front(router, log, clock, options.http) {
        accountPages.Register(router);
        loginPages.Register(router);
        profilePages.Register(router);
        partnerPages.Register(router);
        contactPages.Register(router);
        blockPages.Register(router);
        messagePages.Register(router);
    }

    std::unique_ptr<Clock> ownClock;
    const Clock& clock;
    std::unique_ptr<Mailer> ownMailer;
    Mailer& mailer;
    std::unique_ptr<Database> database;
    AccountStore accounts;
    SessionStore sessions;
    PartnerStore partners;
    ContactListStore contacts;
    BlockListStore blocks;
    MessageStore messages;
    PasswordHasher hasher;
    LoginThrottle throttle;
    ReplayCache replays;
    RateLimiter registrations;
    RateLimiter resetMails;
    TicketIssuer tickets;
    PageServices services;
    AccountPages accountPages;
    LoginPages loginPages;
    ProfilePages profilePages;
    PartnerPages partnerPages;
    ContactPages contactPages;
    BlockPages blockPages;
    MessagePages messagePages;
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
    // Mail holds passwords and the files are users' own: both folders are the service's alone.
    for (const std::string& folder : {options.filesFolder, options.mailFolder}) {
        if (!PrivateFolder(folder, true)) {
            error = "cannot create the folder '" + folder + "'";
            return nullptr;
        }
    }
    // The database's folder may be shared; only one the service creates is made private.
    const std::filesystem::path databaseFolder =
        std::filesystem::path(options.databasePath).parent_path();
    if (!databaseFolder.empty() && !PrivateFolder(databaseFolder.string(), false)) {
        error = "cannot create the folder '" + databaseFolder.string() + "'";
        return nullptr;
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

ContactListStore& DirectoryService::Contacts() {
    return parts_->contacts;
}

BlockListStore& DirectoryService::Blocks() {
    return parts_->blocks;
}

MessageStore& DirectoryService::Messages() {
    return parts_->messages;
}

PartnerStore& DirectoryService::Partners() {
    return parts_->partners;
}

}  // namespace qv::dirsvc
