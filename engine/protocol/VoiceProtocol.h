#pragma once

// The voice server's wire protocol, versions 1 and 2 (docs/voice-protocol.md): length-prefixed
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
// Version 2 registers with a voice ticket and adds WatchListPart and BlockListPart.
inline constexpr std::uint16_t kProtocolVersion = 2;
inline constexpr std::uint16_t kMinProtocolVersion = 1;
inline constexpr std::uint16_t kListPartsVersion = 2;
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
    kRegisterTicket = 0x0009,  // version 2
    kWatchListPart = 0x000A,   // version 2
    kBlockListPart = 0x000B,   // version 2
    // server -> engine
    kWelcome = 0x0101,
    kClose = 0x0102,
    kRegistered = 0x0103,
    kServerMessage = 0x0104,
    kWatch = 0x0105,
    kUserMessage = 0x0106,
    kPong = 0x0107,
};

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
