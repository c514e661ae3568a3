#include "settings/RegistryKey.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "platform/Registry.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

using ::testing::ElementsAre;

constexpr const char* kLoginPath = "Software\\Velmora\\Quorvane\\Login";

class RegistryKeyTest : public ::testing::Test {
  protected:
    std::string Folder() const { return dir_.File("registry/"); }
    // A new Registry on the same folder: what the next run of the program sees.
    void Restart() {
        registry_.reset();
        registry_ = std::make_unique<Registry>(Folder());
    }

    test::TempFolder dir_;
    std::unique_ptr<Registry> registry_ = std::make_unique<Registry>(Folder());
};

TEST_F(RegistryKeyTest, OpenProductCreatesTheKeyUnderTheCurrentUser) {
    RegistryKey key(*registry_);
    EXPECT_FALSE(key.IsOpen());
    ASSERT_TRUE(key.OpenProduct("Login"));
    EXPECT_TRUE(key.IsOpen());
    EXPECT_EQ(key.Root(), Hive::CurrentUser);
    EXPECT_TRUE(registry_->KeyExists(Hive::CurrentUser, kLoginPath));
    EXPECT_FALSE(registry_->KeyExists(Hive::LocalMachine, kLoginPath));

    ASSERT_TRUE(key.SetString("NickName", "rover"));
    auto stored = registry_->GetValue(Hive::CurrentUser, kLoginPath, "NickName");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, RegistryValue::String("rover"));
}

TEST_F(RegistryKeyTest, OpenProductOpensAnExistingKeyWithItsValues) {
    ASSERT_TRUE(registry_->CreateKey(Hive::CurrentUser, kLoginPath));
    ASSERT_TRUE(
        registry_->SetValue(Hive::CurrentUser, kLoginPath, "QuorvaneID", RegistryValue::Dword(42)));
    RegistryKey key(*registry_);
    ASSERT_TRUE(key.OpenProduct("Login"));
    std::uint32_t id = 0;
    ASSERT_TRUE(key.GetDword("QuorvaneID", id));
    EXPECT_EQ(id, 42u);
}

TEST_F(RegistryKeyTest, OpenProductSwitchesToTheNewSubkey) {
    RegistryKey key(*registry_);
    ASSERT_TRUE(key.OpenProduct("Login"));
    ASSERT_TRUE(key.OpenProduct("Window"));
    ASSERT_TRUE(key.SetDword("Left", 10));
    EXPECT_TRUE(
        registry_->GetValue(Hive::CurrentUser, "Software\\Velmora\\Quorvane\\Window", "Left")
            .has_value());
    EXPECT_FALSE(registry_->GetValue(Hive::CurrentUser, kLoginPath, "Left").has_value());
}

TEST_F(RegistryKeyTest, OpenFailsForAMissingKeyAndCreateMakesIt) {
    RegistryKey key(*registry_);
    EXPECT_FALSE(key.Open(Hive::LocalMachine, "Software\\Nowhere"));
    EXPECT_FALSE(key.IsOpen());
    EXPECT_FALSE(registry_->KeyExists(Hive::LocalMachine, "Software\\Nowhere"));

    ASSERT_TRUE(key.Create(Hive::LocalMachine, "Software\\Nowhere"));
    EXPECT_EQ(key.Root(), Hive::LocalMachine);
    EXPECT_TRUE(registry_->KeyExists(Hive::LocalMachine, "Software\\Nowhere"));

    RegistryKey again(*registry_);
    EXPECT_TRUE(again.Open(Hive::LocalMachine, "Software\\Nowhere"));
}

TEST_F(RegistryKeyTest, ClosedKeyDoesNothing) {
    RegistryKey key(*registry_);
    ASSERT_TRUE(key.OpenProduct("Login"));
    ASSERT_TRUE(key.SetDword("Flags", 1));
    key.Close();
    EXPECT_FALSE(key.IsOpen());

    std::uint32_t dword = 7;
    std::string text = "unchanged";
    EXPECT_FALSE(key.GetDword("Flags", dword));
    EXPECT_FALSE(key.GetString("Flags", text));
    EXPECT_FALSE(key.GetBinary("Flags", text));
    EXPECT_FALSE(key.HasValue("Flags"));
    EXPECT_FALSE(key.SetDword("Other", 2));
    EXPECT_FALSE(key.SetString("Other", "x"));
    EXPECT_FALSE(key.SetBinary("Other", "x"));
    EXPECT_FALSE(key.DeleteValue("Flags"));
    EXPECT_EQ(dword, 7u);
    EXPECT_EQ(text, "unchanged");
    EXPECT_THAT(registry_->ValueNames(Hive::CurrentUser, kLoginPath), ElementsAre("Flags"));
}

// ---------------------------------------------------------------------------------------------
// Typed reads

struct TypeCase {
    const char* name;
    RegistryValue stored;
    bool dword;
    bool string;
    bool binary;
};

void PrintTo(const TypeCase& c, std::ostream* os) {
    *os << c.name;
}

class TypedRead : public RegistryKeyTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(TypedRead, SucceedsOnlyForItsOwnType) {
    const TypeCase& c = GetParam();
    RegistryKey key(*registry_);
    ASSERT_TRUE(key.OpenProduct("Login"));
    ASSERT_TRUE(registry_->SetValue(Hive::CurrentUser, kLoginPath, "Value", c.stored));

    std::uint32_t dword = 0;
    std::string text;
    std::string bytes;
    ASSERT_EQ(key.GetDword("Value", dword), c.dword);
    ASSERT_EQ(key.GetString("Value", text), c.string);
    ASSERT_EQ(key.GetBinary("Value", bytes), c.binary);
    if (c.dword) {
        EXPECT_EQ(dword, c.stored.dword);
    }
    if (c.string) {
        EXPECT_EQ(text, c.stored.data);
    }
    if (c.binary) {
        EXPECT_EQ(bytes, c.stored.data);
    }
    EXPECT_TRUE(key.HasValue("Value"));
}

INSTANTIATE_TEST_SUITE_P(
    Types, TypedRead,
    ::testing::Values(TypeCase{"Dword", RegistryValue::Dword(0xDEADBEEF), true, false, false},
                      TypeCase{"ZeroDword", RegistryValue::Dword(0), true, false, false},
                      TypeCase{"String", RegistryValue::String("rover"), false, true, false},
                      TypeCase{"EmptyString", RegistryValue::String(""), false, true, false},
                      TypeCase{"Binary", RegistryValue::Binary(std::string("\x01\x00\xFF", 3)),
                               false, false, true},
                      TypeCase{"FourByteBinary",
                               RegistryValue::Binary(std::string("\x01\x00\x00\x00", 4)), false,
                               false, true},
                      TypeCase{"DigitString", RegistryValue::String("12"), false, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryKeyTest, MissingValueReadsAsNothing) {
    RegistryKey key(*registry_);
    ASSERT_TRUE(key.OpenProduct("Login"));
    std::uint32_t dword = 3;
    std::string text = "kept";
    EXPECT_FALSE(key.GetDword("Absent", dword));
    EXPECT_FALSE(key.GetString("Absent", text));
    EXPECT_FALSE(key.HasValue("Absent"));
}

TEST_F(RegistryKeyTest, StringsUpTo2047BytesRead) {
    RegistryKey key(*registry_);
    ASSERT_TRUE(key.OpenProduct("Login"));
    for (std::size_t size :
         {std::size_t{0}, std::size_t{255}, std::size_t{2046}, std::size_t{2047}}) {
        SCOPED_TRACE(size);
        const std::string stored(size, 'q');
        ASSERT_TRUE(key.SetString("Comment", stored));
        std::string text = "before";
        ASSERT_TRUE(key.GetString("Comment", text));
        EXPECT_EQ(text, stored);
    }
}

TEST_F(RegistryKeyTest, StringsOf2048BytesOrMoreDoNotRead) {
    RegistryKey key(*registry_);
    ASSERT_TRUE(key.OpenProduct("Login"));
    for (std::size_t size : {std::size_t{2048}, std::size_t{2049}, std::size_t{10000}}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(key.SetString("Comment", std::string(size, 'q')));
        EXPECT_TRUE(key.HasValue("Comment"));
        std::string text = "before";
        EXPECT_FALSE(key.GetString("Comment", text));
        EXPECT_EQ(text, "before");
    }
}

TEST_F(RegistryKeyTest, ValueNamesIgnoreCase) {
    RegistryKey key(*registry_);
    ASSERT_TRUE(key.OpenProduct("Login"));
    ASSERT_TRUE(key.SetString("NickName", "first"));
    std::string text;
    ASSERT_TRUE(key.GetString("Nickname", text));
    EXPECT_EQ(text, "first");

    ASSERT_TRUE(key.SetString("NICKNAME", "second"));
    ASSERT_TRUE(key.GetString("NickName", text));
    EXPECT_EQ(text, "second");
    EXPECT_TRUE(key.HasValue("nickname"));
    // Still one value, under the name it was created with.
    EXPECT_THAT(registry_->ValueNames(Hive::CurrentUser, kLoginPath), ElementsAre("NickName"));

    EXPECT_TRUE(key.DeleteValue("nICKnAME"));
    EXPECT_FALSE(key.HasValue("NickName"));
}

TEST_F(RegistryKeyTest, DeleteValueReportsWhetherItExisted) {
    RegistryKey key(*registry_);
    ASSERT_TRUE(key.OpenProduct("Login"));
    ASSERT_TRUE(key.SetDword("GlobalFlags", 1));
    EXPECT_TRUE(key.DeleteValue("GlobalFlags"));
    EXPECT_FALSE(key.HasValue("GlobalFlags"));
    EXPECT_FALSE(key.DeleteValue("GlobalFlags"));
}

TEST_F(RegistryKeyTest, DeleteKeyRemovesALeafKey) {
    RegistryKey key(*registry_);
    ASSERT_TRUE(key.OpenProduct("Login"));
    key.Close();
    EXPECT_TRUE(RegistryKey::DeleteKey(*registry_, Hive::CurrentUser, kLoginPath));
    EXPECT_FALSE(registry_->KeyExists(Hive::CurrentUser, kLoginPath));
    EXPECT_FALSE(key.Open(Hive::CurrentUser, kLoginPath));
}

TEST_F(RegistryKeyTest, ValuesSurviveARestart) {
    {
        RegistryKey key(*registry_);
        ASSERT_TRUE(key.OpenProduct("Login"));
        ASSERT_TRUE(key.SetDword("QuorvaneID", 123456));
        ASSERT_TRUE(key.SetString("NickName", "rover"));
        ASSERT_TRUE(key.SetBinary("Password", std::string("\x05\x06\x00\xFF", 4)));
    }
    Restart();

    RegistryKey key(*registry_);
    ASSERT_TRUE(key.Open(Hive::CurrentUser, kLoginPath));
    std::uint32_t id = 0;
    std::string nick;
    std::string password;
    ASSERT_TRUE(key.GetDword("quorvaneid", id));
    ASSERT_TRUE(key.GetString("Nickname", nick));
    ASSERT_TRUE(key.GetBinary("PASSWORD", password));
    EXPECT_EQ(id, 123456u);
    EXPECT_EQ(nick, "rover");
    EXPECT_EQ(password, std::string("\x05\x06\x00\xFF", 4));
}

TEST_F(RegistryKeyTest, KeyCreatedWithoutValuesSurvivesARestart) {
    {
        RegistryKey key(*registry_);
        ASSERT_TRUE(key.OpenProduct("Login"));
    }
    Restart();
    RegistryKey key(*registry_);
    EXPECT_TRUE(key.Open(Hive::CurrentUser, kLoginPath));
}

}  // namespace
}  // namespace qv
