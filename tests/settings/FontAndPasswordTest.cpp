#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>

#include "settings/LogFont.h"
#include "settings/LoginKey.h"

namespace qv {
namespace {

using Bytes = std::array<std::uint8_t, LogFont::kSize>;

// ---------------------------------------------------------------------------------------------
// Stored password form

TEST(PasswordForm, KnownWord) {
    // p+5 a+6 s+7 s+8 w+9 o+10 r+11 d+12, then the offsets start again at 5.
    EXPECT_EQ(login_key::EncodePassword("password"), "ugz{\x80y}p");
    EXPECT_EQ(login_key::EncodePassword("aaaaaaaaaa"), "fghijklmfg");
    EXPECT_EQ(login_key::DecodePassword("ugz{\x80y}p"), "password");
    EXPECT_EQ(login_key::EncodePassword(""), "");
    EXPECT_EQ(login_key::DecodePassword(""), "");
}

TEST(PasswordForm, WrapsPast255) {
    EXPECT_EQ(login_key::EncodePassword("\xFF"), "\x04");
    EXPECT_EQ(login_key::EncodePassword(std::string("\xFB", 1)), std::string("\x00", 1));
    EXPECT_EQ(login_key::EncodePassword("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"),
              "\x04\x05\x06\x07\x08\x09\x0A\x0B");
    EXPECT_EQ(login_key::DecodePassword("\x04"), "\xFF");
    EXPECT_EQ(login_key::DecodePassword(std::string("\x00\x00", 2)), "\xFB\xFA");
}

// Every byte value at every position of the eight-step cycle.
std::string EveryByteAtEveryOffset() {
    std::string s;
    for (int shift = 0; shift < 8; ++shift) {
        for (int b = 0; b < 256; ++b) {
            s += static_cast<char>(b);
        }
        s += std::string(static_cast<std::size_t>(shift + 1), 'x');
    }
    return s;
}

TEST(PasswordForm, EachByteMovesByFivePlusItsPositionModEight) {
    const std::string typed = EveryByteAtEveryOffset();
    const std::string stored = login_key::EncodePassword(typed);
    ASSERT_EQ(stored.size(), typed.size());
    for (std::size_t i = 0; i < typed.size(); ++i) {
        const auto diff = static_cast<std::uint8_t>(static_cast<unsigned char>(stored[i]) -
                                                    static_cast<unsigned char>(typed[i]));
        ASSERT_EQ(diff, 5 + i % 8) << "at " << i;
    }
}

TEST(PasswordForm, DecodeInvertsEncodeForEveryByte) {
    const std::string s = EveryByteAtEveryOffset();
    EXPECT_EQ(login_key::DecodePassword(login_key::EncodePassword(s)), s);
    EXPECT_EQ(login_key::EncodePassword(login_key::DecodePassword(s)), s);
}

// ---------------------------------------------------------------------------------------------
// Font record

LogFont Sample() {
    LogFont f;
    f.height = -11;
    f.width = 0x01020304;
    f.escapement = 900;
    f.orientation = -1;
    f.weight = 700;
    f.italic = 1;
    f.underline = 2;
    f.strikeOut = 3;
    f.charSet = 0xEE;
    f.outPrecision = 4;
    f.clipPrecision = 5;
    f.quality = 6;
    f.pitchAndFamily = 0x42;
    f.faceName = "Comic Sans MS";
    return f;
}

TEST(LogFontRecord, LayoutIsLittleEndianNumbersThenFlagsThenFace) {
    const Bytes b = Sample().ToBytes();
    Bytes expected{};
    const std::uint8_t head[28] = {
        0xF5, 0xFF, 0xFF, 0xFF,  // height -11
        0x04, 0x03, 0x02, 0x01,  // width
        0x84, 0x03, 0x00, 0x00,  // escapement 900
        0xFF, 0xFF, 0xFF, 0xFF,  // orientation -1
        0xBC, 0x02, 0x00, 0x00,  // weight 700
        1,    2,    3,    0xEE, 4, 5, 6, 0x42,
    };
    std::memcpy(expected.data(), head, sizeof head);
    std::memcpy(expected.data() + 28, "Comic Sans MS", 13);
    EXPECT_EQ(b, expected);
}

TEST(LogFontRecord, RoundTrips) {
    const LogFont f = Sample();
    EXPECT_EQ(LogFont::FromBytes(f.ToBytes()), f);

    LogFont empty;
    EXPECT_EQ(LogFont::FromBytes(empty.ToBytes()), empty);
    EXPECT_EQ(empty.ToBytes(), Bytes{});
}

TEST(LogFontRecord, FaceIsZeroPaddedAndKeepsAtMost31Bytes) {
    LogFont f;
    f.faceName = std::string(40, 'F');
    const Bytes b = f.ToBytes();
    for (std::size_t i = 28; i < 28 + 31; ++i) {
        ASSERT_EQ(b[i], 'F') << i;
    }
    EXPECT_EQ(b[59], 0);
    EXPECT_EQ(LogFont::FromBytes(b).faceName, std::string(31, 'F'));

    f.faceName = "Arial";
    const Bytes shortFace = f.ToBytes();
    for (std::size_t i = 28 + 5; i < LogFont::kSize; ++i) {
        ASSERT_EQ(shortFace[i], 0) << i;
    }
}

TEST(LogFontRecord, FaceEndsAtItsFirstZero) {
    Bytes b = Sample().ToBytes();
    b[28 + 5] = 0;  // "Comic"
    EXPECT_EQ(LogFont::FromBytes(b).faceName, "Comic");
}

TEST(LogFontRecord, DamagedFaceWithoutZeroStaysInsideTheField) {
    // Bytes right behind the record: a read past the face field would pick them up.
    struct {
        Bytes record;
        char behind[16];
    } memory;
    memory.record = Sample().ToBytes();
    for (std::size_t i = 28; i < LogFont::kSize; ++i) {
        memory.record[i] = 'Z';
    }
    std::memset(memory.behind, 'X', sizeof memory.behind);

    const LogFont f = LogFont::FromBytes(memory.record);
    EXPECT_LE(f.faceName.size(), LogFont::kFaceSize - 1);
    EXPECT_EQ(f.faceName.find_first_not_of('Z'), std::string::npos) << f.faceName;
    EXPECT_EQ(f.height, -11);
    EXPECT_EQ(f.pitchAndFamily, 0x42);
}

struct DefaultCase {
    const char* name;
    LogFont font;
    std::int32_t height;
    const char* face;
    std::uint8_t out;
    std::uint8_t clip;
    std::uint8_t quality;
    std::uint8_t pitch;
};

void PrintTo(const DefaultCase& c, std::ostream* os) {
    *os << c.name;
}

class BuiltInFont : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(BuiltInFont, HasItsValues) {
    const DefaultCase& c = GetParam();
    const LogFont& f = c.font;
    EXPECT_EQ(f.height, c.height);
    EXPECT_EQ(f.width, 0);
    EXPECT_EQ(f.escapement, 0);
    EXPECT_EQ(f.orientation, 0);
    EXPECT_EQ(f.weight, 400);
    EXPECT_EQ(f.italic, 0);
    EXPECT_EQ(f.underline, 0);
    EXPECT_EQ(f.strikeOut, 0);
    EXPECT_EQ(f.charSet, 0);
    EXPECT_EQ(f.outPrecision, c.out);
    EXPECT_EQ(f.clipPrecision, c.clip);
    EXPECT_EQ(f.quality, c.quality);
    EXPECT_EQ(f.pitchAndFamily, c.pitch);
    EXPECT_EQ(f.faceName, c.face);
}

INSTANTIATE_TEST_SUITE_P(
    Fonts, BuiltInFont,
    ::testing::Values(DefaultCase{"ListWithComicSans", LogFont::DefaultListFont(true), -11,
                                  "Comic Sans MS", 3, 2, 1, 0x42},
                      DefaultCase{"ListWithoutComicSans", LogFont::DefaultListFont(false), -11,
                                  "MS Sans Serif", 1, 2, 1, 0x22},
                      DefaultCase{"Chat", LogFont::DefaultChatFont(), -13, "MS Sans Serif", 1, 2, 1,
                                  0x22}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv
