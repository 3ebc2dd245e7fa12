#include "engine/Utilities.h"

bool NextToken(const std::string&, int, int, char, int&, std::string& token) { token.clear(); return false; }
bool ParseUInt64Token(const std::string&, int, int, char, int&, std::uint64_t&) { return false; }
bool ParseUIntToken(const std::string&, int, int, char, int&, std::uint32_t&) { return false; }
std::string IntToString(int value) { return std::to_string(value); }
std::string UIntToString(unsigned value) { return std::to_string(value); }
std::string Int64ToString(std::int64_t value) { return std::to_string(value); }
std::string UInt64ToString(std::uint64_t value) { return std::to_string(value); }
std::string BoolToString(bool value) { return value ? "1" : "0"; }
std::string Base64Encode(const unsigned char*, std::size_t) { return {}; }
std::string Base64Decode(const std::string&) { return {}; }
std::uint32_t GetSurfacePixel(const SDL_Surface*, int, int) { return 0; }
void FitSize(const SDL_Rect&, int& wOut, int& hOut, int w, int h) { wOut = w; hOut = h; }
void HsvToRgb(std::uint8_t out[4], double, double, double) { out[0] = out[1] = out[2] = out[3] = 255; }
void RgbToHsv(double out[3], std::uint32_t) { out[0] = out[1] = out[2] = 0; }
std::string FillPlaceholders(const std::string& templ, const std::string&, const std::string&, const std::string&,
                             const std::string&) { return templ; }
bool PointInRect(const SDL_Rect&, int, int) { return false; }
std::string ErrnoMessage(int errnum) { return "Unknown error " + std::to_string(errnum); }
void ShowFileDialog(std::string& path, bool, bool) { path.clear(); }
void RunProgram(const std::string&, bool, bool) {}
void FormatTimestamp(std::string& out, bool) { out.clear(); }
std::string FormatTimestamp(bool) { return {}; }
std::uint64_t UnixTimeNow() { return 0; }
bool FileExists(const std::string&) { return false; }
std::int32_t FileSize(const std::string&) { return 0; }
std::vector<std::string> ListFiles(const std::string&, const std::string&) { return {}; }
void CreateSubdirectory(std::string& out, const std::string&, const std::string& base) { out = base; }
