// The fixed triangle patterns of the two reduced levels of detail. Both keep every border
// vertex of the 17 x 17 block grid, so a block meets a neighbour of any level without
// cracks and no stitching pass is needed.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace lnd {

// Vertex number of grid point (i, j) of a block: i along x, j along z.
constexpr int vertexNumber(int i, int j) { return 17 * i + j; }

inline constexpr int kVerticesPerBlock = 289;
inline constexpr int kFullTriangles = 512;
inline constexpr int kMediumTriangles = 118;
inline constexpr int kLowTriangles = 64;

using PatternTriangle = std::array<std::int32_t, 3>;

// Medium level: full border ring, rows/columns 2 and 14 at a step of 2 inside, the middle
// at a step of 4. Fixed; the renderer and the picking rely on its exact order.
std::span<const PatternTriangle> PatternMedium();

// Low level: a fan from the centre vertex (8, 8) to every border edge.
std::span<const PatternTriangle> PatternLow();

}  // namespace lnd
