// Figure composition, headless with the software renderer: 30 full-size layers of 1010x1200
// composed into one texture, against the memory-bandwidth floor of the same bytes measured in
// the same run, and the time from one item pick to a composed figure.

#include "LbaWriter.h"
#include "PngBytes.h"
#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "engine/ArchiveRegistry.h"
#include "engine/ResourceCache.h"

#include <SDL.h>
#include <SDL_image.h>
#include <benchmark/benchmark.h>


#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 1010;
constexpr int kHeight = 1200;
constexpr int kLayers = 30;
constexpr std::size_t kLayerBytes = static_cast<std::size_t>(kWidth) * kHeight * 4;

// A soft-edged disc of colour per layer and item: opaque inside, fading edge, clear outside.
// covered: every pixel half transparent instead, the worst case for blending.
std::string LayerPng(int layer, int item, bool covered)
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_RGBA32);
    const int cx = 200 + (layer * 37) % 600;
    const int cy = 250 + (layer * 53) % 700;
    const int radius = 300 + item * 40;
    for (int y = 0; y < kHeight; ++y) {
        auto* row = static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch;
        for (int x = 0; x < kWidth; ++x) {
            const int dx = x - cx;
            const int dy = y - cy;
            const int d2 = dx * dx + dy * dy;
            const int edge = radius * radius;
            std::uint8_t alpha = d2 < edge ? 255 : (d2 < edge + 40 * radius ? 128 : 0);
            if (covered) {
                alpha = 128;
            }
            row[x * 4 + 0] = static_cast<std::uint8_t>(layer * 8);
            row[x * 4 + 1] = static_cast<std::uint8_t>(item * 60);
            row[x * 4 + 2] = static_cast<std::uint8_t>(255 - layer * 8);
            row[x * 4 + 3] = alpha;
        }
    }
    std::string bytes = PngBytes(surface);
    SDL_FreeSurface(surface);
    return bytes;
}

// The figure: 30 layers of two items each in package "bench", loaded and laid out at 1:1.
class Figure {
public:
    explicit Figure(bool covered)
    {
        folder = (std::filesystem::temp_directory_path() / (covered ? "vn_bench_covered" : "vn_bench_compose")).string();
        std::filesystem::create_directories(folder + "/dat");
        previous = std::filesystem::current_path().string();
        std::filesystem::current_path(folder);
        std::string definition = "Zoom { [ Subcategory=\"Main\" ] }\n"
                                 "Dimensions { [ Width=\"1010\" Height=\"1200\" ] }\nItems {\n";
        std::string items = "Zoom { [ Subcategory=\"Main\" ] }\nItems {\n";
        std::vector<LbaFile> files;
        for (int layer = 0; layer < kLayers; ++layer) {
            const std::string name = "L" + std::to_string(layer);
            definition += "[ Name=\"" + name + "\" Subcategory=\"Main\" ItemCount=\"0\" DefaultItem=\"1\" ]\n";
            items += "[ Name=\"" + name + "\" Subcategory=\"Main\" ItemCount=\"2\" ]\n";
            for (int item = 1; item <= 2; ++item) {
                files.push_back(LbaFile{"pictures/" + name + "/" + std::to_string(item) + ".png", LayerPng(layer, item, covered)});
            }
        }
        files.push_back(LbaFile{"bench_items.txt", items + "}\n"});
        WriteLbaArchive("bench_items", files, folder + "/dat/bench_items.lba");
        WriteLbaArchive("bench", {LbaFile{"bench.txt", definition + "}\n"}}, folder + "/dat/bench.lba");

        screen = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_RGBA32);
        renderer = SDL_CreateSoftwareRenderer(screen);
        ResourceCache::Init();
        ResourceCache::SetRenderer(renderer);
        CharacterRegistry::Init();
        CharacterRegistry::BuildSetList({SetSource{"bench", false}, SetSource{"bench_items", false}});
        CharacterRegistry::SetPackageActivation([](const std::string&) { CharacterRegistry::MixPackage("bench_items"); });
        CharacterRegistry::LoadCharacter("bench", false, false);
        Editor::SetFigureRect(SDL_Rect{0, 0, kWidth, kHeight});
        Editor::LayoutFigure();
        Editor::ComposeFigure(); // decodes every picture once and builds every layer texture
    }

    ~Figure()
    {
        Editor::ReleaseFigure();
        CharacterRegistry::Shutdown();
        CloseAllArchives();
        ResourceCache::Shutdown();
        ResourceCache::SetRenderer(nullptr);
        SDL_DestroyRenderer(renderer);
        SDL_FreeSurface(screen);
        std::filesystem::current_path(previous);
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

private:
    std::string folder;
    std::string previous;
    SDL_Surface* screen = nullptr;
    SDL_Renderer* renderer = nullptr;
};

// One figure at a time: the registry holds one current set.
std::unique_ptr<Figure> gFigure;
bool gCovered = false;

void UseFigure(bool covered)
{
    if (!gFigure || gCovered != covered) {
        gFigure.reset();
        gFigure = std::make_unique<Figure>(covered);
        gCovered = covered;
    }
}

// Per layer: read the source, read and write the destination: one memcpy of a layer's bytes
// from its own buffer into the one figure buffer.
double FloorSeconds(int rounds)
{
    static std::vector<std::vector<std::uint8_t>> sources(kLayers, std::vector<std::uint8_t>(kLayerBytes, 7));
    static std::vector<std::uint8_t> destination(kLayerBytes, 1);
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round) {
        for (int layer = 0; layer < kLayers; ++layer) {
            std::memcpy(destination.data(), sources[layer].data(), kLayerBytes);
            benchmark::ClobberMemory();
        }
    }
    benchmark::DoNotOptimize(destination.data());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
}

void BM_MemcpyFloor30Layers(benchmark::State& state)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(FloorSeconds(1));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kLayers * kLayerBytes);
}

void BM_Compose30Layers(benchmark::State& state)
{
    UseFigure(state.range(0) != 0);
    const double floor = FloorSeconds(5);
    double total = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Editor::ComposeFigure();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double perFigure = total / static_cast<double>(state.iterations());
    state.counters["floor_ms"] = floor * 1000.0;
    state.counters["compose_ms"] = perFigure * 1000.0;
    state.counters["ratio_to_floor"] = perFigure / floor;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kLayers * kLayerBytes);
}

void BM_PickToComposedFigure(benchmark::State& state)
{
    UseFigure(false);
    Category* layer = CharacterRegistry::CategoryAt(kLayers / 2);
    std::int32_t item = 1;
    for (auto _ : state) {
        item = item == 1 ? 2 : 1;
        layer->SelectItem(item);
        Editor::ComposeFigure();
    }
    state.counters["layers"] = kLayers;
}

} // namespace

BENCHMARK(BM_MemcpyFloor30Layers)->Unit(benchmark::kMillisecond);
// 0: layers inked over part of the figure (transparent borders are skipped); 1: every pixel of
// every layer half transparent.
BENCHMARK(BM_Compose30Layers)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PickToComposedFigure)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_RENDER_DRIVER", "software", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    gFigure.reset();
    benchmark::Shutdown();
    return 0;
}
