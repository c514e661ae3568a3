// The forum half of the conversation registry: joining, roles, bans, microphones, disbanding
// and renaming, with the permission table the server enforces whatever a client's menu offers.

#include <algorithm>

#include "ConversationRegistry.h"
#include "IdLines.h"
#include "PresenceRegistry.h"

namespace qv::voicesvc {

namespace {

// ServerMessage numbers: 1 is the client's "Error joining forum" (it reads the path after the
// first " - "), 6 shows the text as it is.
constexpr std::int16_t kJoinRefused = 1;
constexpr std::int16_t kRefused = 6;

// User message numbers of the text chat.
constexpr std::int16_t kChatSpoken = 4;
constexpr std::int16_t kChatWhisper = 5;
constexpr std::int16_t kChatEmote = 6;

constexpr std::int32_t kKeptFlags = ConversationRegistry::kHidden |
                                    ConversationRegistry::kModerated |
                                    ConversationRegistry::kControlledMicrophones;

bool IsPathText(const std::string& path) {
    // TAB, CR and LF would break the forum list's lines; other control bytes have no place in
    // a name anybody types.
    return std::none_of(path.begin(), path.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// The category a path lies in: everything before its last slash (leading slashes ignored, as
// the client reads the list).
std::string CategoryOf(const std::string& path) {
    const std::size_t start = path.find_first_not_of('/');
    if (start == std::string::npos) {
        return "";
    }
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos || slash < start ? "" : path.substr(start, slash - start);
}

}  // namespace

void ConversationRegistry::SetForumPlan(const ForumPlan& plan) {
    categories_ = plan.categories;
    for (const PermanentForum& permanent : plan.forums) {
        if (permanent.path.empty() || permanent.path.size() > voice::kMaxForumPath ||
            !IsPathText(permanent.path) || ForumAt(permanent.path) != nullptr ||
            forums_.size() >= limits_.forums) {
            continue;
        }
        MakeForum(permanent.path, permanent.flags, permanent.password, true);
    }
}

bool ConversationRegistry::IsChatLine(const voice::SendUserMessage& message) {
    return (message.alias.empty() &&
            (message.number == kChatSpoken || message.number == kChatEmote)) ||
           (!message.alias.empty() && message.number == kChatWhisper);
}

void ConversationRegistry::SendChatLine(SessionId session, const voice::SendUserMessage& message,
                                        Deliveries& out) const {
    const auto sender = participants_.find(session);
    if (sender == participants_.end() || !IsChatLine(message)) {
        return;
    }
    // The nickname as the rosters show it, so that a whisper back by it finds the sender.
    const std::string* userId = &sender->second.userId;
    const std::string* nickname = &sender->second.nickname;
    // Who shares the sender's conversation: its forum, or the conference it is active in. Held
    // members are left out: their client's text chat shows the conversation they are active in.
    struct Other {
        SessionId session;
        const std::string* userId;
        const std::string* nickname;
    };
    std::vector<Other> others;
    const auto forum = forums_.find(ForumOf(session));
    if (forum != forums_.end()) {
        for (const ForumMember& member : forum->second.members) {
            others.push_back({member.session, &member.userId, &member.nickname});
        }
    } else if (const Conference* conference = ActiveOf(session)) {
        for (const Member& member : conference->members) {
            if (member.state == State::kActive) {
                others.push_back({member.session, &member.userId, &member.nickname});
            }
        }
    }
    const std::string frame = voice::Encode(
        voice::UserMessage{*nickname, *userId, message.number, message.parameter, message.text});
    bool found = false;
    for (const Other& other : others) {
        // The sender's own line is its engine's to echo.
        if (other.session == session) {
            continue;
        }
        if (message.number == kChatWhisper && *other.nickname != message.alias &&
            *other.userId != message.alias) {
            continue;
        }
        found = true;
        // Nothing from a blocked user, and the sender is not told (as for user messages).
        if (!presence_.Blocks(other.session, *userId)) {
            out.push_back({other.session, frame});
        }
    }
    if (message.number == kChatWhisper && !found) {
        out.push_back({session, voice::Encode(voice::ServerMessage{
                                    1, 2, "User is offline - " + message.alias})});
    }
}

ConversationRegistry::Forum* ConversationRegistry::ForumById(std::int32_t id) {
    const auto found = forums_.find(id);
    return found == forums_.end() ? nullptr : &found->second;
}

ConversationRegistry::Forum* ConversationRegistry::ForumAt(const std::string& path) {
    const auto found = forumPaths_.find(path);
    return found == forumPaths_.end() ? nullptr : ForumById(found->second);
}

ConversationRegistry::ForumMember* ConversationRegistry::ForumMemberOf(Forum& forum,
                                                                       SessionId session) {
    for (ForumMember& member : forum.members) {
        if (member.session == session) {
            return &member;
        }
    }
    return nullptr;
}

ConversationRegistry::ForumMember* ConversationRegistry::ForumMemberById(
    Forum& forum, const std::string& userId) {
    for (ForumMember& member : forum.members) {
        if (member.userId == userId) {
            return &member;
        }
    }
    return nullptr;
}

std::string ConversationRegistry::ForumLetters(const Forum& forum,
                                               const ForumMember& member) const {
    std::string letters;
    // Owners carry M too: "I am moderator" holds for them whichever way the client reads O.
    if (forum.owners.count(member.userId) != 0) {
        letters += "OM";
    } else if (forum.moderators.count(member.userId) != 0) {
        letters += "M";
    }
    if (member.microphone) {
        letters += "T";
    }
    return letters;
}

void ConversationRegistry::ListChanged(const Forum& forum) {
    if ((forum.flags & kHidden) == 0) {
        ++listVersion_;
    }
}

bool ConversationRegistry::CanSpeak(const Forum& forum, const ForumMember& member) {
    return (forum.flags & kControlledMicrophones) == 0 || member.microphone ||
           forum.owners.count(member.userId) != 0 || forum.moderators.count(member.userId) != 0;
}

std::string ConversationRegistry::PathFault(const std::string& path, std::int32_t flags) const {
    if (!IsPathText(path)) {
        return "Invalid characters in the forum name";
    }
    if (path.find_first_not_of('/') == std::string::npos) {
        return "The forum name is empty";
    }
    if ((flags & kHidden) == 0 && categories_.count(CategoryOf(path)) == 0) {
        return "No such category: forums are created inside a listed category";
    }
    return "";
}

ConversationRegistry::Forum& ConversationRegistry::MakeForum(const std::string& path,
                                                             std::int32_t flags,
                                                             const std::string& password,
                                                             bool permanent) {
    const std::int32_t id = NextId();
    Forum& forum = forums_[id];
    forum.id = id;
    forum.path = path;
    forum.password = password;
    forum.flags = flags & kKeptFlags;
    forum.permanent = permanent;
    forumPaths_[path] = id;
    ListChanged(forum);
    return forum;
}

std::int32_t ConversationRegistry::ForumOf(SessionId session) const {
    const auto found = forumOf_.find(session);
    return found == forumOf_.end() ? 0 : found->second;
}

std::string ConversationRegistry::ForumListText() const {
    std::string text;
    for (const auto& [path, id] : forumPaths_) {
        const Forum& forum = forums_.at(id);
        if ((forum.flags & kHidden) != 0) {
            continue;
        }
        text += path;
        text += '\t';
        text += std::to_string(forum.members.size());
        text += '\t';
        if (!forum.password.empty()) {
            text += 'P';
        }
        if ((forum.flags & kModerated) != 0) {
            text += 'M';
        }
        if ((forum.flags & kControlledMicrophones) != 0) {
            text += 'T';
        }
        text += '\n';
    }
    return text;
}

void ConversationRegistry::ToForum(const Forum& forum, const std::string& frame, SessionId except,
                                   Deliveries& out) const {
    for (const ForumMember& member : forum.members) {
        if (member.session != except) {
            out.push_back({member.session, frame});
        }
    }
}

void ConversationRegistry::ForumRowChanged(const Forum& forum, const ForumMember& member,
                                           Deliveries& out) const {
    ToForum(forum,
            voice::Encode(voice::MemberChanged{forum.id, member.nickname, member.userId,
                                               ForumLetters(forum, member)}),
            0, out);
}

void ConversationRegistry::EnterForum(Forum& forum, SessionId session, const std::string& asked,
                                      Deliveries& out) {
    const Participant& participant = participants_.at(session);
    ForumMember joiner;
    joiner.session = session;
    joiner.userId = participant.userId;
    joiner.nickname = participant.nickname;
    forum.members.push_back(joiner);
    forumOf_[session] = forum.id;
    ListChanged(forum);
    out.push_back({session, voice::Encode(voice::JoinedGroup{asked})});
    for (const ForumMember& member : forum.members) {
        const bool self = member.session == session;
        out.push_back(
            {session, voice::Encode(voice::MemberJoined{forum.id, member.nickname, member.userId,
                                                        ForumLetters(forum, member),
                                                        static_cast<std::uint8_t>(!self)})});
    }
    ToForum(forum,
            voice::Encode(voice::MemberJoined{forum.id, joiner.nickname, joiner.userId,
                                              ForumLetters(forum, forum.members.back()), 0}),
            session, out);
    out.push_back({session, voice::Encode(voice::CanTalk{static_cast<std::uint8_t>(
                                CanSpeak(forum, forum.members.back()) ? 1 : 0)})});
}

void ConversationRegistry::LeaveForum(std::int32_t id, SessionId session, bool told,
                                      voice::LeaveCause cause, Deliveries& out) {
    Forum* forum = ForumById(id);
    if (forum == nullptr) {
        return;
    }
    const auto found =
        std::find_if(forum->members.begin(), forum->members.end(),
                     [session](const ForumMember& member) { return member.session == session; });
    if (found == forum->members.end()) {
        return;
    }
    const ForumMember leaver = *found;
    forum->members.erase(found);
    forumOf_.erase(session);
    ListChanged(*forum);
    if (told) {
        out.push_back({session, voice::Encode(voice::JoinedGroup{""})});
    }
    ToForum(*forum,
            voice::Encode(voice::MemberLeft{id, leaver.nickname, leaver.userId,
                                            static_cast<std::uint8_t>(cause)}),
            0, out);
    if (forum->members.empty() && !forum->permanent) {
        forumPaths_.erase(forum->path);
        forums_.erase(id);
    }
}

void ConversationRegistry::JoinGroup(SessionId session, const voice::JoinGroup& request,
                                     Deliveries& out) {
    if (participants_.count(session) == 0) {
        return;
    }
    const std::int32_t current = ForumOf(session);
    if (request.path.empty()) {
        LeaveForum(current, session, true, voice::LeaveCause::kLeft, out);
        if (current == 0) {
            out.push_back({session, voice::Encode(voice::JoinedGroup{""})});
        }
        return;
    }
    const auto refuse = [&](const std::string& reason) {
        out.push_back({session, voice::Encode(voice::ServerMessage{
                                    1, kJoinRefused, reason + " - " + request.path})});
    };
    const std::string& userId = participants_.at(session).userId;
    Forum* forum = ForumAt(request.path);
    if (forum != nullptr && forum->id == current) {
        out.push_back({session, voice::Encode(voice::JoinedGroup{request.path})});
        return;
    }
    if (forum == nullptr) {
        if ((request.flags & kJoinOnly) != 0) {
            refuse("The forum does not exist");
            return;
        }
        const std::string fault = PathFault(request.path, request.flags);
        if (!fault.empty()) {
            refuse(fault);
            return;
        }
        if (forums_.size() >= limits_.forums) {
            refuse("The server holds too many forums");
            return;
        }
    } else {
        if (forum->bans.count(userId) != 0) {
            refuse("You were banned from the forum");
            return;
        }
        // Also with the create flags: a join never changes an existing forum.
        if (forum->password != request.password) {
            refuse("Wrong password");
            return;
        }
        if (forum->members.size() >= limits_.forumSize) {
            refuse("The forum has too many users");
            return;
        }
    }
    LeaveForum(current, session, false, voice::LeaveCause::kLeft, out);
    if (forum == nullptr) {
        forum = &MakeForum(request.path, request.flags, request.password, false);
        // The creator owns what it makes.
        forum->owners.insert(userId);
    }
    EnterForum(*forum, session, request.path, out);
}

ConversationRegistry::Forum* ConversationRegistry::CallerForum(SessionId session, bool& moderator,
                                                               bool& owner) {
    Forum* forum = ForumById(ForumOf(session));
    const auto participant = participants_.find(session);
    if (forum == nullptr || participant == participants_.end()) {
        return nullptr;
    }
    owner = forum->owners.count(participant->second.userId) != 0;
    moderator = owner || forum->moderators.count(participant->second.userId) != 0;
    return forum;
}

void ConversationRegistry::BanMember(SessionId session, const voice::MemberOperation& request,
                                     Deliveries& out) {
    bool moderator = false;
    bool owner = false;
    Forum* forum = CallerForum(session, moderator, owner);
    if (forum == nullptr || !moderator) {
        Refuse(session, kRefused, "Only moderators and owners may ban", out);
        return;
    }
    const std::int32_t id = forum->id;
    for (const std::string& target : IdLines(request.ids)) {
        if (request.op == 2) {
            forum->bans.erase(target);
            continue;
        }
        if (forum->owners.count(target) != 0 || forum->moderators.count(target) != 0) {
            Refuse(session, kRefused, "Moderators and owners cannot be banned - " + target, out);
            continue;
        }
        if (forum->bans.size() >= limits_.forumBans) {
            Refuse(session, kRefused, "The forum holds too many bans - " + target, out);
            continue;
        }
        forum->bans.insert(target);
        const ForumMember* present = ForumMemberById(*forum, target);
        if (present != nullptr) {
            LeaveForum(id, present->session, true, voice::LeaveCause::kLeft, out);
            forum = ForumById(id);
            if (forum == nullptr) {
                return;
            }
        }
    }
}

void ConversationRegistry::SetMemberMicrophone(SessionId session,
                                               const voice::MemberOperation& request,
                                               Deliveries& out) {
    bool moderator = false;
    bool owner = false;
    Forum* forum = CallerForum(session, moderator, owner);
    if (forum == nullptr || !moderator) {
        Refuse(session, kRefused, "Only moderators and owners hand out microphones", out);
        return;
    }
    for (const std::string& target : IdLines(request.ids)) {
        ForumMember* member = ForumMemberById(*forum, target);
        if (member == nullptr) {
            continue;
        }
        if (forum->owners.count(target) != 0 || forum->moderators.count(target) != 0) {
            Refuse(session, kRefused, "Moderators and owners need no microphone - " + target, out);
            continue;
        }
        const bool hand = request.op == 1;
        if (member->microphone == hand) {
            continue;
        }
        member->microphone = hand;
        ForumRowChanged(*forum, *member, out);
        out.push_back({member->session, voice::Encode(voice::CanTalk{static_cast<std::uint8_t>(
                                            CanSpeak(*forum, *member) ? 1 : 0)})});
    }
}

void ConversationRegistry::SetMemberRole(SessionId session, const voice::SetMemberRole& request,
                                         Deliveries& out) {
    bool moderator = false;
    bool owner = false;
    Forum* forum = CallerForum(session, moderator, owner);
    if (forum == nullptr || !owner) {
        Refuse(session, kRefused, "Only owners may change roles", out);
        return;
    }
    for (const std::string& target : IdLines(request.ids)) {
        const bool isOwner = forum->owners.count(target) != 0;
        const bool isModerator = forum->moderators.count(target) != 0;
        std::set<std::string>* set = nullptr;
        bool add = false;
        if (request.owner == 0 && request.op == 1 && !isOwner && !isModerator) {
            set = &forum->moderators;
            add = true;
        } else if (request.owner == 1 && request.op == 1 && !isOwner) {
            set = &forum->owners;
            add = true;
        } else if (request.owner == 0 && request.op == 2 && isModerator && !isOwner) {
            set = &forum->moderators;
        }
        if (set == nullptr) {
            Refuse(session, kRefused, "That role change is not allowed - " + target, out);
            continue;
        }
        if (add && set->size() >= limits_.forumRoles) {
            Refuse(session, kRefused, "The forum holds too many roles - " + target, out);
            continue;
        }
        if (add) {
            set->insert(target);
        } else {
            set->erase(target);
        }
        ForumMember* member = ForumMemberById(*forum, target);
        if (member == nullptr) {
            continue;
        }
        ForumRowChanged(*forum, *member, out);
        if ((forum->flags & kControlledMicrophones) != 0) {
            out.push_back({member->session, voice::Encode(voice::CanTalk{static_cast<std::uint8_t>(
                                                CanSpeak(*forum, *member) ? 1 : 0)})});
        }
    }
}

void ConversationRegistry::DisbandGroup(SessionId session, Deliveries& out) {
    bool moderator = false;
    bool owner = false;
    Forum* forum = CallerForum(session, moderator, owner);
    if (forum == nullptr || !owner) {
        Refuse(session, kRefused, "Only owners may disband a forum", out);
        return;
    }
    const std::int32_t id = forum->id;
    std::vector<SessionId> members;
    for (const ForumMember& member : forum->members) {
        members.push_back(member.session);
    }
    // Nobody stays, so nobody is told of the others leaving.
    for (const SessionId member : members) {
        forumOf_.erase(member);
        out.push_back({member, voice::Encode(voice::JoinedGroup{""})});
    }
    ListChanged(*forum);
    forumPaths_.erase(forum->path);
    forums_.erase(id);
}

void ConversationRegistry::RenameGroup(SessionId session, const voice::RenameGroup& request,
                                       Deliveries& out) {
    bool moderator = false;
    bool owner = false;
    Forum* forum = CallerForum(session, moderator, owner);
    if (forum == nullptr || !owner) {
        Refuse(session, kRefused, "Only owners may rename a forum", out);
        return;
    }
    const std::string fault = PathFault(request.path, forum->flags);
    if (!fault.empty()) {
        Refuse(session, kRefused, fault + " - " + request.path, out);
        return;
    }
    if (ForumAt(request.path) != nullptr) {
        Refuse(session, kRefused, "A forum of that name exists - " + request.path, out);
        return;
    }
    forumPaths_.erase(forum->path);
    forum->path = request.path;
    forumPaths_[forum->path] = forum->id;
    ListChanged(*forum);
    ToForum(*forum, voice::Encode(voice::JoinedGroup{forum->path}), 0, out);
}

}  // namespace qv::voicesvc
