#pragma once

// The status line's view of the program: the engine manager's state, ping and packet loss and
// the call manager's slots. It also passes every connection state change on to the status line,
// so a change shows without waiting for the next 200 ms run.

#include <cstdint>

#include "ui/ConnectionStatusLine.h"

namespace qv {

class CSonaroManager;
class CallManager;

class ProgramStatusSource final : public StatusLineSource {
  public:
    explicit ProgramStatusSource(CSonaroManager* manager);
    ~ProgramStatusSource() override;
    ProgramStatusSource(const ProgramStatusSource&) = delete;
    ProgramStatusSource& operator=(const ProgramStatusSource&) = delete;

    // The call manager comes after the status line; null detaches it.
    void SetCallManager(const CallManager* calls) { calls_ = calls; }
    // The line told of connection state changes; null stops that.
    void SetLine(ConnectionStatusLine* line) { line_ = line; }

    int ManagerState() const override;
    bool CallOrForumActive() const override;
    bool ActiveIsForum() const override;
    bool IncomingCallWaiting() const override;
    std::int32_t Ping() const override;
    float PacketLoss() const override;

  private:
    static void ConnectionStateThunk(std::int32_t state, void* self);

    CSonaroManager* manager_;
    const CallManager* calls_ = nullptr;
    ConnectionStatusLine* line_ = nullptr;
};

}  // namespace qv
