#pragma once

// Command files (.qdx) handed over by a web browser or the shell: one command letter, then text
// lines. The view runs the record once the user is logged in.

#include <deque>
#include <optional>
#include <string>

namespace qv {

struct CommandRecord {
    char letter = 0;  // 0: an empty record
    std::string a;    // L: the user to look up and call
    std::string b;    // the forum, or the web tour address
    std::string c;    // the forum password

    bool Empty() const { return letter == 0; }
    bool operator==(const CommandRecord&) const = default;
};

// Reads the record from a command file; an unknown letter or an unreadable file gives an empty
// record. Lines: line ends before the first character are skipped, a 0 byte ends the line, at
// most 255 characters are kept.
CommandRecord ReadCommandFile(const std::string& path);
CommandRecord ParseCommandFile(const std::string& bytes);

// Records that wait for the connection; the oldest runs first.
class PendingCommands {
  public:
    void Append(CommandRecord record) { records_.push_back(std::move(record)); }
    std::optional<CommandRecord> TakeOldest();
    bool Empty() const { return records_.empty(); }
    std::size_t Size() const { return records_.size(); }
    // Set once the first pending record has run after a connection.
    bool firstRun = false;

  private:
    std::deque<CommandRecord> records_;
};

}  // namespace qv
