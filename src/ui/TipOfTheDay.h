#pragma once

// The tips shown by the Tip of the Day window: lines of tips.txt, one tip a time, continuing
// where the last one ended. The application profile's "Tip" key holds StartUp (show after
// login), FilePos (where the next tip starts) and TimeStamp (the file's modification time: a
// new file starts again from its first tip).

#include <cstdint>
#include <optional>
#include <string>

namespace qv {

class RegistryKey;

class TipOfTheDay {
  public:
    // The profile key the tips' settings live under, below the current user.
    static constexpr const char* kProfileKey =
        "Software\\Local AppWizard-Generated Applications\\Quorvane\\Tip";
    static constexpr std::size_t kMaxTip = 1000;

    // profile: the opened "Tip" key; tipsFile: the path of tips.txt.
    TipOfTheDay(RegistryKey& profile, std::string tipsFile);

    // Whether tips are shown after login (StartUp, default on).
    bool ShowAtStartUp() const;
    void SetShowAtStartUp(bool on);

    // The next tip, moving FilePos past it; wraps to the first tip at the end of the file.
    // Nullopt when the file cannot be read or holds no tip.
    std::optional<std::string> NextTip();

  private:
    RegistryKey& profile_;
    std::string tipsFile_;
};

}  // namespace qv
