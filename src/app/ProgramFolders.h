#pragma once

// The program folder (the data root, where the program's own files live) and the per-user
// folders below it. Both end in '/'.

#include <string>

namespace qv {

class ProgramFolders {
  public:
    explicit ProgramFolders(std::string programFolder);

    const std::string& ProgramFolder() const { return programFolder_; }
    // The program folder followed by the decimal id, created on first use. An empty id, or a
    // folder that cannot be created (other than because it exists), gives the program folder.
    const std::string& UserFolder(const std::string& id);
    const std::string& SystemFolder() const { return systemFolder_; }

    // Where the data root is: --home, else QUORVANE_HOME, else $XDG_DATA_HOME/quorvane/, else
    // ~/.local/share/quorvane/. Always absolute and ending in '/'.
    static std::string ResolveDataRoot(const std::string& homeOption);

  private:
    std::string programFolder_;
    std::string systemFolder_;
    std::string cachedId_;
    std::string cachedFolder_;
    bool cached_ = false;
};

// path with a '/' at its end.
std::string WithSlash(std::string path);

}  // namespace qv
