#include "character/CharacterRegistry.h"

#include "engine/ArchiveRegistry.h"
#include "engine/ConfigFile.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/GUIScreenManager.h"

#include <algorithm>

namespace {

struct RegistryState {
    std::vector<CharacterSet> sets;
    std::vector<std::unique_ptr<Category>> categories;
    std::vector<SubcategoryList> lists;
    std::string setName;
    SDL_Rect dimensions{0, 0, kDefaultSetWidth, kDefaultSetHeight};
    std::vector<std::int32_t> tokens;
    std::int32_t cover = -1;
    std::int32_t carrier = -1;
    std::int32_t current = -1;
    std::uint32_t generation = 0;
    bool figureDirty = false;
    CharacterRegistry::PackageActivation activation;
};

RegistryState& State()
{
    static RegistryState state;
    return state;
}

// Link targets are searched in every list but the last, list by list, member by member.
Category* FindLinkTarget(const std::string& name)
{
    RegistryState& state = State();
    if (name.empty() || state.lists.empty()) {
        return nullptr;
    }
    for (std::size_t list = 0; list + 1 < state.lists.size(); ++list) {
        for (std::int32_t member : state.lists[list].Members) {
            Category* category = CharacterRegistry::CategoryAt(member);
            if (category && category->Name == name) {
                return category;
            }
        }
    }
    return nullptr;
}

// Whether following `next` links from `start` reaches `target` (bounded by the layer count).
template <typename Next>
bool ChainReaches(const Category* start, const Category* target, Next next)
{
    const Category* category = start;
    for (std::int32_t steps = CharacterRegistry::CategoryCount() + 1; category && steps > 0; --steps) {
        if (category == target) {
            return true;
        }
        category = CharacterRegistry::CategoryAt(next(*category));
    }
    return false;
}

void HideWithMask(Category& category)
{
    category.SetVisibleChain(false);
    category.ClearMaskBits(category.CurrentItem);
}

// refusal: what a refused definition asked for; empty when it could not be read at all.
std::string SetNotOpenedMessage(const std::string& name, const std::string& refusal)
{
    const std::string shown = ShortenForDisplay(name, kShownNameBytes);
    if (!refusal.empty())
        return FillPlaceholders(Localize("ERR_SET_TOO_LARGE"), shown, refusal);
    return FillPlaceholders(Localize("ERR_FAILED_OPEN"), shown + ".txt", shown);
}

} // namespace

void CharacterRegistry::Init()
{
    RegistryState& state = State();
    state.sets.clear();
    state.figureDirty = false;
    ResetCurrent();
}

void CharacterRegistry::Shutdown()
{
    ResetCurrent();
    RegistryState& state = State();
    state.lists.clear();
    state.lists.shrink_to_fit();
    state.tokens.shrink_to_fit();
    state.sets.clear();
    state.sets.shrink_to_fit();
}

void CharacterRegistry::Reset()
{
    Shutdown();
    RegistryState& state = State();
    state.dimensions = SDL_Rect{0, 0, kDefaultSetWidth, kDefaultSetHeight};
    state.figureDirty = false;
    state.activation = nullptr;
}

void CharacterRegistry::SetPackageActivation(PackageActivation activation)
{
    State().activation = std::move(activation);
}

void CharacterRegistry::MixPackage(const std::string& packageSet)
{
    const CharacterSet* source = FindSet(packageSet);
    if (!source) {
        return;
    }
    // Each definition is bounded, but many packages mixed into one figure are not.
    auto totals = [](auto begin, auto end, auto get) {
        std::int64_t items = 0;
        std::int64_t records = 0;
        for (auto it = begin; it != end; ++it) {
            const CategoryDefinition& category = get(*it);
            items += std::max(category.ItemCount, 0);
            records += static_cast<std::int64_t>(category.Rects.size() + category.AlphaEntries.size());
        }
        return std::make_pair(items, records);
    };
    const auto added = totals(source->Categories.begin(), source->Categories.end(),
                              [](const CategoryDefinition& c) -> const CategoryDefinition& { return c; });
    const auto held = totals(State().categories.begin(), State().categories.end(),
                             [](const std::unique_ptr<Category>& c) -> const CategoryDefinition& { return *c; });
    if (held.first + added.first > kMaxFigureItems || held.second + added.second > kMaxFigureItems) {
        LogText(kLogFile, "Package " + packageSet + " not mixed into set " + State().setName + ": the figure would hold more than " +
                              std::to_string(kMaxFigureItems) + " items");
        return;
    }
    for (const CategoryDefinition& category : source->Categories) {
        // A nameless entry is a content fault of that package: skip it, and keep its archive
        // open (closing it would only re-hash the file and save the profile on the next read).
        if (category.Name.empty() || category.Subcategory.empty()) {
            LogText(kLogFile, "Set " + packageSet + " has a category without name or subcategory; skipped");
            continue;
        }
        Category* target = FindCategory(category.Name);
        if (!target) {
            continue;
        }
        target->SetTransparentItem(category.TransparentItem);
        if (!target->Movable && (category.Movable || category.MoveAll)) {
            target->SetMovable(true);
        }
        target->AddPackageItems(packageSet, category.ItemCount, category.Rects.empty() ? nullptr : &category.Rects,
                                category.AlphaEntries);
    }
}

void CharacterRegistry::BuildSetList(const std::vector<SetSource>& packages)
{
    RegistryState& state = State();
    state.sets.clear();
    state.sets.reserve(packages.size());
    for (const SetSource& source : packages) {
        state.sets.push_back(CharacterSet{});
        CharacterSet& set = state.sets.back();
        set.Name = source.setName;
        set.LooseFiles = source.looseFiles ? 1 : 0;
        if (!set.Name.empty()) {
            ReadDefinition(set, false);
        }
    }
}

CharacterSet* CharacterRegistry::FindSet(const std::string& name)
{
    for (CharacterSet& set : State().sets) {
        if (set.Name == name) {
            if (set.LooseFiles) {
                ReadDefinition(set, true);
            }
            return &set;
        }
    }
    return nullptr;
}

bool CharacterRegistry::ReadDefinition(CharacterSet& set, bool reread)
{
    if (set.LooseFiles && !reread) {
        return true;
    }
    set.Clear();
    set.Refusal.clear();
    const std::string fileName = set.Name + ".txt";
    ConfigFile file;
    if (!file.LoadPackageFile(set.Name, fileName, !set.LooseFiles, true)) {
        LogText(kLogFile, SetNotOpenedMessage(set.Name, std::string()));
        // Only a broken package goes (it is fetched again); a definition missing from an
        // intact archive is a content fault, and deleting it would re-download it forever.
        if (!set.LooseFiles) {
            DeleteBrokenArchive(set.Name);
        }
        return false;
    }
    const std::string package = set.Name;
    const bool archiveOnly = !set.LooseFiles;
    if (!set.ReadSections(file, [&](const std::string& path) { return ResourceCache::Exists(package, path, archiveOnly); })) {
        // The archive is intact: fetching it again would bring the same definition back.
        LogText(kLogFileAndScreen, SetNotOpenedMessage(set.Name, set.Refusal));
        return false;
    }
    return true;
}

std::string CharacterRegistry::UnopenedSetMessage(const std::string& name)
{
    // Looked up without reading again: a loose-file set keeps what its last read found.
    for (const CharacterSet& set : State().sets) {
        if (set.Name == name && !set.Refusal.empty())
            return SetNotOpenedMessage(name, set.Refusal);
    }
    return SetNotOpenedMessage(name, std::string());
}

bool CharacterRegistry::LoadCharacter(const std::string& name, bool skipSetup, bool emptyFigure)
{
    ResetCurrent();
    const CharacterSet* set = FindSet(name);
    if (!set || !set->Refusal.empty()) {
        return false;
    }
    RegistryState& state = State();
    state.setName = set->Name;
    state.dimensions = set->Dimensions;
    state.categories.reserve(set->Categories.size());
    for (const CategoryDefinition& definition : set->Categories) {
        state.categories.push_back(std::make_unique<Category>(definition));
        state.categories.back()->Index = static_cast<std::int32_t>(state.categories.size() - 1);
    }
    for (const SubcategoryList& list : set->Lists) {
        state.lists.push_back(SubcategoryList{list.Name, {}});
    }
    if (!skipSetup) {
        if (state.activation) {
            state.activation(name);
        }
        ResolveLinks();
        ApplyDefaults(!emptyFigure);
    }
    return true;
}

void CharacterRegistry::ResetCurrent()
{
    RegistryState& state = State();
    state.categories.clear();
    state.lists.clear();
    state.setName.clear();
    state.tokens.clear();
    state.cover = -1;
    state.carrier = -1;
    state.current = -1;
    ++state.generation;
}

void CharacterRegistry::ResolveLinks()
{
    RegistryState& state = State();
    for (auto& category : state.categories) {
        category->ApplyColor(category->DefaultColor);
        category->Alterers.clear();
    }
    for (auto& owned : state.categories) {
        Category& category = *owned;
        for (const std::string& name : category.IgnoreItem) {
            for (auto& other : state.categories) {
                if (other->Name != name) {
                    continue;
                }
                if (other.get() != &category && std::find(category.ExclusiveWith.begin(), category.ExclusiveWith.end(),
                                                           other->Index) == category.ExclusiveWith.end()) {
                    category.ExclusiveWith.push_back(other->Index);
                }
                break;
            }
        }
        category.IgnoreItem.clear();
        for (SubcategoryList& list : state.lists) {
            if (list.Name == category.Subcategory) {
                list.Members.push_back(category.Index);
            }
        }
        if (category.Cover) {
            HideWithMask(category);
            state.cover = category.Index;
        }
    }
    if (state.lists.empty()) {
        return;
    }
    const std::vector<std::int32_t> lastMembers = state.lists.back().Members;
    for (std::int32_t member : lastMembers) {
        Category* category = CategoryAt(member);
        if (!category) {
            continue;
        }
        if (Category* target = FindLinkTarget(category->Linked)) {
            // target's picks propagate to category; a loop would never end.
            if (target == category || ChainReaches(category, target, [](const Category& c) { return c.LinkedCategory; })) {
                LogText(kLogFile, "\"Linked\" of " + category->Name + " to " + target->Name + " makes a loop; ignored");
            } else {
                target->LinkedCategory = category->Index;
            }
        }
        if (Category* target = FindLinkTarget(category->Toggle)) {
            if (target == category || ChainReaches(target, category, [](const Category& c) { return c.ToggleTarget; })) {
                LogText(kLogFile, "\"Toggle\" of " + category->Name + " to " + target->Name + " makes a loop; ignored");
            } else {
                category->ToggleTarget = target->Index;
                target->IsToggleTarget = 1;
            }
        }
        category->Linked.clear();
        for (const std::string& name : category->AppliedTo) {
            Category* target = FindLinkTarget(name);
            if (!target || target == category) {
                continue;
            }
            if (std::find(category->CoverPartners.begin(), category->CoverPartners.end(), target->Index) ==
                category->CoverPartners.end()) {
                category->CoverPartners.push_back(target->Index);
                target->CoverPartners.push_back(category->Index);
            }
        }
        for (const std::string& name : category->AvailableTo) {
            Category* target = FindLinkTarget(name);
            if (!target || target == category) {
                continue;
            }
            const bool known = std::any_of(category->AlterChoices.begin(), category->AlterChoices.end(),
                                           [&](const auto& choice) { return choice.first == target->Index; });
            if (!known) {
                category->AlterChoices.emplace_back(target->Index, 0);
                target->Alterers.push_back(category->Index);
            }
        }
        category->AppliedTo.clear();
        category->AvailableTo.clear();
        if (category->HasAppliedTo) {
            HideWithMask(*category);
            state.carrier = category->Index;
        }
    }
}

void CharacterRegistry::ApplyDefaults(bool useDefaults)
{
    RegistryState& state = State();
    for (std::size_t i = 0; i < state.categories.size(); ++i) {
        Category& category = *state.categories[i];
        // DefaultItem is an item number but goes in as a list index: on a layer that cannot be
        // emptied it selects the next item. Existing content is built on that.
        const bool useDefault = useDefaults && category.DefaultItem >= 1 && category.DefaultItem <= category.ItemCount;
        category.SelectItem(useDefault ? category.DefaultItem : 0);
        category.ApplyColor(category.Color);
    }
    state.figureDirty = true;
    if (Category* cover = CoverLayer()) {
        HideWithMask(*cover);
    }
}

Category* CharacterRegistry::FindCategory(const std::string& name)
{
    for (auto& category : State().categories) {
        if (category->Name == name) {
            return category.get();
        }
    }
    LogText(kLogFileAndScreen, FillPlaceholders(Localize("ERR_UNREC_SUB"), ShortenForDisplay(name, kShownNameBytes)));
    return nullptr;
}

Category* CharacterRegistry::FirstActiveToken()
{
    for (std::int32_t index : State().tokens) {
        Category* category = CategoryAt(index);
        if (category && category->Visible && (category->CurrentItem > 0 || category->DrawWithoutItem)) {
            return category;
        }
    }
    return nullptr;
}

void CharacterRegistry::SetTokenActive(Category& category, bool on)
{
    RegistryState& state = State();
    if (Category* cover = CoverLayer()) {
        cover->SetVisibleChain(on);
        cover->ChangeMaskBits(cover->CurrentItem, on);
    }
    state.figureDirty = true;
    auto it = std::find(state.tokens.begin(), state.tokens.end(), category.Index);
    if (it != state.tokens.end()) {
        if (!on) {
            state.tokens.erase(it);
        }
    } else if (on) {
        state.tokens.push_back(category.Index);
    }
}

void CharacterRegistry::MoveAll(float dx, float dy)
{
    for (auto& category : State().categories) {
        if (!category->IgnoreMoveAll) {
            category->Move(dx, dy, false);
            category->ComputeRects();
        }
    }
    State().figureDirty = true;
}

std::string CharacterRegistry::CurrentSetName()
{
    return State().setName;
}

std::uint32_t CharacterRegistry::Generation()
{
    return State().generation;
}

std::vector<CharacterSet>& CharacterRegistry::Sets()
{
    return State().sets;
}

std::int32_t CharacterRegistry::CategoryCount()
{
    return static_cast<std::int32_t>(State().categories.size());
}

Category* CharacterRegistry::CategoryAt(std::int32_t index)
{
    RegistryState& state = State();
    if (index < 0 || static_cast<std::size_t>(index) >= state.categories.size()) {
        return nullptr;
    }
    return state.categories[static_cast<std::size_t>(index)].get();
}

std::vector<std::unique_ptr<Category>>& CharacterRegistry::Categories()
{
    return State().categories;
}

const std::vector<SubcategoryList>& CharacterRegistry::Lists()
{
    return State().lists;
}

const SDL_Rect& CharacterRegistry::Dimensions()
{
    return State().dimensions;
}

const std::vector<std::int32_t>& CharacterRegistry::TokenList()
{
    return State().tokens;
}

Category* CharacterRegistry::CoverLayer()
{
    return CategoryAt(State().cover);
}

Category* CharacterRegistry::MaskCarrier()
{
    return CategoryAt(State().carrier);
}

Category* CharacterRegistry::CurrentCategory()
{
    return CategoryAt(State().current);
}

void CharacterRegistry::SetCurrentCategory(std::int32_t index)
{
    State().current = index;
}

bool CharacterRegistry::FigureDirty()
{
    return State().figureDirty;
}

void CharacterRegistry::SetFigureDirty(bool dirty)
{
    State().figureDirty = dirty;
    // The figure is composed while the frame is drawn: a frame must come.
    if (dirty)
        GUIScreenManager::Invalidate();
}
