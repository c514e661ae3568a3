#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "VoiceProtocol.h"

namespace qv::voice {
namespace {

std::optional<Frame> Read(const std::string& bytes) {
    FrameReader reader;
    reader.Append(bytes.data(), bytes.size());
    Frame frame;
    if (reader.Next(frame) != FrameReader::Result::kFrame) {
        return std::nullopt;
    }
    return frame;
}

template <typename T>
std::function<std::string(const std::string&)> Again(std::string (*encode)(const T&)) {
    return [encode](const std::string& frame) -> std::string {
        const auto read = Read(frame);
        T m;
        if (!read || !Decode(read->fields, m)) {
            return "undecodable";
        }
        return encode(m);
    };
}

std::string EncodeJoin(const JoinGroup& m) {
    return Encode(m);
}
std::string EncodeListRequest(const GroupListRequest& m) {
    return Encode(m);
}
std::string EncodeRole(const SetMemberRole& m) {
    return Encode(m);
}
std::string EncodeDisband(const DisbandGroup& m) {
    return Encode(m);
}
std::string EncodeRename(const RenameGroup& m) {
    return Encode(m);
}
std::string EncodeJoined(const JoinedGroup& m) {
    return Encode(m);
}
std::string EncodeList(const GroupList& m) {
    return Encode(m);
}
std::string EncodeCanTalk(const CanTalk& m) {
    return Encode(m);
}

// A frame whose body is the given type and raw fields.
std::string RawFrame(MessageType type, const std::string& fields) {
    const std::uint32_t body = static_cast<std::uint32_t>(fields.size() + 2);
    std::string out;
    for (int i = 3; i >= 0; --i) {
        out.push_back(static_cast<char>((body >> (8 * i)) & 0xFF));
    }
    const auto t = static_cast<std::uint16_t>(type);
    out.push_back(static_cast<char>(t >> 8));
    out.push_back(static_cast<char>(t & 0xFF));
    return out + fields;
}

TEST(ForumProtocolTest, EachForumTypeRoundTripsAndBelongsToVersionFive) {
    struct Case {
        const char* name;
        MessageType type;
        std::string frame;
        std::function<std::string(const std::string&)> again;
        std::string badFrame;  // one malformed variant
    };
    const std::string longest(kMaxForumPath, 'p');
    const std::vector<Case> cases = {
        {"JoinGroup", MessageType::kJoinGroup,
         Encode(JoinGroup{7, "General/Test", std::string(kMaxForumPassword, 'w'), 15}),
         Again(&EncodeJoin), Encode(JoinGroup{7, longest + "p", "", 0})},
        // TAB, CR and LF are the server's refusal to make, with the path named: not malformed.
        {"JoinGroup odd path", MessageType::kJoinGroup, Encode(JoinGroup{1, "a\tb\r\n", "", -1}),
         Again(&EncodeJoin), Encode(JoinGroup{1, std::string("a\0b", 3), "", 0})},
        {"JoinGroup leave", MessageType::kJoinGroup, Encode(JoinGroup{0, "", "", 0}),
         Again(&EncodeJoin), Encode(JoinGroup{0, "", std::string(kMaxForumPassword + 1, 'w'), 0})},
        {"GroupListRequest", MessageType::kGroupListRequest, Encode(GroupListRequest{}),
         Again(&EncodeListRequest), RawFrame(MessageType::kGroupListRequest, "x")},
        {"BanMember", MessageType::kBanMember, EncodeBanMember(MemberOperation{"12\n34\n", 1}),
         Again(&EncodeBanMember), EncodeBanMember(MemberOperation{"12\n", 3})},
        {"SetMemberMicrophone", MessageType::kSetMemberMicrophone,
         EncodeSetMemberMicrophone(MemberOperation{"12\n", 2}), Again(&EncodeSetMemberMicrophone),
         EncodeSetMemberMicrophone(MemberOperation{"12\n", 0})},
        {"SetMemberRole", MessageType::kSetMemberRole, Encode(SetMemberRole{"12\n", 1, 2}),
         Again(&EncodeRole), Encode(SetMemberRole{"12\n", 2, 1})},
        {"DisbandGroup", MessageType::kDisbandGroup, Encode(DisbandGroup{}), Again(&EncodeDisband),
         RawFrame(MessageType::kDisbandGroup, std::string(1, '\0'))},
        {"RenameGroup", MessageType::kRenameGroup, Encode(RenameGroup{longest}),
         Again(&EncodeRename), Encode(RenameGroup{longest + "x"})},
        {"JoinedGroup", MessageType::kJoinedGroup, Encode(JoinedGroup{"General/Test"}),
         Again(&EncodeJoined), Encode(JoinedGroup{std::string("\0", 1)})},
        {"JoinedGroup left", MessageType::kJoinedGroup, Encode(JoinedGroup{""}),
         Again(&EncodeJoined), Encode(JoinedGroup{longest + "x"})},
        {"GroupList", MessageType::kGroupList,
         Encode(GroupList{1, "General/Friends\t12\tPM\nLobby\t0\t\n"}), Again(&EncodeList),
         // a piece ends with a whole line
         Encode(GroupList{0, "General/Friends\t12\tPM"})},
        {"GroupList empty", MessageType::kGroupList, Encode(GroupList{1, ""}), Again(&EncodeList),
         Encode(GroupList{2, ""})},
        {"GroupList longest", MessageType::kGroupList,
         Encode(GroupList{0, std::string(kMaxGroupListPiece - 1, 'a') + "\n"}), Again(&EncodeList),
         Encode(GroupList{0, std::string(kMaxGroupListPiece, 'a') + "\n"})},
        {"CanTalk", MessageType::kCanTalk, Encode(CanTalk{1}), Again(&EncodeCanTalk),
         Encode(CanTalk{2})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto read = Read(c.frame);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->type, c.type);
        EXPECT_EQ(c.again(c.frame), c.frame);
        EXPECT_EQ(TypeVersion(c.type), kForumVersion);
        // A session of an older version is never sent, and never accepts, a forum type.
        for (std::uint16_t version = 1; version < kForumVersion; ++version) {
            EXPECT_FALSE(HasType(version, c.type));
        }
        EXPECT_TRUE(HasType(kForumVersion, c.type));
        EXPECT_EQ(c.again(c.badFrame), "undecodable");
        std::string longer = c.frame + "x";
        const std::uint32_t body = static_cast<std::uint32_t>(longer.size() - kFrameHeaderSize);
        for (int i = 0; i < 4; ++i) {
            longer[i] = static_cast<char>((body >> (8 * (3 - i))) & 0xFF);
        }
        EXPECT_EQ(c.again(longer), "undecodable");
        // Cut anywhere (near the fields, for the longest piece), it is no frame of that type.
        const std::size_t cuts = std::min<std::size_t>(c.frame.size(), 64);
        for (std::size_t cut = kFrameHeaderSize + 2; cut < cuts; ++cut) {
            std::string shorter = c.frame.substr(0, cut);
            const std::uint32_t b = static_cast<std::uint32_t>(cut - kFrameHeaderSize);
            for (int i = 0; i < 4; ++i) {
                shorter[i] = static_cast<char>((b >> (8 * (3 - i))) & 0xFF);
            }
            if (c.again(shorter) != "undecodable") {
                ADD_FAILURE() << "decoded when cut at " << cut;
                break;
            }
        }
    }
}

TEST(ForumProtocolTest, TheFieldsAreWhereTheDocumentSaysSo) {
    EXPECT_EQ(Encode(JoinGroup{0x01020304, "ab", "c", 9}),
              std::string("\0\0\0\x11\x03\x01\x01\x02\x03\x04\0\x02"
                          "ab\0\x01"
                          "c\0\0\0\x09",
                          21));
    EXPECT_EQ(Encode(SetMemberRole{"5\n", 1, 2}), std::string("\0\0\0\x0a\x03\x05\0\x02"
                                                              "5\n\0\x01\0\x02",
                                                              14));
    EXPECT_EQ(Encode(GroupList{1, "a\t1\t\n"}), std::string("\0\0\0\x0a\x03\x82\x01\0\x05"
                                                            "a\t1\t\n",
                                                            14));
    EXPECT_EQ(Encode(CanTalk{1}), std::string("\0\0\0\x03\x03\x83\x01", 7));
    // The longest piece and its frame fit the largest frame body.
    EXPECT_LE(Encode(GroupList{0, std::string(kMaxGroupListPiece, 'a')}).size() - kFrameHeaderSize,
              kMaxFrameBody);
}

}  // namespace
}  // namespace qv::voice
