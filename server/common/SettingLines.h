#pragma once

// The "Key = Value" lines of a server's settings file, read the same way by every file: blanks
// around key and value dropped, empty lines and comments (# or ;) skipped.

#include <string>
#include <string_view>

namespace qv::servers {

class SettingLines {
  public:
    explicit SettingLines(std::string_view text) : rest_(text) {}

    // Moves to the next setting line: false at the end, and at a line without '=' (then Error
    // says which one).
    bool Next();
    int Number() const { return number_; }
    std::string_view Key() const { return key_; }
    std::string_view Value() const { return value_; }
    // "line N: ", to start a message about the current line.
    std::string Where() const;
    // Empty unless reading stopped at a line that is no setting.
    const std::string& Error() const { return error_; }

  private:
    std::string_view rest_;
    int number_ = 0;
    std::string_view key_;
    std::string_view value_;
    std::string error_;
};

}  // namespace qv::servers
