#pragma once
// What the application object will do before the engine starts, until that object exists:
// name the per-user folder, find where files may be written, and give the profile its file,
// header, key and version.

#include <memory>

class Core;
class PlayerProfile;

// The overlays, the per-frame web pump and the web worker's stop at shutdown.
void InstallApplicationHooks(Core& core);
std::unique_ptr<PlayerProfile> PrepareApplication(Core& core);
