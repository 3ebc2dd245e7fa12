// Any bytes as a link-cache text: every kept entry has a plain file name and a non-zero CRC, and
// the result does not depend on the log being collected.
#include "online/LinkCache.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    LinkCacheTable logged;
    std::vector<std::string> log;
    ParseLinkCache(text, logged, &log);
    LinkCacheTable quiet;
    ParseLinkCache(text, quiet, nullptr);
    if (logged.entries.size() != quiet.entries.size() || logged.prefix != quiet.prefix)
        std::abort();
    for (const auto& [name, entry] : logged.entries) {
        if (!IsServiceFileName(name) || entry.name != name || entry.crc == 0)
            std::abort();
    }
    return 0;
}
