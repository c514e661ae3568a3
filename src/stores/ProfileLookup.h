#pragma once

// Looks a Quorvane ID up in the directory (GetUserProfile) for a dialog that wants to fill in
// what the directory knows. Only the latest lookup reports; a lookup that is gone with its
// owner never calls back.

#include <functional>
#include <string>

#include "directory/UserProfile.h"

namespace qv {

class DirectoryClient;

class ProfileLookup {
  public:
    // profile: the directory's record, or null when the ID is unknown or the request failed.
    using Result = std::function<void(const std::string& loginId, const UserProfile* profile)>;

    // client may be null: every lookup then reports null at once.
    ProfileLookup(DirectoryClient* client, Result result);
    ~ProfileLookup();
    ProfileLookup(const ProfileLookup&) = delete;
    ProfileLookup& operator=(const ProfileLookup&) = delete;

    // Starts a lookup, dropping any earlier one that has not answered yet. Nothing is sent for
    // the ID asked last (its answer is kept) or for an empty one.
    void Start(const std::string& loginId);
    bool Pending() const { return pending_; }
    // The latest answer, while it is for loginId.
    const UserProfile* Found(const std::string& loginId) const;

  private:
    void OnReply(const UserProfile* profile, int status);

    DirectoryClient* client_;
    Result result_;
    std::string asked_;
    bool pending_ = false;
    bool answered_ = false;
    bool found_ = false;
    UserProfile profile_;
};

}  // namespace qv
