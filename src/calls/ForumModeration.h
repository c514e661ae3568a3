#pragma once

// What each moderation command of the participant menu asks of the engine, in order, and what it
// tells the user. The menu and its dialogs only collect the choice and the texts; this does the
// rest on the forum record in the active slot.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qv {

class CSonaroManager;
class SystemNotices;
struct CallParticipant;
struct CallRecord;

class ForumModeration {
  public:
    // wallClock: seconds since 1970 for the notices.
    ForumModeration(CSonaroManager& engine, SystemNotices& notices,
                    std::function<std::uint32_t()> wallClock);

    // User-message numbers sent here.
    static constexpr std::int16_t kKicked = 14;
    static constexpr std::int16_t kBanned = 15;
    static constexpr std::int16_t kDisbanded = 18;

    // The local user's participant flags in that forum (0 when not listed).
    std::uint32_t MyFlags(const CallRecord& forum) const;

    // SetMemberRole(id, 0, 1) and the target marked moderator at once.
    void MakeModerator(CallRecord& forum, const std::string& targetId);
    // SetMemberRole(id, 1, 1) unless the target is owner.
    void MakeOwner(CallRecord& forum, const std::string& targetId);
    // SetMemberRole(id, 0, 2); in a forum with controlled microphones also
    // SetMemberMicrophone(id, 2).
    void RevokeModerator(CallRecord& forum, const std::string& targetId);
    // SendUserMessage(id, nickname, 14, 1, path TAB reason); the microphone taken when the
    // target holds one and I am moderator or owner; BanMember(id, 1) then BanMember(id, 2).
    void Kick(CallRecord& forum, const std::string& targetId, const std::string& reason);
    // The same with 15 and only BanMember(id, 1).
    void Ban(CallRecord& forum, const std::string& targetId, const std::string& reason);
    // BanMember(text, 2) and the system message "User %s has been unbanned from this forum.".
    // False (nothing sent) for an empty text or one with a line break.
    bool Unban(const std::string& userIdText);
    // SetMemberMicrophone(id, 1) for a target without the microphone, (id, 2) for one holding
    // it; the flag follows at once.
    void GiveMicrophone(CallRecord& forum, const std::string& targetId);
    void TakeMicrophone(CallRecord& forum, const std::string& targetId);
    // Each selected participant without / with a microphone, in the given order.
    void GiveMicrophoneToSelection(CallRecord& forum, const std::vector<std::string>& ids);
    void TakeMicrophoneFromSelection(CallRecord& forum, const std::vector<std::string>& ids);
    // After the user's Yes: DisbandGroup(), then SendUserMessage(id, nickname, 18, 1, path TAB)
    // to every participant that is not an owner (oneself left out). False when forum is not a
    // forum.
    bool Disband(const CallRecord& forum);
    // Toggles the muted flag and MuteMember(id, new state); the new state.
    bool ToggleMute(CallRecord& forum, const std::string& targetId);
    // RenameGroup(newName); false for an empty name.
    bool Rename(const std::string& newName);

  private:
    CSonaroManager& engine_;
    SystemNotices& notices_;
    std::function<std::uint32_t()> wallClock_;

    void SendNotice(const CallParticipant& target, std::int16_t number, const std::string& text);
};

// The participant with that user ID, or null.
CallParticipant* FindParticipant(CallRecord& forum, const std::string& userId);
const CallParticipant* FindParticipant(const CallRecord& forum, const std::string& userId);

}  // namespace qv
