#pragma once

// Messages kept for users who were offline: per recipient, in the order they came, with sender,
// time, type, subject, flags and read state. Bounded per recipient (kMaxWaiting) and in size.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "store/StoreStatus.h"

namespace qv::dirsvc {

class Database;

struct KeptMessage {
    std::int64_t id = 0;
    std::int64_t sender = 0;
    std::string senderNickname;
    std::int64_t sentAt = 0;
    std::string type;
    std::string subject;
    std::int64_t flags = 0;
    std::string body;
    bool read = false;
};

class MessageStore {
  public:
    static constexpr std::int64_t kMaxWaiting = 1000;
    static constexpr std::size_t kMaxBody = 1023;
    static constexpr std::size_t kMaxSubject = 255;

    enum class Outcome { kStored, kBlocked, kUnknownRecipient, kFull, kError };

    using Visitor = std::function<void(const KeptMessage& message)>;

    explicit MessageStore(Database& database) : database_(database) {}

    // A sender the recipient blocks is answered kBlocked and nothing is kept.
    Outcome Add(std::int64_t recipient, std::int64_t sender, std::int64_t now,
                std::string_view type, std::string_view subject, std::int64_t flags,
                std::string_view body);
    StoreStatus Visit(std::int64_t recipient, const Visitor& visitor);
    // kNotFound when the recipient has no such message.
    StoreStatus MarkRead(std::int64_t recipient, std::int64_t id);
    StoreStatus Delete(std::int64_t recipient, std::int64_t id);

  private:
    Database& database_;
};

}  // namespace qv::dirsvc
