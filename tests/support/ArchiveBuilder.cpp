#include "support/ArchiveBuilder.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

bool BuildDatArchive(const std::string& folder, const std::string& name, const std::vector<LbaFile>& files)
{
    std::error_code ec;
    std::filesystem::create_directories(folder + "/dat", ec);
    std::string error;
    const bool ok = WriteLbaArchive(name, files, folder + "/dat/" + name + ".lba", &error);
    EXPECT_TRUE(ok) << error;
    return ok;
}

std::string ArchiveBytes(const std::string& name, const std::vector<LbaFile>& files)
{
    TempDir scratch;
    std::string error;
    EXPECT_TRUE(WriteLbaArchive(name, files, scratch.File("a.lba"), &error)) << error;
    return scratch.Read("a.lba");
}
