// The engine sits under every other subsystem; only the screen manager (which the core draws
// through) and its dialogs may be reached from it, so the link graph has no other cycle.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

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
    const std::set<std::string> allowed = {"gui/GUIScreenManager.h", "gui/GUIMessageBox.h"};
    const std::regex upward("#include \"((gui|online|app|character)/[^\"]+)\"");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(engine)) {
        const std::string text = ReadText(entry.path());
        ++files;
        for (std::sregex_iterator it(text.begin(), text.end(), upward), end; it != end; ++it)
            EXPECT_EQ(allowed.count((*it)[1].str()), 1u) << entry.path().filename() << " includes " << (*it)[1];
    }
    EXPECT_GT(files, 10);

    const std::string cmake = ReadText(engine / "CMakeLists.txt");
    std::smatch link;
    ASSERT_TRUE(std::regex_search(cmake, link, std::regex("target_link_libraries\\(vn_engine([^)]*)\\)")));
    for (const char* library : {"vn_online", "vn_app", "vn_character"})
        EXPECT_EQ(link[1].str().find(library), std::string::npos) << library;
}
