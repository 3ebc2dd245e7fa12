#include "character/PackageList.h"

#include "character/PackageSelection.h"
#include "engine/ArchiveRegistry.h"
#include "engine/ConfigFile.h"
#include "engine/Log.h"
#include "engine/Utilities.h"
#include "gui/GUIText.h"
#include "platform/Platform.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <unordered_set>

namespace {

constexpr const char* kDevSuffix = "_prev";
constexpr std::size_t kDevSuffixLength = 5;
// packs.txt is a developer aid: a few names. Anything longer is not one.
constexpr std::size_t kMaxPacksFileSize = 1 << 20;


std::vector<PackageRecord> gRecords;
std::uint32_t gGeneration = 0;
int gSelectedCount = 0;
bool gReloadPending = false;
PackageProfile* gPackageProfile = nullptr;
PackageRegistryHooks gHooks;
constexpr const char* kDefaultPacksFilePath = "package_generator/packs.txt";
std::string gPacksFilePath = kDefaultPacksFilePath;

// One line per kind of trouble in a list load: a list of thousands of names must not write
// thousands of lines on every load.
LogTally gConditions("Package", "packages");

// Lines of packs.txt, each without its line feed and one trailing carriage return.
std::vector<std::string> ReadPacksLines(const std::string& path)
{
    std::vector<std::string> lines;
    platform::FilePtr file = platform::OpenFile(path, "rb");
    if (!file)
        return lines;
    std::string text;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        text.append(chunk, got);
        if (text.size() > kMaxPacksFileSize) {
            LogText(kLogFile, "Ignoring " + path + ": file too large");
            return {};
        }
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        std::string line = text.substr(start, lf == std::string::npos ? std::string::npos : lf - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        if (lf == std::string::npos)
            break;
        start = lf + 1;
    }
    return lines;
}

// Tells, while a text grows at its end, which of a fixed set of words have occurred in it so far:
// an Aho-Corasick automaton over the words, fed the text as it is appended. Each byte and each
// word costs a bounded amount, where searching the whole text again for each word costs the
// square of the text.
class OccurrenceWatch {
public:
    // Returns the word's handle; empty words are not watched (they occur in every text).
    std::uint32_t Add(const std::string& word)
    {
        std::uint32_t node = 0;
        for (const char c : word) {
            std::uint32_t next = Child(node, c);
            if (next == 0) {
                next = static_cast<std::uint32_t>(nodes.size());
                nodes.push_back(Node{});
                nodes.back().symbol = c;
                nodes.back().sibling = nodes[node].child;
                nodes[node].child = next;
            }
            node = next;
        }
        nodes[node].isWord = true;
        return node;
    }

    // After the last Add, before the first Feed.
    void Build()
    {
        std::vector<std::uint32_t> queue;
        for (std::uint32_t v = nodes[0].child; v != 0; v = nodes[v].sibling)
            queue.push_back(v);
        for (std::size_t head = 0; head < queue.size(); ++head) {
            const std::uint32_t u = queue[head];
            for (std::uint32_t v = nodes[u].child; v != 0; v = nodes[v].sibling) {
                const std::uint32_t fail = Step(nodes[u].fail, nodes[v].symbol);
                nodes[v].fail = fail;
                nodes[v].wordLink = nodes[fail].isWord ? fail : nodes[fail].wordLink;
                queue.push_back(v);
            }
        }
    }

    void Feed(const std::string& text)
    {
        for (const char c : text) {
            state = Step(state, c);
            // A word once seen stays seen with all words that end it, so each is marked once.
            std::uint32_t word = nodes[state].isWord ? state : nodes[state].wordLink;
            while (word != 0 && !nodes[word].isSeen) {
                nodes[word].isSeen = true;
                word = nodes[word].wordLink;
            }
        }
    }

    bool HasSeen(std::uint32_t word) const { return word == 0 || nodes[word].isSeen; }

private:
    struct Node {
        std::uint32_t child = 0;
        std::uint32_t sibling = 0;
        std::uint32_t fail = 0;
        std::uint32_t wordLink = 0;
        char symbol = 0;
        bool isWord = false;
        bool isSeen = false;
    };

    std::uint32_t Child(std::uint32_t node, char c) const
    {
        for (std::uint32_t v = nodes[node].child; v != 0; v = nodes[v].sibling)
            if (nodes[v].symbol == c)
                return v;
        return 0;
    }

    std::uint32_t Step(std::uint32_t node, char c) const
    {
        for (;;) {
            if (const std::uint32_t next = Child(node, c))
                return next;
            if (node == 0)
                return 0;
            node = nodes[node].fail;
        }
    }

    std::vector<Node> nodes = std::vector<Node>(1);
    std::uint32_t state = 0;
};

// Appends ";" + line + "_prev d" for each packs.txt line that does not occur anywhere in the text
// as it stands when the line is reached: a plain substring test, so a name inside a longer entry,
// also one added by an earlier line, counts as present.
void AppendPacksLines(const std::vector<std::string>& lines, std::string& working)
{
    if (lines.empty())
        return;
    OccurrenceWatch watch;
    std::vector<std::uint32_t> handles;
    handles.reserve(lines.size());
    for (const std::string& line : lines)
        handles.push_back(watch.Add(line));
    watch.Build();
    watch.Feed(working);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (watch.HasSeen(handles[i]))
            continue;
        const std::string entry = ";" + lines[i] + kDevSuffix + " d";
        working += entry;
        watch.Feed(entry);
    }
}

bool HasSet(const std::string& name)
{
    return gHooks.setExists && gHooks.setExists(name);
}

std::string CurrentSet()
{
    return gHooks.currentSetName ? gHooks.currentSetName() : std::string();
}

PackageRecord* FindBySet(const std::string& setName)
{
    for (PackageRecord& r : gRecords) {
        if (r.setName == setName)
            return &r;
    }
    return nullptr;
}

bool NamesSet(const PackageRecord& r, const std::string& setName)
{
    for (const std::string& p : r.packages) {
        if (p == "all" || p == setName)
            return true;
    }
    return false;
}

} // namespace

PackageRecord::PackageRecord(const std::string& name) : entryName(name) {}

std::vector<std::string> PackageList::SplitNames(const std::string& text, char delimiter)
{
    std::vector<std::string> out;
    // The shared tokenizer counts in int: a longer text (never a real list) is refused whole.
    if (text.size() > static_cast<std::size_t>(INT_MAX)) {
        LogText(kLogFile, "Ignoring a package list of " + std::to_string(text.size()) + " bytes: too long");
        return out;
    }
    const int end = static_cast<int>(text.size());
    int next = 0;
    std::string token;
    for (int start = 0; NextToken(text, start, end, delimiter, next, token); start = next)
        out.push_back(token);
    return out;
}

std::vector<PackageRecord>& PackageList::Records() { return gRecords; }
std::uint32_t PackageList::Generation() { return gGeneration; }
int PackageList::SelectedCount() { return gSelectedCount; }
bool PackageList::ReloadPending() { return gReloadPending; }
void PackageList::SetReloadPending(bool on) { gReloadPending = on; }
void PackageList::SetProfile(PackageProfile* profile) { gPackageProfile = profile; }
PackageProfile* PackageList::Profile() { return gPackageProfile; }
void PackageList::SetRegistryHooks(const PackageRegistryHooks& hooks) { gHooks = hooks; }
const PackageRegistryHooks& PackageList::RegistryHooks() { return gHooks; }
void PackageList::SetPacksFilePath(const std::string& path) { gPacksFilePath = path; }

bool PackageList::Load()
{
    gRecords.clear();
    gSelectedCount = 0;
    ++gGeneration;

    std::string working = gPackageProfile ? gPackageProfile->PackageListText() : std::string();
    AppendPacksLines(ReadPacksLines(gPacksFilePath), working);

    const std::vector<std::string> entries = PackageList::SplitNames(working, ';');
    gRecords.reserve(entries.size());
    for (const std::string& entry : entries) {
        if (entry.empty())
            continue;
        const std::vector<std::string> words = SplitBlanks(entry);
        if (words.empty())
            continue;
        if (!IsPlainArchiveName(words[0])) {
            gConditions.Note("has an unusable name; ignored", "have unusable names; ignored", words[0]);
            continue;
        }
        PackageRecord record(words[0]);
        for (std::size_t i = 1; i < words.size(); ++i) {
            if (words[i] == "d")
                record.devPackage = true;
            // A number, "n" and words starting with "s" are for the menus' item marks.
        }
        gRecords.push_back(std::move(record));
    }

    const std::unordered_set<std::string> inDat = ArchiveFilesInDat();
    for (PackageRecord& record : gRecords) {
        // A package that was never downloaded has no archive: nothing to read, and nothing to remove.
        if (!record.devPackage && !HasArchiveFile(record.entryName, inDat)) {
            gConditions.Note("is not installed", "are not installed", record.entryName);
            continue;
        }
        ReadPreview(record);
    }
    gConditions.Flush();

    PackageSelection::ParseProfileList();
    return true;
}

void PackageList::ReadPreview(PackageRecord& record)
{
    ConfigFile file;
    if (!file.LoadPackageFile(record.entryName, "preview.txt", false, false)) {
        // Only a broken archive is thrown away (so that it is fetched again); a readable one that
        // merely lacks the file stays. Development packages are loose files: nothing to delete.
        if (!record.devPackage && DeleteBrokenArchive(record.entryName)) {
            gConditions.Note("is damaged; its archive files were removed", "are damaged; their archive files were removed",
                             record.entryName);
        } else {
            gConditions.Note("has no readable preview.txt; it stays hidden",
                             "have no readable preview.txt; they stay hidden", record.entryName);
        }
        return;
    }
    // Without the section the keys would be read from whatever section comes first.
    if (!file.SelectSection("Purchase")) {
        gConditions.Note("has no Purchase section in preview.txt; it stays hidden",
                         "have no Purchase section in preview.txt; they stay hidden", record.entryName);
        return;
    }
    auto flag = [&file](const char* key) { return file.GetInt(key) == 1; };

    if (record.devPackage) {
        const std::string& n = record.entryName;
        record.setName = n.size() < kDevSuffixLength ? n : n.substr(0, n.size() - kDevSuffixLength);
        record.theme = "dev";
    } else {
        record.setName = file.GetString("Assets");
        record.theme = file.GetString("Theme");
    }
    record.standalone = flag("Standalone");
    record.hidden = flag("Hidden");
    record.settingsOnly = flag("SettingsOnly");
    record.hd = flag("HD");
    record.base = flag("Base");
    record.logo = flag("Logo");
    record.playable = flag("Playable");
    record.season = file.GetInt("Season");
    record.logoSeason = file.GetInt("LogoSeason");
    record.bundle = flag("Bundle");
    record.disableMixing = flag("DisableMixing");
    SDL_Color font{record.fontColor[0], record.fontColor[1], record.fontColor[2], record.fontColor[3]};
    // The same reading as a layout's colours: an empty or missing key keeps the default.
    ParseColor(file.GetString("FontColor"), font);
    record.fontColor[0] = font.r;
    record.fontColor[1] = font.g;
    record.fontColor[2] = font.b;
    record.fontColor[3] = font.a;
    record.font = file.GetString("Font");
    record.fontSize = file.GetInt("FontSize");
    record.imageCount = file.GetInt("ImageCount");
    record.iconPath = file.GetString("IconPath");
    if (record.logoSeason == -1)
        record.logoSeason = record.season;
    if (record.bundle)
        record.webLink = file.GetString("WebLink");
    const std::string packages = file.GetString("Packages");
    record.packages = PackageList::SplitNames(packages, ';');

    if (!record.setName.empty() && !IsPlainArchiveName(record.setName)) {
        LogText(kLogFile, "Package " + record.entryName + " names an unusable set: " + record.setName);
        record.setName.clear();
        record.hidden = true;
    }
}

void PackageList::Destroy()
{
    gRecords.clear();
    gSelectedCount = 0;
    ++gGeneration;
    PackageSelection::Clear();
}

void PackageList::Reset()
{
    Destroy();
    gReloadPending = false;
    gPackageProfile = nullptr;
    gHooks = PackageRegistryHooks();
    gPacksFilePath = kDefaultPacksFilePath;
    gConditions = LogTally("Package", "packages");
}

void PackageList::ReloadIfPending()
{
    if (!gReloadPending)
        return;
    Load();
    if (gHooks.buildSetList)
        gHooks.buildSetList();
    gReloadPending = false;
}

void PackageList::CollectActive(const std::string& setName, std::vector<PackageRecord*>& out)
{
    out.clear();
    std::string refTheme;
    std::int32_t refSeason = 0;
    if (const PackageRecord* own = FindBySet(setName)) {
        if (own->disableMixing)
            return;
        refTheme = own->theme;
        refSeason = own->logoSeason;
    }
    const bool devSelected = PackageSelection::Contains("dev");
    for (PackageRecord& r : gRecords) {
        if (!(r.logo || r.hd || r.theme == refTheme))
            continue;
        if (r.standalone) {
            if (!(r.hd && r.selected))
                continue;
        } else if (!(PackageSelection::Contains(r.theme) || devSelected || r.logo)) {
            continue;
        }
        if (r.logo && r.season != refSeason)
            continue;
        if (!HasSet(r.setName))
            continue;
        if (!NamesSet(r, setName))
            continue;
        out.push_back(&r);
    }
}

void PackageList::Activate(const std::string& setName)
{
    std::vector<PackageRecord*> active;
    CollectActive(setName, active);
    if (!gHooks.mixPackage)
        return;
    for (PackageRecord* r : active)
        gHooks.mixPackage(*r);
}

void PackageList::CollectVisible(std::vector<PackageRecord*>& out)
{
    out.clear();
    ReloadIfPending();
    for (PackageRecord& r : gRecords) {
        if (r.base && !r.hidden)
            out.push_back(&r);
    }
}

void PackageList::CollectBySet(const std::string& setName, std::vector<PackageRecord*>& out)
{
    out.clear();
    ReloadIfPending();
    for (PackageRecord& r : gRecords) {
        if (r.setName == setName)
            continue;
        // One entry per matching name, as the menus expect.
        for (const std::string& p : r.packages) {
            if ((p == "all" || p == setName) && !r.base && !r.settingsOnly && !r.hidden)
                out.push_back(&r);
        }
    }
}

void PackageList::CollectForCurrentSet(std::vector<PackageRecord*>& out)
{
    out.clear();
    const std::string current = CurrentSet();
    const PackageRecord* own = FindBySet(current);
    if (!own || own->disableMixing)
        return;
    const std::int32_t season = own->season;
    for (PackageRecord& r : gRecords) {
        if (r.setName == current)
            continue;
        for (const std::string& p : r.packages) {
            if ((p == "all" || p == current) && r.hd && !r.base && !r.hidden && r.season == season)
                out.push_back(&r);
        }
    }
}

bool PackageList::SelectByTheme(const std::string& theme)
{
    PackageSelection::Clear();
    std::vector<PackageRecord*> listed;
    CollectForCurrentSet(listed);
    // Set names, not pointers: SetSelected looks each one up again.
    std::vector<std::string> names;
    for (const PackageRecord* r : listed) {
        if (theme.empty() || r->theme == theme)
            names.push_back(r->setName);
    }
    bool changed = false;
    for (const std::string& name : names) {
        if (SetSelected(name, true)) {
            changed = true;
        } else if (const PackageRecord* r = FindBySet(name); r != nullptr && r->selected) {
            // The themes were emptied above; one that stays selected is listed again.
            PackageSelection::Toggle(r->theme, true);
        }
    }
    return changed;
}

bool PackageList::SetSelected(const std::string& setName, bool on)
{
    PackageRecord* r = FindBySet(setName);
    if (!r || r->selected == on)
        return false;
    r->selected = on;
    gSelectedCount += on ? 1 : -1;
    PackageSelection::Toggle(r->theme, on);
    return true;
}

void PackageList::DeselectAll()
{
    for (PackageRecord& r : gRecords)
        r.selected = false;
    gSelectedCount = 0;
}

bool PackageList::IsUsable(const std::string& setName)
{
    const PackageRecord* r = FindBySet(setName);
    if (!r)
        return false;
    return r->selected || !r->standalone || r->base;
}

void PackageList::MarkSeen(const std::string& entryName)
{
    PackageRecord* seen = nullptr;
    for (PackageRecord& r : gRecords) {
        if (r.entryName == entryName) {
            seen = &r;
            break;
        }
    }
    if (!seen || !seen->isNew)
        return;
    seen->isNew = false;
    for (const std::string& member : seen->packages) {
        if (PackageRecord* m = FindBySet(member))
            m->isNew = false;
    }
    if (!gPackageProfile)
        return;
    std::string text;
    for (const PackageRecord& r : gRecords) {
        if (r.isNew && !r.base && r.standalone)
            text += ";" + r.entryName;
    }
    gPackageProfile->SetEnabledPackages(text);
    gPackageProfile->SaveProfile(false);
    PackageSelection::ParseProfileList();
    if (gHooks.packagesSeen)
        gHooks.packagesSeen();
}
