#include "engine/PlayerProfile.h"

PlayerProfile* gProfile = nullptr;

PlayerProfile::PlayerProfile() = default;
PlayerProfile::~PlayerProfile() = default;
void PlayerProfile::WriteExtra(SaveBuffer&) {}
bool PlayerProfile::ReadExtra(SaveBuffer&, int) { return true; }
bool PlayerProfile::Save(bool) { return false; }
bool PlayerProfile::Load() { return false; }
