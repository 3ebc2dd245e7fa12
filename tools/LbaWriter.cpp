#include "LbaWriter.h"

bool WriteLbaArchive(const std::string&, const std::vector<LbaFile>&, const std::string&, std::string* error)
{
    if (error)
        *error = "archive writer not available";
    return false;
}
