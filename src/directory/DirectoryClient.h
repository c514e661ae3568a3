#pragma once

// The directory service client: queues requests between the user-interface thread and one worker
// thread that performs them one at a time over HTTP, and hands the replies back through a 200 ms
// completion job on the scheduler. Callers never wait: an operation queues a request with a
// callback and a context and returns; the callback runs later on the user-interface thread.
//
// Requests move Held -> Ready (ReleaseHeld), Ready -> In flight (the worker), In flight -> Ready
// front (one retry), In flight -> Completed, Completed -> reported and deleted (the pump).

#include <cstdint>
#include <memory>
#include <string>

#include "directory/DirectoryRequest.h"
#include "directory/JobScheduler.h"
#include "directory/TransferSettings.h"

namespace qv {

class TickClock;

namespace directory_detail {
struct ClientShared;
struct ClientWorker;
}  // namespace directory_detail

class DirectoryClient {
  public:
    struct Settings {
        TransferSettings transfer;
        // How long Stop waits for the worker before abandoning it.
        std::uint32_t stopTimeoutMs = 20000;
    };

    static constexpr const char* kUserAgent = "QuorvaneWeb";
    // WebServer when the server settings name none: the directory service's own default address.
    static constexpr const char* kDefaultWebServer = "127.0.0.1:8080";
    // The worker's pause after every request and while the queue is empty; the pump's period.
    static constexpr std::uint32_t kPaceMs = 200;
    static constexpr std::uint32_t kPumpIntervalMs = 200;

    // The clock paces the worker; the scheduler runs the completion pump.
    DirectoryClient(JobScheduler& scheduler, const TickClock& clock);
    DirectoryClient(JobScheduler& scheduler, const TickClock& clock, Settings settings);
    ~DirectoryClient();
    DirectoryClient(const DirectoryClient&) = delete;
    DirectoryClient& operator=(const DirectoryClient&) = delete;

    // Stops, then starts the worker for host and folder ("http://" + host + folder + path) and
    // registers the completion pump. Returns whether the client is open already (normally not:
    // the worker opens it).
    bool Start(std::string host, std::string folder);
    // Ends the worker (waiting up to the stop timeout, then abandoning it), removes the pump,
    // deletes every request unreported and forgets host, folder, connection id and the refused
    // login. False when the worker had to be abandoned.
    bool Stop();
    bool IsOpen() const;

    // Deletes the waiting requests made with context and marks those that have run, so that no
    // callback reaches that context any more.
    void Cancel(RequestContext context);
    // After a login attempt: with a connection id, held requests get it and go to the Ready
    // queue; without one (or after a refused login) they fail with the not-connected reply.
    void ReleaseHeld();

    // For the request families. Accepts: whether a request of this kind may be queued now (the
    // client is open, and the kind is not refused after a refused login); when not, the operation
    // reports kNotConnectedMessage at once. Queue: to the Ready queue, or to the Held queue when
    // the kind is held and no connection id is known.
    bool Accepts(RequestKind kind) const;
    void Queue(std::unique_ptr<DirectoryRequest> request);

    std::string ConnectionId() const;
    void SetConnectionId(std::string id);
    // The voice ticket of the latest login; good for one voice-server login.
    std::string VoiceTicket() const;
    void SetVoiceTicket(std::string ticket);
    bool LoginRefused() const;
    void SetLoginRefused(bool refused);

    // Sent with the login and the account requests; 1 unless the program sets the one it read.
    std::uint16_t PartnerNumber() const { return partnerNumber_; }
    void SetPartnerNumber(std::uint16_t number) { partnerNumber_ = number; }

    const std::string& Host() const { return host_; }
    const std::string& Folder() const { return folder_; }

    // Reports every finished request to its handler and deletes it. The scheduler job runs it.
    void PumpCompletions();

    struct QueueSizes {
        std::size_t held = 0;
        std::size_t ready = 0;
        std::size_t inFlight = 0;
        std::size_t completed = 0;
    };
    QueueSizes Sizes() const;
    // DeleteMessage requests queued and not yet finished.
    std::int32_t PendingDeletions() const;
    // How many passes the worker has made over the Ready queue.
    std::uint64_t PassCount() const;
    // A worker that is pausing looks at the clock again at once (for a clock moved by hand).
    void WakeWorker();

  private:
    using Shared = directory_detail::ClientShared;
    using Worker = directory_detail::ClientWorker;

    JobScheduler& scheduler_;
    const TickClock& clock_;
    Settings settings_;
    std::shared_ptr<Shared> shared_;
    std::shared_ptr<Worker> worker_;
    std::uint32_t pumpId_ = 0;
    std::string host_;
    std::string folder_;
    std::uint16_t partnerNumber_ = 1;
};

}  // namespace qv
