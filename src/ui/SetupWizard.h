#pragma once

// The Tools menu's wizard items. The set-up wizard is a program of its own beside this one
// (SoundSetup in the program folder), started with 1 (sound set-up), 2 (microphone test) or 3
// (Internet test). The sound device is released first so that the wizard can open it.

#include <functional>
#include <string>

namespace qv {

class Screen;

namespace setup_wizard {
inline constexpr int kSoundSetup = 1;
inline constexpr int kMicTest = 2;
inline constexpr int kInternetTest = 3;
}  // namespace setup_wizard

// The wizard program in the program folder ("SoundSetup", or "SoundSetup.exe"); empty when there
// is none that can be run.
std::string FindSetupWizard(const std::string& programFolder);

// Releases the sound device, then starts the wizard with its argument; without a wizard, says so
// in a message box. True when the wizard was started.
bool RunSetupWizard(int argument, const std::string& programFolder,
                    const std::function<void()>& releaseSoundDevice, Screen& screen);

inline constexpr const char* kNoWizardText =
    "The Quorvane Setup Wizard is not part of this program. Use your desktop's sound settings "
    "to choose your speakers and microphone and to test them.";

}  // namespace qv
