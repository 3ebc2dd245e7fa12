#include "engine/TextTable.h"

#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "engine/Services.h"

#include <mutex>
#include <set>

namespace {

constexpr std::size_t kMaxReportedKeys = 1000;

std::vector<TextEntry>& Table()
{
    static std::vector<TextEntry> entries;
    return entries;
}

// Lives to the end of the process, so references handed out for unknown keys never dangle.
const std::string& Marker()
{
    static const std::string marker = "!!! NOT_LOCALIZED_YET !!!";
    return marker;
}

// Keys already reported as missing: a screen asks for its texts every time it is built, and one
// line per key is enough to find the gap. Localize may run on any thread.
struct MissingKeys {
    std::mutex mutex;
    std::set<std::string> reported;
};

MissingKeys& Missing()
{
    static MissingKeys missing;
    return missing;
}

void ReportMissing(const std::string& key)
{
    MissingKeys& missing = Missing();
    {
        std::lock_guard<std::mutex> lock(missing.mutex);
        // Keys can come from data (tips, objectives): the set must not grow without end.
        if (missing.reported.size() >= kMaxReportedKeys || !missing.reported.insert(key).second)
            return;
    }
    LogText(kLogFile, "No text for the key \"" + key + "\"");
}

} // namespace

void TextTable::Load()
{
    Clear();
    if (gServices == nullptr)
        return;
    std::string text;
    // The table comes from the core archive alone; a missing file is reported by the reader.
    if (ResourceCache::ReadTextFile("core/txt/" + gServices->languageCode + ".txt", text, true))
        Parse(text);
}

void TextTable::Parse(const std::string& text)
{
    std::vector<TextEntry>& entries = Table();
    // Bytes that would belong to an entry before the text's first "[" have nowhere to go.
    const std::size_t firstNew = entries.size();
    bool inKey = false;
    bool inText = false;
    for (const char c : text) {
        const bool hasEntry = entries.size() > firstNew;
        if (inKey) {
            if (c == ']')
                inKey = false;
            else if (hasEntry)
                entries.back().key += c;
        } else if (c == '[') {
            inKey = true;
            entries.emplace_back();
        }

        const bool hasEntryNow = entries.size() > firstNew;
        if (inText) {
            if (c == '}')
                inText = false;
            else if (hasEntryNow)
                entries.back().text += c;
        } else if (c == '{') {
            inText = true;
            if (hasEntryNow)
                entries.back().text.clear();
        }
    }
}

void TextTable::Clear()
{
    Table().clear();
    MissingKeys& missing = Missing();
    std::lock_guard<std::mutex> lock(missing.mutex);
    missing.reported.clear();
}

const std::vector<TextEntry>& TextTable::Entries() { return Table(); }

const std::string* TextTable::Find(const std::string& key)
{
    for (const TextEntry& entry : Table())
        if (entry.key == key)
            return &entry.text;
    return nullptr;
}

const std::string& Localize(const std::string& key)
{
    if (const std::string* text = TextTable::Find(key))
        return *text;
    ReportMissing(key);
    return Marker();
}
