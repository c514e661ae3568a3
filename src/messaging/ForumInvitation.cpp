#include "messaging/ForumInvitation.h"

namespace qv {

std::string FormatForumInvitation(const ForumInvitation& invitation) {
    std::string text = invitation.forum + '\t' + invitation.password + '\t';
    if (invitation.hidden) {
        text += 'H';
    }
    if (invitation.moderated) {
        text += 'M';
    }
    if (invitation.controlledMicrophones) {
        text += 'T';
    }
    return text;
}

std::optional<ForumInvitation> ParseForumInvitation(const std::string& text) {
    ForumInvitation invitation;
    const std::size_t first = text.find('\t');
    invitation.forum = text.substr(0, first);
    if (invitation.forum.empty()) {
        return std::nullopt;
    }
    if (first != std::string::npos) {
        const std::size_t second = text.find('\t', first + 1);
        invitation.password = text.substr(
            first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
        if (second != std::string::npos) {
            const std::string letters = text.substr(second + 1);
            invitation.hidden = letters.find('H') != std::string::npos;
            invitation.moderated = letters.find('M') != std::string::npos;
            invitation.controlledMicrophones = letters.find('T') != std::string::npos;
        }
    }
    return invitation;
}

}  // namespace qv
