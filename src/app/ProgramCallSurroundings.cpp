#include "app/ProgramCallSurroundings.h"

#include "app/AppShell.h"
#include "settings/Options.h"
#include "stores/BlockStore.h"
#include "stores/ContactStore.h"

namespace qv {

bool ProgramCallSurroundings::IsBlocked(const std::string& userId) const {
    return blocks_ != nullptr && blocks_->IsBlocked(userId);
}

void ProgramCallSurroundings::OfferCaller(const std::string& userId, const std::string& nickname) {
    if (contacts_ != nullptr) {
        contacts_->AddUnknownSender(userId, nickname, options_.AutoAddToContactList() != 0);
    }
}

bool ProgramCallSurroundings::MainWindowInFront() const {
    return shell_.MainWindowInFront();
}

void ProgramCallSurroundings::BringMainWindowForward() {
    shell_.ActivateMainWindow();
}

std::vector<std::string> ProgramCallSurroundings::BlockedIds() const {
    std::vector<std::string> ids;
    if (blocks_ != nullptr) {
        for (const auto& record : blocks_->Records()) {
            if (!record.LoginId.empty()) {
                ids.push_back(record.LoginId);
            }
        }
    }
    return ids;
}

}  // namespace qv
