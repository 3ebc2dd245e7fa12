#pragma once
// The service's answer framing: decimal length, ";", then that many base64 characters. Fed piece
// by piece as the transfer delivers them; nothing is trusted.

#include <cstddef>
#include <string>

class AnswerParser {
public:
    enum class State {
        kNeedMore,  // the answer is not whole yet
        kComplete,  // Text() holds the decoded answer
        kProxy,     // a markup page where the answer should be: something between us and the service
        kMalformed, // not an answer (bad prefix, too long, NUL, line break, invalid base64, cut short)
    };

    // Far above any real answer (the link cache of a large catalogue is well under 1 MiB).
    static constexpr std::size_t kMaxAnswerLength = 16u * 1024u * 1024u;

    void Reset();
    // Bytes after the announced length are ignored.
    State Feed(const char* data, std::size_t size);
    // The transfer ended: an answer still waiting for bytes is a cut one.
    State Finish();
    State Current() const { return state; }
    const std::string& Text() const { return text; }
    // Why the answer was refused, for the log (never the answer itself).
    const std::string& Problem() const { return problem; }

private:
    State Fail(const char* why);
    State Decode();

    State state = State::kNeedMore;
    bool inPrefix = true;
    bool leadingBlanks = false;
    std::size_t prefixDigits = 0;
    std::size_t announced = 0;
    std::string body;
    std::string text;
    std::string problem;
};

// Strict base64: only the 64 letters, "=" padding at the end only, no stray length.
bool DecodeStrictBase64(const std::string& encoded, std::string& out);
