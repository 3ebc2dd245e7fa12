#pragma once
// How the engine, the toolkit, the editor and the session flow name the program's screens, dialogs
// and answers without knowing the application. The application's navigation (app/Navigation.h) maps
// the screens to their layers, publishes itself in gNavigator and routes every dialog's answer.

// The screens the user moves between.
enum class ScreenId { kLogin, kMainMenu, kSubMenu, kEdit, kSettings, kShopMenu };

// Dialog ids: one per question the program asks.
constexpr int kDialogExit = 0;
constexpr int kDialogInformation = 1;
constexpr int kDialogCompleted = 2;
constexpr int kDialogHome = 14;
constexpr int kDialogRegister = 15;
constexpr int kDialogDevices = 17;
constexpr int kDialogNews = 21;
constexpr int kDialogUpdate = 23;
constexpr int kDialogReview = 25;
constexpr int kDialogTutorialOffer = 26;
constexpr int kDialogPatchReady = 27;
constexpr int kDialogReset = 28;
constexpr int kDialogMoveFiles = 29;
constexpr int kDialogWarning = 34;
constexpr int kDialogWriteAccess = 35;
constexpr int kDialogProxy = 38;

// Answer codes: the message box's configured buttons ("messagebox.cfg" Button_0 .. Button_7).
constexpr int kButtonOk = 0;
constexpr int kButtonCancel = 1;
constexpr int kButtonYes = 2;
constexpr int kButtonNo = 3;
constexpr int kButtonLater = 4;
constexpr int kButtonOffline = 5;
constexpr int kButtonRegister = 6;
constexpr int kButtonRetry = 7;

class Navigator {
public:
    virtual ~Navigator() = default;
    // Shows the screen; false, the user staying where they are, when the program has no such screen.
    virtual bool ShowScreen(ScreenId screen) = 0;
};

// Null until the application installs its navigation: screens then stay as they are.
inline Navigator* gNavigator = nullptr;

inline bool NavigateTo(ScreenId screen) { return gNavigator != nullptr && gNavigator->ShowScreen(screen); }
