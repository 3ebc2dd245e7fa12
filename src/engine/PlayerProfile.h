#pragma once
// The persisted per-user state. Change a field, set dirty, call Save.

#include "engine/SaveBuffer.h"

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <string>

class PlayerProfile {
public:
    PlayerProfile();
    virtual ~PlayerProfile();
    PlayerProfile(const PlayerProfile&) = delete;
    PlayerProfile& operator=(const PlayerProfile&) = delete;

    // Subclass fields after the base ones. ReadExtra returns false when a field ran past the payload.
    virtual void WriteExtra(SaveBuffer& buffer);
    virtual bool ReadExtra(SaveBuffer& buffer, int version);

    // Unforced: writes only when dirty. Safe from several threads (saves are serialised).
    // A file the last Load could not read is first kept as path + ".unreadable" (one copy,
    // replaced by the next): an older build or another user must not destroy it unseen.
    bool Save(bool force);
    bool Load();

    // Fields that another thread may save at the same time are changed through these: the change
    // and the payload build take the same lock, so a save never writes half of a change.
    // Change marks the profile dirty; the caller saves when it is done.
    void Change(const std::function<void(PlayerProfile&)>& change);
    void Inspect(const std::function<void(const PlayerProfile&)>& look) const;

    std::uint8_t dirty = 0;
    std::uint8_t userDataFolderInUse = 0;
    std::uint8_t flagByteB = 0;
    std::uint32_t sfxVolume = 50;
    std::uint32_t musicVolume = 50;
    std::uint32_t lastNewsId = 0;
    std::uint32_t windowMode = 4;
    std::uint64_t minutesPlayed = 0;
    std::uint64_t reviewThreshold = 120;
    std::uint64_t tutorialState = 0;
    std::string linkCacheText;
    std::uint64_t linkCacheTime = 0;
    std::string archiveRegistry;
    std::string achievementTags;
    std::string reservedText;
    std::string path;
    std::string header;
    std::string key;
    std::uint32_t formatVersion = 0;
    float playTimeAccumulator = 0.0f;
    SaveBuffer buffer;

private:
    // Keeps the unread file aside before the first save over it; false when that failed.
    bool SetUnreadableFileAside();
    void MarkUnreadable(const std::string& reason);

    SDL_mutex* saveLock = nullptr;
    std::string unreadableReason; // why the file at path could not be read; "" when it could
};

extern PlayerProfile* gProfile;
