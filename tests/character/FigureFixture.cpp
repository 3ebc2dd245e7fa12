#include "character/FigureFixture.h"

#include "LbaWriter.h"
#include "engine/ArchiveRegistry.h"
#include "engine/ConfigFile.h"
#include "engine/ResourceCache.h"
#include "support/ArchiveBuilder.h"
#include "support/PngPicture.h"

#include <SDL_image.h>

#include <algorithm>
#include <filesystem>
#include <ostream>

std::ostream& operator<<(std::ostream& out, const Rgba& c)
{
    return out << "(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << "," << int(c.a) << ")";
}

std::string MakePng(int w, int h, const std::function<Rgba(int x, int y)>& pixel)
{
    return PngFromPixels(w, h, [&pixel](int x, int y) {
        const Rgba c = pixel(x, y);
        return SDL_Color{c.r, c.g, c.b, c.a};
    });
}

std::string SolidPng(int w, int h, Rgba colour)
{
    return MakePng(w, h, [&](int, int) { return colour; });
}

std::string RectPng(int w, int h, SDL_Rect rect, Rgba colour)
{
    return MakePng(w, h, [&](int x, int y) {
        const bool inside = x >= rect.x && x < rect.x + rect.w && y >= rect.y && y < rect.y + rect.h;
        return inside ? colour : kClear;
    });
}

CharacterSet ParseSet(const std::string& name, const std::string& text,
                      const std::function<bool(const std::string&)>& pictureExists)
{
    ConfigFile file;
    file.Parse(text);
    CharacterSet set;
    set.Name = name;
    set.ReadSections(file, pictureExists);
    return set;
}

bool LoadParsedSet(const std::string& name, const std::string& text, bool mixOwnItems)
{
    auto& sets = CharacterRegistry::Sets();
    sets.erase(std::remove_if(sets.begin(), sets.end(), [&](const CharacterSet& s) { return s.Name == name; }),
               sets.end());
    sets.push_back(ParseSet(name, text));
    CharacterRegistry::SetPackageActivation([mixOwnItems](const std::string& set) {
        if (mixOwnItems) {
            CharacterRegistry::MixPackage(set);
        }
    });
    return CharacterRegistry::LoadCharacter(name, false, false);
}

void FigureFixture::SetUp()
{
    log = std::make_unique<LogCapture>();
    temp = std::make_unique<TempDir>();
    std::filesystem::create_directories(temp->File("dat"));
    cwd = std::make_unique<ScopedWorkingDir>(temp->Path());
    CloseAllArchives();
    ResourceCache::Init();
    screen = SDL_CreateRGBSurfaceWithFormat(0, 64, 64, 32, SDL_PIXELFORMAT_RGBA32);
    renderer = SDL_CreateSoftwareRenderer(screen);
    ASSERT_NE(renderer, nullptr) << SDL_GetError();
    ResourceCache::SetRenderer(renderer);
    CharacterRegistry::Init();
    CharacterRegistry::SetFigureDirty(false);
    Editor::SetClock([] { return 1000u; });
}

void FigureFixture::TearDown()
{
    Editor::ReleaseFigure();
    CharacterRegistry::Shutdown();
    CharacterRegistry::SetPackageActivation({});
    Editor::SetClock({});
    Editor::SetFigureRect(SDL_Rect{0, 0, 0, 0});
    // Open archives are process-wide and would point into this test's removed folder.
    CloseAllArchives();
    ResourceCache::Shutdown();
    ResourceCache::SetRenderer(nullptr);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(screen);
    cwd.reset();
    temp.reset();
    log.reset();
}

void FigureFixture::WritePackage(const std::string& package,
                                 const std::vector<std::pair<std::string, std::string>>& files)
{
    std::vector<LbaFile> entries;
    for (const auto& file : files) {
        entries.push_back(LbaFile{file.first, file.second});
    }
    BuildDatArchive(temp->Path(), package, entries);
}

bool FigureFixture::LoadSet(const std::string& set, const std::vector<std::string>& packages)
{
    std::vector<SetSource> sources{SetSource{set, false}};
    for (const std::string& package : packages) {
        sources.push_back(SetSource{package, false});
    }
    CharacterRegistry::BuildSetList(sources);
    CharacterRegistry::SetPackageActivation([packages](const std::string&) {
        for (const std::string& package : packages) {
            CharacterRegistry::MixPackage(package);
        }
    });
    return CharacterRegistry::LoadCharacter(set, false, false);
}

bool FigureFixture::Compose()
{
    if (!Editor::ComposeFigure()) {
        return false;
    }
    SDL_Texture* figure = Editor::ComposedTexture();
    if (!figure || SDL_QueryTexture(figure, nullptr, nullptr, &width, &height) != 0) {
        return false;
    }
    pixels.assign(static_cast<std::size_t>(width) * height * 4, 0);
    SDL_SetRenderTarget(renderer, figure);
    const int result = SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGBA32, pixels.data(), width * 4);
    SDL_SetRenderTarget(renderer, nullptr);
    return result == 0;
}

Rgba FigureFixture::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height) {
        ADD_FAILURE() << "pixel " << x << "," << y << " outside the figure";
        return Rgba{};
    }
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 4;
    return Rgba{pixels[at], pixels[at + 1], pixels[at + 2], pixels[at + 3]};
}

bool FigureFixture::SavePng(const std::string& path) const
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint8_t*>(pixels.data()), width,
                                                              height, 32, width * 4, SDL_PIXELFORMAT_RGBA32);
    if (!surface) {
        return false;
    }
    const bool ok = IMG_SavePNG(surface, path.c_str()) == 0;
    SDL_FreeSurface(surface);
    return ok;
}

Category& FigureFixture::Layer(const std::string& name)
{
    for (auto& category : CharacterRegistry::Categories()) {
        if (category->Name == name) {
            return *category;
        }
    }
    ADD_FAILURE() << "no layer " << name;
    static Category none;
    return none;
}
