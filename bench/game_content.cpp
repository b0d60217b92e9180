#include "game_content.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// xorshift64*: fast, and the same sequence everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t Next()
    {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

private:
    uint64_t state_;
};

const char* const kWords[] = {
    "the", "quest", "dragon", "sword", "village", "merchant", "gold", "north", "tower", "river", "shadow",
    "level", "player", "health", "mana", "skill", "armor", "guild", "battle", "winter", "ancient", "gate",
    "bridge", "forest", "king", "spell", "potion", "reward", "hunter", "castle", "storm", "stone", "light",
};

std::string TextFile(Random& random, size_t size)
{
    std::string text;
    text.reserve(size + 64);
    while (text.size() < size) {
        if (random.Below(8) == 0)
            text += "[section_" + std::to_string(random.Below(300)) + "]\n";
        int words = 4 + static_cast<int>(random.Below(12));
        for (int w = 0; w < words; ++w) {
            text += kWords[random.Below(sizeof kWords / sizeof kWords[0])];
            text += w + 1 < words ? ' ' : '\n';
        }
        if (random.Below(4) == 0)
            text += "value" + std::to_string(random.Below(100)) + "=" + std::to_string(random.Below(100000)) + "\n";
    }
    text.resize(size);
    return text;
}

// Vertex-like records: floats that change smoothly, indices that count up, some zero padding.
std::string RecordFile(Random& random, size_t size)
{
    std::string bytes(size, '\0');
    float x = 0, y = 0, z = 0;
    uint32_t index = 0;
    for (size_t at = 0; at + 32 <= size; at += 32) {
        x += (random.Below(2001) - 1000.0f) / 5000.0f;
        y += (random.Below(2001) - 1000.0f) / 5000.0f;
        z = std::sin(x) * std::cos(y);
        float record[5] = {x, y, z, static_cast<float>(random.Below(256)) / 255.0f, 1.0f};
        memcpy(&bytes[at], record, sizeof record);
        memcpy(&bytes[at + 20], &index, 4);
        ++index;
    }
    return bytes;
}

// RGBA pixels: gradients with noise in the low bits.
std::string TextureFile(Random& random, size_t size)
{
    std::string bytes(size, '\0');
    const uint32_t width = 512;
    for (size_t at = 0; at + 4 <= size; at += 4) {
        uint32_t pixel = static_cast<uint32_t>(at / 4);
        uint32_t px = pixel % width, py = pixel / width;
        bytes[at] = static_cast<char>((px / 2 + random.Below(8)) & 0xFF);
        bytes[at + 1] = static_cast<char>((py / 2 + random.Below(8)) & 0xFF);
        bytes[at + 2] = static_cast<char>(((px + py) / 4 + random.Below(4)) & 0xFF);
        bytes[at + 3] = static_cast<char>(0xFF);
    }
    return bytes;
}

// Compressed audio, video and archives: bytes that nothing shrinks.
std::string NoiseFile(Random& random, size_t size)
{
    std::string bytes(size, '\0');
    for (size_t at = 0; at + 8 <= size; at += 8) {
        uint64_t value = random.Next();
        memcpy(&bytes[at], &value, 8);
    }
    return bytes;
}

bool Write(const std::string& path, const std::string& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

struct Kind {
    const char* folder;
    const char* extension;
    std::string (*make)(Random&, size_t);
    double share;      // of the whole
    size_t smallest;   // file sizes lie between these
    size_t largest;
};

}  // namespace

bool WriteGameContent(const std::string& folder, unsigned megabytes, GameContent* written)
{
    const Kind kinds[] = {
        {"Scripts", ".txt", TextFile, 0.25, 1 << 10, 96 << 10},
        {"Config", ".ini", TextFile, 0.05, 256, 16 << 10},
        {"Models", ".mdl", RecordFile, 0.20, 32 << 10, 1 << 20},
        {"Textures", ".tex", TextureFile, 0.20, 256 << 10, 4 << 20},
        {"Sound", ".ogg", NoiseFile, 0.20, 512 << 10, 8 << 20},
        {"Video", ".bik", NoiseFile, 0.10, 8 << 20, 16 << 20},
    };
    Random random(2024);
    *written = GameContent();
    for (const Kind& kind : kinds) {
        std::string sub = folder + "/" + kind.folder;
        mkdir(sub.c_str(), 0777);
        const uint64_t budget = static_cast<uint64_t>(kind.share * megabytes * 1000000.0);
        uint64_t used = 0;
        for (int n = 0; used < budget; ++n) {
            size_t size = kind.smallest + random.Below(static_cast<uint32_t>(kind.largest - kind.smallest));
            size = static_cast<size_t>(std::min<uint64_t>(size, budget - used + kind.smallest));
            std::string name = sub + "/" + kind.folder + "_" + std::to_string(n) + kind.extension;
            if (!Write(name, kind.make(random, size)))
                return false;
            used += size;
            written->bytes += size;
            ++written->files;
        }
    }
    return true;
}
