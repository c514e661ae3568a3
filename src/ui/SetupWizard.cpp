#include "ui/SetupWizard.h"

#include <unistd.h>

#include "platform/Screen.h"

namespace qv {

std::string FindSetupWizard(const std::string& programFolder) {
    for (const char* name : {"SoundSetup", "SoundSetup.exe"}) {
        const std::string path = programFolder + name;
        if (::access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return {};
}

bool RunSetupWizard(int argument, const std::string& programFolder,
                    const std::function<void()>& releaseSoundDevice, Screen& screen) {
    if (releaseSoundDevice) {
        releaseSoundDevice();
    }
    const std::string wizard = FindSetupWizard(programFolder);
    if (!wizard.empty() && screen.StartProgram(wizard, {std::to_string(argument)})) {
        return true;
    }
    screen.MessageBox(wizard.empty()
                          ? kNoWizardText
                          : "The Quorvane Setup Wizard (" + wizard + ") could not be started.",
                      "Quorvane", mb::kOk | mb::kIconInformation);
    return false;
}

}  // namespace qv
