#pragma once
// The content packages the program knows, rebuilt whole from the profile's package list,
// "package_generator/packs.txt" and each package's "preview.txt"; and which of them are
// selected and mixed into the current character set.
//
// Records are rebuilt by every Load: a PackageRecord pointer (and every collected list) is valid
// only until the next Load. Code that must survive a reload keeps the entry name, or checks
// Generation() before using a pointer it kept.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct PackageRecord {
    explicit PackageRecord(const std::string& name);

    std::string entryName;
    std::string setName;
    std::string theme;
    std::string webLink;
    std::string iconPath;
    std::string font;
    bool standalone = false;
    bool hidden = true;
    bool hd = false;
    bool base = false;
    bool selected = false;
    bool isNew = false;
    bool settingsOnly = false;
    bool logo = false;
    bool devPackage = false;
    bool playable = false;
    bool bundle = false;
    bool disableMixing = false;
    std::int32_t season = 1;
    std::int32_t logoSeason = 1;
    std::int32_t imageCount = 0;
    std::int32_t fontSize = 0;
    std::vector<std::string> packages;
    std::uint8_t fontColor[4] = {255, 255, 255, 255};
};

// The profile fields the package list reads and writes; the application's profile provides them.
class PackageProfile {
public:
    virtual ~PackageProfile() = default;
    virtual const std::string& PackageListText() const = 0;
    virtual const std::string& NewPackagesText() const = 0;
    // Stores the new-packages list and marks the profile dirty when it changed.
    virtual void SetEnabledPackages(const std::string& text) = 0;
    virtual bool SaveProfile(bool force) = 0;
};

// What the package list needs from the character registry. The registry installs these; a test
// installs its own. Unset hooks behave as "no set is loaded and none exists".
struct PackageRegistryHooks {
    std::function<std::string()> currentSetName;
    std::function<bool(const std::string& setName)> setExists;
    std::function<void()> buildSetList;
    // Appends the items of the package's own set to the categories of the current set.
    std::function<void(const PackageRecord& package)> mixPackage;
    // The main menu rebuilds its lists after a package was seen.
    std::function<void()> packagesSeen;
};

class PackageList {
public:
    static bool Load();
    static void Destroy();
    // Destroy, and every setting above back as the process started: no profile, no hooks, the
    // default packs file, no reload pending.
    static void Reset();

    // Mixes the qualifying packages into the set just loaded (its own categories are current).
    static void Activate(const std::string& setName);
    // The records Activate mixes in, in list order (empty when the set's own package disables mixing).
    static void CollectActive(const std::string& setName, std::vector<PackageRecord*>& out);
    static void CollectVisible(std::vector<PackageRecord*>& out);
    static void CollectBySet(const std::string& setName, std::vector<PackageRecord*>& out);
    static void CollectForCurrentSet(std::vector<PackageRecord*>& out);
    static bool SelectByTheme(const std::string& theme);
    static bool SetSelected(const std::string& setName, bool on);
    static void DeselectAll();
    static bool IsUsable(const std::string& setName);
    // The menu's rebuild that follows may reload a pending list: check Generation() before using
    // a record pointer kept across this call.
    static void MarkSeen(const std::string& entryName);

    static std::vector<PackageRecord>& Records();
    // Raised by each Load.
    static std::uint32_t Generation();
    static int SelectedCount();
    static bool ReloadPending();
    static void SetReloadPending(bool on);

    // Not owned; null means "no profile" (the list starts empty and MarkSeen stops early).
    static void SetProfile(PackageProfile* profile);
    static PackageProfile* Profile();
    static void SetRegistryHooks(const PackageRegistryHooks& hooks);
    static const PackageRegistryHooks& RegistryHooks();
    // Installs the hooks that reach the CharacterRegistry, and the registry's activation call.
    static void UseCharacterRegistry();
    // Where "package_generator/packs.txt" is looked for (relative to the working folder by default).
    static void SetPacksFilePath(const std::string& path);

    // ";"-lists through the shared tokenizer: "a;;b" gives "a", "", "b"; "a;" gives "a".
    static std::vector<std::string> SplitNames(const std::string& text, char delimiter);

private:
    static void ReloadIfPending();
    static void ReadPreview(PackageRecord& record);
};
