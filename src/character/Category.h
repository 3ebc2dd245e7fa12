#pragma once
// One layer of the figure. The definition data (CategoryDefinition) is plain values, copied
// freely; a Category adds the runtime state and owns SDL objects, so it is never copied.
// Links between layers are indices into the registry's current categories, never pointers:
// a reload destroys the vector, an index is simply checked against it again.
//
// Item numbers: global 1..ItemCount (0 = none, -1 = not available); package-local numbers
// (global + 1 - First of the package's range) name the picture files and go into saves; the
// list index of the item grid equals the item number for removable layers, one less otherwise.
//
// Main thread only.

#include <SDL.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One package's contribution to a layer: global items First .. First + Count - 1.
struct ItemRange {
    std::string Package;
    std::int32_t Count = 0;
    std::int32_t First = 0;
};

// Selecting `item` sets bit `bit` of the mask carrier's ItemMask.
struct AlphaEntry {
    std::int32_t item = 0;
    std::int32_t bit = 0;
};

// Per item placement; an empty slot keeps its place in the numbering but gives no rectangle.
using ItemRects = std::vector<std::optional<SDL_Rect>>;

constexpr std::int32_t kMaxPackageItems = 10000; // larger counts are capped with a log line
// Items one layer takes from all packages together; a package beyond it adds none to the layer.
constexpr std::int32_t kMaxLayerItems = 4 * kMaxPackageItems;
constexpr int kMaskBits = 64;                    // ItemMask bits; higher "Alpha" bits are ignored
// Layer surfaces are kept in the format of the figure's render target.
constexpr std::uint32_t kLayerPixelFormat = SDL_PIXELFORMAT_RGBA8888;

enum AlterTypes : std::int32_t { kAlterAlpha = 0, kAlterBlit = 1, kAlterNone = 2 };

// What a set-definition file (and the packages that add items) says about one layer.
struct CategoryDefinition {
    std::string SetName;
    std::string Name;
    std::string Subcategory;
    std::string Linked;
    std::string Toggle;
    std::int32_t ItemCount = 0;
    std::int32_t TransparentItem = -1;
    std::int32_t DefaultItem = 0;
    // The colour a loaded figure starts with; white shows the picture as drawn.
    SDL_Color DefaultColor{255, 255, 255, 255};
    std::int32_t RandomChance = 0;
    std::uint8_t Visible = 0;
    std::uint8_t Colorable = 0;
    std::uint8_t Movable = 0;
    std::uint8_t DrawWithoutItem = 0;
    std::uint8_t Token = 0;
    std::uint8_t Cover = 0;
    std::uint8_t HasAppliedTo = 0;
    std::uint8_t MoveAll = 0;
    std::uint8_t FollowsMoveAll = 0;
    std::uint8_t IgnoreMoveAll = 0;
    std::uint8_t SkipIgnoredRandom = 0;
    std::uint8_t Removable = 1;
    std::uint8_t HasIcons = 0;
    std::vector<std::string> IgnoreItem;
    std::vector<std::string> AppliedTo;
    std::vector<std::string> AvailableTo;
    ItemRects Rects;
    std::vector<AlphaEntry> AlphaEntries;
    std::int32_t AlterType = kAlterNone;
    std::int32_t AreaWidth = 0;
    std::int32_t AreaHeight = 0;
    std::int32_t Index = 0;
    std::vector<ItemRange> ItemRanges;

    // Setters with the merge rules that definitions and packages rely on.
    void SetMovable(bool on);           // only while still 0
    void SetFollowsMoveAll(bool on);    // only while still 0
    void SetIgnoreMoveAll(bool on);     // only while still 0
    void SetRandomChance(std::int32_t chance); // keeps the larger
    void SetDrawWithoutItem(bool on);   // Visible follows
    void SetTransparentItem(std::int32_t item); // only while still -1
    AlphaEntry& AddAlphaEntry();        // appends a zeroed entry

    void ToGlobalItem(std::int32_t& item, const std::string& package) const;
    void ToPackageItem(std::int32_t& item, std::string& package) const;
    // item is package-local. False when the path was cut at the legacy 99-character limit.
    bool ItemPath(std::int32_t item, bool icons, std::string& out) const;
    // "package/path" of the grid icon of a list index ("core/gui/common/..." for local item 0).
    void IconPath(std::int32_t listIndex, std::string& out) const;
};

class Category : public CategoryDefinition {
public:
    Category() = default;
    explicit Category(const CategoryDefinition& definition);
    ~Category();
    Category(const Category&) = delete;
    Category& operator=(const Category&) = delete;

    // Marks the layer as a mask carrier. Its mask pictures are looked up only for the items an
    // ItemMask bit can name, and their table grows as they are used.
    void SetHasAppliedTo(bool on);

    // Appends one package's items (the package activation calls it for each active package).
    // rects may be null. A count of 0 or less adds no range; counts are capped.
    // Existing content relies on the first range starting at 1 only when the layer's declared
    // ItemCount is 0; any other declared count (also -1, a missing key) starts it at 0, which
    // shifts that package's local numbers up by one.
    void AddPackageItems(const std::string& package, std::int32_t count, const ItemRects* rects,
                         const std::vector<AlphaEntry>& alphaEntries);
    // Releases what *slot holds, then loads the picture of global `item` into it. fresh: a
    // private copy that may be drawn into; otherwise the cache's shared, read-only picture.
    bool LoadItemPicture(std::int32_t item, SDL_Surface** slot, SDL_Rect& rect, bool fresh);

    void SelectItem(std::int32_t listIndex);
    void SelectItemNumber(std::int32_t item);
    std::int32_t SelectedListIndex() const;
    void SelectPackageItem(std::int32_t item, const std::string& package);

    // Over the linked chain; the mask bits of this layer's current item follow.
    void SetVisible(bool on);
    void ApplyColor(SDL_Color colour);
    // dx, dy in screen design pixels. Nothing happens before the figure is laid out.
    void Move(float dx, float dy, bool clamp);
    void ComputeRects();
    // Builds the layer surface when it is out of date; null when there is no picture.
    SDL_Surface* GetSurface();

    SDL_Rect RootDestRect() const;
    SDL_Rect RootSourceRect() const;
    SDL_Rect RootOrigin() const;

    // Draws the layer into the current render target.
    void Draw(bool force);
    // The layer's texture, rebuilt when out of date whatever the layer's visibility; null
    // when it has no picture.
    SDL_Texture* EnsureTexture();
    // Blits the layer onto a surface (PNG export).
    void BlitTo(SDL_Surface* target, SDL_Point offset, const Category* frameCategory, bool transparentBackground,
                bool force);

    // Gives every SDL object back to the cache.
    void ReleaseResources();
    // The carrier's mask bits that this layer's item controls (ChangeMaskBits: set when on).
    void SetMaskBits(std::int32_t item);
    void ClearMaskBits(std::int32_t item);
    void ChangeMaskBits(std::int32_t item, bool on);
    // Visibility over the linked chain, without touching mask bits.
    void SetVisibleChain(bool on);
    // The picture must be built again (its masks or alterers changed).
    void MarkForRebuild();

    // Runtime state.
    std::int32_t CurrentItem = 0;
    std::uint8_t SurfaceBuilt = 0;
    std::uint8_t Toggled = 0;
    std::uint8_t IsToggleTarget = 0;
    SDL_Rect DestRect{0, 0, 0, 0};
    SDL_Rect SourceRect{0, 0, 0, 0};
    SDL_Rect FigureRect{0, 0, 0, 0};
    SDL_Rect Origin{0, 0, 0, 0};
    float OffsetX = 0.0f;
    float OffsetY = 0.0f;
    SDL_Color Color{255, 255, 255, 255};
    SDL_Surface* Surface = nullptr;
    SDL_Texture* Texture = nullptr;
    // Indices into the current categories; -1 = none.
    std::int32_t LinkedCategory = -1;
    std::int32_t ToggleTarget = -1;
    std::vector<std::int32_t> ExclusiveWith;
    std::vector<std::int32_t> CoverPartners;
    // (altered category index, item chosen for it), in link order.
    std::vector<std::pair<std::int32_t, std::int32_t>> AlterChoices;
    std::vector<std::int32_t> Alterers;
    std::uint64_t ItemMask = 0;
    std::vector<SDL_Surface*> MaskPictures; // shared read-only pictures from the cache, index item - 1

private:
    Category* Resolve(std::int32_t index) const;
    // Follows ToggleTarget to the outermost category (bounded).
    const Category& Root() const;
    // The toggled draw place: who is drawn in this layer's place, or null for nothing.
    Category* DrawPlace(bool& force);
    // Narrows a 1:1 blit to the part of the picture with any ink; false when nothing is inked.
    bool CropToInk(SDL_Rect& source, SDL_Rect& dest) const;
    void Select(std::int32_t item, int depth);
    void PropagateToLinked(std::int32_t item, int depth);
    void ApplyExclusions();
    void ApplyAlterers(SDL_Surface* target, const SDL_Rect& placement);
    void ApplyCoverMasks();
    SDL_Surface* LoadSharedPicture(std::int32_t item);
    SDL_Surface* MaskPicture(std::int32_t item);
    void ApplyColorMod();

    SDL_Surface* picture = nullptr; // the decoded picture of pictureItem, held from the cache
    std::int32_t pictureItem = -1;
    std::int32_t failedItem = -2;   // the item whose picture failed; not retried until it changes
    std::int32_t builtItem = -2;    // the item the offsets were last reset for
    std::vector<std::uint8_t> maskFailed;
    SDL_Rect inkRect{0, 0, 0, 0};   // the part of Surface with any ink, found when its texture is made
    // Each build of Surface gets a new number; the texture remembers the one it was made from,
    // so a surface rebuilt elsewhere (export, alterers) never leaves a stale texture behind.
    std::uint32_t surfaceVersion = 0;
    std::uint32_t textureVersion = 0;
    bool isBuilding = false;        // an alterer rebuild cannot re-enter the layer it alters
};
