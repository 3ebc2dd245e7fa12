// Any bytes as a web answer, delivered in pieces whose sizes the input chooses: the framing never
// reads out of bounds, never grows past its limit, and gives the same result however it is cut.
#include "online/AnswerParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 7;
    const char* body = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;

    AnswerParser whole;
    whole.Feed(body, length);
    const AnswerParser::State expected = whole.Finish();

    AnswerParser cut;
    for (std::size_t at = 0; at < length; at += piece)
        cut.Feed(body + at, at + piece <= length ? piece : length - at);
    if (cut.Finish() != expected)
        std::abort();
    if (expected == AnswerParser::State::kComplete &&
        (cut.Text() != whole.Text() || whole.Text().size() > AnswerParser::kMaxAnswerLength))
        std::abort();
    return 0;
}
