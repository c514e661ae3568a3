#pragma once

// Who runs once the last presence reply after a login has arrived (the engine being logged in):
// the offline message queue and the voice-mail store. Their own subsystems fill it in.

namespace qv {

class PresenceBurstHooks {
  public:
    virtual ~PresenceBurstHooks() = default;
    virtual void FlushOfflineQueue() {}
    virtual void SendPendingVoiceMail() {}
};

}  // namespace qv
