#pragma once

// The machine's run-at-start-up key, mirrored to the desktop's autostart entries so that what the
// key says really happens at the next log-in.

#include <string>
#include <string_view>

#include "settings/RegistryKey.h"

namespace qv {

struct AutostartMirror {
    std::string folder;          // e.g. ~/.config/autostart/ (ends in '/'); empty: no mirror
    std::string programFolder;   // the data root, as run values name the program by it
    std::string programCommand;  // how to start this program here (quoted path and options)
};

class RunKey {
  public:
    static constexpr const char* kPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\";
    static constexpr const char* kQuorvane = "Quorvane";
    static constexpr const char* kInternetDetector = "Quorvane Internet Detector";
    static constexpr const char* kLauncher = "Quorvane Launcher";

    RunKey(Registry& registry, AutostartMirror mirror);

    bool Open();
    // Empty when the value is missing.
    std::string Get(std::string_view name) const;
    bool Has(std::string_view name) const;
    bool Set(std::string_view name, std::string_view command);
    bool Delete(std::string_view name);

    // The autostart entry that mirrors a value.
    std::string EntryPath(std::string_view name) const;

  private:
    bool WriteEntry(std::string_view name, std::string_view command) const;

    RegistryKey key_;
    AutostartMirror mirror_;
};

}  // namespace qv
