#include "app/ShopMenuScreen.h"

#include "app/MainMenuScreen.h"
#include "app/Navigation.h"
#include "app/ScreenSupport.h"
#include "app/SettingsScreen.h"
#include "character/CharacterRegistry.h"
#include "character/PackageList.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "engine/Services.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIElement.h"
#include "gui/GUIListBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIVerticalContainer.h"
#include "gui/TutorialHooks.h"
#include "online/ServiceAddress.h"
#include "online/WebClient.h"

#include <algorithm>

namespace {

constexpr int kPictureList = 0;
constexpr int kMenuList = 1;
constexpr int kLeftFrame = 0;

constexpr int kMenuQuestions = 2;
constexpr int kMenuBack = 3;

// A description is a paragraph or two; a package that ships megabytes of text must not make the
// page surface huge.
constexpr std::size_t kMaxDescriptionBytes = 32 * 1024;
// Numbered pictures a package may list; "ImageCount" is read from the package.
constexpr int kMaxImageCount = 64;
// A package's font size beyond this fits no line on the parchment; it would only make every glyph
// a picture of many megabytes.
constexpr int kMaxFontSize = 160;
// The description starts this far from the parchment's left and top edges and keeps as far from
// its right edge.
constexpr int kPageMargin = 20;

// Cuts at most max bytes without splitting a UTF-8 sequence, and drops carriage returns, which the
// font would draw as boxes.
std::string CleanDescription(const std::string& text)
{
    const std::size_t end = Utf8CutLength(text, kMaxDescriptionBytes);
    std::string out;
    out.reserve(end);
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] != '\r') {
            out.push_back(text[i]);
        }
    }
    return out;
}

// The questions page on the service's host, read from the one place the whole program reads it.
std::string QuestionsAddress()
{
    return ServicePage(WebServiceHost(), "client.php?faq=1");
}

} // namespace

ShopMenuScreen::ShopMenuScreen() : TwoFramesStyleScreen(Navigation::LayerName(ScreenId::kShopMenu)) { frameGap = 10; }

ShopMenuScreen::~ShopMenuScreen() { ResourceCache::ReleaseFont(&pageFont); }

PackageRecord* ShopMenuScreen::Package() const
{
    if (packageName.empty()) {
        return nullptr;
    }
    for (PackageRecord& record : PackageList::Records()) {
        if (record.entryName == packageName) {
            return &record;
        }
    }
    return nullptr;
}

void ShopMenuScreen::ReleasePreviews()
{
    if (GUIVerticalContainer* left = GetContainer(kLeftFrame)) {
        left->contentElement = nullptr;
    }
    previews.clear();
    shownPreview = -1;
    previewSized = false;
}

void ShopMenuScreen::ReturnToMenu()
{
    Navigation::ShowHomeMenu();
}

bool ShopMenuScreen::BuildPage()
{
    ReleasePreviews();
    GUIListBox* pictures = GetListBox(kPictureList);
    if (pictures != nullptr) {
        pictures->Clear();
    }
    description.clear();

    const PackageRecord* record = Package();
    setFolder = packageName;
    folderSuffix.clear();
    if (record != nullptr) {
        setFolder = record->setName.empty() ? record->entryName : record->setName;
        folderSuffix = record->setName.empty() ? std::string() : std::string("_prev");
    }
    const std::string folder = setFolder + "_prev";
    std::string text;
    if (record == nullptr || !ResourceCache::ReadTextFile(folder + "/en.txt", text, true)) {
        const std::string shown = ShortenForDisplay(folder, kShownNameBytes);
        Log(kLogFileAndScreen, FillPlaceholders(Localize("ERR_FAILED_OPEN"), shown + "/en.txt", shown));
        ReturnToMenu();
        return false;
    }
    description = CleanDescription(text);

    // One reference per visit: the font of the last visit goes back before this one is taken.
    ResourceCache::ReleaseFont(&pageFont);
    if (!record->font.empty() && record->fontSize > 0) {
        pageFont = ResourceCache::LoadFont("core", CurrentGuiFolder(false) + record->font,
                                           std::min(record->fontSize, kMaxFontSize));
    }
    pageColour = SDL_Color{record->fontColor[0], record->fontColor[1], record->fontColor[2], record->fontColor[3]};

    const std::string ownFolder = setFolder + folderSuffix;
    std::vector<std::string> items;
    items.push_back((record->iconPath.empty() ? ownFolder : record->iconPath) + "/icon.png");
    const int imageCount = std::clamp(record->imageCount, 0, kMaxImageCount);
    previews.resize(static_cast<std::size_t>(imageCount) + 2);
    for (auto& holder : previews) {
        holder = std::make_unique<GUIElement>(0);
    }
    std::size_t next = 1;
    if (!record->bundle) {
        ScreenSupport::QueuePicture(*previews[next++], ownFolder + "/info.jpg");
        items.push_back(ownFolder + "/info.jpg");
    }
    for (int k = 0; k < imageCount; ++k) {
        const std::string path = folder + "/" + IntToString(k) + ".jpg";
        ScreenSupport::QueuePicture(*previews[next++], path);
        items.push_back(path);
    }
    if (pictures != nullptr) {
        const std::size_t count = items.size();
        pictures->SetItems(std::move(items), false, true, false, true, false, false, std::string());
        pictures->SetItemStates(std::vector<std::vector<std::uint64_t>>{std::vector<std::uint64_t>(count, 0)});
    }
    return true;
}

void ShopMenuScreen::RenderDescription()
{
    if (previews.empty()) {
        return;
    }
    GUIElement& page = *previews[0];
    ResourceCache::ReleaseTexture(&page.texture);
    SDL_Surface* parchment = ResourceCache::LoadSurface("core", CurrentGuiFolder(false) + "pergamen.jpg");
    if (parchment == nullptr) {
        return;
    }
    SDL_SetSurfaceColorMod(parchment, 255, 255, 255);
    // Blit swaps in a private copy rather than draw into the cached parchment.
    SDL_Surface* drawn = parchment;
    if (pageFont != nullptr && !description.empty()) {
        const int wrap = std::max(parchment->w - 2 * kPageMargin, 1);
        SDL_Surface* text =
            ResourceCache::RenderWrappedText(pageFont, description, pageColour, static_cast<std::uint32_t>(wrap));
        if (text != nullptr) {
            // Text longer than the parchment is cut at its edge by the blit.
            SDL_Rect at{kPageMargin, kPageMargin, text->w, text->h};
            ResourceCache::Blit(text, nullptr, &drawn, &at);
            ResourceCache::ReleaseSurface(&text);
        }
    }
    page.texture = ResourceCache::CreateTextureFromSurface(drawn);
    if (drawn != parchment) {
        ResourceCache::ReleaseSurface(&drawn);
    }
    ResourceCache::ReleaseSurface(&parchment);
    if (shownPreview == 0) {
        ShowPreview();
    }
}

void ShopMenuScreen::ShowPreview()
{
    GUIListBox* pictures = GetListBox(kPictureList);
    if (pictures == nullptr) {
        return;
    }
    const int index = pictures->selectedItem;
    if (index < 0 || static_cast<std::size_t>(index) >= previews.size()) {
        return;
    }
    shownPreview = index;
    GUIElement* holder = previews[static_cast<std::size_t>(index)].get();
    previewSized = ScreenSupport::ShowHolderInFrame(GetContainer(kLeftFrame), holder);
}

void ShopMenuScreen::OnShow()
{
    // A package without a readable description sends the user back to the menu; the page was not
    // built, so nothing more happens here.
    if (!BuildPage()) {
        return;
    }
    RenderDescription();
    OnListBox(kPictureList, 0, 0);
    AsyncImageLoader::Start();
    if (gTutorialHooks != nullptr) {
        gTutorialHooks->OnScreenShown(name, CharacterRegistry::CurrentSetName());
    }
}

void ShopMenuScreen::OnListBox(int list, int page, int item)
{
    if (gTutorialHooks != nullptr) {
        gTutorialHooks->OnListBoxEvent(list, page, item, name, CharacterRegistry::CurrentSetName(), true);
    }
    if (list == kPictureList) {
        GUIListBox* pictures = GetListBox(kPictureList);
        if (pictures == nullptr || pictures->GetItemButton(pictures->currentPage, item) == nullptr) {
            return;
        }
        pictures->SetSelected(item);
        ShowPreview();
        return;
    }
    if (list != kMenuList) {
        return;
    }
    if (item == kMenuQuestions) {
        const std::string address = QuestionsAddress();
        if (address.empty()) {
            LogText(kLogFile, "No service host is set; the questions page is not opened");
        } else if (gServices != nullptr) {
            gServices->ShellOpen(address);
        }
    } else if (item == kMenuBack) {
        ReturnToMenu();
    }
}

void ShopMenuScreen::Layout()
{
    TwoFramesStyleScreen::Layout();
    RenderDescription();
}

void ShopMenuScreen::Update(float dt)
{
    TwoFramesStyleScreen::Update(dt);
    // A picture queued in the background arrives after the frame was sized for the figure; it is
    // centred at its own size once it is there rather than stretched over the frame.
    if (!previewSized && shownPreview >= 0 && static_cast<std::size_t>(shownPreview) < previews.size() &&
        previews[static_cast<std::size_t>(shownPreview)]->texture != nullptr) {
        ShowPreview();
    }
}

void ShopMenuScreen::OnHide()
{
    AsyncImageLoader::Stop();
    ReleasePreviews();
}

void ShopMenuScreen::Unload()
{
    AsyncImageLoader::Stop();
    ReleasePreviews();
    if (GUIListBox* pictures = GetListBox(kPictureList)) {
        pictures->Clear();
    }
    ResourceCache::ReleaseFont(&pageFont);
    TwoFramesStyleScreen::Unload();
}

void ShopMenuScreen::Load()
{
    TwoFramesStyleScreen::Load();
    if (GUIListBox* menu = GetListBox(kMenuList)) {
        menu->ResetItemStates();
    }
}
