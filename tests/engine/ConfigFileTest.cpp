#include "engine/ConfigFile.h"

#include "engine/ArchiveRegistry.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>

namespace {

struct StringCase {
    const char* name;
    const char* text;
    const char* section;
    std::uint32_t entry;
    const char* key;
    const char* expected;
};

class ConfigGetString : public ::testing::TestWithParam<StringCase> {};

TEST_P(ConfigGetString, AnswersLikeTheReader)
{
    const StringCase& c = GetParam();
    ConfigFile file;
    file.Parse(c.text);
    ASSERT_NE(file.SelectSection(c.section), nullptr);
    file.currentEntry = c.entry;
    EXPECT_EQ(file.GetString(c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Quirks, ConfigGetString,
    ::testing::Values(
        StringCase{"Plain", "S { [ A=\"1\" B=\"two words\" ] }", "S", 0, "B", "two words"},
        StringCase{"ThreeKeysTwoValues", "S{[A=\"1\" B=\"2\" C=]}", "S", 0, "C", ""},
        StringCase{"DuplicateKeyFirstWins", "S{[A=\"first\" A=\"second\"]}", "S", 0, "A", "first"},
        StringCase{"DuplicateSectionFirstWins", "S{[A=\"first\"]} S{[A=\"second\"]}", "S", 0, "A", "first"},
        StringCase{"SecondEntry", "S{[A=\"0\"][A=\"1\"]}", "S", 1, "A", "1"},
        StringCase{"KeysAreCaseSensitive", "S{[Key=\"v\"]}", "S", 0, "key", ""},
        StringCase{"ValueKeepsBlanksAndLineBreaks", "S{[A=\" x\n\ty \"]}", "S", 0, "A", " x\n\ty "},
        StringCase{"ColonInsideQuotesIsKept", "S{[A=\"12:30\"]}", "S", 0, "A", "12:30"},
        StringCase{"ColonDropsTheWordBefore", "S{[junk:A=\"v\"]}", "S", 0, "A", "v"},
        StringCase{"ColonDropsASectionName", "Skip:S{[A=\"v\"]}", "S", 0, "A", "v"},
        StringCase{"BlanksBeforeTheBraceDoNotMatter", "S   \n {[A=\"v\"]}", "S", 0, "A", "v"},
        // An unquoted value runs into the next key's name ("vB"); values pair by position.
        StringCase{"UnquotedValueShiftsPairing", "S{[A=v B=\"b\"]}", "S", 0, "A", "b"},
        StringCase{"UnterminatedQuoteAddsNoValue", "S{[A=\"1\" B=\"open", "S", 0, "B", ""},
        // "=" acts inside quotes: the value is cut and the rest becomes a key.
        StringCase{"EqualsActsInsideQuotes", "S{[A=\"x=y\"]}", "S", 0, "A", ""},
        StringCase{"EntryIndexOutOfRange", "S{[A=\"v\"]}", "S", 5, "A", ""}),
    [](const ::testing::TestParamInfo<StringCase>& info) { return std::string(info.param.name); });

struct IntCase {
    const char* value;
    int expected;
};

TEST(ConfigGetInt, ReadsLikeStreamExtraction)
{
    const IntCase cases[] = {
        {"12", 12},         {"12 34", 12},   {"  7", 7},    {"-5", -5},   {"+9", 9},
        {"1024x768", 1024}, {"abc", 0},      {"", 0},       {" ", 0},     {"-", 0},
        {"2147483647", INT_MAX},             {"2147483648", INT_MAX},     {"-2147483648", INT_MIN},
        {"-99999999999999999999", INT_MIN},
    };
    for (const IntCase& c : cases) {
        ConfigFile file;
        file.Parse(std::string("S{[N=\"") + c.value + "\"]}");
        file.SelectSection("S");
        EXPECT_EQ(file.GetInt("N"), c.expected) << "value \"" << c.value << "\"";
    }
}

TEST(ConfigGetInt, MissingKeyOrValueIsMinusOne)
{
    ConfigFile file;
    file.Parse("S{[A=\"1\" B=]}");
    file.SelectSection("S");
    EXPECT_EQ(file.GetInt("Missing"), -1);
    EXPECT_EQ(file.GetInt("B"), -1);
}

TEST(ConfigParse, BracesInsideQuotesAct)
{
    ConfigFile file;
    file.Parse("S{[A=\"x{y\" B=\"z\"]}");
    // The "{" inside the quotes opened a section named "x".
    EXPECT_TRUE(file.HasSection("x"));
    ASSERT_NE(file.SelectSection("S"), nullptr);
    EXPECT_EQ(file.EntryCount(), 1u);
    EXPECT_EQ(file.GetString("A"), "");
}

TEST(ConfigParse, EverythingBeforeTheFirstSectionIsIgnored)
{
    ConfigFile file;
    file.Parse("[A=\"1\"] B=\"2\" \"loose\" S{[C=\"3\"]}");
    ASSERT_EQ(file.sections.size(), 1u);
    ASSERT_EQ(file.sections[0].entries.size(), 1u);
    EXPECT_EQ(file.sections[0].entries[0].keys, std::vector<std::string>{"C"});
}

TEST(ConfigParse, SecondParseAppendsAndIgnoresItsLeadingEntries)
{
    ConfigFile file;
    file.Parse("S{[A=\"1\"]}");
    file.Parse("[A=\"stray\"] T{[B=\"2\"]}");
    ASSERT_EQ(file.sections.size(), 2u);
    EXPECT_EQ(file.sections[0].entries.size(), 1u);
    file.SelectSection("T");
    EXPECT_EQ(file.GetString("B"), "2");
}

TEST(ConfigSelect, MissingSectionChangesNothing)
{
    ConfigFile file;
    file.Parse("A{[K=\"a\"]} B{[K=\"b0\"][K=\"b1\"]}");
    ASSERT_NE(file.SelectSection("B"), nullptr);
    file.currentEntry = 1;
    EXPECT_EQ(file.SelectSection("C"), nullptr);
    EXPECT_EQ(file.currentSection, 1u);
    EXPECT_EQ(file.currentEntry, 1u);
    EXPECT_EQ(file.GetString("K"), "b1");
    EXPECT_EQ(file.EntryCount(), 2u);
}

TEST(ConfigSelect, SectionIndexOutOfRangeAnswersEmpty)
{
    ConfigFile file;
    file.Parse("A{[K=\"1\"]}");
    file.currentSection = 9;
    EXPECT_EQ(file.GetString("K"), "");
    EXPECT_EQ(file.GetInt("K"), -1);
    EXPECT_EQ(file.EntryCount(), 0u);
    EXPECT_EQ(file.CurrentSection(), nullptr);
}

TEST(ConfigLoad, MissingFileAddsNothing)
{
    ConfigFile file;
    EXPECT_FALSE(file.Load("no-such-file.cfg"));
    EXPECT_TRUE(file.sections.empty());
    EXPECT_EQ(file.GetString("Resolution"), "");
    EXPECT_EQ(file.GetInt("FullScreen"), -1);
}

TEST(ConfigLoad, FileMapReplacesPackageFile)
{
    DyncfgFileMap::Fill({{"pack/sets/set.cfg", "Set{[Name=\"from map\"]}"}}, 1);
    ConfigFile file;
    EXPECT_TRUE(file.LoadPackageFile("pack", "sets/set.cfg", true, true));
    DyncfgFileMap::Clear();
    ASSERT_NE(file.SelectSection("Set"), nullptr);
    EXPECT_EQ(file.GetString("Name"), "from map");
}

} // namespace
