// A procedural sample land made from nothing: an island shaped by fractal noise with sea,
// beaches and mountains, a few countries with blend tables that follow altitude, material
// textures painted in code, a noise map, a bump map and low-resolution textures made from
// the synthesised blocks. It gives the programs something real to open on a fresh machine.
//
// Deterministic: the same options give the same bytes on every host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lnd {

struct SampleLandOptions {
    std::uint32_t seed = 1;
    int size = 10;   // blocks per side of the square area the land covers, 1..kMaxSampleLandSize
};

inline constexpr int kMaxSampleLandSize = 15;   // 225 blocks; a land addresses at most 255

// Material indices of the sample land, in table order.
enum SampleMaterial : int { kSampleSeabed, kSampleSand, kSampleGrass, kSampleForest, kSampleRock, kSampleSnow,
                            kSampleMaterialCount };
inline constexpr int kSampleCountryCount = 3;

// The whole file image in plain form (NumBlocks as stored). An options.size outside
// 1..kMaxSampleLandSize is an error: `error` says so and the result is empty.
std::vector<std::uint8_t> makeSampleLand(const SampleLandOptions& options, std::string* error = nullptr);

}  // namespace lnd
