#include "online/AnswerParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using State = AnswerParser::State;

struct ParseCase {
    const char* label;
    std::vector<std::string> chunks;
    State expected;
    std::string text;
};

// "Ok;abc" is "T2s7YWJj" in base64.
TEST(AnswerParser, FramesDecodesAndRefusesWhatIsNoAnswer)
{
    const std::vector<ParseCase> cases = {
        {"whole", {"8;T2s7YWJj"}, State::kComplete, "Ok;abc"},
        {"split in the body", {"8;T2s", "7YW", "Jj"}, State::kComplete, "Ok;abc"},
        {"prefix split across chunks", {"", "8", ";", "T2s7YWJj"}, State::kComplete, "Ok;abc"},
        {"two-digit prefix split", {"1", "2;T2s7YWJjZGVm"}, State::kComplete, "Ok;abcdef"},
        {"bytes after the length ignored", {"8;T2s7YWJjGARBAGE\n\0"}, State::kComplete, "Ok;abc"},
        {"empty answer", {"0;"}, State::kComplete, ""},
        {"padded", {"4;T2s="}, State::kComplete, "Ok"},
        {"ends early", {"12;T2s7YWJj"}, State::kMalformed, ""},
        {"ends in the prefix", {"12"}, State::kMalformed, ""},
        {"nothing at all", {}, State::kMalformed, ""},
        {"letters in the prefix", {"8x;T2s7YWJj"}, State::kMalformed, ""},
        {"no digits before the separator", {";T2s7YWJj"}, State::kMalformed, ""},
        {"length over the cap", {"16777217;"}, State::kMalformed, ""},
        {"prefix too long", {"000000000008;T2s7YWJj"}, State::kMalformed, ""},
        {"invalid base64", {"8;T2s7@WJj"}, State::kMalformed, ""},
        {"stray base64 length", {"5;T2s7Y"}, State::kMalformed, ""},
        {"padding in the middle", {"8;T2s=YWJj"}, State::kMalformed, ""},
        {"NUL in the body", {std::string("8;T2s7\0WJj", 10)}, State::kMalformed, ""},
        {"NUL in the decoded text", {"4;AEE="}, State::kMalformed, ""},
        {"line feed in the body", {"8;T2s7\nWJj"}, State::kMalformed, ""},
        {"carriage return in the body", {"8;T2s7YWJ\r"}, State::kMalformed, ""},
        {"proxy page", {"<html>", "<body>login\r\n</body>"}, State::kProxy, ""},
        {"proxy page after blank lines", {"\r\n  ", "<!DOCTYPE html>"}, State::kProxy, ""},
        {"line break before the prefix ends", {"1\n2;"}, State::kMalformed, ""},
        {"garbage with line breaks", {"\x93Q\nz\r\x01"}, State::kMalformed, ""},
        {"blank before the prefix", {" 8;T2s7YWJj"}, State::kMalformed, ""},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.label);
        AnswerParser parser;
        for (const std::string& chunk : c.chunks)
            parser.Feed(chunk.data(), chunk.size());
        EXPECT_EQ(parser.Finish(), c.expected);
        if (c.expected == State::kComplete) {
            EXPECT_EQ(parser.Text(), c.text);
        }
    }
}

TEST(AnswerParser, CompletesAtTheAnnouncedLengthBeforeTheTransferEnds)
{
    AnswerParser parser;
    EXPECT_EQ(parser.Feed("4;T2", 4), State::kNeedMore);
    EXPECT_EQ(parser.Feed("s=", 2), State::kComplete);
    EXPECT_EQ(parser.Text(), "Ok");
}

} // namespace
