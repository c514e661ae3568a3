// The conference frames of protocol version 3: each survives a round trip, a wrong one of each
// kind is refused, and every type belongs to the version that brought it.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "VoiceProtocol.h"

namespace qv::voicesvc {
namespace {

using voice::MessageType;

// The frame's type and its fields, or nothing when the reader does not take it whole.
std::optional<voice::Frame> Read(const std::string& frame) {
    voice::FrameReader reader;
    reader.Append(frame.data(), frame.size());
    voice::Frame read;
    if (reader.Next(read) != voice::FrameReader::Result::kFrame) {
        return std::nullopt;
    }
    return read;
}

// Decodes a frame as T and encodes it again; the same bytes when nothing was lost.
template <typename T>
std::string Again(const std::string& frame, std::string (*encode)(const T&)) {
    const auto read = Read(frame);
    T decoded;
    if (!read || !voice::Decode(read->fields, decoded)) {
        return "undecodable";
    }
    return encode(decoded);
}

std::string Long(std::size_t n) {
    return std::string(n, 'x');
}

struct RoundTrip {
    const char* name;
    MessageType type;
    std::string frame;
    std::function<std::string(const std::string&)> again;
};

template <typename T>
RoundTrip Case(const char* name, MessageType type, std::string (*encode)(const T&), const T& m) {
    return {name, type, encode(m),
            [encode](const std::string& frame) { return Again<T>(frame, encode); }};
}

std::string EncodeInvite(const voice::InviteUser& m) {
    return voice::Encode(m);
}
std::string EncodeAccept(const voice::AcceptConference& m) {
    return voice::Encode(m);
}
std::string EncodeCancel(const voice::CancelInvitations& m) {
    return voice::Encode(m);
}
std::string EncodeJoined(const voice::JoinedConference& m) {
    return voice::Encode(m);
}
std::string EncodeAccepted(const voice::AcceptedConference& m) {
    return voice::Encode(m);
}
std::string EncodeMemberJoined(const voice::MemberJoined& m) {
    return voice::Encode(m);
}
std::string EncodeMemberChanged(const voice::MemberChanged& m) {
    return voice::Encode(m);
}
std::string EncodeMemberLeft(const voice::MemberLeft& m) {
    return voice::Encode(m);
}

TEST(ConferenceProtocolTest, EveryConferenceFrameRoundTripsAtItsLimits) {
    const std::string text = Long(voice::kMaxMessageText);
    const std::string nick = Long(voice::kMaxNickname);
    const std::vector<RoundTrip> cases = {
        Case("InviteUser", MessageType::kInviteUser, &EncodeInvite,
             voice::InviteUser{Long(voice::kMaxAlias), -2, text}),
        Case("AcceptConference", MessageType::kAcceptConference, &EncodeAccept,
             voice::AcceptConference{-7}),
        Case("DeclineConference", MessageType::kDeclineConference, &voice::EncodeDecline,
             voice::ConferenceRequest{2147483647, 4, text}),
        Case("LeaveConference", MessageType::kLeaveConference, &voice::EncodeLeave,
             voice::ConferenceRequest{0, 0, ""}),
        Case("HoldConference", MessageType::kHoldConference, &voice::EncodeHold,
             voice::ConferenceRequest{12, -1, "x"}),
        Case("CancelInvitations", MessageType::kCancelInvitations, &EncodeCancel,
             voice::CancelInvitations{Long(voice::kMaxCancelList), 1, text}),
        Case("JoinedConference", MessageType::kJoinedConference, &EncodeJoined,
             voice::JoinedConference{5, 0, 1}),
        Case("Invitation", MessageType::kInvitation, &voice::EncodeInvitation,
             voice::InvitationNotice{5, nick, "4294967295", 3, text}),
        Case("InvitationCancel", MessageType::kInvitationCancel, &voice::EncodeInvitationCancel,
             voice::InvitationNotice{5, "", "", 0, ""}),
        Case("AcceptedConference", MessageType::kAcceptedConference, &EncodeAccepted,
             voice::AcceptedConference{5, 0, nick, "12", 3, text}),
        Case("MemberJoined", MessageType::kMemberJoined, &EncodeMemberJoined,
             voice::MemberJoined{5, nick, "12", Long(voice::kMaxLetters), 1}),
        Case("MemberChanged", MessageType::kMemberChanged, &EncodeMemberChanged,
             voice::MemberChanged{5, "Ann", "12", "H"}),
        Case("MemberLeft", MessageType::kMemberLeft, &EncodeMemberLeft,
             voice::MemberLeft{5, "Ann", "12", 200}),
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.name);
        const auto read = Read(c.frame);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->type, c.type);
        EXPECT_EQ(c.again(c.frame), c.frame);
        EXPECT_EQ(voice::TypeVersion(c.type), voice::kConferenceVersion);
        // One byte more, or one less, is not that frame any more.
        const std::string fields = read->fields;
        voice::Frame longer{c.type, fields + "x"};
        voice::Frame shorter{c.type, fields.substr(0, fields.size() - 1)};
        for (const voice::Frame& wrong : {longer, shorter}) {
            std::string frame = c.frame.substr(0, voice::kFrameHeaderSize + 2) + wrong.fields;
            const std::uint32_t body = static_cast<std::uint32_t>(wrong.fields.size() + 2);
            for (int i = 0; i < 4; ++i) {
                frame[i] = static_cast<char>((body >> (8 * (3 - i))) & 0xFF);
            }
            EXPECT_EQ(c.again(frame), "undecodable");
        }
    }
}

template <typename T>
bool Decodes(const std::string& frame) {
    const auto read = Read(frame);
    T decoded;
    return read && voice::Decode(read->fields, decoded);
}

TEST(ConferenceProtocolTest, MalformedConferenceFramesAreRefused) {
    struct Case {
        const char* name;
        bool decodes;
    };
    const std::string tooLong = Long(voice::kMaxMessageText + 1);
    const std::vector<Case> cases = {
        {"alias too long",
         Decodes<voice::InviteUser>(voice::Encode(voice::InviteUser{Long(65), 0, ""}))},
        {"invitation text too long",
         Decodes<voice::InviteUser>(voice::Encode(voice::InviteUser{"12", 0, tooLong}))},
        {"decline text too long", Decodes<voice::ConferenceRequest>(voice::EncodeDecline(
                                      voice::ConferenceRequest{1, 0, tooLong}))},
        {"cancel list too long",
         Decodes<voice::CancelInvitations>(
             voice::Encode(voice::CancelInvitations{Long(voice::kMaxCancelList + 1), 0, ""}))},
        {"joined and deleted",
         Decodes<voice::JoinedConference>(voice::Encode(voice::JoinedConference{1, 1, 1}))},
        {"joined flag 2",
         Decodes<voice::JoinedConference>(voice::Encode(voice::JoinedConference{1, 2, 0}))},
        {"joined conference 0",
         Decodes<voice::JoinedConference>(voice::Encode(voice::JoinedConference{0, 1, 0}))},
        {"invitation conference 0", Decodes<voice::InvitationNotice>(voice::EncodeInvitation(
                                        voice::InvitationNotice{0, "Ann", "12", 0, ""}))},
        {"invitation bad id", Decodes<voice::InvitationNotice>(voice::EncodeInvitation(
                                  voice::InvitationNotice{1, "Ann", "012", 0, ""}))},
        {"accepted flag 2", Decodes<voice::AcceptedConference>(voice::Encode(
                                voice::AcceptedConference{1, 2, "Ann", "12", 0, ""}))},
        {"accepted without id", Decodes<voice::AcceptedConference>(voice::Encode(
                                    voice::AcceptedConference{1, 1, "Ann", "", 0, ""}))},
        {"row nickname with a tab",
         Decodes<voice::MemberJoined>(voice::Encode(voice::MemberJoined{1, "A\tnn", "12", "", 0}))},
        {"row letters with a line feed",
         Decodes<voice::MemberChanged>(voice::Encode(voice::MemberChanged{1, "Ann", "12", "H\n"}))},
        {"row letters too long", Decodes<voice::MemberChanged>(voice::Encode(voice::MemberChanged{
                                     1, "Ann", "12", Long(voice::kMaxLetters + 1)}))},
        {"row existing 2",
         Decodes<voice::MemberJoined>(voice::Encode(voice::MemberJoined{1, "Ann", "12", "", 2}))},
        {"left conversation 0",
         Decodes<voice::MemberLeft>(voice::Encode(voice::MemberLeft{0, "Ann", "12", 0}))},
        {"left without id",
         Decodes<voice::MemberLeft>(voice::Encode(voice::MemberLeft{1, "Ann", "", 0}))},
        {"a NUL in a text", Decodes<voice::ConferenceRequest>(voice::EncodeHold(
                                voice::ConferenceRequest{1, 0, std::string("a\0b", 3)}))},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(c.decodes) << c.name;
    }
}

TEST(ConferenceProtocolTest, EachTypeBelongsToItsVersion) {
    struct Case {
        MessageType type;
        std::uint16_t since;
    };
    const std::vector<Case> cases = {
        {MessageType::kHello, 1},
        {MessageType::kPong, 1},
        {MessageType::kRegisterTicket, 2},
        {MessageType::kBlockListPart, 2},
        {MessageType::kInviteUser, 3},
        {MessageType::kCancelInvitations, 3},
        {MessageType::kJoinedConference, 3},
        {MessageType::kMemberLeft, 3},
        {MessageType::kMediaOffer, 4},
        {MessageType::kMediaStream, 4},
        {MessageType::kMediaMode, 4},
        {MessageType::kMediaFrameUp, 4},
        {MessageType::kMediaFrameDown, 4},
        {static_cast<MessageType>(0x0502), 0},
        {static_cast<MessageType>(0x0583), 0},
        {static_cast<MessageType>(0x0207), 0},
        {static_cast<MessageType>(0x0404), 0},
        {static_cast<MessageType>(0x0000), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        EXPECT_EQ(voice::TypeVersion(c.type), c.since);
        for (std::uint16_t version = 1; version <= voice::kProtocolVersion; ++version) {
            EXPECT_EQ(voice::HasType(version, c.type), c.since != 0 && c.since <= version);
        }
    }
}

}  // namespace
}  // namespace qv::voicesvc
