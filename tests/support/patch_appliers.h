#pragma once
// Appliers that check the patches the writer makes without sharing its code:
// the `bps` package from npm for BPS, and a minimal IPS applier.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "test_support.h"

namespace labyrinth::testing {

/// Applies the BPS patch in `patch` to `source` with the npm package `bps`
/// (through node), writing `output`. Exit 0 when applied, 1 when refused
/// (the reason in `err`), anything else when the applier could not run.
CommandRun applyBps(const std::filesystem::path& patch, const std::filesystem::path& source,
                    const std::filesystem::path& output);

/// `image` with the IPS patch applied; empty when the patch is malformed
/// (no "PATCH", a record cut short, no "EOF" or bytes after it).
std::optional<std::vector<std::uint8_t>> applyIps(const std::vector<std::uint8_t>& patch,
                                                  std::vector<std::uint8_t> image);

}  // namespace labyrinth::testing
