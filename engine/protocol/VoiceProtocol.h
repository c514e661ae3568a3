#pragma once

// The voice server's wire protocol, versions 1 to 5 (docs/voice-protocol.md): length-prefixed
// frames, each a 16-bit message type and its fields, every number big-endian and every text a
// 16-bit length and its bytes. Both the networked engine and the voice server speak it through
// these types; a frame that does not decode exactly is a protocol error and ends the connection.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::voice {

// The newest version this code speaks and the oldest a server still welcomes (to tell an engine
// of that version that it is out of date). The server answers a Hello with the lower of the two
// sides' versions; neither side then sends a type the negotiated version does not have.
// Version 2 registers with a voice ticket and adds WatchListPart and BlockListPart; version 3
// adds conferences (calls) and their rosters; version 4 carries voice (media offers, streams and
// the TCP fallback of the sealed datagrams); version 5 adds forums (joining, the forum list,
// moderation and controlled microphones).
inline constexpr std::uint16_t kProtocolVersion = 5;
inline constexpr std::uint16_t kMinProtocolVersion = 1;
inline constexpr std::uint16_t kListPartsVersion = 2;
inline constexpr std::uint16_t kConferenceVersion = 3;
inline constexpr std::uint16_t kMediaVersion = 4;
inline constexpr std::uint16_t kForumVersion = 5;
// The oldest version an engine of this build can register in (RegisterTicket).
inline constexpr std::uint16_t kRegisterTicketVersion = 2;

// A frame is a 32-bit body length and the body (type and fields); bodies are 2 to kMaxFrameBody
// bytes.
inline constexpr std::size_t kFrameHeaderSize = 4;
inline constexpr std::uint32_t kMaxFrameBody = 64 * 1024;

// Field limits; a longer field makes the frame malformed.
inline constexpr std::size_t kMaxUserId = 10;  // decimal, 1 to 4294967295
inline constexpr std::size_t kMaxNickname = 64;
inline constexpr std::size_t kMaxConnectionId = 64;
inline constexpr std::size_t kMaxTicket = 1024;
inline constexpr std::size_t kMaxAlias = 64;
inline constexpr std::size_t kMaxMessageText = 1023;
inline constexpr std::size_t kMaxServerText = 1024;
inline constexpr std::size_t kMaxServerName = 255;
inline constexpr std::size_t kMaxIdList = 60000;
// A list sent in parts (version 2): what the parts hold together, and the longest list the
// engine sends.
inline constexpr std::size_t kMaxWholeList = 512 * 1024;
// Version 3: the letters of a roster row (I invited, H held; forums add more later) and the id
// list of one CancelInvitations (a call's invited ids pile up over its life, so as long as any
// id list; a longer one goes in several frames).
inline constexpr std::size_t kMaxLetters = 8;
inline constexpr std::size_t kMaxCancelList = kMaxIdList;
// Version 4: a session's media key and keepalive token (binary, any byte), and the largest
// sealed datagram (kept under a path MTU so UDP never fragments; the same bound over TCP).
inline constexpr std::size_t kMediaKeySize = 32;
inline constexpr std::size_t kMediaTokenSize = 16;
inline constexpr std::size_t kMaxMediaDatagram = 1200;
// Version 5: a forum path (any bytes but NUL; the server refuses TAB, CR and LF with a message
// that names the path, so they are no protocol error), a forum password, and one piece of the
// forum list (pieces of whole lines, so a piece and its frame stay under kMaxFrameBody).
inline constexpr std::size_t kMaxForumPath = 255;
inline constexpr std::size_t kMaxForumPassword = 64;
inline constexpr std::size_t kMaxGroupListPiece = 60000;

enum class MessageType : std::uint16_t {
    // engine -> server
    kHello = 0x0001,
    kRegister = 0x0002,
    kSetStatus = 0x0003,
    kSetWatchList = 0x0004,
    kSetBlockList = 0x0005,
    kSendUserMessage = 0x0006,
    kPing = 0x0007,
    kBye = 0x0008,
    kRegisterTicket = 0x0009,       // version 2
    kWatchListPart = 0x000A,        // version 2
    kBlockListPart = 0x000B,        // version 2
    kInviteUser = 0x0201,           // version 3
    kAcceptConference = 0x0202,     // version 3
    kDeclineConference = 0x0203,    // version 3
    kLeaveConference = 0x0204,      // version 3
    kHoldConference = 0x0205,       // version 3
    kCancelInvitations = 0x0206,    // version 3
    kJoinGroup = 0x0301,            // version 5
    kGroupListRequest = 0x0302,     // version 5
    kBanMember = 0x0303,            // version 5
    kSetMemberMicrophone = 0x0304,  // version 5
    kSetMemberRole = 0x0305,        // version 5
    kDisbandGroup = 0x0306,         // version 5
    kRenameGroup = 0x0307,          // version 5
    kMediaMode = 0x0501,            // version 4
    kMediaFrameUp = 0x0601,         // version 4
    // server -> engine
    kWelcome = 0x0101,
    kClose = 0x0102,
    kRegistered = 0x0103,
    kServerMessage = 0x0104,
    kWatch = 0x0105,
    kUserMessage = 0x0106,
    kPong = 0x0107,
    kJoinedConference = 0x0281,    // version 3
    kInvitation = 0x0282,          // version 3
    kAcceptedConference = 0x0283,  // version 3
    kInvitationCancel = 0x0284,    // version 3
    kJoinedGroup = 0x0381,         // version 5
    kGroupList = 0x0382,           // version 5
    kCanTalk = 0x0383,             // version 5
    kMemberJoined = 0x0401,        // version 3
    kMemberChanged = 0x0402,       // version 3
    kMemberLeft = 0x0403,          // version 3
    kMediaOffer = 0x0581,          // version 4
    kMediaStream = 0x0582,         // version 4
    kMediaFrameDown = 0x0681,      // version 4
};

// The version that brought a type in; 0 for a type no version has. A session of version v
// sends and accepts only the types with 0 < TypeVersion(t) <= v.
std::uint16_t TypeVersion(MessageType type);
inline bool HasType(std::uint16_t version, MessageType type) {
    const std::uint16_t since = TypeVersion(type);
    return since != 0 && since <= version;
}

// The first frame of a connection.
struct Hello {
    std::uint16_t protocol = kProtocolVersion;
    std::uint32_t controlBuild = 0;
};

// Asks to be registered as that user; the connection id is the one the directory gave at login.
struct Register {
    std::string userId;
    std::string nickname;
    std::string connectionId;
};

// Version 2: asks to be registered as that user, with the voice ticket the directory signed at
// login.
struct RegisterTicket {
    std::string userId;
    std::string nickname;
    std::string ticket;
};

struct SetStatus {
    std::int16_t mode = 0;
};

// SetWatchList and SetBlockList: op 0 replaces, 1 adds one entry, 2 removes one; entries are
// decimal ids, each ended by a line feed.
struct ListUpdate {
    std::uint8_t op = 0;
    std::string list;
};

// WatchListPart and BlockListPart (version 2): whole lines that come before the lines of the
// next SetWatchList or SetBlockList; the server applies them together as one list.
struct ListPart {
    std::string list;
};

struct SendUserMessage {
    std::string alias;
    std::int16_t number = 0;
    std::int16_t parameter = 0;
    std::string text;
};

// Ping and Pong: the server echoes the ping's fields.
struct Ping {
    std::uint32_t sequence = 0;
    std::uint64_t sentMicros = 0;
};

struct Bye {};

// The server's answer to Hello: what it requires of the client.
struct Welcome {
    std::uint16_t protocol = kProtocolVersion;
    std::uint32_t requiredControlBuild = 0;
    // High 16 bits the program build, low 16 bits the patcher build.
    std::int32_t requiredVersions = 0;
    std::string serverName;
};

// The server ends the connection; state is the connection event the engine reports.
struct Close {
    std::int16_t state = 0;
    std::string text;
};

struct Registered {
    std::string userId;
    std::string nickname;
};

struct ServerMessage {
    std::int16_t type = 0;
    std::int16_t number = 0;
    std::string text;
};

struct Watch {
    std::string userId;
    std::int16_t status = 0;
};

struct UserMessage {
    std::string alias;
    std::string userId;
    std::int16_t number = 0;
    std::int16_t parameter = 0;
    std::string text;
};

// Version 3: conferences. The conference ids are the server's, never 0.

// Invites a user (alias = user id) into the sender's active conference; the server creates one
// when the sender has none. Kind and text reach the invitee's Invitation untouched.
struct InviteUser {
    std::string alias;
    std::int16_t kind = 0;
    std::string text;
};

// Answers a ringing invitation, or resumes a held conference.
struct AcceptConference {
    std::int32_t conference = 0;
};

// DeclineConference, LeaveConference and HoldConference: a conference and the reason and text
// the engine method carries (a decline's reach the inviter; the server uses no others yet).
struct ConferenceRequest {
    std::int32_t conference = 0;
    std::int16_t reason = 0;
    std::string text;
};

// Withdraws the sender's pending invitations to these ids (decimal, each ended by a line feed),
// in whichever conferences they were made.
struct CancelInvitations {
    std::string ids;
    std::int16_t reason = 0;
    std::string text;
};

// The local user's state in a conference changed: joined = now active in it (created,
// accepted or resumed); neither = held; deleted = no longer a member.
struct JoinedConference {
    std::int32_t conference = 0;
    std::uint8_t joined = 0;
    std::uint8_t deleted = 0;
};

// Invitation and InvitationCancel: a conference and who invites (or withdrew the invitation),
// with the number and text of the InviteUser or CancelInvitations.
struct InvitationNotice {
    std::int32_t conference = 0;
    std::string nickname;
    std::string userId;
    std::int16_t number = 0;
    std::string text;
};

// To the inviter: the invitee answered. accepted 0 = declined (reason and text as the invitee
// or, for reason 3, the server gave them), 1 = accepted.
struct AcceptedConference {
    std::int32_t conference = 0;
    std::uint8_t accepted = 0;
    std::string nickname;
    std::string userId;
    std::int16_t reason = 0;
    std::string text;
};

// Roster changes of a conversation the session is an active or held member of. existing = the
// member was there before the session entered (part of the roster it is sent on entering).
struct MemberJoined {
    std::int32_t conversation = 0;
    std::string nickname;
    std::string userId;
    std::string letters;
    std::uint8_t existing = 0;
};

struct MemberChanged {
    std::int32_t conversation = 0;
    std::string nickname;
    std::string userId;
    std::string letters;
};

// Why a member left a roster.
enum class LeaveCause : std::uint8_t {
    kLeft = 0,       // LeaveConference
    kDeclined = 1,   // declined, by the invitee or for it (an AcceptedConference 0 came first)
    kCancelled = 2,  // its invitation was withdrawn
    kEnded = 3,      // its connection ended
};

struct MemberLeft {
    std::int32_t conversation = 0;
    std::string nickname;
    std::string userId;
    std::uint8_t cause = 0;
};

// Version 4: voice.

// Sent right after Registered: where and how the session's media goes. udpPort 0 = no UDP, the
// datagrams travel in MediaFrameUp / MediaFrameDown; the UDP host is the control connection's
// server address. streamId is the session's own SSRC; key and token are binary, exactly
// kMediaKeySize and kMediaTokenSize bytes.
struct MediaOffer {
    std::uint16_t udpPort = 0;
    std::uint32_t streamId = 0;
    std::string key;
    std::string token;
};

// Which member sends with that SSRC, for each other member of a conversation the session meets.
struct MediaStream {
    std::uint32_t streamId = 0;
    std::string userId;
    std::string nickname;
};

// How the engine carries its media: transport 0 UDP, 1 TCP (MediaFrameUp / MediaFrameDown);
// slowLink 1 = forward it one speaker only. Before any MediaMode: UDP, not slow.
struct MediaMode {
    std::uint8_t transport = 0;
    std::uint8_t slowLink = 0;
};

// MediaFrameUp and MediaFrameDown: exactly one sealed datagram, over the control connection.
struct MediaFrame {
    std::string datagram;
};

// Version 5: forums.

// Joins the forum at that path, creating it unless flags has 2 (join only). Flags: 1 hidden (not
// in the forum list), 2 join only, 4 moderated, 8 controlled microphones; the other bits are
// ignored. An empty path leaves the sender's forum. request is for logs and tests only.
struct JoinGroup {
    std::uint32_t request = 0;
    std::string path;
    std::string password;
    std::int32_t flags = 0;
};

// Asks for the forum list now and its changes from then on (every ModeFlags write sends one).
struct GroupListRequest {};

// BanMember (op 1 ban, 2 lift the ban) and SetMemberMicrophone (op 1 hand a microphone, 2 take
// it): ids are decimal, each ended by a line feed.
struct MemberOperation {
    std::string ids;
    std::int16_t op = 0;
};

// owner 1 = the owner role, 0 = moderator; op 1 grants it, 2 takes it away.
struct SetMemberRole {
    std::string ids;
    std::int16_t owner = 0;
    std::int16_t op = 0;
};

struct DisbandGroup {};

struct RenameGroup {
    std::string path;
};

// The sender's forum: the path exactly as it asked for it, or empty when it is in none.
struct JoinedGroup {
    std::string path;
};

// One piece of the forum list text ("path\tcount\tletters\n" lines, whole lines only); last 1
// ends a list, and only then does the engine replace what it holds.
struct GroupList {
    std::uint8_t last = 0;
    std::string piece;
};

// Whether the session may speak in its forum (controlled microphones); sent on joining one and
// on every change.
struct CanTalk {
    std::uint8_t on = 0;
};

// One whole frame (header included) for a message.
std::string Encode(const Hello& m);
std::string Encode(const Register& m);
std::string Encode(const RegisterTicket& m);
std::string Encode(const SetStatus& m);
std::string EncodeWatchList(const ListUpdate& m);
std::string EncodeBlockList(const ListUpdate& m);
std::string EncodeWatchListPart(const ListPart& m);
std::string EncodeBlockListPart(const ListPart& m);
std::string Encode(const SendUserMessage& m);
std::string EncodePing(const Ping& m);
std::string EncodePong(const Ping& m);
std::string Encode(const Bye& m);
std::string Encode(const Welcome& m);
std::string Encode(const Close& m);
std::string Encode(const Registered& m);
std::string Encode(const ServerMessage& m);
std::string Encode(const Watch& m);
std::string Encode(const UserMessage& m);
std::string Encode(const InviteUser& m);
std::string Encode(const AcceptConference& m);
std::string EncodeDecline(const ConferenceRequest& m);
std::string EncodeLeave(const ConferenceRequest& m);
std::string EncodeHold(const ConferenceRequest& m);
std::string Encode(const CancelInvitations& m);
std::string Encode(const JoinedConference& m);
std::string EncodeInvitation(const InvitationNotice& m);
std::string EncodeInvitationCancel(const InvitationNotice& m);
std::string Encode(const AcceptedConference& m);
std::string Encode(const MemberJoined& m);
std::string Encode(const MemberChanged& m);
std::string Encode(const MemberLeft& m);
std::string Encode(const MediaOffer& m);
std::string Encode(const MediaStream& m);
std::string Encode(const MediaMode& m);
std::string EncodeMediaFrameUp(const MediaFrame& m);
std::string EncodeMediaFrameDown(const MediaFrame& m);
std::string Encode(const JoinGroup& m);
std::string Encode(const GroupListRequest& m);
std::string EncodeBanMember(const MemberOperation& m);
std::string EncodeSetMemberMicrophone(const MemberOperation& m);
std::string Encode(const SetMemberRole& m);
std::string Encode(const DisbandGroup& m);
std::string Encode(const RenameGroup& m);
std::string Encode(const JoinedGroup& m);
std::string Encode(const GroupList& m);
std::string Encode(const CanTalk& m);

// The fields of a frame's body (after the type); false when they do not decode exactly.
bool Decode(std::string_view fields, Hello& m);
bool Decode(std::string_view fields, Register& m);
bool Decode(std::string_view fields, RegisterTicket& m);
bool Decode(std::string_view fields, SetStatus& m);
bool Decode(std::string_view fields, ListUpdate& m);
bool Decode(std::string_view fields, ListPart& m);
bool Decode(std::string_view fields, SendUserMessage& m);
bool Decode(std::string_view fields, Ping& m);
bool Decode(std::string_view fields, Bye& m);
bool Decode(std::string_view fields, Welcome& m);
bool Decode(std::string_view fields, Close& m);
bool Decode(std::string_view fields, Registered& m);
bool Decode(std::string_view fields, ServerMessage& m);
bool Decode(std::string_view fields, Watch& m);
bool Decode(std::string_view fields, UserMessage& m);
bool Decode(std::string_view fields, InviteUser& m);
bool Decode(std::string_view fields, AcceptConference& m);
bool Decode(std::string_view fields, ConferenceRequest& m);
bool Decode(std::string_view fields, CancelInvitations& m);
bool Decode(std::string_view fields, JoinedConference& m);
bool Decode(std::string_view fields, InvitationNotice& m);
bool Decode(std::string_view fields, AcceptedConference& m);
bool Decode(std::string_view fields, MemberJoined& m);
bool Decode(std::string_view fields, MemberChanged& m);
bool Decode(std::string_view fields, MemberLeft& m);
bool Decode(std::string_view fields, MediaOffer& m);
bool Decode(std::string_view fields, MediaStream& m);
bool Decode(std::string_view fields, MediaMode& m);
bool Decode(std::string_view fields, MediaFrame& m);
bool Decode(std::string_view fields, JoinGroup& m);
bool Decode(std::string_view fields, GroupListRequest& m);
bool Decode(std::string_view fields, MemberOperation& m);
bool Decode(std::string_view fields, SetMemberRole& m);
bool Decode(std::string_view fields, DisbandGroup& m);
bool Decode(std::string_view fields, RenameGroup& m);
bool Decode(std::string_view fields, JoinedGroup& m);
bool Decode(std::string_view fields, GroupList& m);
bool Decode(std::string_view fields, CanTalk& m);

// A frame taken off the stream.
struct Frame {
    MessageType type{};
    std::string fields;
};

// Cuts a byte stream into frames. Bytes go in as they arrive; Next hands out whole frames.
class FrameReader {
  public:
    enum class Result { kFrame, kNeedMore, kBad };

    void Append(const char* data, std::size_t size);
    // kBad when the stream announced a body shorter than a type or longer than the largest
    // allowed (kMaxFrameBody unless lowered); the stream is useless after that.
    Result Next(Frame& frame);
    // A server allows only small frames until the peer has registered.
    void SetMaxBody(std::uint32_t maxBody) { maxBody_ = maxBody; }
    std::size_t Buffered() const { return buffer_.size() - start_; }

  private:
    std::string buffer_;
    std::size_t start_ = 0;
    std::uint32_t maxBody_ = kMaxFrameBody;
    bool bad_ = false;
};

// Cuts a list into pieces of at most limit bytes, each of whole lines (a line longer than a
// piece is shortened: it is no id either way). An empty list is one empty piece.
std::vector<std::string> SplitList(std::string_view list, std::size_t limit = kMaxIdList);

// A presence mode SetStatus may carry: 0, 2, 4, 8, 16 or 32 (invisible).
bool IsPresenceMode(std::int16_t mode);

// A decimal Quorvane ID: 1 to 10 digits, no sign, no leading zero, at most 4294967295.
bool IsUserId(std::string_view text);

}  // namespace qv::voice
