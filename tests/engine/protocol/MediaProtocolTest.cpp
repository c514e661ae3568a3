#include <gtest/gtest.h>

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

// Every byte value, NUL included: keys and datagrams are binary.
std::string Binary(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        s[i] = static_cast<char>(i * 37);
    }
    return s;
}

// Decodes a frame's fields as T and encodes the result again; "undecodable" when it fails.
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

std::string EncodeOffer(const MediaOffer& m) {
    return Encode(m);
}
std::string EncodeStream(const MediaStream& m) {
    return Encode(m);
}
std::string EncodeMode(const MediaMode& m) {
    return Encode(m);
}

TEST(MediaProtocolTest, EachMediaTypeRoundTripsAndBelongsToVersionFour) {
    struct Case {
        const char* name;
        MessageType type;
        std::string frame;
        std::function<std::string(const std::string&)> again;
        std::string badFrame;  // one malformed variant
    };
    const std::vector<Case> cases = {
        {"MediaOffer", MessageType::kMediaOffer,
         Encode(MediaOffer{40000, 0xFEDCBA98, Binary(kMediaKeySize), Binary(kMediaTokenSize)}),
         Again(&EncodeOffer),
         // a key one byte short
         Encode(MediaOffer{40000, 1, Binary(kMediaKeySize - 1), Binary(kMediaTokenSize)})},
        {"MediaOffer without UDP", MessageType::kMediaOffer,
         Encode(MediaOffer{0, 1, Binary(kMediaKeySize), Binary(kMediaTokenSize)}),
         Again(&EncodeOffer),
         Encode(MediaOffer{0, 1, Binary(kMediaKeySize), Binary(kMediaTokenSize + 1)})},
        {"MediaStream", MessageType::kMediaStream,
         Encode(MediaStream{7, "4294967295", std::string(kMaxNickname, 'n')}), Again(&EncodeStream),
         Encode(MediaStream{7, "012", "Ann"})},
        {"MediaMode", MessageType::kMediaMode, Encode(MediaMode{1, 1}), Again(&EncodeMode),
         Encode(MediaMode{2, 0})},
        {"MediaFrameUp", MessageType::kMediaFrameUp,
         EncodeMediaFrameUp(MediaFrame{Binary(kMaxMediaDatagram)}), Again(&EncodeMediaFrameUp),
         EncodeMediaFrameUp(MediaFrame{Binary(kMaxMediaDatagram + 1)})},
        {"MediaFrameDown", MessageType::kMediaFrameDown,
         EncodeMediaFrameDown(MediaFrame{Binary(40)}), Again(&EncodeMediaFrameDown),
         EncodeMediaFrameDown(MediaFrame{""})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto read = Read(c.frame);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->type, c.type);
        EXPECT_EQ(c.again(c.frame), c.frame);
        EXPECT_EQ(TypeVersion(c.type), kMediaVersion);
        EXPECT_FALSE(HasType(kConferenceVersion, c.type));
        EXPECT_EQ(c.again(c.badFrame), "undecodable");
        // One byte more is not that frame any more.
        std::string longer = c.frame + "x";
        const std::uint32_t body = static_cast<std::uint32_t>(longer.size() - kFrameHeaderSize);
        for (int i = 0; i < 4; ++i) {
            longer[i] = static_cast<char>((body >> (8 * (3 - i))) & 0xFF);
        }
        EXPECT_EQ(c.again(longer), "undecodable");
    }
}

TEST(MediaProtocolTest, TheFieldsAreWhereTheDocumentSaysSo) {
    const std::string offer =
        Encode(MediaOffer{0x1234, 0x01020304, std::string(32, 'k'), std::string(16, 't')});
    // length, type, port, stream, 32-byte key and 16-byte token each after a 16-bit length
    EXPECT_EQ(offer.substr(0, 12), std::string("\0\0\0\x3c\x05\x81\x12\x34\x01\x02\x03\x04", 12));
    EXPECT_EQ(offer.size(), 4u + 2 + 2 + 4 + 2 + 32 + 2 + 16);
    EXPECT_EQ(Encode(MediaMode{1, 0}), std::string("\0\0\0\x04\x05\x01\x01\x00", 8));
    EXPECT_EQ(EncodeMediaFrameUp(MediaFrame{"ab"}), std::string("\0\0\0\x06\x06\x01\0\x02"
                                                                "ab",
                                                                10));
}

}  // namespace
}  // namespace qv::voice
