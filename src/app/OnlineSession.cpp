#include "app/OnlineSession.h"

#include "app/GamePlayerProfile.h"
#include "app/LoginScreen.h"
#include "app/Navigation.h"
#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "character/PackageList.h"
#include "engine/ArchiveRegistry.h"
#include "engine/Core.h"
#include "engine/Crc32.h"
#include "engine/Log.h"
#include "engine/Services.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "online/LinkCache.h"
#include "online/Notices.h"
#include "online/PackageSync.h"
#include "online/ServiceAddress.h"
#include "online/WebClient.h"
#include "platform/Platform.h"

#include <algorithm>
#include <unordered_set>

const char* const kPatcherProgram = "VornPatcher";
const char* const kUnpackerProgram = "VornUnpacker";

namespace {

constexpr int kClientVersion = 33;
// Status lines for packages that could not be fetched, at the most in one pass.
constexpr std::size_t kShownGaps = 5;
// The fixed account every installation opens its session with.
const char* const kServiceUser = "tolmix2HD";
const char* const kServicePassword = "47q!w83";

std::string NextField(const std::string& text, std::size_t& position)
{
    if (position > text.size())
        return std::string();
    const std::size_t end = text.find(';', position);
    const std::string field = text.substr(position, end == std::string::npos ? std::string::npos : end - position);
    position = end == std::string::npos ? text.size() + 1 : end + 1;
    return field;
}

std::string Rest(const std::string& text, std::size_t position)
{
    return position < text.size() ? text.substr(position) : std::string();
}

// "patch.lba" in the working folder, or in the user data folder when one is in use; "" for none.
std::string WaitingPatchPath()
{
    if (platform::FileExists("patch.lba"))
        return "patch.lba";
    std::string inUserData = "patch.lba";
    return PrefixUserDataPath(inUserData) && platform::FileExists(inUserData) ? inUserData : std::string();
}

// "updater.lba" in the working folder, or a waiting "patch.lba".
bool PatchFileExists() { return platform::FileExists("updater.lba") || !WaitingPatchPath().empty(); }

// The patch waiting here is the one the service lists now: fetching it again would only repeat it.
bool VerifiedPatchWaits()
{
    const std::string path = WaitingPatchPath();
    std::uint32_t listed = 0;
    std::uint32_t onDisk = 0;
    return !path.empty() && LinkCache::LookupCrc("patch", listed) && Crc32File(path, onDisk) && onDisk == listed;
}

bool RunAndWait(const char* program)
{
    const std::string path = std::string("./") + program;
    if (!platform::FileExists(program)) {
        LogText(kLogFile, std::string(program) + " is not installed: not run");
        return false;
    }
    LogText(kLogFile, std::string("Running ") + program);
    return platform::SpawnProgram(path, true);
}

// Appended to the stored tags; a tag already stored is not repeated. A set, not a list: the
// service's answer may hold any number of tags.
std::string MergeTags(const std::string& stored, const std::string& fresh)
{
    std::string merged = stored;
    std::unordered_set<std::string> known;
    for (std::string& tag : PackageList::SplitNames(stored, ':'))
        known.insert(std::move(tag));
    for (const std::string& tag : PackageList::SplitNames(fresh, ':')) {
        if (tag.empty() || !known.insert(tag).second)
            continue;
        merged += merged.empty() ? tag : ":" + tag;
    }
    return merged;
}

} // namespace

OnlineSession::OnlineSession(GamePlayerProfile& owner) : profile(owner) {}

OnlineSession::~OnlineSession()
{
    if (restartRequested) {
        LogText(kLogFile, "Starting the program again after the patch");
        platform::SpawnProgram("/proc/self/exe", false);
    }
}

bool OnlineSession::WarningPending() const
{
    return profile.tutorialState == 0 && profile.warningAccepted != 1;
}

bool OnlineSession::ScreenInFront() const
{
    return screen != nullptr && GUIScreenManager::GetActiveLayer() == screen;
}

void OnlineSession::PrepareOnce()
{
    if (prepared)
        return;
    prepared = true;
    WebClient::SetClientVersion(kClientVersion);
    LinkCache::Install();
    LinkCache::Rebuild();
}

void OnlineSession::Start(LoginScreen* startScreen)
{
    if (startScreen != nullptr)
        screen = startScreen;
    PrepareOnce();
    if (WarningPending()) {
        GUIMessageBox::ShowOneButton(kDialogWarning, 1, Localize("COM_WARNING"));
        return;
    }
    if (gServices != nullptr && !gServices->HasWriteAccess()) {
        GUIMessageBox::ShowOneButton(kDialogWriteAccess, 1, Localize("COM_WRITE_ACCESS"));
        return;
    }
    const std::string endpoint = WebServiceEndpoint();
    if (!endpoint.empty() && (gServices == nullptr || gServices->IsOnline())) {
        WebClient::SendAuth(endpoint, kServiceUser, kServicePassword, gCore != nullptr && !gCore->profileRead);
        return;
    }
    if (endpoint.empty())
        LogText(kLogFile, "No web service is set (ServiceHost): offline");
    GoOffline();
}

void OnlineSession::GoOffline(bool refused)
{
    // Not a connection problem: the user has a library to install, or the service said no.
    const bool noLibrary = !refused && WebClient::IsNetworkLibraryMissing();
    const bool noList = profile.packageList.empty();
    const char* key = noList ? "LOG_OFFLINE_NO_PACKAGES" : "LOG_OFFLINE";
    if (refused)
        key = noList ? "LOG_SESSION_REFUSED_NO_PACKAGES" : "LOG_SESSION_REFUSED";
    else if (noLibrary)
        key = "LOG_OFFLINE_NO_NETWORK_LIBRARY";
    const std::string& text = Localize(key);
    // The sign-in screen is seen again after a sign-out: its list must not end on "Signing in...".
    AddStatusLine(text);
    LogText(kLogFileAndScreen, text);
    if (noList)
        return;
    if (!CheckPendingPatch())
        EnterMain();
}

void OnlineSession::EnterMain()
{
    if (WarningPending()) {
        GUIMessageBox::ShowOneButton(kDialogWarning, 1, Localize("COM_WARNING"));
        return;
    }
    if (gServices != nullptr && !gServices->HasWriteAccess())
        return;
    PackageList::Load();
    if (PackageList::RegistryHooks().buildSetList)
        PackageList::RegistryHooks().buildSetList();
    PackageList::SetReloadPending(false);
    Editor::ResetSession();
    WebClient::ClearFlags();
    state = kReady;
    GUIScreenManager::ShowScreen(Navigation::LayerName(ScreenId::kMainMenu));
}

void OnlineSession::OnResponse(const std::string& name, const std::string& payload)
{
    std::size_t position = 0;
    const std::string status = NextField(payload, position);
    if (name == "Offline") {
        signInWaiting = false;
        patchForRefusedSession = false;
        if (ScreenInFront())
            GoOffline();
    } else if (name == "auth") {
        OnAuthResponse(payload, status, position);
    } else if (name == "login") {
        OnLoginResponse(payload, status, position);
    } else if (name == "packages") {
        OnPackagesResponse(payload, status, position);
    } else if (name == "download") {
        OnDownloadResponse(payload);
    } else if (name == "downloads") {
        if (status == "notfetched")
            ReportNotFetched(NextField(payload, position));
        else
            OnDownloadsFinished();
    } else if (name == "proxy") {
        GUIMessageBox::ShowTwoButtons(kDialogProxy, 1, Localize("ERR_PROXY"), kButtonOk, kButtonRetry);
    }
}

void OnlineSession::OnAuthResponse(const std::string& payload, const std::string& status, std::size_t position)
{
    if (status == "Ok") {
        for (int skip = 0; skip < 3; ++skip) // token, latest version, link-cache CRC: the client used them
            NextField(payload, position);
        const std::string listed = NextField(payload, position);
        const std::string& stored = profile.packageList;
        const std::string storedCrc =
            UIntToString(Crc32(reinterpret_cast<const unsigned char*>(stored.data()), stored.size()));
        if (listed == storedCrc) {
            if (!CheckPendingPatch())
                SignInAutomatically();
        } else {
            WebClient::EnqueueRequest(WebRequest("packages"));
        }
        return;
    }
    const bool wasWaiting = signInWaiting;
    signInWaiting = false;
    // A damaged or outdated installation: the service's patch mends it, when the service lists one.
    // Without one nothing is on its way, and the user is not told that an update is.
    // The session is refused all the same: the user is told so once the patch is here, or could not
    // come (OnDownloadsFinished). A verified patch already waiting is offered by the offline way.
    const bool isRefused = status == "Failed";
    if (isRefused && !VerifiedPatchWaits() && WebClient::EnqueueDownload("patch", "patch.lba")) {
        LogText(kLogFile, Localize("LOG_CORRUPT"));
        AddStatusLine(Localize("LOG_CORRUPT"));
        patchForRefusedSession = true;
        return;
    }
    if (wasWaiting || isRefused)
        GoOfflineRefused();
    else if (ScreenInFront())
        GoOffline();
}

void OnlineSession::GoOfflineRefused()
{
    // Without a session no sign-in can succeed: the user is told why, and goes on offline.
    if (ScreenInFront()) {
        GoOffline(true);
        return;
    }
    LogText(kLogFile, Localize("LOG_SESSION_REFUSED"));
    AddStatusLine(Localize("LOG_SESSION_REFUSED"));
}

bool OnlineSession::OpenSessionForSignIn()
{
    if (WebClient::HasPendingRequest("auth") || WebClient::HasPendingEvent("auth"))
        return false;
    signInWaiting = true;
    Start(nullptr);
    // Offline, or a first-run question came first: nothing is on its way.
    if (!WebClient::HasPendingRequest("auth"))
        signInWaiting = false;
    return signInWaiting;
}

void OnlineSession::SignInAutomatically()
{
    if (!ScreenInFront())
        return;
    if (signInWaiting) {
        // The user asked for this sign-in; the credentials were stored when they did.
        signInWaiting = false;
        if (screen != nullptr)
            screen->Login("", "", true, false);
        return;
    }
    if (profile.rememberLogin == 0)
        return;
    // A first run has nothing stored: it must not send empty credentials.
    if (profile.loginWithoutCredentials == 0 && (profile.User().empty() || profile.Password().empty()))
        return;
    if (screen != nullptr)
        screen->Login("", "", true, false);
}

void OnlineSession::OnLoginResponse(const std::string& payload, const std::string& status, std::size_t position)
{
    if (status == "Ok") {
        const std::string tags = NextField(payload, position);
        signedIn = true;
        const std::string merged = MergeTags(profile.achievementTags, tags);
        if (merged != profile.achievementTags)
            profile.Change([&merged](PlayerProfile& p) { p.achievementTags = merged; });
        if (!merged.empty())
            QueueAchievements();
        profile.Change([this, &payload, position](PlayerProfile&) { profile.SetAccountPackages(Rest(payload, position)); });
        AddStatusLine(Localize("LOG_LOGIN_SUCCESS"));
        LogText(kLogFile, Localize("LOG_LOGIN_SUCCESS"));
        DrawNow();
        profile.Save(false);
        if (ScreenInFront())
            SyncPackages();
        return;
    }
    if (status == "ERR_DEVICES") {
        LogText(kLogFile, Localize("LOG_PROFILE_DEVICES"));
        GUIMessageBox::ShowTwoButtons(kDialogDevices, 0, Localize("LOG_PROFILE_DEVICES"), kButtonYes, kButtonNo);
        WebClient::SetHalted(true);
        state = kReady;
        return;
    }
    LogText(kLogFile, Localize("LOG_LOGIN_FAILED"));
    AddStatusLine(Localize("LOG_LOGIN_FAILED"));
    GUIMessageBox::ShowTwoButtons(kDialogRegister, -1, Localize("LOG_LOGIN_REGISTER_MB"), kButtonRetry, kButtonRegister);
    state = kReady;
}

void OnlineSession::OnPackagesResponse(const std::string& payload, const std::string& status, std::size_t position)
{
    if (status != "Ok") {
        LogText(kLogFile, Localize("LOG_PACKAGES_FAILED"));
        if (signInWaiting) // the stored list serves; the user's sign-in goes on
            SignInAutomatically();
        return;
    }
    LogText(kLogFile, Localize("LOG_PACKAGES_SUCCESS"));
    profile.Change([this, &payload, position](PlayerProfile&) { profile.SetPackageList(Rest(payload, position)); });
    profile.Save(false);
    if (!CheckPendingPatch())
        SignInAutomatically();
}

bool OnlineSession::CheckPendingPatch()
{
    if (profile.userDataFolderInUse == 0 && gCore != nullptr && !gCore->userDataFolder.empty())
        profile.Change([](PlayerProfile& p) { p.userDataFolderInUse = 1; });
    const bool patcher = platform::FileExists(kPatcherProgram);
    if (PatchFileExists()) {
        if (patcher) {
            GUIMessageBox::ShowOneButton(kDialogPatchReady, 0, Localize("LOG_PATCH_DOWNLOADED"));
            return true;
        }
        AnnounceUnappliedPatch();
    }
    if (!moveOffered && HasFilesToMove()) {
        if (patcher) {
            moveOffered = true;
            GUIMessageBox::ShowOneButton(kDialogMoveFiles, 0, Localize("LOG_MOVE_FILES"));
            return true;
        }
        LogText(kLogFile, "Archives wait to be moved, but the patcher is not installed");
    }
    return false;
}

void OnlineSession::SyncPackages()
{
    if (WebClient::IsUpdateAvailable()) {
        if (VerifiedPatchWaits()) {
            WebClient::SetUpdateAvailable(false);
            AnnounceUnappliedPatch();
        } else if (WebClient::EnqueueDownload("patch", "patch.lba")) {
            state = kPatching;
            return;
        } else {
            LogText(kLogFile, "The update cannot be fetched: packages are synchronised as they are");
        }
    }
    bool dyncfgQueued = false;
    if (WebClient::IsDyncfgChanged()) {
        WebClient::SetDyncfgChanged(false);
        dyncfgQueued = WebClient::EnqueueDownload("dyncfg", "dat/dyncfg.lba");
    } else {
        ReloadArchive("dyncfg");
    }
    failedDownloads.clear();
    if (WebClient::DownloadsGivenUp()) {
        // Said when the pass gave up; the next run tries again.
        LogText(kLogFile, "Downloads kept failing in this run: packages are not synchronised again");
        EnterMain();
        return;
    }
    AddStatusLine(Localize("LOG_PACKAGES_INTEGRITY"));
    DrawNow();
    std::vector<std::string> missing;
    PackageSync::VerifyArchives(missing);
    int queued = dyncfgQueued ? 1 : 0;
    LogTally refusals{"Archive", "archives"};
    std::size_t gaps = 0;
    for (const std::string& name : missing) {
        if (WebClient::EnqueueDownload(name, "dat/" + name + ".lba", &refusals)) {
            ++queued;
            continue;
        }
        // What is installed stays in use; only a gap is reported, and only the first few on screen:
        // the log counts every refusal.
        if (OpenArchive(name) == nullptr && gaps++ < kShownGaps) {
            AddStatusLine(FillPlaceholders(Localize("LOG_PACKAGE_NOT_INSTALLED"), ShortenForDisplay(name, kShownNameBytes)));
        }
    }
    refusals.Flush();
    if (queued == 0) {
        // Nothing could be queued: no "downloads" event will come to go on from.
        EnterMain();
        return;
    }
    AddStatusLine(FillPlaceholders(Localize(queued == 1 ? "LOG_PACKAGE_DOWNLOAD" : "LOG_PACKAGES_DOWNLOAD"),
                                   IntToString(queued)));
    state = kDownloading;
}

void OnlineSession::OnDownloadResponse(const std::string& payload)
{
    std::size_t position = 0;
    const std::string status = NextField(payload, position);
    const std::string name = ShortenForDisplay(NextField(payload, position), kShownNameBytes);
    if (status == "started") {
        downloadLine.clear(); // a line of its own
        ShowDownloadLine(FillPlaceholders(Localize("LOG_DOWNLOAD_PROGRESS"), name, ""));
        return;
    }
    if (status == "failed") {
        const std::string kind = DownloadFailureText(payload, position);
        auto counted = std::find_if(failedDownloads.begin(), failedDownloads.end(),
                                    [&kind](const std::pair<std::string, int>& k) { return k.first == kind; });
        if (counted == failedDownloads.end())
            failedDownloads.emplace_back(kind, 1);
        else
            ++counted->second;
        ShowDownloadLine(FillPlaceholders(Localize("LOG_DOWNLOAD_FAILED"), name, kind));
        return;
    }
    ShowDownloadLine(FillPlaceholders(Localize("LOG_DOWNLOAD_PROGRESS"), name, NextField(payload, position) + "%"));
}

std::string OnlineSession::DownloadFailureText(const std::string& payload, std::size_t position)
{
    const std::string kind = NextField(payload, position);
    if (kind == "http")
        return FillPlaceholders(Localize("LOG_DOWNLOAD_HTTP"), NextField(payload, position));
    if (kind == "crc")
        return Localize("LOG_DOWNLOAD_CRC");
    if (kind == "size")
        return Localize("LOG_DOWNLOAD_SIZE");
    if (kind == "empty")
        return Localize("LOG_DOWNLOAD_EMPTY");
    if (kind == "connection")
        return Localize("LOG_DOWNLOAD_CONNECTION");
    if (kind == "interrupted" || kind == "stopped")
        return Localize("LOG_DOWNLOAD_STOPPED");
    return Localize("LOG_DOWNLOAD_WRITE");
}

void OnlineSession::ShowDownloadLine(const std::string& text)
{
    // The download's own line changes in place while it is the newest; another line in between
    // leaves it as it was, and the news goes below.
    if (screen != nullptr && !downloadLine.empty() && !screen->StatusLines().empty() &&
        screen->StatusLines().back() == downloadLine)
        PopStatusLine();
    AddStatusLine(text);
    downloadLine = text;
}

void OnlineSession::ReportFailedDownloads()
{
    // Each download's line says how it failed; many failures add one line a kind, with a count
    // (never 1: the text is plural only).
    for (const auto& [kind, count] : failedDownloads) {
        if (count < 2)
            continue;
        const std::string line = FillPlaceholders(Localize("LOG_DOWNLOADS_FAILED"), IntToString(count), kind);
        LogText(kLogFile, line);
        AddStatusLine(line);
    }
    failedDownloads.clear();
}

void OnlineSession::ReportNotFetched(const std::string& count)
{
    ReportFailedDownloads();
    const std::string line =
        FillPlaceholders(Localize(count == "1" ? "LOG_DOWNLOAD_GIVEN_UP" : "LOG_DOWNLOADS_GIVEN_UP"), count);
    LogText(kLogFile, line);
    AddStatusLine(line);
}

void OnlineSession::OnDownloadsFinished()
{
    ReportFailedDownloads();
    if (patchForRefusedSession) {
        // Arrived or not, the patch opens no session. The offline way offers one that arrived.
        patchForRefusedSession = false;
        GoOfflineRefused();
        return;
    }
    if (state == kPatching) {
        if (PatchFileExists()) {
            WebClient::SetUpdateAvailable(false);
            if (platform::FileExists(kPatcherProgram)) {
                GUIMessageBox::ShowOneButton(kDialogPatchReady, 0, Localize("LOG_PATCH_DOWNLOADED"));
                return;
            }
            AnnounceUnappliedPatch();
        }
        // The update flag stays set when nothing arrived: the main menu offers the download page.
        state = kReady;
        SyncPackages();
        return;
    }
    if (state != kDownloading)
        return;
    if (!CheckPendingPatch())
        SyncPackages();
}

void OnlineSession::InstallPatch()
{
    if (platform::FileExists("updater.lba") && platform::FileExists(kUnpackerProgram))
        RunAndWait(kUnpackerProgram);
    if (!RunAndWait(kPatcherProgram)) {
        if (state == kPatching || ScreenInFront())
            SyncPackages();
        return;
    }
    if (gCore != nullptr)
        gCore->running = 0;
    restartRequested = true;
}

void OnlineSession::AnnounceUnappliedPatch()
{
    LogText(kLogFile, "A patch is waiting, but the patcher is not installed: it is not applied");
    if (patchAnnounced)
        return;
    patchAnnounced = true;
    AddStatusLine(Localize("LOG_PATCH_NO_PATCHER"));
    // A box already open (the offline notice) is not pushed aside: this one follows its answer.
    announcementWaiting = true;
    ShowWaitingAnnouncement();
}

void OnlineSession::ShowWaitingAnnouncement()
{
    if (!announcementWaiting || GUIMessageBox::IsModal())
        return;
    announcementWaiting = false;
    GUIMessageBox::ShowOneButton(kDialogInformation, 0, Localize("LOG_PATCH_NO_PATCHER"));
}

void OnlineSession::MoveWaitingFiles()
{
    RunAndWait(kPatcherProgram);
    LoadArchiveRegistry();
    if (state == kReady && !signedIn) {
        if (profile.rememberLogin != 0) {
            if (screen != nullptr)
                screen->Login("", "", true, true);
        }
        return;
    }
    SyncPackages();
}

void OnlineSession::GiveUpOnService()
{
    // What waited for the service is dropped, and the program goes on offline with what is
    // installed.
    WebClient::ClearRequests();
    WebClient::SetHalted(false);
    signInWaiting = false;
    patchForRefusedSession = false;
    if (ScreenInFront())
        GoOffline();
}

void OnlineSession::AddStatusLine(const std::string& text)
{
    if (screen != nullptr)
        screen->AppendStatusLine(text);
}

void OnlineSession::PopStatusLine()
{
    if (screen != nullptr)
        screen->PopStatusLine();
}

void OnlineSession::DrawNow()
{
    if (gCore != nullptr && gCore->Renderer() != nullptr) {
        gCore->Clear();
        gCore->Draw();
    }
}

bool ShowFirstNotice()
{
    NewsItem first;
    if (GUIMessageBox::IsModal() || !WebClient::PeekNews(first))
        return false;
    GUIMessageBox::ShowTwoButtons(kDialogNews, -1, ShortenForDisplay(first.message, kShownTextBytes), kButtonYes,
                                  kButtonNo);
    return true;
}

void AnswerNotice(int button)
{
    WebClient::PopNews(button == kButtonYes, true);
    ShowFirstNotice();
}

bool ShowUpdateWarning()
{
    if (!WebClient::IsUpdateAvailable() || GUIMessageBox::IsModal())
        return false;
    WebClient::SetUpdateAvailable(false);
    GUIMessageBox::ShowTwoButtons(kDialogUpdate, 0, Localize("ERR_PATCH"), kButtonYes, kButtonNo);
    return true;
}

void OnlineSession::OpenServicePage(const std::string& query)
{
    const std::string page = WebServicePage(query);
    if (!page.empty() && gServices != nullptr)
        gServices->OpenPage(page.c_str());
}
