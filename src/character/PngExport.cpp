#include "character/PngExport.h"

void PngExport::Run() {}
bool PngExport::Save(const std::string&) { return false; }
SDL_Surface* PngExport::BuildSurface() { return nullptr; }
bool PngExport::CleanFringe(SDL_Surface*) { return false; }
