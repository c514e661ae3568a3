#include "directory/DirectoryClient.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <optional>
#include <thread>

#include "directory/DirectoryStatus.h"
#include "directory/DirectoryUrl.h"
#include "directory/HttpSession.h"
#include "platform/TickClock.h"
#include "platform/Trace.h"

namespace qv {

using RequestList = std::list<std::unique_ptr<DirectoryRequest>>;

// The lists and what the lock guards with them. Shared with the worker thread, which may outlive
// the client when it had to be abandoned.
namespace directory_detail {

struct ClientShared {
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::uint64_t wakeCount = 0;
    RequestList held;
    RequestList ready;
    RequestList inFlight;
    RequestList completed;
    std::string connectionId;
    std::string voiceTicket;
    bool loginRefused = false;
    std::int32_t pendingDeletions = 0;
    // Changes whenever Stop empties the lists, so a late worker drops what it carried.
    std::uint64_t generation = 0;
    std::uint64_t passes = 0;
};

struct ClientWorker {
    explicit ClientWorker(const TransferSettings& transfer) : session(transfer, stop) {}

    std::atomic<bool> stop{false};
    std::atomic<bool> open{false};
    HttpSession session;
    std::string host;
    std::string folder;
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    std::thread thread;
};

}  // namespace directory_detail

namespace {

using Shared = directory_detail::ClientShared;
using Worker = directory_detail::ClientWorker;

void DecrementDeletions(std::int32_t& pending) {
    if (pending > 0) {
        --pending;
    }
}

// Waits ms on the clock, or less when stopped.
void Pause(Shared& shared, const std::atomic<bool>& stop, const TickClock& clock,
           std::uint32_t ms) {
    if (stop.load()) {
        return;
    }
    const std::uint32_t start = clock.Now();
    std::unique_lock lock(shared.mutex);
    std::uint64_t seen = shared.wakeCount;
    while (!stop.load()) {
        const std::uint32_t elapsed = clock.Now() - start;
        if (elapsed >= ms) {
            return;
        }
        shared.wake.wait_for(lock, std::chrono::milliseconds(ms - elapsed),
                             [&] { return stop.load() || shared.wakeCount != seen; });
        seen = shared.wakeCount;
    }
}

struct Job {
    DirectoryRequest* request = nullptr;
    std::uint64_t generation = 0;
    RequestKind kind = RequestKind::LoginEx2;
    std::string url;
    std::string body;
    std::string downloadPath;
};

// Step 1 of a pass: the first ready request moves to In flight, unless it is a message list
// while deletions are outstanding (it goes to the back and nothing runs in this pass).
Job Take(Shared& shared) {
    Job job;
    std::lock_guard lock(shared.mutex);
    ++shared.passes;
    if (shared.ready.empty()) {
        return job;
    }
    std::unique_ptr<DirectoryRequest> request = std::move(shared.ready.front());
    shared.ready.pop_front();
    if (request->kind == RequestKind::GetMessagesEx && shared.pendingDeletions > 0) {
        shared.ready.push_back(std::move(request));
        return job;
    }
    job.request = request.get();
    job.generation = shared.generation;
    job.kind = request->kind;
    job.url = request->url;
    if (auto* file = dynamic_cast<FileRequest*>(request.get())) {
        job.body = file->uploadBody;
        job.downloadPath = file->downloadPath;
    }
    shared.inFlight.push_back(std::move(request));
    return job;
}

HttpSession::Result Execute(Worker& worker, const Job& job) {
    HttpSession::Result result;
    std::optional<std::string> url = FullRequestUrl(worker.host, worker.folder, job.url);
    if (!url) {
        return result;
    }
    bool probe = true;
    if (job.kind == RequestKind::SendVoiceMail) {
        result = worker.session.Upload(*url, job.body);
    } else if (job.kind == RequestKind::ReadVoiceMail) {
        result = worker.session.Download(*url, job.downloadPath);
    } else {
        result = worker.session.Get(*url);
        probe = result.opened;
    }
    if (probe && !worker.stop.load()) {
        worker.session.Get("http://" + worker.host + "/it.html");
    }
    return result;
}

// Steps 4 and 5: a failed attempt goes back to the front once; otherwise the request completes.
void Finish(Shared& shared, const Job& job, HttpSession::Result result) {
    std::lock_guard lock(shared.mutex);
    if (job.generation != shared.generation) {
        return;
    }
    auto it = std::find_if(shared.inFlight.begin(), shared.inFlight.end(),
                           [&](const auto& r) { return r.get() == job.request; });
    if (it == shared.inFlight.end()) {
        return;
    }
    DirectoryRequest& request = **it;
    if (!result.ok) {
        if (request.retriesLeft > 0) {
            --request.retriesLeft;
            shared.ready.splice(shared.ready.begin(), shared.inFlight, it);
            return;
        }
        request.reply = kRetriesExhaustedReply;
    } else {
        request.reply = std::move(result.reply);
    }
    shared.completed.splice(shared.completed.end(), shared.inFlight, it);
}

void RunWorker(std::shared_ptr<Shared> shared, std::shared_ptr<Worker> worker,
               const TickClock& clock) {
    Trace("DirectoryClient", "WorkerThread");
    if (worker->session.Open(DirectoryClient::kUserAgent)) {
        worker->open.store(true);
        std::optional<std::string> root = FullRequestUrl(worker->host, worker->folder, "");
        if (!root || !worker->session.Get(*root).opened) {
            // The configured proxy may be what fails: go direct from now on.
            worker->session.UseDirectAccess();
        }
        while (!worker->stop.load()) {
            Job job = Take(*shared);
            if (job.request == nullptr) {
                Pause(*shared, worker->stop, clock, DirectoryClient::kPaceMs);
                continue;
            }
            HttpSession::Result result = Execute(*worker, job);
            if (worker->stop.load()) {
                break;
            }
            Finish(*shared, job, std::move(result));
            Pause(*shared, worker->stop, clock, DirectoryClient::kPaceMs);
        }
    }
    std::lock_guard lock(worker->doneMutex);
    worker->done = true;
    worker->doneSignal.notify_all();
}

}  // namespace

DirectoryClient::DirectoryClient(JobScheduler& scheduler, const TickClock& clock)
    : DirectoryClient(scheduler, clock, Settings{}) {}

DirectoryClient::DirectoryClient(JobScheduler& scheduler, const TickClock& clock, Settings settings)
    : scheduler_(scheduler),
      clock_(clock),
      settings_(settings),
      shared_(std::make_shared<Shared>()) {}

DirectoryClient::~DirectoryClient() {
    Stop();
}

bool DirectoryClient::Start(std::string host, std::string folder) {
    Trace("DirectoryClient", "Start", host + folder);
    Stop();
    host_ = std::move(host);
    folder_ = std::move(folder);
    worker_ = std::make_shared<Worker>(settings_.transfer);
    worker_->host = host_;
    worker_->folder = folder_;
    worker_->thread = std::thread(RunWorker, shared_, worker_, std::cref(clock_));
    pumpId_ = scheduler_.Add([this](const std::string&, std::uintptr_t) { PumpCompletions(); },
                             reinterpret_cast<std::uintptr_t>(this), kPumpIntervalMs,
                             JobScheduler::kRepeat);
    return IsOpen();
}

bool DirectoryClient::Stop() {
    bool ended = true;
    if (worker_) {
        Trace("DirectoryClient", "Stop");
        worker_->stop.store(true);
        {
            std::lock_guard lock(shared_->mutex);
            ++shared_->wakeCount;
        }
        shared_->wake.notify_all();
        worker_->session.Interrupt();
    }
    scheduler_.Remove(pumpId_);
    pumpId_ = 0;
    if (worker_) {
        {
            std::unique_lock lock(worker_->doneMutex);
            ended = worker_->doneSignal.wait_for(lock,
                                                 std::chrono::milliseconds(settings_.stopTimeoutMs),
                                                 [this] { return worker_->done; });
        }
        if (ended) {
            worker_->thread.join();
            worker_->session.Close();
        } else {
            // It holds only shared state and ends on its own once its transfer returns.
            Trace("DirectoryClient", "Stop", "worker abandoned");
            worker_->thread.detach();
        }
        worker_->open.store(false);
        worker_.reset();
    }
    RequestList doomed;
    {
        std::lock_guard lock(shared_->mutex);
        doomed.splice(doomed.end(), shared_->held);
        doomed.splice(doomed.end(), shared_->ready);
        doomed.splice(doomed.end(), shared_->inFlight);
        doomed.splice(doomed.end(), shared_->completed);
        // The deletions counted are gone with their requests.
        shared_->pendingDeletions = 0;
        shared_->connectionId.clear();
        shared_->voiceTicket.clear();
        shared_->loginRefused = false;
        ++shared_->generation;
    }
    host_.clear();
    folder_.clear();
    return ended;
}

bool DirectoryClient::IsOpen() const {
    return worker_ && worker_->open.load();
}

void DirectoryClient::Cancel(RequestContext context) {
    RequestList doomed;
    {
        std::lock_guard lock(shared_->mutex);
        for (RequestList* list : {&shared_->held, &shared_->ready}) {
            for (auto it = list->begin(); it != list->end();) {
                auto next = std::next(it);
                if ((*it)->context == context) {
                    if ((*it)->kind == RequestKind::DeleteMessage) {
                        DecrementDeletions(shared_->pendingDeletions);
                    }
                    doomed.splice(doomed.end(), *list, it);
                }
                it = next;
            }
        }
        // A request that has run is only marked: its handler still settles the client's own
        // state (a login's connection id) without calling back.
        for (RequestList* list : {&shared_->inFlight, &shared_->completed}) {
            for (auto& request : *list) {
                if (request->context == context) {
                    request->cancelled = true;
                }
            }
        }
    }
    // Destroyed outside the lock: a handler's captures may call back into the client.
}

void DirectoryClient::ReleaseHeld() {
    Trace("DirectoryClient", "ReleaseHeld");
    std::lock_guard lock(shared_->mutex);
    if (shared_->loginRefused || shared_->connectionId.empty()) {
        for (auto& request : shared_->held) {
            request->reply = kNotConnectedMessage;
        }
        shared_->completed.splice(shared_->completed.end(), shared_->held);
        return;
    }
    for (auto& request : shared_->held) {
        InsertConnectionId(request->url, shared_->connectionId);
    }
    shared_->ready.splice(shared_->ready.end(), shared_->held);
}

bool DirectoryClient::Accepts(RequestKind kind) const {
    if (!IsOpen()) {
        return false;
    }
    return !(IsRefusedKind(kind) && LoginRefused());
}

void DirectoryClient::Queue(std::unique_ptr<DirectoryRequest> request) {
    if (!request) {
        return;
    }
    std::lock_guard lock(shared_->mutex);
    if (request->kind == RequestKind::DeleteMessage) {
        ++shared_->pendingDeletions;
    }
    if (IsHeldKind(request->kind) && shared_->connectionId.empty()) {
        shared_->held.push_back(std::move(request));
    } else {
        shared_->ready.push_back(std::move(request));
    }
}

std::string DirectoryClient::ConnectionId() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->connectionId;
}

void DirectoryClient::SetConnectionId(std::string id) {
    std::lock_guard lock(shared_->mutex);
    shared_->connectionId = std::move(id);
}

std::string DirectoryClient::VoiceTicket() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->voiceTicket;
}

void DirectoryClient::SetVoiceTicket(std::string ticket) {
    std::lock_guard lock(shared_->mutex);
    shared_->voiceTicket = std::move(ticket);
}

bool DirectoryClient::LoginRefused() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->loginRefused;
}

void DirectoryClient::SetLoginRefused(bool refused) {
    std::lock_guard lock(shared_->mutex);
    shared_->loginRefused = refused;
}

void DirectoryClient::PumpCompletions() {
    for (;;) {
        std::unique_ptr<DirectoryRequest> request;
        bool cancelled = false;
        {
            std::lock_guard lock(shared_->mutex);
            if (shared_->completed.empty()) {
                return;
            }
            request = std::move(shared_->completed.front());
            shared_->completed.pop_front();
            cancelled = request->cancelled;
        }
        if (request->handler) {
            request->handler(*request, !cancelled);
        }
        if (request->kind == RequestKind::DeleteMessage) {
            std::lock_guard lock(shared_->mutex);
            DecrementDeletions(shared_->pendingDeletions);
        }
    }
}

DirectoryClient::QueueSizes DirectoryClient::Sizes() const {
    std::lock_guard lock(shared_->mutex);
    return {shared_->held.size(), shared_->ready.size(), shared_->inFlight.size(),
            shared_->completed.size()};
}

std::int32_t DirectoryClient::PendingDeletions() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->pendingDeletions;
}

std::uint64_t DirectoryClient::PassCount() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->passes;
}

void DirectoryClient::WakeWorker() {
    {
        std::lock_guard lock(shared_->mutex);
        ++shared_->wakeCount;
    }
    shared_->wake.notify_all();
}

}  // namespace qv
