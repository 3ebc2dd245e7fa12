#pragma once
// Character-wise edits of UTF-8 text: a character is its lead byte and the continuation bytes after
// it. Text that is not valid UTF-8 is still handled byte-safely (no index leaves the string).

#include <cstddef>
#include <string>

bool IsContinuationByte(char c);
std::size_t CountCharacters(const std::string& text);
// The byte length of the first count characters (the whole text when it has fewer).
std::size_t PrefixBytes(const std::string& text, std::size_t count);
// At most limit bytes, never splitting a character.
std::string CutToBytes(const std::string& text, std::size_t limit);
void RemoveFirstCharacter(std::string& text);
void RemoveLastCharacter(std::string& text);
