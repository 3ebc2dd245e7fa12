// The subsystems stack: platform, engine, gui, character, online, app. Each folder includes only
// what lies below it (the core reaches up to the screen manager it draws through, its dialogs and
// the screens' names, nothing else of the engine does), so the link graph has no cycle but that one.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(EngineBoundary, ReachesOnlyTheScreenManagerAboveIt)
{
    const std::filesystem::path engine = std::filesystem::path(VN_SOURCE_DIR) / "src" / "engine";
    // Per file, exactly what it includes from above: a file that stops needing one leaves the list.
    const std::map<std::string, std::set<std::string>> allowed = {
        {"Core.cpp", {"gui/GUIScreenManager.h", "gui/GUIMessageBox.h"}},
        {"CoreEvents.cpp", {"gui/GUIScreenManager.h", "gui/GUIMessageBox.h", "gui/Navigator.h"}},
    };
    const std::regex upward("#include \"((gui|online|app|character)/[^\"]+)\"");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(engine)) {
        const std::string name = entry.path().filename().string();
        const std::string text = ReadText(entry.path());
        ++files;
        const auto own = allowed.find(name);
        std::set<std::string> included;
        for (std::sregex_iterator it(text.begin(), text.end(), upward), end; it != end; ++it)
            included.insert((*it)[1].str());
        EXPECT_EQ(included, own != allowed.end() ? own->second : std::set<std::string>{}) << name;
    }
    EXPECT_GT(files, 10);

    const std::string cmake = ReadText(engine / "CMakeLists.txt");
    std::smatch link;
    ASSERT_TRUE(std::regex_search(cmake, link, std::regex("target_link_libraries\\(vn_engine([^)]*)\\)")));
    for (const char* library : {"vn_online", "vn_app", "vn_character"})
        EXPECT_EQ(link[1].str().find(library), std::string::npos) << library;
}

TEST(EngineBoundary, EveryFolderIncludesOnlyWhatLiesBelowIt)
{
    struct Rule {
        const char* folder;
        std::vector<std::string> forbidden;
    };
    const Rule rules[] = {
        {"platform", {"engine", "gui", "character", "online", "app"}},
        {"gui", {"character", "online", "app"}},
        {"character", {"online", "app"}},
        {"online", {"gui", "app"}},
    };
    const std::regex ours("#include \"(platform|engine|gui|character|online|app)/[^\"]+\"");
    for (const Rule& rule : rules) {
        const std::filesystem::path folder = std::filesystem::path(VN_SOURCE_DIR) / "src" / rule.folder;
        int files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string text = ReadText(entry.path());
            ++files;
            for (std::sregex_iterator it(text.begin(), text.end(), ours), end; it != end; ++it) {
                const std::string target = (*it)[1].str();
                EXPECT_EQ(std::find(rule.forbidden.begin(), rule.forbidden.end(), target), rule.forbidden.end())
                    << rule.folder << "/" << entry.path().filename().string() << " includes " << (*it)[0];
            }
            if (entry.path().filename() == "CMakeLists.txt") {
                EXPECT_EQ(text.find("../"), std::string::npos) << rule.folder << " builds from outside its folder";
            }
        }
        EXPECT_GT(files, 2) << rule.folder;
    }
}
