#include "VoiceProtocol.h"

#include <cstring>

namespace qv::voice {

namespace {

class Writer {
  public:
    explicit Writer(MessageType type) {
        out_.resize(kFrameHeaderSize);
        U16(static_cast<std::uint16_t>(type));
    }
    Writer& U8(std::uint8_t v) {
        out_.push_back(static_cast<char>(v));
        return *this;
    }
    Writer& U16(std::uint16_t v) { return Put(v, 2); }
    Writer& I16(std::int16_t v) { return Put(static_cast<std::uint16_t>(v), 2); }
    Writer& U32(std::uint32_t v) { return Put(v, 4); }
    Writer& I32(std::int32_t v) { return Put(static_cast<std::uint32_t>(v), 4); }
    Writer& U64(std::uint64_t v) { return Put(v, 8); }
    // Callers keep texts within their limits; anything past 65535 bytes is cut.
    Writer& Text(std::string_view s) {
        const std::size_t n = s.size() > 0xFFFF ? 0xFFFF : s.size();
        U16(static_cast<std::uint16_t>(n));
        out_.append(s.data(), n);
        return *this;
    }
    std::string Done() {
        const std::uint64_t body = out_.size() - kFrameHeaderSize;
        for (int i = 0; i < 4; ++i) {
            out_[i] = static_cast<char>((body >> (8 * (3 - i))) & 0xFF);
        }
        return std::move(out_);
    }

  private:
    Writer& Put(std::uint64_t v, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) {
            out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        }
        return *this;
    }
    std::string out_;
};

class Reader {
  public:
    explicit Reader(std::string_view in) : in_(in) {}
    Reader& U8(std::uint8_t& v) {
        std::uint64_t x = 0;
        Get(x, 1);
        v = static_cast<std::uint8_t>(x);
        return *this;
    }
    Reader& U16(std::uint16_t& v) {
        std::uint64_t x = 0;
        Get(x, 2);
        v = static_cast<std::uint16_t>(x);
        return *this;
    }
    Reader& I16(std::int16_t& v) {
        std::uint16_t x = 0;
        U16(x);
        v = static_cast<std::int16_t>(x);
        return *this;
    }
    Reader& U32(std::uint32_t& v) {
        std::uint64_t x = 0;
        Get(x, 4);
        v = static_cast<std::uint32_t>(x);
        return *this;
    }
    Reader& I32(std::int32_t& v) {
        std::uint32_t x = 0;
        U32(x);
        v = static_cast<std::int32_t>(x);
        return *this;
    }
    Reader& U64(std::uint64_t& v) {
        Get(v, 8);
        return *this;
    }
    // A text of at most limit bytes, without NUL bytes.
    Reader& Text(std::string& s, std::size_t limit) {
        Bytes(s, limit);
        if (ok_ && s.find('\0') != std::string::npos) {
            ok_ = false;
        }
        return *this;
    }
    // Length-prefixed like a text, but any byte (keys, sealed datagrams).
    Reader& Bytes(std::string& s, std::size_t limit) {
        std::uint16_t n = 0;
        U16(n);
        if (!ok_ || n > limit || in_.size() - pos_ < n) {
            ok_ = false;
            return *this;
        }
        s.assign(in_.data() + pos_, n);
        pos_ += n;
        return *this;
    }
    // Every byte used and nothing wrong.
    bool Done() const { return ok_ && pos_ == in_.size(); }

  private:
    void Get(std::uint64_t& v, int bytes) {
        v = 0;
        if (!ok_ || in_.size() - pos_ < static_cast<std::size_t>(bytes)) {
            ok_ = false;
            return;
        }
        for (int i = 0; i < bytes; ++i) {
            v = (v << 8) | static_cast<unsigned char>(in_[pos_++]);
        }
    }
    std::string_view in_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

std::string EncodeList(MessageType type, const ListUpdate& m) {
    return Writer(type).U8(m.op).Text(m.list).Done();
}

std::string EncodePingLike(MessageType type, const Ping& m) {
    return Writer(type).U32(m.sequence).U64(m.sentMicros).Done();
}

std::string EncodeRequest(MessageType type, const ConferenceRequest& m) {
    return Writer(type).I32(m.conference).I16(m.reason).Text(m.text).Done();
}

std::string EncodeNotice(MessageType type, const InvitationNotice& m) {
    return Writer(type)
        .I32(m.conference)
        .Text(m.nickname)
        .Text(m.userId)
        .I16(m.number)
        .Text(m.text)
        .Done();
}

// A roster row's nickname and letters become fields of the engine's tab-separated user list.
bool IsRowText(std::string_view text) {
    return text.find_first_of("\t\r\n") == std::string_view::npos;
}

bool IsFlag(std::uint8_t v) {
    return v <= 1;
}

std::string EncodeMediaFrame(MessageType type, const MediaFrame& m) {
    return Writer(type).Text(m.datagram).Done();
}

}  // namespace

std::string Encode(const Hello& m) {
    return Writer(MessageType::kHello).U16(m.protocol).U32(m.controlBuild).Done();
}
std::string Encode(const Register& m) {
    return Writer(MessageType::kRegister)
        .Text(m.userId)
        .Text(m.nickname)
        .Text(m.connectionId)
        .Done();
}
std::string Encode(const RegisterTicket& m) {
    return Writer(MessageType::kRegisterTicket)
        .Text(m.userId)
        .Text(m.nickname)
        .Text(m.ticket)
        .Done();
}
std::string Encode(const SetStatus& m) {
    return Writer(MessageType::kSetStatus).I16(m.mode).Done();
}
std::string EncodeWatchList(const ListUpdate& m) {
    return EncodeList(MessageType::kSetWatchList, m);
}
std::string EncodeBlockList(const ListUpdate& m) {
    return EncodeList(MessageType::kSetBlockList, m);
}
std::string EncodeWatchListPart(const ListPart& m) {
    return Writer(MessageType::kWatchListPart).Text(m.list).Done();
}
std::string EncodeBlockListPart(const ListPart& m) {
    return Writer(MessageType::kBlockListPart).Text(m.list).Done();
}
std::string Encode(const SendUserMessage& m) {
    return Writer(MessageType::kSendUserMessage)
        .Text(m.alias)
        .I16(m.number)
        .I16(m.parameter)
        .Text(m.text)
        .Done();
}
std::string EncodePing(const Ping& m) {
    return EncodePingLike(MessageType::kPing, m);
}
std::string EncodePong(const Ping& m) {
    return EncodePingLike(MessageType::kPong, m);
}
std::string Encode(const Bye&) {
    return Writer(MessageType::kBye).Done();
}
std::string Encode(const Welcome& m) {
    return Writer(MessageType::kWelcome)
        .U16(m.protocol)
        .U32(m.requiredControlBuild)
        .I32(m.requiredVersions)
        .Text(m.serverName)
        .Done();
}
std::string Encode(const Close& m) {
    return Writer(MessageType::kClose).I16(m.state).Text(m.text).Done();
}
std::string Encode(const Registered& m) {
    return Writer(MessageType::kRegistered).Text(m.userId).Text(m.nickname).Done();
}
std::string Encode(const ServerMessage& m) {
    return Writer(MessageType::kServerMessage).I16(m.type).I16(m.number).Text(m.text).Done();
}
std::string Encode(const Watch& m) {
    return Writer(MessageType::kWatch).Text(m.userId).I16(m.status).Done();
}
std::string Encode(const UserMessage& m) {
    return Writer(MessageType::kUserMessage)
        .Text(m.alias)
        .Text(m.userId)
        .I16(m.number)
        .I16(m.parameter)
        .Text(m.text)
        .Done();
}

std::string Encode(const InviteUser& m) {
    return Writer(MessageType::kInviteUser).Text(m.alias).I16(m.kind).Text(m.text).Done();
}
std::string Encode(const AcceptConference& m) {
    return Writer(MessageType::kAcceptConference).I32(m.conference).Done();
}
std::string EncodeDecline(const ConferenceRequest& m) {
    return EncodeRequest(MessageType::kDeclineConference, m);
}
std::string EncodeLeave(const ConferenceRequest& m) {
    return EncodeRequest(MessageType::kLeaveConference, m);
}
std::string EncodeHold(const ConferenceRequest& m) {
    return EncodeRequest(MessageType::kHoldConference, m);
}
std::string Encode(const CancelInvitations& m) {
    return Writer(MessageType::kCancelInvitations).Text(m.ids).I16(m.reason).Text(m.text).Done();
}
std::string Encode(const JoinedConference& m) {
    return Writer(MessageType::kJoinedConference)
        .I32(m.conference)
        .U8(m.joined)
        .U8(m.deleted)
        .Done();
}
std::string EncodeInvitation(const InvitationNotice& m) {
    return EncodeNotice(MessageType::kInvitation, m);
}
std::string EncodeInvitationCancel(const InvitationNotice& m) {
    return EncodeNotice(MessageType::kInvitationCancel, m);
}
std::string Encode(const AcceptedConference& m) {
    return Writer(MessageType::kAcceptedConference)
        .I32(m.conference)
        .U8(m.accepted)
        .Text(m.nickname)
        .Text(m.userId)
        .I16(m.reason)
        .Text(m.text)
        .Done();
}
std::string Encode(const MemberJoined& m) {
    return Writer(MessageType::kMemberJoined)
        .I32(m.conversation)
        .Text(m.nickname)
        .Text(m.userId)
        .Text(m.letters)
        .U8(m.existing)
        .Done();
}
std::string Encode(const MemberChanged& m) {
    return Writer(MessageType::kMemberChanged)
        .I32(m.conversation)
        .Text(m.nickname)
        .Text(m.userId)
        .Text(m.letters)
        .Done();
}
std::string Encode(const MemberLeft& m) {
    return Writer(MessageType::kMemberLeft)
        .I32(m.conversation)
        .Text(m.nickname)
        .Text(m.userId)
        .U8(m.cause)
        .Done();
}

std::string Encode(const MediaOffer& m) {
    return Writer(MessageType::kMediaOffer)
        .U16(m.udpPort)
        .U32(m.streamId)
        .Text(m.key)
        .Text(m.token)
        .Done();
}
std::string Encode(const MediaStream& m) {
    return Writer(MessageType::kMediaStream).U32(m.streamId).Text(m.userId).Text(m.nickname).Done();
}
std::string Encode(const MediaMode& m) {
    return Writer(MessageType::kMediaMode).U8(m.transport).U8(m.slowLink).Done();
}
std::string EncodeMediaFrameUp(const MediaFrame& m) {
    return EncodeMediaFrame(MessageType::kMediaFrameUp, m);
}
std::string EncodeMediaFrameDown(const MediaFrame& m) {
    return EncodeMediaFrame(MessageType::kMediaFrameDown, m);
}

std::string Encode(const JoinGroup& m) {
    return Writer(MessageType::kJoinGroup)
        .U32(m.request)
        .Text(m.path)
        .Text(m.password)
        .I32(m.flags)
        .Done();
}
std::string Encode(const GroupListRequest&) {
    return Writer(MessageType::kGroupListRequest).Done();
}
std::string EncodeBanMember(const MemberOperation& m) {
    return Writer(MessageType::kBanMember).Text(m.ids).I16(m.op).Done();
}
std::string EncodeSetMemberMicrophone(const MemberOperation& m) {
    return Writer(MessageType::kSetMemberMicrophone).Text(m.ids).I16(m.op).Done();
}
std::string Encode(const SetMemberRole& m) {
    return Writer(MessageType::kSetMemberRole).Text(m.ids).I16(m.owner).I16(m.op).Done();
}
std::string Encode(const DisbandGroup&) {
    return Writer(MessageType::kDisbandGroup).Done();
}
std::string Encode(const RenameGroup& m) {
    return Writer(MessageType::kRenameGroup).Text(m.path).Done();
}
std::string Encode(const JoinedGroup& m) {
    return Writer(MessageType::kJoinedGroup).Text(m.path).Done();
}
std::string Encode(const GroupList& m) {
    return Writer(MessageType::kGroupList).U8(m.last).Text(m.piece).Done();
}
std::string Encode(const CanTalk& m) {
    return Writer(MessageType::kCanTalk).U8(m.on).Done();
}

bool Decode(std::string_view f, Hello& m) {
    return Reader(f).U16(m.protocol).U32(m.controlBuild).Done();
}
bool Decode(std::string_view f, Register& m) {
    return Reader(f)
               .Text(m.userId, kMaxUserId)
               .Text(m.nickname, kMaxNickname)
               .Text(m.connectionId, kMaxConnectionId)
               .Done() &&
           IsUserId(m.userId);
}
bool Decode(std::string_view f, RegisterTicket& m) {
    return Reader(f)
               .Text(m.userId, kMaxUserId)
               .Text(m.nickname, kMaxNickname)
               .Text(m.ticket, kMaxTicket)
               .Done() &&
           IsUserId(m.userId);
}
bool Decode(std::string_view f, SetStatus& m) {
    return Reader(f).I16(m.mode).Done();
}
bool Decode(std::string_view f, ListUpdate& m) {
    return Reader(f).U8(m.op).Text(m.list, kMaxIdList).Done() && m.op <= 2;
}
bool Decode(std::string_view f, ListPart& m) {
    return Reader(f).Text(m.list, kMaxIdList).Done();
}
bool Decode(std::string_view f, SendUserMessage& m) {
    return Reader(f)
        .Text(m.alias, kMaxAlias)
        .I16(m.number)
        .I16(m.parameter)
        .Text(m.text, kMaxMessageText)
        .Done();
}
bool Decode(std::string_view f, Ping& m) {
    return Reader(f).U32(m.sequence).U64(m.sentMicros).Done();
}
bool Decode(std::string_view f, Bye&) {
    return f.empty();
}
bool Decode(std::string_view f, Welcome& m) {
    return Reader(f)
        .U16(m.protocol)
        .U32(m.requiredControlBuild)
        .I32(m.requiredVersions)
        .Text(m.serverName, kMaxServerName)
        .Done();
}
bool Decode(std::string_view f, Close& m) {
    return Reader(f).I16(m.state).Text(m.text, kMaxServerText).Done();
}
bool Decode(std::string_view f, Registered& m) {
    return Reader(f).Text(m.userId, kMaxUserId).Text(m.nickname, kMaxNickname).Done();
}
bool Decode(std::string_view f, ServerMessage& m) {
    return Reader(f).I16(m.type).I16(m.number).Text(m.text, kMaxServerText).Done();
}
bool Decode(std::string_view f, Watch& m) {
    return Reader(f).Text(m.userId, kMaxUserId).I16(m.status).Done();
}
bool Decode(std::string_view f, UserMessage& m) {
    return Reader(f)
        .Text(m.alias, kMaxAlias)
        .Text(m.userId, kMaxUserId)
        .I16(m.number)
        .I16(m.parameter)
        .Text(m.text, kMaxMessageText)
        .Done();
}

bool Decode(std::string_view f, InviteUser& m) {
    return Reader(f).Text(m.alias, kMaxAlias).I16(m.kind).Text(m.text, kMaxMessageText).Done();
}
bool Decode(std::string_view f, AcceptConference& m) {
    return Reader(f).I32(m.conference).Done();
}
bool Decode(std::string_view f, ConferenceRequest& m) {
    return Reader(f).I32(m.conference).I16(m.reason).Text(m.text, kMaxMessageText).Done();
}
bool Decode(std::string_view f, CancelInvitations& m) {
    return Reader(f).Text(m.ids, kMaxCancelList).I16(m.reason).Text(m.text, kMaxMessageText).Done();
}
bool Decode(std::string_view f, JoinedConference& m) {
    return Reader(f).I32(m.conference).U8(m.joined).U8(m.deleted).Done() && m.conference != 0 &&
           IsFlag(m.joined) && IsFlag(m.deleted) && !(m.joined && m.deleted);
}
bool Decode(std::string_view f, InvitationNotice& m) {
    return Reader(f)
               .I32(m.conference)
               .Text(m.nickname, kMaxNickname)
               .Text(m.userId, kMaxUserId)
               .I16(m.number)
               .Text(m.text, kMaxMessageText)
               .Done() &&
           m.conference != 0 && (m.userId.empty() || IsUserId(m.userId));
}
bool Decode(std::string_view f, AcceptedConference& m) {
    return Reader(f)
               .I32(m.conference)
               .U8(m.accepted)
               .Text(m.nickname, kMaxNickname)
               .Text(m.userId, kMaxUserId)
               .I16(m.reason)
               .Text(m.text, kMaxMessageText)
               .Done() &&
           m.conference != 0 && IsFlag(m.accepted) && IsUserId(m.userId);
}
bool Decode(std::string_view f, MemberJoined& m) {
    return Reader(f)
               .I32(m.conversation)
               .Text(m.nickname, kMaxNickname)
               .Text(m.userId, kMaxUserId)
               .Text(m.letters, kMaxLetters)
               .U8(m.existing)
               .Done() &&
           m.conversation != 0 && IsUserId(m.userId) && IsRowText(m.nickname) &&
           IsRowText(m.letters) && IsFlag(m.existing);
}
bool Decode(std::string_view f, MemberChanged& m) {
    return Reader(f)
               .I32(m.conversation)
               .Text(m.nickname, kMaxNickname)
               .Text(m.userId, kMaxUserId)
               .Text(m.letters, kMaxLetters)
               .Done() &&
           m.conversation != 0 && IsUserId(m.userId) && IsRowText(m.nickname) &&
           IsRowText(m.letters);
}
bool Decode(std::string_view f, MemberLeft& m) {
    return Reader(f)
               .I32(m.conversation)
               .Text(m.nickname, kMaxNickname)
               .Text(m.userId, kMaxUserId)
               .U8(m.cause)
               .Done() &&
           m.conversation != 0 && IsUserId(m.userId);
}

bool Decode(std::string_view f, MediaOffer& m) {
    return Reader(f)
               .U16(m.udpPort)
               .U32(m.streamId)
               .Bytes(m.key, kMediaKeySize)
               .Bytes(m.token, kMediaTokenSize)
               .Done() &&
           m.key.size() == kMediaKeySize && m.token.size() == kMediaTokenSize;
}
bool Decode(std::string_view f, MediaStream& m) {
    return Reader(f)
               .U32(m.streamId)
               .Text(m.userId, kMaxUserId)
               .Text(m.nickname, kMaxNickname)
               .Done() &&
           IsUserId(m.userId);
}
bool Decode(std::string_view f, MediaMode& m) {
    return Reader(f).U8(m.transport).U8(m.slowLink).Done() && IsFlag(m.transport) &&
           IsFlag(m.slowLink);
}
bool Decode(std::string_view f, MediaFrame& m) {
    return Reader(f).Bytes(m.datagram, kMaxMediaDatagram).Done() && !m.datagram.empty();
}

bool Decode(std::string_view f, JoinGroup& m) {
    return Reader(f)
        .U32(m.request)
        .Text(m.path, kMaxForumPath)
        .Text(m.password, kMaxForumPassword)
        .I32(m.flags)
        .Done();
}
bool Decode(std::string_view f, GroupListRequest&) {
    return f.empty();
}
bool Decode(std::string_view f, MemberOperation& m) {
    return Reader(f).Text(m.ids, kMaxIdList).I16(m.op).Done() && (m.op == 1 || m.op == 2);
}
bool Decode(std::string_view f, SetMemberRole& m) {
    return Reader(f).Text(m.ids, kMaxIdList).I16(m.owner).I16(m.op).Done() &&
           (m.owner == 0 || m.owner == 1) && (m.op == 1 || m.op == 2);
}
bool Decode(std::string_view f, DisbandGroup&) {
    return f.empty();
}
bool Decode(std::string_view f, RenameGroup& m) {
    return Reader(f).Text(m.path, kMaxForumPath).Done();
}
bool Decode(std::string_view f, JoinedGroup& m) {
    return Reader(f).Text(m.path, kMaxForumPath).Done();
}
bool Decode(std::string_view f, GroupList& m) {
    return Reader(f).U8(m.last).Text(m.piece, kMaxGroupListPiece).Done() && IsFlag(m.last) &&
           (m.piece.empty() || m.piece.back() == '\n');
}
bool Decode(std::string_view f, CanTalk& m) {
    return Reader(f).U8(m.on).Done() && IsFlag(m.on);
}

std::uint16_t TypeVersion(MessageType type) {
    switch (type) {
        case MessageType::kHello:
        case MessageType::kRegister:
        case MessageType::kSetStatus:
        case MessageType::kSetWatchList:
        case MessageType::kSetBlockList:
        case MessageType::kSendUserMessage:
        case MessageType::kPing:
        case MessageType::kBye:
        case MessageType::kWelcome:
        case MessageType::kClose:
        case MessageType::kRegistered:
        case MessageType::kServerMessage:
        case MessageType::kWatch:
        case MessageType::kUserMessage:
        case MessageType::kPong:
            return 1;
        case MessageType::kRegisterTicket:
        case MessageType::kWatchListPart:
        case MessageType::kBlockListPart:
            return 2;
        case MessageType::kInviteUser:
        case MessageType::kAcceptConference:
        case MessageType::kDeclineConference:
        case MessageType::kLeaveConference:
        case MessageType::kHoldConference:
        case MessageType::kCancelInvitations:
        case MessageType::kJoinedConference:
        case MessageType::kInvitation:
        case MessageType::kAcceptedConference:
        case MessageType::kInvitationCancel:
        case MessageType::kMemberJoined:
        case MessageType::kMemberChanged:
        case MessageType::kMemberLeft:
            return 3;
        case MessageType::kMediaOffer:
        case MessageType::kMediaStream:
        case MessageType::kMediaMode:
        case MessageType::kMediaFrameUp:
        case MessageType::kMediaFrameDown:
            return 4;
        case MessageType::kJoinGroup:
        case MessageType::kGroupListRequest:
        case MessageType::kBanMember:
        case MessageType::kSetMemberMicrophone:
        case MessageType::kSetMemberRole:
        case MessageType::kDisbandGroup:
        case MessageType::kRenameGroup:
        case MessageType::kJoinedGroup:
        case MessageType::kGroupList:
        case MessageType::kCanTalk:
            return kForumVersion;
    }
    return 0;
}

void FrameReader::Append(const char* data, std::size_t size) {
    // Drop what was handed out before growing, so a long session never keeps old frames.
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > 64 * 1024) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    buffer_.append(data, size);
}

FrameReader::Result FrameReader::Next(Frame& frame) {
    if (bad_) {
        return Result::kBad;
    }
    const std::size_t available = buffer_.size() - start_;
    if (available < kFrameHeaderSize) {
        return Result::kNeedMore;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(buffer_.data() + start_);
    const std::uint32_t body = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                               (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
    if (body < 2 || body > maxBody_) {
        bad_ = true;
        return Result::kBad;
    }
    if (available < kFrameHeaderSize + body) {
        return Result::kNeedMore;
    }
    frame.type = static_cast<MessageType>((std::uint16_t{p[4]} << 8) | p[5]);
    frame.fields.assign(buffer_.data() + start_ + kFrameHeaderSize + 2, body - 2);
    start_ += kFrameHeaderSize + body;
    return Result::kFrame;
}

std::vector<std::string> SplitList(std::string_view list, std::size_t limit) {
    std::vector<std::string> pieces(1);
    while (!list.empty()) {
        const std::size_t end = list.find('\n');
        std::string_view line = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        if (line.size() + 1 > limit) {
            line = line.substr(0, limit - 1);
        }
        if (pieces.back().size() + line.size() + 1 > limit) {
            pieces.emplace_back();
        }
        pieces.back().append(line).push_back('\n');
    }
    return pieces;
}

bool IsPresenceMode(std::int16_t mode) {
    switch (mode) {
        case 0:
        case 2:
        case 4:
        case 8:
        case 16:
        case 32:
            return true;
        default:
            return false;
    }
}

bool IsUserId(std::string_view text) {
    if (text.empty() || text.size() > kMaxUserId || text[0] == '0') {
        return false;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value <= 0xFFFFFFFFull;
}

}  // namespace qv::voice
