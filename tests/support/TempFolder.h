#pragma once

#include <string>

namespace qv::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
// Path() ends in '/'.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + name; }
    // Writes bytes to a file in the folder (parents created) and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;
    // The file's bytes, or empty when it cannot be read.
    std::string Read(const std::string& name) const;

  private:
    std::string path_;
};

}  // namespace qv::test
