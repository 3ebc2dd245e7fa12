#include "gui/Utf8Text.h"

#include "engine/Utilities.h"

bool IsContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t CountCharacters(const std::string& text)
{
    std::size_t count = 0;
    for (char c : text) {
        if (!IsContinuationByte(c)) {
            ++count;
        }
    }
    return count;
}

std::size_t PrefixBytes(const std::string& text, std::size_t count)
{
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsContinuationByte(text[i])) {
            if (seen == count) {
                return i;
            }
            ++seen;
        }
    }
    return text.size();
}

std::string CutToBytes(const std::string& text, std::size_t limit)
{
    return text.substr(0, Utf8CutLength(text, limit));
}

void RemoveFirstCharacter(std::string& text)
{
    std::size_t end = 1;
    while (end < text.size() && IsContinuationByte(text[end])) {
        ++end;
    }
    text.erase(0, end);
}

void RemoveLastCharacter(std::string& text)
{
    if (text.empty()) {
        return;
    }
    std::size_t start = text.size() - 1;
    while (start > 0 && IsContinuationByte(text[start])) {
        --start;
    }
    text.erase(start);
}
