#include "engine/Services.h"

#include "platform/Platform.h"

namespace {

struct Language {
    const char* code;
    int index;
};
constexpr Language kLanguages[] = {{"en", 0}, {"de", 1}, {"it", 2}, {"sp", 3}, {"fr", 4}, {"hu", 5}};

} // namespace

bool PCService::InitLanguage()
{
    // The desktop always runs in English, whatever the user's locale.
    languageCode = "en";
    for (const Language& language : kLanguages) {
        if (languageCode == language.code) {
            languageIndex = language.index;
            return true;
        }
    }
    return false;
}

void PCService::Update(float)
{
    // Programs started without waiting (patcher, browser) are collected here.
    platform::ReapChildren();
}

void PCService::Shutdown()
{
    platform::ReapChildren();
}

const std::string& PCService::GetUserName()
{
    if (userName.empty())
        userName = SanitiseUserName(platform::RawUserName());
    return userName;
}

const std::string& PCService::GetUserId() { return GetUserName(); }

void PCService::OpenURL(const char* address)
{
    if (address != nullptr)
        ShellOpen(address);
}

void PCService::OpenPage(const char* address) { OpenURL(address); }

void PCService::ShellOpen(const std::string& address) { platform::OpenUrl(address); }

bool PCService::IsOnline() { return true; }

bool PCService::HasWriteAccess() { return true; }

namespace {
PCService gPcService;
}
Services* gServices = &gPcService;

void ResetServices()
{
    gPcService = PCService();
    gServices = &gPcService;
}

std::string SanitiseUserName(const std::string& raw)
{
    // Stored profiles are scrambled with this name: the rule must never change.
    std::string name = raw;
    for (std::size_t i = 0; i + 1 < name.size(); ++i) {
        const signed char code = static_cast<signed char>(name[i]);
        if (code < 65 || code > 122)
            name[i] = '_';
    }
    return name;
}
