#include "engine/PlayerProfile.h"

#include "engine/Log.h"
#include "platform/Platform.h"

#include <climits>

PlayerProfile* gProfile = nullptr;

namespace {

// Holds the profile's save lock for a scope; a profile without a lock (creation failed) runs unlocked.
class SaveLockGuard {
public:
    explicit SaveLockGuard(SDL_mutex* mutex) : mutex(mutex)
    {
        if (mutex != nullptr)
            SDL_LockMutex(mutex);
    }
    ~SaveLockGuard()
    {
        if (mutex != nullptr)
            SDL_UnlockMutex(mutex);
    }
    SaveLockGuard(const SaveLockGuard&) = delete;
    SaveLockGuard& operator=(const SaveLockGuard&) = delete;

private:
    SDL_mutex* mutex;
};

} // namespace

PlayerProfile::PlayerProfile() : saveLock(SDL_CreateMutex()) {}

PlayerProfile::~PlayerProfile()
{
    if (saveLock != nullptr)
        SDL_DestroyMutex(saveLock);
    saveLock = nullptr;
}

void PlayerProfile::WriteExtra(SaveBuffer&) {}

bool PlayerProfile::ReadExtra(SaveBuffer&, int) { return true; }

bool PlayerProfile::Save(bool force)
{
    SaveLockGuard lock(saveLock);
    if (dirty == 0 && !force)
        return true;
    if (!SetUnreadableFileAside())
        return false;

    // Always from an empty payload: a previous failed save keeps its bytes in the buffer.
    buffer.Reset();
    buffer.WriteU32(formatVersion);
    buffer.WriteU8(userDataFolderInUse);
    buffer.WriteU32(sfxVolume);
    buffer.WriteU32(musicVolume);
    buffer.WriteU32(lastNewsId);
    buffer.WriteU64(minutesPlayed);
    buffer.WriteU64(reviewThreshold);
    buffer.WriteU64(tutorialState);
    buffer.WriteU8(flagByteB);
    buffer.WriteString(linkCacheText);
    buffer.WriteU64(linkCacheTime);
    buffer.WriteString(archiveRegistry);
    buffer.WriteString(achievementTags);
    buffer.WriteString(reservedText);
    buffer.WriteU32(windowMode);
    WriteExtra(buffer);

    dirty = 0;
    if (buffer.WriteFile(path, header, key))
        return true;
    // The changes are still only in memory: the next unforced save must try again.
    dirty = 1;
    return false;
}

void PlayerProfile::Change(const std::function<void(PlayerProfile&)>& change)
{
    SaveLockGuard lock(saveLock);
    change(*this);
    dirty = 1;
}

void PlayerProfile::Inspect(const std::function<void(const PlayerProfile&)>& look) const
{
    SaveLockGuard lock(saveLock);
    look(*this);
}

bool PlayerProfile::SetUnreadableFileAside()
{
    if (unreadableReason.empty())
        return true;
    const std::string aside = path + ".unreadable";
    std::string error;
    if (platform::FileExists(path) && !platform::ReplaceFile(path, aside, &error)) {
        LogText(kLogFile, "Profile " + path + " not saved: the unreadable file could not be kept as " + aside +
                              " (" + error + ")");
        dirty = 1;
        return false;
    }
    LogText(kLogFile, "Profile " + path + " that could not be read is kept as " + aside);
    unreadableReason.clear();
    return true;
}

void PlayerProfile::MarkUnreadable(const std::string& reason)
{
    unreadableReason = reason;
    LogText(kLogFile, "Profile " + path + " cannot be read (" + reason + "); defaults are used and the file is kept as " +
                          path + ".unreadable before the next save");
}

bool PlayerProfile::Load()
{
    SaveLockGuard lock(saveLock);
    unreadableReason.clear();
    if (!buffer.ReadFile(path, header, key)) {
        // A file that is not there is a first start; any other failure leaves a file worth keeping.
        if (buffer.status == SaveBuffer::kCorrupt)
            MarkUnreadable("damaged, too large or written with another user's key");
        else if (platform::FileExists(path))
            MarkUnreadable("the file cannot be opened");
        return false;
    }

    std::uint32_t storedVersion = 0;
    if (!buffer.ReadU32(storedVersion)) {
        MarkUnreadable("damaged: no version");
        buffer.Reset();
        return false;
    }
    const int version = static_cast<std::int32_t>(storedVersion);
    if (version > static_cast<std::int32_t>(formatVersion)) {
        MarkUnreadable("written by a newer build: format " + std::to_string(storedVersion) + ", this one reads up to " +
                       std::to_string(formatVersion));
        buffer.Reset();
        return false;
    }

    // Each Read* leaves its field untouched when the field runs past the payload; the first such
    // field ends the reading and everything after it keeps its value.
    std::uint8_t ignored = 0;
    const char* failedField = nullptr;
    auto read = [&](bool ok, const char* name) {
        if (!ok)
            failedField = name;
    };
    auto step = [&](int from) { return failedField == nullptr && version >= from; };

    // Up to version 10 a byte nothing uses follows the version.
    if (version <= 10)
        read(buffer.ReadU8(ignored), "ignored byte");
    if (step(INT_MIN)) read(buffer.ReadU8(userDataFolderInUse), "user data folder flag");
    if (step(INT_MIN)) read(buffer.ReadU32(sfxVolume), "sound volume");
    if (step(INT_MIN)) read(buffer.ReadU32(musicVolume), "music volume");
    if (step(INT_MIN)) read(buffer.ReadU32(lastNewsId), "last news id");
    if (step(3)) read(buffer.ReadU64(minutesPlayed), "minutes played");
    if (step(3)) read(buffer.ReadU64(reviewThreshold), "review threshold");
    if (step(4)) read(buffer.ReadU64(tutorialState), "tutorial state");
    if (step(5)) read(buffer.ReadU8(flagByteB), "flag byte");
    if (step(7)) read(buffer.ReadString(linkCacheText), "link cache");
    if (step(8)) read(buffer.ReadU64(linkCacheTime), "link cache time");
    if (step(8)) read(buffer.ReadString(archiveRegistry), "archive registry");
    if (step(9)) read(buffer.ReadString(achievementTags), "achievement tags");
    if (step(10)) read(buffer.ReadString(reservedText), "reserved text");
    if (step(11)) read(buffer.ReadU32(windowMode), "window mode");
    if (failedField == nullptr && !ReadExtra(buffer, version))
        failedField = "extra fields";

    buffer.Reset();
    if (failedField != nullptr) {
        MarkUnreadable(std::string("damaged: stopped reading at ") + failedField +
                       "; later fields keep their values");
        return false;
    }
    return true;
}
