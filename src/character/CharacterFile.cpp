// Figure saves: writing and reading ".lbd" files, and carrying a figure across a reload.

#include "character/CharacterFile.h"
#include "gui/Navigator.h"

#include "character/CharacterRegistry.h"
#include "character/PackageList.h"
#include "character/PackageSelection.h"
#include "engine/Log.h"
#include "engine/SaveBuffer.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/GUIMessageBox.h"
#include "gui/TutorialHooks.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kHeader = "lbd";
constexpr const char* kKey = "figurePackSaver";
constexpr const char* kTutorialFigure = "demo.lbd";
// Offsets beyond this are no drag a user made; they only overflow the rectangle arithmetic.
constexpr float kMaxOffset = 65536.0f;
// Fixed bytes of one record besides its two strings' text: two lengths, item, toggled, colour
// (four u32 or four f32), two offsets.
constexpr std::size_t kRecordFixedBytes = 4 + 4 + 4 + 1 + 16 + 8;
// Version 0 records carry three more groups of four u32 that nothing uses.
constexpr std::size_t kVersion0ExtraBytes = 48;

struct FileState {
    std::vector<CharacterSaveRecord> records;
    std::string setName;
};

FileState& State()
{
    static FileState state;
    return state;
}

void ShowText(const std::string& text)
{
    LogText(kLogFile, text);
    GUIMessageBox::ShowOneButton(kDialogInformation, 0, text);
}

void ShowError(const char* key) { ShowText(Localize(key)); }

float SaneOffset(float value)
{
    if (!std::isfinite(value)) {
        return 0.0f;
    }
    return std::clamp(value, -kMaxOffset, kMaxOffset);
}

std::uint8_t ClampedChannel(std::uint32_t value)
{
    return static_cast<std::uint8_t>(std::min<std::uint32_t>(value, 255));
}

bool ReadRecord(SaveBuffer& in, std::uint32_t version, CharacterSaveRecord& record)
{
    std::uint32_t item = 0;
    if (!in.ReadString(record.Package) || !in.ReadString(record.Category) || !in.ReadU32(item) ||
        !in.ReadU8(record.Toggled)) {
        return false;
    }
    record.Item = static_cast<std::int32_t>(item);
    if (version >= 3) {
        std::uint32_t channels[4] = {};
        for (std::uint32_t& channel : channels) {
            if (!in.ReadU32(channel)) {
                return false;
            }
        }
        record.Color = SDL_Color{ClampedChannel(channels[0]), ClampedChannel(channels[1]),
                                 ClampedChannel(channels[2]), ClampedChannel(channels[3])};
    } else {
        float hsv[4] = {};
        for (float& value : hsv) {
            if (!in.ReadFloat(value)) {
                return false;
            }
        }
        std::uint8_t rgba[4] = {};
        HsvToRgb(rgba, hsv[0], hsv[1], hsv[2]);
        record.Color = SDL_Color{rgba[0], rgba[1], rgba[2], rgba[3]};
    }
    if (version == 0) {
        if (in.Remaining() < kVersion0ExtraBytes) {
            return false;
        }
        in.readPos += kVersion0ExtraBytes;
    }
    return in.ReadFloat(record.OffsetX) && in.ReadFloat(record.OffsetY);
}

// Reads and decodes a file without touching the stored records; reports what failed.
bool ReadInto(const std::string& path, std::vector<CharacterSaveRecord>& records, std::string& setName)
{
    SaveBuffer buffer;
    if (!buffer.ReadFile(path, kHeader, kKey)) {
        // The reader has told the user why (missing, unreadable or damaged); a second box would
        // only contradict it.
        return false;
    }
    std::uint32_t version = 0;
    if (!CharacterFile::DecodePayload(buffer.payload, records, setName, version)) {
        if (version > CharacterFile::kVersion) {
            LogText(kLogFile, "Figure file " + path + " has version " + std::to_string(version) + ", this program reads up to " +
                                  std::to_string(CharacterFile::kVersion));
            ShowError("ERR_SAVE_NEWER");
            return false;
        }
        LogText(kLogFile, "Figure file " + path + " ends inside its data");
        ShowError("ERR_SAVE_CORRUPT");
        return false;
    }
    if (version < 2) {
        ShowError("ERR_SAVE_VERSION");
    }
    return true;
}

Category* FindByName(const std::string& name)
{
    for (auto& category : CharacterRegistry::Categories()) {
        if (category->Name == name) {
            return category.get();
        }
    }
    return nullptr;
}

// An item that names no item of the layer selects nothing, rather than clearing the layer.
bool SelectableItem(const Category& category, std::int32_t item)
{
    return item > 0 || (item == 0 && category.Removable);
}

// Only a drag gives a layer offsets: its own, or one of a layer that moves all the others.
bool CanBeMoved(const Category& category, bool setMovesAll)
{
    return category.Movable || category.MoveAll || (setMovesAll && !category.IgnoreMoveAll);
}

} // namespace

std::string CharacterFile::EncodePayload(const std::vector<CharacterSaveRecord>& records, const std::string& setName)
{
    SaveBuffer out;
    out.WriteU32(kVersion);
    out.WriteU32(static_cast<std::uint32_t>(records.size()));
    for (const CharacterSaveRecord& record : records) {
        out.WriteString(record.Package);
        out.WriteString(record.Category);
        out.WriteU32(static_cast<std::uint32_t>(record.Item));
        out.WriteU8(record.Toggled);
        out.WriteU32(record.Color.r);
        out.WriteU32(record.Color.g);
        out.WriteU32(record.Color.b);
        out.WriteU32(record.Color.a);
        out.WriteFloat(record.OffsetX);
        out.WriteFloat(record.OffsetY);
    }
    out.WriteString(setName);
    return out.payload;
}

bool CharacterFile::DecodePayload(const std::string& payload, std::vector<CharacterSaveRecord>& records,
                                  std::string& setName, std::uint32_t& version)
{
    SaveBuffer in;
    in.payload = payload;
    std::uint32_t fileVersion = 0;
    std::uint32_t count = 0;
    if (!in.ReadU32(fileVersion)) {
        return false;
    }
    // A newer program's layout is unknown: reading it as the current one would make up a figure.
    if (fileVersion > kVersion) {
        version = fileVersion;
        return false;
    }
    if (!in.ReadU32(count)) {
        return false;
    }
    // A count that the remaining bytes cannot hold is damage, not a reason to reserve gigabytes.
    const std::size_t recordBytes = kRecordFixedBytes + (fileVersion == 0 ? kVersion0ExtraBytes : 0);
    if (count > in.Remaining() / recordBytes) {
        return false;
    }
    std::vector<CharacterSaveRecord> parsed(count);
    for (CharacterSaveRecord& record : parsed) {
        if (!ReadRecord(in, fileVersion, record)) {
            return false;
        }
        record.OffsetX = SaneOffset(record.OffsetX);
        record.OffsetY = SaneOffset(record.OffsetY);
    }
    std::string name;
    if (!in.ReadString(name)) {
        return false;
    }
    records = std::move(parsed);
    setName = std::move(name);
    version = fileVersion;
    return true;
}

void CharacterFile::Save(bool ask)
{
    if (ask && PackageSelection::Contains("dev")) {
        ShowError("ERR_DEV_PACK");
        return;
    }
    std::string path;
    if (ask) {
        ShowFileDialog(path, true, false);
        if (path.empty()) {
            return;
        }
    }
    Snapshot();
    if (ask) {
        Write(path);
    }
}

void CharacterFile::Snapshot()
{
    FileState& state = State();
    state.records.clear();
    for (const auto& owned : CharacterRegistry::Categories()) {
        const Category& category = *owned;
        CharacterSaveRecord record;
        record.Package = category.SetName;
        record.Category = category.Name;
        if (category.Visible) {
            record.Item = category.CurrentItem;
            category.ToPackageItem(record.Item, record.Package);
        }
        record.Color = category.Color;
        record.Toggled = category.Toggled;
        record.OffsetX = category.OffsetX;
        record.OffsetY = category.OffsetY;
        state.records.push_back(std::move(record));
    }
}

bool CharacterFile::Write(const std::string& path)
{
    std::string text = std::string(kHeader) + ";" +
                       EncodePayload(State().records, CharacterRegistry::CurrentSetName());
    std::uint32_t seed = SaveSeed(path, kKey);
    ScrambleString(text, seed);
    std::string error;
    if (!platform::WriteFileAtomically(path, text.data(), text.size(), &error)) {
        LogText(kLogFile, "Figure not saved to " + path + ": " + error);
        ShowError("ERR_SAVE_NOT_WRITABLE");
        return false;
    }
    return true;
}

bool CharacterFile::Load(bool ask, const std::string& path)
{
    if (ask) {
        std::string chosen = path;
        if (chosen.empty()) {
            if (TutorialRunning()) {
                chosen = kTutorialFigure;
            } else {
                ShowFileDialog(chosen, false, false);
            }
        }
        return !chosen.empty() && LoadFile(chosen);
    }
    // The name goes with the current categories: take it before the reload empties them.
    const std::string setName = CharacterRegistry::CurrentSetName();
    return !setName.empty() && CharacterRegistry::LoadCharacter(setName, false, true);
}

bool CharacterFile::LoadFile(const std::string& path)
{
    std::vector<CharacterSaveRecord> records;
    std::string setName;
    if (!ReadInto(path, records, setName)) {
        return false;
    }
    if (setName.empty() || records.empty()) {
        LogText(kLogFile, "Figure file " + path + " names no set or holds no layer");
        ShowError("ERR_SAVE_CORRUPT");
        return false;
    }
    if (!CharacterRegistry::FindSet(setName)) {
        // Any name the file holds, however long, is shown cut to what a box can hold.
        const std::string shown = ShortenForDisplay(setName, kShownNameBytes);
        LogText(kLogFile, "Figure file " + path + " is made for the set " + shown + ", which is not installed");
        // The file is sound; what the user can act on is the package to install.
        ShowText(FillPlaceholders(Localize("ERR_SAVE_MISSING_SET"), shown));
        return false;
    }
    FileState& state = State();
    state.records = std::move(records);
    state.setName = std::move(setName);
    PackageSelection::Clear();
    for (const CharacterSaveRecord& record : state.records) {
        PackageList::SetSelected(record.Package, false);
        PackageList::SetSelected(record.Package, true);
    }
    return CharacterRegistry::LoadCharacter(state.setName, false, true);
}

bool CharacterFile::Apply()
{
    auto& categories = CharacterRegistry::Categories();
    const bool setMovesAll =
        std::any_of(categories.begin(), categories.end(), [](const auto& other) { return other->MoveAll != 0; });
    for (const CharacterSaveRecord& record : State().records) {
        Category* category = FindByName(record.Category);
        if (!category) {
            continue;
        }
        if (PackageList::IsUsable(record.Package) && SelectableItem(*category, record.Item)) {
            category->SelectPackageItem(record.Item, record.Package);
        }
        // Set, not flipped: a layer named twice must not toggle back.
        category->Toggled = record.Toggled ? 1 : 0;
        if (category->Colorable) {
            category->ApplyColor(record.Color);
        }
        // A layer that shows nothing has no picture to build: asking for one would look for item 0's
        // file and report a missing picture on every load of a figure with that layer empty.
        if ((category->Movable || category->MoveAll) && category->CurrentItem > 0) {
            // Building the picture for a new item resets a movable layer's offsets: build first,
            // then place.
            for (auto& other : categories) {
                if (other->ToggleTarget == category->Index && other->CurrentItem > 0) {
                    other->GetSurface();
                    break;
                }
            }
            category->GetSurface();
        }
        // A file could otherwise push a fixed layer, such as a frame, off the picture for good.
        if (CanBeMoved(*category, setMovesAll)) {
            category->OffsetX = record.OffsetX;
            category->OffsetY = record.OffsetY;
        } else if (record.OffsetX != 0.0f || record.OffsetY != 0.0f) {
            LogText(kLogFile, "Offsets of the fixed layer " + record.Category + " ignored");
        }
        category->ComputeRects();
    }
    CharacterRegistry::SetFigureDirty(true);
    return true;
}

const std::vector<CharacterSaveRecord>& CharacterFile::Records()
{
    return State().records;
}

const std::string& CharacterFile::StoredSetName()
{
    return State().setName;
}

void CharacterFile::Reset()
{
    State().records.clear();
    State().setName.clear();
}
