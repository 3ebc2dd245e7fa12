#pragma once
// What the editor tests share: a tutorial stand-in that counts what it is told, and a scope that
// installs a random source, a file-dialog script and package records for one test.

#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "character/FigureFixture.h"
#include "character/PackageList.h"
#include "platform/Platform.h"
#include "support/EditorTutorialStub.h"

#include <SDL.h>

#include <deque>
#include <string>
#include <vector>

class CountingTutorial : public EditorTutorialStub {
public:
    void OnColorChange(const std::string& category, const std::string& set) override
    {
        colours.push_back(category + "@" + set);
    }
    void OnMove(const std::string& set) override { moves.push_back(set); }

    std::vector<std::string> colours;
    std::vector<std::string> moves;
};

// Installs the stand-ins for one test and takes them away again.
class EditorTestScope {
public:
    EditorTestScope()
    {
        tutorial.Install();
        platform::SetFileDialogFunction([this](bool save, bool png, const std::string&) {
            dialogs.push_back(std::string(save ? "save" : "open") + (png ? " png" : " lbd"));
            if (answers.empty()) {
                return std::string();
            }
            std::string answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }
    ~EditorTestScope()
    {
        EditorTutorialStub::Uninstall();
        platform::SetFileDialogFunction(nullptr);
        Editor::SetRandomSource({});
        Editor::ResetSession();
        PackageList::Destroy();
    }
    EditorTestScope(const EditorTestScope&) = delete;
    EditorTestScope& operator=(const EditorTestScope&) = delete;

    // Package records that make these set names usable for figure loads.
    static void AddPackages(const std::vector<std::string>& setNames)
    {
        for (const std::string& name : setNames) {
            PackageList::Records().emplace_back(name);
            PackageList::Records().back().setName = name;
        }
    }

    CountingTutorial tutorial;
    std::deque<std::string> answers;
    std::vector<std::string> dialogs;
};

inline SDL_Event KeyUp(SDL_Keycode key, Uint16 modifiers)
{
    SDL_Event event{};
    event.type = SDL_KEYUP;
    event.key.keysym.sym = key;
    event.key.keysym.mod = modifiers;
    return event;
}

// Set "s" declares the layers with no items; package "p" brings their items, so global and
// package-local numbers agree. No pictures exist: this is the model without drawing.
inline bool LoadModelSet(const std::string& layers, const std::string& items,
                         const std::string& dimensions = R"(Dimensions { [ Width="100" Height="100" ] })")
{
    const std::string zoom = R"(Zoom { [ Subcategory="Main" ] [ Subcategory="Links" ] })";
    auto& sets = CharacterRegistry::Sets();
    sets.clear();
    sets.push_back(ParseSet("s", zoom + dimensions + "Items {" + layers + "}"));
    sets.push_back(ParseSet("p", zoom + "Items {" + items + "}"));
    CharacterRegistry::SetPackageActivation([](const std::string&) { CharacterRegistry::MixPackage("p"); });
    return CharacterRegistry::LoadCharacter("s", false, false);
}
