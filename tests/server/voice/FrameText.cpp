#include "FrameText.h"

namespace qv::voicesvc::test {

namespace {

using voice::MessageType;

template <typename T>
bool Read(const voice::Frame& frame, T& m) {
    return voice::Decode(frame.fields, m);
}

std::string N(int value) {
    return std::to_string(value);
}

}  // namespace

std::string FrameText(const voice::Frame& frame) {
    const std::string bad = "undecodable " + N(static_cast<int>(frame.type));
    switch (frame.type) {
        case MessageType::kJoinedConference: {
            voice::JoinedConference m;
            return !Read(frame, m)
                       ? bad
                       : "Joined " + N(m.conference) + " " + N(m.joined) + " " + N(m.deleted);
        }
        case MessageType::kMemberJoined: {
            voice::MemberJoined m;
            return !Read(frame, m) ? bad
                                   : "MemberJoined " + N(m.conversation) + " " + m.nickname + " " +
                                         m.userId + " [" + m.letters + "] " + N(m.existing);
        }
        case MessageType::kMemberChanged: {
            voice::MemberChanged m;
            return !Read(frame, m) ? bad
                                   : "MemberChanged " + N(m.conversation) + " " + m.nickname + " " +
                                         m.userId + " [" + m.letters + "]";
        }
        case MessageType::kMemberLeft: {
            voice::MemberLeft m;
            return !Read(frame, m) ? bad
                                   : "MemberLeft " + N(m.conversation) + " " + m.nickname + " " +
                                         m.userId + " " + N(m.cause);
        }
        case MessageType::kInvitation:
        case MessageType::kInvitationCancel: {
            voice::InvitationNotice m;
            if (!Read(frame, m)) {
                return bad;
            }
            return std::string(frame.type == MessageType::kInvitation ? "Invitation "
                                                                      : "InvitationCancel ") +
                   N(m.conference) + " " + m.nickname + " " + m.userId + " " + N(m.number) + " " +
                   m.text;
        }
        case MessageType::kAcceptedConference: {
            voice::AcceptedConference m;
            return !Read(frame, m)
                       ? bad
                       : "Accepted " + N(m.conference) + " " + N(m.accepted) + " " + m.nickname +
                             " " + m.userId + " " + N(m.reason) + " " + m.text;
        }
        case MessageType::kServerMessage: {
            voice::ServerMessage m;
            return !Read(frame, m)
                       ? bad
                       : "ServerMessage " + N(m.type) + " " + N(m.number) + " " + m.text;
        }
        case MessageType::kWatch: {
            voice::Watch m;
            return !Read(frame, m) ? bad : "Watch " + m.userId + " " + N(m.status);
        }
        case MessageType::kClose: {
            voice::Close m;
            return !Read(frame, m) ? bad : "Close " + N(m.state) + " " + m.text;
        }
        case MessageType::kPong:
            return "Pong";
        case MessageType::kMediaStream: {
            voice::MediaStream m;
            return !Read(frame, m) ? bad : "MediaStream " + m.userId + " " + m.nickname;
        }
        case MessageType::kJoinedGroup: {
            voice::JoinedGroup m;
            return !Read(frame, m) ? bad : "JoinedGroup [" + m.path + "]";
        }
        case MessageType::kCanTalk: {
            voice::CanTalk m;
            return !Read(frame, m) ? bad : "CanTalk " + N(m.on);
        }
        case MessageType::kGroupList: {
            voice::GroupList m;
            return !Read(frame, m) ? bad : "GroupList " + N(m.last) + " " + m.piece;
        }
        case MessageType::kUserMessage: {
            voice::UserMessage m;
            return !Read(frame, m) ? bad
                                   : "UserMessage " + m.alias + " " + m.userId + " " + N(m.number) +
                                         " " + N(m.parameter) + " " + m.text;
        }
        default:
            return "type " + N(static_cast<int>(frame.type));
    }
}

std::string FrameText(const std::string& encoded) {
    voice::FrameReader reader;
    reader.Append(encoded.data(), encoded.size());
    voice::Frame frame;
    if (reader.Next(frame) != voice::FrameReader::Result::kFrame) {
        return "bad frame";
    }
    return FrameText(frame);
}

}  // namespace qv::voicesvc::test
