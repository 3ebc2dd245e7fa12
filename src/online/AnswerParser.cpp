#include "online/AnswerParser.h"

#include "engine/Utilities.h"

namespace {

// A length prefix longer than this cannot be within the answer limit.
constexpr std::size_t kMaxPrefixDigits = 8;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The shared decoder stops quietly at a foreign character; in an answer one makes it invalid.
const char* const kBase64Letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

bool DecodeStrictBase64(const std::string& encoded, std::string& out)
{
    out.clear();
    std::size_t length = encoded.size();
    std::size_t padding = 0;
    while (length > 0 && encoded[length - 1] == '=' && padding < 2) {
        --length;
        ++padding;
    }
    if (padding > 0 && (encoded.size() % 4) != 0)
        return false;
    if (length % 4 == 1)
        return false;
    if (encoded.find_first_not_of(kBase64Letters) < length)
        return false;
    out = Base64Decode(encoded);
    return true;
}

void AnswerParser::Reset()
{
    *this = AnswerParser();
}

AnswerParser::State AnswerParser::Fail(const char* why)
{
    problem = why;
    state = State::kMalformed;
    return state;
}

AnswerParser::State AnswerParser::Feed(const char* data, std::size_t size)
{
    std::size_t i = 0;
    while (state == State::kNeedMore && inPrefix && i < size) {
        const char c = data[i++];
        // Only a markup page counts as one from a proxy (a sign-in page of the network, say): the
        // user can act on that. Any other foreign answer is simply no answer.
        if (prefixDigits == 0 && IsBlank(c)) {
            leadingBlanks = true;
            continue;
        }
        if (prefixDigits == 0 && c == '<') {
            state = State::kProxy;
            return state;
        }
        if (leadingBlanks)
            return Fail("no length prefix");
        if (c >= '0' && c <= '9') {
            if (++prefixDigits > kMaxPrefixDigits)
                return Fail("length prefix too long");
            announced = announced * 10 + static_cast<std::size_t>(c - '0');
            if (announced > kMaxAnswerLength)
                return Fail("announced length over the limit");
        } else if (c == ';' && prefixDigits > 0) {
            inPrefix = false;
            body.reserve(announced);
            if (announced == 0)
                return Decode();
        } else {
            return Fail("no length prefix");
        }
    }
    if (state != State::kNeedMore || inPrefix)
        return state;
    const std::size_t wanted = announced - body.size();
    const std::size_t take = size - i < wanted ? size - i : wanted;
    for (std::size_t k = 0; k < take; ++k) {
        const char c = data[i + k];
        if (c == '\n' || c == '\r')
            return Fail("line break in the answer");
        if (c == '\0')
            return Fail("NUL byte in the answer");
    }
    body.append(data + i, take);
    if (body.size() == announced)
        return Decode();
    return state;
}

AnswerParser::State AnswerParser::Decode()
{
    if (!DecodeStrictBase64(body, text))
        return Fail("invalid base64");
    if (text.find('\0') != std::string::npos)
        return Fail("NUL byte in the decoded answer");
    body.clear();
    state = State::kComplete;
    return state;
}

AnswerParser::State AnswerParser::Finish()
{
    if (state != State::kNeedMore)
        return state;
    if (inPrefix)
        return Fail(prefixDigits == 0 ? "empty answer" : "answer ended in its length prefix");
    return Fail("answer shorter than announced");
}
