#pragma once
// The scrambled container of the profile and the figure saves: scramble(header + ";" + payload).
// Payload fields are little-endian; a string is a u32 length and its bytes.

#include <cstdint>
#include <string>

// XORs every byte with the keystream; the state carries over between calls.
void ScrambleString(std::string& text, std::uint32_t& state);
// Seed from the key, or (empty key) from the file name after the last "\".
std::uint32_t SaveSeed(const std::string& path, const std::string& key);

class SaveBuffer {
public:
    // kNotReadable: the file is there but is no regular file, may not be opened or fails to read.
    enum Status { kOk = 0, kNotFound = 1, kNotWritable = 2, kCorrupt = 4, kNotReadable = 8 };

    // Atomic: written to a temporary file beside path, checked, renamed over it. The payload is
    // emptied on success and kept on failure.
    bool WriteFile(const std::string& path, const std::string& header, const std::string& key);
    // A failure sets status and says why once, in the log and on screen.
    bool ReadFile(const std::string& path, const std::string& header, const std::string& key);
    void Reset();

    void WriteU8(std::uint8_t value);
    void WriteU32(std::uint32_t value);
    void WriteU64(std::uint64_t value);
    void WriteFloat(float value);
    void WriteString(const std::string& value);
    // Reads fail (false, out unchanged, nothing consumed) when the field runs past the payload.
    bool ReadU8(std::uint8_t& out);
    bool ReadU32(std::uint32_t& out);
    bool ReadU64(std::uint64_t& out);
    bool ReadFloat(float& out);
    bool ReadString(std::string& out);
    std::size_t Remaining() const;

    std::int32_t status = kOk;
    std::string payload;
    std::size_t readPos = 0;
};
