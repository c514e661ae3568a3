#include "engine/SonaroInstaller.h"

#include <memory>
#include <optional>

#include "engine/SonaroComponent.h"
#include "engine/SonaroEventQueue.h"
#include "engine/SonaroLibrary.h"
#include "engine/SonaroRegistration.h"
#include "platform/FileIo.h"
#include "platform/FileVersion.h"
#include "platform/Registry.h"
#include "platform/Screen.h"
#include "platform/Trace.h"
#include "settings/IniFile.h"

namespace qv {

namespace {

constexpr const char* kDisabledText =
    "The Sonaro Control could not be updated because you have set\nthe DisablePatcher entry to 1 "
    "in the Dravonel.ini file";
constexpr const char* kDisabledCaption = "Problem Installing Sonaro Control...";
constexpr const char* kProblemCaption = "Problem Installing Sonaro Control!";
constexpr const char* kCopyFailed = "Problem copying Sonaro.ocx to System directory";
constexpr const char* kLoadFailed = "Problem Loading Sonaro.ocx";
constexpr const char* kRegisterFailed = "Problem Registering Sonaro.ocx";

// Replaces the target by a new file rather than rewriting it in place, so a copy that is still
// mapped somewhere keeps its old contents.
bool CopyReplacing(const std::string& from, const std::string& to, const std::string& folder) {
    std::optional<std::string> bytes = ReadWholeFile(from);
    if (!bytes || !MakeFolders(folder)) {
        return false;
    }
    return WriteFileAtomically(to, *bytes);
}

}  // namespace

SonaroInstaller::SonaroInstaller(Registry& registry, Screen& screen, const IniFile& machineSettings,
                                 std::string programFolder, std::string systemFolder)
    : registry_(registry),
      screen_(screen),
      machineSettings_(machineSettings),
      programFolder_(std::move(programFolder)),
      systemFolder_(std::move(systemFolder)) {}

std::string SonaroInstaller::ShippedPath() const {
    return programFolder_ + kSonaroFileName;
}

std::string SonaroInstaller::SystemCopyPath() const {
    return systemFolder_ + kSonaroFileName;
}

std::uint32_t SonaroInstaller::BuildOf(const std::string& path) {
    return ReadFileBuild(path) & 0xFFFF;
}

void SonaroInstaller::DestroyControl() {
    if (destroyControl_) {
        destroyControl_();
    }
}

void SonaroInstaller::Problem(const char* text, const char* caption) {
    Trace("SonaroInstaller", "InstallControl", text);
    screen_.MessageBox(text, caption, mb::kOk);
}

bool SonaroInstaller::GetRegisteredControlPath(std::string& path) const {
    return qv::GetRegisteredControlPath(registry_, path);
}

bool SonaroInstaller::IsControlCurrent() {
    Trace("SonaroInstaller", "IsControlCurrent");
    DestroyControl();
    std::string registered;
    const std::uint32_t registeredBuild =
        GetRegisteredControlPath(registered) ? BuildOf(registered) : 0;
    if (registeredBuild != BuildOf(ShippedPath())) {
        return false;
    }
    // It must also make an instance; whatever that instance raises goes nowhere.
    SonaroEventQueue nowhere;
    std::unique_ptr<SonaroInstance> probe = CreateRegisteredSonaro(registry_, nowhere);
    return probe != nullptr;
}

bool SonaroInstaller::InstallControl() {
    Trace("SonaroInstaller", "InstallControl");
    if (machineSettings_.GetInt("Internal", "DisablePatcher", 0) != 0) {
        screen_.MessageBox(kDisabledText, kDisabledCaption, mb::kOk);
        return false;
    }
    DestroyControl();
    if (!CopyReplacing(ShippedPath(), SystemCopyPath(), systemFolder_)) {
        Problem(kCopyFailed, kProblemCaption);
        return false;
    }
    // The component system needs no start-up here, so "OleInitialize Failed" cannot happen.
    std::shared_ptr<SonaroLibrary> library = SonaroLibrary::Load(SystemCopyPath());
    if (!library) {
        Problem(kLoadFailed, kProblemCaption);
        return false;
    }
    RegistryForComponents writer(registry_);
    if (!library->RegisterServer(writer)) {
        Problem(kRegisterFailed, kProblemCaption);
        return false;
    }
    return true;
}

}  // namespace qv
