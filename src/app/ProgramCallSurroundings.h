#pragma once

// The call manager's view of the program around it: the block list, the contact list, the main
// window and (once it exists) the web tour.

#include <string>
#include <vector>

#include "calls/CallSurroundings.h"

namespace qv {

class AppShell;
class BlockStore;
class ContactStore;
class Options;

class ProgramCallSurroundings final : public CallSurroundings {
  public:
    // blocks and contacts may be null.
    ProgramCallSurroundings(AppShell& shell, const Options& options, BlockStore* blocks,
                            ContactStore* contacts)
        : shell_(shell), options_(options), blocks_(blocks), contacts_(contacts) {}

    bool IsBlocked(const std::string& userId) const override;
    void OfferCaller(const std::string& userId, const std::string& nickname) override;
    bool MainWindowInFront() const override;
    void BringMainWindowForward() override;
    void WebTourVoiceLinkOff() override {}
    std::vector<std::string> BlockedIds() const override;

  private:
    AppShell& shell_;
    const Options& options_;
    BlockStore* blocks_;
    ContactStore* contacts_;
};

}  // namespace qv
