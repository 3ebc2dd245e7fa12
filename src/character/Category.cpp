#include "character/Category.h"

#include "character/CharacterRegistry.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace {

constexpr std::size_t kMaxPathLength = 99;

// The piece after the first "_" (empty when there is none): packages of the set's own line
// share it with the set.
std::string SecondPiece(const std::string& name)
{
    const std::size_t first = name.find('_');
    if (first == std::string::npos) {
        return std::string();
    }
    const std::size_t second = name.find('_', first + 1);
    return name.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
}

void ComputeAxis(int area, int picture, int position, int& source, int& dest, int& size)
{
    if (position < 0) {
        source = -position;
        dest = 0;
        size = picture < area - position ? picture + position : std::min(area, picture);
    } else {
        source = 0;
        dest = position;
        size = picture + position > area ? area - position : std::min(picture, area);
    }
    size = std::max(size, 0);
}

} // namespace

void CategoryDefinition::SetMovable(bool on)
{
    if (!Movable) {
        Movable = on ? 1 : 0;
    }
}

void CategoryDefinition::SetFollowsMoveAll(bool on)
{
    if (!FollowsMoveAll) {
        FollowsMoveAll = on ? 1 : 0;
    }
}

void CategoryDefinition::SetIgnoreMoveAll(bool on)
{
    if (!IgnoreMoveAll) {
        IgnoreMoveAll = on ? 1 : 0;
    }
}

void CategoryDefinition::SetRandomChance(std::int32_t chance)
{
    RandomChance = std::max(RandomChance, chance);
}

void CategoryDefinition::SetDrawWithoutItem(bool on)
{
    DrawWithoutItem = on ? 1 : 0;
    Visible = DrawWithoutItem;
}

void CategoryDefinition::SetTransparentItem(std::int32_t item)
{
    if (TransparentItem == -1) {
        TransparentItem = item;
    }
}

AlphaEntry& CategoryDefinition::AddAlphaEntry()
{
    AlphaEntries.push_back(AlphaEntry{});
    return AlphaEntries.back();
}

void CategoryDefinition::ToGlobalItem(std::int32_t& item, const std::string& package) const
{
    for (const ItemRange& range : ItemRanges) {
        if (range.Package == package) {
            item += range.First - 1;
            return;
        }
    }
}

void CategoryDefinition::ToPackageItem(std::int32_t& item, std::string& package) const
{
    package = SetName;
    if (ItemRanges.empty()) {
        return;
    }
    if (TransparentItem >= 0 && item == 0) {
        // Content of the 639-wide sets keeps its empty picture in the first package.
        if (AreaWidth == 639) {
            package = ItemRanges.front().Package;
        }
        return;
    }
    for (auto it = ItemRanges.rbegin(); it != ItemRanges.rend(); ++it) {
        if (it->First <= item) {
            package = it->Package;
            item = item + 1 - it->First;
            return;
        }
    }
}

bool CategoryDefinition::ItemPath(std::int32_t item, bool icons, std::string& out) const
{
    const char* extension = (TransparentItem > -1 && !icons) ? ".jpg" : ".png";
    char buffer[kMaxPathLength + 1];
    int written = 0;
    if (item != 0 || !icons) {
        written = std::snprintf(buffer, sizeof buffer, "%s/%s/%d%s", icons ? "icons" : "pictures", Name.c_str(),
                                static_cast<int>(item), extension);
    } else {
        written = std::snprintf(buffer, sizeof buffer, "icons/%d%s", static_cast<int>(item), extension);
    }
    out = buffer;
    return written >= 0 && static_cast<std::size_t>(written) <= kMaxPathLength;
}

void CategoryDefinition::IconPath(std::int32_t listIndex, std::string& out) const
{
    std::int32_t item = listIndex + (Removable ? 0 : 1);
    std::string package;
    ToPackageItem(item, package);
    std::string path;
    ItemPath(item, true, path);
    out = (item == 0 ? std::string("core/gui/common") : package) + "/" + path;
}

Category::Category(const CategoryDefinition& definition) : CategoryDefinition(definition)
{
    if (HasAppliedTo) {
        SetHasAppliedTo(true);
    }
}

Category::~Category()
{
    ReleaseResources();
}

void Category::ReleaseResources()
{
    ResourceCache::ReleaseTexture(&Texture);
    ResourceCache::ReleaseSurface(&Surface);
    ResourceCache::ReleaseSurface(&picture);
    for (SDL_Surface*& mask : MaskPictures) {
        ResourceCache::ReleaseSurface(&mask);
    }
    pictureItem = -1;
    SurfaceBuilt = 0;
}

void Category::SetHasAppliedTo(bool on)
{
    HasAppliedTo = on ? 1 : 0;
}

void Category::AddPackageItems(const std::string& package, std::int32_t count, const ItemRects* rects,
                               const std::vector<AlphaEntry>& alphaEntries)
{
    if (rects) {
        const std::size_t room = static_cast<std::size_t>(kMaxPackageItems) * 4;
        if (Rects.size() + rects->size() > room) {
            LogText(kLogFile, "Too many item rectangles for category " + Name + " from " + package + "; ignored");
        } else {
            Rects.insert(Rects.end(), rects->begin(), rects->end());
        }
    }
    if (count <= 0) {
        return;
    }
    if (count > kMaxPackageItems) {
        LogText(kLogFile, "Item count " + std::to_string(count) + " of package " + package + " in category " + Name +
                              " capped at " + std::to_string(kMaxPackageItems));
        count = kMaxPackageItems;
    }
    if (ItemCount > kMaxLayerItems - count) {
        LogText(kLogFile, "Category " + Name + " cannot take more items; package " + package + " ignored");
        return;
    }
    std::int32_t first = 0;
    if (!ItemRanges.empty()) {
        first = ItemRanges.back().First + ItemRanges.back().Count;
    } else if (ItemCount == 0) {
        first = 1;
        if (TransparentItem > -1) {
            SetDrawWithoutItem(true);
        }
    }
    // A declared ItemCount makes the first range start at 0: existing content is numbered so.
    ItemRanges.push_back(ItemRange{package, count, first});
    ItemCount += count;
    if (DefaultItem > 0 && SecondPiece(package) == SecondPiece(SetName)) {
        DefaultItem = first;
    }
    for (const AlphaEntry& entry : alphaEntries) {
        const std::int64_t item = static_cast<std::int64_t>(entry.item) + first - 1;
        if (item >= INT32_MIN && item <= INT32_MAX) {
            AlphaEntries.push_back(AlphaEntry{static_cast<std::int32_t>(item), entry.bit});
        }
    }
}

Category* Category::Resolve(std::int32_t index) const
{
    return CharacterRegistry::CategoryAt(index);
}

const Category& Category::Root() const
{
    const Category* root = this;
    // Toggle cycles are broken when links are made; the bound guards against anything else.
    for (std::int32_t steps = CharacterRegistry::CategoryCount(); steps > 0; --steps) {
        const Category* next = Resolve(root->ToggleTarget);
        if (!next || next == this) {
            break;
        }
        root = next;
    }
    return *root;
}

SDL_Rect Category::RootDestRect() const
{
    return Root().DestRect;
}

SDL_Rect Category::RootSourceRect() const
{
    return Root().SourceRect;
}

SDL_Rect Category::RootOrigin() const
{
    return Root().Origin;
}

void Category::SelectItem(std::int32_t listIndex)
{
    if (listIndex < 0) {
        return;
    }
    Select(Removable ? listIndex : listIndex + 1, 0);
}

void Category::SelectItemNumber(std::int32_t item)
{
    Select(item == 0 && !Removable ? 1 : item, 0);
}

std::int32_t Category::SelectedListIndex() const
{
    if (Removable) {
        return CurrentItem;
    }
    return CurrentItem < 1 ? 0 : CurrentItem - 1;
}

void Category::SelectPackageItem(std::int32_t item, const std::string& package)
{
    if (item == 0 && !Removable) {
        SelectItem(0);
    }
    for (std::int32_t global = 1; global <= ItemCount; ++global) {
        std::int32_t local = global;
        std::string localPackage;
        ToPackageItem(local, localPackage);
        if (local == item && localPackage == package) {
            SelectItemNumber(global);
            return;
        }
    }
}

void Category::Select(std::int32_t item, int depth)
{
    const std::int32_t n = std::min(ItemCount, item);
    if (n < 0 || depth > CharacterRegistry::CategoryCount()) {
        return;
    }
    if (!AlterChoices.empty()) {
        // An alterer's pick is remembered for the layer being edited and changes that layer, when
        // the alterer is made for it ("AvailableTo"); on any other layer it only hides itself.
        Category* current = CharacterRegistry::CurrentCategory();
        if (current && current != this) {
            auto it = std::find_if(AlterChoices.begin(), AlterChoices.end(),
                                   [&](const auto& choice) { return choice.first == current->Index; });
            if (it != AlterChoices.end()) {
                it->second = n;
                current->MarkForRebuild();
            }
        }
        SetVisibleChain(false);
        ClearMaskBits(CurrentItem);
        CharacterRegistry::SetFigureDirty(true);
        return;
    }
    if (n == CurrentItem) {
        return;
    }
    if (Token) {
        CharacterRegistry::SetTokenActive(*this, n >= 1);
    }
    if (Resolve(LinkedCategory)) {
        PropagateToLinked(n, depth);
    }
    ClearMaskBits(CurrentItem);
    SetMaskBits(n);
    Visible = 1;
    SurfaceBuilt = 0;
    CurrentItem = n;
    ApplyExclusions();
    CharacterRegistry::SetFigureDirty(true);
}

void Category::PropagateToLinked(std::int32_t item, int depth)
{
    Category* linked = Resolve(LinkedCategory);
    if (!linked || linked == this) {
        return;
    }
    std::int32_t local = item;
    std::string package;
    ToPackageItem(local, package);
    std::string path;
    if (linked->ItemPath(local, false, path) && ResourceCache::Exists(package, path, false)) {
        linked->ToGlobalItem(local, package);
        linked->Select(local == 0 && !linked->Removable ? 1 : local, depth + 1);
        return;
    }
    linked->CurrentItem = -1;
    linked->SurfaceBuilt = 0;
    linked->SetVisibleChain(false);
}

void Category::ApplyExclusions()
{
    // (candidate, the category that triggered the check). Each check either ends its chain or
    // hides a visible layer, so the walk ends; the step bound is a second guard.
    std::vector<std::pair<std::int32_t, std::int32_t>> pending;
    for (std::int32_t other : ExclusiveWith) {
        pending.emplace_back(other, Index);
    }
    const std::int64_t count = CharacterRegistry::CategoryCount();
    std::int64_t steps = count * count + count + 16;
    while (!pending.empty() && steps-- > 0) {
        const auto [candidateIndex, from] = pending.back();
        pending.pop_back();
        Category* candidate = Resolve(candidateIndex);
        if (!candidate || candidate == this || !candidate->Visible ||
            !(candidate->CurrentItem >= 1 || candidate->DrawWithoutItem)) {
            continue;
        }
        const bool conflict =
            std::any_of(candidate->ExclusiveWith.begin(), candidate->ExclusiveWith.end(), [&](std::int32_t index) {
                const Category* other = Resolve(index);
                return other && other->Visible && other->CurrentItem > 0;
            });
        if (!conflict) {
            continue;
        }
        candidate->SetVisibleChain(false);
        candidate->ClearMaskBits(candidate->CurrentItem);
        for (std::int32_t next : candidate->ExclusiveWith) {
            if (next != from) {
                pending.emplace_back(next, candidate->Index);
            }
        }
    }
    Visible = 1;
}

void Category::SetVisibleChain(bool on)
{
    Category* category = this;
    for (std::int32_t steps = CharacterRegistry::CategoryCount() + 1; category && steps > 0; --steps) {
        category->Visible = on ? 1 : 0;
        category = Resolve(category->LinkedCategory);
        if (category == this) {
            break;
        }
    }
}

void Category::SetVisible(bool on)
{
    SetVisibleChain(on);
    ChangeMaskBits(CurrentItem, on);
    CharacterRegistry::SetFigureDirty(true);
}

void Category::SetMaskBits(std::int32_t item) { ChangeMaskBits(item, true); }

void Category::ClearMaskBits(std::int32_t item) { ChangeMaskBits(item, false); }

void Category::ChangeMaskBits(std::int32_t item, bool on)
{
    Category* carrier = CharacterRegistry::MaskCarrier();
    if (!carrier) {
        return;
    }
    bool changed = false;
    for (const AlphaEntry& entry : AlphaEntries) {
        if (entry.item == item && entry.bit >= 0 && entry.bit < kMaskBits) {
            const std::uint64_t bit = std::uint64_t{1} << entry.bit;
            if (((carrier->ItemMask & bit) != 0) != on) {
                carrier->ItemMask ^= bit;
                changed = true;
            }
        }
    }
    if (changed) {
        for (std::int32_t partner : carrier->CoverPartners) {
            if (Category* target = Resolve(partner)) {
                target->MarkForRebuild();
            }
        }
    }
}

void Category::MarkForRebuild()
{
    // Masks and alterers only ever clear pixels, so a change starts again from the picture.
    SurfaceBuilt = 0;
    CharacterRegistry::SetFigureDirty(true);
}

void Category::ApplyColor(SDL_Color colour)
{
    Category* category = this;
    for (std::int32_t steps = CharacterRegistry::CategoryCount() + 1; category && steps > 0; --steps) {
        category->Color = colour;
        category->ApplyColorMod();
        category = Resolve(category->LinkedCategory);
        if (category == this) {
            break;
        }
    }
    CharacterRegistry::SetFigureDirty(true);
}

void Category::ApplyColorMod()
{
    if (!Colorable) {
        return;
    }
    if (Surface) {
        SDL_SetSurfaceColorMod(Surface, Color.r, Color.g, Color.b);
    }
    if (Texture) {
        SDL_SetTextureColorMod(Texture, Color.r, Color.g, Color.b);
    }
}

void Category::Move(float dx, float dy, bool clamp)
{
    if (!Movable && !MoveAll && clamp) {
        return;
    }
    // Before the figure is laid out there is no scale to move by.
    if (FigureRect.w <= 0 || FigureRect.h <= 0) {
        return;
    }
    const float scaleX = static_cast<float>(AreaWidth) / static_cast<float>(FigureRect.w);
    const float scaleY = static_cast<float>(AreaHeight) / static_cast<float>(FigureRect.h);
    if (clamp && Surface) {
        if (FollowsMoveAll) {
            // Clamped in figure pixels, then turned back into screen pixels.
            float fx = scaleX * dx;
            float fy = scaleY * dy;
            const float x = Origin.x + fx + OffsetX;
            if (x < 0) {
                fx -= std::trunc(x);
            }
            if (Surface->w + x > AreaWidth) {
                fx -= std::trunc(Surface->w + x - AreaWidth);
            }
            const float y = Origin.y + fy + OffsetY;
            if (y < 0) {
                fy -= std::trunc(y);
            }
            if (Surface->h + y > AreaHeight) {
                fy -= std::trunc(Surface->h + y - AreaHeight);
            }
            dx = scaleX != 0.0f ? fx / scaleX : 0.0f;
            dy = scaleY != 0.0f ? fy / scaleY : 0.0f;
        }
        if (MoveAll) {
            CharacterRegistry::MoveAll(dx, dy);
            return;
        }
    }
    OffsetX += scaleX * dx;
    OffsetY += scaleY * dy;
}

void Category::ComputeRects()
{
    auto compute = [](Category& category) {
        if (!category.Surface) {
            return;
        }
        const int x = static_cast<int>(category.Origin.x + category.OffsetX);
        const int y = static_cast<int>(category.Origin.y + category.OffsetY);
        ComputeAxis(category.AreaWidth, category.Surface->w, x, category.SourceRect.x, category.DestRect.x,
                    category.SourceRect.w);
        ComputeAxis(category.AreaHeight, category.Surface->h, y, category.SourceRect.y, category.DestRect.y,
                    category.SourceRect.h);
        category.DestRect.w = category.SourceRect.w;
        category.DestRect.h = category.SourceRect.h;
    };
    const std::int32_t bound = CharacterRegistry::CategoryCount() + 1;
    Category* category = this;
    for (std::int32_t steps = bound; category && steps > 0; --steps) {
        compute(*category);
        category = Resolve(category->LinkedCategory);
        if (category == this) {
            break;
        }
    }
    category = Resolve(ToggleTarget);
    for (std::int32_t steps = bound; category && category != this && category->Surface && steps > 0; --steps) {
        compute(*category);
        category = Resolve(category->ToggleTarget);
    }
}
