#include "settings/IniFile.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>

#include "support/TempFolder.h"

namespace qv {
namespace {

constexpr const char* kMissing = "<missing>";

// ---------------------------------------------------------------------------------------------
// No path: the user file before anyone logged in

TEST(IniFileWithoutPath, ReadsGiveTheDefaults) {
    const IniFile file;
    EXPECT_EQ(file.GetString("Options", "EmailAddress", "someone@example.com"),
              "someone@example.com");
    EXPECT_EQ(file.GetString("Options", "EmailAddress"), "");
    EXPECT_EQ(file.GetInt("Options", "Squelch", 9), 9);
    EXPECT_EQ(file.GetInt("Options", "Squelch", -77), -77);
    EXPECT_FALSE(file.Exists());
}

TEST(IniFileWithoutPath, DefaultIsCutLikeAStoredValue) {
    const IniFile file;
    const std::string longText(400, 'd');
    EXPECT_EQ(file.GetString("Options", "LumivexHomeURL", longText), std::string(255, 'd'));
}

TEST(IniFileWithoutPath, WritesFail) {
    IniFile file;
    const std::array<std::uint8_t, 4> bytes = {1, 2, 3, 4};
    EXPECT_FALSE(file.WriteString("Options", "Key", "text"));
    EXPECT_FALSE(file.WriteInt("Options", "Key", 5));
    EXPECT_FALSE(file.DeleteKey("Options", "Key"));
    EXPECT_FALSE(file.DeleteSection("Options"));
    EXPECT_FALSE(file.WriteStruct("Options", "Key", bytes.data(), bytes.size()));
    EXPECT_FALSE(file.DeleteFile());
    // Nothing was remembered anywhere either.
    EXPECT_EQ(file.GetString("Options", "Key", kMissing), kMissing);
}

TEST(IniFileWithoutPath, StructReadFailsAndLeavesTheBuffer) {
    const IniFile file;
    std::array<std::uint8_t, 8> buffer;
    buffer.fill(0xAB);
    EXPECT_FALSE(file.GetStruct("Options", "ListFont", buffer.data(), buffer.size()));
    for (std::uint8_t b : buffer) {
        EXPECT_EQ(b, 0xAB);
    }
}

TEST(IniFileWithoutPath, ClearingThePathHidesTheFile) {
    test::TempFolder dir;
    IniFile file(dir.File("Options.ini"));
    ASSERT_TRUE(file.WriteInt("Options", "Squelch", 3));
    file.SetPath("");
    EXPECT_EQ(file.GetInt("Options", "Squelch", 9), 9);
    EXPECT_FALSE(file.Exists());
    EXPECT_FALSE(file.WriteInt("Options", "Squelch", 4));

    file.SetPath(dir.File("Options.ini"));
    EXPECT_EQ(file.GetInt("Options", "Squelch", 9), 3);
}

// ---------------------------------------------------------------------------------------------
// A real file

class IniFileOnDisk : public ::testing::Test {
  protected:
    test::TempFolder dir_;
    IniFile file_{dir_.File("settings.ini")};
};

TEST_F(IniFileOnDisk, MissingFileGivesDefaults) {
    EXPECT_FALSE(file_.Exists());
    EXPECT_EQ(file_.GetString("Options", "Key", "def"), "def");
    EXPECT_EQ(file_.GetInt("Options", "Key", 12), 12);
}

TEST_F(IniFileOnDisk, StringsRoundTrip) {
    ASSERT_TRUE(file_.WriteString("Options", "EmailAddress", "me@example.com"));
    EXPECT_TRUE(file_.Exists());
    EXPECT_EQ(file_.GetString("Options", "EmailAddress"), "me@example.com");
    EXPECT_EQ(file_.GetString("Internal", "EmailAddress", kMissing), kMissing);
}

struct IntCase {
    std::int32_t value;
    const char* text;
};

void PrintTo(const IntCase& c, std::ostream* os) {
    *os << c.text;
}

class WriteIntText : public IniFileOnDisk, public ::testing::WithParamInterface<IntCase> {};

TEST_P(WriteIntText, IsSignedDecimal) {
    const IntCase& c = GetParam();
    ASSERT_TRUE(file_.WriteInt("Options", "Value", c.value));
    EXPECT_EQ(file_.GetString("Options", "Value"), c.text);
    EXPECT_EQ(file_.GetInt("Options", "Value", 12345), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Values, WriteIntText,
    ::testing::Values(IntCase{0, "0"}, IntCase{1, "1"}, IntCase{-1, "-1"}, IntCase{9, "9"},
                      IntCase{65536, "65536"}, IntCase{0x40000DC, "67109084"},
                      IntCase{std::numeric_limits<std::int32_t>::max(), "2147483647"},
                      IntCase{std::numeric_limits<std::int32_t>::min(), "-2147483648"}));

TEST_F(IniFileOnDisk, WriteIntReplacesTheOldValue) {
    ASSERT_TRUE(file_.WriteInt("Options", "Squelch", 3));
    ASSERT_TRUE(file_.WriteInt("Options", "Squelch", -4));
    EXPECT_EQ(file_.GetInt("Options", "Squelch", 9), -4);
}

TEST_F(IniFileOnDisk, GetStringIsCutTo255Characters) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += static_cast<char>('a' + i % 26);
    }
    ASSERT_TRUE(file_.WriteString("Options", "Long", text));
    EXPECT_EQ(file_.GetString("Options", "Long"), text.substr(0, 255));

    ASSERT_TRUE(file_.WriteString("Options", "Exact", text.substr(0, 255)));
    EXPECT_EQ(file_.GetString("Options", "Exact"), text.substr(0, 255));

    EXPECT_EQ(file_.GetString("Options", "Absent", text), text.substr(0, 255));
}

TEST_F(IniFileOnDisk, DeleteKeyAndSection) {
    ASSERT_TRUE(file_.WriteInt("Options", "A", 1));
    ASSERT_TRUE(file_.WriteInt("Options", "B", 2));
    ASSERT_TRUE(file_.WriteInt("Internal", "C", 3));

    EXPECT_TRUE(file_.DeleteKey("Options", "A"));
    EXPECT_EQ(file_.GetString("Options", "A", kMissing), kMissing);
    EXPECT_EQ(file_.GetInt("Options", "B", 0), 2);

    EXPECT_TRUE(file_.DeleteSection("Options"));
    EXPECT_EQ(file_.GetString("Options", "B", kMissing), kMissing);
    EXPECT_EQ(file_.GetInt("Internal", "C", 0), 3);
}

TEST_F(IniFileOnDisk, DeleteFileRemovesIt) {
    ASSERT_TRUE(file_.WriteInt("Options", "A", 1));
    ASSERT_TRUE(file_.Exists());
    EXPECT_TRUE(file_.DeleteFile());
    EXPECT_FALSE(file_.Exists());
    EXPECT_EQ(file_.GetInt("Options", "A", 7), 7);
    // Already gone counts as done.
    EXPECT_TRUE(file_.DeleteFile());
}

// ---------------------------------------------------------------------------------------------
// Structures

std::array<std::uint8_t, 60> Pattern() {
    std::array<std::uint8_t, 60> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    return bytes;
}

TEST_F(IniFileOnDisk, StructRoundTrips) {
    const auto bytes = Pattern();
    ASSERT_TRUE(file_.WriteStruct("Options", "ListFont", bytes.data(), bytes.size()));
    std::array<std::uint8_t, 60> back{};
    ASSERT_TRUE(file_.GetStruct("Options", "ListFont", back.data(), back.size()));
    EXPECT_EQ(back, bytes);
}

TEST_F(IniFileOnDisk, StructOfAnotherSizeFailsAndLeavesTheBuffer) {
    const auto bytes = Pattern();
    ASSERT_TRUE(file_.WriteStruct("Options", "ListFont", bytes.data(), bytes.size()));
    for (std::size_t size : {std::size_t{1}, std::size_t{59}, std::size_t{61}, std::size_t{100}}) {
        SCOPED_TRACE(size);
        std::array<std::uint8_t, 100> buffer;
        buffer.fill(0xAB);
        EXPECT_FALSE(file_.GetStruct("Options", "ListFont", buffer.data(), size));
        for (std::uint8_t b : buffer) {
            ASSERT_EQ(b, 0xAB);
        }
    }
}

TEST_F(IniFileOnDisk, StructWithBadChecksumFailsAndLeavesTheBuffer) {
    const auto bytes = Pattern();
    ASSERT_TRUE(file_.WriteStruct("Options", "ListFont", bytes.data(), bytes.size()));
    // Change one data digit: the stored checksum no longer fits.
    std::string text = file_.GetString("Options", "ListFont");
    ASSERT_FALSE(text.empty());
    text[0] = text[0] == '0' ? '1' : '0';
    ASSERT_TRUE(file_.WriteString("Options", "ListFont", text));

    std::array<std::uint8_t, 60> buffer;
    buffer.fill(0xAB);
    EXPECT_FALSE(file_.GetStruct("Options", "ListFont", buffer.data(), buffer.size()));
    for (std::uint8_t b : buffer) {
        EXPECT_EQ(b, 0xAB);
    }
}

TEST_F(IniFileOnDisk, MissingStructFails) {
    std::array<std::uint8_t, 4> buffer = {9, 9, 9, 9};
    EXPECT_FALSE(file_.GetStruct("Options", "ListFont", buffer.data(), buffer.size()));
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{9, 9, 9, 9}));
}

}  // namespace
}  // namespace qv
