#include "calls/UserListText.h"

#include <unordered_set>

namespace qv {

std::uint32_t FlagsFromLetters(const std::string& letters, bool moderationEnabled) {
    using namespace participant_flag;
    std::uint32_t flags = kPresent;
    for (const char c : letters) {
        switch (c) {
            case 'M':
                flags |= kModerator;
                break;
            case 'O':
                flags |= moderationEnabled ? kOwner : kModerator;
                break;
            case 'H':
                flags = (flags & ~(kPresent | kTalking | kMuted)) | kOnHold;
                break;
            case 'I':
                flags |= kInvited;
                break;
            case 'X':
                flags = (flags & ~(kPresent | kTalking | kOnHold)) | kMuted;
                break;
            case 'T':
                flags |= kMicrophone;
                break;
            default:
                break;
        }
    }
    return flags;
}

ParticipantStatus StatusOf(std::uint32_t flags) {
    using namespace participant_flag;
    // A call that still rings says so before anything else it may be.
    if ((flags & kInvited) != 0) {
        return ParticipantStatus::kInvited;
    }
    if ((flags & kOnHold) != 0) {
        return ParticipantStatus::kOnHold;
    }
    if ((flags & kMuted) != 0) {
        return ParticipantStatus::kMuted;
    }
    if ((flags & kTalking) != 0) {
        return ParticipantStatus::kTalking;
    }
    return ParticipantStatus::kPresent;
}

std::vector<UserListRow> ParseUserList(const std::string& text, bool moderationEnabled) {
    std::vector<UserListRow> rows;
    std::unordered_set<std::string> seen;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t tab1 = line.find('\t');
        if (tab1 == std::string::npos) {
            continue;
        }
        const std::size_t tab2 = line.find('\t', tab1 + 1);
        UserListRow row;
        row.nickname = line.substr(0, tab1);
        row.userId =
            line.substr(tab1 + 1, tab2 == std::string::npos ? std::string::npos : tab2 - tab1 - 1);
        if (row.userId.empty() || !seen.insert(row.userId).second) {
            continue;
        }
        row.flags = FlagsFromLetters(
            tab2 == std::string::npos ? std::string() : line.substr(tab2 + 1), moderationEnabled);
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace qv
