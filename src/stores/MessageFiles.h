#pragma once

// The two local files of the messages: Alerts.dat (incoming messages the user has not seen yet,
// kept over a logout or exit) and the offline queue's .msg files (messages written while not
// connected). Little-endian integers, NUL-padded text fields.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// One unseen incoming message as Alerts.dat keeps it.
struct SavedAlert {
    std::int32_t kind = 174;
    std::uint32_t time = 0;
    std::string senderNickname;
    std::string senderId;
    std::string text;
    std::uint16_t flags = 0;
};

namespace alerts_file {
inline constexpr const char* kFileName = "Alerts.dat";
inline constexpr std::uint32_t kVersion = 2;
inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kRecordSize = 1100;
inline constexpr std::size_t kNameField = 33;
inline constexpr std::size_t kTextField = 1024;

// The whole file for these records (texts cut to their fields).
std::string Encode(const std::vector<SavedAlert>& alerts);
// The records of a file with the right magic and version; nothing for any other file. A count
// larger than the records present reads the records present.
std::vector<SavedAlert> Decode(std::string_view data);
// Writes the file 0600; false when it could not be written or the path is empty.
bool Save(const std::string& path, const std::vector<SavedAlert>& alerts);
std::vector<SavedAlert> Load(const std::string& path);
}  // namespace alerts_file

// One message of the offline queue.
struct QueuedMessage {
    std::string recipientId;
    std::string recipientNickname;
    std::string text;
    std::uint16_t flags = 0;
};

// The folder Outgoing of the program folder: one file per message written while not connected,
// sent at the next complete login.
class OfflineQueue {
  public:
    static constexpr std::size_t kIdField = 32;
    // The reader's text buffer; a file claiming a longer text is refused and left in place.
    static constexpr std::size_t kMaxText = 1056;

    // folder ends in '/'. now gives seconds since 1970 (the file names' time part).
    OfflineQueue(std::string folder, std::function<std::uint32_t()> now);

    const std::string& Folder() const { return folder_; }
    void SetFolder(std::string folder) { folder_ = std::move(folder); }

    // Writes one file; the path written, or empty when the file could not be written.
    std::string Enqueue(const QueuedMessage& message);
    // Hands every readable file to send in name order (time, then counter: the order they were
    // written) and deletes it; a file with another magic or a broken layout stays. Returns how
    // many were sent.
    int Flush(const std::function<void(const QueuedMessage&)>& send);
    // The names of the waiting files, in name order.
    std::vector<std::string> Files() const;

    static std::string FileName(std::uint32_t time, std::uint32_t counter);
    static std::string Encode(const QueuedMessage& message);
    // False for another magic or a layout that does not fit.
    static bool Decode(std::string_view data, QueuedMessage& message);

  private:
    std::string folder_;
    std::function<std::uint32_t()> now_;
    std::uint32_t counter_ = 0;
};

}  // namespace qv
