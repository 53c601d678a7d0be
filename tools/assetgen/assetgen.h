#pragma once
// The parts of the game-data generator; each writes its files into `dir` and
// returns false (after a line on stderr) when one could not be written.
#include <string>

bool GenerateImages(const std::string& dir);
bool GenerateSoundEffects(const std::string& dir);
bool GenerateMusic(const std::string& dir, int threads);
