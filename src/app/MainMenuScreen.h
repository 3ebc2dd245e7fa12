#pragma once
// The main menu: the playable packages and collections on one side, the preview of
// the selected one in the large frame, and play, account, sign-out and exit. The sub-menu derives
// from it and lists the packages of one collection.
//
// Packages are kept by entry name, never as PackageRecord pointers: the package list may be
// reloaded between two presses, and every name is looked up again before it is used.

#include "app/Navigation.h"
#include "gui/GUIElement.h"
#include "gui/TwoFramesStyleScreen.h"

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct PackageRecord;

class MainMenuScreen : public TwoFramesStyleScreen {
public:
    // Positions of the lists in the layout files.
    static constexpr int kQuickLoadList = 0;
    static constexpr int kPackageList = 2;
    static constexpr int kMenuList = 3;
    // The menu list's pages: even pages play, odd pages open the package information.
    static constexpr int kPlayPage = 0;
    static constexpr int kInfoPage = 1;
    static constexpr int kSignedInPage = 2;
    // Size of the preview frame's content when there is no picture.
    static constexpr int kPreviewWidth = 1010;
    static constexpr int kPreviewHeight = 1200;

    explicit MainMenuScreen(const std::string& layerName = Navigation::LayerName(ScreenId::kMainMenu));
    ~MainMenuScreen() override;

    void Load() override;
    void OnShow() override;
    // The frames as every two-frame screen lays them out; then the preview is fitted anew.
    void Layout() override;
    void Hide() override;
    void Unload() override;
    void OnListBox(int list, int page, int item) override;
    void BuildLists() override;
    // Follows the package list's pager with the pictures it decodes.
    void Update(float dt) override;

    void BuildPackageList(const std::vector<PackageRecord*>& packages);
    // Leaves out packages whose character-set archive is not installed or cannot be opened: a
    // package half installed (its preview without its set) would only fail when played.
    static void DropUninstalled(std::vector<PackageRecord*>& packages);
    // The last tutorial step was done (in this run, or recorded by an earlier one) and no tour runs.
    static bool TutorialComplete();
    void ShowPreview();
    void ShowCredits();
    void OpenPackageInfo(int index);

    // The selected listed package, looked up again in the current package list; null when the
    // selection is out of range or the package is gone.
    PackageRecord* SelectedPackage();
    int SelectedIndex() const;
    const std::vector<std::string>& ListedPackages() const { return listedPackages; }
    // What the preview frame shows now (null: nothing).
    const GUIElement* ShownPicture() const { return shownPicture; }
    const GUIElement* CreditsPicture() const { return &credits; }
    // Package pictures asked for and not given back (tests).
    std::size_t RequestedPictureCount() const;

    // The tutorial is offered once per run, on the main menu, when no other box is open.
    static bool tutorialOffered;
    void OfferTutorial();

    // The frame's content is fixed (the sub-menu's credits): ShowPreview leaves it alone.
    bool frameFixed = false;
    // The frame shows the information picture instead of the preview.
    bool showsInformation = false;

protected:
    // Makes the set current and switches to the editor; false (with "ERR_FAILED_OPEN" on screen)
    // when the set cannot be loaded, and the user stays here.
    bool OpenEditor(const std::string& setName, bool skipSetup);
    // Selects the package and sets up the current set from it; false when it cannot be played.
    bool PlayPackage(const std::string& entryName, const std::string& setToLoad);
    void SetMenuPage(int page);
    void ShowInFrame(GUIElement* picture);

    // One holder per picture: the background loader delivers into it, and the frame is refreshed
    // when the shown one arrives.
    class Picture : public GUIElement {
    public:
        Picture(MainMenuScreen* owner, std::string picturePath = std::string());
        void SetTexture(SDL_Texture* newTexture) override;
        MainMenuScreen* screen;
        std::string path;
        bool requested = false;
    };
    struct PackagePictures {
        PackagePictures(MainMenuScreen* owner, const std::string& entryName)
            : preview(owner, entryName + "/prev.jpg"), information(owner, entryName + "/info.jpg")
        {
        }
        Picture preview;
        Picture information;
    };
    void ReleasePictures();
    // Asks for the picture once: in the background when the loader runs, otherwise at once.
    void RequestPicture(Picture& holder, bool inBackground);
    // Gives the picture back; a later request decodes it again.
    void DropPicture(Picture& holder);
    // Decodes the previews of the packages on the list's shown screen (and, once the pager was
    // turned, the next), and gives back every other picture that the frame does not show.
    void FollowShownPackages();
    // The first package on the shown screen of the package list, or -1 when none is laid out.
    int FirstShownPackage();

    std::vector<std::string> listedPackages;
    std::vector<std::unique_ptr<PackagePictures>> pictures;
    Picture credits;
    // Only the sub-menu shows credits.
    bool creditsWanted = false;
    GUIElement* shownPicture = nullptr;
    // FirstShownPackage when the pictures were last matched to the list.
    int followedPackage = -1;
    // The user has turned the package list's pager since it was built.
    bool hasTurnedScreens = false;
};

// host + "/tavisk/" + page; empty when the host is empty.
std::string ServicePage(const std::string& host, const std::string& page);
