#pragma once

// The warning shown before entering a forum of an adult category, and whether the user already
// accepted it since the forum list window was created.

#include <string>
#include <string_view>

namespace qv {

namespace adult_text {
inline constexpr const char* kTitle = "Warning!";
inline constexpr const char* kAccept = "&I accept";
inline constexpr const char* kLeave = "&Leave";
extern const char* const kWarning;
}  // namespace adult_text

// Whether entering that path asks first: its first component (before the first slash, leading
// slashes ignored) lower-cased contains "adult".
bool NeedsAdultWarning(std::string_view path);

// Accepted until forgotten; the forum list window owns one and forgets it when it is created.
class AdultWarningState {
  public:
    // True when that path needs the warning and it was not accepted yet.
    bool MustAsk(std::string_view path) const { return !accepted_ && NeedsAdultWarning(path); }
    bool Accepted() const { return accepted_; }
    void Accept() { accepted_ = true; }
    void Forget() { accepted_ = false; }

  private:
    bool accepted_ = false;
};

// "May this join go ahead?": the forum list window implements it with its modal dialog (true
// at once when no warning is needed or it was accepted); invitations and command-file joins
// ask it before joining.
class AdultCheck {
  public:
    virtual ~AdultCheck() = default;
    virtual bool AllowJoin(const std::string& path) = 0;
};

}  // namespace qv
