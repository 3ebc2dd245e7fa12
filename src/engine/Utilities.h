#pragma once
// Shared helpers: tokens, numbers, base64, pixels, geometry, colour, time and files.
// None of them throws; every index is clamped to the text it reads.

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ";"-separated lists: token is text[start, delimiter); an empty entry gives an empty token.
// end is clamped to text.size(); false (next unchanged) when start >= end.
bool NextToken(const std::string& text, int start, int end, char delimiter, int& next, std::string& token);
// Like NextToken, skipping blanks; the digits' codes minus '0' summed by powers of ten (not checked).
bool ParseUInt64Token(const std::string& text, int start, int end, char delimiter, int& next, std::uint64_t& value);
bool ParseUIntToken(const std::string& text, int start, int end, char delimiter, int& next, std::uint32_t& value);

std::string IntToString(int value);
std::string UIntToString(unsigned value);
std::string Int64ToString(std::int64_t value);
std::string UInt64ToString(std::uint64_t value);

std::string Base64Encode(const unsigned char* bytes, std::size_t count);
std::string Base64Decode(const std::string& text);

// 0 for no pixels, a point outside the surface or an unsupported depth.
std::uint32_t GetSurfacePixel(const SDL_Surface* surface, int x, int y);
void FitSize(const SDL_Rect& bounds, int& wOut, int& hOut, int w, int h);
// out: R, G, B, A bytes; h, s, v in 0..1.
void HsvToRgb(std::uint8_t out[4], double h, double s, double v);
// colour: R bits 0-7, G 8-15, B 16-23; out: hue, saturation, value in 0..1.
void RgbToHsv(double out[3], std::uint32_t colour);
// Each "%n" takes the next of a, b, c, d; a fifth and later one is dropped.
std::string FillPlaceholders(const std::string& templ, const std::string& a = std::string(),
                             const std::string& b = std::string(), const std::string& c = std::string(),
                             const std::string& d = std::string());
// Names and texts from outside (figure files, package lists, the web service) are cut to these many
// bytes before they reach a box, a status line or a list: a name of a megabyte is no name, and
// every line of it would cost drawing time.
constexpr std::size_t kShownNameBytes = 64;
constexpr std::size_t kShownTextBytes = 1000;
// The length of text's longest start within maxBytes that splits no UTF-8 character (a
// continuation byte, 10xxxxxx, never begins the rest). Invalid UTF-8 is handled byte-safely.
std::size_t Utf8CutLength(const std::string& text, std::size_t maxBytes);
// text when it has at most maxBytes bytes; else its first whole UTF-8 characters that leave room,
// within maxBytes, for the "…" that ends it. Line breaks, tabs, NULs and other control
// characters each become a visible U+FFFD, whose three bytes count toward maxBytes: a name from
// outside stays on one line, and a NUL no longer ends the text early.
std::string ShortenForDisplay(const std::string& text, std::size_t maxBytes);
// Both edges count as inside.
bool PointInRect(const SDL_Rect& rect, int x, int y);

// The C library's text, or "Unknown error N".
std::string ErrnoMessage(int errnum);

// Leaves full screen while the dialog is open. path: the initial folder in, the chosen file out
// ("" when cancelled).
void ShowFileDialog(std::string& path, bool save, bool png);
// Never waits unless elevated and wait are both set.
void RunProgram(const std::string& path, bool elevated, bool wait);

// Local time: "2016_3_7_9_5_2" (file form) or "2016/3/7 9:5:2" (display form).
void FormatTimestamp(std::string& out, bool forDisplay);
std::string FormatTimestamp(bool forDisplay);
std::uint64_t UnixTimeNow();

bool FileExists(const std::string& path);
std::int32_t FileSize(const std::string& path);
// Files only (no folders); each entry is folder + "/" + name. extension "*" matches every file.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& extension);
void CreateSubdirectory(std::string& out, const std::string& name, const std::string& base);
