#include "app/MainMenuScreen.h"
#include "app/Navigation.h"
#include "app/Objectives.h"
#include "character/CharacterFile.h"
#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "character/EditorTutorialHooks.h"
#include "character/PackageList.h"
#include "engine/ArchiveRegistry.h"
#include "engine/Core.h"
#include "engine/Keystream.h"
#include "engine/Log.h"
#include "engine/PlayerProfile.h"
#include "engine/ResourceCache.h"
#include "engine/Services.h"
#include "engine/TextTable.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIColorPicker.h"
#include "gui/GUIFrame.h"
#include "gui/GUIInputField.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIPopup.h"
#include "gui/GUIScreenManager.h"
#include "gui/Navigator.h"
#include "gui/TipList.h"
#include "gui/TutorialHooks.h"
#include "online/LinkCache.h"
#include "online/ServiceAddress.h"
#include "online/WebClient.h"
#include "platform/Platform.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>

extern char** environ;

// Read by LeakSanitizer when the tests are built with it: SDL's video start-up connects to D-Bus,
// which keeps one buffer for the life of the process.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}

namespace {

std::map<std::string, std::string> EnvironmentNow()
{
    std::map<std::string, std::string> variables;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (equals != nullptr)
            variables[std::string(*entry, static_cast<std::size_t>(equals - *entry))] = equals + 1;
    }
    return variables;
}

// The process as the first test found it.
struct StartState {
    std::map<std::string, std::string> environment;
    std::filesystem::path workingFolder;
};

StartState& Start()
{
    static StartState state;
    return state;
}

void RestoreEnvironment()
{
    const std::map<std::string, std::string>& wanted = Start().environment;
    for (const auto& [name, value] : EnvironmentNow()) {
        const auto it = wanted.find(name);
        if (it == wanted.end())
            unsetenv(name.c_str());
        else if (it->second != value)
            setenv(name.c_str(), it->second.c_str(), 1);
    }
    for (const auto& [name, value] : wanted) {
        if (std::getenv(name.c_str()) == nullptr)
            setenv(name.c_str(), value.c_str(), 1);
    }
}

// Each test starts as in a new process: whatever an earlier test in the same process set or left
// must not decide its result. Threads stop first and pointers to an earlier test's objects are
// dropped; then what holds cache pictures gives them back, the cache forgets whatever is left (its
// renderer may be gone) and the rest goes back to its start values.
void ResetProcessState()
{
    // Threads.
    WebClient::Reset();
    WebClient::SetClientVersion(0);
    AsyncImageLoader::Shutdown();
    AsyncImageLoader::SetDecoder(nullptr);
    AsyncImageLoader::SetLeadBytes(0);
    ResourceCache::EndPrefetch();

    // Under Xvfb a system box would wait for a click that never comes.
    platform::SetCriticalBoxFunction([](const std::string&, const std::string&) {});
    // A worker thread's message for the screen waits for the main loop; left over from one test,
    // it would open a box in the next.
    SetLogMainThread();
    SetLogScreenHandler(nullptr);
    FlushScreenLog(); // without a handler: drops what is queued
    // The log's listener is left alone: captures restore the one before them, and the GUI tests'
    // watch (tests/gui/GuiLogWatch.cpp) has installed its capture for this test already.
    CloseSessionLog();

    // Whatever these pointed at belonged to an earlier test: nothing below may reach it.
    gCore = nullptr;
    gProfile = nullptr;
    gNavigator = nullptr;
    gObjectives = nullptr;
    gTutorialHooks = nullptr;
    gEditorTutorialHooks = nullptr;
    gColorPicker = nullptr;
    ResetServices();

    // The screens and what they hold.
    GUIScreenManager::Reset();
    GUIMessageBox::Shutdown();
    GUIPopup::Shutdown();
    GUIFrameRegistry::DestroyAll();
    GUIInputField::SetClipboardSource(nullptr);
    TipList::Destroy();
    TipList::SetRandomSource(nullptr);
    Editor::Reset();
    CharacterRegistry::Reset();
    CharacterFile::Reset();
    PackageList::Reset();
    Navigation::SetCameFromSubMenu(false);
    MainMenuScreen::tutorialOffered = false;

    // The resource cache: forget, don't free (see ResourceCache::Init), then the start values.
    ResourceCache::Init();
    ResourceCache::Shutdown();
    ResourceCache::SetArchivesOnly(false);
    ResourceCache::SetRenderer(nullptr);
    ResourceCache::SetRetainBudget(ResourceCache::kDefaultRetainBudget);

    // Archives, texts and the online tables.
    CloseAllArchives();
    DyncfgFileMap::Clear();
    SetArchiveClock(nullptr);
    SetLinkCacheLookup(nullptr);
    LinkCache::Reset();
    SetWebServiceHostOverride("");
    TextTable::Clear();
    UseKeystreamKernel(AvailableKeystreamKernels().back());

    // The platform layer's doubles.
    platform::SetReportFunction(&LogText);
    platform::SetUserNameFunction(nullptr);
    platform::SetSpawnFunction(nullptr);
    platform::SetFileDialogFunction(nullptr);
    platform::SetWriteFailureFunction(nullptr);
    // An opener an earlier test started is collected here, and a page it failed to open is not
    // told in this one.
    platform::ReapChildren(true);
    while (!platform::TakeUnopenedPage().empty()) {}
    platform::RemoveStopSignalHandlers();
    platform::TakeStopRequest();

    // The process itself.
    RestoreEnvironment();
    std::error_code error;
    std::filesystem::current_path(Start().workingFolder, error);
    SDL_ResetHints();
    std::srand(1); // the C library's start value
}

class FreshStart : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { ResetProcessState(); }
};

} // namespace

int main(int argc, char** argv)
{
    // Every test runs headless: no display, a software renderer, no sound device.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_RENDER_DRIVER", "software", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    Start().environment = EnvironmentNow();
    std::error_code error;
    Start().workingFolder = std::filesystem::current_path(error);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshStart);
    return RUN_ALL_TESTS();
}
