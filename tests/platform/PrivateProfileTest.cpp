#include "platform/PrivateProfile.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace qv::profile {
namespace {

using namespace std::string_literals;

constexpr const char* kDefault = "<default>";

class ProfileFile : public ::testing::Test {
  protected:
    // Writes the file's bytes and returns its path.
    std::string Put(const std::string& bytes) const { return dir_.Write(kName, bytes); }
    std::string Bytes() const { return dir_.Read(kName); }
    std::string Path() const { return dir_.File(kName); }
    // Everything in the folder, so stray temporary files show up.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    static constexpr const char* kName = "settings.ini";
    test::TempFolder dir_;
};

// ---------------------------------------------------------------------------------------------
// Reading rules

struct ReadCase {
    const char* name;
    std::string content;
    std::string section;
    std::string key;
    std::string expected;
};

class ReadRules : public ProfileFile, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadRules, GetStringFindsTheExpectedValue) {
    const ReadCase& c = GetParam();
    std::string path = Put(c.content);
    EXPECT_EQ(GetString(path, c.section, c.key, kDefault), c.expected);
    EXPECT_EQ(Bytes(), c.content);
}

const ReadCase kReadCases[] = {
    {"Plain", "[a]\nk=v\n", "a", "k", "v"},
    {"SectionIgnoresCase", "[Audio]\nk=v\n", "aUDIO", "k", "v"},
    {"KeyIgnoresCase", "[a]\nVolume=7\n", "a", "VOLUME", "7"},
    {"BlanksAroundNamesInFile", "  [ \tAudio  ]  \n \t Key\t = v\n", "audio", "key", "v"},
    {"BlanksAroundNamesInCall", "[Audio]\nKey=v\n", " \tAudio ", "  Key\t", "v"},
    {"BlanksAroundValueTrimmed", "[a]\nk= \t v w \t \n", "a", "k", "v w"},
    {"DoubleQuotesStripped", "[a]\nk=\"  quoted \"\n", "a", "k", "  quoted "},
    {"SingleQuotesStripped", "[a]\nk='x y'\n", "a", "k", "x y"},
    {"QuotesInsideBlanksStripped", "[a]\nk=  \"x\"  \n", "a", "k", "x"},
    {"OnlyOuterPairStripped", "[a]\nk=\"a\"b\"\n", "a", "k", "a\"b"},
    {"MismatchedQuotesKept", "[a]\nk=\"x'\n", "a", "k", "\"x'"},
    {"OpeningQuoteOnlyKept", "[a]\nk=\"x\n", "a", "k", "\"x"},
    {"LoneQuoteKept", "[a]\nk=\"\n", "a", "k", "\""},
    {"EmptyQuotesGiveEmpty", "[a]\nk=''\n", "a", "k", ""},
    {"EmptyValueIsNotMissing", "[a]\nk=\n", "a", "k", ""},
    {"SplitAtFirstEquals", "[a]\nk = a=b\n", "a", "k", "a=b"},
    {"KeyWithInnerBlank", "[a]\nmy key=1\n", "a", "my key", "1"},
    {"MissingSection", "[a]\nk=v\n", "b", "k", kDefault},
    {"MissingKey", "[a]\nk=v\n", "a", "j", kDefault},
    {"EmptyFile", "", "a", "k", kDefault},
    {"KeyOfNextSectionNotSeen", "[a]\nx=1\n[b]\nk=2\n", "a", "k", kDefault},
    {"KeyBeforeAnyHeaderNotSeen", "k=1\n[a]\nx=2\n", "a", "k", kDefault},
    {"CommentNeverMatches", "[a]\n;k=1\n", "a", ";k", kDefault},
    {"IndentedCommentNeverMatches", "[a]\n \t;k=1\n", "a", ";k", kDefault},
    {"CommentedKeyIsNotTheKey", "[a]\n;k=1\n", "a", "k", kDefault},
    {"LineWithoutEqualsNeverMatches", "[a]\nk\n", "a", "k", kDefault},
    {"FirstKeyWins", "[a]\nk=1\nK=2\n", "a", "k", "1"},
    {"FirstSectionWins", "[a]\nk=1\n[A]\nk=2\nj=3\n", "a", "j", kDefault},
    {"FirstSectionValue", "[a]\nk=1\n[A]\nk=2\n", "A", "k", "1"},
    {"TextAfterHeaderIgnored", "[a] ; note [b]\nk=1\n", "a", "k", "1"},
    {"HeaderEndsAtFirstBracket", "[a]b]\nk=1\n", "a", "k", "1"},
    {"EmptySectionName", "[]\nk=1\n", "", "k", "1"},
    {"CrLfFile", "[a]\r\nk=1\r\nj=2\r\n", "a", "j", "2"},
    {"CrFile", "[a]\rk=1\rj=2\r", "a", "j", "2"},
    {"MixedLineEnds", "[a]\r\nk=1\nj=2\rm=3\r\n", "a", "m", "3"},
    {"CrLfNotPartOfValue", "[a]\r\nk=v\r\n", "a", "k", "v"},
    {"LastLineWithoutEnd", "[a]\nk=last", "a", "k", "last"},
    {"BlankLinesInsideSection", "[a]\n\n  \nk=1\n", "a", "k", "1"},
    {"NulBytesAreBytes", "[a]\nk=x\0y\n"s, "a", "k", "x\0y"s},
    {"NonAsciiNotFolded", "[\xC4]\nk=1\n", "\xE4", "k", kDefault},
    {"NonAsciiMatchesItself", "[\xC4]\nk=1\n", "\xC4", "k", "1"},
    {"BracketWithoutCloseIsNoHeader", "[a]\n[b\nk=1\n", "a", "k", "1"},
};

INSTANTIATE_TEST_SUITE_P(Table, ReadRules, ::testing::ValuesIn(kReadCases),
                         [](const ::testing::TestParamInfo<ReadCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ProfileFile, MissingFileGivesDefault) {
    EXPECT_EQ(GetString(Path(), "a", "k", "fallback"), "fallback");
    EXPECT_TRUE(Entries().empty());
}

TEST_F(ProfileFile, ValueIsCutToTheBuffer) {
    std::string longValue(300, 'x');
    longValue.back() = 'z';
    std::string path = Put("[a]\nk=" + longValue + "\n");
    EXPECT_EQ(GetString(path, "a", "k", ""), std::string(255, 'x'));
    EXPECT_EQ(GetString(path, "a", "k", "", 301), longValue);
    EXPECT_EQ(GetString(path, "a", "k", "", 300), longValue.substr(0, 299));
    EXPECT_EQ(GetString(path, "a", "k", "", 4), "xxx");
    EXPECT_EQ(GetString(path, "a", "k", "", 1), "");
    EXPECT_EQ(GetString(path, "a", "k", "", 0), "");
}

TEST_F(ProfileFile, QuotesAreStrippedBeforeTheCut) {
    std::string path = Put("[a]\nk=\"abcdef\"\n");
    EXPECT_EQ(GetString(path, "a", "k", "", 4), "abc");
}

TEST_F(ProfileFile, DefaultIsCutToTheBuffer) {
    std::string path = Put("[a]\n");
    EXPECT_EQ(GetString(path, "a", "k", "abcdef", 4), "abc");
    EXPECT_EQ(GetString(Path() + ".missing", "a", "k", std::string(400, 'd')),
              std::string(255, 'd'));
}

TEST_F(ProfileFile, EveryReadSeesTheFileAsItIsNow) {
    std::string path = Put("[a]\nk=1\n");
    EXPECT_EQ(GetString(path, "a", "k", ""), "1");
    Put("[a]\nk=2\n");
    EXPECT_EQ(GetString(path, "a", "k", ""), "2");
    std::filesystem::remove(path);
    EXPECT_EQ(GetString(path, "a", "k", "gone"), "gone");
}

// ---------------------------------------------------------------------------------------------
// The integer rule

struct IntCase {
    const char* text;
    std::int32_t expected;
};

TEST(ProfileParseInt, Table) {
    const IntCase cases[] = {
        {"0", 0},
        {"12", 12},
        {"12abc", 12},
        {" 42", 42},
        {"\t 42", 42},
        {"42 ", 42},
        {"4 2", 4},
        {"-5", -5},
        {"+5", 5},
        {"- 5", 0},
        {"+-5", 0},
        {"--5", 0},
        {"abc", 0},
        {"", 0},
        {"   ", 0},
        {"-", 0},
        {"0x1F", 31},
        {"0X1f", 31},
        {"0xff", 255},
        {"-0x10", -16},
        {"0x", 0},
        {"0xg", 0},
        {"0x1G2", 1},
        {"0x40000DC", 67109084},
        {"0o17", 15},
        {"0o8", 0},
        {"0o178", 15},
        {"0b101", 5},
        {"0b102", 2},
        {"-0b11", -3},
        {"017", 17},
        {"089", 89},
        {"2147483647", 2147483647},
        {"2147483648", -2147483647 - 1},
        {"-2147483648", -2147483647 - 1},
        {"4294967295", -1},
        {"4294967296", 0},
        {"4294967297", 1},
        {"0xFFFFFFFF", -1},
        {"0x100000005", 5},
        {"-4294967295", 1},
        {"99999999999999999999", 1661992959},
        {"1.5", 1},
        {"1e3", 1},
    };
    for (const IntCase& c : cases) {
        EXPECT_EQ(ParseInt(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(ProfileParseInt, StopsAtNul) {
    EXPECT_EQ(ParseInt("12\0"
                       "34"s),
              12);
}

TEST_F(ProfileFile, GetIntTable) {
    std::string path =
        Put("[n]\n"
            "plain=12\n"
            "hex = 0x1F \n"
            "empty=\n"
            "blanks=   \n"
            "quotedEmpty=\"\"\n"
            "quoted=\"-7\"\n"
            "word=abc\n"
            "big=4294967295\n"
            ";commented=5\n");
    const struct {
        const char* key;
        std::int32_t expected;
    } cases[] = {
        {"plain", 12},  {"hex", 31}, {"empty", 99}, {"blanks", 99},    {"quotedEmpty", 99},
        {"quoted", -7}, {"word", 0}, {"big", -1},   {"commented", 99}, {"missing", 99},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetInt(path, "N", c.key, 99), c.expected) << c.key;
    }
    EXPECT_EQ(GetInt(path, "other", "plain", -3), -3);
    EXPECT_EQ(GetInt(Path() + ".missing", "n", "plain", 77), 77);
}

// ---------------------------------------------------------------------------------------------
// Structures

TEST_F(ProfileFile, StructIsWrittenAsHexWithChecksum) {
    const unsigned char bytes[] = {0x01, 0xAB, 0xFF};  // sum 0x1AB
    ASSERT_TRUE(WriteStruct(Path(), "s", "k", bytes, sizeof bytes));
    EXPECT_EQ(Bytes(), "[s]\nk=01ABFFAB\n");
}

TEST_F(ProfileFile, EmptyStructIsJustTheChecksum) {
    ASSERT_TRUE(WriteStruct(Path(), "s", "k", nullptr, 0));
    EXPECT_EQ(Bytes(), "[s]\nk=00\n");
    EXPECT_TRUE(GetStruct(Path(), "s", "k", nullptr, 0));
}

TEST_F(ProfileFile, LargeStructRoundTrips) {
    std::array<unsigned char, 150> written{};
    for (std::size_t i = 0; i < written.size(); ++i) {
        written[i] = static_cast<unsigned char>(i * 37 + 11);
    }
    ASSERT_TRUE(WriteStruct(Path(), "Window", "Placement", written.data(), written.size()));
    std::array<unsigned char, 150> read{};
    ASSERT_TRUE(GetStruct(Path(), "window", "placement", read.data(), read.size()));
    EXPECT_EQ(read, written);
}

TEST_F(ProfileFile, StructHexIsReadInEitherCase) {
    std::string path = Put("[s]\nk = 01abffab \n");
    unsigned char read[3] = {};
    ASSERT_TRUE(GetStruct(path, "s", "k", read, sizeof read));
    EXPECT_EQ(read[0], 0x01);
    EXPECT_EQ(read[1], 0xAB);
    EXPECT_EQ(read[2], 0xFF);
}

TEST_F(ProfileFile, BadStructLeavesTheBufferAlone) {
    std::string path =
        Put("[s]\n"
            "good=01ABFFAB\n"
            "badsum=01ABFFAC\n"
            "short=01ABAC\n"
            "long=01ABFF00AB\n"
            "odd=01ABFFAB0\n"
            "nothex=01ABFGAB\n"
            "signed=+1ABFFAB\n"
            "inner=01AB FFAB\n"
            "empty=\n");
    const char* badKeys[] = {"badsum", "short", "long",  "odd",    "nothex",
                             "signed", "inner", "empty", "missing"};
    for (const char* key : badKeys) {
        unsigned char buffer[3] = {0x5A, 0x5A, 0x5A};
        EXPECT_FALSE(GetStruct(path, "s", key, buffer, sizeof buffer)) << key;
        EXPECT_EQ(buffer[0], 0x5A) << key;
        EXPECT_EQ(buffer[1], 0x5A) << key;
        EXPECT_EQ(buffer[2], 0x5A) << key;
    }
    unsigned char buffer[4] = {0x5A, 0x5A, 0x5A, 0x5A};
    EXPECT_FALSE(GetStruct(path, "s", "good", buffer, 2));
    EXPECT_FALSE(GetStruct(path, "s", "good", buffer, 4));
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_FALSE(GetStruct(Path() + ".missing", "s", "good", buffer, 3));
    EXPECT_EQ(buffer[0], 0x5A);
}

// ---------------------------------------------------------------------------------------------
// Writing

struct WriteCase {
    const char* name;
    std::string before;
    std::string section;
    std::string key;
    std::optional<std::string> value;
    std::string after;
};

class WriteRules : public ProfileFile, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteRules, FileBecomesExactly) {
    const WriteCase& c = GetParam();
    std::string path = Put(c.before);
    std::optional<std::string_view> value;
    if (c.value) {
        value = *c.value;
    }
    ASSERT_TRUE(WriteString(path, c.section, c.key, value));
    EXPECT_EQ(Bytes(), c.after);
    EXPECT_EQ(Entries().size(), 1u);
}

const WriteCase kWriteCases[] = {
    {"Replace", "[a]\nk=1\nother=2\n", "a", "k", "5", "[a]\nk=5\nother=2\n"},
    {"ReplaceUsesCallersSpelling", "[A]\n  kEy  =  1  \n", "a", "Key", "2", "[A]\nKey=2\n"},
    {"ReplaceOnlyFirstDuplicate", "[a]\nk=1\nk=2\n", "a", "k", "3", "[a]\nk=3\nk=2\n"},
    {"ReplaceInFirstOfTwinSections", "[a]\nk=1\n[A]\nk=2\n", "a", "k", "3", "[a]\nk=3\n[A]\nk=2\n"},
    {"ValueWrittenAsGiven", "[a]\nk=1\n", "a", "k", " \"x\" ", "[a]\nk= \"x\" \n"},
    {"BlanksAroundCallersNamesDropped", "[a]\n", " a ", "\tk ", "v", "[a]\nk=v\n"},
    {"EmptyValue", "[a]\nk=1\n", "a", "k", "", "[a]\nk=\n"},
    {"InsertAfterLastNonBlankLine", "[a]\nx=1\n\n\n[b]\ny=2\n", "a", "k", "v",
     "[a]\nx=1\nk=v\n\n\n[b]\ny=2\n"},
    {"InsertAfterTrailingComment", "[a]\nx=1\n; about x\n\n[b]\n", "a", "k", "v",
     "[a]\nx=1\n; about x\nk=v\n\n[b]\n"},
    {"InsertIntoEmptySection", "[a]\n\n[b]\n", "a", "k", "v", "[a]\nk=v\n\n[b]\n"},
    {"InsertIntoHeaderOnlyFile", "[a]", "a", "k", "v", "[a]\nk=v\n"},
    {"InsertAfterLastLineWithoutEnd", "[a]\nx=1", "a", "k", "v", "[a]\nx=1\nk=v\n"},
    {"CommentedKeyIsNotReplaced", "[a]\n;k=1\n", "a", "k", "2", "[a]\n;k=1\nk=2\n"},
    {"NewSectionAfterBlankLine", "[a]\nx=1\n", "b", "k", "v", "[a]\nx=1\n\n[b]\nk=v\n"},
    {"NewSectionAfterLineWithoutEnd", "[a]\nx=1", "b", "k", "v", "[a]\nx=1\n\n[b]\nk=v\n"},
    {"NewSectionReusesTrailingBlank", "[a]\nx=1\n\n", "b", "k", "v", "[a]\nx=1\n\n[b]\nk=v\n"},
    {"NewSectionInEmptyFile", "", "Main", "k", "v", "[Main]\nk=v\n"},
    {"NewSectionWhenOnlyKeysBeforeHeaders", "k=1\n", "a", "k", "2", "k=1\n\n[a]\nk=2\n"},
    {"DeleteKey", "[a]\nx=1\nk=2\ny=3\n", "a", "K", std::nullopt, "[a]\nx=1\ny=3\n"},
    {"DeleteKeyOnLastLineWithoutEnd", "[a]\nx=1\nk=2", "a", "k", std::nullopt, "[a]\nx=1\n"},
    {"DeleteKeyKeepsOtherSections", "[a]\nk=1\n[b]\nk=2\n", "a", "k", std::nullopt,
     "[a]\n[b]\nk=2\n"},
    {"DeleteKeyRemovesItsDuplicates", "[a]\nk=1\nx=0\nK=2\n", "a", "k", std::nullopt, "[a]\nx=0\n"},
    {"DeleteMissingKeyChangesNothing", "[a]\r\nx=1", "a", "k", std::nullopt, "[a]\r\nx=1"},
    {"DeleteInMissingSectionChangesNothing", "[a]\nk=1\n", "b", "k", std::nullopt, "[a]\nk=1\n"},
    {"CrLfReplace", "[a]\r\nk=1\r\nj=2\r\n", "a", "k", "3", "[a]\r\nk=3\r\nj=2\r\n"},
    {"CrLfInsert", "[a]\r\nk=1\r\n\r\n[b]\r\n", "a", "j", "2", "[a]\r\nk=1\r\nj=2\r\n\r\n[b]\r\n"},
    {"CrLfNewSection", "[a]\r\nk=1\r\n", "b", "j", "2", "[a]\r\nk=1\r\n\r\n[b]\r\nj=2\r\n"},
    {"CrLfLastLineWithoutEnd", "[a]\r\nk=1", "a", "j", "2", "[a]\r\nk=1\r\nj=2\r\n"},
    {"CrOnlyInsert", "[a]\rk=1\r", "a", "j", "2", "[a]\rk=1\rj=2\r"},
    {"CrOnlyNewSection", "[a]\rk=1", "b", "j", "2", "[a]\rk=1\r\r[b]\rj=2\r"},
    {"MixedEndsUseTheFirst", "[a]\r\nk=1\ny=2\rz=3\n", "a", "j", "4",
     "[a]\r\nk=1\ny=2\rz=3\nj=4\r\n"},
    {"ReplacedLineKeepsItsOwnEnd", "[a]\nk=1\r\nj=2\n", "a", "k", "3", "[a]\nk=3\r\nj=2\n"},
    {"ReplaceLastLineWithoutEnd", "[a]\r\nk=1", "a", "k", "2", "[a]\r\nk=2"},
    {"NulBytesKept", "[a]\nbin=\0\xFF\nk=1\n"s, "a", "k", "2", "[a]\nbin=\0\xFF\nk=2\n"s},
};

INSTANTIATE_TEST_SUITE_P(Table, WriteRules, ::testing::ValuesIn(kWriteCases),
                         [](const ::testing::TestParamInfo<WriteCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ProfileFile, UnrelatedLinesSurviveByteForByte) {
    const std::string before =
        "; written by hand\r\n"
        "orphan = before any header\r\n"
        "  [ Main ]  ; the main section\r\n"
        "\tName =  Old Value  \r\n"
        "no equals sign here\r\n"
        " \t \r\n"
        "Quoted = ' spaced '\r\n"
        "[Other]\r\n"
        "Name=kept\r\n"
        "junk \x01\x7F\xFE=\r\n"
        "last line without end";
    std::string path = Put(before);

    ASSERT_TRUE(WriteString(path, "main", "name", "New"));
    std::string expected = before;
    expected.replace(expected.find("\tName =  Old Value  "), 20, "name=New");
    EXPECT_EQ(Bytes(), expected);

    ASSERT_TRUE(WriteString(path, "MAIN", "Added", "1"));
    expected.insert(expected.find("[Other]"), "Added=1\r\n");
    EXPECT_EQ(Bytes(), expected);

    ASSERT_TRUE(WriteString(path, "main", "NAME", std::nullopt));
    expected.erase(expected.find("name=New\r\n"), 10);
    EXPECT_EQ(Bytes(), expected);
    EXPECT_EQ(GetString(path, "other", "name", ""), "kept");
    EXPECT_EQ(GetString(path, "main", "quoted", ""), " spaced ");
}

TEST_F(ProfileFile, WriteCreatesTheFile) {
    ASSERT_TRUE(WriteString(Path(), "Audio", "Volume", "80"));
    EXPECT_EQ(Bytes(), "[Audio]\nVolume=80\n");
    ASSERT_TRUE(WriteString(Path(), "audio", "Muted", "0"));
    ASSERT_TRUE(WriteString(Path(), "Video", "Size", "3"));
    EXPECT_EQ(Bytes(), "[Audio]\nVolume=80\nMuted=0\n\n[Video]\nSize=3\n");
    EXPECT_EQ(GetString(Path(), "AUDIO", "volume", ""), "80");
    EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(ProfileFile, DeletingFromMissingFileCreatesNothing) {
    EXPECT_TRUE(WriteString(Path(), "a", "k", std::nullopt));
    EXPECT_TRUE(DeleteSection(Path(), "a"));
    EXPECT_TRUE(Entries().empty());
}

TEST_F(ProfileFile, LineBreaksInValuesAreRefused) {
    const std::string before = "[a]\nk=1\n";
    std::string path = Put(before);
    EXPECT_FALSE(WriteString(path, "a", "k", "two\nlines"));
    EXPECT_FALSE(WriteString(path, "a", "k", "two\rlines"));
    EXPECT_FALSE(WriteString(path, "a", "new", "x\r\n[evil]"));
    EXPECT_EQ(Bytes(), before);
    EXPECT_FALSE(WriteString(Path() + ".new", "a", "k", "a\nb"));
    EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(ProfileFile, NamesThatWouldReadBackDifferentlyAreRefused) {
    const std::string before = "[a]\nk=1\n";
    std::string path = Put(before);
    EXPECT_FALSE(WriteString(path, "a", "k=x", "1"));
    EXPECT_FALSE(WriteString(path, "a", ";k", "1"));
    EXPECT_FALSE(WriteString(path, "a", "[k", "1"));
    EXPECT_FALSE(WriteString(path, "a", "k\n", "1"));
    EXPECT_FALSE(WriteString(path, "a]", "k", "1"));
    EXPECT_FALSE(WriteString(path, "a\nb", "k", "1"));
    EXPECT_EQ(Bytes(), before);
}

TEST_F(ProfileFile, FailedWriteLeavesEverythingAsItWas) {
    // Root ignores permissions, so the folder is made impossible instead: its parent is a file.
    std::string blocker = dir_.Write("blocker", "not a folder");
    std::string path = blocker + "/settings.ini";
    EXPECT_FALSE(WriteString(path, "a", "k", "v"));
    EXPECT_FALSE(WriteStruct(path, "a", "k", "x", 1));
    EXPECT_TRUE(DeleteSection(path, "a"));  // nothing to delete
    EXPECT_EQ(dir_.Read("blocker"), "not a folder");
    EXPECT_EQ(Entries(), std::vector<std::string>{"blocker"});
}

TEST_F(ProfileFile, PathThatIsAFolderIsNotReplaced) {
    std::filesystem::create_directory(Path());
    EXPECT_FALSE(WriteString(Path(), "a", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(Path()));
    EXPECT_EQ(GetString(Path(), "a", "k", "d"), "d");
    EXPECT_TRUE(GetSectionNames(Path()).empty());
    EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(ProfileFile, FileTooLargeToLoadIsNeverOverwritten) {
    std::string path = Put("[a]\nk=1\n");
    const std::uintmax_t size = 65u * 1024u * 1024u;  // sparse: nothing is really written
    std::filesystem::resize_file(path, size);
    EXPECT_FALSE(WriteString(path, "a", "k", "2"));
    EXPECT_FALSE(DeleteSection(path, "a"));
    EXPECT_EQ(std::filesystem::file_size(path), size);
    EXPECT_EQ(GetString(path, "a", "k", "d"), "d");
    EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(ProfileFile, UnchangedWriteSucceeds) {
    const std::string before = "[a]\r\nk=1";
    std::string path = Put(before);
    EXPECT_TRUE(WriteString(path, "a", "k", "1"));
    EXPECT_EQ(Bytes(), before);
}

// ---------------------------------------------------------------------------------------------
// Deleting sections

struct DeleteSectionCase {
    const char* name;
    std::string before;
    std::string section;
    std::string after;
};

TEST_F(ProfileFile, DeleteSectionTable) {
    const DeleteSectionCase cases[] = {
        {"middle", "top=1\n[a]\nx=1\n;c\n\n[b]\ny=2\n", "A", "top=1\n[b]\ny=2\n"},
        {"last", "[a]\nx=1\n\n[b]\ny=2", "b", "[a]\nx=1\n\n"},
        {"only", "[a]\nx=1\n", "a", ""},
        {"twins", "[a]\nx=1\n[b]\ny=2\n[A]\nz=3\n", "a", "[b]\ny=2\n"},
        {"missing", "[a]\r\nx=1", "c", "[a]\r\nx=1"},
        {"keysBeforeHeaderStay", "k=1\n[a]\nx=1\n", "a", "k=1\n"},
        {"blanksInName", "[ a ]\r\nx=1\r\n[b]\r\n", " a", "[b]\r\n"},
        {"crOnly", "[b]\rq=0\r[a]\rx=1\r", "a", "[b]\rq=0\r"},
        {"headerWithoutEndFollows", "[a]\nx=1\n[b]", "a", "[b]"},
    };
    for (const DeleteSectionCase& c : cases) {
        std::string path = Put(c.before);
        EXPECT_TRUE(DeleteSection(path, c.section)) << c.name;
        EXPECT_EQ(Bytes(), c.after) << c.name;
    }
    EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(ProfileFile, DeletedSectionReadsAsMissing) {
    std::string path = Put("[a]\nk=1\n[b]\nk=2\n[a]\nk=3\n");
    ASSERT_TRUE(DeleteSection(path, "a"));
    EXPECT_EQ(GetString(path, "a", "k", "none"), "none");
    EXPECT_EQ(GetSectionNames(path), std::vector<std::string>{"b"});
}

// ---------------------------------------------------------------------------------------------
// Names

TEST_F(ProfileFile, SectionNamesInFileOrderFirstSpellingOnly) {
    std::string path =
        Put("orphan=1\n"
            "[Zeta]\n"
            "k=1\n"
            "  [ Alpha Beta ] trailing\r\n"
            ";[Commented]\n"
            "[zeta]\n"
            "[ALPHA BETA]\n"
            "[Mid]\r"
            "[]\n"
            "[unclosed\n");
    EXPECT_EQ(GetSectionNames(path), (std::vector<std::string>{"Zeta", "Alpha Beta", "Mid", ""}));
}

TEST_F(ProfileFile, KeyNamesOfTheFirstOccurrence) {
    std::string path =
        Put("before=0\n"
            "[Keys]\n"
            "  Volume = 1\n"
            ";Hidden=2\n"
            "no equals\n"
            "VOLUME=3\n"
            "Mute=\n"
            "\n"
            "Empty Value=\n"
            "[Other]\n"
            "Foreign=1\n"
            "[keys]\n"
            "Late=1\n");
    EXPECT_EQ(GetKeyNames(path, "KEYS"),
              (std::vector<std::string>{"Volume", "Mute", "Empty Value"}));
    EXPECT_TRUE(GetKeyNames(path, "missing").empty());
    EXPECT_TRUE(GetKeyNames(Path() + ".missing", "keys").empty());
    EXPECT_TRUE(GetSectionNames(Path() + ".missing").empty());
}

// ---------------------------------------------------------------------------------------------
// Bad input

// Every read on the file, so a crash or a sanitizer report shows up; the file must not change.
void ReadEverything(const std::string& path) {
    for (const std::string& section : GetSectionNames(path)) {
        for (const std::string& key : GetKeyNames(path, section)) {
            (void)GetString(path, section, key, "");
            (void)GetInt(path, section, key, 0);
            unsigned char buffer[16];
            (void)GetStruct(path, section, key, buffer, sizeof buffer);
        }
    }
    (void)GetString(path, "a", "k", "d");
}

TEST_F(ProfileFile, GarbageNeverCrashesAndStaysWritable) {
    std::mt19937 random(20240611u);
    const char alphabet[] = {'[',  ']', '=', ';', '\r', '\n', ' ', '\t',   '"',   '\'',
                             '\0', 'a', 'A', 'k', 'K',  '0',  'x', '\xFF', '\x80'};
    for (int round = 0; round < 200; ++round) {
        std::string garbage;
        std::size_t length = random() % 400;
        for (std::size_t i = 0; i < length; ++i) {
            garbage += round % 2 == 0 ? alphabet[random() % sizeof alphabet]
                                      : static_cast<char>(random() & 0xFFu);
        }
        std::string path = Put(garbage);
        ReadEverything(path);
        ASSERT_EQ(Bytes(), garbage) << "round " << round;

        // Whatever was there, a write must read back and a section delete must remove it.
        ASSERT_TRUE(WriteString(path, "a", "k", "written")) << "round " << round;
        EXPECT_EQ(GetString(path, "A", "K", ""), "written") << "round " << round;
        ASSERT_TRUE(WriteString(path, "a", "k", std::nullopt)) << "round " << round;
        EXPECT_EQ(GetString(path, "a", "k", "gone"), "gone") << "round " << round;
        ASSERT_TRUE(WriteString(path, "a", "k", "again")) << "round " << round;
        ASSERT_TRUE(DeleteSection(path, "a")) << "round " << round;
        EXPECT_EQ(GetString(path, "a", "k", "gone"), "gone") << "round " << round;
    }
    EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(ProfileFile, HugeSingleLineIsHandled) {
    const std::string huge(10u * 1024u * 1024u, 'v');
    std::string path = Put("[a]\nk=" + huge);
    EXPECT_EQ(GetString(path, "a", "k", ""), std::string(255, 'v'));
    EXPECT_EQ(GetInt(path, "a", "k", 5), 0);
    unsigned char buffer[4] = {};
    EXPECT_FALSE(GetStruct(path, "a", "k", buffer, sizeof buffer));
    EXPECT_EQ(GetKeyNames(path, "a"), std::vector<std::string>{"k"});

    ASSERT_TRUE(WriteString(path, "a", "j", "1"));
    EXPECT_EQ(GetString(path, "a", "j", ""), "1");
    EXPECT_EQ(Bytes().size(), 4u + 2u + huge.size() + 1u + 4u);

    std::string noLineEnd = Put(huge);
    EXPECT_TRUE(GetSectionNames(noLineEnd).empty());
    EXPECT_EQ(GetString(noLineEnd, "a", "k", "d"), "d");
}

TEST_F(ProfileFile, OddPathsGiveDefaults) {
    EXPECT_EQ(GetString("", "a", "k", "d"), "d");
    EXPECT_EQ(GetInt("", "a", "k", 3), 3);
    EXPECT_TRUE(GetSectionNames("").empty());
    EXPECT_EQ(GetString("/proc/self/mem", "a", "k", "d"), "d");
    EXPECT_EQ(GetString(dir_.Path() + "no/such/folder/x.ini", "a", "k", "d"), "d");
}

}  // namespace
}  // namespace qv::profile
