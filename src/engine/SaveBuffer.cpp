#include "engine/SaveBuffer.h"

#include "engine/Log.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"

#include "platform/Platform.h"

#include <cerrno>
#include <cstring>

namespace {

// A save is a few kilobytes; anything this large is not one of ours and is not read whole.
constexpr std::uint64_t kMaxSaveFileSize = 64u * 1024 * 1024;

// The profile is read before the texts are: its messages fall back to plain words rather than
// the not-localised marker.
std::string Message(const char* key, const char* plain)
{
    const std::string* text = TextTable::Find(key);
    return text != nullptr ? *text : std::string(plain);
}

template <typename T>
void AppendLittleEndian(std::string& out, T value)
{
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out += static_cast<char>(static_cast<unsigned char>(value >> (8 * i)));
}

} // namespace

void ScrambleString(std::string& text, std::uint32_t& state)
{
    for (char& c : text) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(static_cast<unsigned char>(c) ^ static_cast<unsigned char>((state >> 16) & 0x7FFF));
    }
}

std::uint32_t SaveSeed(const std::string& path, const std::string& key)
{
    std::string text = key;
    if (text.empty()) {
        // Stored files were seeded from the part after the last backslash only; forward slashes
        // do not separate here.
        const std::size_t slash = path.rfind('\\');
        text = slash == std::string::npos ? path : path.substr(slash + 1);
    }
    std::uint32_t seed = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        seed += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(text[i])))
                * static_cast<std::uint32_t>(i);
    return seed;
}

bool SaveBuffer::WriteFile(const std::string& path, const std::string& header, const std::string& key)
{
    std::uint32_t state = SaveSeed(path, key);
    std::string text = header + ";" + payload;
    ScrambleString(text, state);
    std::string error;
    if (!platform::WriteFileAtomically(path, text.data(), text.size(), &error)) {
        status = kNotWritable;
        LogText(kLogFile, "Save failed: " + error);
        LogText(kLogFileAndScreen, Message("ERR_SAVE_NOT_WRITABLE", "The file could not be written."));
        return false;
    }
    status = kOk;
    Reset();
    return true;
}

bool SaveBuffer::ReadFile(const std::string& path, const std::string& header, const std::string& key)
{
    status = kOk;
    std::uint32_t state = SaveSeed(path, key);
    const platform::ReadOnlyFile file(path);
    if (!file.IsOpen() && (file.OpenError() == ENOENT || file.OpenError() == ENOTDIR)) {
        status = kNotFound;
        LogText(kLogFileAndScreen, Message("ERR_SAVE_NOT_FOUND", "The file could not be found."));
        return false;
    }
    // A folder, pipe or device, a file one may not open, or a read that fails: the file is there,
    // so saying it is missing or damaged would mislead.
    auto notReadable = [&](const std::string& reason) {
        status = kNotReadable;
        LogText(kLogFile, "Cannot read " + path + ": " + reason);
        LogText(kLogFileAndScreen, Message("ERR_SAVE_NOT_READABLE", "The file could not be read."));
        return false;
    };
    if (!file.IsOpen())
        return notReadable(file.OpenError() == EINVAL ? std::string("not a regular file") : ErrnoMessage(file.OpenError()));

    std::string text;
    bool ok = file.Size() <= kMaxSaveFileSize;
    if (ok) {
        text.resize(static_cast<std::size_t>(file.Size()));
        if (!text.empty() && !file.ReadAt(0, &text[0], text.size()))
            return notReadable("the read failed or ended early");
    }
    if (ok) {
        ScrambleString(text, state);
        const std::size_t separator = text.find(';');
        const std::size_t headerLength = separator == std::string::npos ? text.size() : separator;
        ok = headerLength == header.size() && text.compare(0, headerLength, header) == 0;
        if (ok) {
            payload = separator == std::string::npos ? std::string() : text.substr(separator + 1);
            readPos = 0;
            return true;
        }
    }
    status = kCorrupt;
    LogText(kLogFileAndScreen, Message("ERR_SAVE_CORRUPT", "The file is damaged or was not made by Varnoth."));
    return false;
}

void SaveBuffer::Reset()
{
    payload.clear();
    readPos = 0;
}

void SaveBuffer::WriteU8(std::uint8_t value) { payload += static_cast<char>(value); }
void SaveBuffer::WriteU32(std::uint32_t value) { AppendLittleEndian(payload, value); }
void SaveBuffer::WriteU64(std::uint64_t value) { AppendLittleEndian(payload, value); }

void SaveBuffer::WriteFloat(float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    WriteU32(bits);
}

void SaveBuffer::WriteString(const std::string& value)
{
    WriteU32(static_cast<std::uint32_t>(value.size()));
    payload += value;
}

std::size_t SaveBuffer::Remaining() const { return readPos < payload.size() ? payload.size() - readPos : 0; }

namespace {

template <typename T>
bool ReadLittleEndian(const std::string& payload, std::size_t& readPos, std::size_t remaining, T& out)
{
    if (remaining < sizeof(T))
        return false;
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<T>(static_cast<unsigned char>(payload[readPos + i])) << (8 * i);
    readPos += sizeof(T);
    out = value;
    return true;
}

} // namespace

bool SaveBuffer::ReadU8(std::uint8_t& out) { return ReadLittleEndian(payload, readPos, Remaining(), out); }
bool SaveBuffer::ReadU32(std::uint32_t& out) { return ReadLittleEndian(payload, readPos, Remaining(), out); }
bool SaveBuffer::ReadU64(std::uint64_t& out) { return ReadLittleEndian(payload, readPos, Remaining(), out); }

bool SaveBuffer::ReadFloat(float& out)
{
    std::uint32_t bits = 0;
    if (!ReadU32(bits))
        return false;
    std::memcpy(&out, &bits, sizeof out);
    return true;
}

bool SaveBuffer::ReadString(std::string& out)
{
    // A length that runs past the payload fails the whole field; the position stays before it.
    const std::size_t remaining = Remaining();
    if (remaining < 4)
        return false;
    std::uint32_t length = 0;
    std::size_t peek = readPos;
    ReadLittleEndian(payload, peek, remaining, length);
    if (length > remaining - 4)
        return false;
    out.assign(payload, peek, length);
    readPos = peek + length;
    return true;
}
