#pragma once
// A made-up game folder for the extraction benchmark: text and configuration files, binary
// records, textures, audio and archives in realistic sizes and proportions, the same bytes on
// every run.
#include <cstdint>
#include <string>

struct GameContent {
    uint64_t bytes = 0;
    uint64_t files = 0;
};

// Writes the folder below `folder` (which must exist), about `megabytes` MB in all. False when a
// file cannot be written.
bool WriteGameContent(const std::string& folder, unsigned megabytes, GameContent* written);
