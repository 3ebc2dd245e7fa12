#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

LogCapture::LogCapture(Mode mode) : mode(mode)
{
    previous = SetLogListener([this](int target, const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back({target, text});
    });
}

LogCapture::~LogCapture()
{
    SetLogListener(std::move(previous));
    if (mode == kFailOnErrors) {
        for (const std::string& line : UnexpectedErrors())
            ADD_FAILURE() << "Unexpected error line in the log: " << line;
    }
}

void LogCapture::Allow(const std::string& fragment)
{
    std::lock_guard<std::mutex> lock(mutex);
    allowed.push_back(fragment);
}

std::vector<CapturedLine> LogCapture::Lines() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return lines;
}

bool LogCapture::Contains(const std::string& fragment) const
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::any_of(lines.begin(), lines.end(),
                       [&](const CapturedLine& line) { return line.text.find(fragment) != std::string::npos; });
}

std::vector<std::string> LogCapture::UnexpectedErrors() const
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> errors;
    for (const CapturedLine& line : lines) {
        if (!LooksLikeError(line.text))
            continue;
        const bool isAllowed = std::any_of(allowed.begin(), allowed.end(), [&](const std::string& fragment) {
            return line.text.find(fragment) != std::string::npos;
        });
        if (!isAllowed)
            errors.push_back(line.text);
    }
    return errors;
}

void LogCapture::Clear()
{
    std::lock_guard<std::mutex> lock(mutex);
    lines.clear();
}

bool LogCapture::LooksLikeError(const std::string& text)
{
    // A text missing from the table is named by its key, and keys such as "ERR_FAILED_OPEN" hold
    // the very words looked for here; tests without the bundled table miss keys all the time.
    if (text.rfind("No text for the key ", 0) == 0)
        return false;
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const char* const kMarkers[] = {"fail", "error", "invalid", "damaged", "cannot", "could not"};
    return std::any_of(std::begin(kMarkers), std::end(kMarkers),
                       [&](const char* marker) { return lower.find(marker) != std::string::npos; });
}
