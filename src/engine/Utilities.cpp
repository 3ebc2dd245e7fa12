#include "engine/Utilities.h"

#include "engine/Core.h"
#include "engine/Log.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// A float outside int's range (or NaN) converted to int is undefined: clamp first.
int TruncateToInt(double value)
{
    if (!std::isfinite(value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

std::uint8_t ChannelToByte(double channel)
{
    const double scaled = std::floor(channel * 255.0);
    if (!(scaled > 0.0))
        return 0;
    if (scaled >= 255.0)
        return 255;
    return static_cast<std::uint8_t>(scaled);
}

int Base64Index(char c)
{
    const char* found = std::strchr(kBase64Alphabet, c);
    return (c != '\0' && found != nullptr) ? static_cast<int>(found - kBase64Alphabet) : -1;
}

// The two strerror_r flavours (GNU returns the text, XSI fills the buffer).
[[maybe_unused]] const char* StrerrorResult(const char* result, const char*) { return result; }
[[maybe_unused]] const char* StrerrorResult(int result, const char* buffer) { return result == 0 ? buffer : nullptr; }

} // namespace

bool NextToken(const std::string& text, int start, int end, char delimiter, int& next, std::string& token)
{
    token.clear();
    end = std::min<long long>(end, static_cast<long long>(text.size()));
    if (start < 0)
        start = 0;
    if (start >= end)
        return false;
    for (int i = start; i < end; ++i) {
        if (text[static_cast<std::size_t>(i)] == delimiter) {
            next = i + 1;
            return true;
        }
        token += text[static_cast<std::size_t>(i)];
    }
    next = end;
    return true;
}

bool ParseUInt64Token(const std::string& text, int start, int end, char delimiter, int& next, std::uint64_t& value)
{
    end = std::min<long long>(end, static_cast<long long>(text.size()));
    if (start < 0)
        start = 0;
    if (start >= end)
        return false;
    // Characters are not checked to be digits; stored lists rely on this exact arithmetic, which
    // wraps modulo 2^64 like the sum of digit times power of ten.
    std::uint64_t result = 0;
    int i = start;
    next = end;
    for (; i < end; ++i) {
        const char c = text[static_cast<std::size_t>(i)];
        if (c == delimiter) {
            next = i + 1;
            break;
        }
        if (c == ' ')
            continue;
        result = result * 10u + static_cast<std::uint64_t>(static_cast<long long>(c) - '0');
    }
    value = result;
    return true;
}

bool ParseUIntToken(const std::string& text, int start, int end, char delimiter, int& next, std::uint32_t& value)
{
    std::uint64_t wide = 0;
    if (!ParseUInt64Token(text, start, end, delimiter, next, wide))
        return false;
    value = static_cast<std::uint32_t>(wide & 0xFFFFFFFFu);
    return true;
}

std::string IntToString(int value) { return std::to_string(value); }
std::string UIntToString(unsigned value) { return std::to_string(value); }
std::string Int64ToString(std::int64_t value) { return std::to_string(value); }
std::string UInt64ToString(std::uint64_t value) { return std::to_string(value); }

std::string Base64Encode(const unsigned char* bytes, std::size_t count)
{
    std::string out;
    if (bytes == nullptr || count == 0)
        return out;
    out.reserve((count + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= count; i += 3) {
        const std::uint32_t group = (std::uint32_t(bytes[i]) << 16) | (std::uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
        out += kBase64Alphabet[(group >> 18) & 63];
        out += kBase64Alphabet[(group >> 12) & 63];
        out += kBase64Alphabet[(group >> 6) & 63];
        out += kBase64Alphabet[group & 63];
    }
    const std::size_t rest = count - i;
    if (rest > 0) {
        std::uint32_t group = std::uint32_t(bytes[i]) << 16;
        if (rest == 2)
            group |= std::uint32_t(bytes[i + 1]) << 8;
        out += kBase64Alphabet[(group >> 18) & 63];
        out += kBase64Alphabet[(group >> 12) & 63];
        out += rest == 2 ? kBase64Alphabet[(group >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string Base64Decode(const std::string& text)
{
    std::string out;
    out.reserve(text.size() / 4 * 3 + 2);
    std::uint32_t group = 0;
    int filled = 0;
    for (char c : text) {
        const int index = Base64Index(c);
        if (index < 0)
            break; // "=" padding, a line break or any foreign character ends the data
        group = (group << 6) | static_cast<std::uint32_t>(index);
        if (++filled == 4) {
            out += static_cast<char>((group >> 16) & 0xFF);
            out += static_cast<char>((group >> 8) & 0xFF);
            out += static_cast<char>(group & 0xFF);
            group = 0;
            filled = 0;
        }
    }
    if (filled == 2) {
        out += static_cast<char>((group >> 4) & 0xFF);
    } else if (filled == 3) {
        out += static_cast<char>((group >> 10) & 0xFF);
        out += static_cast<char>((group >> 2) & 0xFF);
    }
    return out;
}

std::uint32_t GetSurfacePixel(const SDL_Surface* surface, int x, int y)
{
    if (surface == nullptr || surface->pixels == nullptr || surface->format == nullptr)
        return 0;
    if (x < 0 || y < 0 || x >= surface->w || y >= surface->h)
        return 0;
    const int bpp = surface->format->BytesPerPixel;
    if (bpp < 1 || bpp > 4)
        return 0;
    const auto* p = static_cast<const std::uint8_t*>(surface->pixels) +
                    static_cast<std::ptrdiff_t>(y) * surface->pitch + static_cast<std::ptrdiff_t>(x) * bpp;
    switch (bpp) {
    case 1: return *p;
    case 2: {
        std::uint16_t v = 0;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    case 3: return std::uint32_t(p[0]) + std::uint32_t(p[1]) * 256u + std::uint32_t(p[2]) * 65536u;
    default: {
        std::uint32_t v = 0;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    }
}

void FitSize(const SDL_Rect& bounds, int& wOut, int& hOut, int w, int h)
{
    // Nothing to scale, or nowhere to put it: the ratios below would divide by zero.
    if (w <= 0 || h <= 0) {
        wOut = 0;
        hOut = 0;
        return;
    }
    if (bounds.h > h && bounds.w > w) {
        wOut = w;
        hOut = h;
        return;
    }
    if (bounds.w <= 0 || bounds.h <= 0) {
        wOut = 0;
        hOut = 0;
        return;
    }
    const float fw = static_cast<float>(w);
    const float fh = static_cast<float>(h);
    const float bw = static_cast<float>(bounds.w);
    const float bh = static_cast<float>(bounds.h);
    float ow = bw;
    float oh = bh;
    if (bounds.h <= h)
        ow = fw / fh * bh;
    if (ow <= fw)
        oh = fh / fw * ow;
    if (ow > bw) {
        const float r = bw / ow;
        ow *= r;
        oh *= r;
    }
    if (oh > bh) {
        const float r = bh / oh;
        ow *= r;
        oh *= r;
    }
    wOut = TruncateToInt(ow);
    hOut = TruncateToInt(oh);
}

void HsvToRgb(std::uint8_t out[4], double h, double s, double v)
{
    out[0] = out[1] = out[2] = out[3] = 255;
    if (!std::isfinite(h))
        h = 0.0;
    if (!std::isfinite(s))
        s = 0.0;
    if (!std::isfinite(v))
        v = 0.0;
    const double sector = std::floor(h * 6.0);
    // Huge hues only matter modulo 6; keep the integer in range before converting.
    const double bounded = std::fmod(sector, 6.0);
    const int i = static_cast<int>(bounded);
    const double f = h * 6.0 - sector;
    const double p = v * (1.0 - s);
    const double q = v * (1.0 - f * s);
    const double t = v * (1.0 - (1.0 - f) * s);
    double r = v;
    double g = v;
    double b = v;
    switch (i % 6) {
    case 0: r = v; g = t; b = p; break;
    case 1: r = q; g = v; b = p; break;
    case 2: r = p; g = v; b = t; break;
    case 3: r = p; g = q; b = v; break;
    case 4: r = t; g = p; b = v; break;
    case 5: r = v; g = p; b = q; break;
    default: break; // a negative hue: grey of the value
    }
    out[0] = ChannelToByte(r);
    out[1] = ChannelToByte(g);
    out[2] = ChannelToByte(b);
}

void RgbToHsv(double out[3], std::uint32_t colour)
{
    const int r = static_cast<int>(colour & 0xFF);
    const int g = static_cast<int>((colour >> 8) & 0xFF);
    const int b = static_cast<int>((colour >> 16) & 0xFF);
    const int max = std::max({r, g, b});
    const int min = std::min({r, g, b});
    double hue = 0.0;
    if (max != min) {
        const double range = static_cast<double>(max - min);
        if (max == r) {
            hue = 60.0 * (g - b) / range;
            if (hue < 0.0)
                hue += 360.0;
            else if (hue >= 360.0)
                hue -= 360.0;
        } else if (max == g) {
            hue = 60.0 * (b - r) / range + 120.0;
        } else {
            hue = 60.0 * (r - g) / range + 240.0;
        }
    }
    out[0] = hue / 360.0;
    out[1] = max == 0 ? 0.0 : 1.0 - static_cast<double>(min) / max;
    out[2] = max / 255.0;
}

std::string FillPlaceholders(const std::string& templ, const std::string& a, const std::string& b,
                             const std::string& c, const std::string& d)
{
    const std::string* fills[] = {&a, &b, &c, &d};
    std::string out;
    out.reserve(templ.size() + a.size() + b.size() + c.size() + d.size());
    std::size_t used = 0;
    for (std::size_t i = 0; i < templ.size(); ++i) {
        if (templ[i] == '%' && i + 1 < templ.size() && templ[i + 1] == 'n') {
            if (used < 4)
                out += *fills[used];
            ++used;
            ++i;
            continue;
        }
        out += templ[i];
    }
    return out;
}

std::size_t Utf8CutLength(const std::string& text, std::size_t maxBytes)
{
    if (maxBytes >= text.size())
        return text.size();
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

std::string ShortenForDisplay(const std::string& text, std::size_t maxBytes)
{
    static const std::string kEllipsis = "\xE2\x80\xA6";
    static const std::string kControlMark = "\xEF\xBF\xBD";
    // Marks only grow the text, so reading stops one byte past the cap: megabytes of line breaks
    // cost no more than a short name.
    std::string shown;
    for (std::size_t i = 0; i < text.size() && shown.size() <= maxBytes; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F)
            shown += kControlMark;
        else
            shown += text[i];
    }
    if (shown.size() <= maxBytes)
        return shown;
    if (maxBytes < kEllipsis.size())
        return std::string();
    shown.resize(Utf8CutLength(shown, maxBytes - kEllipsis.size()));
    return shown + kEllipsis;
}

bool PointInRect(const SDL_Rect& rect, int x, int y)
{
    const long long right = static_cast<long long>(rect.x) + rect.w;
    const long long bottom = static_cast<long long>(rect.y) + rect.h;
    return x >= rect.x && x <= right && y >= rect.y && y <= bottom;
}

std::string ErrnoMessage(int errnum)
{
    char buffer[256] = {};
    const char* text = StrerrorResult(strerror_r(errnum, buffer, sizeof buffer), buffer);
    if (text == nullptr || text[0] == '\0')
        return "Unknown error " + std::to_string(errnum);
    return text;
}

void ShowFileDialog(std::string& path, bool save, bool png)
{
    SDL_Window* window = gCore != nullptr ? gCore->Window() : nullptr;
    // A system dialog cannot show over a full-screen window.
    const bool wasFullscreen = window != nullptr && (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0;
    if (wasFullscreen)
        gCore->ToggleFullscreen();
    path = platform::RunFileDialog(save, png, path);
    if (wasFullscreen && gCore != nullptr)
        gCore->ToggleFullscreen();
}

void RunProgram(const std::string& path, bool elevated, bool wait)
{
    // There is no elevation here: the program runs as we do, and only an elevated start waits.
    if (!platform::SpawnProgram(path, elevated && wait))
        LogText(kLogFile, "Failed to start program " + path);
}

void FormatTimestamp(std::string& out, bool forDisplay)
{
    std::tm now {};
    if (!platform::LocalTimeNow(now)) {
        out = forDisplay ? "1970/1/1 0:0:0" : "1970_1_1_0_0_0";
        return;
    }
    const char* dateSep = forDisplay ? "/" : "_";
    const char* midSep = forDisplay ? " " : "_";
    const char* timeSep = forDisplay ? ":" : "_";
    out = std::to_string(now.tm_year + 1900) + dateSep + std::to_string(now.tm_mon + 1) + dateSep +
          std::to_string(now.tm_mday) + midSep + std::to_string(now.tm_hour) + timeSep +
          std::to_string(now.tm_min) + timeSep + std::to_string(now.tm_sec);
}

std::string FormatTimestamp(bool forDisplay)
{
    std::string out;
    FormatTimestamp(out, forDisplay);
    return out;
}

std::uint64_t UnixTimeNow() { return platform::UnixTime(); }

bool FileExists(const std::string& path) { return platform::FileExists(path); }

std::int32_t FileSize(const std::string& path)
{
    std::uint64_t size = 0;
    if (!platform::FileSize(path, size))
        return 0;
    // A file past 2 GiB cannot be described in 32 bits; callers check offsets against this.
    return size > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(size);
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& extension)
{
    std::vector<std::string> paths;
    const std::string suffix = "." + extension;
    for (const std::string& name : platform::ListFolderFiles(folder)) {
        if (extension != "*") {
            if (name.size() < suffix.size())
                continue;
            const bool matches = std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<long>(suffix.size()),
                                            [](char x, char y) {
                                                return std::tolower(static_cast<unsigned char>(x)) ==
                                                       std::tolower(static_cast<unsigned char>(y));
                                            });
            if (!matches)
                continue;
        }
        paths.push_back(folder + "/" + name);
    }
    return paths;
}

void CreateSubdirectory(std::string& out, const std::string& name, const std::string& base)
{
    out = base;
    // An empty base means the working folder, never the file system's root.
    if (!out.empty() && out.back() != '\\' && out.back() != '/')
        out += '/';
    out += name + "/";
    platform::MakeFolder(out);
}
