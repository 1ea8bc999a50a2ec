#include "writer/seed_code.h"

#include "labyrinth/random.h"

namespace labyrinth {

const std::array<std::string_view, 256> seedCodeWords{
    "acorn", "amber", "anchor", "apple", "arch", "arrow", "aspen", "atlas", "badge", "baker", "bamboo",
    "banjo", "barn", "basil", "beach", "beacon", "bear", "bell", "berry", "birch", "bison", "blade", "bloom",
    "board", "boat", "bolt", "bone", "book", "boot", "bread", "brick", "bridge", "brook", "broom", "brush",
    "bubble", "bucket", "cabin", "cable", "cactus", "camel", "candle", "canoe", "canyon", "cape", "card",
    "cargo", "carrot", "castle", "cedar", "chain", "chalk", "cherry", "chess", "chimney", "cider", "cliff",
    "clock", "cloud", "clover", "coal", "comet", "coral", "cotton", "crab", "crane", "crater", "crown",
    "crystal", "cube", "daisy", "dawn", "delta", "desert", "dial", "dingo", "dome", "door", "dove", "dragon",
    "drum", "dune", "eagle", "echo", "elbow", "elm", "ember", "engine", "fable", "falcon", "fern", "ferry",
    "fiddle", "field", "fig", "flag", "flame", "flint", "flute", "fog", "forest", "fossil", "fox", "frost",
    "garden", "garnet", "gate", "gecko", "geyser", "ginger", "glacier", "globe", "goat", "gong", "grape",
    "grove", "gull", "hammer", "harbor", "harp", "hawk", "hazel", "helmet", "heron", "hill", "hive", "honey",
    "horn", "hut", "igloo", "iris", "island", "ivory", "ivy", "jade", "jasper", "jelly", "jewel", "kayak",
    "kettle", "key", "kite", "koala", "ladder", "lagoon", "lake", "lamp", "lantern", "lark", "lava", "lemon",
    "lens", "lily", "lime", "linen", "lion", "lotus", "lynx", "magnet", "mango", "maple", "marble", "meadow",
    "melon", "mesa", "mint", "mirror", "moon", "moss", "moth", "mule", "nectar", "nest", "nickel", "oak",
    "oasis", "ocean", "olive", "onion", "opal", "orbit", "otter", "owl", "paddle", "palm", "panda", "paper",
    "parrot", "peach", "pearl", "pebble", "pepper", "piano", "pine", "planet", "plum", "pond", "poppy",
    "prism", "pumpkin", "quartz", "quill", "rabbit", "radar", "raven", "reed", "ridge", "river", "robin",
    "rocket", "rose", "ruby", "saddle", "sage", "salmon", "sand", "satin", "scarf", "shell", "shore",
    "silver", "sky", "sled", "slope", "snail", "spark", "spruce", "star", "stone", "storm", "sugar",
    "summit", "swan", "thistle", "thunder", "tide", "tiger", "timber", "topaz", "torch", "tower", "trail",
    "tulip", "tundra", "turtle", "valley", "velvet", "vine", "violet", "walnut", "whale", "willow", "wind",
    "wren", "yak", "zebra"
};

std::uint64_t streamHash(std::span<const std::uint8_t> stream) {
    constexpr std::uint64_t fnvOffset = 0xCBF29CE484222325ULL;
    constexpr std::uint64_t fnvPrime = 0x100000001B3ULL;
    std::uint64_t hash = fnvOffset;
    for (const std::uint8_t byte : stream) {
        hash ^= byte;
        hash *= fnvPrime;
    }
    return splitmix64(hash);
}

std::string seedCode(std::span<const std::uint8_t> stream) {
    const std::uint64_t hash = streamHash(stream);
    std::string code;
    for (int i = 0; i < seedCodeLength; ++i) {
        const auto shift = static_cast<unsigned>(56 - 8 * i);
        if (i > 0) code += ' ';
        code += seedCodeWords[static_cast<std::size_t>((hash >> shift) & 0xFFU)];
    }
    return code;
}

std::string seedLine(std::uint64_t seed, std::string_view code) {
    return "Seed: " + std::to_string(seed) + "  Code: " + std::string(code);
}

std::string unfinishedSeedLine(std::string_view seed, bool partly) {
    return "Seed: " + std::string(seed) + "  (" + std::string(partly ? partlyWrittenText : nothingWrittenText) + ")";
}

std::string seedCodeLine(std::string_view code) { return std::string(seedCodeLabel) + " " + std::string(code); }

}  // namespace labyrinth
