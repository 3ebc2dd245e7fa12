#include "engine/TextTable.h"

#include "engine/Services.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kMarker[] = "!!! NOT_LOCALIZED_YET !!!";

std::string ReadWhole(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool IsTextKey(const std::string& literal)
{
    static const char* const kPrefixes[] = {"ERR_", "COM_", "LOG_", "OBJ_", "TIP_", "TUT_", "ACH_"};
    const bool hasPrefix = std::any_of(std::begin(kPrefixes), std::end(kPrefixes), [&](const char* prefix) {
        return literal.size() > 4 && literal.compare(0, 4, prefix) == 0;
    });
    return hasPrefix && std::all_of(literal.begin(), literal.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
           });
}

// The string literals of a C++ text, outside comments and character literals.
std::vector<std::string> StringLiterals(const std::string& code)
{
    std::vector<std::string> literals;
    std::size_t i = 0;
    while (i < code.size()) {
        if (code.compare(i, 2, "//") == 0) {
            i = code.find('\n', i);
        } else if (code.compare(i, 2, "/*") == 0) {
            i = code.find("*/", i + 2);
            i = i == std::string::npos ? i : i + 2;
        } else if (code[i] == '"' || code[i] == '\'') {
            const char quote = code[i++];
            std::string literal;
            while (i < code.size() && code[i] != quote) {
                if (code[i] == '\\')
                    literal += code[i++];
                if (i < code.size())
                    literal += code[i++];
            }
            ++i;
            if (quote == '"')
                literals.push_back(literal);
        } else {
            ++i;
        }
    }
    return literals;
}

// Every text key the program's code names: in Localize calls, in key tables, in the critical
// texts. The scan covers all of src/, so new screens are checked as they are added.
TEST(BundledTexts, EveryKeyTheCodeNamesHasAText)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> parts;
    for (const auto& entry : fs::directory_iterator(fs::path(VN_SOURCE_DIR) / "content/core/txt/en"))
        if (entry.path().extension() == ".txt")
            parts.push_back(entry.path());
    std::sort(parts.begin(), parts.end());
    ASSERT_FALSE(parts.empty());
    TextTable::Clear();
    for (const fs::path& part : parts)
        TextTable::Parse(ReadWhole(part) + "\n");
    std::set<std::string> known;
    for (const TextEntry& entry : TextTable::Entries())
        known.insert(entry.key);
    TextTable::Clear();

    std::set<std::string> named;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(VN_SOURCE_DIR) / "src")) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".cpp" && extension != ".h")
            continue;
        for (const std::string& literal : StringLiterals(ReadWhole(entry.path())))
            if (IsTextKey(literal))
                named.insert(literal);
    }
    EXPECT_TRUE(named.count("ERR_UNREC_SUB") == 1 && named.count("COM_COLOR_RED") == 1) << "the scan found no keys";
    for (const std::string& key : named)
        EXPECT_EQ(known.count(key), 1u) << key << " is named in src/ but has no text in content/core/txt/en";
}

TEST(BundledTexts, ScanTakesLiteralsOnly)
{
    const std::string code = "Localize(\"ERR_A\"); // \"ERR_B\"\n/* \"ERR_C\" */ x = '\"'; y(\"a\\\"ERR_D\");";
    EXPECT_EQ(StringLiterals(code), (std::vector<std::string>{"ERR_A", "a\\\"ERR_D"}));
    EXPECT_TRUE(IsTextKey("TIP_12"));
    EXPECT_FALSE(IsTextKey("TIP_"));
    EXPECT_FALSE(IsTextKey("XDG_DATA_HOME"));
    EXPECT_FALSE(IsTextKey("ERR_%n"));
}

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

TEST_F(TextTableTest, MissingKeyIsLoggedOnceByName)
{
    LogCapture log(LogCapture::kRecordOnly);
    TextTable::Parse("[A]{x}");
    Localize("A");
    Localize("LOG_NOWHERE");
    Localize("LOG_NOWHERE");
    int mentions = 0;
    for (const CapturedLine& line : log.Lines()) {
        EXPECT_EQ(line.target, kLogFile);
        mentions += line.text.find("LOG_NOWHERE") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(mentions, 1);
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
