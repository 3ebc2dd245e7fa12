#include "engine/AssetArchive.h"
#include "engine/ConfigFile.h"
#include "engine/Core.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "support/BundledContent.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kCorePackage = kBundledDat + "/core.lba";

// Opened the way the registry opens a package: keyed by its name.
bool OpenPackage(AssetArchive& archive, const std::string& name, const std::string& path)
{
    archive.seed = ComputeNameSeed(name);
    archive.keyText = kArchiveKey;
    return archive.Open(path);
}

// The bundled "core" package as the build made it: every text and setting the engine reads at
// start-up must be there.
TEST(CorePackage, BundledCoreHoldsWhatStartUpReads)
{
    if (!FileExists(kCorePackage))
        GTEST_SKIP() << "content not built";
    AssetArchive archive;
    ASSERT_TRUE(OpenPackage(archive, "core", kCorePackage)) << archive.LastError();

    std::string texts;
    ASSERT_TRUE(archive.ReadEntry("txt/en.txt", texts));
    TextTable::Clear();
    TextTable::Parse(texts);
    for (const char* key : {"LOG_STARTED", "ERR_CRITICAL", "ERR_INIT_VIDEO", "ERR_INIT_WINDOW", "ERR_INIT_RENDERER",
                            "ERR_INIT_TTF", "ERR_FAILED_OPEN", "ERR_SAVE_NOT_WRITABLE", "ERR_SAVE_NOT_FOUND",
                            "ERR_SAVE_NOT_READABLE", "ERR_SAVE_CORRUPT", "COM_CONFIRM_EXIT"})
        EXPECT_NE(Localize(key), "!!! NOT_LOCALIZED_YET !!!") << key;
    EXPECT_EQ(FillPlaceholders(Localize("ERR_FAILED_OPEN"), "a.png", "core").find("%n"), std::string::npos);
    TextTable::Clear();

    std::string globalsText;
    ASSERT_TRUE(archive.ReadEntry("config/globals.cfg", globalsText));
    ConfigFile globals;
    globals.Parse(globalsText);
    ASSERT_NE(globals.SelectSection("Globals"), nullptr);
    int width = 0;
    int height = 0;
    EXPECT_TRUE(ParseResolution(globals.GetString("Resolution"), width, height));
    EXPECT_EQ(globals.GetString("ApplicationName"), "Varnoth");
    for (const char* key : {"Icon", "SplashPro"}) {
        const std::string picture = globals.GetString(key);
        EXPECT_FALSE(picture.empty()) << key;
        EXPECT_TRUE(archive.Find("gui/common/" + picture)) << key << " names " << picture;
    }
    EXPECT_TRUE(archive.Find("gui/common/font.ttf"));
}

TEST(CorePackage, DyncfgPackageOpens)
{
    const std::string path = kBundledDat + "/dyncfg.lba";
    if (!FileExists(path))
        GTEST_SKIP() << "content not built";
    AssetArchive archive;
    EXPECT_TRUE(OpenPackage(archive, "dyncfg", path)) << archive.LastError();
}

} // namespace
