#pragma once
// Localised texts: "[KEY]{text}" pairs from "core/txt/<language>.txt" in the core archive.

#include <string>
#include <vector>

struct TextEntry {
    std::string key;
    std::string text;
};

class TextTable {
public:
    // Reads the platform language's table (nothing without platform services).
    static void Load();
    // Appends the pairs of a table text; used by Load and by tests.
    static void Parse(const std::string& text);
    static void Clear();
    static const std::vector<TextEntry>& Entries();
    // The text of the first entry with this key, or null; a missing key is not reported.
    static const std::string* Find(const std::string& key);
};

// The text of the first entry with exactly this key, else "!!! NOT_LOCALIZED_YET !!!"; a missing
// key is written to the log file once (again after Clear), so the log names it.
// The reference stays valid until the table is emptied.
const std::string& Localize(const std::string& key);
