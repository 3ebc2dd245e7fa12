#include "engine/TextTable.h"

#include "engine/Services.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kMarker[] = "!!! NOT_LOCALIZED_YET !!!";

class TextTableTest : public ::testing::Test {
protected:
    void SetUp() override { TextTable::Clear(); }
    void TearDown() override { TextTable::Clear(); }
};

struct LookupCase {
    const char* name;
    const char* table;
    const char* key;
    const char* expected;
};

class TextTableLookup : public TextTableTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(TextTableLookup, Answers)
{
    const LookupCase& c = GetParam();
    TextTable::Parse(c.table);
    EXPECT_EQ(Localize(c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Quirks, TextTableLookup,
    ::testing::Values(
        LookupCase{"Plain", "[A]{x}\n[B]{y}", "B", "y"},
        LookupCase{"DuplicateKeyFirstWins", "[A]{x}\n[A]{y}", "A", "x"},
        LookupCase{"BlankBetweenKeyAndText", "[A] \t{x}", "A", "x"},
        LookupCase{"MultiLineTextKeepsLineBreak", "[A]{line one\n  line two}", "A", "line one\n  line two"},
        LookupCase{"RemarksBetweenPairsIgnored", "[A]{x} remark\n[B]{y}", "B", "y"},
        // The "[" opens entry B while the text is still open, so B's text receives the bytes.
        LookupCase{"MissingCloseBraceSwallowsNextPair", "[A]{x\n[B]{y}[C]{z}", "B", "[B]{y"},
        LookupCase{"MissingCloseBraceEndsFirstText", "[A]{x\n[B]{y}[C]{z}", "A", "x\n"},
        LookupCase{"SwallowedKeyStillExistsWithItsOwnText", "[A]{x\n[B]{y}[C]{z}", "C", "z"},
        LookupCase{"EmptyKeyIsValid", "[]{nameless}", "", "nameless"},
        LookupCase{"ClosingBracketAndBraceAllowedInText", "[A]{a]b{c}", "A", "a]b{c"},
        LookupCase{"KeyIsCaseSensitive", "[A]{x}", "a", kMarker},
        LookupCase{"UnknownKey", "[A]{x}", "B", kMarker},
        LookupCase{"TextBeforeFirstKeyIgnored", "{stray}[A]{x}", "A", "x"},
        LookupCase{"KeyWithoutTextIsEmpty", "[A]", "A", ""},
        LookupCase{"LaterBraceReplacesEntryText", "[A]{x} remark {y}", "A", "y"}),
    [](const ::testing::TestParamInfo<LookupCase>& info) { return std::string(info.param.name); });

TEST_F(TextTableTest, OpenBraceBeforeFirstKeyDoesNotCrashOrAddEntries)
{
    TextTable::Parse("{never closed ");
    EXPECT_TRUE(TextTable::Entries().empty());
    EXPECT_EQ(Localize(""), kMarker);
}

TEST_F(TextTableTest, ReferenceToUnknownKeyOutlivesClear)
{
    const std::string& marker = Localize("NOPE");
    TextTable::Parse("[A]{x}");
    TextTable::Clear();
    EXPECT_EQ(marker, kMarker);
}

TEST_F(TextTableTest, LoadWithoutServicesLeavesTableEmpty)
{
    Services* saved = gServices;
    gServices = nullptr;
    TextTable::Parse("[A]{x}");
    TextTable::Load();
    gServices = saved;
    EXPECT_TRUE(TextTable::Entries().empty());
    EXPECT_EQ(Localize("A"), kMarker);
}

} // namespace
