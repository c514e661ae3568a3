#pragma once

// The event log: messages, calls and invitations with the other party and the time, appended to
// Quorvane.log ("CLOG", NUL, version 1, then records of type, length L and L bytes). Read back
// for the event-log window, and archived into the readable LogArchive.txt, which empties it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calls/CallEventLog.h"
#include "engine/IncomingMessageLog.h"
#include "messaging/MessageEventLog.h"

namespace qv {

class Screen;

namespace event_type {
inline constexpr std::uint8_t kIncomingMessage = 1;
inline constexpr std::uint8_t kOutgoingMessage = 2;
inline constexpr std::uint8_t kIncomingCall = 4;
inline constexpr std::uint8_t kOutgoingCall = 8;
inline constexpr std::uint8_t kSystemMessage = 16;
inline constexpr std::uint8_t kIncomingInvitation = 32;
inline constexpr std::uint8_t kIncomingWebTour = 36;
inline constexpr std::uint8_t kOutgoingInvitation = 64;
inline constexpr std::uint8_t kOutgoingWebTour = 72;
}  // namespace event_type

struct EventRecord {
    std::uint8_t type = 0;
    std::uint32_t time = 0;
    std::string id;
    std::string nickname;
    // Message text, system text, or forum name / invitation text.
    std::string text;
    // Nothing in the file carries one; the archive prints it only for 0 to 3.
    std::optional<int> priority;
};

// What the window shows; every part left empty matches everything.
struct EventFilter {
    // Groups of types (event_group); 0 is every group.
    std::uint32_t groups = 0;
    std::optional<std::uint32_t> from;  // seconds since 1970, inclusive
    std::optional<std::uint32_t> to;
    // Exactly this ID (the message windows' History).
    std::string userId;
    // Any piece of the ID or nickname, and of the text, without regard to case.
    std::string party;
    std::string text;
};

namespace event_group {
inline constexpr std::uint32_t kMessages = 1;
inline constexpr std::uint32_t kCalls = 2;
inline constexpr std::uint32_t kInvitations = 4;
inline constexpr std::uint32_t kWebTours = 8;
inline constexpr std::uint32_t kSystem = 16;
}  // namespace event_group

class EventLog final : public IncomingMessageLog, public CallEventLog, public MessageEventLog {
  public:
    static constexpr const char* kFileName = "Quorvane.log";
    static constexpr const char* kBackupName = "Quorvane_Log.bak";
    static constexpr const char* kArchiveName = "LogArchive.txt";
    static constexpr const char* kCorruptText =
        "Your Quorvane log file has become corrupt. The old file ( \"Quorvane.log\" ) will be "
        "copied to \"Quorvane_Log.bak\" and a new log will be generated.";
    static constexpr const char* kCorruptCaption = "ERROR";
    static constexpr const char* kArchiveCaption = "WARNING";
    static constexpr const char* kArchiveFailedText =
        "The event log could not be written to \"%s\". Your event log is kept as it was.";
    static constexpr std::size_t kHeaderSize = 9;
    static constexpr std::uint32_t kFixedPart = 68;  // time, ID and nickname
    static constexpr std::size_t kNameWidth = 32;
    static constexpr std::size_t kInvitationWidth = 256;
    static constexpr std::size_t kSeparatorLength = 58;

    EventLog() = default;
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // Creates the file with its header when there is none, else checks its magic. True when
    // the log is open on path afterwards.
    bool Open(const std::string& path);
    // Open, and when the file there is not a log: the message box, the old file copied to
    // Quorvane_Log.bak beside it, deleted, and a new log made. The old file is deleted only once
    // its copy is safe.
    bool OpenOrRepair(const std::string& path, Screen& screen);
    bool IsOpen() const override { return open_; }
    const std::string& Path() const { return path_; }
    // LogArchive.txt in the folder of the log (the user's folder once a user is known).
    std::string ArchivePath() const;

    // Appends: each opens the file, writes one record at its end and closes it. False when the
    // log is not open or the write failed.
    bool Append(const EventRecord& record);
    void LogIncomingMessage(std::uint32_t time, const std::string& id, const std::string& nickname,
                            const std::string& text) override;
    void LogOutgoingMessage(std::uint32_t time, const std::string& id, const std::string& nickname,
                            const std::string& text) override;
    void LogIncomingCall(std::uint32_t time, const std::string& id,
                         const std::string& nickname) override;
    void LogOutgoingCall(std::uint32_t time, const std::string& id,
                         const std::string& nickname) override;
    void LogIncomingInvitation(std::uint32_t time, const std::string& id,
                               const std::string& nickname, const std::string& text) override;
    void LogOutgoingInvitation(std::uint32_t time, const std::string& id,
                               const std::string& nickname, const std::string& text) override;

    // Reads every record of the file into the in-memory list and returns those that match.
    std::vector<EventRecord> Query(const EventFilter& filter);
    const std::vector<EventRecord>& Records() const { return records_; }
    static bool Matches(const EventRecord& record, const EventFilter& filter);
    static std::uint32_t GroupOf(std::uint8_t type);

    // Writes every record to the end of archivePath and flushes it; only then is the log
    // emptied. A failed write leaves the log as it was and the archive as it was before.
    bool Archive(const std::string& archivePath);
    // The archive command: asks first (Yes/No). 1 archived, 0 the user said No, -1 it failed
    // (told to the user; the log is kept).
    int ArchiveCommand(Screen& screen);
    static std::string ArchiveConfirmation(const std::string& archivePath);
    static std::string ArchiveText(const EventRecord& record);

    // Called after every change of the file (appends, opening, archiving): the window refreshes.
    void SetChanged(std::function<void()> changed) { changed_ = std::move(changed); }

    // One reader and one writer of the file.
    static std::string Header();
    static std::string EncodeRecord(const EventRecord& record);
    // The records of a whole file; nullopt when the magic is wrong. Unknown types are skipped by
    // their L; a record cut off at the end ends the list.
    static std::optional<std::vector<EventRecord>> Decode(std::string_view data);

  private:
    void Changed();

    std::string path_;
    bool open_ = false;
    std::vector<EventRecord> records_;
    std::function<void()> changed_;
};

}  // namespace qv
