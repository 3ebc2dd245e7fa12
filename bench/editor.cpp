// The editor's operations against the work they cannot avoid, measured in one run and printed as
// ratios: a pick and a drag step to the next composed figure against one composition, a figure
// save plus load against writing and reading the same bytes, the export against encoding the same
// surface, and the fringe fill on a winding image against a plain one of the same size.
//
// Headless: software renderer drawing into a surface, pictures in a package written to a
// temporary folder. Medians of repeated runs.

#include "LbaWriter.h"
#include "PngBytes.h"
#include "character/CharacterFile.h"
#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "character/PackageList.h"
#include "character/PngExport.h"
#include "engine/ArchiveRegistry.h"
#include "engine/ResourceCache.h"
#include "engine/SaveBuffer.h"
#include "platform/Platform.h"

#include <SDL.h>
#include <SDL_image.h>


#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 1010;
constexpr int kHeight = 1200;
constexpr int kLayers = 24;
constexpr int kMovable = 20;   // the layer the drag moves
constexpr int kPicked = 12;    // the layer the pick changes

double MedianMs(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Medians of two workloads timed alternately, so that a burst of load on the shared machine (or
// a slow disk sync) falls on both alike.
void MedianPairMs(int runs, const std::function<void()>& a, const std::function<void()>& b, double& aMs, double& bMs)
{
    std::vector<double> aTimes;
    std::vector<double> bTimes;
    for (int i = 0; i < runs; ++i) {
        aTimes.push_back(MedianMs(1, a));
        bTimes.push_back(MedianMs(1, b));
    }
    std::sort(aTimes.begin(), aTimes.end());
    std::sort(bTimes.begin(), bTimes.end());
    aMs = aTimes[aTimes.size() / 2];
    bMs = bTimes[bTimes.size() / 2];
}

// A disc of colour per layer and item, opaque inside with a soft edge, on a clear picture.
std::string LayerPng(int layer, int item)
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_RGBA32);
    const int cx = 200 + (layer * 37) % 600;
    const int cy = 250 + (layer * 53) % 700;
    const int radius = 120 + item * 30 + (layer % 5) * 20;
    for (int y = 0; y < kHeight; ++y) {
        auto* row = static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch;
        for (int x = 0; x < kWidth; ++x) {
            const int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            const int edge = radius * radius;
            row[x * 4 + 0] = static_cast<std::uint8_t>(layer * 9);
            row[x * 4 + 1] = static_cast<std::uint8_t>(item * 70);
            row[x * 4 + 2] = static_cast<std::uint8_t>(255 - layer * 9);
            row[x * 4 + 3] = d2 < edge ? 255 : (d2 < edge + 30 * radius ? 128 : 0);
        }
    }
    std::string bytes = PngBytes(surface);
    SDL_FreeSurface(surface);
    return bytes;
}

void WritePackages(const std::string& folder)
{
    std::string definition = "Zoom { [ Subcategory=\"Main\" ] }\n"
                             "Dimensions { [ Width=\"1010\" Height=\"1200\" ] }\nItems {\n"
                             "[ Name=\"Back\" Subcategory=\"Main\" ItemCount=\"0\" TransparentItem=\"0\" DefaultItem=\"1\" ]\n";
    std::string items = "Zoom { [ Subcategory=\"Main\" ] }\nItems {\n[ Name=\"Back\" Subcategory=\"Main\" ItemCount=\"1\" ]\n";
    std::vector<LbaFile> files;
    SDL_Surface* sky = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_RGBA32);
    SDL_FillRect(sky, nullptr, SDL_MapRGBA(sky->format, 120, 170, 220, 255));
    const std::string skyPath = folder + "/sky.jpg";
    IMG_SaveJPG(sky, skyPath.c_str(), 90);
    SDL_FreeSurface(sky);
    std::ifstream skyIn(skyPath, std::ios::binary);
    files.push_back(LbaFile{"pictures/Back/1.jpg", std::string(std::istreambuf_iterator<char>(skyIn), {})});
    for (int layer = 1; layer < kLayers; ++layer) {
        const std::string name = "L" + std::to_string(layer);
        const std::string flags = std::string(layer % 3 == 0 ? " Colorable=\"1\"" : "") +
                                  (layer == kMovable ? " Movable=\"1\"" : "");
        definition += "[ Name=\"" + name + "\" Subcategory=\"Main\" ItemCount=\"0\" DefaultItem=\"1\"" + flags + " ]\n";
        items += "[ Name=\"" + name + "\" Subcategory=\"Main\" ItemCount=\"2\" ]\n";
        for (int item = 1; item <= 2; ++item) {
            files.push_back(LbaFile{"pictures/" + name + "/" + std::to_string(item) + ".png", LayerPng(layer, item)});
        }
    }
    files.push_back(LbaFile{"bench_items.txt", items + "}\n"});
    WriteLbaArchive("bench_items", files, folder + "/dat/bench_items.lba");
    WriteLbaArchive("bench", {LbaFile{"bench.txt", definition + "}\n"}}, folder + "/dat/bench.lba");
}

// A white path winding through opaque black from the left border, and the plain image with the
// same number of white pixels in one block at the top.
void FringeImages(std::vector<Uint32>& winding, std::vector<Uint32>& plain)
{
    constexpr Uint32 kWhite = 0xFFFFFFFFu;
    constexpr Uint32 kBlack = 0xFF000000u;
    winding.assign(static_cast<std::size_t>(kWidth) * kHeight, kBlack);
    for (int y = 1; y < kHeight - 1; y += 2) {
        for (int x = 1; x < kWidth - 1; ++x) {
            winding[static_cast<std::size_t>(y) * kWidth + x] = kWhite;
        }
        const int joinX = (y / 2) % 2 == 0 ? kWidth - 2 : 1;
        if (y + 2 < kHeight - 1) {
            winding[static_cast<std::size_t>(y + 1) * kWidth + joinX] = kWhite;
        }
    }
    winding[static_cast<std::size_t>(kHeight - 3) * kWidth] = kWhite;
    const auto whiteCount = static_cast<std::size_t>(std::count(winding.begin(), winding.end(), kWhite));
    plain.assign(winding.size(), kBlack);
    std::fill(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(whiteCount), kWhite);
}

void Report(const char* what, double ours, double reference, double goal)
{
    const double ratio = ours / reference;
    std::printf("%-46s %9.3f ms %9.3f ms %7.2fx  goal <= %.1fx  %s\n", what, ours, reference, ratio, goal,
                ratio <= goal ? "met" : "NOT MET");
}

} // namespace

int main()
{
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
    const std::string folder = (std::filesystem::temp_directory_path() / ("vn_bench_editor_" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(folder + "/dat");
    const std::string previous = std::filesystem::current_path().string();
    WritePackages(folder);
    std::filesystem::current_path(folder);

    SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_RGBA32);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(screen);
    ResourceCache::Init();
    ResourceCache::SetRenderer(renderer);
    CharacterRegistry::Init();
    CharacterRegistry::BuildSetList({SetSource{"bench", false}, SetSource{"bench_items", false}});
    CharacterRegistry::SetPackageActivation([](const std::string&) { CharacterRegistry::MixPackage("bench_items"); });
    CharacterRegistry::LoadCharacter("bench", false, false);
    // Records that make the packages usable when a figure file is applied.
    for (const char* name : {"bench", "bench_items"}) {
        PackageList::Records().emplace_back(name);
        PackageList::Records().back().setName = name;
    }
    Editor::SetClock([] { return 100000u; });
    Editor::SetFigureRect(SDL_Rect{0, 0, kWidth, kHeight});
    Editor::LayoutFigure();
    Editor::SetClock([] { return 200000u; });
    Editor::ComposeFigure();

    std::printf("%-46s %12s %12s %8s\n", "", "ours", "reference", "ratio");
    const int runs = 15;
    const double compose = MedianMs(runs, [] { Editor::ComposeFigure(); });

    // Both items of the picked layer decoded once before timing and held, so the pick finds them
    // in the cache (a picture nobody holds is freed, and decoding is not what is measured here).
    Category* picked = CharacterRegistry::CategoryAt(kPicked);
    std::vector<SDL_Surface*> held;
    for (const char* path : {"pictures/L12/1.png", "pictures/L12/2.png"}) {
        held.push_back(ResourceCache::LoadSurface("bench_items", path, nullptr, false, false, true));
    }
    std::int32_t item = 1;
    auto pick = [&] {
        item = item == 1 ? 2 : 1;
        picked->SelectItem(item);
        Editor::ComposeFigure();
    };
    pick();
    pick();
    Report("pick to composed figure / one composition", MedianMs(runs, pick), compose, 1.5);

    for (SDL_Surface*& surface : held) {
        ResourceCache::ReleaseSurface(&surface);
    }
    Editor::SetCurrentCategoryIndex(kMovable);
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.x = kWidth / 2;
    press.button.y = kHeight / 2;
    Editor::HandleInput(&press);
    int direction = 1;
    auto drag = [&] {
        SDL_Event motion{};
        motion.type = SDL_MOUSEMOTION;
        motion.motion.xrel = direction;
        direction = -direction;
        Editor::HandleInput(&motion);
        Editor::ComposeFigure();
    };
    Report("drag step to composed figure / one composition", MedianMs(runs, drag), compose, 1.2);

    const std::string figurePath = folder + "/figure.lbd";
    const std::string rawPath = folder + "/raw.bin";
    CharacterFile::Save(false);
    CharacterFile::Write(figurePath);
    std::string fileBytes;
    {
        std::ifstream in(figurePath, std::ios::binary);
        fileBytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    double saveLoad = 0.0;
    double raw = 0.0;
    MedianPairMs(
        runs * 4,
        [&] {
            CharacterFile::Save(false);
            CharacterFile::Write(figurePath);
            // The file read back and decoded, as a load does before it applies the records.
            SaveBuffer buffer;
            std::vector<CharacterSaveRecord> records;
            std::string setName;
            std::uint32_t version = 0;
            if (!buffer.ReadFile(figurePath, "lbd", "figurePackSaver") ||
                !CharacterFile::DecodePayload(buffer.payload, records, setName, version)) {
                std::printf("figure file not read back\n");
            }
        },
        [&] {
            platform::WriteFileAtomically(rawPath, fileBytes.data(), fileBytes.size());
            std::ifstream in(rawPath, std::ios::binary);
            std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (back.size() != fileBytes.size()) {
                std::printf("raw read back %zu bytes\n", back.size());
            }
        },
        saveLoad, raw);
    Report(".lbd save + load / same bytes written + read", saveLoad, raw, 3.0);
    const double reloadApply = MedianMs(runs, [&] {
        CharacterFile::LoadFile(figurePath);
        CharacterFile::Apply();
        Editor::ComposeFigure();
    });
    std::printf("%-46s %9.3f ms (%zu bytes, %d layers)\n", "  for reference: load + apply + compose", reloadApply,
                fileBytes.size(), CharacterRegistry::CategoryCount());

    const std::string exportPath = folder + "/figure.png";
    const std::string plainPath = folder + "/plain.png";
    SDL_Surface* surface = PngExport::BuildSurface();
    double exportMs = 0.0;
    double encodeMs = 0.0;
    MedianPairMs(
        runs * 2, [&] { PngExport::Save(exportPath); }, [&] { IMG_SavePNG(surface, plainPath.c_str()); }, exportMs,
        encodeMs);
    ResourceCache::ReleaseSurface(&surface);
    Report("export / IMG_SavePNG of the same surface", exportMs, encodeMs, 1.3);

    std::vector<Uint32> winding;
    std::vector<Uint32> plain;
    FringeImages(winding, plain);
    SDL_Surface* image = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_RGBA32);
    auto fill = [&](const std::vector<Uint32>& source) {
        return MedianMs(runs, [&] {
            std::copy(source.begin(), source.end(), static_cast<Uint32*>(image->pixels));
            PngExport::CleanFringe(image);
        });
    };
    const double copyOnly = MedianMs(runs, [&] {
        std::copy(plain.begin(), plain.end(), static_cast<Uint32*>(image->pixels));
    });
    const double windingMs = fill(winding) - copyOnly;
    const double plainMs = fill(plain) - copyOnly;
    Report("CleanFringe serpentine / plain, same white", windingMs, plainMs, 3.0);
    SDL_FreeSurface(image);

    Editor::ReleaseFigure();
    CharacterRegistry::Shutdown();
    PackageList::Destroy();
    CloseAllArchives();
    ResourceCache::Shutdown();
    ResourceCache::SetRenderer(nullptr);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(screen);
    std::filesystem::current_path(previous);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
