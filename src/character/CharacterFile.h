#pragma once
// Figure saves (".lbd"): a scrambled container with the header "lbd" and the key
// "figurePackSaver" whose payload lists, per layer, the chosen item as a package-local number
// with its package, the colour, the toggle state and the offsets, then the set name. The same
// records carry the figure across a reload of the set without a file (Snapshot, Load(false),
// Apply). Main thread only.

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

struct CharacterSaveRecord {
    std::string Package;
    std::string Category;
    std::int32_t Item = 0;
    SDL_Color Color{255, 255, 255, 255};
    std::uint8_t Toggled = 0;
    float OffsetX = 0.0f;
    float OffsetY = 0.0f;
};

class CharacterFile {
public:
    static constexpr std::uint32_t kVersion = 3;

    // With ask: refuses while "dev" is selected, asks for a path, snapshots and writes. Without:
    // only the snapshot.
    static void Save(bool ask);
    static void Snapshot();
    // Writes the records taken last; shows "ERR_SAVE_NOT_WRITABLE" and keeps the old file on failure.
    static bool Write(const std::string& path);

    // With ask: loads path, or "demo.lbd" while the tutorial runs, or a path from the open dialog.
    // Without: makes the current set current again with every layer empty.
    static bool Load(bool ask, const std::string& path);
    // Reads the file and makes its set current with the packages its items come from. A file
    // that cannot be read, or names an unknown set, leaves the figure exactly as it was.
    static bool LoadFile(const std::string& path);
    // Applies the records to the current categories.
    static bool Apply();

    // The records and set name of the last snapshot or file read.
    static const std::vector<CharacterSaveRecord>& Records();
    static const std::string& StoredSetName();
    // Forgets them.
    static void Reset();

    // The payload of the records (what Write scrambles) and its bounded reader, which fills the
    // outputs only when the whole payload is sound. Shared by Write, LoadFile and the fuzz target.
    // A payload of a version newer than kVersion is refused with that version in `version`.
    static std::string EncodePayload(const std::vector<CharacterSaveRecord>& records, const std::string& setName);
    static bool DecodePayload(const std::string& payload, std::vector<CharacterSaveRecord>& records,
                              std::string& setName, std::uint32_t& version);
};
