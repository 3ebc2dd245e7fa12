#pragma once
// Records every log line while in scope. By default a line that reads like an error ("fail",
// "error", "invalid", "damaged", "cannot", "could not") fails the test at scope end unless a
// test allowed it with Allow(fragment). Captures nest: the previous listener is restored.

#include "engine/Log.h"

#include <mutex>
#include <string>
#include <vector>

struct CapturedLine {
    int target;
    std::string text;
};

class LogCapture {
public:
    enum Mode { kFailOnErrors, kRecordOnly };
    explicit LogCapture(Mode mode = kFailOnErrors);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Error lines containing fragment are expected.
    void Allow(const std::string& fragment);
    std::vector<CapturedLine> Lines() const;
    bool Contains(const std::string& fragment) const;
    std::vector<std::string> UnexpectedErrors() const;
    void Clear();

    static bool LooksLikeError(const std::string& text);

private:
    Mode mode;
    LogListener previous;
    mutable std::mutex mutex;
    std::vector<CapturedLine> lines;
    std::vector<std::string> allowed;
};
