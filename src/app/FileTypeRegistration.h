#pragma once

// Registers the command-file type: the classes-root keys and browser viewer keys of the
// emulated registry, and the desktop's own integration (a shared-mime-info package for
// application/qdx and a .desktop entry that opens .qdx files with this program).

#include <string>

namespace qv {

class Registry;

// programFolder ends in '/'.
void RegisterFileType(Registry& registry, const std::string& programFolder);

struct DesktopIntegration {
    std::string dataHome;  // $XDG_DATA_HOME (ends in '/'); mime/ and applications/ go below it
    std::string exec;      // the command that starts this program, without the file argument
};

// Writes the mime package and the .desktop entry when they differ from what is there, and then
// refreshes the desktop's databases with update-mime-database / update-desktop-database when
// those tools exist. Returns true when a file was (re)written.
bool InstallDesktopIntegration(const DesktopIntegration& desktop);

}  // namespace qv
