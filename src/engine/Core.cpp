#include "engine/Core.h"

Core* gCore = nullptr;

Core::Core() = default;
Core::~Core() = default;
bool Core::Init() { return false; }
void Core::HandleEvent(const SDL_Event*) {}
void Core::Update(float) {}
void Core::Clear() {}
void Core::Draw() {}
void Core::Shutdown() {}
void Core::OnWebResponse(const std::string&, const std::string&) {}
void Core::OnDialogAnswer(int, int) {}
void Core::OnColorPicked(SDL_Color) {}
void Core::OnDisplayChanged() {}
int Core::Run() { return Init() ? 0 : -1; }
void Core::ConfirmExit() { running = 0; }
void Core::ToggleFullscreen() {}
void Core::SetWindowMode(int) {}
void Core::RefitWindow(int, int) {}
bool Core::ComputeWindowGeometry(int, int) { return false; }
bool Core::ShowCriticalError(const std::string&) { return false; }
void Core::InitUserDataPath() {}
bool Core::TestWriteAccess() { return false; }
void Core::Step(std::uint32_t) {}
bool PrefixUserDataPath(std::string&) { return false; }
std::string GetPlatformName() { return "pc"; }
