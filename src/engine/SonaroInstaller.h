#pragma once

// Keeps the registered engine component current: the installation's copy (Sonaro.ocx in the
// program folder) is the one that should run; the registered copy in the system folder is what
// does run. Every failure is reported once by a message box and leaves the registration alone.

#include <cstdint>
#include <functional>
#include <string>

namespace qv {

class IniFile;
class Registry;
class Screen;

class SonaroInstaller {
  public:
    SonaroInstaller(Registry& registry, Screen& screen, const IniFile& machineSettings,
                    std::string programFolder, std::string systemFolder);

    // Run before the component file is checked or replaced: the engine manager's DestroyControl.
    void SetDestroyControl(std::function<void()> destroyControl) {
        destroyControl_ = std::move(destroyControl);
    }

    // The registered component's file; false when it is not registered.
    bool GetRegisteredControlPath(std::string& path) const;
    // True when the registered copy has the shipped build and makes an instance.
    bool IsControlCurrent();
    // Copies the shipped file over the system folder's copy and registers it.
    bool InstallControl();

    std::string ShippedPath() const;
    std::string SystemCopyPath() const;

    // The build number as the checks compare it.
    static std::uint32_t BuildOf(const std::string& path);

  private:
    void DestroyControl();
    void Problem(const char* text, const char* caption);

    Registry& registry_;
    Screen& screen_;
    const IniFile& machineSettings_;
    std::string programFolder_;
    std::string systemFolder_;
    std::function<void()> destroyControl_;
};

}  // namespace qv
