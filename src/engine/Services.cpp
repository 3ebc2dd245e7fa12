#include "engine/Services.h"

bool PCService::InitLanguage() { languageCode = "en"; languageIndex = 0; return true; }
void PCService::Update(float) {}
void PCService::Shutdown() {}
const std::string& PCService::GetUserName() { return userName; }
const std::string& PCService::GetUserId() { return GetUserName(); }
void PCService::OpenURL(const char*) {}
void PCService::OpenPage(const char*) {}
void PCService::ShellOpen(const std::string&) {}
bool PCService::IsOnline() { return true; }
bool PCService::HasWriteAccess() { return true; }

namespace {
PCService gPcService;
}
Services* gServices = &gPcService;

std::string SanitiseUserName(const std::string& raw) { return raw; }
