#pragma once

// A mailer that keeps what it is given, and can be told to refuse.

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "mail/Mailer.h"

namespace qv::dirsvc::test {

class RecordingMailer final : public Mailer {
  public:
    bool Send(const MailMessage& message) override {
        if (onSend_) {
            onSend_(message);
        }
        if (refuse_.load()) {
            return false;
        }
        std::lock_guard lock(mutex_);
        sent_.push_back(message);
        return true;
    }

    void Refuse(bool refuse) { refuse_.store(refuse); }
    // Runs at each Send, before it is recorded (set it before the requests start).
    void OnSend(std::function<void(const MailMessage&)> hook) { onSend_ = std::move(hook); }
    std::vector<MailMessage> Sent() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<MailMessage> sent_;
    std::atomic<bool> refuse_{false};
    std::function<void(const MailMessage&)> onSend_;
};

}  // namespace qv::dirsvc::test
