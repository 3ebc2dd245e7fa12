#pragma once
// Builds ".lba" archives for tests with the packer's own writer.

#include "LbaWriter.h"

#include <string>
#include <vector>

// Writes folder/dat/<name>.lba holding files; false (with a test failure) when writing fails.
bool BuildDatArchive(const std::string& folder, const std::string& name, const std::vector<LbaFile>& files);
// Whole bytes of an archive as the writer makes it (written to a scratch file and read back).
std::string ArchiveBytes(const std::string& name, const std::vector<LbaFile>& files);
